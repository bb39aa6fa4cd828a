// What the school decided about a pupil: debts, the final outcome, the judgment, the credits,
// the person's situation in a year and the results of the qualification tests.
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunccall.h"
#include "reports/qelrptpupilreads.h"
#include "shell/qelpargen.h"

namespace {

const QString kSi = QStringLiteral("SI");
const QString kNo = QStringLiteral("NO");

const QString kDebtJoins =
    QStringLiteral("LEFT JOIN TDesDed TDesDed ON (TDesDed.iDesDedId = TDeb.iDesDedId) "
                   "LEFT JOIN TDes_DebEsito TDes ON (TDes.iDesId = TDesDed.iDesId) ");

// The pupil's debts in one subject, or in all (0 or -1), in the order of the pupil's study plan
// (iOrdine, the ninth column), then by short name.
const QString kDebitiColumns = QStringLiteral(
    "SELECT TMat.sMatSDesc, TMat.sMatLDesc, TDeb.iDebId AS DebEsiste, "
    "TDed.sDedLDesc AS sDebEsitoDescr, TDed.sDedSDesc AS sDebEsitoSigla, "
    "TDtd.sDtdLDesc AS sDebTipoDescr, TDtd.sDtdSDesc AS sDebTipoSigla, "
    "TDes.iDesSufficiente AS iDebSanato, "
    "(SELECT MIN(TMrp.iMatRmaPstOrdine) FROM TMatRmaPst TMrp "
    "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TMrp.iMatRmaId) "
    "WHERE (TRma.iMatId = TDeb.iMatId) AND (TMrp.iPstId = TClsPst.iPstId)) AS iOrdine");
const QString kDebitiFrom =
    QStringLiteral(" FROM TDeb_Debiti TDeb "
                   "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TDeb.iSitId) "
                   "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                   "LEFT JOIN TMat_Materie TMat ON (TMat.iMatId = TDeb.iMatId) ") +
    kDebtJoins +
    QStringLiteral("LEFT JOIN TDed_DebEsDett TDed ON (TDed.iDedId = TDesDed.iDedId) "
                   "LEFT JOIN TDtpDtd TDtpDtd ON (TDtpDtd.iDtpDtdId = TDeb.iDtpDtdId) "
                   "LEFT JOIN TDtd_DebTpDett TDtd ON (TDtd.iDtdId = TDtpDtd.iDtdId) ");

void getDebito(QelFunctionCall &call)
{
    QList<QVariant> args;
    if (!qelArgsNotBlank(call, 3, args))
        return;
    const int situation = qelId(args[0]);
    const int subject = qelId(args[1]);
    const QString selector = qelSelector(args[2]);
    const int wanted = subject == -1 ? 0 : subject;
    qelSetScratch(kDebitiColumns + kDebitiFrom +
                      QStringLiteral("WHERE (TDeb.iSitId = :iSitId) "
                                     "AND (TDeb.iMatId = :iMatId OR :iMatId = 0) ORDER BY 9, 1"),
                  {{"iSitId", situation}, {"iMatId", wanted}});
    static const QelPupilRead read{
        QStringLiteral("debiti"),
        kDebitiColumns + QStringLiteral(", TDeb.iSitId AS BatchKey, TDeb.iMatId AS iMateria") +
            kDebitiFrom + QStringLiteral("WHERE TDeb.iSitId IN (%KEYS%) ORDER BY BatchKey, 9, 1"),
        QelPupilKey::Situation};
    TfrRows debts = qelPupilRows(read, situation);
    const int debtSubject = qelColumn(debts, "iMateria");
    std::erase_if(debts.rows, [&](const QList<QVariant> &row) {
        return wanted != 0 &&
               (row.value(debtSubject).isNull() || frToInteger(row.value(debtSubject)) != wanted);
    });
    const auto valueOf = [&](const QList<QVariant> *row) {
        return TdmqelRptDataSets::GetDebitoValue(selector, [&](const char *field) {
            return row ? row->value(qelColumn(debts, field)) : QVariant();
        });
    };
    if (subject != 0 && subject != -1) {
        call.val = valueOf(debts.rows.empty() ? nullptr : &debts.rows.front());
        return;
    }
    // A list: "ITA, MAT." in a sentence, or one subject a line.
    QString list;
    const QString separator = subject == 0 ? QStringLiteral(", ") : QStringLiteral("\r");
    for (const QList<QVariant> &row : debts.rows)
        list += valueOf(&row) + separator;
    if (subject == 0) {
        list.chop(2);
        if (!list.trimmed().isEmpty())
            list += QLatin1Char('.');
    }
    call.val = list;
}

// The final outcome's texts, and its id as EsitoInStampa compares it: the first row's, or
// nulls without one.
QList<QVariant> esitoOf(const QVariant &situation)
{
    const TfrRows rows = qelRowsOfPupil(
        QStringLiteral("SELECT VPosFin.sStaFinDettLDesc, VPosFin.sStaFinDettSDesc, TSit.iPosFinId"),
        QStringLiteral(" FROM TSit_Situazioni TSit "
                       "LEFT JOIN VPosFin VPosFin ON (VPosFin.iPosFinId = TSit.iPosFinId) "),
        "TSit.iSitId", qelId(situation));
    return rows.rows.empty() ? QList<QVariant>{QVariant(), QVariant(), QVariant()}
                             : rows.rows.front();
}

void getEsito(QelFunctionCall &call)
{
    QList<QVariant> args;
    if (!qelArgsNotBlank(call, 2, args))
        return;
    const QString selector = qelSelector(args[1]);
    const QList<QVariant> esito = esitoOf(args[0]);
    if (selector == QLatin1String("ESITODESCR"))
        call.val = frDisplayText(esito.value(0));
    else if (selector == QLatin1String("ESITOSIGLA"))
        call.val = frDisplayText(esito.value(1));
}

// In a session of the pupil's own class.
void getGiudizio(QelFunctionCall &call)
{
    QList<QVariant> args;
    if (!qelArgsNotBlank(call, 2, args))
        return;
    const int situation = qelId(args[0]);
    const int session = qelId(args[1]);
    const TfrRows judgments = qelRowsOfPupil(
        QStringLiteral("SELECT TGdz.bGdzGiudizio"),
        QStringLiteral(" FROM TGdz_Giudizi TGdz "
                       "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGdz.iSitId) "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                       "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId "
                       "AND TClsSes.iAnsSesDwgId = TGdz.iAnsSesDwgId) "),
        "TGdz.iSitId", situation, QStringLiteral(" AND (TClsSes.iAnsSesDwgId = :iAnsSesDwgId)"),
        {{"iAnsSesDwgId", session}}, QStringLiteral(", TClsSes.iAnsSesDwgId"));
    call.val = QString();
    for (const QList<QVariant> &row : judgments.rows) {
        if (!row.value(2).isNull() && frToInteger(row.value(2)) == session) {
            call.val = frDisplayText(row.value(0));
            break;
        }
    }
}

// A situation's credit counts when it is the person's main one of its year, or when the
// council chose to count it beside the main one.
const char kCreditCounts[] = "((TSit.iSitOrdine = 1) OR (TCre.lCreConsideraCurrDis = 1))";

// Up to the year chosen for the report.
void getTotCredito(QelFunctionCall &call)
{
    TfrQuery *q = qelOpenOnIds(
        call,
        QStringLiteral("SELECT SUM(COALESCE(TCre.iCreRecup, 0) + COALESCE(TCre.iCreCredito, 0)) "
                       "AS nTotCredito FROM TSit_Situazioni TSit "
                       "INNER JOIN TAns_AnniScolast TAns ON (TAns.dAnsVextoInizio = TSit.dStart) "
                       "LEFT JOIN TCre_Crediti TCre ON (TCre.iSitId = TSit.iSitId) "
                       "WHERE (TSit.iAnaId = :iAnaId) AND (TAns.iAnsId <= :iAnsId) AND ") +
            QLatin1String(kCreditCounts),
        {"iAnaId"}, {{"iAnsId", qelRptModule().SelAnsId()}});
    if (!q)
        return;
    const QVariant total = q->Value(0);
    q->Close();
    call.val = total.isNull() || frToInteger(total) == 0 ? QString() : frDisplayText(total);
}

// The main situation first, should the person have two in the year.
void getSituazioneId(QelFunctionCall &call)
{
    if (TfrQuery *q = qelOpenOnIds(
            call,
            QStringLiteral(
                "SELECT TSit.iSitId FROM TSit_Situazioni TSit "
                "INNER JOIN TAns_AnniScolast TAns ON (TAns.dAnsVextoInizio = TSit.dStart) "
                "WHERE (TSit.iAnaId = :iAnaId) AND (TAns.iAnsId = :iAnsId) "
                "ORDER BY TSit.iSitOrdine"),
            {"iAnaId", "iAnsId"}))
        call.val = qelFirstText(*q);
}

// "0" no debt, "1" every debt made up, "2" some debt not made up (or not yet verified).
void getInfDebiti(QelFunctionCall &call)
{
    const QVariant situation = call.arg(0);
    if (qelBlank(situation))
        return; // the default "0"
    const TfrRows rows = qelRowsOfPupil(
        QStringLiteral("SELECT COUNT(TDeb.iDebId), "
                       "SUM(CASE WHEN COALESCE(TDes.iDesSufficiente, 0) = 0 THEN 1 ELSE 0 END)"),
        QStringLiteral(" FROM TDeb_Debiti TDeb ") + kDebtJoins, "TDeb.iSitId", qelId(situation), {},
        {}, {}, QStringLiteral(" GROUP BY TDeb.iSitId"));
    const qint64 debts = rows.rows.empty() ? 0 : frToInteger(rows.rows.front().value(0));
    const qint64 open = debts ? frToInteger(rows.rows.front().value(1)) : 0;
    call.val = !debts ? QStringLiteral("0") : open ? QStringLiteral("2") : QStringLiteral("1");
}

// The credit's columns by selector; the course-year sums by their own selectors.
const struct
{
    const char *selector;
    const char *column;
} kCreditColumns[] = {
    {"CREDITO", "iCreCredito"},     {"CLASSE", "sClsSDesc"},         {"ANNO", "Anno"},
    {"MEDIAVOTI", "fCreMediaVoti"}, {"BANDAMEDIA", "BandaMedia"},    {"BANDADESCR", "sBndDesc"},
    {"CREMINMAX", "CreMinMax"},     {"CREPERMEDIA", "iCrePerMedia"}, {"CREFRMSCO", "iCreFrmSco"},
    {"CRESOSPESO", "iCreSosp"},     {"CRERECUP", "iCreRecup"},       {"ENCOMIO", "sEncSDesc"},
    {"CRENOTA", "bCreNota"},        {"BANDACLASSE", "iTbnId"},
};

// The sum over the person's situations in classes of one course year: a pupil who repeated
// it counts both years.
QString courseYearSum(const char *column)
{
    return QStringLiteral("(SELECT SUM(TCre.%1) FROM TSit_Situazioni TSit "
                          "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
                          "INNER JOIN TCls_Classi TCls ON (TCls.iClsId = TClsPst.iClsId) "
                          "INNER JOIN TAcs_AnniCorso TAcs ON (TAcs.iAcsId = TCls.iAcsId) "
                          "INNER JOIN TCre_Crediti TCre ON (TCre.iSitId = TSit.iSitId) "
                          "WHERE (TSit.iAnaId = TThis.iAnaId) "
                          "AND (TAcs.iAcsAnnoCorso = :iAnnoCorso) AND ")
               .arg(QLatin1String(column)) +
           QLatin1String(kCreditCounts) + QLatin1Char(')');
}

void getCredito(QelFunctionCall &call)
{
    QList<QVariant> args;
    if (!qelArgsNotBlank(call, 2, args))
        return;
    const QString selector = qelSelector(args[1]);
    // "CREDITO4": the digit is the eighth character; "CRERECUP4": the ninth.
    int courseYear = 0;
    const char *column = nullptr;
    for (const char *sum : {"CREDITO", "CRERECUP"}) {
        const QString prefix = QLatin1String(sum);
        if (selector.size() == prefix.size() + 1 && selector.startsWith(prefix) &&
            QStringLiteral("345").contains(selector.back())) {
            courseYear = selector.back().digitValue();
            column = prefix == QLatin1String("CREDITO") ? "nCredito" : "nRecup";
        }
    }
    for (const auto &c : kCreditColumns) {
        if (selector == QLatin1String(c.selector))
            column = c.column;
    }
    static const QString sql =
        QStringLiteral(
            "SELECT TCre.iCreCredito, VCls.sClsSDesc, "
            "CAST(TAns.iAnsValore AS VARCHAR(6)) || '/' || CAST(TAns.iAnsValore + 1 AS VARCHAR(6)) "
            "AS Anno, TCre.fCreMediaVoti, "
            "CAST(TBnd.iBndMedMin AS VARCHAR(11)) || '-' || CAST(TBnd.iBndMedMax AS VARCHAR(11)) "
            "AS BandaMedia, TBnd.sBndDesc, "
            "CAST(TBnd.iBndCreMin AS VARCHAR(11)) || '-' || CAST(TBnd.iBndCreMax AS VARCHAR(11)) "
            "AS CreMinMax, TCre.iCrePerMedia, TCre.iCreFrmSco, TCre.iCreSosp, TCre.iCreRecup, "
            "TEnc.sEncSDesc, TCre.bCreNota, TTbnBnd.iTbnId, ") +
        courseYearSum("iCreCredito") + QStringLiteral(" AS nCredito, ") +
        courseYearSum("iCreRecup") +
        QStringLiteral(" AS nRecup FROM TCre_Crediti TCre "
                       "INNER JOIN TSit_Situazioni TThis ON (TThis.iSitId = TCre.iSitId) "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TThis.iClsPstId) "
                       "LEFT JOIN VCls_Classi VCls ON (VCls.iClsId = TClsPst.iClsId) "
                       "LEFT JOIN TAns_AnniScolast TAns ON (TAns.dAnsVextoInizio = TThis.dStart) "
                       "LEFT JOIN TBnd_Bande TBnd ON (TBnd.iBndId = TCre.iBndId) "
                       "LEFT JOIN TTbnBnd TTbnBnd ON (TTbnBnd.iBndId = TBnd.iBndId) "
                       "LEFT JOIN TEnc_Encomio TEnc ON (TEnc.iEncId = TCre.iEncId) "
                       "WHERE (TCre.iSitId = :iSitId) "
                       "AND ((TThis.iSitOrdine = 1) OR (TCre.lCreConsideraCurrDis = 1))");
    TfrQuery &q = qelOpenScratch(sql, {{"iSitId", qelId(args[0])}, {"iAnnoCorso", courseYear}});
    if (column)
        call.val = q.FieldByName(QLatin1String(column)).DisplayText();
    q.Close();
}

// "NO" when the pupil's outcome is one of those the print settings leave out of the boards
// (each id followed by ";").
void esitoInStampa(QelFunctionCall &call)
{
    const QVariant situation = call.arg(0);
    if (qelBlank(situation)) {
        call.val = QString();
        return;
    }
    // A board asks it for every vote of a pupil's row: the run read the outcome with the
    // pupil's (esitoOf).
    const QString outcome = frDisplayText(esitoOf(situation).value(2));
    if (!dmqelParGen)
        throw EVxException(QStringLiteral("Parametri di stampa non disponibili."));
    call.val = kSi;
    QString token;
    for (const QChar ch : qelPrintSetting(dmqelParGen->xpsEsi).trimmed()) {
        if (ch != QLatin1Char(';')) {
            token += ch;
        } else if (token == outcome) {
            call.val = kNo;
            return;
        } else {
            token.clear();
        }
    }
}

// In the sessions of the year that hold the qualification exam (a subject coded "QUALIFICA"):
// each test's short name and level, one a line. Left open for the template.
void getProveQualifica(QelFunctionCall &call)
{
    const int situation = qelId(call.arg(0));
    const int year = qelId(call.arg(1));
    TfrQuery &q = qelOpenScratchOfPupil(
        QStringLiteral("SELECT TMat.sMatSDesc, TLiv.sLivLDesc"),
        QStringLiteral(" FROM TVot_Voti TGrd "
                       "INNER JOIN TClsMatCmp TCmc ON (TCmc.iClsMatCmpId = TGrd.iClsMatCmpId) "
                       "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TCmc.iClsSesMatId) "
                       "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = TCsm.iClsSesId) "
                       "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
                       "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) "
                       "INNER JOIN TMat_Materie TMat ON (TMat.iMatId = TRma.iMatId) "
                       "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = TGrd.iScaLivId) "
                       "INNER JOIN TLiv_Livelli TLiv ON (TLiv.iLivId = TScaLiv.iLivId) "),
        "TGrd.iSitId", situation,
        QStringLiteral(" AND (TAsd.iAnsId = :iAnsId) "
                       "AND (TMat.sMatCodVexto = :PROVA) AND EXISTS (SELECT 1 FROM TClsSes TExam "
                       "INNER JOIN TClsSesMat TEcsm ON (TEcsm.iClsSesId = TExam.iClsSesId) "
                       "INNER JOIN TMatRma TErma ON (TErma.iMatRmaId = TEcsm.iMatRmaId) "
                       "INNER JOIN TMat_Materie TEmat ON (TEmat.iMatId = TErma.iMatId) "
                       "WHERE (TExam.iAnsSesDwgId = TClsSes.iAnsSesDwgId) "
                       "AND (TEmat.sMatCodVexto = :QUALIFICA))"),
        {{"iAnsId", year},
         {"PROVA", QStringLiteral("PROVA")},
         {"QUALIFICA", QStringLiteral("QUALIFICA")}});
    QString lines;
    for (; !q.Eof(); q.Next())
        lines += frDisplayText(q.Value(0)) + QStringLiteral(": ") + frDisplayText(q.Value(1)) +
                 QLatin1Char('\r');
    call.val = lines;
}

} // namespace

void qelAddPupilRecordFunctions(QelFunctionHandlers &h)
{
    h[fnGetDebito] = getDebito;
    h[fnGetEsito] = getEsito;
    h[fnGetGiudizio] = getGiudizio;
    h[fnGetTotCredito] = getTotCredito;
    h[fnGet_SituazioneId] = getSituazioneId;
    h[fnGet_InfDebiti] = getInfDebiti;
    h[fnGetCredito] = getCredito;
    h[fnEsitoInStampa] = esitoInStampa;
    h[fnGetProveQualifica] = getProveQualifica;
}
