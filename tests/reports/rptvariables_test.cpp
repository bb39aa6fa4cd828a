// The report variables as templates ask for them, and the reports of the page "Docenti"
// printed from their commands on the demo school.
#include "platform/attivazioni.h"
#include "platform/globalvars.h"
#include "platform/sqlparams.h"
#include "reportengine/reporttree.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelpargen.h"
#include "shell/qelreporttree.h"
#include "shell/qelutil.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QFileInfo>
#include <QMdiArea>
#include <QRegularExpression>

namespace {

const QVariant kPassed = QStringLiteral("(come passato)");

class RptVariablesTest : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        TVxWorkingContext::setReportDate(QDate(2008, 9, 16));
        objects->mainWindow()->show();
        objects->mainWindow()->ensureFirstActivation();
        ASSERT_TRUE((m = dmqelRptDataSets));
        UpdateParRptIni();
    }
    QVariant ask(const QString &name)
    {
        QVariant value = kPassed;
        m->ReportGetValue(name, value);
        return value;
    }
    // Null stays null; any other value compares as its text (a date as ISO).
    void expectAnswers(const QList<QPair<QString, QVariant>> &answers)
    {
        for (const auto &[name, expected] : answers) {
            const QVariant value = ask(name);
            EXPECT_TRUE(value.isNull() == expected.isNull() &&
                        value.toString() == expected.toString())
                << name.toStdString() << ": " << value.toString().toStdString();
        }
    }
    // How many windows the command opened, and the messages it showed.
    QPair<int, QStringList> run(const char *command)
    {
        DialogSeam::clearShown();
        const auto windows = objects->mainWindow()->mdiArea()->subWindowList().size();
        RunCommandShowingErrors(dmqelActivations->Item(command));
        return {int(objects->mainWindow()->mdiArea()->subWindowList().size() - windows),
                DialogSeam::shownTexts()};
    }

    ScriptedDialogs dialogs;
    TdmqelRptDataSets *m = nullptr;
};

TEST_F(RptVariablesTest, EveryNameIsAnsweredEveryOtherLeftAsPassed)
{
    // Session 2's seventh component is commitment; session 3's eighth, one since removed. The
    // deferred session of the year chosen, 2007/2008, has a phase of its own.
    runSql("INSERT INTO TCmpSca (iCmpScaId, iCmpId, iScaId, iCmpScaTass, iCmpScaInMedia) "
           "VALUES (13, 9, 1, 0, 0)");
    dmqelParGen->xpiCmp[1][6].SetValore(7);
    dmqelParGen->xpiCmp[2][7].SetValore(13);
    runSql("DELETE FROM TCmpSca WHERE iCmpScaId = 13");
    runSql("UPDATE TAnsSesDwg SET iAnsFreDwgId = 381 WHERE iAnsSesDwgId = 383");
    m->SetSelAnsId(38);
    QStringList names = QStringLiteral("Data stampe|NrFasiRecupero|Codice sessione di lavoro|"
                                       "Anno ID selezionato|Sessione ID selezionata|"
                                       "Sessione ID Differita|Recupero Differito|"
                                       "Codice anno scolastico lavoro|"
                                       "Codice anno scolastico precedente|"
                                       "Codice due anni scolastici precedenti|QedPasswd|"
                                       "TavrinWebUtente|TavrinWebPasswd")
                            .split('|');
    for (const QString s : {"1", "2", "3"}) {
        names << "Codice Sessione " + s << "Descrizione Sessione " + s;
        if (s != "3")
            names << "Data Inizio Sessione " + s << "Data Fine Sessione " + s;
        for (int k = 1; k <= 8; ++k) {
            for (const char *part : {"Cod", "Des", "Sig", "Sca"})
                names << QStringLiteral("Ses. %1 - %2. Componente %3").arg(s, part).arg(k);
        }
    }
    ASSERT_EQ(names.size(), 119);
    m->qquAai->Open();
    for (const QString &name : std::as_const(names)) {
        TVxStatementRecorder recorder;
        EXPECT_NE(ask(name), kPassed) << name.toStdString();
        for (const TVxStatementRecorder::Statement &st : recorder.statements()) // ids bound
            EXPECT_FALSE(st.sql.contains(QRegularExpression("=\\s*\\d+\\s*$")))
                << name.toStdString();
    }
    expectAnswers({{"Data stampe", "16/09/2008"},
                   {"NrFasiRecupero", 2},
                   {"Sessione ID Differita", 383},
                   {"Recupero Differito", 1},
                   {"Codice anno scolastico precedente", 38},
                   {"Data Fine Sessione 2", QDate(2009, 6, 10)},
                   {"Ses. 2 - Des. Componente 7", "Impegno"},
                   {"Ses. 2 - Des. Componente 8", ""},
                   {"Ses. 3 - Sca. Componente 8", QVariant()}});
    dmqelParGen->xpiSes1.SetValore(0);
    xgvmGlobalVar.SetValues(TVxWorkingContext::reportDateFormatKey(), "dddd d mmmm yyyy");
    expectAnswers({{"Data Inizio Sessione 1", ""}, {"Data stampe", "martedì 16 settembre 2008"}});
    TVxWorkingContext::setReportDate(QDate());
    for (const char *other : {"Data stampe", "data stampe", "Data Inizio Sessione 3", "DATE"})
        EXPECT_EQ(ask(other), kPassed) << other;
}

// Each report lists every teacher of the working session; each letter carries the credentials
// the teachers' program and the web service check (the working year's text, the school's raw
// code, which the password maps). Without the code, the letters end with the web commands'
// message.
TEST_F(RptVariablesTest, TheDocentiReportsPrintFromTheirCommands)
{
    writeFileBytes(db.mainDir.path() + "ETC/Lumeno/Sede.ini", "[SEDE]\r\nABCD01000X=TW0042\r\n");
    TdmVxRptFR &rpt = qelReportTree(dmqelActivations)->RptFR();
    // Each command sets the print date, whatever date another report left.
    rpt.SetDataStampe(QDate(2001, 1, 1));
    TVxWorkingContext::setReportDate(QDate(2009, 6, 12));
    QMap<QString, QString> printed; // the report's text, by command
    for (const char *command : {"xacRepInvio", "xacRepRice", "xacRepComPaswd"}) {
        ASSERT_EQ(run(command), qMakePair(1, QStringList())) << command;
        EXPECT_EQ(rpt.Report().UnansweredVariables(), QStringList()) << command;
        if (printed.isEmpty())
            saveScreenshot(objects->mainWindow(), "brogliaccio-invio.png");
        const QString pdf = db.mainDir.path() + command + ".pdf";
        rpt.ExportTo(rpt.PDFExport, pdf);
        ASSERT_EQ(runChecker("pdftotext", {"-layout", pdf, "-"}, &printed[command]), 0);
        EXPECT_TRUE(printed[command].contains("Stampato il 12/06/2009")) << command;
    }
    QSqlQuery q = runSql("SELECT A.sAnaCognome || ' ' || A.sAnaNome, M.sModDesc, T.dAaiRicevuto, "
                         "A.iAnaId, A.sAnaPwPert FROM TAai_AnaAppInvio T "
                         "JOIN TAnaCag C ON C.iAnaCagId = T.iAnaCagId "
                         "JOIN TAna_Anagrafiche A ON A.iAnaId = C.iAnaId "
                         "JOIN TMod_ModoInvio M ON M.iModId = T.iModId WHERE T.iAnsSesDwgId = 392");
    int teachers = 0;
    for (; q.next(); ++teachers) {
        const QString name = q.value(0).toString();
        const int ana = q.value(3).toInt();
        const QRegularExpression row("^" + name + "\\s+" + q.value(1).toString() + "\\s(.*)$",
                                     QRegularExpression::MultilineOption);
        EXPECT_TRUE(row.match(printed["xacRepInvio"]).hasMatch()) << name.toStdString();
        const QRegularExpressionMatch collected = row.match(printed["xacRepRice"]);
        EXPECT_TRUE(collected.hasMatch() &&
                    collected.captured(1).contains("08/06/2009") == !q.value(2).isNull())
            << name.toStdString();
        const QRegularExpressionMatch letter =
            QRegularExpression("Al prof\\. " + name +
                                   "\\n.*?Nome utente +(\\S+).*?Password +(\\S+)"
                                   ".*?Password dei file +(\\S+)",
                               QRegularExpression::DotMatchesEverythingOption)
                .match(printed["xacRepComPaswd"]);
        EXPECT_EQ(letter.capturedTexts().mid(1),
                  QStringList({MakeTavrinWebUtente(1, ana, ""),
                               MakeTavrinWebPasswd(ana, 39, "ABCD01000X", q.value(4).toString()),
                               MakeQedPasswd(ana, "2008/2009", "")}))
            << name.toStdString();
    }
    EXPECT_EQ(rpt.Pages().Pages.size(), std::size_t(teachers)); // one letter each
    const QString dump = rpt.Pages().dump();
    expectGolden(QFileInfo(__FILE__).absolutePath() + "/data/comunicazionepassword.txt",
                 dump.left(dump.indexOf("page 2 ")));

    for (const char *sql : {"UPDATE TSedInf_SedeInfo SET sSedMecCod = '  ' WHERE iSedId = 1",
                            "UPDATE TDwgSed SET lDwgSedMain = 0"}) {
        runSql(sql);
        QString refusal;
        try {
            MainSeatMecCode();
        } catch (const EVxException &e) {
            refusal = e.message().replace('\r', '\n'); // as the dialog shows it
        }
        EXPECT_EQ(run("xacRepComPaswd"), qMakePair(0, QStringList{refusal})) << sql;
    }
}

} // namespace
