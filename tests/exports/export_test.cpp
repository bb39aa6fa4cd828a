#include "exports/qelfexport.h"
#include "gradeentry/qevutil.h"
#include "platform/clientdataset.h"
#include "platform/cp1252.h"
#include "platform/fileaccess.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
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
#include <memory>
#include <optional>

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
    // A converter of our own: it records each call's arguments, then does the action.
    void fakeConverter(const QString &action)
    {
        QFile script(out.path() + QStringLiteral("/cdsXls.sh"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s|' \"$@\" >> '%1'\necho >> '%1'\n%2\n")
                         .arg(out.path() + QStringLiteral("/calls"), action)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        TVxINIFile ini(QStringLiteral("ParGen.ini"));
        ini.WriteString("Programmi", "Convertitore", script.fileName());
        ini.WriteInteger("Programmi", "AttesaConvertitore", 3);
    }
    QStringList calls() const
    {
        QFile file(out.path() + QStringLiteral("/calls"));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
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

TEST_F(ExportWindow, SessionAndCandidatesGoThroughTheConverter)
{
    fakeConverter(QStringLiteral(": > \"$5\""));
    // Another window averaged a year whose conduct does not count.
    SetAnsIdMedia(0);
    TVxINIFile(kIni).WriteInteger("Export", "Exit", 38);
    const auto exportBoth = [](TfmQelExport *w) {
        w->chkTavrin()->setChecked(true);
        w->chkExit()->setChecked(true);
        w->chkSedi()->setChecked(true);
        w->buEsporta()->click();
    };
    EXPECT_FALSE(run(exportBoth));
    EXPECT_EQ(messages, QStringList{kSuccess + root});
    const QStringList sites = {"ABCD01000X", "ABCD01001Y"};
    const auto call = [](const QString &source, const QString &target) {
        return "--silent|--source|" + source + "|--target|" + target + "|--tpl|" + GetMainDir() +
               "usr/dati/tavrin_sta/Stat.xls|";
    };
    QStringList expected;
    for (const QString &site : sites) {
        const QString dir = root + "/2/" + site + "/";
        expected << call(dir + "QewA0809392.cds", dir + "Scrutinio finale 2008-2009 Alunni.xls")
                 << call(dir + "QewM0809392.cds", dir + "Scrutinio finale 2008-2009 Materie.xls");
    }
    for (const QString &site : sites) {
        const QString dir = root + "/Istituto di Istruzione Superiore Demo/" + site + "/";
        expected << call(dir + "QewE0708392.cds", dir + "2007-2008 Exit.xls");
    }
    EXPECT_EQ(calls(), expected);
    EXPECT_EQ(log().count(".xls creato"), 6);
    const char procedures[] = "SELECT COUNT(*) FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME IN "
                              "('PTMPMEDIEVOTI', 'PTMPMEDIEVTP')";
    EXPECT_EQ(scalar(procedures).toInt(), 0);

    // The averages count conduct by the rule of the session's year, 2008/2009.
    int byConduct = 0;
    TClientDataSet cds;
    for (const QString &site : sites) {
        cds.LoadFromFile(root + "/2/" + site + "/QewA0809392.cds");
        for (cds.First(); !cds.Eof(); cds.Next()) {
            const int sit = cds.FieldByName("ISITID")->AsInteger();
            const int classSession = cds.FieldByName("ICLSSESID")->AsInteger();
            SetAnsIdMedia(39);
            const double average = RoundTo(MediaVoti(sit, 0, classSession, false), -2);
            EXPECT_EQ(cds.FieldByName("FMEDIAVOT")->AsFloat(), average) << sit;
            EXPECT_EQ(cds.FieldByName("FMEDIAVTP")->AsFloat(),
                      RoundTo(MediaVotiProposti(sit, 0, classSession), -2))
                << sit;
            SetAnsIdMedia(0);
            byConduct += RoundTo(MediaVoti(sit, 0, classSession, false), -2) != average;
        }
    }
    EXPECT_GT(byConduct, 0);

    // Again, after a change: every file is written anew.
    runSql("UPDATE TAna_Anagrafiche SET sAnaCognome = 'Zeta' WHERE iAnaId = 1");
    EXPECT_FALSE(run(exportBoth));
    EXPECT_EQ(calls().size(), 12);
    cds.LoadFromFile(root + "/2/ABCD01000X/QewA0809392.cds");
    cds.First();
    EXPECT_TRUE(cds.FieldByName("COGNOMENOME")->AsString().startsWith("Zeta"));
}

// The workbook is "creato" only when the converter ended well and wrote it.
TEST_F(ExportWindow, AFailedConversionIsLoggedAndTold)
{
    struct Case
    {
        const char *action; // none: no converter installed
        const char *reason;
        const char *message;
        bool linked = false; // a link of the office's at the workbook's name
    };
    const Case cases[] = {
        {"exit 3", "è terminato con il codice 3",
         "Il file %1 non è stato creato: il programma di conversione è terminato con il codice 3."},
        {"exit 0", "non ha scritto il file", "Il file %1 non è stato creato"},
        {"exec sleep 10", "non è terminato entro 3 secondi", "Il file %1 non è stato creato"},
        {nullptr, "non è presente su questo computer",
         "Il programma di conversione in Excel non è installato"},
        {": > \"$5\"", "è un collegamento a ", "Il file %1 non è stato creato", true},
    };
    const QString workbook =
        QStringLiteral("Istituto di Istruzione Superiore Demo/2008-2009 Exit.xls");
    for (const Case &c : cases) {
        fakeConverter(QString::fromLatin1(c.action));
        if (!c.action)
            TVxINIFile(QStringLiteral("ParGen.ini"))
                .WriteString("Programmi", "Convertitore", out.path() + "/assente");
        QDir(root).removeRecursively();
        const QString office = out.path() + QStringLiteral("/dell'ufficio.xls");
        if (c.linked) {
            writeFileBytes(office, "dell'ufficio");
            ASSERT_TRUE(QDir().mkpath(QFileInfo(root + '/' + workbook).path()) &&
                        QFile::link(office, root + '/' + workbook));
        }
        EXPECT_FALSE(run([](TfmQelExport *w) {
            w->chkExit()->setChecked(true);
            w->buEsporta()->click();
        }));
        ASSERT_EQ(messages.size(), 1) << c.reason;
        EXPECT_TRUE(messages.first().startsWith(QString::fromUtf8(c.message).arg(workbook)))
            << messages.first().toStdString();
        const QString text = decodeCp1252(log());
        EXPECT_TRUE(text.contains(QRegularExpression(
            ": File " + QRegularExpression::escape(workbook) +
            " non creato: (il programma di conversione \\S+ )?" + QString::fromUtf8(c.reason))))
            << c.reason;
        if (c.linked) {
            EXPECT_EQ(QFileInfo(root + '/' + workbook).symLinkTarget(), office);
            EXPECT_EQ(readFileBytes(office), "dell'ufficio");
        }
        EXPECT_FALSE(text.contains(".xls creato")) << c.reason;
    }
}

// Another office exporting into the same folder, or an export cut short between two files: no
// reader ever finds the pupils' file without its averages, nor a log vouching for files an
// export did not finish; the hold of an export whose program is gone does not stop the next,
// one of another computer does; a folder that takes nothing is told as it is.
TEST_F(ExportWindow, OneExportAtATimeAndNoFileHalfWritten)
{
    fakeConverter(QStringLiteral(": > \"$5\""));
    const auto exportSession = [](TfmQelExport *w) {
        w->chkTavrin()->setChecked(true);
        w->buEsporta()->click();
    };
    EXPECT_FALSE(run(exportSession));
    const QString pupils = root + "/2/QewA0809392.cds";
    const QString hold = root + "/estrazione.lck";
    std::unique_ptr<TVxSharedHold> underWay;
    std::optional<ReadOnlyFolder> readOnly;
    const struct
    {
        const char *name;
        std::function<void()> before;
        bool exported;
        const char *says = ""; // how the refusal begins, or what it holds
    } cases[] = {
        {"cut short after each file", {}, true},
        {"another office's export under way",
         [&] {
             underWay = std::make_unique<TVxSharedHold>(hold);
             ASSERT_TRUE(underWay->tryTake());
         },
         false, "Un'altra estrazione (computer "},
        {"the hold of a program that is gone", [&] { writeAbandonedLock(hold); }, true},
        {"another computer's export, an hour ago", [&] { writeForeignLock(hold, 3600); }, false,
         "Un'altra estrazione (computer altro-pc, processo 4242, utente segreteria2) sta "
         "scrivendo"},
        {"a read-only folder", [&] { readOnly.emplace(root); }, false,
         "la cartella è di sola lettura"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.before)
            c.before();
        const QByteArray logBefore = log();
        const QByteArray pupilsBefore = readFileBytes(pupils);
        // What the folder holds the moment each file is complete, as a kill would leave it.
        QStringList cut;
        qelExportHooks().fileWritten = [&](const QString &path) {
            if (decodeCp1252(log()).contains(QStringLiteral("Fine operazione")))
                cut << "a log of success beside " + path;
            TClientDataSet written;
            written.LoadFromFile(pupils);
            int averaged = 0;
            for (written.First(); !written.Eof(); written.Next())
                averaged += written.FieldByName("FMEDIAVOT")->AsFloat() > 0;
            if (averaged == 0)
                cut << "no average beside " + path;
        };
        runSql("UPDATE TAna_Anagrafiche SET sAnaCognome = sAnaCognome || 'x' WHERE iAnaId = 1");
        EXPECT_FALSE(run(exportSession));
        qelExportHooks() = {};
        EXPECT_EQ(cut, QStringList());
        ASSERT_EQ(messages.size(), 1);
        if (c.exported) {
            EXPECT_EQ(messages.first(), kSuccess + root);
            EXPECT_TRUE(decodeCp1252(log()).contains(QStringLiteral("Fine operazione")));
            EXPECT_NE(readFileBytes(pupils), pupilsBefore);
        } else {
            EXPECT_TRUE(messages.first().contains(QString::fromUtf8(c.says)))
                << messages.first().toStdString();
            EXPECT_EQ(log(), logBefore);
            EXPECT_EQ(readFileBytes(pupils), pupilsBefore);
        }
        underWay.reset();
        readOnly.reset();
        QFile::remove(hold);
    }
}
