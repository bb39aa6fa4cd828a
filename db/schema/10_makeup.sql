-- Make-up courses: phases, types, outcomes, test kinds and records.

CREATE TABLE TFre_FasiRec (
  iFreId INTEGER NOT NULL PRIMARY KEY,   -- 1 is the default phase
  sFreSDesc VARCHAR(30),
  sFreLDesc VARCHAR(100)
);

-- A phase in a school year; iDwgId NULL = common to every institute. One row per year,
-- phase and institute, the common row included (see the index in 21_indexes.sql).
CREATE TABLE TAnsFreDwg (
  iAnsFreDwgId INTEGER NOT NULL PRIMARY KEY,
  iAnsId INTEGER NOT NULL,
  iFreId INTEGER NOT NULL,
  iDwgId INTEGER
);

CREATE TABLE TTre_TipoRec (
  iTreId INTEGER NOT NULL PRIMARY KEY,
  sTreSDesc VARCHAR(30),
  sTreLDesc VARCHAR(100),
  iTrePeso SMALLINT,                     -- keypad digit 0-9
  lVisible SMALLINT
);

-- The outcome is looked up by its keypad digit, hence unique.
CREATE TABLE TEre_EsitoRec (
  iEreId INTEGER NOT NULL PRIMARY KEY,
  sEreSDesc VARCHAR(30),
  sEreLDesc VARCHAR(100),
  iPesoRec SMALLINT,
  lVisible SMALLINT,
  CONSTRAINT UQ_TEre_iPesoRec UNIQUE (iPesoRec)
);

CREATE TABLE TPvr_ProvaRecupero (
  iPvrId INTEGER NOT NULL PRIMARY KEY,
  sPvrSDesc VARCHAR(30),
  sPvrLDesc VARCHAR(100)
);

-- No unique key on (phase, situation, subject): duplicates happen and the duplicate check
-- exists to find them.
CREATE TABLE TRec_Recuperi (
  iRecId INTEGER NOT NULL PRIMARY KEY,
  iTreId INTEGER,
  iEreId INTEGER,
  iMatId INTEGER NOT NULL,
  iSitId INTEGER NOT NULL,
  iAnsFreDwgId INTEGER NOT NULL,
  dRecAttr DATE,
  dRecVer DATE,
  iPvrId INTEGER
);
