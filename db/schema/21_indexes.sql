-- Indexes beyond the keys, for the frequent filters, and two rules a plain unique key
-- cannot hold (Firebird 3 has no partial index, and a unique key accepts many NULLs).

CREATE INDEX IX_TSit_dStart ON TSit_Situazioni (dStart);
CREATE INDEX IX_TSit_iAnaId_iSitOrdine ON TSit_Situazioni (iAnaId, iSitOrdine);
CREATE INDEX IX_TAna_CognomeNomeIdx ON TAna_Anagrafiche (sAnaCognomeNomeIdx);
CREATE INDEX IX_TClsMatAna_iClsId_iMatId ON TClsMatAna (iClsId, iMatId);
CREATE INDEX IX_TCls_dStart ON TCls_Classi (dStart);
CREATE INDEX IX_TMat_sMatCodVexto ON TMat_Materie (sMatCodVexto);

-- At most one main situation (iSitOrdine = 1) per pupil and school year: the debt inserts
-- find it with a singleton sub-select. Other situations index as NULL, which may repeat.
CREATE UNIQUE INDEX UX_TSit_MainOfYear ON TSit_Situazioni
  COMPUTED BY (CASE WHEN iSitOrdine = 1 THEN iAnaId || '/' || (dStart - DATE '1900-01-01') END);

-- One phase row per year, phase and institute, counting the common row (iDwgId NULL) as
-- one institute: the web's make-up update reads it with a singleton sub-select.
CREATE UNIQUE INDEX UX_TAnsFreDwg ON TAnsFreDwg
  COMPUTED BY (iAnsId || '/' || iFreId || '/' || COALESCE(iDwgId, 0));
