#include "exchange/qelwebsendsql.h"

namespace QelWebSendSql {

namespace {

// The class session's year-session (Asd) and the working one (Wrk) of the same number and year.
const char kSameSession[] =
    "  JOIN TAnsSesDwg Asd ON Asd.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
    "  JOIN TAnsSesDwg Wrk ON Wrk.iSesId = Asd.iSesId AND Wrk.iAnsId = Asd.iAnsId ";

// The class-session subjects of the teacher's assignments in the same session (ClsSes, MatRma,
// ClsSesMat): the reads of one teacher start from his few assignments, not from the session.
QString teacherSubjects()
{
    return QStringLiteral("FROM TClsMatAna ClsMatAna "
                          "  JOIN TClsSes ClsSes ON ClsSes.iClsId = ClsMatAna.iClsId ") +
           QLatin1String(kSameSession) +
           QStringLiteral("  JOIN TMatRma MatRma ON MatRma.iMatId = ClsMatAna.iMatId "
                          "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesId = ClsSes.iClsSesId "
                          "    AND ClsSesMat.iMatRmaId = MatRma.iMatRmaId ");
}

const char kTeacherInSession[] =
    "WHERE ClsMatAna.iAnaId = :iAnaId AND Wrk.iAnsSesDwgId = :iAnsSesDwgId ";

// A class-subject's components of one kind in the same session (CmpSca, Cmp).
QString componentJoins()
{
    return QStringLiteral(
               "FROM TClsMatCmp ClsMatCmp "
               "  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = ClsMatCmp.iCmpScaId "
               "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = ClsMatCmp.iClsSesMatId "
               "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
               "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId ") +
           QLatin1String(kSameSession) +
           QStringLiteral("WHERE Wrk.iAnsSesDwgId = :iAnsSesDwgId "
                          "AND CmpSca.iCmpScaTass = :iCmpScaTass ");
}

// A value of the teacher's class-session subjects (Val), the first (by key) first.
QString subjectValue(const QString &table, const QString &columns, const QString &key)
{
    return QStringLiteral("SELECT Val.iSitId, ClsSes.iClsId, MatRma.iMatId, %1 ").arg(columns) +
           teacherSubjects() +
           QStringLiteral("  JOIN %1 Val ON Val.iClsSesMatId = ClsSesMat.iClsSesMatId ")
               .arg(table) +
           QLatin1String(kTeacherInSession) + QStringLiteral("ORDER BY Val.%1").arg(key);
}

} // namespace

QString sessionInfo()
{
    return QStringLiteral("SELECT T.iSesId, T.iAnsSesDwgOrdine FROM TAnsSesDwg T "
                          "WHERE T.iAnsSesDwgId = :iAnsSesDwgId");
}

QString sendModes()
{
    return QStringLiteral("SELECT TMod.iModId, TMod.sModDesc FROM TMod_ModoInvio TMod "
                          "ORDER BY TMod.iModId");
}

QString instituteName()
{
    return QStringLiteral(
        "SELECT Dow.sDowSDesc FROM VDow_DataOwner Dow WHERE Dow.iDwgId = :iDwgId");
}

QString schoolYearDashed()
{
    return QStringLiteral("SELECT CAST(Ans.iAnsValore AS CHAR(4)) || '-' || "
                          "CAST(Ans.iAnsValore + 1 AS CHAR(4)) AS sAnno "
                          "FROM TAns_AnniScolast Ans WHERE Ans.iAnsId = :iAnsId");
}

QString pivotGroups()
{
    return QStringLiteral("SELECT (SELECT COUNT(DISTINCT ClsMatCmp.iCmpScaId) ") +
           componentJoins() +
           QStringLiteral(") AS iScales, (SELECT MAX(T.iRows) FROM (SELECT ClsSes.iClsId, "
                          "MatRma.iMatId, COUNT(DISTINCT ClsMatCmp.iClsMatCmpId) AS iRows ") +
           componentJoins() +
           QStringLiteral("GROUP BY ClsSes.iClsId, MatRma.iMatId) T) AS iRows FROM RDB$DATABASE");
}

QString clsMat()
{
    // DISTINCT would refuse to order by a column it does not list.
    return QStringLiteral(
               "SELECT T.iDocId, T.iClsId, T.sClsDesc, T.iMatId, T.sMatLDesc FROM ("
               "SELECT DISTINCT ClsMatAna.iAnaId AS iDocId, ClsMatAna.iClsId, VCls.sClsDesc, "
               "ClsMatAna.iMatId, Mat.sMatLDesc, VCls.iClsOrdine "
               "FROM TClsMatAna ClsMatAna "
               "  JOIN TMat_Materie Mat ON Mat.iMatId = ClsMatAna.iMatId "
               "  LEFT JOIN VCls_Classi VCls ON VCls.iClsId = ClsMatAna.iClsId "
               "WHERE ClsMatAna.iAnaId = :iAnaId AND EXISTS (SELECT 1 FROM TClsSes ClsSes ") +
           QLatin1String(kSameSession) +
           QStringLiteral("WHERE ClsSes.iClsId = ClsMatAna.iClsId "
                          "AND Wrk.iAnsSesDwgId = :iAnsSesDwgId)) T "
                          "ORDER BY T.iClsOrdine, T.iClsId, T.iMatId");
}

QString votiBase()
{
    // In a deferred session only the pupils whose judgment was suspended (state 11) are sent.
    return QStringLiteral(
               "SELECT T.iDocId, T.iClsId, T.iMatId, T.iClsSesMatId, T.iPstId, T.iSitId, "
               "T.iAnaId, T.iSitPosReg, T.sAnaCognome, T.sAnaNome FROM ("
               "SELECT DISTINCT ClsMatAna.iAnaId AS iDocId, ClsMatAna.iClsId, ClsMatAna.iMatId, "
               "ClsSesMat.iClsSesMatId, ClsPst.iPstId, TSit.iSitId, TSit.iAnaId, TSit.iSitPosReg, "
               "Ana.sAnaCognome, Ana.sAnaNome, Ana.sAnaCognomeNomeIdx "
               "FROM TClsMatAna ClsMatAna "
               "  JOIN TClsSes ClsSes ON ClsSes.iClsId = ClsMatAna.iClsId ") +
           QLatin1String(kSameSession) +
           QStringLiteral(
               "  JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsMatAna.iClsId "
               "  JOIN TSit_Situazioni TSit ON TSit.iClsPstId = ClsPst.iClsPstId "
               "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = TSit.iAnaId "
               "  JOIN TMatRma MatRma ON MatRma.iMatId = ClsMatAna.iMatId "
               "  JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iMatRmaId = MatRma.iMatRmaId "
               "    AND MatRmaPst.iPstId = ClsPst.iPstId "
               "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesId = ClsSes.iClsSesId "
               "    AND ClsSesMat.iMatRmaId = MatRma.iMatRmaId "
               "  LEFT JOIN TPosFin PosFin ON PosFin.iPosFinId = TSit.iPosFinId_Sosp "
               "WHERE ClsMatAna.iAnaId = :iAnaId AND Wrk.iAnsSesDwgId = :iAnsSesDwgId "
               "  AND TSit.iSitOrdine = 1 AND TSit.iSitPosReg > 0 "
               "  AND (Wrk.iSfiId <> 3 OR PosFin.iStaFinId = 11)) T "
               "ORDER BY T.iClsId, T.iMatId, T.iSitPosReg, T.sAnaCognomeNomeIdx, T.iSitId");
}

QString components()
{
    return QStringLiteral("SELECT DISTINCT ClsSes.iClsId, MatRma.iMatId, ClsMatCmp.iClsMatCmpId, "
                          "Cmp.sCmpSDesc, Cmp.sCmpLDesc, ClsMatCmp.iCmpScaId, CmpSca.iScaId, "
                          "CmpSca.iCmpScaOrdine ") +
           teacherSubjects() +
           QStringLiteral(
               "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsSesMatId = ClsSesMat.iClsSesMatId "
               "  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = ClsMatCmp.iCmpScaId "
               "  JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId ") +
           QLatin1String(kTeacherInSession) +
           QStringLiteral("AND CmpSca.iCmpScaTass = :iCmpScaTass ORDER BY 1, 2, 7, 8, 3");
}

QString levels(const QString &table, const QString &levelColumn)
{
    return QStringLiteral("SELECT Val.iSitId, Val.iClsMatCmpId, Val.%1 AS iLivello ")
               .arg(levelColumn) +
           teacherSubjects() +
           QStringLiteral(
               "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsSesMatId = ClsSesMat.iClsSesMatId "
               "  JOIN %1 Val ON Val.iClsMatCmpId = ClsMatCmp.iClsMatCmpId ")
               .arg(table) +
           QLatin1String(kTeacherInSession);
}

QString absences()
{
    return subjectValue(QStringLiteral("TAss_Assenze"), QStringLiteral("Val.iAssOre"),
                        QStringLiteral("iAssId"));
}

QString aids()
{
    return subjectValue(QStringLiteral("TAiu_Aiuti"), QStringLiteral("Val.sAiuVal"),
                        QStringLiteral("iAiuId"));
}

QString notes()
{
    return subjectValue(QStringLiteral("TNot_Note"), QStringLiteral("Val.dNotData, Val.bNotNota"),
                        QStringLiteral("iNotId"));
}

QString livelliSelect()
{
    return QStringLiteral(
        "SELECT ScaLiv.iScaLivId, CmpSca.iCmpScaId, CmpSca.iCmpScaTass, Liv.sLivSDesc, "
        "Liv.sLivLDesc, ScaLiv.iScaLivValore, ScaLiv.iScaLivSufficiente, ScaLiv.iScaLivInMedia "
        "FROM TScaLiv ScaLiv "
        "  JOIN TCmpSca CmpSca ON CmpSca.iScaId = ScaLiv.iScaId "
        "  JOIN TLiv_Livelli Liv ON Liv.iLivId = ScaLiv.iLivId ");
}

QString livelli()
{
    return livelliSelect() +
           QStringLiteral(
               "ORDER BY CmpSca.iCmpId, CmpSca.iScaId, ScaLiv.iScaLivOrd, CmpSca.iCmpScaId, "
               "  ScaLiv.iScaLivId");
}

QString livVtpSelect()
{
    return QStringLiteral(
        "SELECT PrpScaLiv.iPrpScaLivId AS iScaLivId, CmpSca.iCmpScaId, CmpSca.iCmpScaTass, "
        "Prp.sPrpSDesc AS sLivSDesc, Prp.sPrpLDesc AS sLivLDesc, "
        "PrpScaLiv.fPrpScaLivValore AS iScaLivValore, ScaLiv.iScaLivSufficiente, "
        "ScaLiv.iScaLivInMedia "
        "FROM TPrpScaLiv PrpScaLiv "
        "  JOIN TScaLiv ScaLiv ON ScaLiv.iScaLivId = PrpScaLiv.iScaLivId "
        "  JOIN TCmpSca CmpSca ON CmpSca.iScaId = ScaLiv.iScaId "
        "  JOIN TPrp_Proposti Prp ON Prp.iPrpId = PrpScaLiv.iPrpId ");
}

QString livVtp()
{
    return livVtpSelect() +
           QStringLiteral(
               "WHERE PrpScaLiv.lPrpScaLivVisible = 1 "
               "ORDER BY CmpSca.iCmpId, CmpSca.iScaId, PrpScaLiv.iPrpScaLivOrd, CmpSca.iCmpScaId, "
               "  PrpScaLiv.iPrpScaLivId");
}

QString debiti()
{
    // The debts of the year before, verified by the teacher, of pupils who have a class in the
    // working year. A pupil with two first situations in the year has the class of the first.
    return QStringLiteral(
        "SELECT T.iDocId, T.iClsId, T.iSitId, T.iAnaId, T.iSitPosReg, T.sAnaCognome, T.sAnaNome, "
        "T.sAnsAnnoDesc, T.iDebId, T.iMatId, T.sMatLDesc, T.iDesDedId, T.dDebVer, T.bDebNota "
        "FROM (SELECT Deb.iAnaId_Ver AS iDocId, "
        "  (SELECT FIRST 1 CurPst.iClsId FROM TSit_Situazioni CurSit "
        "     JOIN TClsPst CurPst ON CurPst.iClsPstId = CurSit.iClsPstId "
        "     JOIN TCls_Classi CurCls ON CurCls.iClsId = CurPst.iClsId "
        "     JOIN TAns_AnniScolast CurAns ON CurAns.dAnsVextoInizio = CurCls.dStart "
        "   WHERE CurSit.iAnaId = TSit.iAnaId AND CurSit.iSitOrdine = 1 "
        "     AND CurAns.iAnsId = :iAnsId ORDER BY CurSit.iSitId) AS iClsId, "
        "  TSit.iSitId, TSit.iAnaId, TSit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, "
        "  Ans.sAnsAnnoDesc, Deb.iDebId, Deb.iMatId, Mat.sMatLDesc, Deb.iDesDedId, Deb.dDebVer, "
        "  Deb.bDebNota "
        "FROM TDeb_Debiti Deb "
        "  JOIN VAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Deb.dStart "
        "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Deb.iSitId "
        "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = TSit.iAnaId "
        "  JOIN TMat_Materie Mat ON Mat.iMatId = Deb.iMatId "
        "WHERE Deb.iAnaId_Ver = :iAnaId AND Ans.iAnsId + 1 = :iAnsId "
        "  AND TSit.iSitOrdine = 1 AND TSit.iSitPosReg > 0) T "
        "WHERE T.iClsId IS NOT NULL "
        "ORDER BY 1, 7, 4, 10");
}

QString esiDeb()
{
    return QStringLiteral("SELECT DesDed.iDesDedId, Ded.sDedSDesc, Ded.sDedLDesc "
                          "FROM TDesDed DesDed "
                          "  JOIN TDed_DebEsDett Ded ON Ded.iDedId = DesDed.iDedId "
                          "ORDER BY DesDed.iDesDedId");
}

QString istitutoSelect()
{
    return QStringLiteral(
        "SELECT Sed.sSedNomLDesc, Sed.sSedNomSDesc, Sed.sSedIndIndirizzo, Cap.sCapValue, "
        "Com.sComDesc, Pro.sProDesc, Pro.sProSigla, Sed.sSedTelTelefono, Sed.sSedFaxNo, "
        "Sed.sSedEmlEmail, Sed.sSedMecCod, Sed.sSedNomCodiceFisc "
        "FROM VSed_Sedi Sed "
        "  LEFT JOIN TComCap ComCap ON ComCap.iComCapId = Sed.iComCapId "
        "  LEFT JOIN TCap Cap ON Cap.iCapId = ComCap.iCapId "
        "  LEFT JOIN TSrpc Srpc ON Srpc.iSrpcId = ComCap.iSrpcId "
        "  LEFT JOIN TCom_Comuni Com ON Com.iComId = Srpc.iComId "
        "  LEFT JOIN TPro_Province Pro ON Pro.iProId = Srpc.iProId ");
}

QString istituto()
{
    return istitutoSelect() +
           QStringLiteral(
               "WHERE Sed.iDwgId IS NULL AND Sed.lDwgSedMain = 1 AND Sed.dEnd_Sed IS NULL "
               "ORDER BY Sed.iDwgSedId");
}

} // namespace QelWebSendSql
