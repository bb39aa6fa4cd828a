#include "makeup/qelmakeupconversion.h"

#include "makeup/qelmakeuprecords.h"
#include "platform/transaction.h"

#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

const char kYears[] =
    "SELECT Ans.iAnsId, CAST(Ans.iAnsValore AS VARCHAR(4)) || '/' || "
    "CAST(Ans.iAnsValore + 1 AS VARCHAR(4)) FROM TAns_AnniScolast Ans ORDER BY Ans.iAnsValore";

// The taxonomy grades of the session's pupils on the components of one weight, with the
// subject of their class-session subject and their level's value.
#define SOURCE_ROWS                                                                                \
    "FROM TTas_Tassonomie Tas "                                                                    \
    "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = Tas.iClsMatCmpId) "                          \
    "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "                          \
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "                             \
    "INNER JOIN TMatRma Mrm ON (Mrm.iMatRmaId = Csm.iMatRmaId) "                                   \
    "INNER JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "                             \
    "INNER JOIN TCmp_Componenti Cmp ON (Cmp.iCmpId = CmpSca.iCmpId) "                              \
    "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = Tas.iScaLivId) "                             \
    "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND CmpSca.iCmpScaTass = 1 "                        \
    "AND Cmp.iCmpPeso = :iCmpPeso "
const char kSourceRows[] =
    "SELECT Tas.iSitId, Mrm.iMatId, ScaLiv.iScaLivValore " SOURCE_ROWS "ORDER BY Tas.iTasId";
// The records of the phase that hold an outcome which a grade of an outcome's weight replaces.
const char kOutcomesReplaced[] =
    "SELECT COUNT(*) FROM TRec_Recuperi Rec WHERE Rec.iAnsFreDwgId = :iAnsFreDwgId "
    "AND Rec.iEreId IS NOT NULL AND EXISTS (SELECT 1 " SOURCE_ROWS
    "AND Tas.iSitId = Rec.iSitId AND Mrm.iMatId = Rec.iMatId AND EXISTS (SELECT 1 FROM "
    "TEre_EsitoRec Ere WHERE Ere.iPesoRec = ScaLiv.iScaLivValore))";
#undef SOURCE_ROWS

const char kDeletePhaseRow[] =
    "DELETE FROM TRec_Recuperi Rec WHERE Rec.iAnsFreDwgId = :iAnsFreDwgId";
const char kUpdateOutcome[] =
    "UPDATE TRec_Recuperi SET iEreId = :iEreId, dRecVer = :dRecVer "
    "WHERE iSitId = :iSitId AND iMatId = :iMatId AND iAnsFreDwgId = :iAnsFreDwgId";

struct SourceRow
{
    int iSitId = 0;
    int iMatId = 0;
    QVariant value; // the level's value: NULL matches no weight
};

QString text(const char *sql)
{
    return QString::fromLatin1(sql);
}

QList<SourceRow> sourceRows(const QSqlDatabase &db, int iAnsSesDwgId, int componentWeight)
{
    // Read whole before the first write: the writes then never meet an open cursor.
    QList<SourceRow> rows;
    VxEachRow(db, text(kSourceRows),
              valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}, {"iCmpPeso", componentWeight}}),
              [&rows](const QSqlQuery &q, const QSqlRecord &) {
                  rows.append({q.value(0).toInt(), q.value(1).toInt(), q.value(2)});
              });
    return rows;
}

// The first type or outcome of each weight met, looked up once per weight.
class WeightLookup
{
public:
    explicit WeightLookup(std::function<int(int)> lookup) : m_lookup(std::move(lookup)) {}
    int idOf(const QVariant &value)
    {
        if (value.isNull())
            return 0;
        const int weight = value.toInt();
        auto found = m_ids.constFind(weight);
        if (found == m_ids.constEnd())
            found = m_ids.insert(weight, m_lookup(weight));
        return *found;
    }

private:
    std::function<int(int)> m_lookup;
    QHash<int, int> m_ids;
};

QVariant dateOrNull(const QDate &date)
{
    return date.isValid() ? QVariant(date) : QVariant();
}

// One conversion in one transaction: the source rows are read; when there are any, prepare
// runs (the records it removed), then write for each row (the records it wrote), the progress
// stepping after each row whatever it wrote.
MakeupConversionResult convert(const QSqlDatabase &db, int iAnsSesDwgId, int componentWeight,
                               const MakeupConversionProgress &progress,
                               const std::function<int(TVxTransaction &)> &prepare,
                               const std::function<int(TVxTransaction &, const SourceRow &)> &write)
{
    TVxTransactionScope scope(db);
    MakeupConversionResult result;
    const QList<SourceRow> rows = sourceRows(db, iAnsSesDwgId, componentWeight);
    result.sourceRows = int(rows.size());
    if (rows.isEmpty())
        return result;
    result.removed = prepare(scope.transaction());
    if (progress.start)
        progress.start(result.sourceRows);
    for (const SourceRow &row : rows) {
        result.written += write(scope.transaction(), row);
        if (progress.step)
            progress.step();
    }
    scope.Commit();
    return result;
}

} // namespace

MakeupConversion::MakeupConversion(const QSqlDatabase &db) : m_db(db) {}

TVxEnumItems MakeupConversion::schoolYears() const
{
    return LoadEnumItems(m_db, text(kYears));
}

MakeupConversionResult
MakeupConversion::convertTypes(int iAnsSesDwgId, int iAnsFreDwgId, const QDate &dRecAttr,
                               const MakeupConversionProgress &progress) const
{
    // The deletion and every insert stand or fall together: a failure part-way must not leave
    // the phase without the records it had.
    const MakeupRecords records(m_db);
    WeightLookup types([&records](int weight) { return records.firstTypeOfWeight(weight); });
    return convert(
        m_db, iAnsSesDwgId, kTypeComponentWeight, progress,
        [&](TVxTransaction &tr) {
            return tr.Exec(text(kDeletePhaseRow), valuesOf({{"iAnsFreDwgId", iAnsFreDwgId}}))
                .numRowsAffected();
        },
        [&](TVxTransaction &, const SourceRow &row) {
            MakeupRecord record;
            record.iTreId = types.idOf(row.value);
            if (!record.iTreId)
                return 0;
            record.iMatId = row.iMatId;
            record.iSitId = row.iSitId;
            record.iAnsFreDwgId = iAnsFreDwgId;
            record.dRecAttr = dRecAttr;
            records.insert(record);
            return 1;
        });
}

int MakeupConversion::outcomesReplaced(int iAnsSesDwgId, int iAnsFreDwgId) const
{
    int count = 0;
    VxEachRow(m_db, text(kOutcomesReplaced),
              valuesOf({{"iAnsFreDwgId", iAnsFreDwgId},
                        {"iAnsSesDwgId", iAnsSesDwgId},
                        {"iCmpPeso", kOutcomeComponentWeight}}),
              [&count](const QSqlQuery &q, const QSqlRecord &) { count = q.value(0).toInt(); });
    return count;
}

MakeupConversionResult
MakeupConversion::convertOutcomes(int iAnsSesDwgId, int iAnsFreDwgId, const QDate &dRecVer,
                                  const MakeupConversionProgress &progress) const
{
    const MakeupRecords records(m_db);
    WeightLookup outcomes([&records](int weight) { return records.firstOutcomeOfWeight(weight); });
    return convert(
        m_db, iAnsSesDwgId, kOutcomeComponentWeight, progress, [](TVxTransaction &) { return 0; },
        [&](TVxTransaction &tr, const SourceRow &row) {
            const int iEreId = outcomes.idOf(row.value);
            if (!iEreId)
                return 0;
            return tr
                .Exec(text(kUpdateOutcome), valuesOf({{"iEreId", iEreId},
                                                      {"dRecVer", dateOrNull(dRecVer)},
                                                      {"iSitId", row.iSitId},
                                                      {"iMatId", row.iMatId},
                                                      {"iAnsFreDwgId", iAnsFreDwgId}}))
                .numRowsAffected();
        });
}
