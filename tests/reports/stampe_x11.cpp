// Run by tests/makeup/run_under_xvfb.sh on a private X server: a report card and a class board
// of the demo school in the preview window, as the office sees them. The screenshots go to
// $TAVRIN_SCREENSHOTS.
#include "reportengine/reportpreview.h"
#include "reportengine/reporttree.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/reports/demoselection.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QTest>

TEST_F(RunningProgram, ReportCardAndBoardInThePreview)
{
    ScriptedDialogs dialogs;
    objects->mainWindow()->show();
    objects->mainWindow()->ensureFirstActivation();
    UpdateParRptIni();
    TdmVxRptFR &rpt = qelReportTree(dmqelActivations)->RptFR();
    rpt.SetDataStampe(QDate(2009, 6, 12));
    for (const auto &[id, name] : {std::pair{16202, "pagella"}, {16203, "tabellone"}}) {
        queueDemoSelection();
        rpt.LoadReportFromVxDB(id);
        ASSERT_TRUE(rpt.PrepareReport()) << id;
        TfrPreviewForm *preview = rpt.ShowPreparedReport();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
        preview->View()->SetZoom(TfrZoom::PageWidth);
        saveScreenshot(preview, QStringLiteral("%1.png").arg(name));
        preview->close();
    }
}
