#include "exports/qelfexport.h"
#include "platform/cp1252.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/messagedlg.h"
#include "shell/qelactivations.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

namespace {

const QString kIni = QStringLiteral("qew/QewIni.ini");
const QString kSuccess =
    QStringLiteral("Operazione completata con successo\nI file sono presenti nella cartella ");

class ExportWindow : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        root = out.path() + QStringLiteral("/sta");
        TVxINIFile(QStringLiteral("QEW/qewini.ini")).WriteString("Export", "Cartella", root);
    }
    // Runs "Dati per RICERCA": the window is shown, then the script works it. Whether it was
    // still open after the script; the messages shown.
    bool run(const std::function<void(TfmQelExport *)> &script)
    {
        DialogSeam::clearShown();
        messages.clear();
        bool open = false;
        DialogSeam::queueModalScript([&](QDialog *dialog) {
            auto *window = qobject_cast<TfmQelExport *>(dialog);
            window->show();
            QCoreApplication::processEvents();
            if (window->isVisible())
                script(window);
            open = window->isVisible();
            return int(mrNone);
        });
        EXPECT_TRUE(dmqelActivations->Item(QStringLiteral("xafStat"))->Execute());
        for (const DialogSeam::Shown &shown : DialogSeam::shown())
            if (shown.kind == QLatin1String("message"))
                messages << shown.text;
        return open;
    }
    static void exportPupils(TfmQelExport *window, bool split = false)
    {
        window->chkAlunni()->setChecked(true);
        window->chkSedi()->setChecked(split);
        window->buEsporta()->click();
    }
    QByteArray log() const
    {
        QFile file(root + QStringLiteral("/controllo.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    ScriptedDialogs dialogs;
    QTemporaryDir out;
    QString root;
    QStringList messages;
};

} // namespace

// Each refusal leaves the window as it was (or closes it, without a session) and writes nothing.
TEST_F(ExportWindow, RefusalsWriteNothing)
{
    struct Case
    {
        const char *name;
        std::function<void(TfmQelExport *)> script;
        const char *message;
        bool staysOpen;
    };
    const Case cases[] = {
        {"no source", [](TfmQelExport *w) { w->buEsporta()->click(); },
         "Impossibile esportare i dati. Nessuna fonte selezionata.", true},
        {"no school year",
         [](TfmQelExport *w) {
             w->cboAnnoAlunni()->setCurrentIndex(-1);
             exportPupils(w);
         },
         "Scegliere l'anno scolastico degli alunni da esportare.", true},
        {"no working session", [](TfmQelExport *) { ADD_FAILURE() << "the window stayed"; },
         "Dati mancanti. Impossibile esportare i dati", false},
    };
    for (const Case &c : cases) {
        if (!c.staysOpen)
            TVxWorkingContext::setSession(0);
        EXPECT_EQ(run(c.script), c.staysOpen) << c.name;
        EXPECT_EQ(messages, QStringList{QString::fromUtf8(c.message)}) << c.name;
        EXPECT_FALSE(QDir(root).exists()) << c.name;
    }
}

TEST_F(ExportWindow, ACleanExportIsToldLoggedAndKeepsTheChoices)
{
    TVxINIFile ini(kIni);
    ini.WriteInteger("Export", "Alunni", 38);
    ini.WriteInteger("Export", "Exit", 37);
    EXPECT_FALSE(run([](TfmQelExport *w) {
        EXPECT_EQ(w->cboAnnoAlunni()->currentText(), QStringLiteral("2007-2008"));
        EXPECT_EQ(w->cboAnnoExit()->currentText(), QStringLiteral("2006-2007"));
        EXPECT_EQ(w->cboDwgAlunni()->currentData().toInt(), 2);
        w->cboAnnoAlunni()->setCurrentIndex(w->cboAnnoAlunni()->findText("2006-2007"));
        saveScreenshot(w, QStringLiteral("exports-estrazione.png"));
        exportPupils(w);
    }));
    EXPECT_EQ(messages, QStringList{kSuccess + root});
    EXPECT_EQ(ini.ReadInteger("Export", "Alunni", 0), 37);
    EXPECT_EQ(ini.ReadInteger("Export", "DwgAlunni", 0), 2);

    const QByteArray bytes = log();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    QStringList lines = decodeCp1252(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QString when = QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d");
    ASSERT_EQ(lines.size(), 12);
    EXPECT_TRUE(
        QRegularExpression("^Inizio operazione: " + when + "$").match(lines.first()).hasMatch());
    EXPECT_TRUE(
        QRegularExpression("^Fine operazione: " + when + "$").match(lines.last()).hasMatch());
    const QString folder = QStringLiteral("Istituto di Istruzione Superiore Demo/");
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(QRegularExpression("^" + when + ": File " + folder + "QewC0607" +
                                       QLatin1Char("LACDMRFTEP"[i]) + "\\.cds creato$")
                        .match(lines.at(i + 1))
                        .hasMatch())
            << lines.at(i + 1).toStdString();
}

// A failure is told as it is and kept in the log; success is never claimed after it.
TEST_F(ExportWindow, FailuresAreToldAndLogged)
{
    struct Case
    {
        const char *sql;
        bool split;
        const char *message;
        const char *logged;
    };
    const Case cases[] = {
        {"UPDATE TSedInf_SedeInfo SET sSedMecCod = NULL", true,
         "Gli alunni non sono stati esportati: l'istituto Istituto Città € non ha sedi",
         ": Alunni non esportati: l'istituto Istituto Città € non ha sedi"},
        {"ALTER TABLE TPvr_ProvaRecupero DROP sPvrLDesc", false, "Impossibile creare il file ",
         "QewC0607R.cds. Istruzione rifiutata dal database"},
    };
    runSql(QStringLiteral("UPDATE TDow_DataOwner SET sDowLDesc = ? WHERE iDwgId = 2"),
           {QStringLiteral("Istituto Città €")});
    TVxINIFile(kIni).WriteInteger("Export", "Alunni", 37);
    for (const Case &c : cases) {
        runSql(QString::fromLatin1(c.sql));
        QDir(root).removeRecursively();
        EXPECT_FALSE(run([&c](TfmQelExport *w) { exportPupils(w, c.split); })) << c.sql;
        ASSERT_EQ(messages.size(), 1) << c.sql;
        EXPECT_TRUE(messages.first().startsWith(QString::fromUtf8(c.message))) << c.sql;
        // In Windows-1252: the accent and the euro sign of the institute's name a byte each.
        EXPECT_TRUE(log().contains(*encodeCp1252(QString::fromUtf8(c.logged)))) << c.sql;
    }
    EXPECT_TRUE(QFile::exists(root + "/Istituto Citta _/QewC0607M.cds"));
}
