#include "platform/stepwise.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <stdexcept>

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

TEST_F(TransactionTest, EachRowReadsInTheCallersTransactionOrInOneOfItsOwn)
{
    const QString select = QStringLiteral("SELECT ID FROM TRANSTEST WHERE ID >= :low ORDER BY ID");
    TVxFieldValues from2;
    from2.setValue(QStringLiteral("low"), 2);
    auto ids = [&] {
        QList<int> read;
        VxEachRow(db, select, from2, [&read](const QSqlQuery &q, const QSqlRecord &rec) {
            read << q.value(rec.indexOf(QStringLiteral("ID"))).toInt();
        });
        return read;
    };
    {
        // The caller's transaction: its rows not yet committed are read, and it stays open.
        TVxTransaction tr(db);
        ASSERT_TRUE(tr.StartTransaction());
        for (int id : {1, 2, 3})
            insert(db, id);
        EXPECT_EQ(ids(), (QList<int>{2, 3}));
        EXPECT_EQ(TVxTransaction::runningOn(db), &tr);
        tr.Commit();
    }
    // One of its own, which it ends.
    EXPECT_EQ(ids(), (QList<int>{2, 3}));
    EXPECT_FALSE(TVxTransaction::activeOn(db));
    // A refused statement is an exception, and leaves no transaction behind.
    EXPECT_THROW(VxEachRow(db, QStringLiteral("SELECT NOPE FROM TRANSTEST"), {},
                           [](const QSqlQuery &, const QSqlRecord &) {}),
                 EVxException);
    EXPECT_FALSE(TVxTransaction::activeOn(db));
}

// Each run is a transaction of its own, committed at once, on a statement prepared once; a
// refused run changes nothing, and the statement is prepared again for the next.
TEST_F(TransactionTest, SelfCommittingStatementsCommitEachRun)
{
    TVxStatementRecorder recorder;
    const QString insertSql = QStringLiteral("INSERT INTO TRANSTEST (ID) VALUES (:id)");
    const QString updateSql = QStringLiteral("UPDATE TRANSTEST SET ID = ID + 10 WHERE ID < :id");
    TVxSelfCommittingStatements statements(db);
    EXPECT_EQ(statements.ExecChanged(insertSql, valuesOf({{"id", 1}})), 1);
    EXPECT_EQ(count(db), 1);
    EXPECT_THROW(statements.ExecChanged(insertSql, valuesOf({{"id", 1}})), EVxException);
    EXPECT_EQ(statements.ExecChanged(insertSql, valuesOf({{"id", 2}})), 1);
    EXPECT_EQ(statements.ExecChanged(updateSql, valuesOf({{"id", 2}})), 1);
    EXPECT_EQ(statements.ExecChanged(updateSql, valuesOf({{"id", 3}})), 1);
    EXPECT_EQ(statements.ExecChanged(updateSql, valuesOf({{"id", 0}})), 0);
    EXPECT_EQ(count(db), 2);
    EXPECT_EQ(recorder.prepared(insertSql), 2);
    EXPECT_EQ(recorder.prepared(updateSql), 1);
    QSqlQuery sum(db);
    ASSERT_TRUE(sum.exec("SELECT SUM(ID) FROM TRANSTEST") && sum.next());
    EXPECT_EQ(sum.value(0).toInt(), 23);
}

// A long piece of work's reads beside its writes: each text prepared once, every read of the
// database as it was when they began.
TEST_F(TransactionTest, SideReadsPrepareEachTextOnceOnOneSnapshot)
{
    TVxStatementRecorder recorder;
    const QString countSql = QStringLiteral("SELECT COUNT(*) FROM TRANSTEST WHERE ID > :id");
    TVxSideReads reads(db);
    int counted = -1;
    for (int id = 0; id < 2; ++id) {
        TVxSelfCommittingStatements(db).ExecChanged(
            QStringLiteral("INSERT INTO TRANSTEST (ID) VALUES (:id)"), valuesOf({{"id", id + 1}}));
        VxEachRow(
            reads.database(), countSql, valuesOf({{"id", 0}}),
            [&counted](const QSqlQuery &q, const QSqlRecord &) { counted = q.value(0).toInt(); });
        EXPECT_EQ(counted, 0);
    }
    EXPECT_EQ(count(db), 2);
    EXPECT_EQ(recorder.prepared(countSql), 1);
}

// Each step of a long piece of work stored as it ends, its statements prepared once; what
// follows the last commit goes with a rollback.
TEST_F(TransactionTest, CommitRetainingStoresEachStepAndKeepsTheStatements)
{
    TVxStatementRecorder recorder;
    const QString insertSql = QStringLiteral("INSERT INTO TRANSTEST (ID) VALUES (:id)");
    QSqlDatabase other = database.connect("other");
    TVxTransaction tr(db);
    ASSERT_TRUE(tr.StartTransaction());
    for (int id = 1; id <= 3; ++id) {
        tr.Exec(insertSql, valuesOf({{"id", id}}));
        if (id < 3)
            tr.CommitRetaining();
        EXPECT_EQ(count(other), std::min(id, 2));
    }
    EXPECT_TRUE(tr.InTransaction());
    EXPECT_EQ(recorder.prepared(insertSql), 1);
    EXPECT_TRUE(tr.Rollback());
    EXPECT_EQ(count(db), 2);
    EXPECT_THROW(tr.CommitRetaining(), EVxException);
}

// Rows written together: a refused one taken back alone and told, the others kept.
TEST_F(TransactionTest, EachRowWrittenTogetherARefusedOneTakenBackAlone)
{
    TVxTransaction tr(db);
    ASSERT_TRUE(tr.StartTransaction());
    const QList<int> ids = {1, 2, 1, 3};
    QList<int> refused;
    VxWriteEachRow(
        tr, ids.size(),
        [&](qsizetype row) {
            tr.Exec(QStringLiteral("INSERT INTO TRANSTEST (ID) VALUES (:id)"),
                    valuesOf({{"id", ids[row]}}));
        },
        [&](qsizetype row, const EVxException &) { refused << int(row); });
    tr.Commit();
    EXPECT_EQ(refused, QList<int>{2});
    EXPECT_EQ(count(db), 3);
}

// The row goes in only while none has the matching values; a null value and a text blob pass
// through their casts.
TEST_F(TransactionTest, InsertUnlessPresentStoresNothingWhereTheRowIsThere)
{
    QSqlQuery create(db);
    ASSERT_TRUE(create.exec("CREATE TABLE TUNLESS (ID INTEGER NOT NULL PRIMARY KEY, K INTEGER, "
                            "D DATE, T BLOB SUB_TYPE TEXT)"));
    const QString sql = VxInsertUnlessPresentSql(
        QStringLiteral("TUNLESS"),
        {{"ID", "INTEGER"}, {"K", "INTEGER"}, {"D", "DATE"}, {"T", "BLOB SUB_TYPE TEXT"}}, {"K"});
    const struct
    {
        int id, k, inserted;
    } cases[] = {{1, 5, 1}, {2, 5, 0}, {3, 6, 1}};
    TVxTransaction tr(db);
    ASSERT_TRUE(tr.StartTransaction());
    for (const auto &c : cases) {
        EXPECT_EQ(tr.ExecChanged(sql, valuesOf({{"ID", c.id},
                                                {"K", c.k},
                                                {"D", QVariant()},
                                                {"T", QStringLiteral("perché %1").arg(c.id)}})),
                  c.inserted);
    }
    QSqlQuery &rows = tr.Exec(QStringLiteral("SELECT LIST(ID || ':' || T, ' ') FROM TUNLESS"), {});
    ASSERT_TRUE(rows.next());
    EXPECT_EQ(QString::fromUtf8(rows.value(0).toByteArray()),
              QStringLiteral("1:perché 1 3:perché 3"));
}

// A statement's plan, read without running it, and what it reads whole of the tables asked
// about, each case a row (where the optimizer would choose otherwise at this size, the plan is
// written into the statement).
TEST_F(TransactionTest, APlanTellsWhatItReadsWholeOfTheTablesAskedAbout)
{
    const QStringList growing = {"TVOT_VOTI", "TCLSMATCMP", "TSIT_SITUAZIONI", "TCREFRM"};
    const QString kinds = "SELECT C.iClsMatCmpId FROM TCmpSca S JOIN TClsMatCmp C ON C.iCmpScaId "
                          "= S.iCmpScaId WHERE S.iCmpScaTass = 0 AND C.iClsSesMatId = :iCsm ";
    const struct
    {
        QString sql;
        QStringList whole;
    } cases[] = {
        {"SELECT iVotId FROM TVot_Voti WHERE iSitId = :iSitId", {}},
        {"SELECT COUNT(*) FROM TVot_Voti", {"TVOT_VOTI"}},
        // every component of a kind, through the key of the kinds read first
        {kinds + "PLAN JOIN (S NATURAL, C INDEX (FK_TCLSMATCMP_ICMPSCAID))", {"TCLSMATCMP"}},
        {kinds + "PLAN JOIN (S NATURAL, C INDEX (FK_TCLSMATCMP_ICMPSCAID, "
                 "FK_TCLSMATCMP_ICLSSESMATID))",
         {}},
        // every class brings every situation
        {"SELECT S.iSitId FROM TCls_Classi K JOIN TClsPst P ON P.iClsId = K.iClsId "
         "JOIN TSit_Situazioni S ON S.iClsPstId = P.iClsPstId WHERE K.sClsSDesc = :sCls "
         "PLAN JOIN (K NATURAL, P INDEX (FK_TCLSPST_ICLSID), S INDEX (FK_TSIT_ICLSPSTID))",
         {"TSIT_SITUAZIONI"}},
        // an order followed along the whole key
        {"SELECT FIRST 1 I.iCreFrmId FROM TCreFrm I ORDER BY I.iCreFrmId", {"TCREFRM"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sql.toStdString());
        const TVxStatementPlan plan = VxStatementPlan(db, c.sql);
        EXPECT_TRUE(plan.plan.startsWith("PLAN ")) << plan.plan.toStdString();
        EXPECT_EQ(VxTablesReadWhole(db, plan, growing), c.whole) << plan.explained.toStdString();
    }
    // A statement the database refuses is told, not planned.
    EXPECT_THROW(VxStatementPlan(db, "SELECT x FROM TNonEsiste"), EVxException);
}

// A run stopped at any step names what it wrote before: nothing yet, one name, "A e B", the
// first ten and how many more; a step that wrote nothing is not named; "Annulla" goes through
// as it is, and a failure of the library's is told as the program's.
TEST(StepwiseRun, AStopSaysWhatTheStepsBeforeItWrote)
{
    const TVxStepwiseWords words{QStringLiteral("Passaggio interrotto a %1"),
                                 QStringLiteral("i voti di %1 sono già passati"),
                                 QStringLiteral("nessun voto è stato ancora passato")};
    const struct
    {
        int stopAt; // steps 0, 1, ... named "A0", "A1", ...; step 1 writes nothing
        const char *head;
        bool library = false; // the stop a std::exception, not the program's refusal
    } cases[] = {
        {0, "Passaggio interrotto a A0: nessun voto è stato ancora passato"},
        {1, "Passaggio interrotto a A1: i voti di A0 sono già passati"},
        {2, "Passaggio interrotto a A2: i voti di A0 sono già passati"},
        {2, "Passaggio interrotto a A2: i voti di A0 sono già passati", true},
        {3, "Passaggio interrotto a A3: i voti di A0 e A2 sono già passati"},
        {13, "Passaggio interrotto a A13: i voti di A0, A2, A3, A4, A5, A6, A7, A8, A9, A10 e "
             "altri 2 sono già passati"},
    };
    for (const auto &c : cases) {
        TVxStepwiseRun run(words);
        const QString told = refusalOf([&] {
            for (int i = 0;; ++i)
                run.Step(QStringLiteral("A%1").arg(i), [&] {
                    if (i == c.stopAt && c.library)
                        throw std::runtime_error("rifiutato");
                    if (i == c.stopAt)
                        throw EVxException(QStringLiteral("rifiutato"));
                    return i != 1;
                });
        });
        EXPECT_EQ(told, QString::fromUtf8(c.head) +
                            "; rieseguire il comando per completare.\r\rrifiutato");
    }
    TVxStepwiseRun run(words);
    run.Step(QStringLiteral("A0"), [] { return true; });
    EXPECT_THROW(run.Step(QStringLiteral("A1"), []() -> bool { throw EVxCancelled(); }),
                 EVxCancelled);
}
