#include "tests/support/tavrinwebrecuperi.h"

#include "platform/clientdataset.h"
#include "tests/support/tavrinwebserver.h"
#include "tests/support/testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray kPacket = "recuperi.xml";

QByteArray edited(const QByteArray &bytes, const QList<TavrinWebMakeUpResults::Edit> &edits,
                  int phase)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(kPacket));
    writeFileBytes(path, bytes);
    TClientDataSet packet;
    packet.LoadFromFile(path);
    for (const TavrinWebMakeUpResults::Edit &edit : edits) {
        if (!packet.Locate(QStringLiteral("iDocId;iSitId;iMatId"), edit.key)) {
            ADD_FAILURE() << "the upload has no make-up row of teacher " << edit.key[0].toInt()
                          << ", situation " << edit.key[1].toInt() << ", subject "
                          << edit.key[2].toInt();
            continue;
        }
        packet.Edit();
        packet.FieldByName(edit.column)->setValue(edit.value);
        packet.Post();
    }
    // The service exports the phase asked for.
    for (packet.First(); !packet.Eof();) {
        if (packet.FieldByName(QStringLiteral("iFreId"))->Value().toInt() != phase)
            packet.Delete();
        else
            packet.Next();
    }
    packet.SaveToFile(path, dfXML);
    return readFileBytes(path);
}

} // namespace

void TavrinWebMakeUpResults::result(int iDocId, int iSitId, int iMatId, const QVariant &iEreId,
                                    const QVariant &dRecVer, const QVariant &iPrvId)
{
    set(iDocId, iSitId, iMatId, QStringLiteral("iEreId"), iEreId);
    set(iDocId, iSitId, iMatId, QStringLiteral("dRecVer"), dRecVer);
    set(iDocId, iSitId, iMatId, QStringLiteral("iPrvId"), iPrvId);
}

void TavrinWebMakeUpResults::set(int iDocId, int iSitId, int iMatId, const QString &column,
                                 const QVariant &value)
{
    m_edits.append({{iDocId, iSitId, iMatId}, column, value});
}

void TavrinWebMakeUpResults::installOn(TavrinWebTestServer &server) const
{
    const TavrinWebMakeUpResults script = *this;
    // Runs in the server's thread, under its lock: the reads of the server take it again.
    server.setDownloadBuilder([&server, script](const QString &institute) {
        const QByteArray uploaded = server.lastUploadZip(institute, "caricarec.php");
        QList<QPair<QByteArray, QByteArray>> entries;
        for (const auto &[name, bytes] : TavrinWebTestServer::zipEntries(uploaded)) {
            if (name != kPacket)
                entries.append({name, bytes});
            else if (!script.m_withoutPacket) {
                const QByteArray packet =
                    edited(bytes, script.m_edits,
                           server.lastOrderNumber(institute, "RichiestaExportRec.php",
                                                  QStringLiteral("codsessionerecupero")));
                entries.append({name, script.m_rewrite ? script.m_rewrite(packet) : packet});
            }
        }
        if (entries.isEmpty())
            ADD_FAILURE() << "no make-up upload of " << institute.toStdString();
        return TavrinWebTestServer::zipBytes(entries);
    });
}
