#pragma once

#include "xls/records.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

#include <functional>
#include <vector>

// Shared helpers of the xls tests: fixtures, the independent checker, record walking.
namespace xlstest {

QString fixture(const QString &name);
// The library's message raised by f, or "<no exception>".
QString messageOf(const std::function<void()> &f);
QByteArray readFile(const QString &path);
void writeFile(const QString &path, const QByteArray &bytes);
// The Workbook stream of a fixture.
QByteArray workbookStream(const QString &path);

// Runs xlscheck.py (xlrd / olefile) on a file and returns its JSON answer.
QJsonDocument check(const QString &kind, const QString &path);

struct RawRecord
{
    quint16 id;
    QByteArray data;
    qsizetype pos;
};
// The records of a BIFF stream as framed on disk.
std::vector<RawRecord> splitRecords(const QByteArray &stream);
QByteArray joinRecords(const std::vector<RawRecord> &records);
QByteArray record(quint16 id, const QByteArray &data);

// The sheets (0-based) whose WINDOW2 says they are selected, and WINDOW1's active tab.
std::vector<int> selectedSheets(const QByteArray &stream, int &activeTab);

// Little-endian helpers for building records by hand.
QByteArray le16(quint16 v);
QByteArray le32(quint32 v);

} // namespace xlstest

// Readable QString values in GoogleTest's failure messages.
#ifndef TAVRIN_PRINTS_QSTRING
#define TAVRIN_PRINTS_QSTRING
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE
#endif
