// A pupil's averages and totals over a subject, a session or the year: votes, proposed votes,
// taxonomies, absences, aids and notes; the absences in religion and of a whole class, and the
// absence percentage.
#include "gradeentry/qevutil.h"
#include "platform/helpers.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"
#include "reports/qelrptpupilreads.h"

#include <QHash>
#include <QSet>

#include <algorithm>

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

// The family's filters: 0 for the session or the subject takes them all; a parameter without
// a value (a mode none of the three) matches nothing.
struct Filters
{
    QVariant session;
    QVariant subject;

    static bool matches(const QVariant &wanted, const QVariant &column)
    {
        if (wanted.isNull())
            return false;
        const qint64 value = frToInteger(wanted);
        return value == 0 || (!column.isNull() && frToInteger(column) == value);
    }
    bool keep(const QVariant &sessionColumn, const QVariant &subjectColumn) const
    {
        return matches(session, sessionColumn) && matches(subject, subjectColumn);
    }
};

// The plain mean of the pupil's distinct grades that count, kept to hundredths as "0.00"
// prints it (halves away from zero); null when none counts. Distinct as the family's statement
// reads them: a grade once, unless the plan lists its subject twice with other flags.
QVariant walkedAverage(QelGrade kind, int situation, const Filters &filters, bool subjectFlagCounts)
{
    const TfrRows grades = qelGradeRows(kind, situation);
    QSet<QString> seen;
    double sum = 0;
    int count = 0;
    for (const QList<QVariant> &row : grades.rows) {
        if (row.value(gcHasComponent).isNull() || row.value(gcHasPlan).isNull() ||
            !filters.keep(row.value(gcSession), row.value(gcSubject)))
            continue;
        const QString grade = QStringLiteral("%1/%2/%3")
                                  .arg(frDisplayText(row.value(gcId)),
                                       row.value(gcSubjectInAverage).isNull()
                                           ? QStringLiteral("-")
                                           : frDisplayText(row.value(gcSubjectInAverage)),
                                       frDisplayText(row.value(gcComponentInAverage)));
        if (seen.contains(grade))
            continue;
        seen.insert(grade);
        if (!flagSet(row.value(gcComponentInAverage)) || !flagSet(row.value(gcInAverage)) ||
            (subjectFlagCounts && !flagSet(row.value(gcSubjectInAverage))))
            continue;
        sum += frToFloat(row.value(gcValue));
        ++count;
    }
    return count ? QVariant(RoundHalfAway(sum / count, -2)) : QVariant();
}

// The rows of grade entry's averages of the pupil, of every class session, read with the next
// pupils the run prints: the six columns of TRigaMedia, then the class session and the
// session's kind.
std::vector<TRigaMedia> averageRows(bool proposti, int situation, int classSession)
{
    static const QelPupilRead reads[2] = {
        {QStringLiteral("medie voti"),
         RigheMediaSql(false,
                       QStringLiteral(", Sit.iSitId AS BatchKey, ClsSes.iClsSesId, asd.iSfiId"),
                       QStringLiteral("%KEYS%")),
         QelPupilKey::Situation},
        {QStringLiteral("medie proposti"),
         RigheMediaSql(true,
                       QStringLiteral(", Sit.iSitId AS BatchKey, ClsSes.iClsSesId, asd.iSfiId"),
                       QStringLiteral("%KEYS%")),
         QelPupilKey::Situation}};
    const TfrRows rows = qelPupilRows(reads[proposti], situation);
    std::vector<TRigaMedia> kept;
    for (const QList<QVariant> &row : rows.rows) {
        // The class session's rows, or without one those of the final sessions (kind 2).
        const QVariant chosen = row.value(classSession >= 1 ? 7 : 8);
        if (!chosen.isNull() && chosen.toInt() == (classSession >= 1 ? classSession : 2))
            kept.push_back(RigaMedia(row));
    }
    std::stable_sort(kept.begin(), kept.end(), [](const TRigaMedia &a, const TRigaMedia &b) {
        return a.iClsSesMatId < b.iClsSesMatId;
    });
    return kept;
}

// Grade entry's average of the pupil's class session in the session the parameter names (0:
// the final sessions' votes); in mode "ANS" the parameter is a subject and is read as a
// session all the same, so that templates written for it keep printing the final average.
QString gradeEntryAverage(Member member, int situation, int session)
{
    TdmqelRptDataSets &m = qelRptModule();
    SetAnsIdMedia(m.SelAnsId());
    const int classSession = m.GetClsSesId(situation, session);
    const double average =
        CalcMedia(averageRows(member == Member::Proposti, situation, classSession), 0, false);
    return average > 0 ? qelFixed2(average) : QString();
}

// The pupils' absence rows, each with what the absence functions filter on: whether each join
// of their statements finds its row, the session, subject and its code, the session's kind and
// report-card mark, and whether the row was inserted (the latest of a class-session subject is
// the highest id among those).
enum AbsenceColumn {
    acSituation,
    acId,
    acClassSubject,
    acHours,
    acInserted,
    acHasClassSubject,
    acHasClassSession,
    acSession,
    acHasSubjectLink,
    acSubject,
    acHasSession,
    acReportCard,
    acSessionKind,
    acOwnClass,
    acHasSubject,
    acSubjectCode
};

TfrRows absenceRows(int situation)
{
    static const QelPupilRead read{
        QStringLiteral("assenze"),
        QStringLiteral(
            "SELECT TGrd.iSitId AS BatchKey, TGrd.iAssId, TGrd.iClsSesMatId, TGrd.iAssOre, "
            "CASE WHEN TGrd.dInsert IS NULL THEN 0 ELSE 1 END AS lInserita, "
            "TCsm.iClsSesMatId AS iCsm, TClsSes.iClsSesId, TClsSes.iAnsSesDwgId, "
            "TRma.iMatRmaId, TRma.iMatId, TAsd.iAnsSesDwgId AS iAsd, TAsd.lAnsSesDwgPagella, "
            "TAsd.iSfiId, TClsPst.iClsPstId, TMat.iMatId AS iMat, TMat.sMatCodVexto "
            "FROM TAss_Assenze TGrd "
            "LEFT JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TGrd.iClsSesMatId) "
            "LEFT JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = TCsm.iClsSesId) "
            "LEFT JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) "
            "LEFT JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
            "LEFT JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGrd.iSitId) "
            "LEFT JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId "
            "AND TClsPst.iClsId = TClsSes.iClsId) "
            "LEFT JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) "
            "WHERE TGrd.iSitId IN (%KEYS%) ORDER BY 1, 2"),
        QelPupilKey::Situation};
    return qelPupilRows(read, situation);
}

// The pupils' aids or notes, with the session and the subject each is filtered on, read with the
// next pupils the run prints; each pupil's in the order of his own statement.
TfrRows aidAndNoteRows(Member member, int situation)
{
    const auto read = [](const char *name, const char *value, const char *table) {
        return QelPupilRead{QLatin1String(name),
                            QStringLiteral("SELECT %1, TGrd.iSitId AS BatchKey, "
                                           "TClsSes.iAnsSesDwgId, TRma.iMatId FROM %2 TGrd ")
                                    .arg(QLatin1String(value), QLatin1String(table)) +
                                kSubjectJoins + QStringLiteral("WHERE TGrd.iSitId IN (%KEYS%)"),
                            QelPupilKey::Situation};
    };
    static const QelPupilRead aids = read("aiuti", "TGrd.sAiuVal", "TAiu_Aiuti");
    static const QelPupilRead notes = read("note", "TGrd.bNotNota", "TNot_Note");
    return qelPupilRows(member == Member::Note ? notes : aids, situation);
}

// What the absences' statements join: the class-session subject, its class session and subject
// link, the session.
bool joined(const QList<QVariant> &row)
{
    return !row.value(acHasClassSubject).isNull() && !row.value(acHasClassSession).isNull() &&
           !row.value(acHasSubjectLink).isNull() && !row.value(acHasSession).isNull();
}

bool notDeferred(const QList<QVariant> &row)
{
    const QVariant kind = row.value(acSessionKind);
    return !kind.isNull() && frToInteger(kind) != 3;
}

// The sum of the hours of the rows kept, as the statements' SUM prints it: nothing without a
// row or an hour.
template <class Keep> QString hoursOf(const TfrRows &rows, Keep keep)
{
    qint64 sum = 0;
    bool any = false;
    for (const QList<QVariant> &row : rows.rows) {
        if (!keep(row) || row.value(acHours).isNull())
            continue;
        sum += frToInteger(row.value(acHours));
        any = true;
    }
    return any ? QString::number(sum) : QString();
}

// GetAssenze: in the pupil's own class, in report-card sessions, the latest row of each
// class-session subject among those inserted.
QString absences(int situation, const Filters &filters, bool withoutDeferred)
{
    const TfrRows rows = absenceRows(situation);
    QHash<qint64, qint64> latest;
    for (const QList<QVariant> &row : rows.rows) {
        if (row.value(acClassSubject).isNull() || frToInteger(row.value(acInserted)) == 0)
            continue;
        qint64 &id = latest[frToInteger(row.value(acClassSubject))];
        id = std::max(id, frToInteger(row.value(acId)));
    }
    return hoursOf(rows, [&](const QList<QVariant> &row) {
        const QVariant classSubject = row.value(acClassSubject);
        return joined(row) && !row.value(acOwnClass).isNull() &&
               frToInteger(row.value(acReportCard)) == 1 && !row.value(acReportCard).isNull() &&
               !classSubject.isNull() &&
               latest.value(frToInteger(classSubject), -1) == frToInteger(row.value(acId)) &&
               filters.keep(row.value(acSession), row.value(acSubject)) &&
               (!withoutDeferred || notDeferred(row));
    });
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
    Filters filters;
    bool parameterIsZero = false;
    if (known) {
        const int value = qelId(parameter);
        parameterIsZero = value == 0;
        filters.session = mode == QLatin1String("ANS") ? 0 : value;
        filters.subject = mode == QLatin1String("ANS")   ? value
                          : mode == QLatin1String("SES") ? 0
                                                         : subject;
    }
    const QelParams params = {
        {"iSitId", sitId}, {"iAnsSesDwgId", filters.session}, {"iMatId", filters.subject}};
    // They answer from what the run read for the pupil.
    qelSetScratch(memberSql(member, parameterIsZero), params);
    if (member == Member::Aiuti || member == Member::Note) {
        int count = 0;
        for (const QList<QVariant> &row : aidAndNoteRows(member, sitId).rows) {
            if (!filters.keep(row.value(2), row.value(3)))
                continue;
            if (member == Member::Note) { // the first note
                call.val = frDisplayText(row.value(0));
                return;
            }
            ++count;
        }
        call.val = count ? QString::number(count) : QString();
        return;
    }
    if (member == Member::Assenze) {
        call.val = absences(sitId, filters, parameterIsZero);
        return;
    }
    const QelGrade kind = member == Member::Voti       ? QelGrade::Voto
                          : member == Member::Proposti ? QelGrade::Proposta
                                                       : QelGrade::Tassonomia;
    const QVariant walked = walkedAverage(kind, sitId, filters, mode != QLatin1String("MAT"));
    call.val = walked.isNull() ? QVariant(QString()) : walked;
}

template <Member member> void memberOfFamily(QelFunctionCall &call)
{
    family(call, member);
}

void assenzeReligione(QelFunctionCall &call)
{
    QList<QVariant> args;
    if (!qelArgsNotBlank(call, 2, args))
        return;
    const int situation = qelId(args[0]);
    const Filters filters{qelId(args[1]), 0};
    qelSetScratch(
        QStringLiteral("SELECT SUM(TGrd.iAssOre) AS iTotOre FROM TAss_Assenze TGrd ") +
            kSubjectJoins +
            QStringLiteral(
                "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
                "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) "
                "WHERE (TGrd.iSitId = :iSitId) AND (TMat.sMatCodVexto = :MATERIA) "
                "AND (TAsd.iSfiId <> 3) "
                "AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId OR :iAnsSesDwgId = 0)"),
        {{"iSitId", situation},
         {"iAnsSesDwgId", filters.session},
         {"MATERIA", QStringLiteral("RELIGIONE")}});
    call.val = hoursOf(absenceRows(situation), [&](const QList<QVariant> &row) {
        return joined(row) && !row.value(acHasSubject).isNull() &&
               row.value(acSubjectCode).toString() == QLatin1String("RELIGIONE") &&
               notDeferred(row) && filters.keep(row.value(acSession), QVariant());
    });
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
