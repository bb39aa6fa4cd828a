// The school's report set as the office prints it from "Stampe": the demo templates prepared on
// the demo school through the report tree, the selection and the wording questions scripted.
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reportengine/reporttree.h"
#include "reports/qelfselrptansbs.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";

class DemoReports : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        objects->mainWindow()->show();
        objects->mainWindow()->ensureFirstActivation();
        tree = qelReportTree(dmqelActivations);
        tree->Reload();
        TVxWorkingContext::setReportDate(QDate(2009, 6, 12)); // the page "Stampe" prints with it
    }

    // The selection dialog's answer: the pupils of those names ("Cognome Nome").
    static void queueSelection(const QStringList &names)
    {
        DialogSeam::queueModalScript([names](QDialog *dialog) {
            dialog->show(); // the list is read as the dialog opens
            const TClientDataSet &list = *static_cast<TfmqelSelRptAnsSesBs *>(dialog)->ListDataSet();
            const int surname = list.FieldByName("sAnaCognome")->Index();
            const int name = list.FieldByName("sAnaNome")->Index();
            QList<int> rows;
            for (int row = 0; row < list.RecordCount(); ++row)
                if (names.contains(list.Value(row, surname).toString().trimmed() + ' ' +
                                   list.Value(row, name).toString().trimmed()))
                    rows << row;
            static_cast<TfmqelSelRptAnsSesBs *>(dialog)->SetSelectedRows(rows);
            return int(mrOk);
        });
    }

    // Prepares the stored report, its questions queued before; its PDF's text.
    QString print(int id)
    {
        EXPECT_TRUE(tree->SelectReport(id));
        EXPECT_TRUE(tree->Preview());
        const QString pdf = QDir::temp().filePath(QStringLiteral("tavrin-demo-%1.pdf").arg(id));
        tree->RptFR().ExportTo(tree->RptFR().PDFExport, pdf);
        QString text;
        EXPECT_EQ(runChecker("pdftotext", {"-layout", pdf, "-"}, &text), 0);
        QFile::remove(pdf);
        return text;
    }

    ScriptedDialogs dialogs;
    TVxRptTreeView *tree = nullptr;
};

} // namespace

// The certificate carries the wordings chosen once for its title, on every pupil's page.
TEST_F(DemoReports, TheCertificatePrintsThePupilAndTheWordingChosenOnce)
{
    queueSelection({"Gatti Francesco", "Sala Pietro"});
    DialogSeam::queueModalScript([](QDialog *dialog) {
        for (const char *box : {"chkcertnprod", "chkfirmdig", "ckNonChiedere"})
            dialog->findChild<QCheckBox *>(box)->setChecked(true);
        dialog->findChild<QPushButton *>("buOk")->click();
        return int(mrNone);
    });
    const QString text = print(16201);
    expectGolden(kData + "/certificato.txt", tree->RptFR().Report().Pages().dump());
    EXPECT_EQ(tree->RptFR().Report().UnansweredVariables(), QStringList());
    EXPECT_EQ(DialogSeam::shownTexts().count("Certificato di frequenza"), 1);
    for (const char *proof : {"Gatti Francesco", "Sala Pietro", "nato/a il 24 luglio 1992",
                              "Il presente certificato non può essere prodotto",
                              "Documento informatico firmato digitalmente"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(proof))) << proof;
    EXPECT_FALSE(text.contains("La firma è omessa"));
}
