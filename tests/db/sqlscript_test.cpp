#include "db/database.h"

#include <gtest/gtest.h>

namespace {

QStringList split(const char *script)
{
    return splitSqlScript(QString::fromUtf8(script));
}

} // namespace

TEST(SplitSqlScript, SplitsOnSemicolonsAndKeepsALastStatementWithoutOne)
{
    EXPECT_EQ(split("CREATE TABLE A (X INTEGER);\n  CREATE TABLE B (Y INTEGER)"),
              (QStringList{"CREATE TABLE A (X INTEGER)", "CREATE TABLE B (Y INTEGER)"}));
}

TEST(SplitSqlScript, EmptyStatementsAndBlankScriptsGiveNothing)
{
    EXPECT_TRUE(split("").isEmpty());
    EXPECT_TRUE(split("  \n ; ;\n").isEmpty());
    EXPECT_EQ(split(";;SELECT 1 FROM RDB$DATABASE;;"), QStringList{"SELECT 1 FROM RDB$DATABASE"});
}

TEST(SplitSqlScript, SetTermKeepsProcedureBodiesWholeAndSwitchesBack)
{
    const QStringList statements = split("CREATE SEQUENCE G;\n"
                                         "SET TERM ^ ;\n"
                                         "CREATE PROCEDURE P RETURNS (X INTEGER) AS\n"
                                         "BEGIN\n  X = 1;\n  SUSPEND;\nEND^\n"
                                         "set term ; ^\n"
                                         "GRANT EXECUTE ON PROCEDURE P TO PUBLIC;");
    ASSERT_EQ(statements.size(), 3);
    EXPECT_EQ(statements[0], "CREATE SEQUENCE G");
    EXPECT_TRUE(statements[1].startsWith("CREATE PROCEDURE P"));
    EXPECT_TRUE(statements[1].contains("X = 1;\n  SUSPEND;\nEND"));
    EXPECT_FALSE(statements[1].contains('^'));
    EXPECT_EQ(statements[2], "GRANT EXECUTE ON PROCEDURE P TO PUBLIC");
}

TEST(SplitSqlScript, TerminatorsInsideQuotesBelongToTheText)
{
    EXPECT_EQ(split("INSERT INTO T VALUES ('a;b');SELECT 'x' FROM RDB$DATABASE;"),
              (QStringList{"INSERT INTO T VALUES ('a;b')", "SELECT 'x' FROM RDB$DATABASE"}));
    // A doubled quote does not end the text.
    EXPECT_EQ(split("INSERT INTO T VALUES ('it''s; fine');"),
              QStringList{"INSERT INTO T VALUES ('it''s; fine')"});
    // Comment marks inside a text are text.
    EXPECT_EQ(split("INSERT INTO T VALUES ('-- no /* comment */');"),
              QStringList{"INSERT INTO T VALUES ('-- no /* comment */')"});
    // Under another terminator, the old one inside quotes is plain text too.
    EXPECT_EQ(split("SET TERM ^ ;\nSELECT '^;' FROM RDB$DATABASE^\nSET TERM ; ^"),
              QStringList{"SELECT '^;' FROM RDB$DATABASE"});
}

TEST(SplitSqlScript, CommentsAreDroppedWithTheTerminatorsTheyHold)
{
    EXPECT_EQ(split("-- a comment; with a semicolon\nSELECT 1 FROM RDB$DATABASE; -- trailing"),
              QStringList{"SELECT 1 FROM RDB$DATABASE"});
    EXPECT_EQ(split("SELECT /* ; */ 1 FROM RDB$DATABASE;/* unterminated ; comment"),
              QStringList{"SELECT  1 FROM RDB$DATABASE"});
    EXPECT_EQ(split("SELECT 2 - -1 FROM RDB$DATABASE;"),
              QStringList{"SELECT 2 - -1 FROM RDB$DATABASE"});
}
