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
#include <QSqlQuery>

namespace {

// A packet's value, a key as the number it names; null as an invalid QVariant, which binds as
// NULL.
QVariant valueOf(const TClientDataSet &ds, const char *column)
{
    return QelCollectedValues::PacketValue(ds, QLatin1String(column));
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
    // A result as it is stored is left alone: nothing written, nothing counted. The statement
    // itself holds the row to the pupil's class and the teacher's subject there.
    return QStringLiteral("UPDATE TRec_Recuperi SET iEreId = :iEreId, dRecVer = :dRecVer, "
                          "iPvrId = :iPvrId ") +
           QLatin1String(kRecordOfPhase) +
           QStringLiteral(" AND (iEreId IS DISTINCT FROM :iEreId OR dRecVer IS DISTINCT FROM "
                          ":dRecVer OR iPvrId IS DISTINCT FROM :iPvrId) AND EXISTS (") +
           situationInClass() + QStringLiteral(") AND EXISTS (") + teacherOfSubject() + u')';
}

QString QelWebMakeUpSql::storedResults()
{
    // From the teacher's subjects in their classes: the records of the school are never read.
    return QStringLiteral(
        "SELECT ClsPst.iClsId, Rec.iSitId, Rec.iMatId, Rec.iEreId, Rec.dRecVer, Rec.iPvrId "
        "FROM TClsMatAna ClsMatAna "
        "JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsMatAna.iClsId "
        "JOIN TSit_Situazioni Sit ON Sit.iClsPstId = ClsPst.iClsPstId "
        "JOIN TRec_Recuperi Rec ON Rec.iSitId = Sit.iSitId AND Rec.iMatId = ClsMatAna.iMatId "
        "JOIN TAnsFreDwg Afd ON Afd.iAnsFreDwgId = Rec.iAnsFreDwgId "
        "WHERE ClsMatAna.iAnaId = :iDocId AND Afd.iAnsId = :iAnsId AND Afd.iFreId = :iFreId "
        "AND Afd.iDwgId IS NULL AND EXISTS (SELECT 1 FROM TClsSes ClsSes JOIN TAnsSesDwg Asd ON "
        "Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId WHERE ClsSes.iClsId = ClsPst.iClsId AND "
        "Asd.iAnsId = :iAnsId)");
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
    m_writes = std::make_unique<TVxSelfCommittingStatements>(m_db);
    m_reads = std::make_unique<TVxSideReads>(m_db);
    m_values.SetConnection(m_reads->database());
}

QSqlDatabase QelWebMakeUpCollection::Reads() const
{
    return m_reads->database();
}

QelWebMakeUpCollection::~QelWebMakeUpCollection() = default;

namespace {

// A row's place and its results, as texts compared with what is stored.
QString placeOf(const QVariant &cls, const QVariant &sit, const QVariant &subject)
{
    return QStringLiteral("%1|%2|%3").arg(cls.toString(), sit.toString(), subject.toString());
}

} // namespace

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
    const auto keyOf = [this] {
        return valueOf(m_recuperi, "iSitId").toString() + u'|' +
               valueOf(m_recuperi, "iMatId").toString();
    };
    // The outcome, date and test kind as the teacher gave them, the date as written.
    const auto resultOf = [this] {
        return valuesOf({{"iEreId", valueOf(m_recuperi, "iEreId")},
                         {"dRecVer", valueOf(m_recuperi, "dRecVer")},
                         // The packet names the test kind iPrvId.
                         {"iPvrId", valueOf(m_recuperi, "iPrvId")}});
    };
    // What his subjects' records hold, to leave the same results alone.
    QHash<QString, QString> stored;
    VxEachRow(m_reads->database(), QelWebMakeUpSql::storedResults(),
              valuesOf({{"iDocId", iDocId}, {"iAnsId", m_iAnsId}, {"iFreId", m_iFreId}}),
              [&stored](const QSqlQuery &q, const QSqlRecord &) {
                  stored.insert(placeOf(q.value(0), q.value(1), q.value(2)),
                                QelCollectRepeats::Text(valuesOf({{"iEreId", q.value(3)},
                                                                  {"dRecVer", q.value(4)},
                                                                  {"iPvrId", q.value(5)}})));
              });
    QelCollectRepeats repeats;
    for (m_recuperi.First(); !m_recuperi.Eof(); m_recuperi.Next())
        if (QelCollectedValues::KeysFault(m_recuperi).isEmpty())
            repeats.Note(keyOf(), QelCollectRepeats::Text(resultOf()));
    for (m_recuperi.First(); !m_recuperi.Eof(); m_recuperi.Next()) {
        const QVariant iSitId = valueOf(m_recuperi, "iSitId");
        const QVariant iClsId = valueOf(m_recuperi, "iClsId");
        const QVariant iMatId = valueOf(m_recuperi, "iMatId");
        // The pupil and subject are named only for a line.
        const auto refuse = [&](const QString &why) {
            if (log)
                *log << QStringLiteral("  ***ERRORE*** ") +
                            OneLine(QStringLiteral("%1: %2: %3")
                                        .arg(kPacketName, m_values.Who(iSitId, iMatId, true), why));
        };
        if (const QString fault = QelCollectedValues::KeysFault(m_recuperi); !fault.isEmpty()) {
            refuse(fault + QStringLiteral(": il risultato non è stato scritto."));
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
        // A result as his record holds it already: nothing to write, nothing counted.
        if (stored.value(placeOf(iClsId, iSitId, iMatId), QStringLiteral("\n")) ==
            QelCollectRepeats::Text(values))
            continue;
        for (const auto &[name, value] : {std::pair{"iSitId", iSitId},
                                          {"iClsId", iClsId},
                                          {"iMatId", iMatId},
                                          {"iDocId", QVariant(iDocId)},
                                          {"iAnsId", QVariant(m_iAnsId)},
                                          {"iFreId", QVariant(m_iFreId)}})
            values.setValue(QLatin1String(name), value);
        // One statement, prepared once for the collection, holds the row to its place.
        const int changed = QelWebCollection::WriteAlone(*m_writes, m_db, log,
                                                         QelWebMakeUpSql::updateResults(), values);
        m_counts.changed += changed > 0;
        if (changed != 0)
            continue;
        // Not written: why, told for this row alone.
        const auto found = [&](const QString &sql) {
            bool any = false;
            VxEachRow(m_db, sql, values,
                      [&any](const QSqlQuery &, const QSqlRecord &) { any = true; });
            return any;
        };
        if (!found(QelWebMakeUpSql::situationInClass()))
            refuse(QStringLiteral("l'alunno non è della classe %1 nell'anno scolastico: il "
                                  "risultato non è stato scritto.")
                       .arg(iClsId.toString()));
        // Only the teacher of the subject in the class gives its results: a row sent under
        // another would overwrite his colleague's.
        else if (!found(QelWebMakeUpSql::teacherOfSubject()))
            refuse(QStringLiteral("il risultato viene dal docente %1, che non insegna la materia "
                                  "nella classe %2: non è stato scritto.")
                       .arg(iDocId)
                       .arg(iClsId.toString()));
        else if (!found(QelWebMakeUpSql::recordOfPhase()))
            refuse(QStringLiteral("il recupero non c'è più in questa fase (cancellato dopo "
                                  "l'invio): il risultato non è stato scritto."));
    }
    m_recuperi.setFiltered(false);
}

QStringList QelWebMakeUpCollection::Summary() const
{
    return CollectionSummary({}, m_counts.IsEmpty()
                                     ? QStringList()
                                     : QStringList{m_counts.Line(QStringLiteral("recuperi"))});
}
