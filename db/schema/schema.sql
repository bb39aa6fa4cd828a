-- The suite's database as this program uses it. Applied in order to a new database.

CREATE SEQUENCE GEN_VXID;
ALTER SEQUENCE GEN_VXID RESTART WITH 1000000;

SET TERM ^ ;

-- New keys for every table the program writes. One global sequence keeps keys unique
-- across connections; the table name is kept in the call for the suite's sake.
CREATE PROCEDURE PYSetGetId (L_sTableName VARCHAR(63), L_iStep INTEGER)
RETURNS (L_iCntId INTEGER)
AS
BEGIN
  L_iCntId = NEXT VALUE FOR GEN_VXID;
  SUSPEND;
END^

SET TERM ; ^
