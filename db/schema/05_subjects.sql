-- Subjects, subject nodes on plans and class sessions, vote components, grading scales and
-- their levels, proposed-vote levels.

-- sMatCodVexto is the suite's fixed code: 'CONDOTTA', 'RELIGIONE', 'AMMISSIONE',
-- 'QUALIFICA', 'PROVA'; NULL for an ordinary subject.
CREATE TABLE TMat_Materie (
  iMatId INTEGER NOT NULL PRIMARY KEY,
  sMatLDesc VARCHAR(100) NOT NULL,
  sMatSDesc VARCHAR(20),
  sMatCodUser VARCHAR(10),
  sMatCodMin VARCHAR(20),
  sMatCodVexto VARCHAR(20),
  iAdiId INTEGER
);

-- A subject node; iMatId_P is the main subject it belongs to.
CREATE TABLE TMatRma (
  iMatRmaId INTEGER NOT NULL PRIMARY KEY,
  iMatId INTEGER NOT NULL,
  iMatId_P INTEGER
);

CREATE TABLE TMatRmaPst (
  iMatRmaPstId INTEGER NOT NULL PRIMARY KEY,
  iMatRmaId INTEGER NOT NULL,
  iPstId INTEGER NOT NULL,
  iMatRmaPstOrdine SMALLINT,             -- NULL rows are not shown
  iMatRmaPstInMedia SMALLINT,
  iCompAsseId INTEGER,
  iOanId INTEGER,
  CONSTRAINT UQ_TMatRmaPst UNIQUE (iMatRmaId, iPstId)
);

CREATE TABLE TClsSesMat (
  iClsSesMatId INTEGER NOT NULL PRIMARY KEY,
  iClsSesId INTEGER NOT NULL,
  iMatRmaId INTEGER NOT NULL,
  CONSTRAINT UQ_TClsSesMat UNIQUE (iClsSesId, iMatRmaId)
);

-- iCmpId 1 is the written component; weights 999, 888 and 777 mark the make-up type,
-- make-up outcome and "other" components.
CREATE TABLE TCmp_Componenti (
  iCmpId INTEGER NOT NULL PRIMARY KEY,
  sCmpLDesc VARCHAR(100),
  sCmpSDesc VARCHAR(50),
  iCmpPeso INTEGER
);

CREATE TABLE TSca_Scale (
  iScaId INTEGER NOT NULL PRIMARY KEY,
  sScaDesc VARCHAR(50)
);

CREATE TABLE TCmpSca (
  iCmpScaId INTEGER NOT NULL PRIMARY KEY,
  iCmpId INTEGER NOT NULL,
  iScaId INTEGER NOT NULL,
  iCmpScaTass SMALLINT NOT NULL,         -- 0 vote component, 1 taxonomy component
  iCmpScaInMedia SMALLINT,
  iCmpScaOrdine SMALLINT
);

CREATE TABLE TClsMatCmp (
  iClsMatCmpId INTEGER NOT NULL PRIMARY KEY,
  iClsSesMatId INTEGER NOT NULL,
  iCmpScaId INTEGER NOT NULL,
  CONSTRAINT UQ_TClsMatCmp UNIQUE (iClsSesMatId, iCmpScaId)
);

CREATE TABLE TLiv_Livelli (
  iLivId INTEGER NOT NULL PRIMARY KEY,
  sLivSDesc VARCHAR(30) NOT NULL,        -- the text typed into a grade cell; 'NC' not classified
  sLivLDesc VARCHAR(250)
);

CREATE TABLE TScaLiv (
  iScaLivId INTEGER NOT NULL PRIMARY KEY,
  iScaId INTEGER NOT NULL,
  iLivId INTEGER NOT NULL,
  iScaLivValore INTEGER,
  iScaLivSufficiente SMALLINT,
  iScaLivInMedia SMALLINT,
  iScaLivOrd SMALLINT,
  iTreId INTEGER,
  dDelete DATE
);

CREATE TABLE TPrp_Proposti (
  iPrpId INTEGER NOT NULL PRIMARY KEY,
  sPrpSDesc VARCHAR(30),
  sPrpLDesc VARCHAR(250)
);

-- A proposed-vote level and the vote level it becomes.
CREATE TABLE TPrpScaLiv (
  iPrpScaLivId INTEGER NOT NULL PRIMARY KEY,
  iScaLivId INTEGER NOT NULL,
  iPrpId INTEGER NOT NULL,
  fPrpScaLivValore DOUBLE PRECISION,
  lPrpScaLivVisible SMALLINT,
  iPrpScaLivOrd SMALLINT,
  iDtpDtdId INTEGER
);
