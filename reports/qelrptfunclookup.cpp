// The small questions templates ask while printing: a subject in a pupil's plan, a component in
// the class's subject, lesson hours, rounding and percentages, the class coordinator, a
// session's end, the school order, and the pupil's make-up records.
#include "platform/globalvars.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"

#include <algorithm>
#include <limits>

namespace {

const QString kSi = QStringLiteral("SI");
const QString kNo = QStringLiteral("NO");

// Whether the subject is one of the plan's: asked of every pupil and subject of a board, and
// answered from the plan's subjects the run read with the next pupils.
void getMatAlunno(QelFunctionCall &call)
{
    QList<QVariant> args;
    if (!qelArgsNotBlank(call, 2, args))
        return;
    const int situation = qelId(args[0]);
    const int subject = qelId(args[1]);
    const TfrRows plan = qelRowsOfPupil(
        QStringLiteral("SELECT TRma.iMatId"),
        QStringLiteral(" FROM TSit_Situazioni TSit "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                       "INNER JOIN TMatRmaPst TMrp ON (TMrp.iPstId = TClsPst.iPstId) "
                       "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TMrp.iMatRmaId) "),
        "TSit.iSitId", situation, QStringLiteral(" AND (TRma.iMatId = :iMatId)"),
        {{"iMatId", subject}});
    const bool found = std::any_of(plan.rows.begin(), plan.rows.end(), [&](const auto &row) {
        return !row.value(0).isNull() && frToInteger(row.value(0)) == subject;
    });
    call.val = found && subject != 0 ? kSi : kNo;
}

// In the report data module's current class.
void getCmpMateria(QelFunctionCall &call)
{
    TfrQuery *q = qelOpenOnIds(
        call,
        QStringLiteral("SELECT TCmc.iClsMatCmpId FROM TClsMatCmp TCmc "
                       "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TCmc.iClsSesMatId) "
                       "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = TCsm.iClsSesId) "
                       "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) "
                       "WHERE (TRma.iMatId = :iMatId) AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId) "
                       "AND (TCmc.iCmpScaId = :iCmpScaId) AND (TClsSes.iClsId = :iClsId)"),
        {"iMatId", "iAnsSesDwgId", "iCmpScaId"}, {{"iClsId", qelRptModule().CurClsId()}});
    if (q)
        call.val = qelBlank(qelFirstText(*q)) ? kNo : kSi;
}

// Rounded to a multiple of 10^digits, halves to the even neighbour; a digit count beyond any
// integer is an invalid rounding like one beyond the runtime's range.
QString roundedText(double value, qint64 digits)
{
    const qint64 limit = std::numeric_limits<int>::max();
    return frDisplayText(frRoundTo(value, int(std::clamp(digits, -limit, limit))));
}

void roundTo(QelFunctionCall &call)
{
    call.val = roundedText(frToFloat(call.arg(0)), frToInteger(call.arg(1)));
}

// A division by zero prints nothing, whether the values are integers or not.
void percentuale(QelFunctionCall &call)
{
    const double value = frToFloat(call.arg(0));
    const double total = frToFloat(call.arg(1));
    call.val = total == 0 ? QString() : roundedText(value / total * 100, -2);
}

void lessonHours(QelFunctionCall &call, const QString &sql)
{
    if (TfrQuery *q = qelOpenOnIds(call, sql, {"iMatRmaPstId"}))
        call.val = qelFirstText(*q);
}

QString hoursSql(const char *column, const char *name)
{
    return QStringLiteral("SELECT SUM(TOan.%1) AS %2 FROM TMatRmaPst TMrp "
                          "INNER JOIN TOan_OreAn TOan ON (TOan.iOanId = TMrp.iOanId) "
                          "WHERE (TMrp.iMatRmaPstId = :iMatRmaPstId)")
        .arg(QLatin1String(column), QLatin1String(name));
}

void oreLezioneAnno(QelFunctionCall &call)
{
    static const QString sql = hoursSql("iOanAnnuali", "OreAnno");
    lessonHours(call, sql);
}

void oreLezioneSett(QelFunctionCall &call)
{
    static const QString sql = hoursSql("iOanSettimanali", "OreSett");
    lessonHours(call, sql);
}

void getCoordinatore(QelFunctionCall &call)
{
    TfrQuery *q = qelOpenOnIds(
        call,
        QStringLiteral("SELECT TAna.sAnaCognome, TAna.sAnaNome FROM TClsMatAna TCma "
                       "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TCma.iAnaId) "
                       "WHERE (TCma.iClsId = :iClsId) AND (TCma.lClsMatAnaCoord = 1)"),
        {"iClsId"});
    if (!q)
        return;
    call.val = q->Eof()
                   ? QString()
                   : frDisplayText(q->Value(0)) + QLatin1Char(' ') + frDisplayText(q->Value(1));
    q->Close();
}

void setFaseRecupero(QelFunctionCall &call)
{
    qelRptModule().SetParamFreId(qelId(call.arg(0)));
    call.val = QString();
}

// The phases of a year are the institute's own or common to every institute (no institute):
// the demo school, like many, has only common ones.
void getElencoRec(QelFunctionCall &call)
{
    const int phase = qelId(call.arg(0));
    const int situation = qelId(call.arg(1));
    const QString kind = qelSelector(call.arg(2));
    TfrQuery &q = qelOpenScratch(
        QStringLiteral("SELECT TMat.sMatSDesc, TMat.sMatLDesc FROM TRec_Recuperi TRec "
                       "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRec.iMatId) "
                       "INNER JOIN TAnsFreDwg TAfd ON (TAfd.iAnsFreDwgId = TRec.iAnsFreDwgId) "
                       "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsId = TAfd.iAnsId AND "
                       "(TAfd.iDwgId IS NULL OR TAfd.iDwgId = TAsd.iDwgId)) "
                       "WHERE (TAsd.iAnsSesDwgId = :iAnsSesDwgId) AND (TAfd.iFreId = :iFreId) "
                       "AND (TRec.iSitId = :iSitId)"),
        {{"iAnsSesDwgId", qelRptModule().SelAnsSesDwgId()},
         {"iFreId", phase},
         {"iSitId", situation}});
    const int column = kind == QLatin1String("BREVE") ? 0 : kind == QLatin1String("LUNGA") ? 1 : -1;
    QStringList subjects;
    for (; column >= 0 && !q.Eof(); q.Next())
        subjects << frDisplayText(q.Value(column));
    // Left open: a template may read the rows after the call.
    call.val = subjects.join(QStringLiteral(", "));
}

// The pupil's make-up record in a subject, in the phase the template chose (the first unless it
// called SetFaseRecupero), in the selected session's year. Left open for the template.
void makeUpRecord(QelFunctionCall &call, const char *shortField, const char *longField)
{
    const int situation = qelId(call.arg(0));
    const int subject = qelId(call.arg(1));
    const QString kind = qelSelector(call.arg(2));
    TdmqelRptDataSets &m = qelRptModule();
    TfrQuery &q = *m.qquAluMatRec;
    q.Close();
    q.ParamByName(QStringLiteral("iSitId")).setValue(situation);
    q.ParamByName(QStringLiteral("iMatId")).setValue(subject);
    q.ParamByName(QStringLiteral("iAnsSesDwgId")).setValue(m.SelAnsSesDwgId());
    q.Open();
    const char *field = kind == QLatin1String("BREVE") ? shortField : longField;
    call.val = q.FieldByName(QString::fromLatin1(field)).DisplayText();
}

void getRec(QelFunctionCall &call)
{
    makeUpRecord(call, "sTreSDesc", "sTreLDesc");
}

void getEsitoRec(QelFunctionCall &call)
{
    makeUpRecord(call, "sEreSDesc", "sEreLDesc");
}

void getProvaRec(QelFunctionCall &call)
{
    makeUpRecord(call, "sPvrSDesc", "sPvrLDesc");
}

void dataSessione(QelFunctionCall &call)
{
    TfrQuery &q = qelOpenScratch(
        QStringLiteral("SELECT TAsd.dAnsSesDwgFine AS DataStampe FROM TAnsSesDwg TAsd "
                       "WHERE (TAsd.iAnsSesDwgId = :iAnsSesDwgId)"),
        {{"iAnsSesDwgId", qelId(call.arg(0))}});
    // Left open, as the template may read DataStampe.
    call.val = frDisplayText(q.Value(0));
}

// The school order of the working institute's main seat.
void ordineScuola(QelFunctionCall &call)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iDwgId"), TVxWorkingContext::institute());
    const QVariant order = qelRptModule().GetSingleValue(
        QStringLiteral("SELECT TScuOrd.sScuOrdLDesc FROM VSed_Sedi VSed "
                       "INNER JOIN TDwgSed TDwgSed ON (TDwgSed.iDwgSedId = VSed.iDwgSedId) "
                       "INNER JOIN VDow_DataOwner VDow ON (VDow.iDwgId = TDwgSed.iDwgId) "
                       "INNER JOIN TOtgDwg TOtgDwg ON (TOtgDwg.iDowId = VDow.iDowId) "
                       "INNER JOIN TScuTypOrdGra TStog "
                       "ON (TStog.iScuTypOrdGraId = TOtgDwg.iScuTypOrdGraId) "
                       "INNER JOIN TScuOrd TScuOrd ON (TScuOrd.iScuOrdId = TStog.iScuOrdId) "
                       "WHERE (TDwgSed.lDwgSedMain = 1) AND (TDwgSed.iDwgId = :iDwgId)"),
        QStringLiteral("sScuOrdLDesc"), values);
    call.val = frDisplayText(order);
}

} // namespace

void qelAddLookupFunctions(QelFunctionHandlers &h)
{
    h[fnGetMatAlunno] = getMatAlunno;
    h[fnGetCmpMateria] = getCmpMateria;
    h[fnRoundTo] = roundTo;
    h[fnOreLezioneAnno] = oreLezioneAnno;
    h[fnOreLezioneSett] = oreLezioneSett;
    h[fnPercentuale] = percentuale;
    h[fnGetCoordinatore] = getCoordinatore;
    h[fnSetFaseRecupero] = setFaseRecupero;
    h[fnGetElencoRec] = getElencoRec;
    h[fnGetRec] = getRec;
    h[fnGetEsitoRec] = getEsitoRec;
    h[fnGetProvaRec] = getProvaRec;
    h[fnDataSessione] = dataSessione;
    h[fnOrdine_Scuola] = ordineScuola;
}
