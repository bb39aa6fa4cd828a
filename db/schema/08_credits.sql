-- School credits, their ticked items, commendations and credit bands.

CREATE TABLE TTbn_TipoBanda (
  iTbnId INTEGER NOT NULL PRIMARY KEY,
  sTbnDesc VARCHAR(50)
);

-- The key of a band of type t is t * 1000 + n: the credits grid finds the number of band
-- types from the first key div 1000, so generated keys must never be used here.
CREATE TABLE TBnd_Bande (
  iBndId INTEGER NOT NULL PRIMARY KEY,
  iAcsId INTEGER NOT NULL,
  sBndDesc VARCHAR(50),
  iBndMedMin INTEGER,                    -- exact band: min = max; else min < average <= max
  iBndMedMax INTEGER,
  iBndCreMin INTEGER,
  iBndCreMax INTEGER,
  dDelete DATE,
  iLocked SMALLINT
);

CREATE TABLE TTbnBnd (
  iTbnBndId INTEGER NOT NULL PRIMARY KEY,
  iTbnId INTEGER NOT NULL,
  iBndId INTEGER NOT NULL
);

CREATE TABLE TEnc_Encomio (
  iEncId INTEGER NOT NULL PRIMARY KEY,
  sEncLDesc VARCHAR(100),
  sEncSDesc VARCHAR(30),
  dDelete DATE,
  iLocked SMALLINT
);

-- Training-credit kinds; the key is the seven-digit item number of credit codes.
CREATE TABLE TFrm_Formativi (
  iFrmId INTEGER NOT NULL PRIMARY KEY,
  sFrmLDesc VARCHAR(100),
  sFrmSDesc VARCHAR(30),
  iFrmPeso INTEGER,
  iLocked SMALLINT,
  lFrmVisible SMALLINT,
  CONSTRAINT CK_TFrm_Digits CHECK (iFrmId <= 9999999)
);

CREATE TABLE TSco_Scolastici (
  iScoId INTEGER NOT NULL PRIMARY KEY,
  sScoLDesc VARCHAR(100),
  sScoSDesc VARCHAR(30),
  iScoPeso INTEGER,
  iLocked SMALLINT,
  lScoVisible SMALLINT,
  CONSTRAINT CK_TSco_Digits CHECK (iScoId <= 9999999)
);

-- At most one credit per situation: the program reads it back by iSitId.
CREATE TABLE TCre_Crediti (
  iCreId INTEGER NOT NULL PRIMARY KEY,
  iSitId INTEGER NOT NULL,
  iCreCredito INTEGER,
  iCrePerMedia INTEGER,
  iBndId INTEGER,
  iCreOutBanda INTEGER,
  fCreMediaVoti DOUBLE PRECISION,
  iCreFrmSco INTEGER,
  iCreSosp INTEGER,
  iCreRecup INTEGER,
  iEncId INTEGER,
  bCreNota BLOB SUB_TYPE TEXT,
  lCreConsideraCurrDis SMALLINT,
  lCreUnanimCre SMALLINT,
  iCreMediaVoti INTEGER,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TCre_iSitId UNIQUE (iSitId)
);

CREATE TABLE TCreFrm (
  iCreFrmId INTEGER NOT NULL PRIMARY KEY,
  iCreId INTEGER NOT NULL,
  iFrmId INTEGER,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TCreFrm UNIQUE (iCreId, iFrmId)
);

CREATE TABLE TCreSco (
  iCreScoId INTEGER NOT NULL PRIMARY KEY,
  iCreId INTEGER NOT NULL,
  iScoId INTEGER,
  dInsert TIMESTAMP,
  dStart DATE,
  dEnd DATE,
  CONSTRAINT UQ_TCreSco UNIQUE (iCreId, iScoId)
);
