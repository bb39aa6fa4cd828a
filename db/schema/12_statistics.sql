-- State-exam candidates and their exam votes, read only by the statistics export.

CREATE TABLE TCan_Candidati (
  iCanId INTEGER NOT NULL PRIMARY KEY,
  iSitId INTEGER NOT NULL,
  dStart DATE,
  dEnd DATE,
  sCanGiudizio VARCHAR(250),
  dCanDataEsami DATE,
  sCanTraccia VARCHAR(250),
  bCanNote BLOB SUB_TYPE TEXT,
  bCanCredForm BLOB SUB_TYPE TEXT,
  sCanNrDoc VARCHAR(20),
  sCanNrDiploma VARCHAR(20),
  lCanDatiPers SMALLINT,
  iCstId INTEGER,
  iShaId INTEGER,
  iCmmId INTEGER
);

CREATE TABLE TCvt_Voti (
  iCvtId INTEGER NOT NULL PRIMARY KEY,
  iCanId INTEGER NOT NULL,
  iTvtId INTEGER NOT NULL,
  iCvtVoto INTEGER
);
