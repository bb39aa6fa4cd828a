-- Exchange bookkeeping, print options, stored report templates, signatures and the digital
-- registers' options.

-- Exactly five modes: 1 floppy, 2 network folder, 3 USB, 4 teacher program files,
-- 5 web service; the web send takes "the fifth" by iModId.
CREATE TABLE TMod_ModoInvio (
  iModId INTEGER NOT NULL PRIMARY KEY,
  sModDesc VARCHAR(50),
  iModOrdine SMALLINT
);

-- A teacher assigned to a send mode in a session, with the sent and received marks.
CREATE TABLE TAai_AnaAppInvio (
  iAaiId INTEGER NOT NULL PRIMARY KEY,
  iAaiModulo SMALLINT,
  iAnaCagId INTEGER NOT NULL,
  iModId INTEGER NOT NULL,
  iAnsSesDwgId INTEGER NOT NULL,
  iAaiInviato SMALLINT,
  dAaiInviato TIMESTAMP,
  iAaiRicevuto SMALLINT,
  dAaiRicevuto TIMESTAMP,
  sAaiDirInviato VARCHAR(255),
  CONSTRAINT UQ_TAai UNIQUE (iAnaCagId, iAnsSesDwgId, iModId)
);

-- The database copy of qelParRpt.ini: only row 1.
CREATE TABLE TParVal (
  iParValId INTEGER NOT NULL PRIMARY KEY,
  bParVal BLOB SUB_TYPE TEXT
);

CREATE TABLE TYRpt_RptTemplate (
  iYRptId INTEGER NOT NULL PRIMARY KEY,  -- the report number
  sYRptDesc VARCHAR(100),
  iYRptVersion INTEGER,                  -- custom templates are listed only with a version
  bYRptReport BLOB SUB_TYPE BINARY,
  sYRptCodAppl VARCHAR(10)
);

CREATE TABLE TYXml_XmlDefinizioni (
  iYXmlId INTEGER NOT NULL PRIMARY KEY,
  sYXmlKey VARCHAR(30) NOT NULL,
  sYXmlCodAppl VARCHAR(10) NOT NULL,
  bYXmlText BLOB SUB_TYPE TEXT,
  CONSTRAINT UQ_TYXml UNIQUE (sYXmlKey, sYXmlCodAppl)
);

CREATE TABLE TQua_Qualifiche (
  iQuaId INTEGER NOT NULL PRIMARY KEY,
  sQuaCod VARCHAR(30) NOT NULL           -- 'DIRIGENTE.SCOL.' for the headmaster
);

CREATE TABLE TQuaDett (
  iQuaDettId INTEGER NOT NULL PRIMARY KEY,
  iQuaId INTEGER NOT NULL,
  sQuaDettLDesc VARCHAR(100)
);

CREATE TABLE TQuf_QuaFirme (
  iQufId INTEGER NOT NULL PRIMARY KEY,
  iQuaId INTEGER NOT NULL
);

-- Signers; only rows with dEnd and dDelete NULL are current.
CREATE TABLE TFir_Firme (
  iFirId INTEGER NOT NULL PRIMARY KEY,
  iQufId INTEGER NOT NULL,
  iDwgId INTEGER,
  sFirNome VARCHAR(100),
  dStart DATE,
  dEnd DATE,
  dDelete DATE
);

-- Classes that took an exam: iTipoElenco 0 qualification exam, 1 state exam; a class once in
-- each list of a session.
CREATE TABLE TOsd_OpzStampaDig (
  iOsdId INTEGER NOT NULL PRIMARY KEY,
  iAnsSesDwgId INTEGER NOT NULL,
  iClsId INTEGER NOT NULL,
  iTipoElenco SMALLINT NOT NULL,
  CONSTRAINT UQ_TOsd UNIQUE (iAnsSesDwgId, iTipoElenco, iClsId)
);

-- The headmaster's signature texts, at most one row per school year.
CREATE TABLE TCfp_FirmaPreside (
  iCfpId INTEGER NOT NULL PRIMARY KEY,
  iAnsId INTEGER NOT NULL,
  sFirmaSes1 VARCHAR(100),
  sFirmaSes2 VARCHAR(100),
  sFirmaSes3 VARCHAR(100),
  sFirmaDiff VARCHAR(100),
  CONSTRAINT UQ_TCfp_iAnsId UNIQUE (iAnsId)
);
