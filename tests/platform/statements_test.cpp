#include "platform/clientdataset.h"
#include "platform/enumvalues.h"
#include "platform/querycollection.h"
#include "platform/searchform.h"
#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <utility>

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

QSqlQuery executed(QSqlDatabase &db, const QString &sql, const TVxFieldValues &values = {})
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    execBound(query, sql, values);
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

// What a statement gave: the first column of a select's first row, else the rows it changed.
int outcome(QSqlQuery &query)
{
    if (!query.isSelect())
        return query.numRowsAffected();
    const int first = fetchNext(query) ? query.value(0).toInt() : -1;
    query.finish();
    return first;
}

// Every way the framework runs a statement; those that run it again run it first with the
// values of `before`, none of them null.
struct Runner
{
    const char *name;
    std::function<int(QSqlDatabase &db, const QString &sql, const TVxFieldValues &before,
                      const TVxFieldValues &values)>
        run;
};

const Runner kRunners[] = {
    {"once",
     [](QSqlDatabase &db, const QString &sql, const TVxFieldValues &,
        const TVxFieldValues &values) {
         QSqlQuery query(db);
         execBound(query, sql, values);
         return outcome(query);
     }},
    {"again on its query",
     [](QSqlDatabase &db, const QString &sql, const TVxFieldValues &before,
        const TVxFieldValues &values) {
         QSqlQuery query(db);
         execBound(query, sql, before);
         outcome(query);
         execAgain(query, sql, values);
         return outcome(query);
     }},
    {"again in a transaction",
     [](QSqlDatabase &db, const QString &sql, const TVxFieldValues &before,
        const TVxFieldValues &values) {
         TVxTransaction tr(db);
         EXPECT_TRUE(tr.StartTransaction());
         outcome(tr.Exec(sql, before));
         const int result = outcome(tr.Exec(sql, values));
         tr.Commit();
         return result;
     }},
};

const char kInsertNulli[] =
    "INSERT INTO TPrv_Nulli (iNulA, iNulB, sNulS) VALUES (:iNulA, :iNulB, :sNulS)";

class Statements : public ::testing::Test
{
protected:
    void SetUp() override
    {
        db = database.connect();
        runSql(db, QStringLiteral("CREATE TABLE TPrv_Prova (iPrvId INTEGER NOT NULL PRIMARY KEY, "
                                  "sPrvDesc VARCHAR(40))"));
        runSql(db, QStringLiteral("CREATE TABLE TPrv_Nulli (iNulA INTEGER NOT NULL, iNulB "
                                  "INTEGER, sNulS VARCHAR(10) NOT NULL)"));
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
            // Told in Italian; the engine's own words stay for the technician.
            EXPECT_TRUE(e.message().contains(QStringLiteral("Errore nella lettura dei dati")))
                << e.message().toStdString();
            EXPECT_TRUE(e.detail().contains(QStringLiteral("divide"), Qt::CaseInsensitive) ||
                        e.detail().contains(QStringLiteral("arithmetic"), Qt::CaseInsensitive))
                << e.detail().toStdString();
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

TEST_F(Statements, ANullValueReachesTheDatabaseAsNullWhereverItsParameterStands)
{
    // The driver binds a null as 0 or '' where the parameter is not nullable: the NOT NULL
    // columns would take a plausible value, and "0 = :p" would hold for every row.
    const QVariant null;
    const struct
    {
        const char *what;
        const char *sql;
        TVxFieldValues before, values;
        int result;          // when it runs
        const char *refused; // in the engine's words (the detail), when it must not
    } cases[] = {
        {"NOT NULL integer", kInsertNulli, valuesOf({{"iNulA", 90}, {"iNulB", 1}, {"sNulS", "w"}}),
         valuesOf({{"iNulA", null}, {"iNulB", 1}, {"sNulS", "x"}}), 0, "INULA"},
        {"NOT NULL text", kInsertNulli, valuesOf({{"iNulA", 91}, {"iNulB", 1}, {"sNulS", "w"}}),
         valuesOf({{"iNulA", 7}, {"iNulB", 1}, {"sNulS", null}}), 0, "SNULS"},
        {"nullable column", kInsertNulli, valuesOf({{"iNulA", 92}, {"iNulB", 1}, {"sNulS", "w"}}),
         valuesOf({{"iNulA", 7}, {"iNulB", null}, {"sNulS", "x"}}), 1, nullptr},
        {"0 = :p", "SELECT COUNT(*) FROM TPrv_Nulli WHERE (0 = :p OR iNulA = 5)",
         valuesOf({{"p", 1}}), valuesOf({{"p", null}}), 1, nullptr},
    };
    for (const Runner &runner : kRunners) {
        SCOPED_TRACE(runner.name);
        runSql(db, QStringLiteral("DELETE FROM TPrv_Nulli"));
        runSql(db, QStringLiteral("INSERT INTO TPrv_Nulli VALUES (5, NULL, 'cinque')"));
        runSql(db, QStringLiteral("INSERT INTO TPrv_Nulli VALUES (6, 6, 'sei')"));
        for (const auto &c : cases) {
            SCOPED_TRACE(c.what);
            try {
                EXPECT_EQ(runner.run(db, QString::fromLatin1(c.sql), c.before, c.values), c.result);
                EXPECT_FALSE(c.refused) << "stored";
            } catch (const EVxException &e) {
                ASSERT_TRUE(c.refused) << e.message().toStdString();
                EXPECT_EQ(e.message(), QStringLiteral("Il database ha rifiutato l'operazione."));
                EXPECT_TRUE(e.detail().contains(QString::fromLatin1(c.refused)))
                    << e.detail().toStdString();
            }
        }
        EXPECT_EQ(scalar(db, QStringLiteral("SELECT COUNT(*) FROM TPrv_Nulli WHERE iNulA = 7 "
                                            "AND iNulB IS NULL AND sNulS = 'x'"))
                      .toInt(),
                  1);
        EXPECT_EQ(scalar(db, QStringLiteral("SELECT COUNT(*) FROM TPrv_Nulli WHERE iNulA = 0 "
                                            "OR sNulS = ''"))
                      .toInt(),
                  0);
    }
}

TEST_F(Statements, AStatementRunAgainWithValuesTurningNullAndBackGivesTheRightRows)
{
    const QString insert = QString::fromLatin1(kInsertNulli);
    const QString select =
        QStringLiteral("SELECT COUNT(*) FROM TPrv_Nulli WHERE (0 = :iAll OR iNulA = :iNulA)");
    const auto row = [](int a) {
        return valuesOf({{"iNulA", a},
                         {"iNulB", a % 2 ? QVariant() : QVariant(a * 10)},
                         {"sNulS", "r"},
                         {"iAll", a % 3 ? QVariant() : QVariant(0)}});
    };
    const int rows = 6;
    // Through the transaction's statements, then again on one query of its own.
    for (const bool inTransaction : {true, false}) {
        SCOPED_TRACE(inTransaction ? "transaction" : "query");
        runSql(db, QStringLiteral("DELETE FROM TPrv_Nulli"));
        TVxStatementRecorder recorder;
        TVxTransaction tr(db);
        ASSERT_TRUE(tr.StartTransaction());
        QSqlQuery ownInsert(db), ownSelect(db);
        const auto run = [&](QSqlQuery &own, const QString &sql, const TVxFieldValues &values,
                             bool first) -> QSqlQuery & {
            if (inTransaction)
                return tr.Exec(sql, values);
            first ? execBound(own, sql, values) : execAgain(own, sql, values);
            return own;
        };
        for (int a = 1; a <= rows; ++a) {
            SCOPED_TRACE(a);
            EXPECT_EQ(outcome(run(ownInsert, insert, row(a), a == 1)), 1);
            // Every row so far when :iAll is 0, else only the row just written.
            EXPECT_EQ(outcome(run(ownSelect, select, row(a), a == 1)), a % 3 ? 1 : a);
        }
        tr.Commit();
        for (int a = 1; a <= rows; ++a) {
            const QVariant b = scalar(db,
                                      QStringLiteral("SELECT iNulB FROM TPrv_Nulli WHERE "
                                                     "iNulA = ?"),
                                      {a});
            EXPECT_EQ(b.isNull() ? -1 : b.toInt(), a % 2 ? -1 : a * 10) << a;
        }
        EXPECT_EQ(recorder.executed(insert), rows);
        if (inTransaction) {
            // Once for each pattern of nulls, counted by the statement as written.
            EXPECT_EQ(recorder.prepared(insert), 2);
            EXPECT_EQ(recorder.prepared(select), 2);
        }
    }
}

// A list of keys of any length runs as one text, a chunk of keys at a time, each key's rows
// once.
TEST_F(Statements, AKeyListOfAnyLengthIsOneStatementRunAChunkAtATime)
{
    const QString sql = VxKeysSql(QStringLiteral(
        "WITH RECURSIVE R (n) AS (SELECT 1 FROM RDB$DATABASE UNION ALL SELECT n + 1 FROM R "
        "WHERE n < 200) SELECT n FROM R WHERE n IN (%KEYS%) AND n > :lowest"));
    const struct
    {
        int keys, chunks;
    } cases[] = {{0, 0}, {1, 1}, {kVxKeysAtOnce, 1}, {kVxKeysAtOnce + 1, 2}, {120, 3}};
    TVxStatementRecorder recorder;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        QList<int> keys, read;
        for (int k = 0; k < c.keys; ++k)
            keys << 200 - k;
        const QList<TVxFieldValues> chunks = VxKeyChunks(keys, valuesOf({{"lowest", 0}}));
        EXPECT_EQ(chunks.size(), c.chunks);
        for (const TVxFieldValues &chunk : chunks)
            for (QSqlQuery q = executed(db, sql, chunk); fetchNext(q);)
                read << q.value(0).toInt();
        std::sort(keys.begin(), keys.end());
        std::sort(read.begin(), read.end());
        EXPECT_EQ(read, keys);
    }
    EXPECT_EQ(recorder.statements().size(), 7);
    EXPECT_EQ(recorder.executed(sql), 7); // one text however many keys
}

TEST(Positional, NamesOutsideQuotesAndCommentsBecomePlaceholdersEveryTime)
{
    const struct
    {
        QString sql, positional, names;
    } cases[] = {
        {"SELECT ':a' FROM T WHERE x = :a AND y = :b_1 OR z = :a",
         "SELECT ':a' FROM T WHERE x = ? AND y = ? OR z = ?", "a b_1 a"},
        {"SELECT 'it''s :x' /* :y */ -- :z\nFROM T WHERE \"C:d\" = :e",
         "SELECT 'it''s :x' /* :y */ -- :z\nFROM T WHERE \"C:d\" = ?", "e"},
        {"SELECT :p FROM T WHERE s = 'open :q", "SELECT ? FROM T WHERE s = 'open :q", "p"},
        {"SELECT 1 FROM T", "SELECT 1 FROM T", ""},
    };
    for (int round = 0; round < 2; ++round) { // the second from what the first one kept
        for (const auto &c : cases) {
            const TVxNamedStatement st = toPositional(c.sql);
            EXPECT_EQ(st.sql, c.positional);
            EXPECT_EQ(st.names.join(' '), c.names);
        }
    }
    EXPECT_EQ(toPositional(cases[0].sql, [](const QString &n) { return "<" + n + ">"; }).sql,
              "SELECT ':a' FROM T WHERE x = <a> AND y = <b_1> OR z = <a>");
}
