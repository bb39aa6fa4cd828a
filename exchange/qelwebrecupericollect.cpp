#include "exchange/qelwebrecupericollect.h"

#include "exchange/qelwebcollect.h"
#include "platform/connection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A packet's integer, null as an invalid QVariant so that it binds as NULL.
QVariant integerOrNull(const TClientDataSet &ds, const char *column)
{
    const TField *field = ds.FindField(QLatin1String(column));
    return field && !field->Value().isNull() ? QVariant(field->Value().toInt()) : QVariant();
}

QVariant valueOf(const TClientDataSet &ds, const char *column)
{
    const TField *field = ds.FindField(QLatin1String(column));
    return field ? field->Value() : QVariant();
}

} // namespace

QString QelWebMakeUpSql::situationInClass()
{
    return QStringLiteral("SELECT Sit.iSitId FROM TSit_Situazioni Sit "
                          "JOIN TClsPst ClsPst ON ClsPst.iClsPstId = Sit.iClsPstId "
                          "WHERE Sit.iSitId = :iSitId AND ClsPst.iClsId = :iClsId "
                          "AND EXISTS (SELECT 1 FROM TClsSes ClsSes "
                          "JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
                          "WHERE ClsSes.iClsId = ClsPst.iClsId AND Asd.iAnsId = :iAnsId)");
}

QString QelWebMakeUpSql::updateResults()
{
    // The records of the web exchange are filed under the year's common phase row.
    return QStringLiteral("UPDATE TRec_Recuperi SET iEreId = :iEreId, dRecVer = :dRecVer, "
                          "iPvrId = :iPvrId "
                          "WHERE iSitId = :iSitId AND iMatId = :iMatId AND iAnsFreDwgId IN "
                          "(SELECT Afd.iAnsFreDwgId FROM TAnsFreDwg Afd WHERE Afd.iAnsId = "
                          ":iAnsId AND Afd.iFreId = :iFreId AND Afd.iDwgId IS NULL)");
}

const char QelWebMakeUpCollection::kArchiveName[] = "twrecuperi.zip";
const char QelWebMakeUpCollection::kPacketName[] = "recuperi.xml";

void QelWebMakeUpCollection::Unpack(const QString &folder)
{
    QelWebCollection::UnpackPackets(folder, QLatin1String(kArchiveName),
                                    {QLatin1String(kPacketName)},
                                    QStringLiteral("i dati dei recuperi"));
}

QelWebMakeUpCollection::QelWebMakeUpCollection(const QString &folder, int iAnsId, int iFreId)
    : m_db(qqoVxGlobConn()), m_iAnsId(iAnsId), m_iFreId(iFreId)
{
    const QString packet = folder + QLatin1String(kPacketName);
    if (!QFileInfo(packet).isFile())
        throw EVxException(QStringLiteral("Dati dei recuperi non trovati (%1): ripetere la "
                                          "ricezione dal server.")
                               .arg(QDir::toNativeSeparators(packet)));
    m_recuperi.LoadFromFile(packet);
}

void QelWebMakeUpCollection::ImportMakeUpResults(int iDocId, QStringList *log)
{
    QString filter = QStringLiteral("(iDocId = %1) AND (iFreId = %2)").arg(iDocId).arg(m_iFreId);
    if (!m_clsFilter.isEmpty())
        filter += QStringLiteral(" AND (%1)").arg(m_clsFilter);
    m_recuperi.setFilter(filter);
    m_recuperi.setFiltered(true);
    for (m_recuperi.First(); !m_recuperi.Eof(); m_recuperi.Next()) {
        const QVariant iSitId = integerOrNull(m_recuperi, "iSitId");
        const QVariant iClsId = integerOrNull(m_recuperi, "iClsId");
        const TVxFieldValues values =
            valuesOf({{"iEreId", integerOrNull(m_recuperi, "iEreId")},
                      {"dRecVer", QelWebCollection::PacketDate(valueOf(m_recuperi, "dRecVer"))},
                      // The packet names the test kind iPrvId.
                      {"iPvrId", integerOrNull(m_recuperi, "iPrvId")},
                      {"iSitId", iSitId},
                      {"iMatId", integerOrNull(m_recuperi, "iMatId")},
                      {"iAnsId", m_iAnsId},
                      {"iFreId", m_iFreId}});
        QelWebCollection::WriteLogged(m_db, log, [&](TVxTransaction &tr) {
            if (!tr.Exec(QelWebMakeUpSql::situationInClass(),
                         valuesOf({{"iSitId", iSitId}, {"iClsId", iClsId}, {"iAnsId", m_iAnsId}}))
                     .next())
                throw EVxException(QStringLiteral("La situazione %1 non è della classe %2 "
                                                  "nell'anno scolastico: recupero non scritto.")
                                       .arg(iSitId.toInt())
                                       .arg(iClsId.toInt()));
            tr.Exec(QelWebMakeUpSql::updateResults(), values);
        });
    }
    m_recuperi.setFiltered(false);
}
