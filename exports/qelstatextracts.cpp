#include "exports/qelstatextracts.h"

#include "exports/qelextractsql.h"
#include "gradeentry/qevutil.h"
#include "platform/clientdataset.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSqlQuery>

namespace {

const char kSessionYear[] =
    "SELECT Ans.iAnsId, Ans.dAnsInizio FROM TAnsSesDwg Asd "
    "JOIN TAns_AnniScolast Ans ON Ans.iAnsId = Asd.iAnsId WHERE Asd.iAnsSesDwgId = :iAnsSesDwgId";

// The statements are laid out clause by clause, which the formatter would undo.
// clang-format off

// The pupil and class columns that both session files begin with.
#define SESSION_PUPIL_COLUMNS                                                                      \
    "SELECT " QEL_PUPIL_COLUMNS ", ScuPlace.sComDesc AS sComScuProv, " QEL_GME_LDESC ", "          \
    "Sex.sSexSDesc, Cls.sIndLDesc, Cls.sIndSDesc, Cls.iClsId, Cls.iAcsAnnoCorso, " QEL_ACS_SEZ     \
    ", Cls.sSezSDesc, Pst.sPstLDesc, Ses.sSesDesc, " QEL_ANNO_DESC ", Asd.iSfiId, "                \
    QEL_NOME_SCUOLA
// Every situation of a class that has a class session in the session, on a site of the
// session's institute; with the pupil's main situation of the year before (PrevSit).
#define SESSION_SITUATIONS                                                                         \
    "FROM TClsSes ClsSes "                                                                         \
    "JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "                               \
    "JOIN TSes_Sessione Ses ON Ses.iSesId = Asd.iSesId "                                           \
    "JOIN TAns_AnniScolast Ans ON Ans.iAnsId = Asd.iAnsId "                                        \
    "JOIN VCls_Classi Cls ON Cls.iClsId = ClsSes.iClsId "                                          \
    "JOIN VSed_Sedi Sed ON Sed.iDwgSedId = Cls.iDwgSedId AND Sed.iDwgId = Asd.iDwgId "             \
    "JOIN TClsPst ClsPst ON ClsPst.iClsId = Cls.iClsId "                                           \
    "JOIN TSit_Situazioni Sit ON Sit.iClsPstId = ClsPst.iClsPstId "                                \
    "JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "                                        \
    "LEFT JOIN TPst_PianiStudio Pst ON Pst.iPstId = ClsPst.iPstId " QEL_PUPIL_JOINS                \
    "LEFT JOIN TComCap ScuCap ON ScuCap.iComCapId = Scu.iComCapId "                                \
    "LEFT JOIN VSrpc ScuPlace ON ScuPlace.iSrpcId = ScuCap.iSrpcId "                               \
    "LEFT JOIN TAns_AnniScolast PrevAns ON PrevAns.iAnsId = Ans.iAnsId - 1 "                       \
    "LEFT JOIN TSit_Situazioni PrevSit ON PrevSit.iAnaId = Sit.iAnaId "                            \
    "AND PrevSit.iSitOrdine = 1 AND PrevSit.dStart = PrevAns.dAnsVextoInizio "
#define IN_SESSION "WHERE ClsSes.iAnsSesDwgId = :indice%SITE%"

// The votes of the situation in the class session, with their levels (L). The class session
// is compared, not looked up ("+ 0"): from its subjects the database would read every vote of
// the pupil once per subject.
#define SESSION_VOTES                                                                              \
    "FROM TVot_Voti V JOIN TScaLiv L ON L.iScaLivId = V.iScaLivId "                                \
    "JOIN TClsMatCmp C ON C.iClsMatCmpId = V.iClsMatCmpId "                                        \
    "JOIN TClsSesMat M ON M.iClsSesMatId = C.iClsSesMatId "                                        \
    "WHERE V.iSitId = Sit.iSitId AND M.iClsSesId + 0 = ClsSes.iClsSesId "
// Debts of the pupil's main situation of the year before, made up (1) or not (2).
#define PREVIOUS_DEBTS(condition)                                                                  \
    "(SELECT COUNT(*) FROM TDeb_Debiti D LEFT JOIN TDesDed E ON E.iDesDedId = D.iDesDedId "        \
    "WHERE D.iSitId = PrevSit.iSitId" condition ")"

const char kSessionPupils[] =
    SESSION_PUPIL_COLUMNS ", CAST(0 AS DOUBLE PRECISION) AS fMediaVtp, "
    "CAST(0 AS DOUBLE PRECISION) AS fMediaVot, "
    "(SELECT COUNT(*) " SESSION_VOTES "AND L.iScaLivSufficiente = 0) AS iInsuf, "
    PREVIOUS_DEBTS("") " AS iNrDebPrec, "
    PREVIOUS_DEBTS(" AND E.iDesId = 1") " AS iNrDebSanati, "
    PREVIOUS_DEBTS(" AND E.iDesId = 2") " AS iNrDebNonSanati, "
    "(SELECT COUNT(*) FROM TDeb_Debiti D WHERE D.iSitId = Sit.iSitId "
    "AND D.iDtpDtdId IS NOT NULL) AS iNrDebAtt, Pos.iStaFinId, Pos.sStaFinDettLDesc, "
    "(SELECT FIRST 1 L.iScaLivValore " SESSION_VOTES "AND EXISTS (SELECT 1 FROM TMatRma R "
    "JOIN TMat_Materie T ON T.iMatId = R.iMatId WHERE R.iMatRmaId = M.iMatRmaId "
    "AND T.sMatCodVexto = 'CONDOTTA') ORDER BY V.iVotId + 0) AS iVotoCondotta, "
    "Sit.lSitRelig, Sit.lSitEdFis, "
    "(SELECT SUM(A.iAssOre) FROM TAss_Assenze A JOIN TClsSesMat M ON M.iClsSesMatId = "
    "A.iClsSesMatId WHERE A.iSitId = Sit.iSitId AND M.iClsSesId = ClsSes.iClsSesId) AS iAssOre, "
    "(SELECT FIRST 1 Cre.iCreCredito FROM TCre_Crediti Cre WHERE Cre.iSitId = Sit.iSitId "
    "ORDER BY Cre.iCreId + 0) AS iCreCredito, " QEL_TOT_CREDITO " AS iTotCredito, " QEL_STAMP ", "
    "ClsSes.iClsSesId, Sit.iSitId, Sit.iPosFinId_Sosp " SESSION_SITUATIONS
    "LEFT JOIN VPosFin Pos ON Pos.iPosFinId = Sit.iPosFinId " IN_SESSION
    " ORDER BY Ana.iAnaId, Sit.iSitId";

// The mean of the situation's values (of votes or proposals) in the class-session subject, and
// whether it reaches 6; none is not enough.
#define SUBJECT_AVERAGE(table, levels, key, value)                                                 \
    "(SELECT AVG(CAST(L." value " AS DOUBLE PRECISION)) FROM " table " X "                        \
    "JOIN TClsMatCmp C ON C.iClsMatCmpId = X.iClsMatCmpId "                                        \
    "JOIN " levels " L ON L." key " = X." key " "                                                  \
    "WHERE X.iSitId = Sit.iSitId AND C.iClsSesMatId = Csm.iClsSesMatId)"
#define SUBJECT_MEAN_AND_PASS(average, mean, pass)                                                 \
    average " AS " mean ", CASE WHEN " average " >= 6 THEN 'Sufficiente' "                         \
    "ELSE 'Insufficiente' END AS " pass
#define PROPOSALS_AVERAGE                                                                          \
    SUBJECT_AVERAGE("TVtp_Proposti", "TPrpScaLiv", "iPrpScaLivId", "fPrpScaLivValore")
#define VOTES_AVERAGE SUBJECT_AVERAGE("TVot_Voti", "TScaLiv", "iScaLivId", "iScaLivValore")
// This subject's debts of the pupil's main situation of the year before. Where a first one is
// taken, ordered by its id as a value ("+ 0"): walking the key's index in order, the database
// would pass over every debt of the school for each row, and the extract would grow with the
// square of the school. The same for the subject's first teacher below.
#define PREVIOUS_SUBJECT_DEBTS                                                                     \
    "FROM TDeb_Debiti D LEFT JOIN TDesDed E ON E.iDesDedId = D.iDesDedId "                         \
    "WHERE D.iSitId = PrevSit.iSitId AND D.iMatId = Mat.iMatId"

// No order: the statistics program sorts what it reads, and sorting the whole session's rows
// would cost as much as reading them.
const char kSessionSubjects[] =
    SESSION_PUPIL_COLUMNS ", Mat.iMatId, Mrp.iMatRmaPstInMedia, Mat.sMatCodUser, "
    "Mat.sMatCodVexto, Mat.sMatLDesc, MatP.sMatLDesc AS sMatP, Cmp.sCmpLDesc, "
    "PrpLiv.fPrpScaLivValore AS fCmpVtp, VotLiv.iScaLivValore AS iCmpVot, "
    SUBJECT_MEAN_AND_PASS(PROPOSALS_AVERAGE, "fMediaVtp", "sSuffVtp") ", "
    SUBJECT_MEAN_AND_PASS(VOTES_AVERAGE, "fMediaVoti", "sSuffVoti") ", "
    "Dtd.sDtdLDesc AS sTipoDeb, Ded.sDedLDesc AS sEsitoDeb, "
    "(SELECT COUNT(*) " PREVIOUS_SUBJECT_DEBTS ") AS iNrDebPrec, "
    "(SELECT COUNT(*) " PREVIOUS_SUBJECT_DEBTS " AND E.iDesId = 1) AS iNrDebSanati, "
    "(SELECT FIRST 1 E.iDesId " PREVIOUS_SUBJECT_DEBTS " ORDER BY D.iDebId + 0) AS iEsitoPrecId, "
    "Ass.iAssOre AS iOreAss, (SELECT SUM(A.iAssOre) FROM TAss_Assenze A "
    "JOIN TSit_Situazioni S ON S.iSitId = A.iSitId WHERE S.iAnaId = Sit.iAnaId "
    "AND A.iClsSesMatId = Csm.iClsSesMatId) AS iOreAssTot, Doc.iAnaId AS iAnaIdDoc, "
    "Doc.sAnaCognome || ' ' || Doc.sAnaNome AS sCOGNOMENOME, "
    "(SELECT COUNT(DISTINCT Cma.iAnaId) FROM TClsMatAna Cma WHERE Cma.iClsId = Cls.iClsId "
    "AND Cma.iMatId = Mat.iMatId) AS iNumDocenti, " QEL_STAMP ", "
    "ClsSes.iClsSesId, Sit.iSitId, Sit.iPosFinId_Sosp " SESSION_SITUATIONS
    "JOIN TClsSesMat Csm ON Csm.iClsSesId = ClsSes.iClsSesId "
    "JOIN TMatRmaPst Mrp ON Mrp.iMatRmaId = Csm.iMatRmaId AND Mrp.iPstId = ClsPst.iPstId "
    "JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId "
    "JOIN TMat_Materie Mat ON Mat.iMatId = Rma.iMatId "
    "JOIN TClsMatCmp Cmc ON Cmc.iClsSesMatId = Csm.iClsSesMatId "
    "JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = Cmc.iCmpScaId AND CmpSca.iCmpScaTass = 0 "
    "JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId "
    "LEFT JOIN TMat_Materie MatP ON MatP.iMatId = Rma.iMatId_P "
    "LEFT JOIN TVtp_Proposti Vtp ON Vtp.iClsMatCmpId = Cmc.iClsMatCmpId "
    "AND Vtp.iSitId = Sit.iSitId "
    "LEFT JOIN TPrpScaLiv PrpLiv ON PrpLiv.iPrpScaLivId = Vtp.iPrpScaLivId "
    "LEFT JOIN TVot_Voti Vot ON Vot.iClsMatCmpId = Cmc.iClsMatCmpId AND Vot.iSitId = Sit.iSitId "
    "LEFT JOIN TScaLiv VotLiv ON VotLiv.iScaLivId = Vot.iScaLivId "
    "LEFT JOIN TDeb_Debiti Deb ON Deb.iSitId = Sit.iSitId AND Deb.iMatId = Mat.iMatId "
    "LEFT JOIN TDtpDtd DtpDtd ON DtpDtd.iDtpDtdId = Deb.iDtpDtdId "
    "LEFT JOIN TDtd_DebTpDett Dtd ON Dtd.iDtdId = DtpDtd.iDtdId "
    "LEFT JOIN TDesDed DesDed ON DesDed.iDesDedId = Deb.iDesDedId "
    "LEFT JOIN TDed_DebEsDett Ded ON Ded.iDedId = DesDed.iDedId "
    "LEFT JOIN TAss_Assenze Ass ON Ass.iClsSesMatId = Csm.iClsSesMatId "
    "AND Ass.iSitId = Sit.iSitId "
    "LEFT JOIN TAna_Anagrafiche Doc ON Doc.iAnaId = (SELECT MIN(Cma.iAnaId + 0) "
    "FROM TClsMatAna Cma WHERE Cma.iClsId = Cls.iClsId AND Cma.iMatId = Mat.iMatId) " IN_SESSION;

// The pupil's first citizenship of a kind; state 1 is Italy.
#define CITIZENSHIP(condition)                                                                     \
    "(SELECT FIRST 1 S.sStaLDesc FROM TAnaCitt C JOIN TSta_Stati S ON S.iStaId = C.iStaId "        \
    "WHERE C.iAnaId = Ana.iAnaId AND " condition " ORDER BY C.iAnaCittId)"

// A row per candidate of the year in a class of the institute, per citizenship of the pupil,
// per site of the school itself (normally its one main site) and per exam vote when any.
const char kCandidates[] =
    "SELECT Can.iCanId, Ana.iAnaId, AnaCag.sAnaCagCode, " QEL_COGNOMENOME ", Ana.dAnaNascita, "
    "EXTRACT(YEAR FROM Ana.dAnaNascita) AS iAnnoNascita, Ana.lAnaConsPrivacy, Att.iStaAttId, "
    "Att.sStaAttDettLDesc, Sit.dSitTraRit, Scu.sScuLDesc AS sScuolaProv, "
    "Scu.sScuLDesc AS sScuolaMedia, " QEL_GME_LDESC ", Sex.sSexSDesc, Cls.sIndLDesc, "
    "Pst.sPstLDesc, Dpl.sDplSDesc, Dpl.sDplLDesc, Cls.iClsId, Cls.iAcsAnnoCorso, Cls.sSezSDesc, "
    QEL_ACS_SEZ ", " QEL_ANNO_DESC ", Sed.sSedMecCod, Sed.sSedNomSDesc, "
    "Main.sSedMecCod AS sCodMecScuola, Main.sSedNomLDesc AS sNomeScuola, "
    CITIZENSHIP("C.iStaId = 1") " AS sCittIta, "
    CITIZENSHIP("C.iStaId <> 1 AND S.sStaCee = 'CEE'") " AS sCittUE, "
    CITIZENSHIP("C.iStaId <> 1 AND COALESCE(S.sStaCee, '') <> 'CEE'") " AS sCittStraniera, "
    "Sha.sShaDesc, Sha.bShaAssistenza, Can.sCanGiudizio, Cmm.sCmmCodMecc, Can.dCanDataEsami, "
    "Can.sCanTraccia, Can.dStart, Can.dEnd, Can.bCanNote, Can.bCanCredForm, Can.sCanNrDoc, "
    "Can.sCanNrDiploma, Can.lCanDatiPers, Can.iCstId, Cst.sCstLDesc, Tvt.sTvtDesc, "
    "Tvt.sTvtSDesc, Tvt.iTvtMin, Tvt.iTvtMax, Cvt.iCvtVoto, "
    "(SELECT COALESCE(SUM(V.iCvtVoto), 0) FROM TCvt_Voti V WHERE V.iCanId = Can.iCanId) + "
    QEL_TOT_CREDITO " AS iVotoFin, " QEL_TOT_CREDITO " AS iTotCredito, " QEL_STAMP " "
    "FROM TCan_Candidati Can "
    "JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Can.dStart "
    "JOIN TSit_Situazioni Sit ON Sit.iSitId = Can.iSitId "
    "JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Sit.iAnaId "
    "JOIN TClsPst ClsPst ON ClsPst.iClsPstId = Sit.iClsPstId "
    "JOIN VCls_Classi Cls ON Cls.iClsId = ClsPst.iClsId "
    "JOIN TAnaCitt Citt ON Citt.iAnaId = Ana.iAnaId "
    "JOIN VSed_Sedi Main ON Main.iDwgId IS NULL "
    "LEFT JOIN VSed_Sedi Sed ON Sed.iDwgSedId = Cls.iDwgSedId "
    "LEFT JOIN TPst_PianiStudio Pst ON Pst.iPstId = ClsPst.iPstId "
    "LEFT JOIN TInd_Indirizzo Ind ON Ind.iIndId = Pst.iIndId "
    "LEFT JOIN TDpl_Diplomi Dpl ON Dpl.iDplId = Ind.iDplId " QEL_PUPIL_JOINS
    "LEFT JOIN TSha_SituazioniHandicap Sha ON Sha.iShaId = Can.iShaId "
    "LEFT JOIN TCmm_Commissioni Cmm ON Cmm.iCmmId = Can.iCmmId "
    "LEFT JOIN TCst_StatiCandidato Cst ON Cst.iCstId = Can.iCstId "
    "LEFT JOIN TCvt_Voti Cvt ON Cvt.iCanId = Can.iCanId "
    "LEFT JOIN TTvt_TipiVoto Tvt ON Tvt.iTvtId = Cvt.iTvtId "
    "WHERE Ans.iAnsId = :indice AND Cls.iDwgId = :istituto%SITE% "
    "ORDER BY Can.iCanId, Citt.iAnaCittId, Main.iDwgSedId, Cvt.iCvtId";
// clang-format on

} // namespace

TQelStatExtracts::TQelStatExtracts(TVxTransaction &tr, const QString &extractVersion)
    : m_tr(tr), m_version(extractVersion)
{
}

TQelStatExtracts::SessionYear TQelStatExtracts::YearOfSession(int iAnsSesDwgId)
{
    QSqlQuery &q =
        m_tr.Exec(QString::fromLatin1(kSessionYear), valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}}));
    SessionYear year;
    if (fetchNext(q)) {
        year.iAnsId = q.value(0).toInt();
        year.start = q.value(1).toDate();
    }
    q.finish();
    if (!year.start.isValid())
        throw EVxException(QStringLiteral("L'anno scolastico della sessione di lavoro non ha la "
                                          "data di inizio: impossibile dare il nome ai file da "
                                          "esportare."));
    return year;
}

void TQelStatExtracts::write(const char *sql, TVxFieldValues values,
                             const std::optional<QString> &siteCode, const QString &path,
                             const std::function<void(TClientDataSet &)> &complete)
{
    if (siteCode)
        values.setValue(QStringLiteral("sSedMecCod"), *siteCode);
    qelWriteExtract(m_tr, qelExtractSql(sql, m_version, siteCode.has_value()), values, path,
                    complete);
}

void TQelStatExtracts::WriteSessionPupils(int iAnsSesDwgId, const std::optional<QString> &siteCode,
                                          const QString &path)
{
    // With its averages: a file of zeros would be read by the converter, or by another office,
    // or left by a kill.
    write(kSessionPupils, valuesOf({{"indice", iAnsSesDwgId}}), siteCode, path, &CompleteAverages);
}

void TQelStatExtracts::WriteSessionSubjects(int iAnsSesDwgId,
                                            const std::optional<QString> &siteCode,
                                            const QString &path)
{
    write(kSessionSubjects, valuesOf({{"indice", iAnsSesDwgId}}), siteCode, path);
}

void TQelStatExtracts::WriteCandidates(int iAnsId, int iDwgId,
                                       const std::optional<QString> &siteCode, const QString &path)
{
    write(kCandidates, valuesOf({{"indice", iAnsId}, {"istituto", iDwgId}}), siteCode, path);
}

void TQelStatExtracts::CompleteAverages(TClientDataSet &cds)
{
    TField *vot = cds.FieldByName(QStringLiteral("fMediaVot"));
    TField *vtp = cds.FieldByName(QStringLiteral("fMediaVtp"));
    const TField *sit = cds.FieldByName(QStringLiteral("iSitId"));
    const TField *classSession = cds.FieldByName(QStringLiteral("iClsSesId"));
    for (cds.First(); !cds.Eof(); cds.Next()) {
        cds.Edit();
        vot->setValue(
            RoundTo(MediaVoti(sit->AsInteger(), 0, classSession->AsInteger(), false), -2));
        vtp->setValue(
            RoundTo(MediaVotiProposti(sit->AsInteger(), 0, classSession->AsInteger()), -2));
        cds.Post();
    }
}

QString TQelStatExtracts::SessionLabel(const QString &pupilsPath)
{
    TClientDataSet cds;
    cds.LoadFromFile(pupilsPath);
    if (cds.IsEmpty())
        return QString();
    cds.First();
    return cds.FieldByName(QStringLiteral("sSesDesc"))->AsString() + QLatin1Char(' ') +
           cds.FieldByName(QStringLiteral("sAnnoDesc"))->AsString();
}

QString TQelStatExtracts::FileName(const char *kind, const QString &yearTag, int iAnsSesDwgId)
{
    return QString::fromLatin1(kind) + yearTag + QString::number(iAnsSesDwgId) +
           QStringLiteral(".cds");
}
