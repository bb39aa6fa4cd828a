#include "platform/sqlclientdataset.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include "tests/support/testdb.h"

#include <gtest/gtest.h>

namespace {

// Votes of two pupils; the select reads one pupil's by named parameters, one of them twice.
class SQLClientDataSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = database.connect();
        runSql(db, QStringLiteral("CREATE TABLE TPrv_Voti (iVotId INTEGER NOT NULL PRIMARY KEY, "
                                  "iSitId INTEGER, fVotValore DOUBLE PRECISION, "
                                  "sVotDesc VARCHAR(20), bVotNota BLOB SUB_TYPE TEXT)"));
        const QVariantList rows[] = {{1, 10, 6.5, "sei e mezzo", "recupera"},
                                     {2, 10, 8.0, "otto", QVariant()},
                                     {3, 11, 4.0, "quattro", QVariant()},
                                     {4, 10, 3.0, "tre", QVariant()}};
        for (const QVariantList &row : rows)
            runSql(db, QStringLiteral("INSERT INTO TPrv_Voti VALUES (?, ?, ?, ?, ?)"), row);
        scd.setConnection(db);
        scd.setCommandText(QStringLiteral(
            "SELECT Vot.iVotId, Vot.fVotValore, Vot.sVotDesc, Vot.bVotNota FROM TPrv_Voti Vot "
            "WHERE Vot.iSitId = :ISITID AND Vot.fVotValore >= :fMin AND :fMin < 10 "
            "ORDER BY Vot.iVotId"));
        scd.Params().setValue(QStringLiteral("iSitId"), 10);
        scd.Params().setValue(QStringLiteral("fMin"), 5.0);
    }

    QList<int> keys()
    {
        QList<int> read;
        for (scd.First(); !scd.Eof(); scd.Next())
            read << scd.FieldByName(QStringLiteral("iVotId"))->AsInteger();
        return read;
    }

    TestDatabase database;
    QSqlDatabase db;
    TSQLClientDataSet scd;
};

} // namespace

TEST_F(SQLClientDataSetTest, OpensTheRowsOfTheSelectWithItsNamedParameters)
{
    scd.Open();
    EXPECT_EQ(scd.RecNo(), 0);
    EXPECT_EQ(keys(), (QList<int>{1, 2}));
    scd.First();
    EXPECT_DOUBLE_EQ(scd.FieldByName(QStringLiteral("fvotvalore"))->AsFloat(), 6.5);
    EXPECT_EQ(scd.FieldByName(QStringLiteral("bVotNota"))->AsString(), QStringLiteral("recupera"));
    // New values, opened again: the old rows are gone.
    scd.Params().setValue(QStringLiteral("FMIN"), 0.0);
    scd.Open();
    EXPECT_EQ(keys(), (QList<int>{1, 2, 4}));
}

TEST_F(SQLClientDataSetTest, ReadsInsideTheCallersTransactionAndLeavesItToTheCaller)
{
    TVxTransaction tr(db);
    ASSERT_TRUE(tr.StartTransaction());
    tr.Exec(QStringLiteral("INSERT INTO TPrv_Voti (iVotId, iSitId, fVotValore) VALUES (5, 10, 9)"),
            {});
    scd.Open();
    EXPECT_EQ(keys(), (QList<int>{1, 2, 5}));
    EXPECT_TRUE(tr.InTransaction());
    tr.Rollback();
    scd.Open();
    EXPECT_EQ(keys(), (QList<int>{1, 2}));
}

TEST_F(SQLClientDataSetTest, AFailureLeavesTheDatasetClosedAndNoTransactionBehind)
{
    const struct
    {
        const char *name;
        QString sql;
    } failures[] = {
        {"missing parameter",
         QStringLiteral("SELECT Vot.iVotId FROM TPrv_Voti Vot WHERE Vot.iSitId = :iAnsId")},
        {"refused statement", QStringLiteral("SELECT Vot.iNoSuchId FROM TPrv_Voti Vot")},
        {"row not delivered",
         QStringLiteral("SELECT Vot.iVotId, 60 / (Vot.iVotId - 2) FROM TPrv_Voti Vot "
                        "WHERE Vot.iSitId = :iSitId ORDER BY Vot.iVotId")},
    };
    for (const auto &f : failures) {
        SCOPED_TRACE(f.name);
        scd.setCommandText(f.sql);
        EXPECT_THROW(scd.Open(), EVxException);
        EXPECT_FALSE(scd.Active());
        TVxTransaction next(db);
        EXPECT_TRUE(next.StartTransaction()) << next.lastError().toStdString();
    }
}
