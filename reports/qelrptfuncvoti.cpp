// The vote value functions: one grade of the pupil and subject the report is printing (the
// report data module's current rows), in a session and component, as the selector asks.
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"

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

// A proposal's texts are its own, its value may be a half; its flags are the scale level's.
const QString &votoPropostoSql()
{
    static const QString sql =
        QStringLiteral("SELECT TGrd.iVtpId, TPrp.sPrpSDesc, TPrp.sPrpLDesc, "
                       "TScaLiv.iScaLivSufficiente, TPsl.fPrpScaLivValore, "
                       "TScaLiv.iScaLivInMedia FROM TVtp_Proposti TGrd ") +
        kGradeJoins +
        QStringLiteral("INNER JOIN TPrpScaLiv TPsl ON (TPsl.iPrpScaLivId = TGrd.iPrpScaLivId) "
                       "INNER JOIN TPrp_Proposti TPrp ON (TPrp.iPrpId = TPsl.iPrpId) "
                       "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TPsl.iScaLivId) ") +
        kPupilSession + kSubject + kComponent;
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

bool isSet(const QVariant &flag)
{
    return !flag.isNull() && frToInteger(flag) != 0;
}

// The first row's grade as the selector asks; the empty text without a grade, "0" (the
// default) for a selector that is none of the five.
void answer(QelFunctionCall &call, TfrQuery &q, const QString &selector)
{
    if (qelBlank(q.Value(0))) {
        call.val = QString();
    } else if (selector == QLatin1String("BREVE")) {
        call.val = frDisplayText(q.Value(1));
    } else if (selector == QLatin1String("LUNGA")) {
        call.val = frDisplayText(q.Value(2));
    } else if (selector == QLatin1String("VALORE")) {
        call.val = frDisplayText(q.Value(4));
    } else if (selector == QLatin1String("SUFF")) {
        call.val = isSet(q.Value(3)) ? QStringLiteral("SI") : QStringLiteral("NO");
    } else if (selector == QLatin1String("MEDIA")) {
        call.val = isSet(q.Value(5)) ? QStringLiteral("SI") : QStringLiteral("NO");
    }
    q.Close();
}

// Voto, Voto_Proposto, Tassonomia: session, component, selector.
void componentGrade(QelFunctionCall &call, const QString &sql)
{
    const QVariant session = call.arg(0);
    const QVariant component = call.arg(1);
    const QString selector = qelSelector(call.arg(2));
    if (qelBlank(session) || qelBlank(component) || qelBlank(selector)) {
        call.val = QString();
        return;
    }
    TdmqelRptDataSets &m = qelRptModule();
    TfrQuery &q = qelOpenScratch(sql, {{"iAnsSesDwgId", qelId(session)},
                                       {"iSitId", m.CurSitId()},
                                       {"iMatId", m.CurMatId()},
                                       {"iCmpScaId", qelId(component)}});
    answer(call, q, selector);
}

void voto(QelFunctionCall &call)
{
    componentGrade(call, votoSql());
}

void votoProposto(QelFunctionCall &call)
{
    componentGrade(call, votoPropostoSql());
}

void tassonomia(QelFunctionCall &call)
{
    componentGrade(call, tassonomiaSql());
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
    const QList<int> excluded = m.GetCmpSessione(qelId(session));
    // Without the session's components to leave out it would print a written or oral vote as
    // an "other" one: the report ends instead.
    if (excluded.isEmpty())
        throw EfrError(QStringLiteral("Voto_Altro: la sessione %1 non è una delle tre sessioni "
                                      "dei parametri di stampa (comando \"Parametri Stampe\").")
                           .arg(qelId(session)));
    QelParams params = {
        {"iAnsSesDwgId", qelId(session)}, {"iSitId", m.CurSitId()}, {"iMatId", m.CurMatId()}};
    const char *names[] = {"iCmp1", "iCmp2", "iCmp3"};
    for (int i = 0; i < excluded.size(); ++i)
        params.append({names[i], excluded[i]});
    TfrQuery &q = qelOpenScratch(votoAltroSql(), params);
    answer(call, q, selector);
}

void subjectByCode(QelFunctionCall &call, const QString &code)
{
    const QVariant session = call.arg(0);
    const QString selector = qelSelector(call.arg(1));
    if (qelBlank(session) || qelBlank(selector)) {
        call.val = QString();
        return;
    }
    TfrQuery &q = qelOpenScratch(votoMateriaSql(), {{"iAnsSesDwgId", qelId(session)},
                                                    {"iSitId", qelRptModule().CurSitId()},
                                                    {"MATERIA", code}});
    answer(call, q, selector);
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

void qelAddVoteFunctions(QelFunctionHandlers &h)
{
    h[fnVoto] = voto;
    h[fnVoto_Proposto] = votoProposto;
    h[fnTassonomia] = tassonomia;
    h[fnVoto_Religione] = votoReligione;
    h[fnVoto_Condotta] = votoCondotta;
    h[fnVoto_Altro] = votoAltro;
}
