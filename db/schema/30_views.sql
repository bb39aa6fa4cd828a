-- Views, read-only. Optional data is LEFT JOINed so that no base row goes missing.

-- One row per class with its course year, track, section, specialisation and year text.
-- The year texts are cast whole: Firebird 3 derives too short a view column otherwise.
CREATE VIEW VCls_Classi (iClsId, iDwgId, iDwgSedId, iAcsId, iIndId, iSezId, iSpzId, iAnsId,
  iClsOrdine, sClsDesc, sClsSDesc, sClsAnnoScol, iAcsAnnoCorso, sAcsLDesc, sAcsSDesc,
  sIndLDesc, sIndSDesc, sIndCodMin, sIndCod, sSezLDesc, sSezSDesc, sSpzDescr, sSpzSperim,
  dStart_Cls, dEnd_Cls)
AS
SELECT Cls.iClsId, Cls.iDwgId, Cls.iDwgSedId, Cls.iAcsId, Cls.iIndId, Cls.iSezId,
       Cls.iSpzId, Ans.iAnsId, Cls.iClsOrdine, Cls.sClsDesc, Cls.sClsSDesc,
       CAST(CAST(Ans.iAnsValore AS CHAR(4)) || '/' || CAST(Ans.iAnsValore + 1 AS CHAR(4))
            AS VARCHAR(9)),
       Acs.iAcsAnnoCorso, Acs.sAcsLDesc, Acs.sAcsSDesc,
       Ind.sIndLDesc, Ind.sIndSDesc, Ind.sIndCodMin, Ind.sIndCod,
       Sez.sSezLDesc, Sez.sSezSDesc, Spz.sSpzDescr, Spz.sSpzSperim,
       Cls.dStart, Cls.dEnd
  FROM TCls_Classi Cls
  LEFT JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Cls.dStart
  LEFT JOIN TAcs_AnniCorso Acs ON Acs.iAcsId = Cls.iAcsId
  LEFT JOIN TInd_Indirizzo Ind ON Ind.iIndId = Cls.iIndId
  LEFT JOIN TSez_Sezioni Sez ON Sez.iSezId = Cls.iSezId
  LEFT JOIN TSpz_Specializzazioni Spz ON Spz.iSpzId = Cls.iSpzId;

-- One row per institute-seat link; iDwgId NULL is the school-level link. dEnd_Sed ends the
-- seat, dEnd_DwgSed the link.
CREATE VIEW VSed_Sedi (iDwgSedId, iDwgId, lDwgSedMain, iSedId, dStart_DwgSed, dEnd_DwgSed,
  dStart_Sed, dEnd_Sed, sSedInfCodVexto, sSedMecCod, sSedNomLDesc, sSedNomSDesc,
  sSedNomCodiceFisc, sSedIndIndirizzo, iComCapId, sSedTelTelefono, sSedTelTelefono2,
  sSedFaxNo, sSedEmlEmail)
AS
SELECT DwgSed.iDwgSedId, DwgSed.iDwgId, DwgSed.lDwgSedMain, Sed.iSedId, DwgSed.dStart,
       DwgSed.dEnd, Sed.dStart, Sed.dEnd, Inf.sSedInfCodVexto, Inf.sSedMecCod,
       Inf.sSedNomLDesc, Inf.sSedNomSDesc, Inf.sSedNomCodiceFisc, Inf.sSedIndIndirizzo,
       Inf.iComCapId, Inf.sSedTelTelefono, Inf.sSedTelTelefono2, Inf.sSedFaxNo,
       Inf.sSedEmlEmail
  FROM TDwgSed DwgSed
  JOIN TSed_Sedi Sed ON Sed.iSedId = DwgSed.iSedId
  LEFT JOIN TSedInf_SedeInfo Inf ON Inf.iSedId = Sed.iSedId;

CREATE VIEW VDow_DataOwner (iDwgId, iDowId, sDowLDesc, sDowSDesc, dStart_Dwg, dEnd_Dwg)
AS
SELECT iDwgId, iDowId, sDowLDesc, sDowSDesc, dStart, dEnd FROM TDow_DataOwner;

-- School years with their text, e.g. "2008/2009".
CREATE VIEW VAns_AnniScolast (iAnsId, iAnsValore, dAnsVextoInizio, dAnsVextoFine, dAnsInizio,
  dAnsFine, sAnsAnnoDesc)
AS
SELECT iAnsId, iAnsValore, dAnsVextoInizio, dAnsVextoFine, dAnsInizio, dAnsFine,
       CAST(CAST(iAnsValore AS VARCHAR(4)) || '/' || CAST(iAnsValore + 1 AS VARCHAR(4))
            AS VARCHAR(9))
  FROM TAns_AnniScolast;

-- Final positions with their texts. Deleted rows stay: a stored outcome whose detail was
-- deleted must still show; the lists that hide deleted rows filter on the dDelete columns.
CREATE VIEW VPosFin (iPosFinId, iStaFinId, lPosFinVisible, dDelete, iStaFinDettId,
  sStaFinDettSDesc, sStaFinDettLDesc, dDelete_Dett, sStaFinLDescVexto, sStaFinSDescVexto)
AS
SELECT P.iPosFinId, P.iStaFinId, P.lPosFinVisible, P.dDelete, D.iStaFinDettId,
       D.sStaFinDettSDesc, D.sStaFinDettLDesc, D.dDelete, S.sStaFinLDescVexto,
       S.sStaFinSDescVexto
  FROM TPosFin P
  JOIN TStaFinDett D ON D.iStaFinDettId = P.iStaFinDettId
  LEFT JOIN TStaFin S ON S.iStaFinId = P.iStaFinId;

-- Every component of every class-session subject, once per plan of the class that has the
-- subject; join TSit_Situazioni on iClsPstId for the pupils.
CREATE VIEW VClsMatCmp (iClsMatCmpId, iCmpScaId, iClsSesMatId, iClsSesId, iMatRmaId, iClsId,
  iAnsSesDwgId, iClsPstId, iPstId, iMatRmaPstId, iMatRmaPstOrdine, iMatRmaPstInMedia, iMatId,
  iMatId_P, sMatLDesc, sMatSDesc, sMatCodVexto, sMatCodMin, iCmpId, iScaId, iCmpScaTass,
  iCmpScaInMedia, iCmpScaOrdine, sCmpLDesc, sCmpSDesc, iCmpPeso, sScaDesc)
AS
SELECT Cmc.iClsMatCmpId, Cmc.iCmpScaId, Csm.iClsSesMatId, Csm.iClsSesId, Csm.iMatRmaId,
       Cs.iClsId, Cs.iAnsSesDwgId, Cp.iClsPstId, Cp.iPstId, Mrp.iMatRmaPstId,
       Mrp.iMatRmaPstOrdine, Mrp.iMatRmaPstInMedia, Mat.iMatId, Rma.iMatId_P, Mat.sMatLDesc,
       Mat.sMatSDesc, Mat.sMatCodVexto, Mat.sMatCodMin, CmpSca.iCmpId, CmpSca.iScaId,
       CmpSca.iCmpScaTass, CmpSca.iCmpScaInMedia, CmpSca.iCmpScaOrdine, Cmp.sCmpLDesc,
       Cmp.sCmpSDesc, Cmp.iCmpPeso, Sca.sScaDesc
  FROM TClsMatCmp Cmc
  JOIN TClsSesMat Csm ON Csm.iClsSesMatId = Cmc.iClsSesMatId
  JOIN TClsSes Cs ON Cs.iClsSesId = Csm.iClsSesId
  JOIN TClsPst Cp ON Cp.iClsId = Cs.iClsId
  JOIN TMatRmaPst Mrp ON Mrp.iMatRmaId = Csm.iMatRmaId AND Mrp.iPstId = Cp.iPstId
  JOIN TMatRma Rma ON Rma.iMatRmaId = Csm.iMatRmaId
  JOIN TMat_Materie Mat ON Mat.iMatId = Rma.iMatId
  JOIN TCmpSca CmpSca ON CmpSca.iCmpScaId = Cmc.iCmpScaId
  JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId
  JOIN TSca_Scale Sca ON Sca.iScaId = CmpSca.iScaId;

-- A place with the names of its state, region, province and town.
CREATE VIEW VSrpc (iSrpcId, iStaId, sStaLDesc, sStaCee, iRegId, sRegDesc, iProId, sProDesc,
  sProSigla, iComId, sComDesc)
AS
SELECT Srpc.iSrpcId, Srpc.iStaId, Sta.sStaLDesc, Sta.sStaCee, Srpc.iRegId, Reg.sRegDesc,
       Srpc.iProId, Pro.sProDesc, Pro.sProSigla, Srpc.iComId, Com.sComDesc
  FROM TSrpc Srpc
  LEFT JOIN TSta_Stati Sta ON Sta.iStaId = Srpc.iStaId
  LEFT JOIN TReg_Regioni Reg ON Reg.iRegId = Srpc.iRegId
  LEFT JOIN TPro_Province Pro ON Pro.iProId = Srpc.iProId
  LEFT JOIN TCom_Comuni Com ON Com.iComId = Srpc.iComId;

-- A person's addresses with their use (iLocId 1 domicile, 2 residence, 3 correspondence).
CREATE VIEW VAnaAbtLoc (iAnaId, iLocId, iAbtId, iAbtLocId, sAbtIndirizzo, iComCapId,
  iFraQuaId)
AS
SELECT Abt.iAnaId, Loc.iLocId, Abt.iAbtId, Loc.iAbtLocId, Abt.sAbtIndirizzo, Abt.iComCapId,
       Abt.iFraQuaId
  FROM TAbt_Abitazioni Abt
  JOIN TAbtLoc Loc ON Loc.iAbtId = Abt.iAbtId;

-- Initial and current positions of a situation, for the pupil detail reports. The state
-- text is the detail's long text: the suite keeps no separate table of these states.
CREATE VIEW vposini (iPosIniId, iStaIniId, iStaIniDettId, sStaIniDettLDesc, sStaIniDettSDesc,
  sStaIniLDescVexto)
AS
SELECT P.iPosIniId, P.iStaIniId, P.iStaIniDettId, D.sStaIniDettLDesc, D.sStaIniDettSDesc,
       D.sStaIniDettLDesc
  FROM TPosIni P
  LEFT JOIN TStaIniDett D ON D.iStaIniDettId = P.iStaIniDettId;

CREATE VIEW vposatt (iPosAttId, iStaAttId, iStaAttDettId, sStaAttDettLDesc, sStaAttDettSDesc,
  sStaAttLDescVexto)
AS
SELECT P.iPosAttId, P.iStaAttId, P.iStaAttDettId, D.sStaAttDettLDesc, D.sStaAttDettSDesc,
       D.sStaAttDettLDesc
  FROM TPosAtt P
  LEFT JOIN TStaAttDett D ON D.iStaAttDettId = P.iStaAttDettId;

CREATE VIEW vTAX (iTfiId, sTaxLDescVexto, sTdeLDesc, sTdeSDesc)
AS
SELECT iTfiId, sTaxLDescVexto, sTdeLDesc, sTdeSDesc FROM TTfi_TipoFrequenza;
