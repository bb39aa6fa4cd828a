-- Final outcomes and positions. States 1, 3 and 5 count for credits, 11 is the suspended
-- judgment.

CREATE TABLE TStaFin (
  iStaFinId INTEGER NOT NULL PRIMARY KEY,
  sStaFinLDescVexto VARCHAR(100),
  sStaFinSDescVexto VARCHAR(30)
);

CREATE TABLE TStaFinDett (
  iStaFinDettId INTEGER NOT NULL PRIMARY KEY,
  iStaFinId INTEGER,
  sStaFinDettLDesc VARCHAR(100),
  sStaFinDettSDesc VARCHAR(30),
  dDelete DATE
);

-- Positions 1, 2, 17 and 19 are always exported.
CREATE TABLE TPosFin (
  iPosFinId INTEGER NOT NULL PRIMARY KEY,
  iStaFinId INTEGER NOT NULL,
  iStaFinDettId INTEGER NOT NULL,
  lPosFinVisible SMALLINT,
  dDelete DATE
);

CREATE TABLE TStaAttDett (
  iStaAttDettId INTEGER NOT NULL PRIMARY KEY,
  sStaAttDettLDesc VARCHAR(100),
  sStaAttDettSDesc VARCHAR(30)
);

CREATE TABLE TPosAtt (
  iPosAttId INTEGER NOT NULL PRIMARY KEY,
  iStaAttId INTEGER,
  iStaAttDettId INTEGER
);

CREATE TABLE TStaIniDett (
  iStaIniDettId INTEGER NOT NULL PRIMARY KEY,
  sStaIniDettLDesc VARCHAR(100),
  sStaIniDettSDesc VARCHAR(30)
);

CREATE TABLE TPosIni (
  iPosIniId INTEGER NOT NULL PRIMARY KEY,
  iStaIniId INTEGER,
  iStaIniDettId INTEGER
);
