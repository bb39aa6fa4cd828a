-- Registry and lookup tables: places, kinds of person data and the small lookups that the
-- reports and exports read. Foreign keys of every file are declared in 20_foreign_keys.sql.

CREATE TABLE TSex_Sesso (
  iSexId INTEGER NOT NULL PRIMARY KEY,   -- 1 male, 2 female (the statistics count 2 as girls)
  sSexSDesc VARCHAR(5),
  sSexLDesc VARCHAR(30)
);

CREATE TABLE TCag_Categorie (
  iCagId INTEGER NOT NULL PRIMARY KEY,   -- 1 pupil, 2 parent, 3 teacher
  sCagDesc VARCHAR(50)
);

CREATE TABLE TFreq_Frequenza (
  iFreqId INTEGER NOT NULL PRIMARY KEY,  -- 1 regular, 2 "D", 3 "N"
  sFreqLDesc VARCHAR(50),
  sFreqSDesc VARCHAR(5)
);

CREATE TABLE TScuTyp_TipiScuola (
  iScuTypId INTEGER NOT NULL PRIMARY KEY, -- 1 nursery, 2 primary, 3 lower, 4 upper secondary
  sScuTypLDesc VARCHAR(100)
);

CREATE TABLE TIsc_Iscrizione (
  iIscId INTEGER NOT NULL PRIMARY KEY,
  sIscLDesc VARCHAR(100),
  sIscSDesc VARCHAR(30)
);

CREATE TABLE TIes_IntEst (
  iIesId INTEGER NOT NULL PRIMARY KEY,
  sIesLDesc VARCHAR(100),
  sIesSDesc VARCHAR(30)
);

CREATE TABLE TDcr_DocRegola (
  iDcrId INTEGER NOT NULL PRIMARY KEY,
  sDcrLDesc VARCHAR(100),
  sDcrSDesc VARCHAR(30)
);

CREATE TABLE TAlt_Alternativa (
  iAltId INTEGER NOT NULL PRIMARY KEY,
  sAltLDesc VARCHAR(100),
  sAltSDesc VARCHAR(30)
);

CREATE TABLE TGpt_GradiParentela (
  iGptId INTEGER NOT NULL PRIMARY KEY,   -- 1 and 2 are the parents
  sGptLDesc VARCHAR(50)
);

CREATE TABLE TStc_StatiCivili (
  iStcId INTEGER NOT NULL PRIMARY KEY,
  sStcOldLDesc VARCHAR(100),
  sStcOldSDesc VARCHAR(30)
);

CREATE TABLE TVom_VivoMorto (
  iVomId INTEGER NOT NULL PRIMARY KEY,
  sVomDesc VARCHAR(50),
  sVomCod VARCHAR(5)
);

CREATE TABLE TSta_Stati (
  iStaId INTEGER NOT NULL PRIMARY KEY,   -- 1 Italy
  sStaLDesc VARCHAR(100),
  sStaCee VARCHAR(5)                     -- 'CEE' for a state of the European Union
);

CREATE TABLE TReg_Regioni (
  iRegId INTEGER NOT NULL PRIMARY KEY,
  sRegDesc VARCHAR(50)
);

CREATE TABLE TPro_Province (
  iProId INTEGER NOT NULL PRIMARY KEY,
  sProDesc VARCHAR(50),
  sProSigla VARCHAR(2),
  iRegId INTEGER
);

CREATE TABLE TCom_Comuni (
  iComId INTEGER NOT NULL PRIMARY KEY,
  sComDesc VARCHAR(100),
  iProId INTEGER
);

CREATE TABLE TCap (
  iCapId INTEGER NOT NULL PRIMARY KEY,
  sCapValue VARCHAR(5)
);

-- A place: state, region, province and town.
CREATE TABLE TSrpc (
  iSrpcId INTEGER NOT NULL PRIMARY KEY,
  iStaId INTEGER,
  iRegId INTEGER,
  iProId INTEGER,
  iComId INTEGER
);

CREATE TABLE TComCap (
  iComCapId INTEGER NOT NULL PRIMARY KEY,
  iSrpcId INTEGER,
  iCapId INTEGER
);

CREATE TABLE TScu_Scuole (
  iScuId INTEGER NOT NULL PRIMARY KEY,
  sScuLDesc VARCHAR(100),
  sScuMecCod VARCHAR(10),
  iComCapId INTEGER
);

CREATE TABLE TTfi_TipoFrequenza (
  iTfiId INTEGER NOT NULL PRIMARY KEY,
  sTaxLDescVexto VARCHAR(100),
  sTdeLDesc VARCHAR(100),
  sTdeSDesc VARCHAR(30)
);

CREATE TABLE TObf_ObbligoFormativo (
  iObfId INTEGER NOT NULL PRIMARY KEY,
  sObfCodice VARCHAR(20),
  sObfDescr VARCHAR(100)
);

CREATE TABLE TQlf_Qualifiche (
  iQlfId INTEGER NOT NULL PRIMARY KEY,
  sQlfLDesc VARCHAR(100),
  sQlfSDesc VARCHAR(30)
);

CREATE TABLE TLoc_UsiIndirizzo (
  iLocId INTEGER NOT NULL PRIMARY KEY,   -- 1 domicile, 2 residence, 3 correspondence
  sLocDesc VARCHAR(50)
);

CREATE TABLE TFraQua_FrazioniQuartieri (
  iFraQuaId INTEGER NOT NULL PRIMARY KEY,
  sFraQuaDesc VARCHAR(100)
);

CREATE TABLE TAdi_AreeDiscip (
  iAdiId INTEGER NOT NULL PRIMARY KEY,
  sAdiLDesc VARCHAR(100),
  sAdiSDesc VARCHAR(30)
);

CREATE TABLE TCst_StatiCandidato (
  iCstId INTEGER NOT NULL PRIMARY KEY,
  sCstLDesc VARCHAR(100)
);

CREATE TABLE TTvt_TipiVoto (
  iTvtId INTEGER NOT NULL PRIMARY KEY,
  sTvtDesc VARCHAR(50),
  sTvtSDesc VARCHAR(20),
  iTvtMin INTEGER,
  iTvtMax INTEGER
);

CREATE TABLE TSha_SituazioniHandicap (
  iShaId INTEGER NOT NULL PRIMARY KEY,
  sShaDesc VARCHAR(100),
  bShaAssistenza BLOB SUB_TYPE TEXT
);

CREATE TABLE TCmm_Commissioni (
  iCmmId INTEGER NOT NULL PRIMARY KEY,
  sCmmCodMecc VARCHAR(20)
);
