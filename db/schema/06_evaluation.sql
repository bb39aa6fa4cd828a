-- Evaluation data per pupil situation. Every row carries dInsert, dStart and dEnd; the
-- program writes them on every insert. The unique keys turn a duplicate insert into an
-- error: the read-backs take "the first" row, so a duplicate would corrupt keys silently.

CREATE TABLE TVot_Voti (
  iVotId INTEGER NOT NULL PRIMARY KEY,
  iClsMatCmpId INTEGER NOT NULL,
  iSitId INTEGER NOT NULL,
  iScaLivId INTEGER NOT NULL,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TVot UNIQUE (iClsMatCmpId, iSitId)
);

CREATE TABLE TVtp_Proposti (
  iVtpId INTEGER NOT NULL PRIMARY KEY,
  iClsMatCmpId INTEGER NOT NULL,
  iSitId INTEGER NOT NULL,
  iPrpScaLivId INTEGER NOT NULL,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TVtp UNIQUE (iClsMatCmpId, iSitId)
);

CREATE TABLE TTas_Tassonomie (
  iTasId INTEGER NOT NULL PRIMARY KEY,
  iClsMatCmpId INTEGER NOT NULL,
  iSitId INTEGER NOT NULL,
  iScaLivId INTEGER NOT NULL,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TTas UNIQUE (iClsMatCmpId, iSitId)
);

CREATE TABLE TAss_Assenze (
  iAssId INTEGER NOT NULL PRIMARY KEY,
  iClsSesMatId INTEGER NOT NULL,
  iSitId INTEGER NOT NULL,
  iAssOre INTEGER,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TAss UNIQUE (iClsSesMatId, iSitId)
);

CREATE TABLE TAiu_Aiuti (
  iAiuId INTEGER NOT NULL PRIMARY KEY,
  iClsSesMatId INTEGER NOT NULL,
  iSitId INTEGER NOT NULL,
  sAiuVal VARCHAR(4),
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TAiu UNIQUE (iClsSesMatId, iSitId)
);

-- Several notes per pupil and subject are allowed.
CREATE TABLE TNot_Note (
  iNotId INTEGER NOT NULL PRIMARY KEY,
  iClsSesMatId INTEGER NOT NULL,
  iSitId INTEGER NOT NULL,
  dNotData DATE,
  bNotNota BLOB SUB_TYPE TEXT,
  iAnaId INTEGER,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE
);

CREATE TABLE TGdz_Giudizi (
  iGdzId INTEGER NOT NULL PRIMARY KEY,
  iSitId INTEGER NOT NULL,
  iAnsSesDwgId INTEGER NOT NULL,
  bGdzGiudizio BLOB SUB_TYPE TEXT,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TGdz UNIQUE (iSitId, iAnsSesDwgId)
);

-- A teacher's notes and hours of a class-session subject (updated, else inserted).
CREATE TABLE TCno_ClassiNoteOre (
  iCnoId INTEGER NOT NULL PRIMARY KEY,
  iClsSesMatId INTEGER NOT NULL,
  iAnaId INTEGER NOT NULL,
  iCnoOre INTEGER,
  bCnoNota BLOB SUB_TYPE TEXT,
  CONSTRAINT UQ_TCno UNIQUE (iClsSesMatId, iAnaId)
);

CREATE TABLE TGdt_GdzTemplate (
  iGdtId INTEGER NOT NULL PRIMARY KEY,
  sGdtTitolo VARCHAR(100),
  bGdtGiudizio BLOB SUB_TYPE TEXT
);

CREATE TABLE TCOMPASSE (
  ICOMPASSEID INTEGER NOT NULL PRIMARY KEY,
  SCOMPASSEDESC VARCHAR(100)
);

CREATE TABLE TCOMPLIV (
  ICOMPLIVID INTEGER NOT NULL PRIMARY KEY,
  SCOMPLIVDESC VARCHAR(100),
  ICOMPLIVVALUE INTEGER,
  ICOMPLIVFASCIAMIN INTEGER,
  ICOMPLIVFASCIAMAX INTEGER
);

-- Competences of a pupil. The foreign language's table is not known: no foreign key.
CREATE TABLE TCOMP_COMPETENZE (
  ICOMPID INTEGER NOT NULL PRIMARY KEY,
  IANAID INTEGER NOT NULL,
  ISITID INTEGER,
  ICOMPASSEID INTEGER NOT NULL,
  ICOMPLIVID INTEGER,
  ILINGUASTRANIERAID INTEGER,
  SCOMPNOTE VARCHAR(500)
);
