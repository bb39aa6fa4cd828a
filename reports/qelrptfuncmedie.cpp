// A pupil's averages and totals over a subject, a session or the year: votes, proposed votes,
// taxonomies, absences, aids and notes; the absences in religion and of a whole class, and the
// absence percentage.
#include "gradeentry/qevutil.h"
#include "platform/helpers.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"

namespace {

enum class Member { Voti, Proposti, Tassonomie, Assenze, Aiuti, Note };

// Every member filters alike: 0 for the session or the subject takes them all. A parameter
// left without a value (a mode none of the three) matches nothing.
const QString kSessionSubject =
    QStringLiteral("AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId OR :iAnsSesDwgId = 0) "
                   "AND (TRma.iMatId = :iMatId OR :iMatId = 0) ");
const QString kSubjectJoins =
    QStringLiteral("INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TGrd.iClsSesMatId) "
                   "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = TCsm.iClsSesId) "
                   "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) ");

// The six value columns of a grade, then the in-average flags of its subject in the pupil's
// plan (none when the plan does not have it) and of its component.
QString gradeSql(const QString &table, const QString &columns, const QString &levelJoins)
{
    return QStringLiteral("SELECT DISTINCT ") + columns +
           QStringLiteral(", TMrp.iMatRmaPstInMedia AS iMatInMedia, TCmpSca.iCmpScaInMedia "
                          "FROM %1 TGrd "
                          "INNER JOIN TClsMatCmp TCmc ON (TCmc.iClsMatCmpId = TGrd.iClsMatCmpId) "
                          "INNER JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "
                          "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TCmc.iClsSesMatId) "
                          "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = TCsm.iClsSesId) "
                          "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) ")
               .arg(table) +
           levelJoins +
           QStringLiteral("INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGrd.iSitId) "
                          "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                          "LEFT JOIN TMatRmaPst TMrp ON (TMrp.iMatRmaId = TCsm.iMatRmaId "
                          "AND TMrp.iPstId = TClsPst.iPstId) "
                          "WHERE (TGrd.iSitId = :iSitId) ") +
           kSessionSubject;
}

const QString kLevelColumns =
    QStringLiteral("TLiv.sLivSDesc AS sValSDesc, TLiv.sLivLDesc AS sValLDesc, "
                   "TScaLiv.iScaLivSufficiente AS iValSuff, TScaLiv.iScaLivValore AS iValValore, "
                   "TScaLiv.iScaLivInMedia AS iValInMedia");
const QString kLevelJoins =
    QStringLiteral("INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TGrd.iScaLivId) "
                   "INNER JOIN TLiv_Livelli TLiv ON (TLiv.iLivId = TScaLiv.iLivId) ");

// The latest row of each class-session subject (of those with an insertion date), in the
// pupil's own class, in the sessions printed on report cards.
QString assenzeSql(bool withoutDeferred)
{
    return QStringLiteral("SELECT SUM(TGrd.iAssOre) AS nTotAss FROM TAss_Assenze TGrd ") +
           kSubjectJoins +
           QStringLiteral(
               "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
               "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGrd.iSitId) "
               "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId "
               "AND TClsPst.iClsId = TClsSes.iClsId) "
               "WHERE (TGrd.iSitId = :iSitId) AND (TAsd.lAnsSesDwgPagella = 1) "
               "AND (TGrd.iAssId = (SELECT MAX(TLast.iAssId) FROM TAss_Assenze TLast "
               "WHERE (TLast.iSitId = TGrd.iSitId) AND (TLast.iClsSesMatId = TGrd.iClsSesMatId) "
               "AND (TLast.dInsert IS NOT NULL))) ") +
           kSessionSubject +
           (withoutDeferred ? QStringLiteral("AND (TAsd.iSfiId <> 3)") : QString());
}

QString rowsSql(const char *columns, const char *table)
{
    return QStringLiteral("SELECT %1 FROM %2 TGrd ")
               .arg(QLatin1String(columns), QLatin1String(table)) +
           kSubjectJoins + QStringLiteral("WHERE (TGrd.iSitId = :iSitId) ") + kSessionSubject;
}

const QString &memberSql(Member member, bool withoutDeferred)
{
    static const QString voti =
        gradeSql(QStringLiteral("TVot_Voti"),
                 QStringLiteral("TGrd.iVotId AS iValId, ") + kLevelColumns, kLevelJoins);
    static const QString tassonomie =
        gradeSql(QStringLiteral("TTas_Tassonomie"),
                 QStringLiteral("TGrd.iTasId AS iValId, ") + kLevelColumns, kLevelJoins);
    // A proposal's texts are its own and its value may be a half; its flags are the scale
    // level's.
    static const QString proposti = gradeSql(
        QStringLiteral("TVtp_Proposti"),
        QStringLiteral(
            "TGrd.iVtpId AS iValId, TPrp.sPrpSDesc AS sValSDesc, "
            "TPrp.sPrpLDesc AS sValLDesc, TScaLiv.iScaLivSufficiente AS iValSuff, "
            "TPsl.fPrpScaLivValore AS iValValore, TScaLiv.iScaLivInMedia AS iValInMedia"),
        QStringLiteral("INNER JOIN TPrpScaLiv TPsl ON (TPsl.iPrpScaLivId = TGrd.iPrpScaLivId) "
                       "INNER JOIN TPrp_Proposti TPrp ON (TPrp.iPrpId = TPsl.iPrpId) "
                       "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TPsl.iScaLivId) "));
    static const QString assenze[2] = {assenzeSql(false), assenzeSql(true)};
    static const QString aiuti = rowsSql("TGrd.sAiuVal", "TAiu_Aiuti");
    static const QString note = rowsSql("TGrd.bNotNota", "TNot_Note");
    switch (member) {
    case Member::Voti:
        return voti;
    case Member::Proposti:
        return proposti;
    case Member::Tassonomie:
        return tassonomie;
    case Member::Assenze:
        return assenze[withoutDeferred];
    case Member::Aiuti:
        return aiuti;
    case Member::Note:
        break;
    }
    return note;
}

bool flagSet(const QVariant &flag)
{
    return !flag.isNull() && frToInteger(flag) != 0;
}

// The plain mean of the counted values, kept to hundredths as "0.00" prints it (halves away
// from zero); null when none counts.
QVariant walkedAverage(TfrQuery &q, bool subjectFlagCounts)
{
    double sum = 0;
    int count = 0;
    for (; !q.Eof(); q.Next()) {
        if (!flagSet(q.FieldByName(QStringLiteral("iCmpScaInMedia")).Value()) ||
            !flagSet(q.FieldByName(QStringLiteral("iValInMedia")).Value()) ||
            (subjectFlagCounts && !flagSet(q.FieldByName(QStringLiteral("iMatInMedia")).Value())))
            continue;
        sum += frToFloat(q.FieldByName(QStringLiteral("iValValore")).Value());
        ++count;
    }
    return count ? QVariant(RoundHalfAway(sum / count, -2)) : QVariant();
}

// Grade entry's average of the pupil's class session in the session the parameter names (0:
// the final sessions' votes); in mode "ANS" the parameter is a subject and is read as a
// session all the same, so that templates written for it keep printing the final average.
QString gradeEntryAverage(Member member, int situation, int session)
{
    TdmqelRptDataSets &m = qelRptModule();
    SetAnsIdMedia(m.SelAnsId());
    const int classSession = m.GetClsSesId(situation, session);
    const double average = member == Member::Voti ? MediaVoti(situation, 0, classSession, false)
                                                  : MediaVotiProposti(situation, 0, classSession);
    return average > 0 ? qelFixed2(average) : QString();
}

// GetVoti, GetProposti, GetTassonomie, GetAssenze, GetAiuti, GetNote: the situation, then a
// subject id (mode "MAT") or the mode "ANS" or "SES", then the parameter of the mode.
void family(QelFunctionCall &call, Member member)
{
    const QVariant situation = call.arg(0);
    const QVariant second = call.arg(1);
    QString mode = QStringLiteral("MAT");
    QVariant subject;
    try {
        subject = qelId(second);
    } catch (const EfrConversionError &) {
        mode = qelSelector(second);
    }
    const QVariant parameter = call.arg(2);
    if (qelBlank(situation) || qelBlank(parameter)) {
        call.val = QString();
        return;
    }
    const int sitId = qelId(situation);
    const bool known = mode == QLatin1String("ANS") || mode == QLatin1String("SES") ||
                       mode == QLatin1String("MAT");
    if ((member == Member::Voti || member == Member::Proposti) && mode != QLatin1String("MAT")) {
        call.val = gradeEntryAverage(member, sitId, qelId(parameter));
        return;
    }
    QVariant session;
    QVariant matId;
    bool parameterIsZero = false;
    if (known) {
        const int value = qelId(parameter);
        parameterIsZero = value == 0;
        session = mode == QLatin1String("ANS") ? 0 : value;
        matId = mode == QLatin1String("ANS") ? value : mode == QLatin1String("SES") ? 0 : subject;
    }
    TfrQuery &q = qelOpenScratch(memberSql(member, parameterIsZero),
                                 {{"iSitId", sitId}, {"iAnsSesDwgId", session}, {"iMatId", matId}});
    switch (member) {
    case Member::Assenze: // the sum
    case Member::Note:    // the first note
        call.val = frDisplayText(q.Value(0));
        break;
    case Member::Aiuti:
        call.val = q.RecordCount() ? QString::number(q.RecordCount()) : QString();
        break;
    default: {
        const QVariant walked = walkedAverage(q, mode != QLatin1String("MAT"));
        call.val = walked.isNull() ? QVariant(QString()) : walked;
    }
    }
    q.Close();
}

template <Member member> void memberOfFamily(QelFunctionCall &call)
{
    family(call, member);
}

void assenzeReligione(QelFunctionCall &call)
{
    if (TfrQuery *q = qelOpenOnIds(
            call,
            QStringLiteral("SELECT SUM(TGrd.iAssOre) AS iTotOre FROM TAss_Assenze TGrd ") +
                kSubjectJoins +
                QStringLiteral(
                    "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
                    "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) "
                    "WHERE (TGrd.iSitId = :iSitId) AND (TMat.sMatCodVexto = :MATERIA) "
                    "AND (TAsd.iSfiId <> 3) "
                    "AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId OR :iAnsSesDwgId = 0)"),
            {"iSitId", "iAnsSesDwgId"}, {{"MATERIA", QStringLiteral("RELIGIONE")}}))
        call.val = qelFirstText(*q);
}

// The class's pupils on the register, in its report-card sessions but the deferred one.
void getTotMatAssenze(QelFunctionCall &call)
{
    const int classId = qelId(call.arg(0));
    const int session = qelId(call.arg(1));
    const int subject = qelId(call.arg(2));
    TfrQuery &q = qelOpenQuery(
        *qelRptModule().qquTotMatAss,
        QStringLiteral("SELECT SUM(TGrd.iAssOre) AS nTotAss FROM TAss_Assenze TGrd "
                       "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGrd.iSitId) "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) ") +
            kSubjectJoins +
            QStringLiteral(
                "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
                "WHERE (TClsPst.iClsId = :iClsId) AND (TClsSes.iClsId = :iClsId) "
                "AND (TSit.iSitOrdine = 1) AND (TSit.iSitPosReg > 0) "
                "AND (TAsd.lAnsSesDwgPagella = 1) AND (TAsd.iSfiId <> 3) ") +
            kSessionSubject,
        {{"iClsId", classId}, {"iAnsSesDwgId", session}, {"iMatId", subject}});
    const QVariant total = q.Value(0);
    q.Close();
    call.val = total.isNull() ? 0 : int(frToInteger(total));
}

void percentualeAssenze(QelFunctionCall &call)
{
    call.val = qelRptModule().GetPercentualeAssenze(qelId(call.arg(0)));
}

// Registered for the templates that name them; they compute nothing and answer "0".
void nothing(QelFunctionCall &) {}

} // namespace

void qelAddTotalsFunctions(QelFunctionHandlers &h)
{
    h[fnGetVoti] = memberOfFamily<Member::Voti>;
    h[fnGetProposti] = memberOfFamily<Member::Proposti>;
    h[fnGetTassonomie] = memberOfFamily<Member::Tassonomie>;
    h[fnGetAssenze] = memberOfFamily<Member::Assenze>;
    h[fnGetAiuti] = memberOfFamily<Member::Aiuti>;
    h[fnGetNote] = memberOfFamily<Member::Note>;
    h[fnAssenze_Religione] = assenzeReligione;
    h[fnGetTotMatAssenze] = getTotMatAssenze;
    h[fnPercentuale_Assenze] = percentualeAssenze;
    h[fnMaxOre_Assenze_Consentite] = nothing;
    h[fnMinOre_Frequenza] = nothing;
}
