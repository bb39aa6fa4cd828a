// The vote value functions: one grade of the pupil and subject the report is printing (the
// report data module's current rows), in a session and component, as the selector asks.
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"
#include "reports/qelrptpupilreads.h"

#include <algorithm>

namespace {

// Each statement answers six columns for its first row, in this order: the grade's id (none
// without a grade), short and long text, sufficiency flag, value and in-average flag.
const QString kGradeJoins =
    QStringLiteral("INNER JOIN TClsMatCmp TCmc ON (TCmc.iClsMatCmpId = TGrd.iClsMatCmpId) "
                   "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TCmc.iClsSesMatId) "
                   "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = TCsm.iClsSesId) "
                   "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) ");
const QString kLevelColumns =
    QStringLiteral("TLiv.sLivSDesc, TLiv.sLivLDesc, TScaLiv.iScaLivSufficiente, "
                   "TScaLiv.iScaLivValore, TScaLiv.iScaLivInMedia ");
const QString kLevelJoins =
    QStringLiteral("INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TGrd.iScaLivId) "
                   "INNER JOIN TLiv_Livelli TLiv ON (TLiv.iLivId = TScaLiv.iLivId) ");
const QString kPupilSession = QStringLiteral("WHERE (TGrd.iSitId = :iSitId) "
                                             "AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId) ");
const QString kSubject = QStringLiteral("AND (TRma.iMatId = :iMatId) ");
const QString kComponent = QStringLiteral("AND (TCmc.iCmpScaId = :iCmpScaId) ");

// A vote or taxonomy (the same shape, another table).
QString levelGrade(const char *table, const char *id)
{
    return QStringLiteral("SELECT TGrd.%1, ").arg(QLatin1String(id)) + kLevelColumns +
           QStringLiteral("FROM %1 TGrd ").arg(QLatin1String(table)) + kGradeJoins + kLevelJoins +
           kPupilSession + kSubject;
}

const QString &votoSql()
{
    static const QString sql = levelGrade("TVot_Voti", "iVotId") + kComponent;
    return sql;
}

const QString &tassonomiaSql()
{
    static const QString sql = levelGrade("TTas_Tassonomie", "iTasId") + kComponent;
    return sql;
}

// A proposal's texts are its own, its value may be a half; its flags are the scale level's. The
// level is found from the proposal ("+ 0"): found the other way, each level would read the
// proposals of the whole school that have it.
const QString kProposalJoins =
    QStringLiteral("INNER JOIN TPrpScaLiv TPsl ON (TPsl.iPrpScaLivId = TGrd.iPrpScaLivId + 0) "
                   "INNER JOIN TPrp_Proposti TPrp ON (TPrp.iPrpId = TPsl.iPrpId) "
                   "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TPsl.iScaLivId) ");

const QString &votoPropostoSql()
{
    static const QString sql = QStringLiteral("SELECT TGrd.iVtpId, TPrp.sPrpSDesc, TPrp.sPrpLDesc, "
                                              "TScaLiv.iScaLivSufficiente, TPsl.fPrpScaLivValore, "
                                              "TScaLiv.iScaLivInMedia FROM TVtp_Proposti TGrd ") +
                               kGradeJoins + kProposalJoins + kPupilSession + kSubject + kComponent;
    return sql;
}

// The vote of the components the print settings do not put beside the session's first three;
// the session is one of the settings'.
const QString &votoAltroSql()
{
    static const QString others =
        levelGrade("TVot_Voti", "iVotId") +
        QStringLiteral("AND (TCmc.iCmpScaId NOT IN (:iCmp1, :iCmp2, :iCmp3)) ");
    return others;
}

// The subject by its code: religion and conduct have one in every plan.
const QString &votoMateriaSql()
{
    static const QString sql =
        QStringLiteral("SELECT TGrd.iVotId, ") + kLevelColumns +
        QStringLiteral("FROM TVot_Voti TGrd ") + kGradeJoins +
        QStringLiteral("INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) ") +
        kLevelJoins + kPupilSession + QStringLiteral("AND (TMat.sMatCodVexto = :MATERIA) ");
    return sql;
}

// Every grade of the pupils, with what the functions filter and average on. The joins the
// functions' statements share are inner; those only the averages make are outer here, their
// rows flagged, so that one read serves both.
QString gradesOfPupils(const char *table, const QString &columns, const QString &levelJoins)
{
    return QStringLiteral("SELECT TGrd.iSitId AS BatchKey, TRma.iMatId, TClsSes.iAnsSesDwgId, "
                          "TCmc.iCmpScaId, ") +
           columns +
           QStringLiteral(", TMat.sMatCodVexto, TMrp.iMatRmaPstInMedia, TCmpSca.iCmpScaInMedia, "
                          "TCmpSca.iCmpScaId, TClsPst.iClsPstId FROM %1 TGrd ")
               .arg(QLatin1String(table)) +
           kGradeJoins + levelJoins +
           QStringLiteral("LEFT JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) "
                          "LEFT JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "
                          "LEFT JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGrd.iSitId) "
                          "LEFT JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                          "LEFT JOIN TMatRmaPst TMrp ON (TMrp.iMatRmaId = TCsm.iMatRmaId "
                          "AND TMrp.iPstId = TClsPst.iPstId) "
                          "WHERE TGrd.iSitId IN (%KEYS%) ORDER BY 1, 5");
}

const QelPupilRead &gradeRead(QelGrade kind)
{
    static const QelPupilRead reads[] = {
        {QStringLiteral("voti"),
         gradesOfPupils("TVot_Voti", QStringLiteral("TGrd.iVotId, ") + kLevelColumns, kLevelJoins),
         QelPupilKey::Situation},
        {QStringLiteral("proposti"),
         gradesOfPupils("TVtp_Proposti",
                        QStringLiteral("TGrd.iVtpId, TPrp.sPrpSDesc, TPrp.sPrpLDesc, "
                                       "TScaLiv.iScaLivSufficiente, TPsl.fPrpScaLivValore, "
                                       "TScaLiv.iScaLivInMedia "),
                        kProposalJoins),
         QelPupilKey::Situation},
        {QStringLiteral("tassonomie"),
         gradesOfPupils("TTas_Tassonomie", QStringLiteral("TGrd.iTasId, ") + kLevelColumns,
                        kLevelJoins),
         QelPupilKey::Situation},
    };
    return reads[int(kind)];
}

bool isSet(const QVariant &flag)
{
    return !flag.isNull() && frToInteger(flag) != 0;
}

bool equals(const QVariant &column, qint64 value)
{
    return !column.isNull() && frToInteger(column) == value;
}

// The first grade of the pupil's rows the condition keeps (by id: where two would match, the
// database's first is the older one), as the selector asks; the empty text without a grade,
// "0" (the default) for a selector that is none of the five.
template <class Keep>
void answer(QelFunctionCall &call, QelGrade kind, const QString &selector, Keep keep)
{
    const TfrRows rows = qelGradeRows(kind, qelRptModule().CurSitId());
    const auto row = std::find_if(rows.rows.begin(), rows.rows.end(), keep);
    const auto value = [&row](int column) { return row->value(column); };
    if (row == rows.rows.end() || qelBlank(value(gcId))) {
        call.val = QString();
    } else if (selector == QLatin1String("BREVE")) {
        call.val = frDisplayText(value(gcShort));
    } else if (selector == QLatin1String("LUNGA")) {
        call.val = frDisplayText(value(gcLong));
    } else if (selector == QLatin1String("VALORE")) {
        call.val = frDisplayText(value(gcValue));
    } else if (selector == QLatin1String("SUFF")) {
        call.val = isSet(value(gcSufficient)) ? QStringLiteral("SI") : QStringLiteral("NO");
    } else if (selector == QLatin1String("MEDIA")) {
        call.val = isSet(value(gcInAverage)) ? QStringLiteral("SI") : QStringLiteral("NO");
    }
}

// Voto, Voto_Proposto, Tassonomia: session, component, selector.
void componentGrade(QelFunctionCall &call, QelGrade kind, const QString &sql)
{
    const QVariant session = call.arg(0);
    const QVariant component = call.arg(1);
    const QString selector = qelSelector(call.arg(2));
    if (qelBlank(session) || qelBlank(component) || qelBlank(selector)) {
        call.val = QString();
        return;
    }
    TdmqelRptDataSets &m = qelRptModule();
    const int sessionId = qelId(session);
    const int componentId = qelId(component);
    const int subject = m.CurMatId();
    qelSetScratch(sql, {{"iAnsSesDwgId", sessionId},
                        {"iSitId", m.CurSitId()},
                        {"iMatId", subject},
                        {"iCmpScaId", componentId}});
    answer(call, kind, selector, [&](const QList<QVariant> &row) {
        return equals(row.value(gcSubject), subject) && equals(row.value(gcSession), sessionId) &&
               equals(row.value(gcComponent), componentId);
    });
}

void voto(QelFunctionCall &call)
{
    componentGrade(call, QelGrade::Voto, votoSql());
}

void votoProposto(QelFunctionCall &call)
{
    componentGrade(call, QelGrade::Proposta, votoPropostoSql());
}

void tassonomia(QelFunctionCall &call)
{
    componentGrade(call, QelGrade::Tassonomia, tassonomiaSql());
}

// The third argument, a subject id in the designer's help, is neither read nor used: the
// subject is the current one, as for Voto.
void votoAltro(QelFunctionCall &call)
{
    const QVariant session = call.arg(0);
    const QString selector = qelSelector(call.arg(1));
    if (qelBlank(session) || qelBlank(selector)) {
        call.val = QString();
        return;
    }
    TdmqelRptDataSets &m = qelRptModule();
    const int sessionId = qelId(session);
    const int subject = m.CurMatId();
    const QList<int> excluded = m.GetCmpSessione(sessionId);
    // Without the session's components to leave out it would print a written or oral vote as
    // an "other" one: the report ends instead.
    if (excluded.isEmpty())
        throw EfrError(QStringLiteral("Voto_Altro: la sessione %1 non è una delle tre sessioni "
                                      "dei parametri di stampa (comando \"Parametri Stampe\").")
                           .arg(sessionId));
    QelParams params = {{"iAnsSesDwgId", sessionId}, {"iSitId", m.CurSitId()}, {"iMatId", subject}};
    const char *names[] = {"iCmp1", "iCmp2", "iCmp3"};
    for (int i = 0; i < excluded.size(); ++i)
        params.append({names[i], excluded[i]});
    qelSetScratch(votoAltroSql(), params);
    answer(call, QelGrade::Voto, selector, [&](const QList<QVariant> &row) {
        const QVariant component = row.value(gcComponent);
        return equals(row.value(gcSubject), subject) && equals(row.value(gcSession), sessionId) &&
               !component.isNull() && !excluded.contains(frToInteger(component));
    });
}

void subjectByCode(QelFunctionCall &call, const QString &code)
{
    const QVariant session = call.arg(0);
    const QString selector = qelSelector(call.arg(1));
    if (qelBlank(session) || qelBlank(selector)) {
        call.val = QString();
        return;
    }
    const int sessionId = qelId(session);
    qelSetScratch(
        votoMateriaSql(),
        {{"iAnsSesDwgId", sessionId}, {"iSitId", qelRptModule().CurSitId()}, {"MATERIA", code}});
    answer(call, QelGrade::Voto, selector, [&](const QList<QVariant> &row) {
        return equals(row.value(gcSession), sessionId) &&
               frDisplayText(row.value(gcSubjectCode)) == code &&
               !row.value(gcSubjectCode).isNull();
    });
}

void votoReligione(QelFunctionCall &call)
{
    subjectByCode(call, QStringLiteral("RELIGIONE"));
}

void votoCondotta(QelFunctionCall &call)
{
    subjectByCode(call, QStringLiteral("CONDOTTA"));
}

} // namespace

TfrRows qelGradeRows(QelGrade kind, int iSitId)
{
    return qelPupilRows(gradeRead(kind), iSitId);
}

void qelAddVoteFunctions(QelFunctionHandlers &h)
{
    h[fnVoto] = voto;
    h[fnVoto_Proposto] = votoProposto;
    h[fnTassonomia] = tassonomia;
    h[fnVoto_Religione] = votoReligione;
    h[fnVoto_Condotta] = votoCondotta;
    h[fnVoto_Altro] = votoAltro;
}
