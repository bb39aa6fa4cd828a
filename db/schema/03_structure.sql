-- School structure: institutes, seats, school years, sessions, courses, classes and plans.

CREATE TABLE TDow_DataOwner (
  iDowId INTEGER NOT NULL PRIMARY KEY,
  iDwgId INTEGER NOT NULL,               -- the institute key used everywhere; 1 is reserved
  sDowLDesc VARCHAR(100),
  sDowSDesc VARCHAR(50),
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TDow_iDwgId UNIQUE (iDwgId)
);

CREATE TABLE TSed_Sedi (
  iSedId INTEGER NOT NULL PRIMARY KEY,
  dStart DATE,
  dEnd DATE                              -- NULL while the seat is open
);

CREATE TABLE TSedInf_SedeInfo (
  iSedInfId INTEGER NOT NULL PRIMARY KEY,
  iSedId INTEGER NOT NULL,
  sSedInfCodVexto VARCHAR(10),           -- customer code; volume names need 4 characters
  sSedMecCod VARCHAR(10),                -- ministry code
  sSedNomLDesc VARCHAR(100),
  sSedNomSDesc VARCHAR(50),
  sSedNomCodiceFisc VARCHAR(16),
  sSedIndIndirizzo VARCHAR(100),
  iComCapId INTEGER,
  sSedTelTelefono VARCHAR(30),
  sSedTelTelefono2 VARCHAR(30),
  sSedFaxNo VARCHAR(30),
  sSedEmlEmail VARCHAR(100),
  CONSTRAINT UQ_TSedInf_iSedId UNIQUE (iSedId)
);

-- A seat of an institute. iDwgId NULL is the school-level link; the school's main seat is
-- the one such link with lDwgSedMain = 1.
CREATE TABLE TDwgSed (
  iDwgSedId INTEGER NOT NULL PRIMARY KEY,
  iDwgId INTEGER,
  iSedId INTEGER NOT NULL,
  lDwgSedMain SMALLINT NOT NULL,
  dStart DATE,
  dEnd DATE
);

-- School years. The ids are consecutive (id - 1 is the previous year) and are not calendar
-- years: the year's text comes from iAnsValore.
CREATE TABLE TAns_AnniScolast (
  iAnsId INTEGER NOT NULL PRIMARY KEY,
  iAnsValore SMALLINT NOT NULL,
  dAnsVextoInizio DATE NOT NULL,
  dAnsVextoFine DATE NOT NULL,
  dAnsInizio DATE,
  dAnsFine DATE,
  CONSTRAINT UQ_TAns_dAnsVextoInizio UNIQUE (dAnsVextoInizio)
);

CREATE TABLE TSes_Sessione (
  iSesId INTEGER NOT NULL PRIMARY KEY,   -- 5 is the "Lumeno" session, never sent to the web
  sSesDesc VARCHAR(50) NOT NULL,
  sSesNote VARCHAR(250)
);

CREATE TABLE TSfi_SessFinale (
  iSfiId INTEGER NOT NULL PRIMARY KEY,   -- 2 final, 3 deferred, anything else a term
  sSfiLDesc VARCHAR(50),
  sSfiSDesc VARCHAR(20)
);

-- A session of a school year for an institute (the working session is one of these).
CREATE TABLE TAnsSesDwg (
  iAnsSesDwgId INTEGER NOT NULL PRIMARY KEY,
  iAnsId INTEGER NOT NULL,
  iDwgId INTEGER NOT NULL,
  iSesId INTEGER NOT NULL,
  iSfiId INTEGER NOT NULL,
  iAnsSesDwgOrdine SMALLINT,
  dAnsSesDwgInizio DATE,
  dAnsSesDwgFine DATE,
  lAnsSesDwgPagella SMALLINT,
  iAnsFreDwgId INTEGER,                  -- the make-up phase of a deferred session
  CONSTRAINT UQ_TAnsSesDwg UNIQUE (iAnsId, iDwgId, iSesId)
);

CREATE TABLE TAcs_AnniCorso (
  iAcsId INTEGER NOT NULL PRIMARY KEY,
  iAcsAnnoCorso SMALLINT NOT NULL,
  sAcsLDesc VARCHAR(50),
  sAcsSDesc VARCHAR(10),
  iTbnId INTEGER,                        -- credit band type of the course year
  dDelete DATE
);

CREATE TABLE TDpl_Diplomi (
  iDplId INTEGER NOT NULL PRIMARY KEY,
  sDplLDesc VARCHAR(100),
  sDplSDesc VARCHAR(30)
);

-- Study tracks ("indirizzo"), not addresses.
CREATE TABLE TInd_Indirizzo (
  iIndId INTEGER NOT NULL PRIMARY KEY,
  sIndLDesc VARCHAR(100),
  sIndSDesc VARCHAR(30),
  sIndCodMin VARCHAR(20),
  sIndCod VARCHAR(20),
  iDplId INTEGER
);

CREATE TABLE TSez_Sezioni (
  iSezId INTEGER NOT NULL PRIMARY KEY,
  sSezLDesc VARCHAR(50),
  sSezSDesc VARCHAR(10)
);

CREATE TABLE TSpz_Specializzazioni (
  iSpzId INTEGER NOT NULL PRIMARY KEY,
  sSpzDescr VARCHAR(100),
  sSpzSperim VARCHAR(20)
);

-- One row per class per school year; dStart is the year's start and makes the class's year.
CREATE TABLE TCls_Classi (
  iClsId INTEGER NOT NULL PRIMARY KEY,
  iDwgId INTEGER NOT NULL,
  iDwgSedId INTEGER,
  iAcsId INTEGER NOT NULL,
  iIndId INTEGER,
  iSezId INTEGER,
  iSpzId INTEGER,
  iClsOrdine INTEGER,
  sClsDesc VARCHAR(100) NOT NULL,
  sClsSDesc VARCHAR(10) NOT NULL,        -- becomes a folder name: unique per year
  dStart DATE NOT NULL,
  dEnd DATE
);

CREATE TABLE TPst_PianiStudio (
  iPstId INTEGER NOT NULL PRIMARY KEY,
  sPstLDesc VARCHAR(100) NOT NULL,       -- becomes a folder name
  sPstSDesc VARCHAR(30),
  iPstTotOre INTEGER,
  iPstPei SMALLINT,
  iIndId INTEGER
);

CREATE TABLE TClsPst (
  iClsPstId INTEGER NOT NULL PRIMARY KEY,
  iClsId INTEGER NOT NULL,
  iPstId INTEGER NOT NULL,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TClsPst UNIQUE (iClsId, iPstId)
);

-- A class in a year-session, with the enable flags of the grade-entry kinds (1 = enabled).
CREATE TABLE TClsSes (
  iClsSesId INTEGER NOT NULL PRIMARY KEY,
  iAnsSesDwgId INTEGER NOT NULL,
  iClsId INTEGER NOT NULL,
  dStart DATE,
  dEnd DATE,
  iClsSesVot SMALLINT,
  iClsSesVtp SMALLINT,
  iClsSesTas SMALLINT,
  iClsSesAss SMALLINT,
  iClsSesAiu SMALLINT,
  iClsSesNot SMALLINT,
  iClsSesDeb SMALLINT,
  iClsSesEsi SMALLINT,
  iClsSesCre SMALLINT,
  iClsSesGdz SMALLINT,
  iClsSesComp SMALLINT,
  iTbnId INTEGER,                        -- NULL hides the credits
  bClsSesRepos BLOB SUB_TYPE BINARY,     -- report-card archive for the pupils' portal
  CONSTRAINT UQ_TClsSes UNIQUE (iClsId, iAnsSesDwgId)
);

CREATE TABLE TOan_OreAn (
  iOanId INTEGER NOT NULL PRIMARY KEY,
  iOanAnnuali INTEGER,
  iOanSettimanali INTEGER
);

CREATE TABLE TScuOrd (
  iScuOrdId INTEGER NOT NULL PRIMARY KEY,
  sScuOrdLDesc VARCHAR(100)
);

CREATE TABLE TScuTypOrdGra (
  iScuTypOrdGraId INTEGER NOT NULL PRIMARY KEY,
  iScuTypId INTEGER,
  iScuOrdId INTEGER
);

CREATE TABLE TOtgDwg (
  iOtgDwgId INTEGER NOT NULL PRIMARY KEY,
  iDowId INTEGER NOT NULL,
  iScuTypOrdGraId INTEGER NOT NULL
);
