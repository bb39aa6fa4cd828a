// The digital registers on a copy of the demo school: the descriptor as PHP reads it back.
#include "platform/frames.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "reportengine/reportengine.h"
#include "reportengine/reportsignature.h"
#include "reports/qelffirmapreside.h"
#include "reports/qelfopzioniregistri.h"
#include "reports/qelprintjob.h"
#include "reports/qelreportsinstall.h"
#include "reports/qelrptdatasets.h"
#include "tests/support/otheroffice.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QToolButton>

#include <memory>

namespace {

const QString kData = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/data";
const QString kFileName = QStringLiteral("1234_ABCD01000X_16_09_2008_161440.pdf");

// What the print service reads: the customer code, then "key:from-to:tray" per entry.
const char kPhpReadBack[] =
    "$d = unserialize(file_get_contents($argv[1])); if ($d === false) exit(1);"
    "echo $d['customer']['codice_vs']; foreach ($d['struct'] as $k => $e) "
    "echo \" $k:{$e['from']}-{$e['to']}:{$e['tray']}\";";

// A list of the session as stored: "how many:the first class".
QString stored(int tipo)
{
    return scalar("SELECT COUNT(*) || ':' || COALESCE(MIN(iClsId), '') FROM TOsd_OpzStampaDig "
                  "WHERE iAnsSesDwgId = 392 AND iTipoElenco = ?",
                  {tipo})
        .toString();
}

class Registers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.opened);
        setDemoWorkingContext();
        installReportParts();
        module = std::make_unique<TdmqelRptDataSets>();
    }

    // The calls as the template makes them: V a volume cover, C a class cover, A a pupil page.
    QString descriptor(const char *calls, const QString &media, const QString &codCli)
    {
        PrintJobStart(*module, kFileName, media, codCli, QStringLiteral("ABCD01000X"));
        for (const char *c = calls; *c; ++c) {
            if (*c == 'V')
                PrintJobNewVolume(*module);
            else if (*c == 'C')
                PrintJobNewClasse(*module);
            else
                PrintJobNewAlunno(*module);
        }
        PrintJobEnd(*module);
        return module->PrintJobText();
    }

    QString readBack()
    {
        const QString path = db.mainDir.path() + QStringLiteral("volume.ist");
        PrintJobWrite(path, module->PrintJobText());
        EXPECT_TRUE(readFileBytes(path).endsWith("{}}\r\n"));
        QProcess php;
        php.start(QStringLiteral("php"), {QStringLiteral("-r"), kPhpReadBack, path});
        php.waitForFinished();
        return php.exitCode() == 0 ? QString::fromUtf8(php.readAllStandardOutput())
                                   : QStringLiteral("illeggibile");
    }

    ProgramDatabase db;
    ScriptedDialogs dialogs;
    std::unique_ptr<TdmqelRptDataSets> module;
};

} // namespace

TEST_F(Registers, TheDescriptorListsEveryCoverAndPupilRangeAsThePrintServiceReadsIt)
{
    // The worked example, byte for byte: one line, broken in the file only at the entries.
    EXPECT_EQ(descriptor("VCAAAAAAAA", "A4", "1234"),
              QString::fromUtf8(readFileBytes(kData + "/registro_esempio.ist")).remove('\n'));
    EXPECT_EQ(readBack(), "1234 0:1-1:1 1:2-2:2 2:3-10:3");

    const char *const cases[][4] = {
        // The calls, the media, the customer code, what the print service reads.
        {"", "A4", "1234", "1234"},
        {"VC", "A3", "1234", "1234 0:1-1:1 1:2-2:2"},
        {"VCAACAAA", "Stampa personalizzata", "1234",
         "1234 0:1-1:1 1:2-2:2 2:3-4:3 3:5-5:2 4:6-8:3"},
        {"VCAAC", "A4", "1234", "1234 0:1-1:1 1:2-2:2 2:3-4:3 3:5-5:2"},
        {"VAAAAAAAAAAAACAAAAAA", "A4", "12345", "12345 0:1-1:1 1:2-13:3 2:14-14:2 3:15-20:3"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c[0]);
        descriptor(c[0], c[1], c[2]);
        EXPECT_EQ(readBack(), QString::fromUtf8(c[3]));
    }
}

TEST_F(Registers, TheRegisterTemplatePagesTheVolumeAndCollectsOneTextPerPage)
{
    module->qquClsSes->ParamByName("iAnsSesDwgId").setValue(392);
    PrintJobStart(*module, kFileName, "A4", "1234", "ABCD01000X");
    TfrReport report;
    report.LoadFromTemplate(frReadTemplate(readFileBytes(kData + "/registro_funzioni.xml")));
    ASSERT_TRUE(report.PrepareReport());
    EXPECT_EQ(report.Pages().Pages.size(), 10u);
    PrintJobEnd(*module);
    EXPECT_EQ(readBack(), "1234 0:1-1:1 1:2-2:2 2:3-10:3");
    // The cover page has empty texts; 3C took the qualification exam.
    ASSERT_EQ(module->PageDetails().size(), 10);
    ASSERT_EQ(module->PageSearchTexts().size(), 10);
    EXPECT_EQ(module->PageDetails().mid(0, 2), QStringList({"", "3C"}));
    EXPECT_EQ(module->PageSearchTexts().mid(0, 2), QStringList({"", "AMMISSIONE"}));
}

// The headmaster signing in the suite: "Prof.ssa Maria Bianchi" (signer 1) of institute 2.
TEST_F(Registers, ExamListsAndSignaturesAsTheRegisterPrintsThem)
{
    runSql("INSERT INTO TOsd_OpzStampaDig VALUES (90, 392, 39005, 0)"); // 5A in both lists
    runSql("UPDATE TCfp_FirmaPreside SET sFirmaSes1 = 'Prima', sFirmaSes2 = 'Seconda', "
           "sFirmaSes3 = 'Finale' WHERE iAnsId = 39");
    runSql("INSERT INTO TDow_DataOwner (iDowId, iDwgId) VALUES (99, 99)");
    const char *const deferred = "GetPreside(392, 4)"; // the demo has no text for it
    const char *const cases[][3] = {
        // The database changed first, the call, its result.
        {nullptr, "RegistroEsami(39005, 392)", "ESAME"},
        {nullptr, "RegistroEsami(39023, 392)", "AMMISSIONE"},
        {nullptr, "RegistroEsami(39001, 392)", ""},
        {nullptr, "GetPreside(392, 1)", "Prima"},
        {nullptr, "GetPreside(392, 2)", "Seconda"},
        {nullptr, "GetPreside(392, 3)", "Finale"},
        {nullptr, deferred, "Prof.ssa Maria Bianchi"},
        {nullptr, "GetPreside(382, 1)", "Prof.ssa Maria Bianchi"}, // no row for 2007/2008
        // A newer headmaster signs; once ended, or deleted, the one before signs again.
        {"INSERT INTO TFir_Firme VALUES (3, 1, 2, 'Prof. Ugo Neri', '2008-09-01', NULL, NULL)",
         deferred, "Prof. Ugo Neri"},
        {"UPDATE TFir_Firme SET dEnd = '2009-01-31' WHERE iFirId = 3", deferred,
         "Prof.ssa Maria Bianchi"},
        {"UPDATE TFir_Firme SET dEnd = NULL, dDelete = '2009-02-01' WHERE iFirId = 3", deferred,
         "Prof.ssa Maria Bianchi"},
        // A headmaster of another institute only, then none at all.
        {"UPDATE TFir_Firme SET iDwgId = 99 WHERE iFirId = 1", deferred, ""},
        {"UPDATE TFir_Firme SET iDwgId = 2, dEnd = '2009-01-31' WHERE iFirId = 1", deferred, ""},
    };
    for (const auto &c : cases) {
        if (c[0])
            runSql(c[0]);
        TfrReport report;
        TfrRun run(report);
        EXPECT_EQ(report.Calc(c[1]).toString(), QString::fromUtf8(c[2])) << c[1];
    }
    EXPECT_EQ(Firma("DIRIGENTE.SCOL.", "QUALIFICA"), "");
}

TEST_F(Registers, TheOptionsSaveBothListsOrNeither)
{
    // Each page as the office reaches it: "how many available:the first listed".
    const auto shown = [](TfmQelOpzioniRegistri &w) {
        QStringList pages;
        for (int tipo : {0, 1}) {
            w.GoToPage(tipo);
            QListWidget *listed = w.dlElenco(tipo)->lvRight();
            listed->sortItems();
            pages << QString::number(w.dlElenco(tipo)->lvLeft()->count()) + ":" +
                         (listed->count() ? listed->item(0)->text().left(2) : QString());
        }
        return pages.join(" / ");
    };
    auto options = std::make_unique<TfmQelOpzioniRegistri>();
    EXPECT_EQ(shown(*options), "14:3C / 14:5A"); // 3C offered for the state exam too
    for (const auto &[tipo, button] :
         {std::pair{1, "buLeftSelectAll"}, {1, "buRight"}, {0, "buRightSelectAll"}, {0, "buLeft"}})
        options->dlElenco(tipo)->findChild<QToolButton *>(button)->click();

    // A refusal in the second list leaves both as they were, the window open.
    runSql("CREATE EXCEPTION E_RIFIUTO 'rifiutato per prova'");
    runSql("CREATE TRIGGER T_RIFIUTO FOR TOsd_OpzStampaDig BEFORE INSERT AS BEGIN "
           "IF (NEW.iTipoElenco = 1) THEN EXCEPTION E_RIFIUTO; END");
    options->buFinish()->click();
    EXPECT_EQ(options->ModalResult(), mrNone);
    EXPECT_TRUE(DialogSeam::shownTexts().last().startsWith("Impossibile salvare le opzioni"));
    EXPECT_EQ(stored(0) + " " + stored(1), "1:39023 1:39005");

    runSql("DROP TRIGGER T_RIFIUTO");
    options->buFinish()->click();
    EXPECT_EQ(options->ModalResult(), mrOk);
    EXPECT_EQ(DialogSeam::shownTexts().last(), "Operazione completata. Opzioni salvate.");
    EXPECT_EQ(stored(0) + " " + stored(1), "0: 15:39001");
    options = std::make_unique<TfmQelOpzioniRegistri>();
    EXPECT_EQ(shown(*options), "15: / 0:1A");
}

TEST_F(Registers, TheSignatureIsInsertedOnceThenUpdated)
{
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 38);
    for (const char *text : {"Il Preside Rossi", "Il Preside Verdi"}) {
        DialogSeam::queueModalScript([text](QDialog *d) {
            auto *dialog = static_cast<TfmQelFirmaPreside *>(d);
            dialog->edFirma(1)->setText(text);
            dialog->buOk()->click();
            return int(mrNone);
        });
        TfmQelFirmaPreside dialog;
        EXPECT_EQ(dialog.ShowModal(), mrOk);
        // One row; a text left empty is an empty string, not a missing one.
        EXPECT_EQ(scalar("SELECT COUNT(*) || sFirmaSes2 || sFirmaDiff FROM TCfp_FirmaPreside "
                         "WHERE iAnsId = 38 GROUP BY sFirmaSes2, sFirmaDiff")
                      .toString(),
                  QString("1") + text);
    }
}

// Another office saves the year's signature while this window is open: its row was inserted
// since the window opened (first, or at the same moment as this save), or deleted. One row,
// the office told and its texts kept; confirming again stores them.
TEST_F(Registers, AnotherOfficesSignatureIsToldAndConfirmingAgainWritesOver)
{
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 38);
    const struct
    {
        const char *name;
        int fine; // the other office's row saved before the confirmation (0), that many ms into
                  // it, or (-1) the row read by the window deleted before it
        const char *told;
        const char *between; // the row's "count second text" after the first confirmation
    } cases[] = {
        {"inserted first", 0, "salvata da un'altra postazione", "1Suo"},
        {"inserted at once", 300, "salvata da un'altra postazione", "1Suo"},
        {"deleted", -1, "non è più nell'archivio", "0"},
    };
    auto row = [] {
        return scalar("SELECT COUNT(*) || COALESCE(MAX(sFirmaSes2), '') FROM TCfp_FirmaPreside "
                      "WHERE iAnsId = 38")
            .toString();
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        runSql("DELETE FROM TCfp_FirmaPreside WHERE iAnsId = 38");
        if (c.fine < 0)
            runSql("INSERT INTO TCfp_FirmaPreside (iCfpId, iAnsId) VALUES (990002, 38)");
        TfmQelFirmaPreside dialog;
        OtherOffice other(db.database);
        other.hold(c.fine < 0 ? "DELETE FROM TCfp_FirmaPreside WHERE iAnsId = 38"
                              : "INSERT INTO TCfp_FirmaPreside (iCfpId, iAnsId, sFirmaSes2) VALUES "
                                "(990001, 38, 'Suo')");
        c.fine > 0 ? other.commitAfter(c.fine) : other.commit();
        DialogSeam::clearShown();
        DialogSeam::queueModalScript([&](QDialog *) {
            dialog.edFirma(1)->setText(QStringLiteral("Mia"));
            dialog.buOk()->click();
            other.finish();
            const QStringList shown = DialogSeam::shownTexts().mid(1); // after the window's own
            EXPECT_EQ(shown.size(), 1) << shown.join('|').toStdString();
            EXPECT_TRUE(shown.value(0).contains(QString::fromUtf8(c.told)))
                << shown.value(0).toStdString();
            EXPECT_EQ(row(), QString::fromUtf8(c.between));
            EXPECT_EQ(dialog.edFirma(1)->text(), QStringLiteral("Mia"));
            dialog.buOk()->click();
            return int(mrNone);
        });
        EXPECT_EQ(dialog.ShowModal(), mrOk);
        EXPECT_EQ(DialogSeam::shownTexts().size(), 2);
        EXPECT_EQ(row(), QStringLiteral("1Mia"));
    }
}

// Two offices save the options of one session. What each changed is kept; the same class
// added or taken out by both, since this window read the lists or at the very same moment, is
// told, and this office's save leaves the lists as they were.
TEST_F(Registers, TwoOfficesSavingTheOptionsKeepEachOthersClasses)
{
    const char *const add1B = "INSERT INTO TOsd_OpzStampaDig VALUES (91, 392, 39002, 0)";
    const char *const add1A = "INSERT INTO TOsd_OpzStampaDig VALUES (91, 392, 39001, 0)";
    const char *const take3C = "DELETE FROM TOsd_OpzStampaDig WHERE iClsId = 39023";
    const struct
    {
        const char *name;
        const char *other; // the other office's change
        int fine;          // committed before this save (0), or that many ms into it
        bool adds;         // this office lists 1A, else takes 3C out
        bool told;
        const char *after; // the qualification list as stored
    } cases[] = {
        {"another class listed first", add1B, 0, true, false, "39001 39002 39023"},
        {"another class listed at once", add1B, 300, true, false, "39001 39002 39023"},
        {"the same class listed first", add1A, 0, true, true, "39001 39023"},
        {"the same class listed at once", add1A, 300, true, true, "39001 39023"},
        {"the same class taken out first", take3C, 0, false, true, ""},
        {"the same class taken out at once", take3C, 300, false, true, ""},
    };
    const auto listed = [] {
        QStringList ids;
        for (QSqlQuery q = runSql("SELECT iClsId FROM TOsd_OpzStampaDig WHERE iAnsSesDwgId = 392 "
                                  "AND iTipoElenco = 0 ORDER BY iClsId");
             q.next();)
            ids << q.value(0).toString();
        return ids.join(' ');
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        runSql("DELETE FROM TOsd_OpzStampaDig WHERE iTipoElenco = 0");
        runSql("INSERT INTO TOsd_OpzStampaDig VALUES (2, 392, 39023, 0)");
        TfmQelOpzioniRegistri options;
        TfrVxDoubleListView *list = options.dlElenco(0);
        QListWidget *from = c.adds ? list->lvLeft() : list->lvRight();
        for (int row = 0; row < from->count(); ++row)
            from->item(row)->setSelected(from->item(row)->data(Qt::UserRole).toInt() ==
                                         (c.adds ? 39001 : 39023));
        c.adds ? list->MoveSelectedRight() : list->MoveSelectedLeft();
        options.GoToPage(1);
        OtherOffice other(db.database);
        other.hold(c.other);
        c.fine > 0 ? other.commitAfter(c.fine) : other.commit();
        DialogSeam::clearShown();
        options.buFinish()->click();
        other.finish();
        EXPECT_EQ(options.ModalResult(), c.told ? mrNone : mrOk);
        EXPECT_EQ(DialogSeam::shownTexts().join('|').contains("Un'altra postazione ha cambiato"),
                  c.told);
        EXPECT_EQ(listed(), c.after);
        EXPECT_EQ(stored(1), "1:39005"); // the other list untouched
    }
}
