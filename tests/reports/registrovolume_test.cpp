// The digital register volume on a copy of the demo school, checked with the tools the print
// service and an office would use (zipinfo, unzip, qpdf, pdfinfo, pdftotext, php, xmllint).
#include "platform/attivazioni.h"
#include "platform/clientdataset.h"
#include "platform/dialogseam.h"
#include "platform/fileaccess.h"
#include "platform/frames.h"
#include "platform/maindir.h"
#include "platform/sleep.h"
#include "platform/zip.h"
#include "reportengine/reporttree.h"
#include "reports/qelfstampaverbali.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelreporttree.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <optional>
#include <thread>

namespace {

// "key:from-to:tray" per descriptor entry, as the print service unserializes it.
const char kPhpEntries[] =
    "$d = unserialize(file_get_contents($argv[1])); if ($d === false) exit(1);"
    "foreach ($d['struct'] as $k => $e) echo \"$k:{$e['from']}-{$e['to']}:{$e['tray']} \";";

class RegisterVolumes : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        objects->mainWindow()->show();
        objects->mainWindow()->ensureFirstActivation();
        ASSERT_TRUE(dmqelRptDataSets);
        UpdateParRptIni();
        folder = QelRegisterVolume::RegisterFolder();
        QListWidget list;
        QelRegisterVolume::LoadSessionClasses(&list, 392);
        for (int row = 0; row < list.count(); ++row)
            classes << list.item(row)->data(Qt::UserRole).toInt();
        standardClsSes = dmqelRptDataSets->qquClsSes->SQL();
    }
    void TearDown() override
    {
        qelVolumeHooks() = {};
        RunningProgram::TearDown();
    }

    QString exportVolume(const QList<int> &ids, int reportId = 16169)
    {
        return QelRegisterVolume::Export(*dmqelRptDataSets,
                                         qelReportTree(dmqelActivations)->RptFR(),
                                         {ids, reportId, "A4", "Registro generale dei voti"});
    }
    // The message of a run that must fail.
    QString failure(const QList<int> &ids, int reportId = 16169)
    {
        try {
            exportVolume(ids, reportId);
        } catch (const EVxException &e) {
            return e.message() + "\r\r" + e.detail();
        }
        return QStringLiteral("riuscito");
    }
    // A one-page template printing the text.
    static void storeTemplate(int id, const QString &text)
    {
        runSql("INSERT INTO TYRpt_RptTemplate (iYRptId, sYRptDesc, bYRptReport, sYRptCodAppl) "
               "VALUES (?, 'Prova', ?, 'QEL')",
               {id, QStringLiteral("<?xml version=\"1.0\"?><report version=\"1\" title=\"Prova\">"
                                   "<summary height=\"5\"><text name=\"T\" left=\"0\" top=\"0\" "
                                   "width=\"9\" height=\"5\">%1</text></summary></report>")
                        .arg(text)
                        .toUtf8()});
    }
    QStringList files() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }
    int catalogueRows() const
    {
        if (!QFileInfo::exists(folder + "info.xml"))
            return 0;
        TClientDataSet catalogue;
        catalogue.LoadFromFile(folder + "info.xml");
        return catalogue.RecordCount();
    }
    // However a run ended, the class query is the standard one and the handler is gone.
    void expectRestored() const
    {
        TfrQuery *clsSes = dmqelRptDataSets->qquClsSes;
        EXPECT_EQ(clsSes->SQL(), standardClsSes);
        ASSERT_EQ(clsSes->Params().size(), 1);
        EXPECT_EQ(clsSes->Params().first().Name(), "iAnsSesDwgId");
        EXPECT_FALSE(dmqelRptDataSets->FindDataSet("cdsTitoli")->AfterScroll);
    }

    ScriptedDialogs dialogs;
    QString folder;
    QList<int> classes;
    QString standardClsSes;
};

} // namespace

TEST_F(RegisterVolumes, TheWizardMakesOneVolumeOfEveryClassThatTheToolsRead)
{
    ASSERT_GE(classes.size(), 2);
    DialogSeam::queueModalScript([](QDialog *dialog) {
        auto *wizard = qobject_cast<TfmQelStampaVerbali *>(dialog);
        wizard->dlClassi()->MoveAllRight();
        wizard->Next();
        wizard->Next();
        wizard->grTitoli()->item(0, 1)->setText("Registro finale");
        EXPECT_EQ(wizard->ReportId(), 16169);
        wizard->buFinish()->click();
        return 0;
    });
    RunCommandShowingErrors(dmqelActivations->Item("xafStampaRegistri"));
    ASSERT_EQ(DialogSeam::shownTexts().join('|'),
              "Stampa digitale dei registri|Operazione completata con successo. Andare in "
              "\"Gestione Volumi\" per "
              "visualizzare i file e spedirli a Veldrasoft.");
    expectRestored();
    const QStringList kept = files();
    ASSERT_EQ(kept.size(), 2) << kept.join(" ").toStdString();
    const QString stem = QFileInfo(kept.first()).completeBaseName();
    EXPECT_TRUE(QRegularExpression("^1234_ABCD01000X_\\d\\d_\\d\\d_\\d{4}_\\d{5,6}$")
                    .match(stem)
                    .hasMatch())
        << stem.toStdString();
    EXPECT_EQ(kept.last(), "info.xml");

    QString out;
    const QString kaf = folder + stem + ".kaf";
    ASSERT_EQ(runChecker("zipinfo", {"-1", kaf}, &out), 0);
    EXPECT_EQ(out.split('\n', Qt::SkipEmptyParts),
              QStringList({stem + ".pdf", stem + ".ist", stem + ".xml"}));
    ASSERT_EQ(runChecker("unzip", {"-t", kaf}), 0);
    QTemporaryDir unpacked;
    ASSERT_EQ(runChecker("unzip", {"-q", kaf, "-d", unpacked.path()}), 0);
    const QString base = unpacked.path() + '/' + stem;

    ASSERT_EQ(runChecker("qpdf", {"--check", base + ".pdf"}), 0);
    runChecker("qpdf", {"--show-encryption", base + ".pdf"}, &out);
    EXPECT_TRUE(out.contains("User password = \n")) << out.toStdString();
    for (const char *right : {"print low resolution: not allowed", "modify other: not allowed",
                              "extract for any purpose: not allowed"})
        EXPECT_TRUE(out.contains(right)) << right;
    runChecker("pdfinfo", {base + ".pdf"}, &out);
    const int pages = QRegularExpression("Pages:\\s+(\\d+)").match(out).captured(1).toInt();

    // One cover per volume and class, one range per class's pupils, closing on the last page.
    ASSERT_EQ(runChecker("php", {"-r", kPhpEntries, base + ".ist"}, &out), 0);
    const QStringList entries = out.split(' ', Qt::SkipEmptyParts);
    EXPECT_EQ(entries.size(), 1 + 2 * classes.size());
    EXPECT_EQ(entries.first(), "0:1-1:1");
    EXPECT_TRUE(entries.last().endsWith(QStringLiteral("-%1:3").arg(pages))) << out.toStdString();

    // The pupils in class order, then register order; the headmaster signs every pupil.
    ASSERT_EQ(runChecker("pdftotext", {"-opw", "MORDELVA", base + ".pdf", "-"}, &out), 0);
    QSqlQuery pupils =
        runSql("SELECT A.sAnaCognome || ' ' || A.sAnaNome FROM TSit_Situazioni S "
               "JOIN TAna_Anagrafiche A ON A.iAnaId = S.iAnaId JOIN TClsPst P ON P.iClsPstId = "
               "S.iClsPstId "
               "JOIN VCls_Classi C ON C.iClsId = P.iClsId JOIN TClsSes CS ON CS.iClsId = C.iClsId "
               "WHERE CS.iAnsSesDwgId = 392 AND S.iSitOrdine = 1 AND S.iSitPosReg > 0 "
               "ORDER BY C.iClsOrdine, S.iSitPosReg, A.sAnaCognomeNomeIdx");
    qsizetype at = 0;
    int printed = 0;
    for (; pupils.next(); ++printed) {
        at = out.indexOf(pupils.value(0).toString(), at);
        ASSERT_GE(at, 0) << pupils.value(0).toString().toStdString();
    }
    EXPECT_EQ(pages, 1 + classes.size() + printed);
    EXPECT_EQ(out.count("Prof.ssa Maria Bianchi"), printed);

    ASSERT_EQ(runChecker("xmllint", {"--noout", base + ".xml"}), 0);
    TClientDataSet details;
    details.LoadFromFile(base + ".xml");
    EXPECT_EQ(details.RecordCount(), pages);
    TClientDataSet catalogue;
    catalogue.LoadFromFile(folder + "info.xml");
    ASSERT_EQ(catalogue.RecordCount(), 1);
    EXPECT_EQ(catalogue.FieldByName("sNomeFile")->AsString(), stem);
    EXPECT_EQ(catalogue.FieldByName("sTitolo")->AsString(), "Registro finale");
}

// A custom register whose pupils each take two pages: the descriptor follows the PDF's pages,
// each class's cover where it prints, each pupil range up to the next cover or the last page.
TEST_F(RegisterVolumes, PupilsOverTwoPagesKeepTheirVolume)
{
    runSql("INSERT INTO TYRpt_RptTemplate (iYRptId, sYRptDesc, bYRptReport, sYRptCodAppl) "
           "VALUES (3000012, 'Lunga', ?, 'QEL')",
           {QByteArray(R"(<?xml version="1.0"?><report version="1" title="Lunga">
<data name="Volumi" dataset="frdVolumi" height="10" new-page-after="true"><text name="V" left="0" top="0" width="50" height="10">[NewVolume(1)][PaginaVuota(0)]</text>
<data name="Classi" dataset="frdClsSesNoPopUp" height="10" new-page-after="true"><text name="C" left="0" top="0" width="50" height="10">[NewClasse(0)][PaginaVuota(0)]</text>
<data name="Alunni" dataset="frdClsAlu" height="300" new-page-after="true" visible="LINE# &lt;= 2"><text name="A" left="0" top="0" width="50" height="10">[NewAlunno()][PaginaVuota(0)]</text></data>
</data></data></report>)")});
    qelVolumeHooks().afterStep = [this](QelVolumeStep step, const QString &f, const QString &s) {
        if (step != QelVolumeStep::DetailsSaved)
            return;
        QString out;
        ASSERT_EQ(runChecker("php", {"-r", kPhpEntries, f + s + ".ist"}, &out), 0);
        // covers of the volume and of the two classes, two pupils of two pages each after them
        EXPECT_EQ(out, "0:1-1:1 1:2-2:2 2:3-6:3 3:7-7:2 4:8-11:3 ");
    };
    EXPECT_FALSE(exportVolume(classes.mid(0, 2), 3000012).isEmpty());
}

// Every failing step ends with its message and leaves neither archive nor catalogue row nor
// intermediate file; refusals before the run write nothing.
TEST_F(RegisterVolumes, AFailingRunLeavesNoVolume)
{
    storeTemplate(3000010, "[Sconosciuta(1)]");
    storeTemplate(3000011, "x");
    const auto damage = [](QelVolumeStep at, const std::function<void(const QString &)> &how) {
        qelVolumeHooks().afterStep = [at, how](QelVolumeStep step, const QString &f,
                                               const QString &stem) {
            if (step == at)
                how(f + stem);
        };
    };
    struct Case
    {
        const char *name;
        std::function<void()> setUp;
        int reportId;
        bool noClass;
        const char *message;
    };
    // A folder that takes no byte or no file, from the moment the volume's name is chosen: the
    // search for a free name ends there.
    std::optional<FileSizeLimit> full;
    std::optional<ReadOnlyFolder> readOnly;
    const auto from = [&](const std::function<void()> &block) {
        qelVolumeHooks().now = [block, names = 0]() mutable {
            if (++names > 3)
                throw EVxException("nomi cercati senza fine");
            block();
            return QDateTime::currentDateTime();
        };
    };
    const Case cases[] = {
        {"preparation", {}, 3000010, false, "durante la preparazione del registro"},
        {"missing template", {}, 16999, false, "durante la preparazione del registro"},
        {"descriptor",
         {},
         3000011,
         false,
         "Il descrittore di stampa copre 0 pagine, il PDF ne ha 1"},
        {"encryption",
         [&] {
             damage(QelVolumeStep::DetailsSaved,
                    [](const QString &s) { writeFileBytes(s + ".pdf", "x"); });
         },
         16169, false, "durante la cifratura del PDF"},
        {"archive",
         [&] {
             damage(QelVolumeStep::Encrypted, [](const QString &s) { QDir().mkdir(s + ".kaf"); });
         },
         16169, false, "durante la creazione dell'archivio"},
        {"no class", {}, 16169, true, "Scegliere almeno una classe da stampare."},
        {"a folder that takes no byte", [&] { from([&] { full.emplace(0); }); }, 16169, false,
         "Impossibile scrivere nella cartella"},
        {"a read-only folder", [&] { from([&] { readOnly.emplace(folder); }); }, 16169, false,
         "la cartella è di sola lettura"},
        {"no main seat", [] { runSql("UPDATE TDwgSed SET lDwgSedMain = 0 WHERE iDwgSedId = 1"); },
         16169, false, "non ha una sede principale attiva"},
        {"customer code",
         [] {
             runSql("UPDATE TDwgSed SET lDwgSedMain = 1 WHERE iDwgSedId = 1");
             runSql("UPDATE TSedInf_SedeInfo SET sSedInfCodVexto = '12345' WHERE iSedId = 1");
         },
         16169, false, "(\"12345\") non è di 4 caratteri"},
        {"customer code out of the folder",
         [] { runSql("UPDATE TSedInf_SedeInfo SET sSedInfCodVexto = '../Z' WHERE iSedId = 1"); },
         16169, false, "Il codice cliente della sede principale (\"../Z\") non può stare"},
        {"ministry code with the name's separator",
         [] {
             runSql("UPDATE TSedInf_SedeInfo SET sSedInfCodVexto = '1234', "
                    "sSedMecCod = 'AB_CD' WHERE iSedId = 1");
         },
         16169, false, "Il codice meccanografico della sede principale (\"AB_CD\") non può"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.setUp)
            c.setUp();
        const QString message = failure(c.noClass ? QList<int>() : classes.mid(0, 1), c.reportId);
        full.reset();
        readOnly.reset();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.message))) << message.toStdString();
        qelVolumeHooks() = {};
        QDir(folder).removeRecursively(); // the archive case's directory
        QDir().mkpath(folder);
        EXPECT_EQ(catalogueRows(), 0);
        EXPECT_EQ(QDir(folder + "..").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"Registro"});
        expectRestored();
    }
}

TEST_F(RegisterVolumes, TwoRunsInOneSecondMakeTwoVolumes)
{
    const QDateTime start(QDate(2008, 9, 16), QTime(9, 5, 7, 400));
    // The clock of this run; of another office's, which names its volume in the same second,
    // before this one's files are there; of the next run here, whose second name has a link
    // pointing nowhere at its PDF's name.
    QList<int> clock = {0, 0, 700, 0, 700, 1700};
    qelVolumeHooks().now = [&] { return start.addMSecs(clock.takeFirst()); };
    ScriptedSleeps sleeps;
    QString other;
    qelVolumeHooks().afterStep = [&](QelVolumeStep step, const QString &f, const QString &) {
        if (step == QelVolumeStep::Named && other.isEmpty())
            other = QelRegisterVolume::VolumeName(f, {"1234", "ABCD01000X"}).stem();
    };
    const QString first = exportVolume({39023}, 16184); // 3C took the qualification exam
    EXPECT_EQ(other, "1234_ABCD01000X_16_09_2008_90508");
    const QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.filePath("registro.pdf"), folder + other + ".pdf"));
    // A template that wrote no text to the second list: its column stays empty.
    storeTemplate(3000012, "[IIF(NewVolume(1) = '0', '', '')][ScriviDettPagina('Copertina')]");
    const QString second = exportVolume(classes.mid(0, 1), 3000012);
    EXPECT_EQ(first, "1234_ABCD01000X_16_09_2008_90507");
    EXPECT_EQ(second, "1234_ABCD01000X_16_09_2008_90509");
    EXPECT_EQ(sleeps.durations(), QList<int>({600, 600, 900}));
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
    EXPECT_EQ(files(), QStringList({first + ".kaf", second + ".kaf", "info.xml"}));
    EXPECT_EQ(catalogueRows(), 2);
    TZip volume;
    volume.setFileName(folder + second + ".kaf");
    volume.setExtractPath(folder + "tmp");
    volume.Extract();
    TClientDataSet details;
    details.LoadFromFile(folder + "tmp/" + second + ".xml");
    ASSERT_EQ(details.RecordCount(), 1);
    EXPECT_EQ(details.FieldByName("sGoogleSearch")->AsString(), "Copertina");
    EXPECT_EQ(details.FieldByName("sShowCd")->AsString(), QString());
    // The report command's PDF filter is left as it was.
    EXPECT_EQ(qelReportTree(dmqelActivations)->RptFR().PDFExport.Title, QString());
    // Whatever the desktop's locale; a "%" of a code is a character of the name.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(QelRegisterVolume::VolumeStem({"1234", "AB%6CD01000X"},
                                            QDateTime(QDate(2008, 9, 16), QTime(16, 14, 40))),
              "1234_AB%6CD01000X_16_09_2008_161440");
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

// A run killed between two steps leaves what it had written, its hold on its name among them;
// the next run removes it, but a volume already catalogued and the files of a run whose program
// is alive (another office's, under way).
TEST_F(RegisterVolumes, TheNextRunRemovesWhatAKilledRunLeft)
{
    const struct
    {
        const char *name;
        QelVolumeStep at;
        bool alive;
        bool keepsVolume;
    } cases[] = {
        {"named", QelVolumeStep::Named, false, false},
        {"exported", QelVolumeStep::Exported, false, false},
        {"details saved", QelVolumeStep::DetailsSaved, false, false},
        {"archive half written", QelVolumeStep::Encrypted, false, false},
        {"packed, not catalogued", QelVolumeStep::Packed, false, false},
        {"catalogued", QelVolumeStep::Catalogued, false, true},
        {"another office's run under way", QelVolumeStep::DetailsSaved, true, false},
    };
    const QDateTime start(QDate(2008, 9, 16), QTime(9, 5, 7));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        int reads = 0;
        qelVolumeHooks().now = [&] { return start.addSecs(reads++); };
        // What the run had written when it was stopped, kept as the kill would leave it.
        QHash<QString, QByteArray> left;
        QString killed;
        qelVolumeHooks().afterStep = [&](QelVolumeStep step, const QString &f,
                                         const QString &stem) {
            if (step != c.at)
                return;
            killed = stem;
            for (const QString &name : QDir(f).entryList(QDir::Files | QDir::Hidden))
                if (!name.endsWith(".lck"))
                    left.insert(name, readFileBytes(f + name));
            if (step == QelVolumeStep::Encrypted)
                left.insert('.' + stem + ".kaf.Ab12Cd", "PK\x03\x04");
            throw EVxException("ucciso");
        };
        EXPECT_EQ(failure(classes.mid(0, 1)), "ucciso\r\r");
        for (auto file = left.cbegin(); file != left.cend(); ++file)
            writeFileBytes(folder + file.key(), file.value());
        std::unique_ptr<TVxSharedHold> alive;
        if (c.alive) {
            alive = std::make_unique<TVxSharedHold>(folder + killed + ".lck");
            ASSERT_TRUE(alive->tryTake());
        } else {
            writeAbandonedLock(folder + killed + ".lck");
        }

        qelVolumeHooks().afterStep = nullptr;
        const QString next = exportVolume(classes.mid(0, 1));
        QStringList expected{next + ".kaf", "info.xml"};
        if (c.keepsVolume)
            expected << killed + ".kaf";
        if (c.alive)
            expected << left.keys() << killed + ".lck";
        expected.sort();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        EXPECT_EQ(catalogueRows(), c.keepsVolume ? 2 : 1);
    }
}

// Another office rewrites the catalogue (its listing, its own volume's row) while this run adds
// its row: one after the other, both rows stay.
TEST_F(RegisterVolumes, TheCatalogueChangesOneProgramAtATime)
{
    std::thread otherOffice;
    qelVolumeHooks().afterStep = [&](QelVolumeStep step, const QString &f, const QString &) {
        if (step != QelVolumeStep::Packed)
            return;
        auto lock = std::make_shared<TVxSharedHold>(f + "info.xml.lck");
        ASSERT_TRUE(lock->tryTake());
        otherOffice = std::thread([lock, f] {
            QThread::msleep(300);
            TClientDataSet catalogue;
            catalogue.AddFieldDef("sNomeFile", ftString, 50);
            catalogue.AddFieldDef("sTitolo", ftString, 100);
            catalogue.CreateDataSet();
            catalogue.Append();
            catalogue.FieldByName("sNomeFile")->setValue("1234_ABCD01000X_01_09_2008_80000");
            catalogue.Post();
            catalogue.SaveToFile(f + "info.xml", dfXML);
            lock->release();
        });
    };
    const QString stem = exportVolume(classes.mid(0, 1));
    otherOffice.join();
    TClientDataSet catalogue;
    catalogue.LoadFromFile(folder + "info.xml");
    ASSERT_EQ(catalogue.RecordCount(), 2);
    catalogue.Last();
    EXPECT_EQ(catalogue.FieldByName("sNomeFile")->AsString(), stem);
}

TEST_F(RegisterVolumes, ThePrintTypeAndTheCustomTemplatesChooseTheReport)
{
    TfmQelStampaVerbali wizard;
    // Without a class the first page says why and keeps the wizard on it.
    DialogSeam::clearShown();
    EXPECT_FALSE(wizard.Next());
    EXPECT_EQ(wizard.CurrentPage(), 0);
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{"Nessuna classe scelta.\n\nSpostare nell'elenco di destra le classi da "
                          "stampare, poi premere \"Avanti\"."});
    QListWidget *left = wizard.dlClassi()->lvLeft();
    for (int row = 0; row < left->count(); ++row)
        left->item(row)->setSelected(left->item(row)->data(Qt::UserRole).toInt() == 39005);
    wizard.dlClassi()->MoveSelectedRight();
    ASSERT_TRUE(wizard.Next());
    EXPECT_EQ(wizard.lbTipoStampa()->item(0)->text(), "Quadrimestri (3 Componenti)");
    wizard.Back();
    EXPECT_EQ(wizard.dlClassi()->lvRight()->count(), 1); // kept, and the left list reloaded
    EXPECT_EQ(left->count(), classes.size());
    wizard.Next();
    // 5A: 27 situations, one off the register and one a pupil's second.
    wizard.Next();
    EXPECT_EQ(wizard.findChild<QLabel *>("laTotAlunni")->text(),
              QStringLiteral("Totale alunni da stampare: 25"));
    wizard.Back();

    const auto reportOf = [&wizard](const std::function<void()> &choose) {
        choose();
        wizard.Next();
        const int id = wizard.ReportId();
        wizard.Back();
        return id;
    };
    wizard.rbA3()->click();
    wizard.cbQualifica()->click();
    EXPECT_EQ(wizard.lbTipoStampa()->count(), 4);
    EXPECT_EQ(reportOf([&] { wizard.lbTipoStampa()->setCurrentRow(3); }), 16184);
    wizard.cbQualifica()->click();
    EXPECT_EQ(wizard.lbTipoStampa()->item(4)->text(), "Trimestri (4 componenti)");
    EXPECT_EQ(wizard.lbTipoStampa()->currentRow(), 0);
    EXPECT_EQ(reportOf([] {}), 16170);
    wizard.rbA4()->click();
    EXPECT_EQ(reportOf([&] { wizard.lbTipoStampa()->setCurrentRow(1); }), 16171);

    ASSERT_EQ(wizard.lbPersonalizzate()->count(), 1); // 3000002 has no version
    EXPECT_EQ(wizard.lbPersonalizzate()->item(0)->data(Qt::UserRole).toInt(), 3000001);
    wizard.buPersonalizzate()->click();
    EXPECT_EQ(wizard.buPersonalizzate()->text(), "Usa stampe di default");
    EXPECT_EQ(reportOf([] {}), 3000001);
    EXPECT_EQ(wizard.MediaName(), "Stampa personalizzata");
}
