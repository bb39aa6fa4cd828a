// The report tree of the page "Stampe" in the program as started: what it lists, how a run of
// the chosen report goes (the command's check first, then the report component's events), and
// the "Docenti" reports previewed through it over the data modules it may read.
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reportstore.h"
#include "reportengine/reporttree.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

constexpr int kEvents = 3000201;

class ReportTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        xgvmGlobalVar.SetValues(TVxWorkingContext::reportDateKey(), QDate(2009, 6, 12));
        TfrReportStore().Save(
            {kEvents, "Prova degli eventi", std::nullopt, "QEL"},
            R"(<report version="1" title="Prova degli eventi"><report-title height="10">)"
            R"(<text name="Riga" left="0" top="0" width="180" height="5">[Scuola] [Anno] del [DATE]</text>)"
            R"(</report-title></report>)");
        objects = std::make_unique<TavrinObjects>();
        main = objects->mainWindow();
        main->show();
        main->ensureFirstActivation();
        tree = qelReportTree(dmqelActivations);
        ASSERT_NE(tree, nullptr);
    }

    QStringList listed() const
    {
        QStringList out;
        for (int i = 0; i < tree->tvReports()->topLevelItemCount(); ++i)
            out << tree->tvReports()->topLevelItem(i)->text(0);
        return out;
    }

    ProgramDatabase db;
    std::unique_ptr<TavrinObjects> objects;
    TfmqelMain *main = nullptr;
    TVxRptTreeView *tree = nullptr;
};

// The tree stands in the page "Stampe" and lists the stored reports of "QEL" only, by
// description; the command brings that page forward.
TEST_F(ReportTreeTest, ListsTheReportsOfItsApplicationCodeInThePageStampe)
{
    TfrReportStore().Save({3000202, "Anagrafe alunni", std::nullopt, "ZEL"},
                          R"(<report version="1" title="Anagrafe alunni"/>)");
    tree->Reload();
    const QStringList reports = listed();
    EXPECT_EQ(
        reports.size(),
        scalar("SELECT COUNT(*) FROM TYRpt_RptTemplate WHERE sYRptCodAppl = ?", {"QEL"}).toInt());
    EXPECT_TRUE(reports.contains("Brogliaccio invio"));
    EXPECT_TRUE(reports.contains("Prova degli eventi"));
    EXPECT_FALSE(reports.contains("Anagrafe alunni"));
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));

    TVxOutlookBar *bar = main->mxOLBar();
    bar->ActivatePage(0);
    ScriptedDialogs dialogs;
    EXPECT_TRUE(dmqelActivations->Item("xarTavrin")->Execute());
    EXPECT_EQ(bar->PageCaption(bar->ActivePage()), "Stampe");
    EXPECT_TRUE(tree->isVisible());
    ASSERT_TRUE(tree->SelectReport(16005));
    saveScreenshot(main, "stampe-elenco-report.png");
}

// Preview, print and PDF of the chosen report each run the command's check first (which passes
// the print date), then the report component's events in order: refresh, the variables, the
// end of the report. A refused check runs nothing.
TEST_F(ReportTreeTest, EachRunGoesThroughTheCommandAndTheEventsInOrder)
{
    QStringList log;
    TdmVxRptFR &rpt = tree->RptFR();
    rpt.OnRefresh = [&log] { log << "refresh"; };
    rpt.OnGetValue = [&log](const QString &name, QVariant &value) {
        log << "var " + name;
        if (name == "Scuola")
            value = "Liceo Galilei";
        else if (name == "Anno")
            value = "2008/2009";
    };
    rpt.OnEndReport = [&log] { log << "end"; };
    auto *command = dmqelActivations->ItemAs<TVxAttReport>("xarTavrin");
    const TVxAttItem::BeforeExecuteHandler check = command->BeforeExecute;
    QTemporaryDir dir;
    tree->Reload();
    ASSERT_TRUE(tree->SelectReport(kEvents));

    const QStringList events = {"refresh", "var Scuola", "var Anno", "var DATE", "end"};
    struct Case
    {
        const char *what;
        bool (TVxRptTreeView::*run)();
        QVariant answer;
        QString file; // what the run writes
        bool refused;
    };
    const Case cases[] = {
        {"preview", &TVxRptTreeView::Preview, QVariant(), QString(), false},
        {"print", &TVxRptTreeView::Print, dir.filePath("stampa.pdf"), dir.filePath("stampa.pdf"),
         false},
        {"PDF", &TVxRptTreeView::ExportPdf, dir.filePath("eventi"), dir.filePath("eventi.pdf"),
         false},
        {"refused", &TVxRptTreeView::Preview, QVariant(), QString(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDialogs dialogs;
        log.clear();
        rpt.SetDataStampe(QDate());
        main->mdiArea()->closeAllSubWindows();
        command->BeforeExecute = [&](TVxAttItem *sender, bool &allowed) {
            check(sender, allowed);
            allowed = !c.refused;
        };
        if (c.answer.isValid())
            DialogSeam::queueAnswer(c.answer);
        EXPECT_EQ((tree->*c.run)(), !c.refused);
        EXPECT_EQ(log, c.refused ? QStringList() : events);
        if (!c.file.isEmpty()) {
            EXPECT_TRUE(QFileInfo::exists(c.file));
        }
        if (c.refused)
            continue;
        // The check passed the working context's print date.
        EXPECT_EQ(rpt.Pages().Pages.front().Items.front().Text,
                  "Liceo Galilei 2008/2009 del " + frDisplayText(QDate(2009, 6, 12)));
        const QList<QMdiSubWindow *> windows = main->mdiArea()->subWindowList();
        EXPECT_EQ(windows.size(), c.run == &TVxRptTreeView::Preview ? 1 : 0);
    }
    command->BeforeExecute = check;
}

// "Brogliaccio invio" previews through the tree's module, reading the report dataset of the
// module that registered itself, not the one of a module outside the tree's names.
TEST_F(ReportTreeTest, DocentiReportsReadOnlyTheModulesOfTheTree)
{
    const auto module = [](const char *name, const char *teacher) {
        auto m = std::make_unique<TfrDataModule>(name);
        TfrQuery *q = m->AddQuery("qquAai");
        q->setSQL(QStringLiteral(
                      "SELECT '%1' AS sDocNome, 'Servizio web' AS sModDesc, '5A' AS ClasseCoor1, "
                      "'' AS ClasseCoor2, '' AS ClasseCoor3, 1 AS iAaiInviato, "
                      "DATE '2009-06-10' AS dAaiInviato, 'C:\\Invio' AS sAaiDirInviato, "
                      "'2008/2009' AS sAnsAnnoDesc FROM RDB$DATABASE")
                      .arg(teacher));
        m->AddReportDataSet("frdqquAai", q);
        return m;
    };
    const auto outsider = module("dmEstraneo", "Intruso Ignoto"); // created first: found first
    const auto reports = module("dmqelRptDataSets", "Rossi Mario");
    tree->RptFR().RegisterDataModule("dmqelRptDataSets");

    ScriptedDialogs dialogs;
    EXPECT_TRUE(dmqelActivations->Item("xacRepInvio")->Execute());
    EXPECT_TRUE(DialogSeam::shown().isEmpty()) << DialogSeam::shownTexts().join("\n").toStdString();
    const QString dump = tree->RptFR().Pages().dump();
    EXPECT_TRUE(dump.contains("Rossi Mario")) << dump.toStdString();
    EXPECT_FALSE(dump.contains("Intruso"));
    const QList<QMdiSubWindow *> windows = main->mdiArea()->subWindowList();
    ASSERT_EQ(windows.size(), 1);
    auto *preview = qobject_cast<TfrPreviewForm *>(windows.first()->widget());
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->windowTitle(), "Anteprima - Brogliaccio invio");
    // Its icon is command image 4.
    EXPECT_EQ(preview->windowIcon().pixmap(16).toImage(),
              main->ilCommands().icon(4).pixmap(16).toImage());
}

} // namespace
