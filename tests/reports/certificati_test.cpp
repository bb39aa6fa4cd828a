// Certificates: the legal wordings asked once per report title, and the demo certificate
// printed from the report tree on the demo school.
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

#include <optional>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";
const QString W1 = "Il presente certificato non può essere prodotto agli organi della pubblica "
                   "amministrazione o ai privati gestori di pubblici servizi.";
const QString W2 = "La firma è omessa ai sensi dell’art. 3, D.to Lgs. 12/02/1993 n. 39.";
const QString W3 = "Documento informatico firmato digitalmente ai sensi del D.Lgs. n. 82/2005 e "
                   "norme correlate.";

// The office's answer to the wording question: the boxes ticked ("13"), "Non chiedere più",
// "Sì" or "No".
struct Answer
{
    QString boxes;
    bool nonChiedere = false;
    bool yes = true;
};

void queueAnswer(const Answer &a)
{
    DialogSeam::queueModalScript([a](QDialog *d) {
        const char *const boxes[] = {"chkcertnprod", "chkFirmaomessa", "chkfirmdig"};
        for (int i = 0; i < 3; ++i)
            d->findChild<QCheckBox *>(boxes[i])->setChecked(a.boxes.contains(QChar(u'1' + i)));
        d->findChild<QCheckBox *>("ckNonChiedere")->setChecked(a.nonChiedere);
        d->findChild<QPushButton *>(a.yes ? "buOk" : "buCancel")->click();
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
    // An evaluation: the report's title, the answer (none: no question), the text printed.
    struct Step
    {
        QString title;
        std::optional<Answer> answer;
        QString printed;
    };
    const QList<QList<Step>> cases = {
        {{"Pagella", Answer{"31"}, W1 + "\r\n" + W3},
         {"Pagella", Answer{"123"}, W1 + "\r\n" + W2 + "\r\n" + W3}},
        {{"Pagella", Answer{"1", false, false}, ""}, {"Pagella", Answer{"2"}, W2}},
        {{"Pagella", Answer{"12", true, false}, ""}, {"Pagella", std::nullopt, ""}},
        {{"Pagella", Answer{"2", true}, W2},
         {"Nulla osta", Answer{"3", true}, W3},
         {"Pagella", std::nullopt, W2},
         {"pagella", Answer{"1"}, W1}},
        {{"", Answer{"2", true}, W2}, {"", std::nullopt, W2}},
    };
    for (const QList<Step> &steps : cases) {
        TElencoReportL183 answers;
        for (const Step &step : steps) {
            SCOPED_TRACE(step.title.toStdString() + " " + step.printed.left(10).toStdString());
            DialogSeam::clearShown();
            if (step.answer)
                queueAnswer(*step.answer);
            EXPECT_EQ(GetDicituraL183(answers, step.title), step.printed);
            // The dialog's caption is the title, "Certificato" when there is none.
            EXPECT_EQ(DialogSeam::shownTexts(),
                      step.answer ? QStringList(step.title.isEmpty() ? "Certificato" : step.title)
                                  : QStringList());
        }
    }
    // "Sì" with no box ticked is refused and the dialog stays open for the next try.
    queueAnswer({});
    DialogSeam::queueAnswer(int(mrOk));
    queueAnswer({"2"});
    DialogSeam::clearShown();
    TElencoReportL183 answers;
    EXPECT_EQ(GetDicituraL183(answers, "Nulla osta"), W2);
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList({"Nulla osta",
                           "Per continuare selezionare una dicitura da inserire nella stampa."}));
}

// The certificate from the report tree: the wording asked once for both pupils.
TEST_F(Certificates, TheDemoCertificatePrintsThePupilsAndTheWording)
{
    objects->mainWindow()->show();
    objects->mainWindow()->ensureFirstActivation();
    TVxWorkingContext::setReportDate(QDate(2009, 6, 12));
    TVxRptTreeView *tree = qelReportTree(dmqelActivations);
    tree->Reload();
    ASSERT_TRUE(tree->SelectReport(16201));
    DialogSeam::queueModalScript([](QDialog *d) {
        d->show(); // the list is read as the dialog opens
        const TClientDataSet &list = *static_cast<TfmqelSelRptAnsSesBs *>(d)->ListDataSet();
        QList<int> rows;
        for (int row = 0; row < list.RecordCount(); ++row)
            if (QStringList({"Gatti Francesco", "Sala Pietro"})
                    .contains(list.Value(row, list.FieldByName("sAnaCognome")->Index())
                                  .toString()
                                  .trimmed() +
                              ' ' +
                              list.Value(row, list.FieldByName("sAnaNome")->Index())
                                  .toString()
                                  .trimmed()))
                rows << row;
        static_cast<TfmqelSelRptAnsSesBs *>(d)->SetSelectedRows(rows);
        return int(mrOk);
    });
    queueAnswer({"13", true});
    ASSERT_TRUE(tree->Preview());
    expectGolden(kData + "/certificato.txt", tree->RptFR().Report().Pages().dump());
    EXPECT_EQ(tree->RptFR().Report().UnansweredVariables(), QStringList());
    EXPECT_EQ(DialogSeam::shownTexts().count("Certificato di frequenza"), 1);
    const QString pdf = QDir::temp().filePath("tavrin-certificato.pdf");
    tree->RptFR().ExportTo(tree->RptFR().PDFExport, pdf);
    QString text;
    EXPECT_EQ(runChecker("pdftotext", {pdf, "-"}, &text), 0);
    QFile::remove(pdf);
    for (const QString &proof : QStringList{"Gatti Francesco", "Sala Pietro", "24 luglio 1992",
                                            "Marchetti Chiara", W1.left(40), W3.left(40)})
        EXPECT_TRUE(text.contains(proof)) << proof.toStdString();
}
