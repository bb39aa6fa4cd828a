#include "exchange/qelwebrecupericollect.h"

#include "exchange/qelcollectedvalues.h"
#include "exchange/qelwebcollect.h"
#include "platform/connection.h"
#include "platform/helpers.h"
#include "platform/sqlparams.h"
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

namespace {

// The records of the web exchange are filed under the year's common phase row.
const char kRecordOfPhase[] =
    "WHERE iSitId = :iSitId AND iMatId = :iMatId AND iAnsFreDwgId IN "
    "(SELECT Afd.iAnsFreDwgId FROM TAnsFreDwg Afd WHERE Afd.iAnsId = :iAnsId AND "
    "Afd.iFreId = :iFreId AND Afd.iDwgId IS NULL)";

} // namespace

QString QelWebMakeUpSql::updateResults()
{
    // A result as it is stored is left alone: nothing written, nothing counted.
    return QStringLiteral("UPDATE TRec_Recuperi SET iEreId = :iEreId, dRecVer = :dRecVer, "
                          "iPvrId = :iPvrId ") +
           QLatin1String(kRecordOfPhase) +
           QStringLiteral(" AND (iEreId IS DISTINCT FROM :iEreId OR dRecVer IS DISTINCT FROM "
                          ":dRecVer OR iPvrId IS DISTINCT FROM :iPvrId)");
}

QString QelWebMakeUpSql::recordOfPhase()
{
    return QStringLiteral("SELECT 1 FROM TRec_Recuperi ") + QLatin1String(kRecordOfPhase);
}

QString QelWebMakeUpSql::teacherOfSubject()
{
    return QStringLiteral("SELECT 1 FROM TClsMatAna ClsMatAna WHERE ClsMatAna.iAnaId = :iDocId "
                          "AND ClsMatAna.iClsId = :iClsId AND ClsMatAna.iMatId = :iMatId");
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
    // Every row of the teacher: one of another phase than the one asked for is told, not
    // dropped.
    QString filter = QStringLiteral("(iDocId = %1)").arg(iDocId);
    if (!m_clsFilter.isEmpty())
        filter += QStringLiteral(" AND (%1)").arg(m_clsFilter);
    m_recuperi.setFilter(filter);
    m_recuperi.setFiltered(true);
    const QelCollectKind &rule = QelCollectedValues::Kind("recuperi");
    const auto keysFit = [this] {
        for (const char *key : {"iSitId", "iClsId", "iMatId", "iEreId", "iPrvId", "iFreId"})
            if (!QelCollectedValues::FitsKey(valueOf(m_recuperi, key)))
                return false;
        return true;
    };
    const auto keyOf = [this] {
        return valueOf(m_recuperi, "iSitId").toString() + u'|' +
               valueOf(m_recuperi, "iMatId").toString();
    };
    // The outcome, date and test kind as the teacher gave them, the date as written.
    const auto resultOf = [this] {
        return valuesOf({{"iEreId", integerOrNull(m_recuperi, "iEreId")},
                         {"dRecVer", valueOf(m_recuperi, "dRecVer")},
                         // The packet names the test kind iPrvId.
                         {"iPvrId", integerOrNull(m_recuperi, "iPrvId")}});
    };
    QelCollectRepeats repeats;
    for (m_recuperi.First(); !m_recuperi.Eof(); m_recuperi.Next())
        if (keysFit())
            repeats.Note(keyOf(), QelCollectRepeats::Text(resultOf()));
    for (m_recuperi.First(); !m_recuperi.Eof(); m_recuperi.Next()) {
        const QString row =
            m_values.Who(valueOf(m_recuperi, "iSitId"), valueOf(m_recuperi, "iMatId"), true);
        const auto refuse = [&](const QString &why) {
            if (log)
                *log << QStringLiteral("  ***ERRORE*** ") +
                            OneLine(QStringLiteral("%1: %2: %3").arg(kPacketName, row, why));
        };
        if (!keysFit()) {
            refuse(QStringLiteral("la riga porta un numero che il database non può contenere: il "
                                  "risultato non è stato scritto."));
            continue;
        }
        if (valueOf(m_recuperi, "iFreId").toLongLong() != m_iFreId) {
            refuse(QStringLiteral("il recupero è della fase %1, non di quella raccolta (%2): il "
                                  "risultato non è stato scritto.")
                       .arg(valueOf(m_recuperi, "iFreId").toString())
                       .arg(m_iFreId));
            continue;
        }
        switch (repeats.Take(keyOf())) {
        case QelCollectRepeats::First:
            break;
        case QelCollectRepeats::Conflict:
            refuse(QelCollectRepeats::Cause());
            continue;
        case QelCollectRepeats::Again:
        case QelCollectRepeats::Told:
            continue;
        }
        TVxFieldValues values = resultOf();
        if (const QString why = m_values.Refusal(rule, values); !why.isEmpty()) {
            refuse(why + QStringLiteral(" Il risultato non è stato scritto."));
            continue;
        }
        values.setValue(QStringLiteral("dRecVer"),
                        QelCollectedValues::DateOf(values.value(QStringLiteral("dRecVer"))));
        const QVariant iSitId = integerOrNull(m_recuperi, "iSitId");
        const QVariant iClsId = integerOrNull(m_recuperi, "iClsId");
        const QVariant iMatId = integerOrNull(m_recuperi, "iMatId");
        for (const auto &[name, value] : {std::pair{"iSitId", iSitId},
                                          {"iMatId", iMatId},
                                          {"iAnsId", QVariant(m_iAnsId)},
                                          {"iFreId", QVariant(m_iFreId)}})
            values.setValue(QLatin1String(name), value);
        bool changed = false;
        const bool written = QelWebCollection::WriteLogged(m_db, log, [&](TVxTransaction &tr) {
            changed = false;
            if (!tr.Exec(QelWebMakeUpSql::situationInClass(),
                         valuesOf({{"iSitId", iSitId}, {"iClsId", iClsId}, {"iAnsId", m_iAnsId}}))
                     .next())
                throw EVxException(QStringLiteral("%1: %2: l'alunno non è della classe %3 "
                                                  "nell'anno scolastico: il risultato non è "
                                                  "stato scritto.")
                                       .arg(kPacketName, row)
                                       .arg(iClsId.toInt()));
            // Only the teacher of the subject in the class gives its results: a row sent under
            // another would overwrite his colleague's.
            if (!tr.Exec(QelWebMakeUpSql::teacherOfSubject(),
                         valuesOf({{"iDocId", iDocId}, {"iClsId", iClsId}, {"iMatId", iMatId}}))
                     .next())
                throw EVxException(QStringLiteral("%1: %2: il risultato viene dal docente %3, "
                                                  "che non insegna la materia nella classe %4: "
                                                  "non è stato scritto.")
                                       .arg(kPacketName, row)
                                       .arg(iDocId)
                                       .arg(iClsId.toInt()));
            if (tr.ExecChanged(QelWebMakeUpSql::updateResults(), values) > 0) {
                changed = true;
                return;
            }
            if (!tr.Exec(QelWebMakeUpSql::recordOfPhase(), values).next())
                throw EVxException(QStringLiteral("%1: %2: il recupero non c'è più in questa "
                                                  "fase (cancellato dopo l'invio): il risultato "
                                                  "non è stato scritto.")
                                       .arg(kPacketName, row));
        });
        m_counts.changed += written && changed;
    }
    m_recuperi.setFiltered(false);
}

QStringList QelWebMakeUpCollection::Summary() const
{
    return CollectionSummary({}, m_counts.IsEmpty()
                                     ? QStringList()
                                     : QStringList{m_counts.Line(QStringLiteral("recuperi"))});
}
