-- Debts (subjects to be made up) with their outcome and type lookups.

CREATE TABLE TDes_DebEsito (
  iDesId INTEGER NOT NULL PRIMARY KEY,   -- 1 made up, 2 not made up
  sDesLDescVexto VARCHAR(100),
  sDesSDescVexto VARCHAR(30),
  iDesSufficiente SMALLINT,
  dDelete DATE
);

CREATE TABLE TDed_DebEsDett (
  iDedId INTEGER NOT NULL PRIMARY KEY,
  sDedLDesc VARCHAR(100),
  sDedSDesc VARCHAR(30),
  iLocked SMALLINT,
  dDelete DATE
);

CREATE TABLE TDesDed (
  iDesDedId INTEGER NOT NULL PRIMARY KEY,
  iDesId INTEGER NOT NULL,
  iDedId INTEGER NOT NULL,
  iLocked SMALLINT,
  dDelete DATE
);

CREATE TABLE TDtp_DebTipo (
  iDtpId INTEGER NOT NULL PRIMARY KEY,
  sDtpLDescVexto VARCHAR(100),
  sDtpSDescVexto VARCHAR(30),
  dDelete DATE
);

CREATE TABLE TDtd_DebTpDett (
  iDtdId INTEGER NOT NULL PRIMARY KEY,
  sDtdLDesc VARCHAR(100),
  sDtdSDesc VARCHAR(30),
  iLocked SMALLINT,
  dDelete DATE
);

CREATE TABLE TDtpDtd (
  iDtpDtdId INTEGER NOT NULL PRIMARY KEY,
  iDtpId INTEGER NOT NULL,
  iDtdId INTEGER NOT NULL,
  iLocked SMALLINT,
  dDelete DATE
);

-- A debt of the pupil's main situation of the year in a subject.
CREATE TABLE TDeb_Debiti (
  iDebId INTEGER NOT NULL PRIMARY KEY,
  iSitId INTEGER NOT NULL,
  iMatId INTEGER NOT NULL,
  dDebAttr DATE,
  dDebVer DATE,
  iAnaId_Attr INTEGER,
  iAnaId_Ver INTEGER,
  iDesDedId INTEGER,
  iDtpDtdId INTEGER,
  bDebNota BLOB SUB_TYPE TEXT,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TDeb UNIQUE (iSitId, iMatId)
);
