#include "tests/support/tavrinwebteachers.h"

#include "platform/clientdataset.h"
#include "tests/support/tavrinwebserver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Entries = QList<QPair<QByteArray, QByteArray>>;

void applyEdit(TClientDataSet &packet, const TavrinWebTeacherEdits::Edit &edit)
{
    if (!packet.Locate(edit.keys, edit.key)) {
        ADD_FAILURE() << "the upload has no row of " << edit.packet.toStdString() << " for "
                      << edit.keys.toStdString();
        return;
    }
    QString column = edit.column;
    for (int n = 1; column.isEmpty(); ++n) {
        const QString slot = edit.kind + QString::number(n);
        const TField *component = packet.FindField(QStringLiteral("iClsMatCmpId_") + slot);
        if (!component) {
            ADD_FAILURE() << "no " << edit.kind.toStdString() << " slot of component "
                          << edit.component;
            return;
        }
        if (component->Value().toInt() == edit.component)
            column = QStringLiteral("iScaLivId_") + slot;
    }
    packet.Edit();
    packet.FieldByName(column)->setValue(edit.value);
    packet.Post();
}

QByteArray classNotesPacket(const QList<QVariantList> &rows, int session, const QString &path)
{
    TClientDataSet ds;
    for (const char *name : {"iDocId", "iAnsSesDwgId", "iClsId", "iMatId", "iClnOre"})
        ds.AddFieldDef(QLatin1String(name), ftInteger);
    ds.AddFieldDef(QStringLiteral("bClnNota"), ftMemo);
    ds.CreateDataSet();
    for (const QVariantList &row : rows) {
        ds.Append();
        ds.Fields(0)->setValue(row.at(0));
        ds.Fields(1)->setValue(session);
        for (int i = 1; i < row.size(); ++i)
            ds.Fields(i + 1)->setValue(row.at(i));
        ds.Post();
    }
    ds.SaveToFile(path, dfXML);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TavrinWebTeacherEdits::level(int iDocId, int iSitId, int iClsSesMatId, const QString &kind,
                                  int iClsMatCmpId, const QVariant &level)
{
    m_edits.append({QStringLiteral("voti.xml"),
                    QStringLiteral("iDocId;iSitId;iClsSesMatId"),
                    {iDocId, iSitId, iClsSesMatId},
                    QString(),
                    level,
                    kind,
                    iClsMatCmpId});
}

void TavrinWebTeacherEdits::value(int iDocId, int iSitId, int iClsSesMatId, const QString &column,
                                  const QVariant &value)
{
    m_edits.append({QStringLiteral("voti.xml"),
                    QStringLiteral("iDocId;iSitId;iClsSesMatId"),
                    {iDocId, iSitId, iClsSesMatId},
                    column,
                    value});
}

void TavrinWebTeacherEdits::debt(int iDocId, int iSitId, int iMatId, const QVariant &iDesDedId,
                                 const QVariant &note)
{
    const QString keys = QStringLiteral("iDocId;iSitId;iMatId");
    m_edits.append({QStringLiteral("debiti.xml"),
                    keys,
                    {iDocId, iSitId, iMatId},
                    QStringLiteral("iDesDedId"),
                    iDesDedId});
    m_edits.append({QStringLiteral("debiti.xml"),
                    keys,
                    {iDocId, iSitId, iMatId},
                    QStringLiteral("bDebNota"),
                    note});
}

void TavrinWebTeacherEdits::classNote(int iDocId, int iClsId, int iMatId, const QVariant &hours,
                                      const QVariant &text)
{
    m_classNotes.append({iDocId, iClsId, iMatId, hours, text});
}

void TavrinWebTeacherEdits::installOn(TavrinWebTestServer &server) const
{
    const TavrinWebTeacherEdits edits = *this;
    // Runs in the server's thread, under its lock: the reads of the server take it again.
    server.setDownloadBuilder([&server, edits](const QString &institute) {
        const QByteArray uploaded = server.lastUploadZip(institute, "carica.php");
        QTemporaryDir dir;
        Entries entries;
        for (auto [name, bytes] : TavrinWebTestServer::zipEntries(uploaded)) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                ADD_FAILURE() << "cannot write " << path.toStdString();
            file.close();
            bool edited = false;
            TClientDataSet packet;
            for (const Edit &edit : edits.m_edits) {
                if (edit.packet.toLatin1() != name)
                    continue;
                if (!edited)
                    packet.LoadFromFile(path);
                edited = true;
                applyEdit(packet, edit);
            }
            if (edited) {
                packet.MergeChangeLog();
                packet.SaveToFile(path, dfXML);
                QFile saved(path);
                bytes = saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
            }
            entries.append({name, bytes});
        }
        if (entries.isEmpty())
            ADD_FAILURE() << "no session upload of " << institute.toStdString();
        entries.append({"classenote.xml",
                        classNotesPacket(edits.m_classNotes,
                                         server.lastOrderNumber(institute, "richiestaexport.php",
                                                                QStringLiteral("codsessione")),
                                         dir.filePath(QStringLiteral("classenote.xml")))});
        return TavrinWebTestServer::zipBytes(entries);
    });
}
