#include "exchange/qelxmlsql.h"

namespace QelXmlSql {

QString docName(const QString &alias)
{
    return QStringLiteral("%1.sAnaCognome || ' ' || %1.sAnaNome").arg(alias);
}

namespace {

// The value row's class session, subject node, situation and the situation's plan of the class.
const char kValueJoins[] = "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
                           "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
                           "  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId ";

// The subject of the row is one that the teacher teaches in the row's class.
const char kTeacherSubject[] =
    "EXISTS (SELECT 1 FROM TClsMatAna ClsMatAna WHERE ClsMatAna.iClsId = ClsSes.iClsId "
    "AND ClsMatAna.iMatId = MatRma.iMatId AND ClsMatAna.iAnaId = :iAnaId)";

// A level-valued packet (votes, taxonomies): the same columns over another table.
QString levelSelect(const QString &table, const QString &alias, const QString &key)
{
    return (QStringLiteral(
                "SELECT TSit.iSitId, %2.%3 AS iPKId, %2.iScaLivId AS iValId, "
                "Liv.sLivSDesc AS sValSDesc, Liv.sLivLDesc AS sValLDesc, "
                "ScaLiv.iScaLivSufficiente AS bValSuff, ScaLiv.iScaLivValore AS iValDato, "
                "ScaLiv.iScaLivInMedia AS bValInMed, ClsSes.iClsId, ClsSesMat.iClsSesMatId, "
                "ClsMatCmp.iCmpScaId, ClsSes.iClsSesId, %2.dInsert, %2.dStart, %2.dEnd "
                "FROM %1 %2 "
                "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsMatCmpId = %2.iClsMatCmpId "
                "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = ClsMatCmp.iClsSesMatId "
                "  JOIN TSit_Situazioni TSit ON TSit.iSitId = %2.iSitId ") +
            QLatin1String(kValueJoins) +
            QStringLiteral("  JOIN TScaLiv ScaLiv ON ScaLiv.iScaLivId = %2.iScaLivId "
                           "  JOIN TLiv_Livelli Liv ON Liv.iLivId = ScaLiv.iLivId "))
        .arg(table, alias, key);
}

// A subject-valued packet (aids, absences): the value stands for its id and both texts.
QString subjectValueSelect(const QString &table, const QString &alias, const QString &key,
                           const QString &value)
{
    return QStringLiteral("SELECT TSit.iSitId, %2.%3 AS iPKId, %2.%4 AS iValId, "
                          "%2.%4 AS sValSDesc, %2.%4 AS sValLDesc, ClsSes.iClsId, "
                          "ClsSesMat.iClsSesMatId, ClsSes.iClsSesId, %2.dInsert, %2.dStart, "
                          "%2.dEnd "
                          "FROM %1 %2 "
                          "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = %2.iClsSesMatId "
                          "  JOIN TSit_Situazioni TSit ON TSit.iSitId = %2.iSitId ")
               .arg(table, alias, key, value) +
           QLatin1String(kValueJoins);
}

// The keys of the averages of the pupils' debts; the votes' level.
const char kAverageKeys[] = "MatRma.iMatId, TSit.iAnaId, AnsSesDwg.iAnsId";
const char kVoteLevels[] = "FROM TVot_Voti Val "
                           "  JOIN TScaLiv ScaLiv ON ScaLiv.iScaLivId = Val.iScaLivId ";
const char kProposalLevels[] =
    "FROM TVtp_Proposti Val "
    "  JOIN TPrpScaLiv PrpScaLiv ON PrpScaLiv.iPrpScaLivId = Val.iPrpScaLivId "
    "  JOIN TScaLiv ScaLiv ON ScaLiv.iScaLivId = PrpScaLiv.iScaLivId ";

// The classes of the working session (:iAnsSesDwgId) where the teacher (:iAnaId) teaches: the
// first table of a teacher's packets, so that their statements are the same for every teacher
// (each prepared once for a whole send) and the database starts from his assignments. The
// class's view is looked into, not joined: joined, the database would read every class of the
// school for each teacher.
const char kTeacherClasses[] =
    "(SELECT DISTINCT ClsMatAna.iClsId "
    "FROM TClsMatAna ClsMatAna "
    "WHERE ClsMatAna.iAnaId = :iAnaId "
    "  AND EXISTS (SELECT 1 FROM VCls_Classi VCls WHERE VCls.iClsId = ClsMatAna.iClsId) "
    "  AND EXISTS (SELECT 1 FROM TClsSes ClsSes "
    "  WHERE ClsSes.iClsId = ClsMatAna.iClsId AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId)) ";
QString teacherClassesAs(const char *alias)
{
    return QLatin1String(kTeacherClasses) + QLatin1String(alias) + QLatin1Char(' ');
}

// The pupils of those classes, as their register (ClsAlu.xml) lists them.
QString teacherPupils(const char *alias)
{
    return QStringLiteral("(SELECT DISTINCT TeacherSit.iAnaId FROM ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral(
               "  JOIN TClsPst TeacherPst ON TeacherPst.iClsId = TeacherCls.iClsId "
               "  JOIN TSit_Situazioni TeacherSit ON TeacherSit.iClsPstId = TeacherPst.iClsPstId "
               "WHERE TeacherSit.iSitOrdine = 1 AND TeacherSit.iSitPosReg > 0) ") +
           QLatin1String(alias) + QLatin1Char(' ');
}

// Final-session values of the pupils, by subject and year, at levels and components that
// count in the average; the value row is Val, its level ScaLiv. The pupils are a list (%1) or,
// for a teacher, his pupils.
QString averagesSelect(const QString &columns, const QString &valueJoins, bool teacher = false)
{
    return QStringLiteral("SELECT ") + columns + QLatin1Char(' ') + valueJoins +
           QStringLiteral("  JOIN TSit_Situazioni TSit ON TSit.iSitId = Val.iSitId ") +
           (teacher ? QStringLiteral("  JOIN ") + teacherPupils("Pupils") +
                          QStringLiteral("ON Pupils.iAnaId = TSit.iAnaId ")
                    : QString()) +
           QStringLiteral(
               "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsMatCmpId = Val.iClsMatCmpId "
               "  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = ClsMatCmp.iCmpScaId "
               "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = ClsMatCmp.iClsSesMatId "
               "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
               "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
               "  JOIN TAnsSesDwg AnsSesDwg ON AnsSesDwg.iAnsSesDwgId = ClsSes.iAnsSesDwgId ") +
           (teacher ? QStringLiteral("WHERE ") : QStringLiteral("WHERE TSit.iAnaId IN %1 AND ")) +
           QStringLiteral("AnsSesDwg.iSfiId = 2 AND ScaLiv.iScaLivInMedia = 1 "
                          "  AND CmpSca.iCmpScaInMedia = 1 "
                          "ORDER BY TSit.iAnaId, AnsSesDwg.iAnsId, MatRma.iMatId, Val.iSitId, "
                          "  Val.iClsMatCmpId");
}

} // namespace

QString infoSed()
{
    return QStringLiteral(
        "SELECT Sed.sSedNomLDesc, Srpc.sComDesc, Srpc.sProSigla, Sed.sSedIndIndirizzo, "
        "Sed.sSedTelTelefono, Sed.sSedTelTelefono2, Sed.sSedFaxNo, Sed.sSedEmlEmail, "
        "Sed.sSedMecCod "
        "FROM VSed_Sedi Sed "
        "  LEFT JOIN TComCap ComCap ON ComCap.iComCapId = Sed.iComCapId "
        "  LEFT JOIN VSrpc Srpc ON Srpc.iSrpcId = ComCap.iSrpcId "
        "WHERE Sed.iDwgId IS NULL AND Sed.lDwgSedMain = 1 "
        "ORDER BY Sed.iDwgSedId");
}

QString ans()
{
    return QStringLiteral("SELECT Ans.iAnsId, CAST(CAST(Ans.iAnsValore AS VARCHAR(4)) || '/' || "
                          "CAST(Ans.iAnsValore + 1 AS VARCHAR(4)) AS VARCHAR(9)) AS sAnnoScol, "
                          "Ans.dAnsVextoInizio, Ans.dAnsVextoFine "
                          "FROM TAns_AnniScolast Ans "
                          "WHERE Ans.iAnsId = :iAnsId OR 1 = :All "
                          "ORDER BY Ans.iAnsValore");
}

QString livVotTas()
{
    return QStringLiteral(
        "SELECT CmpSca.iCmpScaId, CmpSca.iCmpScaTass, ScaLiv.iScaLivId AS iValId, "
        "Liv.sLivSDesc AS sValSDesc, Liv.sLivLDesc AS sValLDesc, "
        "ScaLiv.iScaLivValore AS iValDato, ScaLiv.iScaLivSufficiente AS bValSuff, "
        "ScaLiv.iScaLivInMedia AS bValInMed "
        "FROM TCmpSca CmpSca "
        "  JOIN TScaLiv ScaLiv ON ScaLiv.iScaId = CmpSca.iScaId "
        "  JOIN TLiv_Livelli Liv ON Liv.iLivId = ScaLiv.iLivId "
        "ORDER BY CmpSca.iCmpId, CmpSca.iScaId, ScaLiv.iScaLivOrd, CmpSca.iCmpScaId, "
        "  ScaLiv.iScaLivId");
}

QString livVtp()
{
    return QStringLiteral(
        "SELECT CmpSca.iCmpScaId, CmpSca.iCmpScaTass, PrpScaLiv.iPrpScaLivId AS iValId, "
        "Prp.sPrpSDesc AS sValSDesc, Prp.sPrpLDesc AS sValLDesc, "
        "PrpScaLiv.fPrpScaLivValore AS iValDato, ScaLiv.iScaLivSufficiente AS bValSuff, "
        "ScaLiv.iScaLivId, Liv.sLivSDesc, Liv.sLivLDesc, ScaLiv.iScaLivInMedia AS bValInMed, "
        "DtpDtd.iDtpId, Dtd.sDtdLDesc, ScaLiv.iTreId, Tre.sTreSDesc, Tre.sTreLDesc, "
        "Tre.iTrePeso "
        "FROM TCmpSca CmpSca "
        "  JOIN TScaLiv ScaLiv ON ScaLiv.iScaId = CmpSca.iScaId "
        "  JOIN TPrpScaLiv PrpScaLiv ON PrpScaLiv.iScaLivId = ScaLiv.iScaLivId "
        "  JOIN TPrp_Proposti Prp ON Prp.iPrpId = PrpScaLiv.iPrpId "
        "  JOIN TLiv_Livelli Liv ON Liv.iLivId = ScaLiv.iLivId "
        "  LEFT JOIN TDtpDtd DtpDtd ON DtpDtd.iDtpDtdId = PrpScaLiv.iDtpDtdId "
        "  LEFT JOIN TDtd_DebTpDett Dtd ON Dtd.iDtdId = DtpDtd.iDtdId "
        "  LEFT JOIN TTre_TipoRec Tre ON Tre.iTreId = ScaLiv.iTreId "
        "WHERE PrpScaLiv.lPrpScaLivVisible = 1 "
        "ORDER BY CmpSca.iCmpId, CmpSca.iScaId, PrpScaLiv.iPrpScaLivOrd, CmpSca.iCmpScaId, "
        "  PrpScaLiv.iPrpScaLivId");
}

QString debTip()
{
    return QStringLiteral(
        "SELECT DtpDtd.iDtpDtdId, Dtd.sDtdLDesc, Dtd.sDtdSDesc, Dtp.sDtpLDescVexto, "
        "Dtp.sDtpSDescVexto "
        "FROM TDtpDtd DtpDtd "
        "  LEFT JOIN TDtd_DebTpDett Dtd ON Dtd.iDtdId = DtpDtd.iDtdId "
        "  LEFT JOIN TDtp_DebTipo Dtp ON Dtp.iDtpId = DtpDtd.iDtpId "
        "ORDER BY DtpDtd.iDtpDtdId");
}

QString debEsi()
{
    return QStringLiteral(
        "SELECT DesDed.iDesDedId, Ded.sDedLDesc, Ded.sDedSDesc, Des.sDesLDescVexto, "
        "Des.sDesSDescVexto "
        "FROM TDesDed DesDed "
        "  LEFT JOIN TDed_DebEsDett Ded ON Ded.iDedId = DesDed.iDedId "
        "  LEFT JOIN TDes_DebEsito Des ON Des.iDesId = DesDed.iDesId "
        "ORDER BY DesDed.iDesDedId");
}

QString docIst()
{
    // One row per teacher role, however many staff rows it has; found from the institute's
    // staff, not among the roles of every person (pupils and parents too).
    return QStringLiteral("SELECT AnaCag.iAnaCagId, ") + docName(QStringLiteral("Ana")) +
           QStringLiteral(" AS sDocNome, Ana.iAnaId "
                          "FROM (SELECT DISTINCT Per.iAnaCagId FROM TAnaPer_Personale Per "
                          "  WHERE Per.iDwgId = :iDwgId AND Per.iStabPerId = 1 "
                          "  AND Per.iDctId = 1) Staff "
                          "  JOIN TAnaCag AnaCag ON AnaCag.iAnaCagId = Staff.iAnaCagId "
                          "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = AnaCag.iAnaId "
                          "ORDER BY Ana.sAnaCognomeNomeIdx, AnaCag.iAnaCagId");
}

QString classSessionFlags()
{
    return QStringLiteral(
        "SELECT ClsSes.iClsSesVot, ClsSes.iClsSesVtp, ClsSes.iClsSesTas, ClsSes.iClsSesAss, "
        "ClsSes.iClsSesAiu, ClsSes.iClsSesNot, ClsSes.iClsSesDeb, ClsSes.iClsSesEsi, "
        "ClsSes.iClsSesCre, ClsSes.iClsSesGdz, ClsSes.iClsSesComp "
        "FROM TClsSes ClsSes "
        "  JOIN VCls_Classi VCls ON VCls.iClsId = ClsSes.iClsId "
        "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND ClsSes.iClsId = :iClsId "
        "ORDER BY VCls.iClsOrdine");
}

QString teacherClasses()
{
    return QStringLiteral("SELECT TeacherCls.iClsId FROM ") + teacherClassesAs("TeacherCls") +
           QStringLiteral("ORDER BY TeacherCls.iClsId");
}

QString hasQualification()
{
    return QStringLiteral("SELECT COUNT(*) "
                          "FROM TClsSes ClsSes "
                          "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesId = ClsSes.iClsSesId "
                          "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
                          "  JOIN TMat_Materie Mat ON Mat.iMatId = MatRma.iMatId "
                          "WHERE ClsSes.iClsSesId = :iClsSesId AND Mat.sMatCodVexto = 'QUALIFICA'");
}

QString admittedCondition(int classId, int yearSessionId)
{
    return QStringLiteral(" AND (tsit.ISITID IN (SELECT vot.ISITID FROM TVOT_VOTI vot "
                          "JOIN TCLSMATCMP AmmCmc ON AmmCmc.ICLSMATCMPID = vot.ICLSMATCMPID "
                          "JOIN TCLSSESMAT AmmCsm ON AmmCsm.ICLSSESMATID = AmmCmc.ICLSSESMATID "
                          "JOIN TCLSSES AmmCs ON AmmCs.ICLSSESID = AmmCsm.ICLSSESID "
                          "JOIN TMATRMA AmmRma ON AmmRma.IMATRMAID = AmmCsm.IMATRMAID "
                          "JOIN TMAT_MATERIE AmmMat ON AmmMat.IMATID = AmmRma.IMATID "
                          "JOIN TSIT_SITUAZIONI AmmSit ON AmmSit.ISITID = vot.ISITID "
                          "JOIN TCLSPST AmmPst ON AmmPst.ICLSPSTID = AmmSit.ICLSPSTID "
                          "JOIN TSCALIV AmmLiv ON AmmLiv.ISCALIVID = vot.ISCALIVID "
                          "WHERE AmmMat.SMATCODVEXTO = 'AMMISSIONE' AND AmmLiv.ISCALIVVALORE > 0 "
                          "AND AmmPst.ICLSID = %1 AND AmmCs.IANSSESDWGID = %2))")
        .arg(classId)
        .arg(yearSessionId);
}

QString votSelect()
{
    return levelSelect(QStringLiteral("TVot_Voti"), QStringLiteral("Vot"),
                       QStringLiteral("iVotId"));
}

QString tasSelect()
{
    return levelSelect(QStringLiteral("TTas_Tassonomie"), QStringLiteral("Tas"),
                       QStringLiteral("iTasId"));
}

QString vtpSelect()
{
    return QStringLiteral(
               "SELECT TSit.iSitId, Vtp.iVtpId AS iPKId, Vtp.iPrpScaLivId AS iValId, "
               "Prp.sPrpSDesc AS sValSDesc, Prp.sPrpLDesc AS sValLDesc, "
               "ScaLiv.iScaLivSufficiente AS bValSuff, PrpScaLiv.fPrpScaLivValore AS iValDato, "
               "ScaLiv.iScaLivInMedia AS bValInMed, ClsSes.iClsId, ClsSesMat.iClsSesMatId, "
               "ClsMatCmp.iCmpScaId, ClsSes.iClsSesId, Vtp.dInsert, Vtp.dStart, Vtp.dEnd "
               "FROM TVtp_Proposti Vtp "
               "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsMatCmpId = Vtp.iClsMatCmpId "
               "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = ClsMatCmp.iClsSesMatId "
               "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Vtp.iSitId ") +
           QLatin1String(kValueJoins) +
           QStringLiteral(
               "  JOIN TPrpScaLiv PrpScaLiv ON PrpScaLiv.iPrpScaLivId = Vtp.iPrpScaLivId "
               "  JOIN TPrp_Proposti Prp ON Prp.iPrpId = PrpScaLiv.iPrpId "
               "  JOIN TScaLiv ScaLiv ON ScaLiv.iScaLivId = PrpScaLiv.iScaLivId ");
}

QString aiuSelect()
{
    return subjectValueSelect(QStringLiteral("TAiu_Aiuti"), QStringLiteral("Aiu"),
                              QStringLiteral("iAiuId"), QStringLiteral("sAiuVal"));
}

QString assSelect()
{
    return subjectValueSelect(QStringLiteral("TAss_Assenze"), QStringLiteral("Ass"),
                              QStringLiteral("iAssId"), QStringLiteral("iAssOre"));
}

QString notSelect(const QString &joins)
{
    // The subject's order comes from the pupil's own plan: one row per note, and a note of a
    // subject that plan lacks is still sent.
    return QStringLiteral("SELECT Nte.iNotId, TSit.iSitId, ClsSesMat.iClsSesMatId, Nte.bNotNota, "
                          "Nte.dNotData, Nte.iAnaId, ") +
           docName(QStringLiteral("Ana")) +
           QStringLiteral(
               " AS sDocNome, ClsSes.iClsId, ClsSes.iClsSesId, Nte.dInsert, "
               "Nte.dStart, Nte.dEnd "
               "FROM TNot_Note Nte "
               "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = Nte.iClsSesMatId "
               "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Nte.iSitId ") +
           QLatin1String(kValueJoins) + joins +
           QStringLiteral("  LEFT JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iMatRmaId = "
                          "MatRma.iMatRmaId AND MatRmaPst.iPstId = ClsPst.iPstId "
                          "  LEFT JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = Nte.iAnaId ");
}

QString debSelect(const QString &debts)
{
    return QStringLiteral(
               "SELECT Deb.iDebId, Deb.iMatId, Mat.sMatSDesc, Mat.sMatLDesc, Mat.sMatCodUser, "
               "Des.iDesSufficiente, Deb.dDebAttr, Deb.dDebVer, Deb.iDesDedId, Ded.sDedLDesc, "
               "Ded.sDedSDesc, Deb.iDtpDtdId, Dtd.sDtdLDesc, Dtd.sDtdSDesc, Deb.iAnaId_Attr, ") +
           docName(QStringLiteral("AnaAttr")) + QStringLiteral(" AS sDocAttr, Deb.iAnaId_Ver, ") +
           docName(QStringLiteral("AnaVer")) +
           QStringLiteral(
               " AS sDocVer, Deb.bDebNota, Deb.dInsert, Deb.dStart, Deb.dEnd, ClsPst.iClsId, "
               "TSit.iAnaId, Ans.iAnsId, Deb.iSitId FROM ") +
           debts +
           QStringLiteral(
               "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Deb.iSitId "
               "  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId "
               "  JOIN TCls_Classi Cls ON Cls.iClsId = ClsPst.iClsId "
               "  LEFT JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Cls.dStart "
               "  JOIN TMat_Materie Mat ON Mat.iMatId = Deb.iMatId "
               "  LEFT JOIN TDesDed DesDed ON DesDed.iDesDedId = Deb.iDesDedId "
               "  LEFT JOIN TDes_DebEsito Des ON Des.iDesId = DesDed.iDesId "
               "  LEFT JOIN TDed_DebEsDett Ded ON Ded.iDedId = DesDed.iDedId "
               "  LEFT JOIN TDtpDtd DtpDtd ON DtpDtd.iDtpDtdId = Deb.iDtpDtdId "
               "  LEFT JOIN TDtd_DebTpDett Dtd ON Dtd.iDtdId = DtpDtd.iDtdId "
               "  LEFT JOIN TAna_Anagrafiche AnaAttr ON AnaAttr.iAnaId = Deb.iAnaId_Attr "
               "  LEFT JOIN TAna_Anagrafiche AnaVer ON AnaVer.iAnaId = Deb.iAnaId_Ver ");
}

QString mVotDeb()
{
    return averagesSelect(QStringLiteral("ScaLiv.iScaLivValore, ") + kAverageKeys, kVoteLevels);
}

QString teacherMVotDeb()
{
    return averagesSelect(QStringLiteral("ScaLiv.iScaLivValore, ") + kAverageKeys, kVoteLevels,
                          true);
}

QString teacherMVtpDeb()
{
    return averagesSelect(QStringLiteral("PrpScaLiv.fPrpScaLivValore, ") + kAverageKeys,
                          kProposalLevels, true);
}

QString aluMed()
{
    return averagesSelect(QStringLiteral("ScaLiv.iScaLivValore, Val.iSitId"), kVoteLevels);
}

QString mVtpDeb()
{
    return averagesSelect(QStringLiteral("PrpScaLiv.fPrpScaLivValore, ") + kAverageKeys,
                          kProposalLevels);
}

QString teacherClsDwg()
{
    return QStringLiteral("SELECT Cls.iClsId, Sed.sSedNomLDesc AS SSEDNOMLDESC, Sed.sSedNomSDesc "
                          "AS SSEDNOMSDESC, "
                          "Com.sComDesc "
                          "FROM ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral("  JOIN TCls_Classi Cls ON Cls.iClsId = TeacherCls.iClsId "
                          "  JOIN TDow_DataOwner Dow ON Dow.iDwgId = Cls.iDwgId "
                          "  LEFT JOIN VSed_Sedi Sed ON Sed.iDwgSedId = Cls.iDwgSedId "
                          "  LEFT JOIN TComCap ComCap ON ComCap.iComCapId = Sed.iComCapId "
                          "  LEFT JOIN TSrpc Srpc ON Srpc.iSrpcId = ComCap.iSrpcId "
                          "  LEFT JOIN TCom_Comuni Com ON Com.iComId = Srpc.iComId "
                          "ORDER BY Cls.iClsId");
}

QString classSessionColumns()
{
    return QStringLiteral(
        "ClsSes.iClsSesId, ClsSes.iAnsSesDwgId, ClsSes.iClsId, VCls.sClsDesc, "
        "AnsSesDwg.iSesId, Ses.sSesDesc, Ses.sSesNote, AnsSesDwg.iSfiId, Sfi.sSfiLDesc, "
        "Sfi.sSfiSDesc, AnsSesDwg.iAnsId, "
        "CAST(CAST(EXTRACT(YEAR FROM ClsSes.dStart) AS VARCHAR(4)) || '/' || "
        "CAST(EXTRACT(YEAR FROM ClsSes.dEnd) AS VARCHAR(4)) AS VARCHAR(9)) AS sAnnoScol, "
        "VCls.iAcsId, Acs.iAcsAnnoCorso, ClsSes.iClsSesVot, ClsSes.iClsSesVtp, "
        "ClsSes.iClsSesTas, ClsSes.iClsSesAss, ClsSes.iClsSesAiu, ClsSes.iClsSesNot, "
        "ClsSes.iClsSesDeb, ClsSes.iClsSesEsi, ClsSes.iClsSesCre, ClsSes.iClsSesGdz, "
        "ClsSes.iClsSesComp ");
}

QString classSessionFrom()
{
    return QStringLiteral(
        "FROM TClsSes ClsSes "
        "  JOIN TAnsSesDwg AnsSesDwg ON AnsSesDwg.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
        "  JOIN TSes_Sessione Ses ON Ses.iSesId = AnsSesDwg.iSesId "
        "  JOIN TSfi_SessFinale Sfi ON Sfi.iSfiId = AnsSesDwg.iSfiId "
        "  LEFT JOIN VCls_Classi VCls ON VCls.iClsId = ClsSes.iClsId "
        "  LEFT JOIN TAcs_AnniCorso Acs ON Acs.iAcsId = VCls.iAcsId ");
}

QString teacherClsSes()
{
    return QStringLiteral("SELECT ") + classSessionColumns() + classSessionFrom() +
           QStringLiteral("  JOIN ") + teacherClassesAs("TeacherCls") +
           QStringLiteral("ON TeacherCls.iClsId = ClsSes.iClsId "
                          "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
                          "ORDER BY VCls.iClsOrdine, ClsSes.iClsSesId");
}

QString teacherMatRmaPst()
{
    // A plan shared by two of the classes is sent once.
    return QStringLiteral("SELECT DISTINCT MatRmaPst.iMatRmaPstInMedia, MatRmaPst.iMatRmaId, "
                          "MatRmaPst.iPstId FROM ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral("  JOIN TClsPst ClsPst ON ClsPst.iClsId = TeacherCls.iClsId "
                          "  JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iPstId = ClsPst.iPstId "
                          "ORDER BY MatRmaPst.iPstId, MatRmaPst.iMatRmaId");
}

QString classComponentsFrom()
{
    return QStringLiteral(
        "FROM TClsMatCmp ClsMatCmp "
        "  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = ClsMatCmp.iCmpScaId "
        "  JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId "
        "  JOIN TSca_Scale Sca ON Sca.iScaId = CmpSca.iScaId "
        "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = ClsMatCmp.iClsSesMatId "
        "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
        "  JOIN TMat_Materie Mat ON Mat.iMatId = MatRma.iMatId "
        "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
        "  JOIN TAnsSesDwg AnsSesDwg ON AnsSesDwg.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
        "  JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsSes.iClsId "
        "  JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iMatRmaId = MatRma.iMatRmaId "
        "    AND MatRmaPst.iPstId = ClsPst.iPstId ");
}

QString teacherClsMat()
{
    return QStringLiteral(
               "SELECT DISTINCT ClsSesMat.iClsSesMatId, MatRmaPst.iMatRmaPstOrdine, Mat.iMatId, "
               "Mat.sMatLDesc, Mat.sMatSDesc, Mat.sMatCodUser, Mat.sMatCodMin, CmpSca.iCmpScaId, "
               "CmpSca.iScaId, CmpSca.iCmpScaTass, CmpSca.iCmpScaInMedia, Cmp.sCmpLDesc, "
               "Cmp.sCmpSDesc, Sca.sScaDesc, ClsSes.iAnsSesDwgId, ClsSes.iClsId, ClsSes.iClsSesId, "
               "MatRma.iMatRmaId, MatRmaPst.iMatRmaPstInMedia AS iMatInMedia, "
               "CmpSca.iCmpScaOrdine, ClsMatCmp.iClsMatCmpId ") +
           classComponentsFrom() +
           QStringLiteral(
               "  JOIN TClsMatAna ClsMatAna ON ClsMatAna.iClsId = ClsSes.iClsId "
               "    AND ClsMatAna.iMatId = Mat.iMatId "
               "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND ClsMatAna.iAnaId = :iAnaId "
               "ORDER BY MatRmaPst.iMatRmaPstOrdine, CmpSca.iScaId, CmpSca.iCmpScaOrdine, "
               "  ClsSes.iClsId, ClsMatCmp.iClsMatCmpId");
}

QString teacherMatCls()
{
    return QStringLiteral(
               "SELECT ClsSesMat.iClsSesMatId, Mat.sMatLDesc, Mat.sMatSDesc, Mat.sMatCodUser, "
               "Mat.sMatCodMin, ClsSes.iClsId "
               "FROM TClsSesMat ClsSesMat "
               "  JOIN TClsSes ClsSes ON ClsSes.iClsSesId = ClsSesMat.iClsSesId "
               "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
               "  JOIN TMat_Materie Mat ON Mat.iMatId = MatRma.iMatId "
               "  JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsSes.iClsId "
               "  JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iMatRmaId = MatRma.iMatRmaId "
               "    AND MatRmaPst.iPstId = ClsPst.iPstId "
               "  JOIN ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral("ON TeacherCls.iClsId = ClsSes.iClsId "
                          "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND ") +
           QLatin1String(kTeacherSubject) +
           QStringLiteral(" GROUP BY ClsSesMat.iClsSesMatId, Mat.sMatLDesc, Mat.sMatSDesc, "
                          "Mat.sMatCodUser, Mat.sMatCodMin, ClsSes.iClsId "
                          "ORDER BY MIN(ClsPst.iPstId), MIN(MatRmaPst.iMatRmaPstOrdine), "
                          "  ClsSesMat.iClsSesMatId");
}

QString teacherClsAlu()
{
    return QStringLiteral("SELECT TSit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, Ana.iAnaId, "
                          "TSit.iSitId, ClsPst.iPstId, ClsPst.iClsId, Sex.sSexSDesc FROM ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral("  JOIN TClsPst ClsPst ON ClsPst.iClsId = TeacherCls.iClsId "
                          "  JOIN TSit_Situazioni TSit ON TSit.iClsPstId = ClsPst.iClsPstId "
                          "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = TSit.iAnaId "
                          "  LEFT JOIN TSex_Sesso Sex ON Sex.iSexId = Ana.iSexId "
                          "WHERE TSit.iSitOrdine = 1 AND TSit.iSitPosReg > 0 "
                          "ORDER BY TSit.iSitPosReg, Ana.sAnaCognomeNomeIdx, TSit.iSitId");
}

namespace {

// From the pupils' situations (TSit) and their plan of the class (ClsPst) on.
QString pupilComponents(bool withCodVexto, const QString &situations)
{
    return QStringLiteral("SELECT ClsSesMat.iClsSesMatId, Mat.iMatId, Mat.sMatLDesc, "
                          "Mat.sMatSDesc, Mat.sMatCodUser, Mat.sMatCodMin, ") +
           (withCodVexto ? QStringLiteral("Mat.sMatCodVexto, ") : QString()) +
           QStringLiteral(
               "CmpSca.iCmpScaId, CmpSca.iScaId, CmpSca.iCmpScaTass, "
               "CmpSca.iCmpScaInMedia, Cmp.sCmpLDesc, Cmp.sCmpSDesc, Sca.sScaDesc, TSit.iSitId, "
               "ClsSes.iClsSesId, TSit.iAnaId, AnsSesDwg.iAnsId, ClsSes.iClsId, MatRma.iMatRmaId, "
               "MatRmaPst.iMatRmaPstInMedia AS iMatInMedia, CmpSca.iCmpScaOrdine, "
               "MatRmaPst.iMatRmaPstOrdine AS iMatRMaPstOrdine, ClsMatCmp.iClsMatCmpId ") +
           situations +
           QStringLiteral(
               "  JOIN TClsSes ClsSes ON ClsSes.iClsId = ClsPst.iClsId "
               "  JOIN TAnsSesDwg AnsSesDwg ON AnsSesDwg.iAnsSesDwgId = ClsSes.iAnsSesDwgId "
               "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesId = ClsSes.iClsSesId "
               "  JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iMatRmaId = ClsSesMat.iMatRmaId "
               "    AND MatRmaPst.iPstId = ClsPst.iPstId "
               "  JOIN TMatRma MatRma ON MatRma.iMatRmaId = ClsSesMat.iMatRmaId "
               "  JOIN TMat_Materie Mat ON Mat.iMatId = MatRma.iMatId "
               "  JOIN TClsMatCmp ClsMatCmp ON ClsMatCmp.iClsSesMatId = ClsSesMat.iClsSesMatId "
               "  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = ClsMatCmp.iCmpScaId "
               "  JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId "
               "  JOIN TSca_Scale Sca ON Sca.iScaId = CmpSca.iScaId ");
}

} // namespace

QString pupilComponentsSelect(bool withCodVexto)
{
    return pupilComponents(
        withCodVexto,
        QStringLiteral("FROM TSit_Situazioni TSit "
                       "  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId "));
}

QString teacherAluMat()
{
    // Years A-1 and A: a teacher verifying a debt of last year needs last year's components.
    // From the pupils on: the plan is found from the situation, never the situation from the
    // plan ("+ 0"), or the database would start from the school years and read every class.
    return pupilComponents(false, QStringLiteral("FROM ") + teacherPupils("Pupils") +
                                      QStringLiteral("  JOIN TSit_Situazioni TSit ON TSit.iAnaId = "
                                                     "Pupils.iAnaId "
                                                     "  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = "
                                                     "TSit.iClsPstId + 0 ")) +
           QStringLiteral(
               "WHERE AnsSesDwg.iAnsId IN (:iAnsIdPrec, :iAnsId) "
               "  AND (EXISTS (SELECT 1 FROM TClsMatAna ClsMatAna "
               "    WHERE ClsMatAna.iClsId = ClsPst.iClsId AND ClsMatAna.iMatId = Mat.iMatId "
               "    AND ClsMatAna.iAnaId = :iAnaId) "
               "  OR EXISTS (SELECT 1 FROM TDeb_Debiti Deb "
               "    JOIN TSit_Situazioni DebSit ON DebSit.iSitId = Deb.iSitId "
               "    WHERE DebSit.iAnaId = TSit.iAnaId AND Deb.iMatId = Mat.iMatId "
               "    AND Deb.iAnaId_Ver = :iAnaId1)) "
               "ORDER BY ClsPst.iPstId, MatRmaPst.iMatRmaPstOrdine, CmpSca.iScaId, "
               "  CmpSca.iCmpScaOrdine, TSit.iSitId, ClsSes.iClsSesId, ClsMatCmp.iClsMatCmpId");
}

namespace {

// A teacher's rows: of his classes (joined before any outer join, so that the database starts
// from them), in the working session, in the subjects he teaches there.
QString teacherClassesJoin()
{
    return QStringLiteral("  JOIN ") + teacherClassesAs("TeacherCls") +
           QStringLiteral("ON TeacherCls.iClsId = ClsSes.iClsId ");
}

QString teacherSubjects()
{
    return QStringLiteral("WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND ") +
           QLatin1String(kTeacherSubject);
}

} // namespace

QString teacherValues(const QString &select)
{
    return select + teacherClassesJoin() + teacherSubjects() + QStringLiteral(" ORDER BY 2");
}

QString teacherClsNot()
{
    return notSelect(teacherClassesJoin()) + teacherSubjects() +
           QStringLiteral(" ORDER BY MatRmaPst.iMatRmaPstOrdine, Nte.iNotId");
}

QString teacherClsDeb()
{
    // The teacher's subjects in his classes, and every debt of the year he verifies, whoever
    // teaches the pupil. The debts are found from each side through its indexes, each once: the
    // two conditions joined by OR would read every debt of the school for each teacher.
    return debSelect(QStringLiteral("(SELECT TeacherDeb.iDebId FROM ") +
                     teacherClassesAs("TeacherCls") +
                     QStringLiteral(
                         "  JOIN TClsPst TeacherPst ON TeacherPst.iClsId = TeacherCls.iClsId "
                         "  JOIN TSit_Situazioni TeacherSit ON TeacherSit.iClsPstId = "
                         "TeacherPst.iClsPstId "
                         "  JOIN TDeb_Debiti TeacherDeb ON TeacherDeb.iSitId = TeacherSit.iSitId "
                         "UNION SELECT VerDeb.iDebId FROM TDeb_Debiti VerDeb "
                         "  WHERE VerDeb.iAnaId_Ver = :iAnaId1) DebIds "
                         "  JOIN TDeb_Debiti Deb ON Deb.iDebId = DebIds.iDebId ")) +
           QStringLiteral("WHERE (ClsPst.iClsId IN (SELECT TeacherCls.iClsId FROM ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral(") AND EXISTS (SELECT 1 FROM TClsMatAna ClsMatAna "
                          "    WHERE ClsMatAna.iAnaId = :iAnaId AND ClsMatAna.iMatId = Deb.iMatId "
                          "    AND ClsMatAna.iClsId IN (SELECT TeacherCls.iClsId FROM ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral("))) "
                          "  OR (Deb.iAnaId_Ver = :iAnaId1 AND Ans.iAnsId = :iAnsId) "
                          "ORDER BY Deb.iDebId");
}

QString teacherDocCls()
{
    return QStringLiteral("SELECT ClsMatAna.iAnaId, ") + docName(QStringLiteral("Ana")) +
           QStringLiteral(" AS sDocNome, ClsMatAna.iClsId, ClsMatAna.iMatId "
                          "FROM ") +
           teacherClassesAs("TeacherCls") +
           QStringLiteral("  JOIN TClsMatAna ClsMatAna ON ClsMatAna.iClsId = TeacherCls.iClsId "
                          "  LEFT JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = ClsMatAna.iAnaId "
                          "GROUP BY ClsMatAna.iAnaId, Ana.sAnaCognome, Ana.sAnaNome, "
                          "  Ana.sAnaCognomeNomeIdx, ClsMatAna.iClsId, ClsMatAna.iMatId "
                          "ORDER BY Ana.sAnaCognomeNomeIdx, ClsMatAna.iAnaId, ClsMatAna.iClsId, "
                          "  ClsMatAna.iMatId");
}

} // namespace QelXmlSql
