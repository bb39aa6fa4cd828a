#include "gradeentry/qevutil.h"

#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/transaction.h"

#include <QSqlQuery>

namespace {

// The school-year key of the conduct rule, shared by every caller as the suite's programs do.
int g_ansIdMedia = 0;

const char kVotiSelect[] =
    "SELECT Csm.iClsSesMatId, ScaLiv.iScaLivValore AS iValDato, "
    "MrmPst.iMatRMaPstInMedia AS bMatInMedia, ScaLiv.iScaLivInMedia AS bValInMedia, "
    "Cmp.iCmpPeso, Mat.sMatCodVexto "
    "FROM TVot_Voti Vot "
    "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = Vot.iScaLivId) ";

const char kPropostiSelect[] =
    "SELECT Csm.iClsSesMatId, ScaLiv.fPrpScaLivValore AS iValDato, "
    "MrmPst.iMatRMaPstInMedia AS bMatInMedia, 1 AS bValInMedia, "
    "Cmp.iCmpPeso, Mat.sMatCodVexto "
    "FROM TVtp_Proposti Vtp "
    // The level from the proposal ("+ 0"), never the proposals of the whole school from each
    // level.
    "INNER JOIN TPrpScaLiv ScaLiv ON (ScaLiv.iPrpScaLivId = Vtp.iPrpScaLivId + 0) ";

// %1 is the driving table's alias. The joins keep only the subjects on the pupil's own plan of
// studies (TMatRMaPst of the subject node and the plan of the pupil's class).
const char kJoins[] = "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = %1.iClsMatCmpId) "
                      "INNER JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "
                      "INNER JOIN TCmp_Componenti Cmp ON (Cmp.iCmpId = CmpSca.iCmpId) "
                      "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
                      "INNER JOIN TClsSes ClsSes ON (Csm.iClsSesId = ClsSes.iClsSesId) "
                      "INNER JOIN TAnsSesDwg asd ON (asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
                      "INNER JOIN TMatRMa Mrm ON (Mrm.iMatRmaId = Csm.iMatRmaId) "
                      "INNER JOIN TSit_Situazioni Sit ON (Sit.iSitId = %1.iSitId) "
                      "INNER JOIN TClsPst clspst ON (clspst.iClsPstId = Sit.iClsPstId) "
                      "INNER JOIN TMatRMaPst MrmPst ON (MrmPst.iMatRmaId = Mrm.iMatRmaId "
                      "AND MrmPst.iPstId = clspst.iPstId) "
                      "INNER JOIN TMat_Materie Mat ON (Mat.iMatId = Mrm.iMatId) "
                      "WHERE %1.iSitId = :iSitId ";

const char kOfClassSession[] = "AND ClsSes.iClsSesId = :iClsSesId ORDER BY Csm.iClsSesMatId";
const char kOfFinalSessions[] = "AND asd.iSfiId = 2 ORDER BY Csm.iClsSesMatId";

QString averageSelect(bool proposti, const QString &columns)
{
    QString select = QString::fromLatin1(proposti ? kPropostiSelect : kVotiSelect);
    select.insert(select.indexOf(QLatin1String(" FROM ")), columns);
    return select + QString::fromLatin1(kJoins).arg(proposti ? QStringLiteral("Vtp")
                                                             : QStringLiteral("Vot"));
}

QString buildAverageSql(bool proposti, bool ofClassSession)
{
    return averageSelect(proposti, QString()) +
           QString::fromLatin1(ofClassSession ? kOfClassSession : kOfFinalSessions);
}

// Built once: the transaction finds its prepared statement by the text.
const QString &averageSql(bool proposti, bool ofClassSession)
{
    static const QString texts[2][2] = {
        {buildAverageSql(false, false), buildAverageSql(false, true)},
        {buildAverageSql(true, false), buildAverageSql(true, true)}};
    return texts[proposti][ofClassSession];
}

std::vector<TRigaMedia> readRows(QSqlQuery &query)
{
    std::vector<TRigaMedia> rows;
    while (fetchNext(query)) {
        QList<QVariant> values;
        for (int i = 0; i < 6; ++i)
            values << query.value(i);
        rows.push_back(RigaMedia(values));
    }
    return rows;
}

// The pupil's rows, read in the caller's transaction when one runs on the shared connection.
std::vector<TRigaMedia> averageRows(bool proposti, int iSitId, int iClsSesId)
{
    const bool ofClassSession = iClsSesId >= 1;
    const QString &sql = averageSql(proposti, ofClassSession);
    TVxFieldValues values;
    values.setValue(QStringLiteral("iSitId"), iSitId);
    if (ofClassSession)
        values.setValue(QStringLiteral("iClsSesId"), iClsSesId);

    TVxTransactionScope scope(qqoVxGlobConn());
    std::vector<TRigaMedia> rows = readRows(scope.transaction().Exec(sql, values));
    scope.Commit();
    return rows;
}

} // namespace

QString RigheMediaSql(bool proposti, const QString &columns, const QString &situations)
{
    QString sql = averageSelect(proposti, columns);
    sql.replace(sql.lastIndexOf(QLatin1String("= :iSitId")), 9,
                QStringLiteral("IN (%1)").arg(situations));
    return sql;
}

TRigaMedia RigaMedia(const QList<QVariant> &values)
{
    TRigaMedia r;
    r.iClsSesMatId = values.value(0).toInt();
    r.iValDato = values.value(1).toDouble();
    r.bMatInMedia = values.value(2).toInt();
    r.bValInMedia = values.value(3).toInt();
    r.iCmpPeso = values.value(4).toInt();
    r.sMatCodVexto = values.value(5).toString();
    return r;
}

void SetAnsIdMedia(int iAnsId)
{
    g_ansIdMedia = iAnsId;
}

int AnsIdMedia()
{
    return g_ansIdMedia;
}

double CalcMedia(const std::vector<TRigaMedia> &rows, int /*iClsSesMatId*/, bool bConCondotta)
{
    double sumOfMeans = 0;
    int subjects = 0;
    bool qualifica = false;
    double qualificaValue = 0;

    size_t i = 0;
    while (i < rows.size()) {
        const int subject = rows[i].iClsSesMatId;
        double weighted = 0;
        int weight = 0;
        bool counted = false;
        for (; i < rows.size() && rows[i].iClsSesMatId == subject; ++i) {
            const TRigaMedia &r = rows[i];
            if (r.bValInMedia != 1 || r.bMatInMedia != 1)
                continue;
            if (r.sMatCodVexto == QLatin1String("RELIGIONE"))
                continue;
            if (!bConCondotta && r.sMatCodVexto == QLatin1String("CONDOTTA") && g_ansIdMedia < 39)
                continue;
            if (r.sMatCodVexto == QLatin1String("QUALIFICA")) {
                qualifica = true;
                qualificaValue = r.iValDato / 10;
            }
            counted = true;
            weight += r.iCmpPeso;
            weighted += r.iValDato * r.iCmpPeso;
        }
        // A subject whose counted votes weigh nothing still counts as one subject, adding 0.
        if (weight > 0)
            sumOfMeans += weighted / weight;
        if (counted)
            ++subjects;
    }
    if (qualifica)
        return qualificaValue;
    return subjects > 0 ? sumOfMeans / subjects : 0;
}

double CalcMedia(TClientDataSet &dataSet, int iClsSesMatId, bool bConCondotta)
{
    dataSet.setFiltered(false);
    const TField *mat = dataSet.FieldByName(QStringLiteral("iClsSesMatId"));
    const TField *valore = dataSet.FieldByName(QStringLiteral("iValDato"));
    const TField *matInMedia = dataSet.FieldByName(QStringLiteral("bMatInMedia"));
    const TField *valInMedia = dataSet.FieldByName(QStringLiteral("bValInMedia"));
    const TField *peso = dataSet.FieldByName(QStringLiteral("iCmpPeso"));
    const TField *codice = dataSet.FieldByName(QStringLiteral("sMatCodVexto"));
    std::vector<TRigaMedia> rows;
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
        rows.push_back({mat->AsInteger(), valore->AsFloat(), int(matInMedia->AsLargeInt()),
                        int(valInMedia->AsLargeInt()), peso->AsInteger(), codice->AsString()});
    }
    return CalcMedia(rows, iClsSesMatId, bConCondotta);
}

double MediaVoti(int iSitId, int iClsSesMatId, int iClsSesId, bool bConCondotta)
{
    return CalcMedia(averageRows(false, iSitId, iClsSesId), iClsSesMatId, bConCondotta);
}

double MediaVotiProposti(int iSitId, int iClsSesMatId, int iClsSesId)
{
    return CalcMedia(averageRows(true, iSitId, iClsSesId), iClsSesMatId, false);
}

int LastPos(const QString &ch, const QString &s)
{
    if (ch.size() != 1)
        return -1;
    const qsizetype at = s.lastIndexOf(ch.at(0));
    return at < 0 ? -1 : int(at) + 1;
}
