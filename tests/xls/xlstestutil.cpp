#include "xlstestutil.h"

#include "xls/compoundfile.h"
#include "xls/xlsmessages.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include <gtest/gtest.h>

namespace xlstest {

QString fixture(const QString &name)
{
    return QStringLiteral(TAVRIN_XLS_FIXTURES "/") + name;
}

QString messageOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const xls::EExcelException &e) {
        return e.message();
    }
    return QStringLiteral("<no exception>");
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << path.toStdString();
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
}

QByteArray workbookStream(const QString &path)
{
    xls::TXlsStorageList list;
    list.LoadFromFile(path);
    return list.FindStream(QStringLiteral("Workbook"));
}

QJsonDocument check(const QString &kind, const QString &path)
{
    // The distribution's interpreter has the distribution's xlrd and olefile.
    const QString python = QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                               ? QStringLiteral("/usr/bin/python3")
                               : QStringLiteral("python3");
    QProcess p;
    p.start(python, {QStringLiteral(TAVRIN_XLS_CHECKER), kind, path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "checker failed on " << path.toStdString() << ": "
                      << p.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput());
}

std::vector<RawRecord> splitRecords(const QByteArray &stream)
{
    std::vector<RawRecord> out;
    qsizetype pos = 0;
    while (pos + 4 <= stream.size()) {
        const quint16 id = qFromLittleEndian<quint16>(stream.constData() + pos);
        const quint16 size = qFromLittleEndian<quint16>(stream.constData() + pos + 2);
        out.push_back({id, stream.mid(pos + 4, size), pos});
        pos += 4 + size;
    }
    return out;
}

QByteArray record(quint16 id, const QByteArray &data)
{
    return le16(id) + le16(quint16(data.size())) + data;
}

QByteArray joinRecords(const std::vector<RawRecord> &records)
{
    QByteArray out;
    for (const RawRecord &r : records)
        out += record(r.id, r.data);
    return out;
}

std::vector<int> selectedSheets(const QByteArray &stream, int &activeTab)
{
    std::vector<int> selected;
    activeTab = -1;
    int sheet = -1;
    for (const RawRecord &r : splitRecords(stream)) {
        if (r.id == 0x003D && r.data.size() >= 12)
            activeTab = qFromLittleEndian<quint16>(r.data.constData() + 10);
        // Sheets begin with a BOF of their own; the globals' has type 5.
        if (r.id == 0x0809 && r.data.size() >= 4 &&
            qFromLittleEndian<quint16>(r.data.constData() + 2) != 0x0005)
            ++sheet;
        if (r.id == 0x023E && r.data.size() >= 2 &&
            (qFromLittleEndian<quint16>(r.data.constData()) & 0x0200))
            selected.push_back(sheet);
    }
    return selected;
}

QByteArray le16(quint16 v)
{
    char b[2];
    qToLittleEndian<quint16>(v, b);
    return QByteArray(b, 2);
}

QByteArray le32(quint32 v)
{
    char b[4];
    qToLittleEndian<quint32>(v, b);
    return QByteArray(b, 4);
}

} // namespace xlstest
