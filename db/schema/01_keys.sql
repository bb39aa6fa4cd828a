-- The suite's database as this program uses it. The files of this folder are applied in
-- the order of their names, by the program (applySchema) or by isql-fb.

-- Seed rows of the demo school keep their keys below the start, generated keys lie above.
-- It stays below 10,000,000 because credit codes carry the training-credit key in seven
-- digits, and the lookup editors take those keys from here too.
CREATE SEQUENCE GEN_VXID;
ALTER SEQUENCE GEN_VXID RESTART WITH 1000000;

SET TERM ^ ;

-- New keys for every table the program writes. One global sequence keeps keys unique
-- across connections without a counter row to fight over; the table name is kept in the
-- call for the suite's sake and may come in any letter case.
CREATE PROCEDURE PYSetGetId (L_sTableName VARCHAR(63), L_iStep INTEGER)
RETURNS (L_iCntId INTEGER)
AS
BEGIN
  L_iCntId = NEXT VALUE FOR GEN_VXID;
  SUSPEND;
END^

SET TERM ; ^

GRANT EXECUTE ON PROCEDURE PYSetGetId TO PUBLIC;
