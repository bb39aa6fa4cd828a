#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reportengine/reporttree.h"
#include "reports/qelfselrptansbs.h"
#include "reports/qetrptfunctions.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>

#include <array>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";
const QString W1 = "Il presente certificato non può essere prodotto agli organi della pubblica "
                   "amministrazione o ai privati gestori di pubblici servizi.";
const QString W2 = "La firma è omessa ai sensi dell’art. 3, D.to Lgs. 12/02/1993 n. 39.";
const QString W3 = "Documento informatico firmato digitalmente ai sensi del D.Lgs. n. 82/2005 e "
                   "norme correlate.";

// The office's answer: the boxes ticked ("13"), "+" for "Non chiedere più", "N" for "No".
void queueAnswer(const QString &a)
{
    DialogSeam::queueModalScript([a](QDialog *d) {
        const char *const boxes[] = {"chkcertnprod", "chkFirmaomessa", "chkfirmdig"};
        for (int i = 0; i < 3; ++i)
            d->findChild<QCheckBox *>(boxes[i])->setChecked(a.contains(QChar(u'1' + i)));
        d->findChild<QCheckBox *>("ckNonChiedere")->setChecked(a.contains('+'));
        d->findChild<QPushButton *>(a.contains('N') ? "buCancel" : "buOk")->click();
        return int(mrNone);
    });
}

class Certificates : public RunningProgram
{
protected:
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(Certificates, TheWordingIsAskedOncePerTitleUnlessToldNotTo)
{
    // An evaluation: the report's title, the answer (empty: no question), the text printed.
    using Step = std::array<QString, 3>;
    const QList<QList<Step>> cases = {
        {{"Pagella", "31", W1 + "\r\n" + W3}, {"Pagella", "2", W2}},
        {{"Pagella", "1N", ""}, {"Pagella", "123", W1 + "\r\n" + W2 + "\r\n" + W3}},
        {{"Pagella", "12+N", ""}, {"Pagella", "", ""}},
        {{"Pagella", "2+", W2},
         {"Nulla osta", "3+", W3},
         {"Pagella", "", W2},
         {"pagella", "1", W1}},
        {{"", "2+", W2}, {"", "", W2}},
    };
    for (const QList<Step> &steps : cases) {
        TElencoReportL183 answers;
        for (const auto &[title, answer, printed] : steps) {
            SCOPED_TRACE(title.toStdString() + " " + answer.toStdString());
            DialogSeam::clearShown();
            if (!answer.isEmpty())
                queueAnswer(answer);
            EXPECT_EQ(GetDicituraL183(answers, title), printed);
            // The dialog's caption is the title, "Certificato" when there is none.
            EXPECT_EQ(DialogSeam::shownTexts(),
                      answer.isEmpty() ? QStringList()
                                       : QStringList(title.isEmpty() ? "Certificato" : title));
        }
    }
    // "Sì" with no box ticked is refused and the dialog stays open for the next try.
    queueAnswer("");
    DialogSeam::queueAnswer(int(mrOk));
    queueAnswer("2");
    DialogSeam::clearShown();
    TElencoReportL183 answers;
    EXPECT_EQ(GetDicituraL183(answers, "Nulla osta"), W2);
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList({"Nulla osta",
                           "Per continuare selezionare una dicitura da inserire nella stampa."}));
}

// The certificate from the report tree, for the pupil chosen in the selection.
TEST_F(Certificates, TheDemoCertificatePrintsThePupilAndTheWording)
{
    objects->mainWindow()->show();
    objects->mainWindow()->ensureFirstActivation();
    TVxWorkingContext::setReportDate(QDate(2009, 6, 12));
    TVxRptTreeView *tree = qelReportTree(dmqelActivations);
    tree->Reload();
    ASSERT_TRUE(tree->SelectReport(16201));
    DialogSeam::queueModalScript([](QDialog *d) {
        d->show(); // the list is read as the dialog opens
        auto *selection = static_cast<TfmqelSelRptAnsSesBs *>(d);
        const TClientDataSet &list = *selection->ListDataSet();
        for (int row = 0; row < list.RecordCount(); ++row)
            if (list.Value(row, list.FieldByName("sAnaCagCode")->Index()).toString() == "M00007")
                selection->SetSelectedRows({row});
        return int(mrOk);
    });
    queueAnswer("13");
    ASSERT_TRUE(tree->Preview());
    expectGolden(kData + "/certificato.txt", tree->RptFR().Report().Pages().dump());
    EXPECT_EQ(tree->RptFR().Report().UnansweredVariables(), QStringList());
    const QString pdf = db.mainDir.path() + "certificato.pdf";
    tree->RptFR().ExportTo(tree->RptFR().PDFExport, pdf);
    QString text;
    EXPECT_EQ(runChecker("pdftotext", {pdf, "-"}, &text), 0);
    QFile::remove(pdf);
    for (const QString &proof : QStringList{"Gatti Francesco", "Marchetti Chiara", W3.left(40)})
        EXPECT_TRUE(text.contains(proof)) << proof.toStdString();
}
