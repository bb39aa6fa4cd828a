// Every report the demo school stores, prepared from the report tree as the office runs it
// ("Stampe" and "Docenti"), and the registers through the register wizard's run: each must
// build pages with no variable left unanswered (an unknown function, dataset or field ends
// the run), and its PDF must print real rows of the demo school.
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reportengine/reporttree.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/reports/demoselection.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QSqlQuery>

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
        TVxWorkingContext::setReportDate(QDate(2009, 6, 12));
        UpdateParRptIni();
        tree = qelReportTree(dmqelActivations);
        tree->Reload();
    }

    // The stored report from the tree; the selection, when it shows, chooses the pupil M00007
    // or the class 5A. The text of its PDF.
    QString prepare(int id)
    {
        if (id > 16200) // the "Stampe" reports read a chosen pupil or class
            queueDemoSelection();
        if (id == 16201) // the certificate's wording: the digital signature's
            DialogSeam::queueModalScript([](QDialog *d) {
                d->findChild<QCheckBox *>("chkfirmdig")->setChecked(true);
                d->findChild<QPushButton *>("buOk")->click();
                return int(mrNone);
            });
        TdmVxRptFR &rpt = tree->RptFR();
        rpt.SetDataStampe(QDate(2009, 6, 12));
        rpt.LoadReportFromVxDB(id);
        EXPECT_TRUE(rpt.PrepareReport()) << id;
        return exported(rpt, QDir::temp().filePath(QString("tavrin-stampa-%1.pdf").arg(id)));
    }

    // A register goes through the wizard's run (class 3C for the qualification registers,
    // else 5A), its PDF read before the run encrypts it.
    QString prepareRegister(int id)
    {
        TdmVxRptFR &rpt = tree->RptFR();
        QString text;
        qelVolumeHooks().afterStep = [&](QelVolumeStep step, const QString &folder,
                                         const QString &stem) {
            if (step == QelVolumeStep::Exported)
                text = exported(rpt, folder + stem + ".pdf");
        };
        const bool a4 = QList<int>{16169, 16171, 16182, 16183}.contains(id);
        const QString media = id > 3000000 ? "Stampa personalizzata" : a4 ? "A4" : "A3";
        EXPECT_NO_THROW(QelRegisterVolume::Export(*dmqelRptDataSets, rpt,
                                                  {{id >= 16179 && id <= 16183 ? 39023 : 39005},
                                                   id,
                                                   media,
                                                   "Registro generale dei voti"}));
        qelVolumeHooks() = {};
        return text;
    }

    QString exported(TdmVxRptFR &rpt, const QString &pdf)
    {
        EXPECT_FALSE(rpt.Pages().Pages.empty());
        EXPECT_EQ(rpt.Report().UnansweredVariables(), QStringList());
        const bool ours = !QFile::exists(pdf);
        if (ours)
            rpt.ExportTo(rpt.PDFExport, pdf);
        QString text;
        EXPECT_EQ(runChecker("pdftotext", {"-layout", pdf, "-"}, &text), 0);
        if (ours)
            QFile::remove(pdf);
        if (qEnvironmentVariableIsSet("TAVRIN_DUMP_REPORTS"))
            writeFileBytes(
                QDir::temp().filePath(QString("tavrin-stampa-%1.txt").arg(rpt.Report().Title)),
                text.toUtf8());
        return text.simplified();
    }

    ScriptedDialogs dialogs;
    TVxRptTreeView *tree = nullptr;
};

} // namespace

TEST_F(DemoReports, EveryStoredReportPrintsTheDemoSchool)
{
    // What proves real rows: the pupil M00007 (3A) of the pupil reports, 5A of the class
    // reports and the registers, 3C of the qualification registers; votes, sessions,
    // teachers, outcomes as each report prints them.
    const QStringList register5A = {"Barbieri Elisa", "Classe 5A", "Scrutinio finale"};
    const QStringList register3C = {"Caruso Giacomo", "Classe 3C", "esame di qualifica"};
    QMap<int, QStringList> proofs = {
        {16005, {"Marchetti Chiara", "1A 3A 5A"}},
        {16006, {"Marchetti Chiara", "1A 3A 5A"}},
        {16100, {"Al prof. Caruso Francesca", "2008/2009"}},
        {16201, {"Gatti Francesco", "Marchetti Chiara", "Documento informatico firmato"}},
        {16202,
         {"Gatti Francesco, classe 3A", "Primo periodo Scrutinio finale Sessione differita",
          "ITALIANO 8 8 0 9 9 8", "Esito: Ammesso alla classe successiva",
          "Prof.ssa Maria Bianchi"}},
        {16203,
         {"5A LICEO SCIENTIFICO", "Barbieri Vincenzo 8,44 41 Ammesso 8,0 8,0",
          "ITALIANO Marchetti Chiara (coordinatore)"}},
        {16204,
         {"1. Barbieri Elisa", "ITALIANO Scritto Otto", "CONDOTTA Impegno (su 2) Buono",
          "chiusa il 10/06/2009"}},
        {16205,
         {"Bianchi Antonio", "ITA, LAT.", "LATINO Studio individuale guidato",
          "Marchetti Chiara 10/06/2009"}},
        {16206,
         {"Gatti Francesco - classe 3A", "Via Garibaldi 8",
          "Credito scolastico: Interesse e impegno", "1. Gatti Francesco, classe 3A"}},
        {16207, {"Barbieri Elisa 7,11 7 < M <= 8", "2006/2007 2007/2008 2008/2009"}},
        {3000001, {"1. Barbieri Elisa", "ITALIANO 4 11,36 8 8 8", "Docente: Caruso Francesca"}},
    };
    for (int id : {16169, 16170, 16171, 16172, 16173, 16174, 16175, 16184})
        proofs[id] = register5A;
    for (int id : {16179, 16180, 16181, 16182, 16183})
        proofs[id] = register3C;
    proofs[3000002] = proofs[3000001];

    QSqlQuery q = runSql("SELECT iYRptId FROM TYRpt_RptTemplate WHERE sYRptCodAppl = 'QEL' AND "
                         "iYRptId NOT BETWEEN 16089 AND 16091 ORDER BY iYRptId");
    QList<int> stored;
    while (q.next())
        stored << q.value(0).toInt();
    EXPECT_EQ(stored, proofs.keys());
    for (int id : stored) {
        SCOPED_TRACE(id);
        const QString text =
            (id >= 16169 && id <= 16184) || id > 3000000 ? prepareRegister(id) : prepare(id);
        for (const QString &proof : proofs.value(id))
            EXPECT_TRUE(text.contains(proof)) << proof.toStdString();
        // The report card and the board as they are laid out, item by item.
        if (id == 16202 || id == 16203)
            expectGolden(kData + (id == 16202 ? "/pagella.txt" : "/tabellone.txt"),
                         tree->RptFR().Pages().dump());
    }
}
