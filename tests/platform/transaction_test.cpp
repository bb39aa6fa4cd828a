#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

namespace {

int count(QSqlDatabase &db)
{
    QSqlQuery query(db);
    EXPECT_TRUE(query.exec("SELECT COUNT(*) FROM TRANSTEST"));
    EXPECT_TRUE(query.next());
    return query.value(0).toInt();
}

void insert(QSqlDatabase &db, int id)
{
    // Prepared inside the transaction: QIBASE binds a statement to the transaction open at
    // prepare time.
    QSqlQuery query(db);
    ASSERT_TRUE(query.prepare("INSERT INTO TRANSTEST (ID) VALUES (:id)"));
    query.bindValue(":id", id);
    ASSERT_TRUE(query.exec());
}

class TransactionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = database.connect();
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec("CREATE TABLE TRANSTEST (ID INTEGER NOT NULL PRIMARY KEY)"));
    }
    TestDatabase database;
    QSqlDatabase db;
};

} // namespace

TEST_F(TransactionTest, DestroyedWithoutCommitLeavesNothing)
{
    {
        TVxTransaction tr(db);
        ASSERT_TRUE(tr.StartTransaction());
        insert(db, 1);
        insert(db, 2);
        EXPECT_TRUE(TVxTransaction::activeOn(db));
    }
    EXPECT_FALSE(TVxTransaction::activeOn(db));
    EXPECT_EQ(count(db), 0);
}

TEST_F(TransactionTest, CommitKeepsAndOneObjectRunsSeveralTransactions)
{
    TVxTransaction tr(db, 5270);
    for (int id = 1; id <= 3; ++id) {
        ASSERT_TRUE(tr.StartTransaction());
        insert(db, id);
        if (id == 2)
            EXPECT_TRUE(tr.Rollback());
        else
            tr.Commit();
    }
    EXPECT_EQ(count(db), 2);
    EXPECT_THROW(tr.Commit(), EVxException);
}

TEST_F(TransactionTest, SecondTransactionOnTheSameConnectionDoesNotStart)
{
    TVxTransaction outer(db);
    ASSERT_TRUE(outer.StartTransaction());
    TVxTransaction inner(db);
    EXPECT_FALSE(inner.StartTransaction());
    EXPECT_FALSE(inner.InTransaction());
    EXPECT_EQ(TVxTransaction::runningOn(db), &outer);
    // The refusal says why, for the caller's message.
    EXPECT_EQ(inner.lastError(),
              QString::fromUtf8("Un'altra transazione è in corso su questa connessione."));
    outer.Commit();
    EXPECT_TRUE(inner.StartTransaction());
    inner.Commit();

    QSqlDatabase closed = QSqlDatabase::addDatabase("QIBASE", "never-opened");
    {
        TVxTransaction none(closed);
        EXPECT_FALSE(none.StartTransaction());
        EXPECT_EQ(none.lastError(), QString::fromUtf8("La connessione al database non è aperta."));
    }
    closed = QSqlDatabase();
    QSqlDatabase::removeDatabase("never-opened");
}

TEST_F(TransactionTest, FailedStatementRolledBackKeepsOnlyEarlierCommits)
{
    TVxTransaction tr(db);
    ASSERT_TRUE(tr.StartTransaction());
    insert(db, 10);
    tr.Commit();
    ASSERT_TRUE(tr.StartTransaction());
    insert(db, 11);
    QSqlQuery dup(db);
    ASSERT_TRUE(dup.prepare("INSERT INTO TRANSTEST (ID) VALUES (:id)"));
    dup.bindValue(":id", 10);
    EXPECT_FALSE(dup.exec());
    EXPECT_TRUE(tr.Rollback());
    EXPECT_EQ(count(db), 1);
}
