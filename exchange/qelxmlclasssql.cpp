#include "exchange/qelxmlclasssql.h"

#include "exchange/qelxmlsql.h"

namespace QelXmlSql {

namespace {

// A band's range as the coordinator's program shows it: "min-max".
QString bandRange(const QString &low, const QString &high)
{
    return QStringLiteral("CAST(Bnd.%1 AS VARCHAR(11)) || '-' || CAST(Bnd.%2 AS VARCHAR(11))")
        .arg(low, high);
}

// Every situation, in any year, of the pupils with a situation in the class :iClsId, as TSit,
// found from the class: a filter "TSit.iAnaId IN (SELECT ...)" leads to no row, it only tests
// each, and the read went through every situation or credit item of the school to test it.
const char kClassPupilSituations[] =
    "FROM (SELECT DISTINCT Pupil.iAnaId FROM TSit_Situazioni Pupil "
    "  JOIN TClsPst PupilPst ON PupilPst.iClsPstId = Pupil.iClsPstId "
    "  WHERE PupilPst.iClsId = :iClsId) ClassPupil "
    "  JOIN TSit_Situazioni TSit ON TSit.iAnaId = ClassPupil.iAnaId ";

// The credit items of those situations (kClassPupilSituations), as Item, with the credit as Cre
// and the situation's plan as ClsPst.
QString classCreditItems(const char *table)
{
    return QLatin1String(kClassPupilSituations) +
           QStringLiteral("  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId "
                          "  JOIN TCre_Crediti Cre ON Cre.iSitId = TSit.iSitId "
                          "  JOIN %1 Item ON Item.iCreId = Cre.iCreId ")
               .arg(QLatin1String(table));
}

} // namespace

QString prepareClassSession()
{
    // One statement: the flags are read and written in the same row version.
    return QStringLiteral(
        "UPDATE TClsSes ClsSes SET iClsSesVot = 1, iClsSesVtp = 1, "
        "  iClsSesCre = CASE WHEN COALESCE(ClsSes.iTbnId, 0) = 0 OR NOT EXISTS ("
        "    SELECT 1 FROM TAnsSesDwg AnsSesDwg "
        "    JOIN TSfi_SessFinale Sfi ON Sfi.iSfiId = AnsSesDwg.iSfiId "
        "    WHERE AnsSesDwg.iAnsSesDwgId = ClsSes.iAnsSesDwgId AND Sfi.iSfiId IN (2, 3)) "
        "  THEN 0 ELSE ClsSes.iClsSesCre END "
        "WHERE ClsSes.iClsSesId = :iClsSesId");
}

QString classClsSes()
{
    // The first plan is the one of lowest id: its description is the one written.
    return QStringLiteral("SELECT ") + classSessionColumns() +
           QStringLiteral(", Pst.sPstLDesc, AnsSesDwg.iAnsFreDwgId ") + classSessionFrom() +
           QStringLiteral("  JOIN TClsPst ClsPst ON ClsPst.iClsId = ClsSes.iClsId "
                          "  JOIN TPst_PianiStudio Pst ON Pst.iPstId = ClsPst.iPstId "
                          "WHERE ClsSes.iClsSesId = :iClsSesId AND /*PST*/ "
                          "ORDER BY VCls.iClsOrdine, ClsPst.iPstId, ClsPst.iClsPstId");
}

QString classMatRmaPst()
{
    return QStringLiteral(
        "SELECT MatRmaPst.iMatRmaPstInMedia, MatRmaPst.iMatRmaId, MatRmaPst.iPstId, "
        "MatRmaPst.iMatRmaPstOrdine AS iMatRMaPstOrdine "
        "FROM TMatRmaPst MatRmaPst "
        "  JOIN TClsPst TClsPst ON TClsPst.iPstId = MatRmaPst.iPstId "
        "WHERE TClsPst.iClsId = :iClsId AND /*PST*/ "
        "ORDER BY MatRmaPst.iPstId, MatRmaPst.iMatRmaPstOrdine, MatRmaPst.iMatRmaId");
}

QString classClsMat()
{
    // A subject of two plans is sent once, with the order, average flag and axis of the first
    // plan of the class that has it: the lowest order, then the lowest plan. Chosen by order,
    // so that two plans never make the statement fail.
    return QStringLiteral(
               "SELECT DISTINCT ClsSesMat.iClsSesMatId, FirstPst.iMatRmaPstOrdine, Mat.iMatId, "
               "Mat.sMatLDesc, Mat.sMatSDesc, Mat.sMatCodUser, Mat.sMatCodMin, CmpSca.iCmpScaId, "
               "CmpSca.iScaId, CmpSca.iCmpScaTass, CmpSca.iCmpScaInMedia, Cmp.sCmpLDesc, "
               "Cmp.sCmpSDesc, Cmp.iCmpPeso, Sca.sScaDesc, ClsSes.iAnsSesDwgId, ClsSes.iClsId, "
               "ClsSes.iClsSesId, MatRma.iMatRmaId, FirstPst.iMatRmaPstInMedia AS iMatInMedia, "
               "Mat.sMatCodVexto, CmpSca.iCmpScaOrdine, ClsMatCmp.iClsMatCmpId, "
               "FirstPst.iCompAsseId ") +
           classComponentsFrom() +
           QStringLiteral(
               "  JOIN TMatRmaPst FirstPst ON FirstPst.iMatRmaPstId = ("
               "    SELECT FIRST 1 Mrp.iMatRmaPstId FROM TMatRmaPst Mrp "
               "    JOIN TClsPst Cp ON Cp.iPstId = Mrp.iPstId "
               "    WHERE Cp.iClsId = ClsSes.iClsId AND Mrp.iMatRmaId = MatRma.iMatRmaId "
               "    ORDER BY Mrp.iMatRmaPstOrdine NULLS LAST, Mrp.iPstId) "
               "WHERE ClsSes.iClsId = :iClsId "
               "  AND (ClsSes.iAnsSesDwgId = :iAnsSesDwgId OR 0 = :iAnsSesDwgId) AND /*PST*/ "
               "ORDER BY 2, 3, 4, 23, 22, 1");
}

QString classClsAlu()
{
    // The hours of absence before the working session: report-card sessions, not deferred.
    // One residence address per pupil, the first recorded.
    return QStringLiteral(
        "SELECT TSit.iSitPosReg, Ana.sAnaCognome, Ana.sAnaNome, Ana.iAnaId, TSit.iSitId, "
        "TClsPst.iPstId, TClsPst.iClsId, Sex.sSexSDesc, Abt.sAbtIndirizzo, Srpc.sComDesc, "
        "Srpc.sProSigla, Cap.sCapValue, "
        "(SELECT CAST(COALESCE(SUM(Ass.iAssOre), 0) AS INTEGER) FROM TAss_Assenze Ass "
        "  JOIN TClsSesMat AssCsm ON AssCsm.iClsSesMatId = Ass.iClsSesMatId "
        "  JOIN TClsSes AssCs ON AssCs.iClsSesId = AssCsm.iClsSesId "
        "  JOIN TAnsSesDwg AssAsd ON AssAsd.iAnsSesDwgId = AssCs.iAnsSesDwgId "
        "  WHERE Ass.iSitId = TSit.iSitId AND AssAsd.iSfiId <> 3 "
        "  AND AssAsd.lAnsSesDwgPagella = 1 AND AssAsd.iAnsSesDwgOrdine < ("
        "    SELECT Working.iAnsSesDwgOrdine FROM TAnsSesDwg Working "
        "    WHERE Working.iAnsSesDwgId = :iAnsSesDwgId)) AS iSitOreAssenza, "
        "TSit.iSitGgAssenza, TSit.iSitTotAssenze, "
        "CASE WHEN COALESCE(TSit.iSitMonteOre, 0) <> 0 THEN TSit.iSitMonteOre "
        "  ELSE Pst.iPstTotOre END AS iPstTotOre, "
        "CAST(CASE TSit.iFreqId WHEN 2 THEN 'D' WHEN 3 THEN 'N' ELSE '' END AS VARCHAR(1)) "
        "  AS Frequenza, "
        "Pst.iPstPei "
        "FROM TSit_Situazioni TSit "
        "  JOIN TClsPst TClsPst ON TClsPst.iClsPstId = TSit.iClsPstId "
        "  JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = TSit.iAnaId "
        "  JOIN TPst_PianiStudio Pst ON Pst.iPstId = TClsPst.iPstId "
        "  LEFT JOIN TSex_Sesso Sex ON Sex.iSexId = Ana.iSexId "
        "  LEFT JOIN VAnaAbtLoc Abt ON Abt.iAbtLocId = (SELECT MIN(Res.iAbtLocId) "
        "    FROM VAnaAbtLoc Res WHERE Res.iAnaId = TSit.iAnaId AND Res.iLocId = 2) "
        "  LEFT JOIN TComCap ComCap ON ComCap.iComCapId = Abt.iComCapId "
        "  LEFT JOIN TCap Cap ON Cap.iCapId = ComCap.iCapId "
        "  LEFT JOIN VSrpc Srpc ON Srpc.iSrpcId = ComCap.iSrpcId "
        "WHERE TClsPst.iClsId = :iClsId AND TSit.iSitOrdine = 1 AND TSit.iSitPosReg > 0 "
        "  AND /*PST*/ "
        "ORDER BY TSit.iSitPosReg, Ana.sAnaCognomeNomeIdx, TSit.iSitId");
}

QString classAluMat()
{
    // The pupil filter holds for this year's situations only: last year's situation of a
    // suspended or admitted pupil need not be suspended or carry this year's admission vote.
    const QString select = pupilComponentsSelect(true);
    return select +
           QStringLiteral("WHERE TSit.iAnaId IN %1 AND AnsSesDwg.iAnsId = %2 AND /*PST*/ "
                          "UNION ") +
           select +
           QStringLiteral("WHERE TSit.iAnaId IN %3 AND AnsSesDwg.iAnsId = %4 "
                          "ORDER BY 17, 18, 15, 23, 16, 24");
}

QString classValues(const QString &select)
{
    return select + QStringLiteral("WHERE ClsSes.iClsSesId = :iClsSesId AND /*PST*/ "
                                   "ORDER BY 2");
}

QString classClsNot()
{
    return notSelect() + QStringLiteral("WHERE ClsSes.iClsSesId = :iClsSesId AND /*PST*/ "
                                        "ORDER BY MatRmaPst.iMatRmaPstOrdine, Nte.iNotId");
}

QString classClsDeb()
{
    return debSelect() + QStringLiteral("WHERE TSit.iAnaId IN %1 ORDER BY Deb.iDebId");
}

QString classInfDeb()
{
    return QStringLiteral("SELECT Des.iDesSufficiente, Deb.iSitId "
                          "FROM TDeb_Debiti Deb "
                          "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Deb.iSitId "
                          "  LEFT JOIN TDesDed DesDed ON DesDed.iDesDedId = Deb.iDesDedId "
                          "  LEFT JOIN TDes_DebEsito Des ON Des.iDesId = DesDed.iDesId "
                          "WHERE TSit.iAnaId IN %1 "
                          "ORDER BY Deb.iDebId");
}

QString classClsCre()
{
    // Credits count in the state's final states and the suspended judgment; the seats of lower
    // schools ("MM", "EE" in the ministry code) give none.
    return QStringLiteral(
               "SELECT TSit.iSitId, Cre.iCreId, VCls.sClsSDesc, VCls.sClsAnnoScol AS sAnnoScol, "
               "Cre.fCreMediaVoti, Acs.iTbnId, Cre.iBndId, ") +
           bandRange(QStringLiteral("iBndMedMin"), QStringLiteral("iBndMedMax")) +
           QStringLiteral(" AS sBndMed, Bnd.sBndDesc, ") +
           bandRange(QStringLiteral("iBndCreMin"), QStringLiteral("iBndCreMax")) +
           QStringLiteral(
               " AS sBndCre, Cre.iCrePerMedia, Cre.iCreOutBanda, Cre.iCreFrmSco, Cre.iCreSosp, "
               "Cre.iCreRecup, Cre.iCreCredito, Cre.iEncId, Enc.sEncSDesc, Cre.bCreNota, "
               "VCls.iAcsId, VCls.iAcsAnnoCorso, VCls.iAnsId, TSit.iAnaId, Cre.dInsert, "
               "Cre.dStart, Cre.dEnd ") +
           QLatin1String(kClassPupilSituations) +
           QStringLiteral(
               "  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId "
               "  JOIN VCls_Classi VCls ON VCls.iClsId = ClsPst.iClsId "
               "  LEFT JOIN TAcs_AnniCorso Acs ON Acs.iAcsId = VCls.iAcsId "
               "  LEFT JOIN VSed_Sedi Sed ON Sed.iDwgSedId = VCls.iDwgSedId "
               "  LEFT JOIN TPosFin PosFin ON PosFin.iPosFinId = TSit.iPosFinId "
               "  LEFT JOIN TCre_Crediti Cre ON Cre.iSitId = TSit.iSitId "
               "  LEFT JOIN TBnd_Bande Bnd ON Bnd.iBndId = Cre.iBndId "
               "  LEFT JOIN TEnc_Encomio Enc ON Enc.iEncId = Cre.iEncId "
               "WHERE (TSit.iSitOrdine = 1 OR Cre.lCreConsideraCurrDis = 1) "
               "  AND (TSit.iPosFinId IS NULL OR PosFin.iStaFinId IN (1, 3, 5, 11)) "
               "  AND COALESCE(SUBSTRING(Sed.sSedMecCod FROM 3 FOR 2), '') NOT IN ('MM', 'EE') "
               "ORDER BY TSit.iSitId");
}

QString classCreSco()
{
    return QStringLiteral("SELECT Item.iCreScoId, Item.iCreId, Item.iScoId, Item.dInsert, "
                          "Item.dStart, Item.dEnd ") +
           classCreditItems("TCreSco") +
           QStringLiteral("  JOIN TSco_Scolastici Sco ON Sco.iScoId = Item.iScoId "
                          "WHERE Sco.lScoVisible = 1 ORDER BY Item.iCreScoId");
}

QString classCreFrm()
{
    return QStringLiteral("SELECT Item.iCreFrmId, Item.iCreId, Item.iFrmId, Item.dInsert, "
                          "Item.dStart, Item.dEnd, ClsPst.iClsId ") +
           classCreditItems("TCreFrm") + QStringLiteral("ORDER BY Item.iCreFrmId");
}

QString scoScol()
{
    return QStringLiteral("SELECT iScoId, sScoLDesc, sScoSDesc, iScoPeso, iLocked "
                          "FROM TSco_Scolastici WHERE lScoVisible = 1 ORDER BY iScoId");
}

QString frmForm()
{
    return QStringLiteral("SELECT iFrmId, sFrmLDesc, sFrmSDesc, iFrmPeso "
                          "FROM TFrm_Formativi WHERE lFrmVisible = 1 ORDER BY iFrmId");
}

QString encEncomio()
{
    return QStringLiteral("SELECT iEncId, sEncLDesc, sEncSDesc FROM TEnc_Encomio ORDER BY iEncId");
}

QString classBands()
{
    return QStringLiteral("SELECT DISTINCT Bnd.iBndId, Bnd.iAcsId, Acs.sAcsLDesc, Bnd.sBndDesc, "
                          "Bnd.iBndMedMin, Bnd.iBndMedMax, Bnd.iBndCreMin, Bnd.iBndCreMax, ") +
           bandRange(QStringLiteral("iBndMedMin"), QStringLiteral("iBndMedMax")) +
           QStringLiteral(" AS sBndMed, ") +
           bandRange(QStringLiteral("iBndCreMin"), QStringLiteral("iBndCreMax")) +
           QStringLiteral(" AS sBndCre, Bnd.dDelete, Bnd.iLocked "
                          "FROM TClsSes ClsSes "
                          "  JOIN TTbn_TipoBanda Tbn ON Tbn.iTbnId = ClsSes.iTbnId "
                          "  JOIN TTbnBnd TbnBnd ON TbnBnd.iTbnId = Tbn.iTbnId "
                          "  JOIN TBnd_Bande Bnd ON Bnd.iBndId = TbnBnd.iBndId "
                          "  LEFT JOIN TAcs_AnniCorso Acs ON Acs.iAcsId = Bnd.iAcsId "
                          "  JOIN TClsPst TClsPst ON TClsPst.iClsId = ClsSes.iClsId "
                          "WHERE ClsSes.iClsSesId = :iClsSesId AND /*PST*/ "
                          "ORDER BY 1");
}

QString classDocCls()
{
    // The teachers of the subjects of the class's plans (but conduct) in a class with a session
    // in the working one; each teacher's hours of the subject in that session. Login is
    // iAnaId - 1000000 on five characters, as the teachers' program checks it: LPAD keeps the
    // first five digits of a longer number. The name key is there for the order only.
    return QStringLiteral("SELECT DISTINCT ClsMatAna.iAnaId, ") + docName(QStringLiteral("Ana")) +
           QStringLiteral(
               " AS sDocNome, ClsMatAna.iClsId, ClsMatAna.iMatId, Mat.sMatLDesc, "
               "LPAD(CAST(ClsMatAna.iAnaId - 1000000 AS VARCHAR(11)), 5, '0') AS Login, "
               "ClsMatAna.lClsMatAnaCoord, "
               "(SELECT FIRST 1 Cno.iCnoOre FROM TCno_ClassiNoteOre Cno "
               "  JOIN TClsSesMat CnoCsm ON CnoCsm.iClsSesMatId = Cno.iClsSesMatId "
               "  JOIN TMatRma CnoRma ON CnoRma.iMatRmaId = CnoCsm.iMatRmaId "
               "  WHERE CnoCsm.iClsSesId = ClsSes.iClsSesId AND CnoRma.iMatId = ClsMatAna.iMatId "
               "  AND Cno.iAnaId = ClsMatAna.iAnaId ORDER BY Cno.iCnoId) AS iCnoOre, "
               "Ans.iAnsValore, Ana.sAnaPwPert, Ana.sAnaCognomeNomeIdx "
               "FROM TClsMatAna ClsMatAna "
               "  JOIN TMat_Materie Mat ON Mat.iMatId = ClsMatAna.iMatId "
               "  JOIN TCls_Classi Cls ON Cls.iClsId = ClsMatAna.iClsId "
               "  JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Cls.dStart "
               "  JOIN TClsSes ClsSes ON ClsSes.iClsId = ClsMatAna.iClsId "
               "    AND ClsSes.iAnsSesDwgId = :iAnsSesDwgId "
               "  LEFT JOIN TAna_Anagrafiche Ana ON Ana.iAnaId = ClsMatAna.iAnaId "
               "WHERE ClsMatAna.iClsId = :iClsId "
               "  AND COALESCE(Mat.sMatCodVexto, '') <> 'CONDOTTA' "
               "  AND EXISTS (SELECT 1 FROM TMatRma MatRma "
               "    JOIN TMatRmaPst MatRmaPst ON MatRmaPst.iMatRmaId = MatRma.iMatRmaId "
               "    JOIN TClsPst ClsPst ON ClsPst.iPstId = MatRmaPst.iPstId "
               "    WHERE ClsPst.iClsId = ClsMatAna.iClsId AND MatRma.iMatId = ClsMatAna.iMatId "
               "    AND /*PST*/) "
               "ORDER BY Ana.sAnaCognomeNomeIdx, ClsMatAna.iAnaId, ClsMatAna.iMatId");
}

QString classGdz()
{
    return QStringLiteral(
        "SELECT Gdz.iGdzId, Gdz.iSitId, ClsSes.iClsSesId, Gdz.iAnsSesDwgId, Gdz.bGdzGiudizio, "
        "Gdz.dInsert, Gdz.dStart, Gdz.dEnd, TClsPst.iClsId "
        "FROM TGdz_Giudizi Gdz "
        "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Gdz.iSitId "
        "  JOIN TClsPst TClsPst ON TClsPst.iClsPstId = TSit.iClsPstId "
        "  JOIN TClsSes ClsSes ON ClsSes.iClsId = TClsPst.iClsId "
        "    AND ClsSes.iAnsSesDwgId = Gdz.iAnsSesDwgId "
        "WHERE ClsSes.iClsSesId = :iClsSesId AND /*PST*/ "
        "ORDER BY Gdz.iGdzId");
}

QString classFin()
{
    return QStringLiteral("SELECT TSit.iSitId, TSit.iPosFinId, PosFin.sStaFinDettSDesc, "
                          "TClsPst.iClsId "
                          "FROM TSit_Situazioni TSit "
                          "  JOIN TClsPst TClsPst ON TClsPst.iClsPstId = TSit.iClsPstId "
                          "  LEFT JOIN VPosFin PosFin ON PosFin.iPosFinId = TSit.iPosFinId "
                          "WHERE TClsPst.iClsId = :iClsId AND /*PST*/ "
                          "ORDER BY TSit.iSitId");
}

QString esiEsito()
{
    return QStringLiteral(
        "SELECT PosFin.iPosFinId, Dett.sStaFinDettLDesc, Dett.sStaFinDettSDesc, PosFin.iStaFinId "
        "FROM TPosFin PosFin "
        "  JOIN TStaFinDett Dett ON Dett.iStaFinDettId = PosFin.iStaFinDettId "
        "    AND Dett.dDelete IS NULL "
        "WHERE PosFin.lPosFinVisible = 1 OR PosFin.iPosFinId IN (1, 2, 17, 19) "
        "ORDER BY PosFin.iPosFinId");
}

QString gdtTemplate()
{
    return QStringLiteral("SELECT * FROM TGdt_GdzTemplate ORDER BY iGdtId");
}

QString classCno()
{
    return QStringLiteral(
        "SELECT Cno.*, ClsSesMat.* "
        "FROM TCno_ClassiNoteOre Cno "
        "  JOIN TClsSesMat ClsSesMat ON ClsSesMat.iClsSesMatId = Cno.iClsSesMatId "
        "WHERE ClsSesMat.iClsSesId = :iClsSesId "
        "ORDER BY Cno.iCnoId");
}

QString cmpSca()
{
    return QStringLiteral("SELECT CmpSca.iCmpScaId, Cmp.iCmpPeso "
                          "FROM TCmpSca CmpSca JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = "
                          "CmpSca.iCmpId "
                          "ORDER BY CmpSca.iCmpScaId");
}

QString fasiRec()
{
    return QStringLiteral("SELECT AnsFre.iAnsFreDwgId, AnsFre.iFreId, Fre.sFreSDesc, "
                          "Fre.sFreLDesc "
                          "FROM TAnsFreDwg AnsFre JOIN TFre_FasiRec Fre ON Fre.iFreId = "
                          "AnsFre.iFreId "
                          "WHERE AnsFre.iAnsId = :iAnsId "
                          "ORDER BY AnsFre.iAnsFreDwgId");
}

QString esitoRec()
{
    return QStringLiteral("SELECT iEreId, sEreSDesc, sEreLDesc, lVisible, iPesoRec "
                          "FROM TEre_EsitoRec ORDER BY iEreId");
}

QString tipoRec()
{
    return QStringLiteral("SELECT iTreId, sTreSDesc, sTreLDesc, lVisible, iTrePeso "
                          "FROM TTre_TipoRec WHERE lVisible = 1 ORDER BY iTreId");
}

QString classRec()
{
    return QStringLiteral(
        "SELECT Rec.iRecId, Rec.iTreId, Rec.iEreId, Rec.iMatId, Rec.iSitId, Rec.iAnsFreDwgId, "
        "Rec.dRecAttr, Rec.dRecVer, Rec.iPvrId "
        "FROM TRec_Recuperi Rec "
        "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Rec.iSitId "
        "  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId "
        "WHERE ClsPst.iClsId = :iClsId "
        "ORDER BY Rec.iRecId");
}

QString provaRec()
{
    return QStringLiteral(
        "SELECT iPvrId, sPvrLDesc, sPvrSDesc FROM TPvr_ProvaRecupero ORDER BY iPvrId");
}

QString classCompetences()
{
    return QStringLiteral(
        "SELECT Comp.iCompId, Comp.iAnaId, Comp.iCompAsseId, Comp.iCompLivId, "
        "Comp.iLinguaStranieraId, Comp.sCompNote, Asse.sCompAsseDesc, Liv.sCompLivDesc, "
        "Liv.iCompLivValue, Liv.iCompLivFasciaMin, Liv.iCompLivFasciaMax, Comp.iSitId "
        "FROM TCOMP_COMPETENZE Comp "
        // Every competence has its axis: the few axes are looked up, never searched first (as an
        // inner join they led to every competence of the school).
        "  LEFT JOIN TCOMPASSE Asse ON Asse.iCompAsseId = Comp.iCompAsseId "
        "  LEFT JOIN TCOMPLIV Liv ON Liv.iCompLivId = Comp.iCompLivId "
        "  JOIN TSit_Situazioni TSit ON TSit.iSitId = Comp.iSitId "
        "  JOIN TClsPst ClsPst ON ClsPst.iClsPstId = TSit.iClsPstId "
        "  JOIN VCls_Classi VCls ON VCls.iClsId = ClsPst.iClsId "
        "WHERE Comp.iSitId IN %1 AND VCls.iAnsId IN %2 AND ClsPst.iClsId = %3 "
        "ORDER BY Comp.iCompId");
}

QString compAssi()
{
    return QStringLiteral("SELECT iCompAsseId, sCompAsseDesc FROM TCOMPASSE ORDER BY iCompAsseId");
}

QString compLiv()
{
    return QStringLiteral("SELECT iCompLivId, sCompLivDesc, iCompLivValue, iCompLivFasciaMin, "
                          "iCompLivFasciaMax FROM TCOMPLIV ORDER BY iCompLivId");
}

QString firme()
{
    return QStringLiteral(
        "SELECT Fir.iFirId, Quf.iQuaId AS iQufId, QuaDett.sQuaDettLDesc, Fir.sFirNome, "
        "Fir.dStart, Fir.dEnd "
        "FROM TFir_Firme Fir "
        "  JOIN TQuf_QuaFirme Quf ON Quf.iQufId = Fir.iQufId "
        "  JOIN TQuaDett QuaDett ON QuaDett.iQuaId = Quf.iQuaId "
        "WHERE Fir.dDelete IS NULL AND Fir.dEnd IS NULL AND Fir.iDwgId = :iDwgId "
        "ORDER BY Fir.iFirId, QuaDett.iQuaDettId");
}

} // namespace QelXmlSql
