// The template store on the demo school: saved bytes come back unchanged, the list follows the
// application code, and loading refuses what is not a template of ours by its number.
#include "reportengine/reportengine.h"
#include "reportengine/reportstore.h"
#include "tests/support/testdb.h"

#include <gtest/gtest.h>

namespace {

class ReportStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(program.opened); }

    ProgramDatabase program;
    TfrReportStore store;
};

TEST_F(ReportStoreTest, SavedBytesComeBackUnchangedAndReplaceByNumber)
{
    // A template with accents, and a body that is no text at all: the store keeps bytes.
    const QByteArray pagella =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<report version=\"1\" title=\"Pagella "
        "àèìòù €\" paper=\"A4\"/>\n";
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(char(i));
    store.Save({3000500, "Pagella àèìòù €", 2, "QEL"}, pagella);
    store.Save({3000501, "Modello altrui", std::nullopt, "ZZZ"}, binary);

    EXPECT_EQ(store.Bytes(3000500), pagella);
    EXPECT_EQ(store.Bytes(3000501), binary);
    EXPECT_EQ(store.Load(3000500).Title, "Pagella àèìòù €");

    const auto listed = [&](const QString &codAppl, int id) -> std::optional<TfrStoredReport> {
        for (const TfrStoredReport &r : store.List(codAppl)) {
            if (r.Id == id)
                return r;
        }
        return std::nullopt;
    };
    const std::optional<TfrStoredReport> saved = listed("QEL", 3000500);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->Description, "Pagella àèìòù €");
    EXPECT_EQ(saved->Version, 2);
    EXPECT_FALSE(listed("QEL", 3000501));
    EXPECT_TRUE(listed("ZZZ", 3000501));

    // Saving the number again replaces the row, version taken away included.
    store.Save({3000500, "Pagella nuova", std::nullopt, "QEL"}, binary);
    EXPECT_EQ(store.Bytes(3000500), binary);
    EXPECT_FALSE(listed("QEL", 3000500)->Version);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM TYRpt_RptTemplate WHERE iYRptId = ?", {3000500}).toInt(),
              1);
}

// The demo school's rows: the templates of reports/templates/ by number, the others kept
// with a body that loading refuses, saying which report it is.
TEST_F(ReportStoreTest, DemoSchoolTemplatesLoadByNumber)
{
    struct Case
    {
        int id;
        const char *title; // nullptr: refused
        const char *says;
    };
    const Case cases[] = {
        {16005, "Brogliaccio invio", nullptr},
        {16006, "Brogliaccio raccolta", nullptr},
        {16100, "Comunicazione password", nullptr},
        {16089, nullptr, "non è un modello XML"},
        {4242, nullptr, "Il report 4242 non è nell'archivio."},
    };
    QHash<int, QString> described;
    for (const TfrStoredReport &r : store.List("QEL"))
        described.insert(r.Id, r.Description);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        TfrReport report;
        if (c.title) {
            report.LoadReportFromVxDB(c.id);
            EXPECT_EQ(report.Title, c.title);
            EXPECT_EQ(described.value(c.id), c.title);
            continue;
        }
        try {
            report.LoadReportFromVxDB(c.id);
            ADD_FAILURE() << "loaded";
        } catch (const EVxException &e) {
            EXPECT_TRUE(e.message().contains(QString::number(c.id)));
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.says)))
                << e.message().toStdString();
        }
    }
}

} // namespace
