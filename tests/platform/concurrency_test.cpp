// Two offices on one database at once, through the query collection as the lookup editors use
// it: whatever the other office does to the row being saved, nothing is overwritten unsaid,
// nothing typed is lost, and no wait outlasts the other office's save unasked. Runs on the
// embedded engine and, as test_platform_concurrency_server, on the run's Firebird server.
#include "platform/dialogseam.h"
#include "platform/lockwait.h"
#include "platform/messagedlg.h"
#include "platform/querycollection.h"
#include "platform/vxexception.h"
#include "tests/support/otheroffice.h"
#include "tests/support/testdb.h"

#include <QElapsedTimer>

#include <functional>

namespace {

const char kRename[] = "UPDATE TEnc_Encomio SET sEncLDesc = ? WHERE iEncId = ?";

struct Case
{
    const char *name;
    int lockWaitMs;
    // What the other office does to the row before this office saves.
    std::function<void(OtherOffice &, int key)> other;
    QList<int> answers;           // to the questions asked while waiting
    const char *refusal;          // what the message says; nullptr: the save goes through
    int questions;                // questions asked
    const char *storedAfter;      // the row's text once the other office is done; nullptr: gone
    int maxMs;                    // the save may not take longer
    const char *typed = "Mia";    // this office's text; nullptr: it saves without a change
    const char *shortAfter = "P"; // the row's short text, unless gone
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class TwoOffices : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        // A row of the test's own: no other table refers to it.
        key = scalar("SELECT MAX(iEncId) + 1 FROM TEnc_Encomio").toInt();
        runSql("INSERT INTO TEnc_Encomio (iEncId, sEncLDesc, sEncSDesc, iLocked) "
               "VALUES (?, 'Prima', 'P', 0)",
               {key});
        xqc.setSQL("SELECT Enc.iEncId, Enc.sEncLDesc, Enc.sEncSDesc, Enc.dDelete, Enc.iLocked "
                   "FROM TEnc_Encomio Enc ORDER BY Enc.iEncId");
        xqc.setAutoBuildSQL(true);
        xqc.Open();
        ASSERT_TRUE(xqc.Locate("iEncId", key));
    }
    void TearDown() override { setLockWaitTimeout(previousTimeout); }

    ProgramDatabase db;
    TVxQueryCollection xqc;
    int key = 0;
    int previousTimeout = lockWaitTimeout();
};

TEST_P(TwoOffices, TheSaveSaysWhatTheOtherOfficeDid)
{
    const Case &c = GetParam();
    setLockWaitTimeout(c.lockWaitMs);
    OtherOffice other(db.database);
    c.other(other, key);
    ScriptedDialogs dialogs;
    for (int answer : c.answers)
        DialogSeam::queueAnswer(answer);

    xqc.Edit();
    if (c.typed)
        xqc.SetFieldValue("sEncLDesc", c.typed);
    QElapsedTimer clock;
    clock.start();
    QString refusal;
    try {
        xqc.Post();
    } catch (const EVxException &e) {
        refusal = e.message();
    }
    const qint64 took = clock.elapsed();
    other.rollback(); // a transaction still open ends unsaved
    other.finish();

    EXPECT_LT(took, c.maxMs);
    EXPECT_EQ(DialogSeam::shownTexts().size(), c.questions);
    for (const QString &question : DialogSeam::shownTexts())
        EXPECT_TRUE(question.endsWith("Attendere ancora?")) << question.toStdString();
    const QVariant stored = scalar("SELECT sEncLDesc FROM TEnc_Encomio WHERE iEncId = ?", {key});
    if (c.storedAfter) {
        EXPECT_EQ(stored.toString(), c.storedAfter);
        EXPECT_EQ(scalar("SELECT sEncSDesc FROM TEnc_Encomio WHERE iEncId = ?", {key}).toString(),
                  QString::fromUtf8(c.shortAfter));
    } else
        EXPECT_FALSE(stored.isValid());
    if (!c.refusal) {
        EXPECT_EQ(refusal, QString());
        return;
    }
    EXPECT_TRUE(refusal.contains(c.refusal)) << refusal.toStdString();
    // The engine's English stays out of the office's message.
    EXPECT_FALSE(refusal.contains("deadlock") || refusal.contains("update conflicts") ||
                 refusal.contains("cancelled"))
        << refusal.toStdString();
    // What was typed is still there, ready to be saved again.
    EXPECT_EQ(xqc.state(), TVxQueryCollection::dsEdit);
    EXPECT_EQ(xqc.FieldValue("sEncLDesc").toString(), QStringLiteral("Mia"));
}

const Case kCases[] = {
    {"OtherSaveEndsWhileWaiting",
     5000,
     [](OtherOffice &o, int key) {
         o.hold(kRename, {"Sua", key});
         o.commitAfter(300);
     },
     {},
     "Un'altra postazione ha modificato gli stessi dati",
     0,
     "Sua",
     3000},
    {"OtherSaveUndoneWhileWaiting",
     5000,
     [](OtherOffice &o, int key) {
         o.hold(kRename, {"Sua", key});
         o.rollbackAfter(300);
     },
     {},
     nullptr,
     0,
     "Mia",
     3000},
    {"OtherProgramKeepsTheRowUserStops",
     400,
     [](OtherOffice &o, int key) {
         o.hold(kRename, {"Sua", key});
         o.rollbackAfter(5000); // the test's own way out, should the save wait unasked
     },
     {mrYes, mrNo},
     "Salvataggio annullato: i dati sono bloccati",
     2,
     "Prima",
     3000},
    {"OtherProgramLetsGoWhileTheUserWaits",
     400,
     [](OtherOffice &o, int key) {
         o.hold(kRename, {"Sua", key});
         o.rollbackAfter(600);
     },
     {mrYes, mrNo},
     nullptr,
     1,
     "Mia",
     3000},
    // Only what this office changed is written: the other office's column stays.
    {"OtherChangedAnotherColumn",
     5000,
     [](OtherOffice &o, int key) {
         o.save("UPDATE TEnc_Encomio SET sEncSDesc = 'S' WHERE iEncId = ?", {key});
     },
     {},
     nullptr,
     0,
     "Mia",
     3000,
     "Mia",
     "S"},
    {"NothingChangedHere",
     5000,
     [](OtherOffice &o, int key) {
         o.save(kRename, {"Sua", key});
     },
     {},
     nullptr,
     0,
     "Sua",
     3000,
     nullptr},
    {"OtherOfficeDeletedTheRow",
     5000,
     [](OtherOffice &o, int key) { o.save("DELETE FROM TEnc_Encomio WHERE iEncId = ?", {key}); },
     {},
     "La riga non è più nell'archivio",
     0,
     nullptr,
     3000},
};

INSTANTIATE_TEST_SUITE_P(Cases, TwoOffices, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
