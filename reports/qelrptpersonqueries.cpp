#include "reports/qelrptpersonqueries.h"

namespace qelrpt {

namespace {

QString S(const char *text)
{
    return QString::fromLatin1(text);
}

const char kComuneProv[] = "TCom.sComDesc || ' (' || TPro.sProSigla || ')'";

// The registry procedures answer one row or none; FIRST 1 keeps a scalar sub-select valid
// should a schema of the suite answer more.
QString fromProcedure(const char *column, const char *procedure, const char *alias)
{
    return QStringLiteral("(SELECT FIRST 1 P.%1 FROM %2 P) AS %3")
        .arg(S(column), S(procedure), S(alias));
}

// The seat's school type or order, through the institute that has the seat as its main one.
QString seatSchoolKind(const char *column, const char *joins, const char *alias)
{
    return QStringLiteral("(SELECT FIRST 1 %1 FROM TDwgSed ds "
                          "INNER JOIN TDow_DataOwner Dow ON (Dow.iDwgId = ds.iDwgId) "
                          "INNER JOIN TOtgDwg Otg ON (Otg.iDowId = Dow.iDowId) "
                          "INNER JOIN TScuTypOrdGra Tog ON (Tog.iScuTypOrdGraId = "
                          "Otg.iScuTypOrdGraId) %2 "
                          "WHERE ds.iSedId = VSed.iSedId AND ds.LDWGSEDMAIN = 1 AND ds.IDWGID > 1 "
                          "ORDER BY ds.iDwgSedId, Otg.iOtgDwgId) AS %3")
        .arg(S(column), S(joins), S(alias));
}

// The pupil's record of an earlier school of one type (at most one per type).
QString earlierSchool(const char *alias, int type)
{
    return QStringLiteral(
               "LEFT JOIN TAnaGme %1 ON (%1.iAnaId = TAna.iAnaId AND %1.iScuTypId = %2) ")
        .arg(S(alias))
        .arg(type);
}

// The coordinated class of the teacher at a place (0, 1, 2) among those of the session's
// year, by class id.
QString coordinatedClass(int skip)
{
    return QStringLiteral("(SELECT FIRST 1 SKIP %1 TCls.sClsSDesc FROM TCls_Classi TCls "
                          "WHERE TCls.dStart = TAns.dAnsVextoInizio AND EXISTS (SELECT 1 "
                          "FROM TClsMatAna TCma WHERE TCma.iClsId = TCls.iClsId "
                          "AND TCma.iAnaId = TAnaCag.iAnaId "
                          "AND (COALESCE(TCma.lClsMatAnaCoord, 0) = 1)) "
                          "ORDER BY TCls.iClsId) AS ClasseCoor%2")
        .arg(skip)
        .arg(skip + 1);
}

} // namespace

QString placeJoins(const QString &comCapId)
{
    return QStringLiteral("LEFT JOIN TComCap TComCap ON (TComCap.iComCapId = %1) "
                          "LEFT JOIN TCap TCap ON (TCap.iCapId = TComCap.iCapId) "
                          "LEFT JOIN TSrpc TSrpc ON (TSrpc.iSrpcId = TComCap.iSrpcId) "
                          "LEFT JOIN TCom_Comuni TCom ON (TCom.iComId = TSrpc.iComId) "
                          "LEFT JOIN TPro_Province TPro ON (TPro.iProId = TSrpc.iProId) ")
        .arg(comCapId);
}

// The school's seats (no data owner): its main seat, or every one when :All is 1.
QString dataOwner()
{
    return S("SELECT VSed.sSedIndIndirizzo, VSed.sSedFaxNo, VSed.sSedTelTelefono, "
             "VSed.sSedEmlEmail, VSed.sSedMecCod, VSed.sSedNomCodiceFisc, VSed.sSedNomLDesc, "
             "VSed.sSedNomSDesc, TCap.sCapValue, TCom.sComDesc, TPro.sProDesc, TPro.sProSigla, ") +
           S(kComuneProv) + S(" AS ComuneProv, ") +
           seatSchoolKind("Typ.sScuTypLDesc",
                          "INNER JOIN TScuTyp_TipiScuola Typ ON (Typ.iScuTypId = Tog.iScuTypId)",
                          "TIPO_SCUOLA") +
           S(", ") +
           seatSchoolKind("Ord.sScuOrdLDesc",
                          "INNER JOIN TScuOrd Ord ON (Ord.iScuOrdId = Tog.iScuOrdId)",
                          "ORDINE_SCUOLA") +
           S(" FROM VSed_Sedi VSed ") + placeJoins(QStringLiteral("VSed.iComCapId")) +
           S("WHERE VSed.iDwgId IS NULL AND ((VSed.lDwgSedMain = 1) OR (:All = 1)) "
             "ORDER BY VSed.lDwgSedMain DESC, VSed.iDwgSedId");
}

// A parent's kinship is the same towards each of the children, so the first link names it;
// a tutor who is no parent has none.
QString genitoriDettagli()
{
    return S("SELECT (SELECT FIRST 1 TGpt.sGptLDesc FROM TAnaGpt TAnaGpt "
             "INNER JOIN TGpt_GradiParentela TGpt ON (TGpt.iGptId = TAnaGpt.iGptId) "
             "WHERE TAnaGpt.iAnaId_Gpt = TAna.iAnaId ORDER BY TAnaGpt.iAnaGptId) AS sGptLDesc, "
             "TSex.sSexLDesc, TSex.sSexSDesc, TStc.sStcOldLDesc, TStc.sStcOldSDesc, "
             "TVom.sVomDesc, TVom.sVomCod "
             "FROM TAna_Anagrafiche TAna "
             "LEFT JOIN TSex_Sesso TSex ON (TSex.iSexId = TAna.iSexId) "
             "LEFT JOIN TStc_StatiCivili TStc ON (TStc.iStcId = TAna.iStcId) "
             "LEFT JOIN TVom_VivoMorto TVom ON (TVom.iVomId = TAna.iVomId) "
             "WHERE TAna.iAnaId = :iAnaId");
}

QString addresses()
{
    return S("SELECT Abt.sAbtIndirizzo, TCap.sCapValue, TCom.sComDesc, TPro.sProDesc, "
             "TPro.sProSigla, TReg.sRegDesc, TSta.sStaLDesc, ") +
           S(kComuneProv) +
           S(" AS comuneprov "
             "FROM TAbt_Abitazioni Abt "
             "INNER JOIN TAbtLoc TAbtLoc ON (TAbtLoc.iAbtId = Abt.iAbtId) ") +
           placeJoins(QStringLiteral("Abt.iComCapId")) +
           S("LEFT JOIN TReg_Regioni TReg ON (TReg.iRegId = TSrpc.iRegId) "
             "LEFT JOIN TSta_Stati TSta ON (TSta.iStaId = TSrpc.iStaId) "
             "WHERE (Abt.iAnaId = :iAnaId) AND (TAbtLoc.iLocId = :iAbt) "
             "ORDER BY Abt.iAbtId");
}

QString hamlets()
{
    return S("SELECT Fra.sFraQuaDesc "
             "FROM TAbt_Abitazioni Abt "
             "INNER JOIN TAbtLoc TAbtLoc ON (TAbtLoc.iAbtId = Abt.iAbtId) "
             "INNER JOIN TFraQua_FrazioniQuartieri Fra ON (Fra.iFraQuaId = Abt.iFraQuaId) "
             "WHERE (Abt.iAnaId = :iAnaId) AND (TAbtLoc.iLocId = :iAbt) "
             "ORDER BY Abt.iAbtId");
}

QString birthAndCitizenship(bool stateRequired)
{
    const QString citizenship =
        fromProcedure("sCittLCitt", "pzor_get_citt(TAna.iAnaId, NULL)", "CittLDesc") + S(", ") +
        fromProcedure("sCittSCitt", "pzor_get_citt(TAna.iAnaId, NULL)", "CittSDesc");
    const QString place = S("TSta.sStaLDesc, TPro.sProDesc, TPro.sProSigla, TCom.sComDesc, ") +
                          S(kComuneProv) + S(" AS ComuneProv");
    const char *join = stateRequired ? "INNER" : "LEFT";
    return S("SELECT ") +
           (stateRequired ? place + S(", ") + citizenship : citizenship + S(", ") + place) +
           S(" FROM TAna_Anagrafiche TAna ") +
           QStringLiteral("%1 JOIN TSrpc TSrpc ON (TSrpc.iSrpcId = TAna.iSrpcId) "
                          "%1 JOIN TSta_Stati TSta ON (TSta.iStaId = TSrpc.iStaId) ")
               .arg(S(join)) +
           S("LEFT JOIN TPro_Province TPro ON (TPro.iProId = TSrpc.iProId) "
             "LEFT JOIN TCom_Comuni TCom ON (TCom.iComId = TSrpc.iComId) "
             "WHERE TAna.iAnaId = :iAnaId");
}

// Phones, e-mail and groups come from the suite's registry procedures; the earlier schools
// from the pupil's records by school type: 1 nursery, 2 primary, 3 lower and 4 upper
// secondary.
QString alunniDettagli()
{
    return S("SELECT TSex.sSexLDesc, TStc.sStcOldLDesc, TSex.sSexSDesc, TStc.sStcOldSDesc, "
             "TAnaCag.sAnaCagCode, ") +
           fromProcedure("sTelTelefoni", "pzor_get_telefoni(TAna.iAnaId, NULL, 1)", "tel") +
           S(", ") +
           fromProcedure("sTelTelefoni", "pzor_get_telefoni(TAna.iAnaId, NULL, 2)", "teldesc") +
           S(", ") + fromProcedure("sEmlEmail", "pzor_get_email(TAna.iAnaId, NULL)", "email") +
           S(", ") + fromProcedure("sGreLGruppi", "pzor_get_gre(TAna.iAnaId, NULL)", "greldesc") +
           S(", ") + fromProcedure("sGreSGruppi", "pzor_get_gre(TAna.iAnaId, NULL)", "gresdesc") +
           S(", Gme1.lAnaGmeFreq AS Frequenza_scuola_materna, "
             "Giu2.sGmeLDesc AS Giudizio_Elem_Desc, Giu2.sGmeSDesc AS Giudizio_Elem_Sigla, "
             "Giu3.sGmeLDesc AS Giudizio_Medie_Desc, "
             "Giu3.sGmeSDesc AS Giudizio_Medie_Sigla, "
             "Gme4.sAnaGmeVotoAmm AS Qualif_Punt_Ammissione, "
             "Gme4.sAnaGmeVoto AS Qualif_Punt_finale, TAna.lAnaConsPrivacy AS Consenso_Privacy, "
             "TDpl.sDplSDesc AS Diploma_Breve, TDpl.sDplLDesc AS Diploma_Lungo, "
             "TQlf.sQlfSDesc AS Qualifica_Breve, TQlf.sQlfLDesc AS Qualifica_Lungo, "
             "Gme4.sAnaGmeVotoEsame AS Voto_Esame, Gme4.lAnaGmeLode AS Lode, "
             "TAna.sAnaCodSidi AS Codice_SIDI "
             "FROM TAna_Anagrafiche TAna "
             "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaId = TAna.iAnaId) "
             "LEFT JOIN TSex_Sesso TSex ON (TSex.iSexId = TAna.iSexId) "
             "LEFT JOIN TStc_StatiCivili TStc ON (TStc.iStcId = TAna.iStcId) ") +
           earlierSchool("Gme1", 1) + earlierSchool("Gme2", 2) + earlierSchool("Gme3", 3) +
           earlierSchool("Gme4", 4) +
           S("LEFT JOIN TGme_GiuMatEleMed Giu2 ON (Giu2.iGmeId = Gme2.iGmeId) "
             "LEFT JOIN TGme_GiuMatEleMed Giu3 ON (Giu3.iGmeId = Gme3.iGmeId) "
             "LEFT JOIN TDpl_Diplomi TDpl ON (TDpl.iDplId = Gme4.iDplId) "
             "LEFT JOIN TQlf_Qualifiche TQlf ON (TQlf.iQlfId = Gme4.iQlfId) "
             "WHERE (TAna.iAnaId = :iAnaId) AND (TAnaCag.iCagId = 1)");
}

QString genitoriTelEmail()
{
    return S("SELECT ") +
           fromProcedure("sTelTelefoni", "pzor_get_telefoni(TAna.iAnaId, NULL, 1)", "tel") +
           S(", ") +
           fromProcedure("sTelTelefoni", "pzor_get_telefoni(TAna.iAnaId, NULL, 2)", "teldesc") +
           S(", ") + fromProcedure("sEmlEmail", "pzor_get_email(TAna.iAnaId, NULL)", "email") +
           S(" FROM TAna_Anagrafiche TAna WHERE TAna.iAnaId = :iAnaId");
}

QString genitoriProfesTdStud()
{
    const char title[] = "pzor_get_titstud(TAna.iAnaId, NULL)";
    const char job[] = "pzor_get_profes(TAna.iAnaId, NULL)";
    return S("SELECT ") + fromProcedure("sTsdLTitStud", title, "Tsdl") + S(", ") +
           fromProcedure("sTsdSTitStud", title, "Tsds") + S(", ") +
           fromProcedure("sTsdLTsdLeg", title, "Tsdlleg") + S(", ") +
           fromProcedure("sTsdSTsdLeg", title, "Tsdsleg") + S(", ") +
           fromProcedure("sPrfLProfes", job, "Prfl") + S(", ") +
           fromProcedure("sPrfSProfes", job, "Prfs") + S(", ") +
           fromProcedure("sPrfLPrfLeg", job, "Prflleg") + S(", ") +
           fromProcedure("sPrfSPrfLeg", job, "Prfsleg") +
           S(" FROM TAna_Anagrafiche TAna WHERE TAna.iAnaId = :iAnaId");
}

// A second situation of the year shows only when its credit counts. The annual hours are the
// situation's own when set, else the plan's; Monte_Ore_Curriculum is the situation's own as
// stored.
QString situazDettagli()
{
    return S(
        "SELECT TCre.iCreCredito, VPosIni.sStaIniDettLDesc, VPosIni.sStaIniDettSDesc, "
        "VPosIni.sStaIniLDescVexto, VPosAtt.sStaAttDettLDesc, VPosAtt.sStaAttDettSDesc, "
        "VPosAtt.sStaAttLDescVexto, VPosFin.sStaFinDettLDesc, VPosFin.sStaFinDettSDesc, "
        "VPosFin.sStaFinLDescVexto, VTax.sTdeLDesc, VTax.sTdeSDesc, VTax.sTaxLDescVexto, "
        "TIsc.sIscLDesc, TSit.dSitEsito, TIsc.sIscSDesc, TIes.sIesLDesc, TIes.sIesSDesc, "
        "TSit.dSitTraRit, TSit.dSitPreIscr, TSit.dSitIscr, TSit.iSitPosReg, "
        "TSit.iSitPosScu, TSit.iSitOreAssenza AS OreDiAssenza, TSit.sSitVoto, "
        "TDcr.sDcrSDesc, TDcr.sDcrLDesc, TSit.lSitRelig AS Religione, "
        "TSit.lSitEdFis AS EdFisica, TAlt.sAltLDesc AS Desc_Attiv_Alternativa, "
        "TAlt.sAltSDesc AS Sigla_Attiv_Alternativa, TSit.iSitId AS Id_Situazione, "
        "TSit.iSitTotAssenze AS Totale_Assenze, TSit.iSitGgAssenza AS Giorni_di_Assenza, "
        "TSit.iSitOreAssenza AS Ore_di_Assenza, TFreq.sFreqLDesc AS Frequenza, "
        "COALESCE(TSit.iFreqId, 1) AS IDFrequenza, "
        "CASE WHEN TSit.iSitMonteOre > 0 THEN TSit.iSitMonteOre ELSE TPst.iPstTotOre END "
        "AS Monte_Ore_Annuale, TSit.iSitMonteOre AS Monte_Ore_Curriculum, "
        "TPst.iPstTotOre AS Monte_Ore_PianoStudio, TStaSosp.sStaFinSDescVexto AS Esito_Sospeso "
        "FROM TSit_Situazioni TSit "
        "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
        "INNER JOIN TPst_PianiStudio TPst ON (TPst.iPstId = TClsPst.iPstId) "
        "LEFT JOIN TCre_Crediti TCre ON (TCre.iSitId = TSit.iSitId) "
        "LEFT JOIN vposini VPosIni ON (VPosIni.iPosIniId = TSit.iPosIniId) "
        "LEFT JOIN vposatt VPosAtt ON (VPosAtt.iPosAttId = TSit.iPosAttId) "
        "LEFT JOIN VPosFin VPosFin ON (VPosFin.iPosFinId = TSit.iPosFinId) "
        "LEFT JOIN vTAX VTax ON (VTax.iTfiId = TSit.iTfiId) "
        "LEFT JOIN TIsc_Iscrizione TIsc ON (TIsc.iIscId = TSit.iIscId) "
        "LEFT JOIN TIes_IntEst TIes ON (TIes.iIesId = TSit.iIesId) "
        "LEFT JOIN TDcr_DocRegola TDcr ON (TDcr.iDcrId = TSit.iDcrId) "
        "LEFT JOIN TAlt_Alternativa TAlt ON (TAlt.iAltId = TSit.iAltId) "
        "LEFT JOIN TFreq_Frequenza TFreq ON (TFreq.iFreqId = COALESCE(TSit.iFreqId, 1)) "
        "LEFT JOIN TPosFin TPosSosp ON (TPosSosp.iPosFinId = TSit.iPosFinId_Sosp) "
        "LEFT JOIN TStaFin TStaSosp ON (TStaSosp.iStaFinId = TPosSosp.iStaFinId) "
        "WHERE (TSit.iSitId = :iSitId) "
        "AND ((TSit.isitordine = 1) or (TCre.LCRECONSIDERACURRDIS = 1))");
}

QString school(const char *key)
{
    return QStringLiteral("SELECT TScu.sScuLDesc, TScu.sScuMecCod, TScu.iComCapId "
                          "FROM TSit_Situazioni TSit "
                          "INNER JOIN TScu_Scuole TScu ON (TScu.iScuId = TSit.%1) "
                          "WHERE TSit.iSitId = :iSitId")
        .arg(S(key));
}

QString schoolPlace(const char *key)
{
    return S("SELECT TCom.sComDesc, TPro.sProDesc, TPro.sProSigla, ") + S(kComuneProv) +
           QStringLiteral(" AS comuneprov FROM TSit_Situazioni TSit "
                          "INNER JOIN TScu_Scuole TScu ON (TScu.iScuId = TSit.%1) ")
               .arg(S(key)) +
           placeJoins(QStringLiteral("TScu.iComCapId")) + S("WHERE TSit.iSitId = :iSitId");
}

QString creditItems(const char *kind)
{
    const bool isSchool = QLatin1String(kind) == QLatin1String("Sco");
    return QStringLiteral("SELECT It.i%1Id, It.s%1LDesc, It.s%1SDesc, It.i%1Peso%2 FROM %3 It "
                          "WHERE It.l%1Visible = 1 ORDER BY It.i%1Id")
        .arg(S(kind), isSchool ? S(", It.iLocked") : QString(),
             isSchool ? S("TSco_Scolastici") : S("TFrm_Formativi"));
}

// The teachers' send and receive marks of a year-session, with the first three classes each
// coordinates that year.
QString aai()
{
    return S("SELECT TAai.iAaiId, TAai.iModId, TMod.sModDesc, TAai.iAnaCagId, TAnaCag.iAnaId, "
             "TAnaCag.sAnaCagCode, TAna.sAnaCognome || ' ' || TAna.sAnaNome AS sDocNome, "
             "TAna.sAnaPwPert, TAai.iAaiInviato, TAai.dAaiInviato, TAai.sAaiDirInviato, "
             "TAai.iAaiRicevuto, TAai.dAaiRicevuto, ") +
           coordinatedClass(0) + S(", ") + coordinatedClass(1) + S(", ") + coordinatedClass(2) +
           S(", TAns.sAnsAnnoDesc "
             "FROM TAai_AnaAppInvio TAai "
             "INNER JOIN TAnaCag TAnaCag ON (TAnaCag.iAnaCagId = TAai.iAnaCagId) "
             "INNER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TAnaCag.iAnaId) "
             "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = TAai.iAnsSesDwgId) "
             "INNER JOIN VAns_AnniScolast TAns ON (TAns.iAnsId = TAsd.iAnsId) "
             "LEFT JOIN TMod_ModoInvio TMod ON (TMod.iModId = TAai.iModId) "
             "WHERE (TAai.iAnsSesDwgId = :iAnsSesDwgId) AND (TAnaCag.iCagId = 3) "
             "ORDER BY TAna.sAnaCognomeNomeIdx, TAai.iAaiId");
}

} // namespace qelrpt
