// Run by tests/makeup/run_under_xvfb.sh on a private X server: the register wizard's three
// pages and the first pages of an A4 and an A3 register in the preview window, as the office
// sees them. The screenshots go to $TAVRIN_SCREENSHOTS.

#include "platform/clientdataset.h"
#include "platform/dbgridframes.h"
#include "platform/dialogseam.h"
#include "platform/frames.h"
#include "platform/messagedlg.h"
#include "reportengine/reportmodule.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reporttree.h"
#include "reports/qelfgestionevolumi.h"
#include "reports/qelfstampaverbali.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

TEST_F(RunningProgram, RegisterWizardAndRegistersOnTheDemoSchool)
{
    ScriptedDialogs dialogs;
    objects->mainWindow()->show();
    objects->mainWindow()->ensureFirstActivation();
    ASSERT_TRUE(dmqelRptDataSets);
    UpdateParRptIni();

    TfmQelStampaVerbali wizard;
    wizard.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
    wizard.dlClassi()->lvLeft()->item(0)->setSelected(true);
    wizard.dlClassi()->MoveSelectedRight();
    saveScreenshot(&wizard, QStringLiteral("registri_fase1.png"));
    wizard.Next();
    saveScreenshot(&wizard, QStringLiteral("registri_fase2.png"));
    wizard.Next();
    saveScreenshot(&wizard, QStringLiteral("registri_fase3.png"));

    // The prepared register in the preview, before the run packs it.
    TdmVxRptFR &rpt = qelReportTree(dmqelActivations)->RptFR();
    for (const auto &[reportId, media] : {std::pair{16169, "A4"}, {16170, "A3"}}) {
        const QString name = QStringLiteral("registro_%1").arg(QLatin1String(media)).toLower();
        qelVolumeHooks().afterStep = [&rpt, name](QelVolumeStep step, const QString &,
                                                  const QString &) {
            if (step != QelVolumeStep::Exported)
                return;
            TfrPreviewForm *preview = rpt.ShowPreparedReport();
            QTest::qWaitForWindowExposed(preview);
            preview->View()->SetZoom(TfrZoom::WholePage);
            saveScreenshot(preview, name + ".png");
            preview->View()->SetPageIndex(2); // the first pupil
            saveScreenshot(preview, name + "_alunno.png");
            preview->close();
        };
        QelRegisterVolume::Export(
            *dmqelRptDataSets, rpt,
            {wizard.ClassIds(), reportId, media, "Registro generale dei voti"});
    }
    qelVolumeHooks() = {};

    // The two volumes and a copy of the first under a name of an earlier day, in the volume
    // management window; the wizard's volume opens in the preview folder under its own name.
    const QString folder = QelRegisterVolume::RegisterFolder();
    const QStringList volumes = QDir(folder).entryList({"*.kaf"}, QDir::Files, QDir::Name);
    ASSERT_EQ(volumes.size(), 2);
    ASSERT_TRUE(QFile::copy(folder + volumes[0], folder + volumes[0].left(5) +
                                                     volumes[0].mid(5).section('_', 0, 0) +
                                                     "_01_01_2008_91530.kaf"));
    TfmQelGestioneVolumi management;
    management.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&management));
    saveScreenshot(&management, QStringLiteral("registri_volumi.png"));
    EXPECT_EQ(management.cdsVolumi().RecordCount(), 3);
    management.grVolumi()->SetCurrentSourceRow(1); // the copy's earlier day sorts first
    DialogSeam::queueAnswer(int(mrYes));
    management.buAnteprima()->click();
    EXPECT_TRUE(QFile::exists(folder + "tmp/" + volumes[0].chopped(4) + ".pdf"));
}
