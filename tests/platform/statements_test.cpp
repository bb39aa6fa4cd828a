#include "platform/clientdataset.h"
#include "platform/enumvalues.h"
#include "platform/querycollection.h"
#include "platform/searchform.h"
#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QTreeWidget>

#include <functional>

namespace {

// Five numbered rows with a computed column that divides by zero on row `zeroAt`.
QString numbers(int zeroAt, const QString &where = QStringLiteral("1 = 1"))
{
    QStringList rows;
    for (int n = 1; n <= 5; ++n)
        rows << QStringLiteral("SELECT %1 AS n FROM RDB$DATABASE").arg(n);
    return QStringLiteral("SELECT n, 'riga ' || (60 / (n - %1)) AS t FROM (%2) WHERE %3 ORDER BY n")
        .arg(zeroAt)
        .arg(rows.join(QStringLiteral(" UNION ALL ")), where);
}

QSqlQuery executed(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    execBound(query, sql, {});
    return query;
}

// Every way the framework reads the rows of a select, each answering how many it read.
struct Reader
{
    const char *name;
    std::function<int(QSqlDatabase &db, int zeroAt)> read;
};

const Reader kReaders[] = {
    {"fetchNext",
     [](QSqlDatabase &db, int zeroAt) {
         QSqlQuery query = executed(db, numbers(zeroAt));
         int rows = 0;
         while (fetchNext(query))
             ++rows;
         return rows;
     }},
    {"query collection",
     [](QSqlDatabase &db, int zeroAt) {
         TVxQueryCollection xqc;
         xqc.setConnection(db);
         xqc.setSQL(numbers(zeroAt));
         try {
             xqc.Open();
         } catch (const EVxException &) {
             EXPECT_FALSE(xqc.Active());
             EXPECT_EQ(xqc.rowCount(), 0);
             throw;
         }
         return xqc.RecordCount();
     }},
    {"enum values",
     [](QSqlDatabase &db, int zeroAt) { return int(LoadEnumItems(db, numbers(zeroAt)).size()); }},
    {"tree",
     [](QSqlDatabase &db, int zeroAt) {
         QTreeWidget tree;
         QSqlQuery query = executed(db, numbers(zeroAt));
         BuildTree(&tree, query);
         return tree.topLevelItemCount();
     }},
    {"search",
     [](QSqlDatabase &db, int zeroAt) {
         TVxSearchQuery search(db, numbers(zeroAt, QStringLiteral("##WHERE##")));
         return int(search.Run({}, {}).size());
     }},
    {"client dataset",
     [](QSqlDatabase &db, int zeroAt) {
         TClientDataSet data;
         QSqlQuery query = executed(db, numbers(zeroAt));
         try {
             data.FillFromQuery(query);
         } catch (const EVxException &) {
             EXPECT_FALSE(data.Active());
             throw;
         }
         return data.RecordCount();
     }},
};

class Statements : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = database.connect();
        runSql(db, QStringLiteral("CREATE TABLE TPrv_Prova (iPrvId INTEGER NOT NULL PRIMARY KEY, "
                                  "sPrvDesc VARCHAR(40))"));
    }
    TestDatabase database;
    QSqlDatabase db;
};

} // namespace

TEST_F(Statements, ARowTheDatabaseCannotDeliverFailsEveryReaderInsteadOfEndingTheRows)
{
    for (const Reader &reader : kReaders) {
        SCOPED_TRACE(reader.name);
        EXPECT_EQ(reader.read(db, 30), 5);
        try {
            const int rows = reader.read(db, 3);
            ADD_FAILURE() << "read " << rows << " rows as if they were all";
        } catch (const EVxException &e) {
            // The driver's own words reach the office.
            EXPECT_TRUE(e.message().contains(QStringLiteral("divide"), Qt::CaseInsensitive) ||
                        e.message().contains(QStringLiteral("arithmetic"), Qt::CaseInsensitive))
                << e.message().toStdString();
        }
    }
}

TEST_F(Statements, ExecReturnsTheRowsAStatementChanged)
{
    for (int id = 1; id <= 3; ++id)
        runSql(db, QStringLiteral("INSERT INTO TPrv_Prova VALUES (?, 'x')"), {id});
    TVxFieldValues values;
    values.setValue(QStringLiteral("sDesc"), QStringLiteral("y"));
    values.setValue(QStringLiteral("iFrom"), 2);
    QSqlQuery query(db);
    EXPECT_EQ(execBound(query,
                        QStringLiteral("UPDATE TPrv_Prova SET sPrvDesc = :sDesc WHERE iPrvId >= "
                                       ":iFrom"),
                        values),
              2);
    values.setValue(QStringLiteral("iFrom"), 9);
    EXPECT_EQ(execAgain(query,
                        QStringLiteral("UPDATE TPrv_Prova SET sPrvDesc = :sDesc WHERE iPrvId >= "
                                       ":iFrom"),
                        values),
              0);
    EXPECT_EQ(execBound(query, QStringLiteral("SELECT iPrvId FROM TPrv_Prova"), {}), 0);
}

TEST_F(Statements, RowsSavedInsideOneTransactionPrepareEachStatementOnce)
{
    TVxQueryCollection xqc;
    xqc.setConnection(db);
    xqc.setSQL(QStringLiteral("SELECT Prv.iPrvId, Prv.sPrvDesc FROM TPrv_Prova Prv"));
    xqc.setAutoBuildSQL(true);
    xqc.Open();
    TVxTransaction tr(db);
    ASSERT_TRUE(tr.StartTransaction());
    QSet<int> keys;
    for (int i = 0; i < 500; ++i) {
        xqc.Append();
        xqc.SetFieldValue(QStringLiteral("sPrvDesc"), QStringLiteral("riga %1").arg(i));
        xqc.Post();
        keys.insert(xqc.FieldValue(QStringLiteral("iPrvId")).toInt());
    }
    // The insert, the new key, and the savepoint's three statements.
    EXPECT_LE(tr.preparedCount(), 5);
    tr.Commit();
    EXPECT_EQ(keys.size(), 500);
    EXPECT_EQ(scalar(db, QStringLiteral("SELECT COUNT(*) FROM TPrv_Prova")).toInt(), 500);
    // Outside a transaction every key is still a new one.
    EXPECT_FALSE(keys.contains(VxNewKey(db, QStringLiteral("TPrv_Prova"))));
    EXPECT_THROW(tr.Exec(QStringLiteral("SELECT 1 FROM RDB$DATABASE"), {}), EVxException);
}
