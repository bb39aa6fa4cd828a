// The server stopped under the program's connection in the middle of work, on a Firebird
// server of the test's own: the user hears it in Italian, the program goes on, nothing
// half-written stays, and once the server is back the next piece of work reconnects by itself.
#include "platform/connection.h"
#include "platform/querycollection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <memory>

namespace {

const QString kLost = QStringLiteral("La connessione al database si è interrotta");
const QString kRestart = QStringLiteral("chiudere e riavviare Tavrin");

// A row of the view is a detail row and a link row pointing to it, written by two statements:
// a server that goes away between them must leave neither.
class ServerGoesAway : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { server = new PrivateTestServer; }
    static void TearDownTestSuite() { delete server; }

    void SetUp() override
    {
        ASSERT_TRUE(server->started());
        db = std::make_unique<ProgramDatabase>();
        ASSERT_TRUE(db->opened);
        ASSERT_FALSE(parseDatabaseLocation(readConnectionSettings().Database).host.isEmpty());
        runSql("CREATE TABLE TPrvDett (iDettId INTEGER NOT NULL PRIMARY KEY, sDesc VARCHAR(60))");
        runSql("CREATE TABLE TPrvLink (iLinkId INTEGER NOT NULL PRIMARY KEY, "
               "iDettId INTEGER NOT NULL REFERENCES TPrvDett (iDettId))");
        xqc.setSQL("SELECT L.iLinkId, L.iDettId, D.sDesc FROM TPrvLink L "
                   "INNER JOIN TPrvDett D ON (D.iDettId = L.iDettId)");
        xqc.InsertSQL() << "INSERT INTO TPrvDett (iDettId, sDesc) VALUES (:VXGENID, :sDesc)"
                        << "INSERT INTO TPrvLink (iLinkId, iDettId) VALUES (:VXGENID, :iDettId)";
        xqc.VxBeforeExec = [this](TVxQueryDesc &d) {
            if (d.TableName != "TPRVLINK")
                return;
            d.Fields.setValue("iDettId", detail);
            if (haltBeforeLink) {
                haltBeforeLink = false;
                server->halt();
            }
        };
        xqc.VxAfterExec = [this](TVxQueryDesc &d) {
            if (d.TableName == "TPRVDETT")
                detail = d.Fields.value("VXGENID");
        };
        xqc.Open();
    }

    void TearDown() override
    {
        server->resume(); // a case that failed half-way leaves it stopped
        db.reset();
    }

    // The rows as another connection, opened after the server came back, reads them.
    int rows(const QString &table)
    {
        QSqlDatabase other = db->database.connect();
        return scalar(other, "SELECT COUNT(*) FROM " + table).toInt();
    }

    // Runs the work; the message it raised, empty when none.
    template <typename Work> QString refusal(Work work)
    {
        try {
            work();
        } catch (const EVxException &e) {
            return e.message();
        }
        return {};
    }

    void appendRow(const QString &text)
    {
        xqc.Append();
        xqc.SetFieldValue("sDesc", text);
    }

    static PrivateTestServer *server;
    std::unique_ptr<ProgramDatabase> db;
    TVxQueryCollection xqc;
    QVariant detail;
    bool haltBeforeLink = false;
};

PrivateTestServer *ServerGoesAway::server = nullptr;

TEST_F(ServerGoesAway, BetweenTwoStatementsOfARowNothingHalfWrittenStays)
{
    appendRow("Nuova");
    haltBeforeLink = true;
    const QString message = refusal([&] { xqc.Post(); });
    EXPECT_TRUE(message.contains(kLost)) << message.toStdString();
    EXPECT_FALSE(message.contains("Error writing")) << message.toStdString();
    // The row being typed is still there, to be saved again.
    EXPECT_EQ(xqc.state(), TVxQueryCollection::dsInsert);
    EXPECT_EQ(xqc.FieldValue("sDesc").toString(), QStringLiteral("Nuova"));

    server->resume();
    EXPECT_EQ(rows("TPrvDett"), 0);
    // Saving again reconnects and writes the row whole, once.
    EXPECT_EQ(refusal([&] { xqc.Post(); }), QString());
    EXPECT_EQ(rows("TPrvDett"), 1);
    EXPECT_EQ(rows("TPrvLink"), 1);
    EXPECT_EQ(xqc.RecordCount(), 1);
}

TEST_F(ServerGoesAway, WhileTheServerStaysAwayTheUserIsToldToRestart)
{
    server->halt();
    // Saving and reading (another list opened) both say so; nothing is shown as saved.
    appendRow("In attesa");
    const QString saving = refusal([&] { xqc.Post(); });
    EXPECT_TRUE(saving.contains(kRestart)) << saving.toStdString();
    EXPECT_EQ(xqc.state(), TVxQueryCollection::dsInsert);
    TVxQueryCollection reader;
    reader.setSQL(xqc.SQL());
    const QString reading = refusal([&] { reader.Open(); });
    EXPECT_TRUE(reading.contains(kRestart)) << reading.toStdString();
    EXPECT_FALSE(reader.Active());

    server->resume();
    EXPECT_EQ(refusal([&] { xqc.Post(); }), QString());
    EXPECT_EQ(refusal([&] { reader.Open(); }), QString());
    EXPECT_EQ(reader.RecordCount(), 1);
}

TEST_F(ServerGoesAway, InTheCallersTransactionItsWorkIsGoneAndSaid)
{
    {
        TVxTransaction tr(qqoVxGlobConn());
        ASSERT_TRUE(tr.StartTransaction());
        tr.Exec("INSERT INTO TPrvDett (iDettId, sDesc) VALUES (1, 'Prima')", {});
        server->halt();
        const QString message = refusal(
            [&] { tr.Exec("INSERT INTO TPrvDett (iDettId, sDesc) VALUES (2, 'Seconda')", {}); });
        EXPECT_TRUE(message.contains(kLost)) << message.toStdString();
        const QString commit = refusal([&] { tr.Commit(); });
        EXPECT_TRUE(commit.contains(kLost)) << commit.toStdString();
    }
    server->resume();
    TVxTransaction next(qqoVxGlobConn());
    ASSERT_TRUE(next.StartTransaction()) << next.lastError().toStdString();
    next.Exec("INSERT INTO TPrvDett (iDettId, sDesc) VALUES (3, 'Dopo')", {});
    next.Commit();
    EXPECT_EQ(rows("TPrvDett"), 1);
}

} // namespace
