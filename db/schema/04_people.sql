-- People: persons, their roles, staff, pupils' situations, teachers of classes, career
-- records, parents, tutors, citizenships and addresses.

-- Teachers' ids lie in 1000001..1099999: the web user and the exchange passwords are
-- derived from iAnaId - 1000000.
CREATE TABLE TAna_Anagrafiche (
  iAnaId INTEGER NOT NULL PRIMARY KEY,
  sAnaCognome VARCHAR(60) NOT NULL,
  sAnaNome VARCHAR(60) NOT NULL,
  sAnaCognomeNomeIdx VARCHAR(121),       -- sort key: UPPER(surname || ' ' || name)
  dAnaNascita DATE,
  sAnaCodFiscale VARCHAR(16),
  iSexId INTEGER,
  sAnaPwPert VARCHAR(20),                -- a teacher's personal password
  lAnaConsPrivacy SMALLINT,
  iSrpcId INTEGER,                       -- birthplace
  iStcId INTEGER,
  iVomId INTEGER,
  sAnaCodSidi VARCHAR(20)
);

-- A person's role: iCagId 1 pupil, 3 teacher.
CREATE TABLE TAnaCag (
  iAnaCagId INTEGER NOT NULL PRIMARY KEY,
  iAnaId INTEGER NOT NULL,
  iCagId INTEGER NOT NULL,
  sAnaCagCode VARCHAR(20),               -- pupil's register number or teacher's code
  CONSTRAINT UQ_TAnaCag UNIQUE (iAnaId, iCagId)
);

CREATE TABLE TAnaPer_Personale (
  iAnaPerId INTEGER NOT NULL PRIMARY KEY,
  iAnaCagId INTEGER NOT NULL,
  iDwgId INTEGER NOT NULL,               -- the aggregate institute
  iStabPerId SMALLINT,                   -- 1 = active
  iDctId SMALLINT,                       -- 1 = teaching contract
  dStart DATE,
  dEnd DATE
);

-- A pupil's enrolment in a class plan for a year: the key of every per-pupil datum.
-- dStart is the year's start; at most one situation with iSitOrdine = 1 per pupil and year.
CREATE TABLE TSit_Situazioni (
  iSitId INTEGER NOT NULL PRIMARY KEY,
  iAnaId INTEGER NOT NULL,
  iClsPstId INTEGER NOT NULL,
  iSitOrdine SMALLINT NOT NULL,
  iSitPosReg SMALLINT,                   -- register number; 0 = off the register
  dStart DATE NOT NULL,
  dEnd DATE,
  dDelete DATE,
  iPosFinId INTEGER,
  iPosFinId_Sosp INTEGER,                -- set only for a suspended judgment
  lSitRelig SMALLINT,
  lSitEdFis SMALLINT,
  iFreqId INTEGER,
  dSitEsito DATE,
  iSitMonteOre INTEGER,
  iSitOreAssenza INTEGER,
  iSitGgAssenza INTEGER,
  iSitTotAssenze INTEGER,
  sSitVoto VARCHAR(10),
  sSitVotoCond VARCHAR(10),
  iSitVotItaliano INTEGER,
  iSitVotItaOrale INTEGER,
  iSitVotMatematica INTEGER,
  iSitVotMatOrale INTEGER,
  iSitVotInglese INTEGER,
  iSitVotiMagg8 SMALLINT,
  dSitTraRit DATE,
  dSitPreIscr DATE,
  dSitIscr DATE,
  iSitPosScu INTEGER,
  iScuId_Prov INTEGER,
  iScuId_Tras INTEGER,
  iTfiId INTEGER,
  iPosIniId INTEGER,
  iPosAttId INTEGER,
  iIscId INTEGER,
  iIesId INTEGER,
  iDcrId INTEGER,
  iAltId INTEGER
);

-- A teacher of a subject in a class.
CREATE TABLE TClsMatAna (
  iClsMatAnaId INTEGER NOT NULL PRIMARY KEY,
  iClsId INTEGER NOT NULL,
  iMatId INTEGER NOT NULL,
  iAnaId INTEGER NOT NULL,
  lClsMatAnaCoord SMALLINT,              -- class coordinator
  dStart DATE,
  dEnd DATE
);

CREATE TABLE TGme_GiuMatEleMed (
  iGmeId INTEGER NOT NULL PRIMARY KEY,
  sGmeLDesc VARCHAR(100),                -- upper case, compared with UPPER(sLivLDesc)
  sGmeSDesc VARCHAR(30),
  CONSTRAINT UQ_TGme_sGmeLDesc UNIQUE (sGmeLDesc)
);

-- Earlier-school and qualification records of a pupil, one per school type.
CREATE TABLE TAnaGme (
  iAnaGmeId INTEGER NOT NULL PRIMARY KEY,
  iAnaId INTEGER NOT NULL,
  iScuTypId INTEGER NOT NULL,            -- 3 lower secondary licence, 4 qualification
  iGmeId INTEGER,
  sAnaGmeVoto VARCHAR(20),
  sAnaGmeVotoAmm VARCHAR(20),
  lAnaGmeFreq SMALLINT,
  sAnaGmeVotoEsame VARCHAR(20),
  lAnaGmeLode SMALLINT,
  iDplId INTEGER,
  iQlfId INTEGER,
  CONSTRAINT UQ_TAnaGme UNIQUE (iAnaId, iScuTypId)
);

CREATE TABLE TAnaGpt (
  iAnaGptId INTEGER NOT NULL PRIMARY KEY,
  iAnaId INTEGER NOT NULL,
  iAnaId_Gpt INTEGER NOT NULL,           -- the relative
  iGptId INTEGER NOT NULL                -- 1 and 2 are the parents
);

CREATE TABLE TAnaTut (
  iAnaTutId INTEGER NOT NULL PRIMARY KEY,
  iAnaId INTEGER NOT NULL,
  iAnaId_Tut INTEGER NOT NULL,
  iTutId INTEGER
);

CREATE TABLE TAnaCitt (
  iAnaCittId INTEGER NOT NULL PRIMARY KEY,
  iAnaId INTEGER NOT NULL,
  iStaId INTEGER NOT NULL
);

CREATE TABLE TAbt_Abitazioni (
  iAbtId INTEGER NOT NULL PRIMARY KEY,
  iAnaId INTEGER NOT NULL,
  sAbtIndirizzo VARCHAR(100),
  iComCapId INTEGER,
  iFraQuaId INTEGER
);

-- The use of an address: 1 domicile, 2 residence, 3 correspondence.
CREATE TABLE TAbtLoc (
  iAbtLocId INTEGER NOT NULL PRIMARY KEY,
  iAbtId INTEGER NOT NULL,
  iLocId INTEGER NOT NULL
);

CREATE TABLE TSitObf (
  iSitObfId INTEGER NOT NULL PRIMARY KEY,
  iSitId INTEGER NOT NULL,
  iObfId INTEGER NOT NULL,
  dSitObfStart DATE
);

-- Subjects a pupil is exempted from.
CREATE TABLE TSitEso_Esoneri (
  iSitEsoId INTEGER NOT NULL PRIMARY KEY,
  iSitId INTEGER NOT NULL,
  iMatId INTEGER NOT NULL
);
