-- The career-export procedure and the registry procedures read by the report queries.

SET TERM ^ ;

-- Writes a pupil's earlier-school record of a school type (3 licence, 4 qualification):
-- kind 1 the final score, kind 2 the admission score, type 3 the licence judgment. An empty
-- text clears the stored value, so export then import gives back what the grid showed.
CREATE PROCEDURE PZun_Giudizi (
  A_IANAID INTEGER, A_IANAGMEID INTEGER, A_ISCUTYPID INTEGER, A_IKIND INTEGER,
  A_LFLAG INTEGER, A_IGMEID INTEGER, A_P7 VARCHAR(100), A_SVOTO VARCHAR(20),
  A_P9 VARCHAR(100), A_SVOTOAMM VARCHAR(20), A_IMODE INTEGER)
AS
DECLARE ID INTEGER;
BEGIN
  ID = NULL;
  SELECT FIRST 1 iAnaGmeId FROM TAnaGme
   WHERE iAnaId = :A_IANAID AND iScuTypId = :A_ISCUTYPID
    INTO :ID;
  IF (ID IS NULL) THEN
  BEGIN
    ID = NEXT VALUE FOR GEN_VXID;
    INSERT INTO TAnaGme (iAnaGmeId, iAnaId, iScuTypId) VALUES (:ID, :A_IANAID, :A_ISCUTYPID);
  END
  IF (A_IKIND = 1 OR (A_IKIND IS NULL AND A_SVOTO IS NOT NULL)) THEN
    UPDATE TAnaGme SET sAnaGmeVoto = NULLIF(TRIM(:A_SVOTO), '') WHERE iAnaGmeId = :ID;
  IF (A_IKIND = 2) THEN
    UPDATE TAnaGme SET sAnaGmeVotoAmm = NULLIF(TRIM(:A_SVOTOAMM), '') WHERE iAnaGmeId = :ID;
  IF (A_ISCUTYPID = 3) THEN
    UPDATE TAnaGme SET iGmeId = :A_IGMEID WHERE iAnaGmeId = :ID;
END^

-- The report queries read these as scalar sub-selects, so each returns at most one row,
-- several values joined into one text.

-- A person's citizenships.
CREATE PROCEDURE pzor_get_citt (A_IANAID INTEGER, A_X INTEGER)
RETURNS (sCittLCitt VARCHAR(200), sCittSCitt VARCHAR(100))
AS
DECLARE L VARCHAR(100);
BEGIN
  FOR SELECT Sta.sStaLDesc
        FROM TAnaCitt Citt
        JOIN TSta_Stati Sta ON Sta.iStaId = Citt.iStaId
       WHERE Citt.iAnaId = :A_IANAID
       ORDER BY Citt.iAnaCittId
      INTO :L
  DO
  BEGIN
    IF (sCittLCitt IS NULL) THEN
    BEGIN
      sCittLCitt = LEFT(L, 200);
      sCittSCitt = LEFT(L, 100);
    END
    ELSE
    BEGIN
      sCittLCitt = LEFT(sCittLCitt || ', ' || L, 200);
      sCittSCitt = LEFT(sCittSCitt || ', ' || L, 100);
    END
  END
  IF (sCittLCitt IS NOT NULL) THEN
    SUSPEND;
END^

-- Telephones, e-mail, groups, study titles and professions are kept outside this program's
-- data: one row of NULLs, so the report columns stay empty. (A procedure without SUSPEND is
-- not selectable at all.)
CREATE PROCEDURE pzor_get_telefoni (A_IANAID INTEGER, A_X INTEGER, A_MODE INTEGER)
RETURNS (sTelTelefoni VARCHAR(200))
AS
BEGIN
  SUSPEND;
END^

CREATE PROCEDURE pzor_get_email (A_IANAID INTEGER, A_X INTEGER)
RETURNS (sEmlEmail VARCHAR(200))
AS
BEGIN
  SUSPEND;
END^

CREATE PROCEDURE pzor_get_gre (A_IANAID INTEGER, A_X INTEGER)
RETURNS (sGreLGruppi VARCHAR(200), sGreSGruppi VARCHAR(100))
AS
BEGIN
  SUSPEND;
END^

CREATE PROCEDURE pzor_get_titstud (A_IANAID INTEGER, A_X INTEGER)
RETURNS (sTsdLTitStud VARCHAR(100), sTsdSTitStud VARCHAR(100), sTsdLTsdLeg VARCHAR(100),
         sTsdSTsdLeg VARCHAR(100))
AS
BEGIN
  SUSPEND;
END^

CREATE PROCEDURE pzor_get_profes (A_IANAID INTEGER, A_X INTEGER)
RETURNS (sPrfLProfes VARCHAR(100), sPrfSProfes VARCHAR(100), sPrfLPrfLeg VARCHAR(100),
         sPrfSPrfLeg VARCHAR(100))
AS
BEGIN
  SUSPEND;
END^

SET TERM ; ^

GRANT EXECUTE ON PROCEDURE PZun_Giudizi TO PUBLIC;
GRANT EXECUTE ON PROCEDURE pzor_get_citt TO PUBLIC;
GRANT EXECUTE ON PROCEDURE pzor_get_telefoni TO PUBLIC;
GRANT EXECUTE ON PROCEDURE pzor_get_email TO PUBLIC;
GRANT EXECUTE ON PROCEDURE pzor_get_gre TO PUBLIC;
GRANT EXECUTE ON PROCEDURE pzor_get_titstud TO PUBLIC;
GRANT EXECUTE ON PROCEDURE pzor_get_profes TO PUBLIC;
