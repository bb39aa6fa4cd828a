#include "db/database.h"
#include "exports/qelexportsinstall.h"
#include "gradeentry/qevinstall.h"
#include "makeup/qelcontrollarecuperi.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"
#include "reportengine/reporttree.h"
#include "shell/qelactivations.h"
#include "shell/qeldatasets.h"
#include "shell/qelmain.h"
#include "shell/qelpargen.h"
#include "shell/qelreporttree.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>

namespace {

// Stored as any program of the suite may have left them, damaged values included.
void setContext(const QVariant &dwg, const QVariant &ans, const QVariant &session)
{
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), dwg);
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), ans);
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), session);
}

// A main folder whose connection settings name a fresh demo database, not yet opened.
struct DemoMainDir
{
    DemoMainDir(bool reachable = true)
    {
        TVxConnectionSettings settings = database.connectionSettings();
        if (!reachable)
            settings.Database = mainDir.path() + QStringLiteral("manca/TAVRIN.FDB");
        writeConnectionSettings(settings);
    }
    ~DemoMainDir() { CloseConnection(); }
    TestMainDir mainDir;
    TestDatabase database;
};

// The program started, its main window shown (maximised on its screen, or as it is) and through
// its first activation.
struct ShownMain
{
    explicit ShownMain(bool onStartScreen = false) : main(objects.mainWindow())
    {
        if (onStartScreen)
            main->ShowOnStartScreen();
        else
            main->show();
        main->ensureFirstActivation();
        QCoreApplication::processEvents();
    }
    TavrinObjects objects;
    TfmqelMain *main;
};

void activate(QWidget *window)
{
    QEvent event(QEvent::WindowActivate);
    QApplication::sendEvent(window, &event);
}

} // namespace

TEST(StartUp, CreatesTheSevenObjectsInTheirOrder)
{
    installMakeupParts();
    installExportParts();
    DemoMainDir dir;
    TavrinObjects objects;
    EXPECT_EQ(objects.creationOrder(),
              (QStringList{QStringLiteral("TdmqelDataSets"), QStringLiteral("TdmqelParams"),
                           QStringLiteral("TdmqelActivations"), QStringLiteral("TdmqelParGen"),
                           QStringLiteral("TfmqelMain"), QStringLiteral("TdmExportAlu"),
                           QStringLiteral("TdmQelControllaRecuperi")}));
    EXPECT_EQ(objects.mainWindow()->windowTitle(), QStringLiteral("Tavrin"));
    // The connection waits for the first activation.
    EXPECT_FALSE(qqoVxGlobConn().isOpen());
}

// Another copy of the program on this computer, as the embedded engine meets it: a process
// holding the database open until the object dies.
class OtherCopy
{
public:
    explicit OtherCopy(const QString &database)
    {
        m_isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"),
                                                 QStringLiteral("SYSDBA"), database});
        m_isql.write("SELECT 'APERTO' FROM RDB$DATABASE;\n");
        QByteArray out;
        while (!out.contains("APERTO") && m_isql.waitForReadyRead(20000))
            out += m_isql.readAllStandardOutput();
        EXPECT_TRUE(out.contains("APERTO")) << m_isql.readAllStandardError().toStdString();
    }
    ~OtherCopy()
    {
        m_isql.closeWriteChannel();
        m_isql.waitForFinished(20000);
    }

private:
    QProcess m_isql;
};

// Each wrong database or settings file is said once, by its cause, naming the file or the
// server; the program ends without a main window and touches neither the settings file nor the
// database.
TEST(StartUp, EachWrongDatabaseIsNamedAndTheProgramEndsTouchingNothing)
{
    enum Wrong {
        Missing,
        SecondCopy,
        ReadOnly,
        EngineReadOnly,
        NoServer,
        NotADatabase,
        NotTheSuites,
        EmptyDatabase,
        EmptyFile,
        NoDatabaseEntry,
        Unreadable,
        Fifo,
        Device,
        Dangling
    };
    const struct
    {
        Wrong wrong;
        const char *said;
    } cases[] = {
        {Missing, "non esiste.\n\nPer creare il database della scuola dimostrativa eseguire "
                  "./run.sh nella cartella di Tavrin, oppure il programma tavrin-makedb"},
        {SecondCopy, "è già aperto in un'altra copia di Tavrin su questo computer"},
        {ReadOnly, "è di sola lettura"},
        {EngineReadOnly, "è di sola lettura per Firebird"},
        {NoServer, "Il server Firebird 127.0.0.1 (porta 1) non risponde."},
        {NotADatabase, "non è un database Firebird"},
        {NotTheSuites, "non è un database della suite Vexto"},
        {EmptyDatabase, "la voce Database è vuota"},
        {EmptyFile, "è vuoto"},
        {NoDatabaseEntry, "manca la voce Database"},
        {Unreadable, "Impossibile leggere il file delle impostazioni di connessione"},
        // Never waited on, never read.
        {Fifo, "non è un file normale (è una coda FIFO)"},
        {Device, "non è un file normale (è un dispositivo)"},
        // A share not mounted yet: never taken for a missing file.
        {Dangling, "\n\nCollegare il disco o la cartella di rete a cui punta"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.said);
        TestMainDir mainDir;
        QTemporaryDir folder;
        const QString database = folder.filePath(QStringLiteral("scuola.fdb"));
        const QString settingsFile = mainDir.path() + QStringLiteral("ETC/Connessione.ini");
        TVxConnectionSettings settings = defaultConnectionSettings();
        settings.Database = database;
        QString named = database;
        std::unique_ptr<OtherCopy> otherCopy;
        switch (c.wrong) {
        case Missing:
            break;
        case SecondCopy:
            ASSERT_TRUE(QFile::copy(templateDatabasePath(), database));
            otherCopy = std::make_unique<OtherCopy>(database);
            break;
        case ReadOnly:
            ASSERT_TRUE(QFile::copy(templateDatabasePath(), database));
            QFile::setPermissions(database, QFile::ReadOwner | QFile::ReadGroup);
            break;
        case EngineReadOnly:
            ASSERT_TRUE(QFile::copy(templateDatabasePath(), database));
            ASSERT_EQ(QProcess::execute(QStringLiteral("gfix"),
                                        {QStringLiteral("-mode"), QStringLiteral("read_only"),
                                         QStringLiteral("-user"), QStringLiteral("SYSDBA"),
                                         database}),
                      0);
            break;
        case NoServer:
            settings.Database = QStringLiteral("127.0.0.1/1:/srv/scuola.fdb");
            named = QStringLiteral("127.0.0.1");
            break;
        case NotADatabase:
            writeFileBytes(database, QByteArray(65536, 'x'));
            break;
        case NotTheSuites:
            ASSERT_EQ(createEmptyDatabase(database), QString());
            break;
        case EmptyDatabase:
        case EmptyFile:
        case NoDatabaseEntry:
        case Unreadable:
        case Fifo:
        case Device:
        case Dangling:
            named = settingsFile;
            break;
        }
        writeConnectionSettings(settings);
        if (c.wrong == EmptyDatabase)
            writeFileBytes(settingsFile, "[Connessione]\r\nDatabase=\r\nUser=SYSDBA\r\n");
        if (c.wrong == EmptyFile)
            writeFileBytes(settingsFile, "\r\n");
        if (c.wrong == NoDatabaseEntry)
            writeFileBytes(settingsFile, "[Connessione]\r\nUser=SYSDBA\r\n");
        if (c.wrong == Unreadable) {
            ASSERT_TRUE(QFile::remove(settingsFile));
            ASSERT_TRUE(QDir().mkpath(settingsFile));
        }
        if (c.wrong == Fifo || c.wrong == Device || c.wrong == Dangling) {
            ASSERT_TRUE(QFile::remove(settingsFile));
            ASSERT_TRUE(c.wrong == Fifo
                            ? ::mkfifo(QFile::encodeName(settingsFile).constData(), 0600) == 0
                            : QFile::link(c.wrong == Device
                                              ? QStringLiteral("/dev/zero")
                                              : folder.filePath("rete/Connessione.ini"),
                                          settingsFile));
        }
        // What stands at the name, read only where it is a file.
        const auto settingsNow = [&] {
            return QFileInfo(settingsFile).isFile() ? readFileBytes(settingsFile)
                                                    : QByteArray("non un file");
        };
        const QByteArray settingsBefore = settingsNow();
        const QByteArray databaseBefore = readFileBytes(database);

        ScriptedDialogs dialogs;
        {
            TavrinObjects objects;
            TfmqelMain *main = objects.mainWindow();
            main->show();
            activate(main);
            EXPECT_FALSE(main->isVisible());
            ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
            const QString said = DialogSeam::shownTexts().first();
            EXPECT_TRUE(said.contains(QString::fromUtf8(c.said))) << said.toStdString();
            EXPECT_TRUE(said.contains(QDir::toNativeSeparators(named))) << said.toStdString();
            // The engine's own words for the technician, without Qt's sentence run into them.
            const QString detail = DialogSeam::shown().first().technical;
            EXPECT_FALSE(detail.contains(QStringLiteral("Error opening database")) ||
                         detail.contains(QStringLiteral("Errore di apertura")))
                << detail.toStdString();
            if (c.wrong == SecondCopy)
                EXPECT_TRUE(detail.endsWith(QStringLiteral("incompatible with current")))
                    << detail.toStdString();
            EXPECT_EQ(main->mxOLBar()->PageCount(), 0);
            EXPECT_EQ(main->reportDataModule(), nullptr);
            EXPECT_EQ(dmqelDataSets->openCount(), 0);
            EXPECT_FALSE(qqoVxGlobConn().isOpen());
        }
        EXPECT_EQ(settingsNow(), settingsBefore);
        EXPECT_EQ(QFileInfo(settingsFile).isDir(), c.wrong == Unreadable);
        EXPECT_EQ(QFileInfo(settingsFile).isSymLink(), c.wrong == Device || c.wrong == Dangling);
        if (c.wrong != NotTheSuites) {
            EXPECT_EQ(readFileBytes(database), databaseBefore);
        } else {
            // Opened to be looked at, nothing written into it.
            QSqlDatabase db;
            ASSERT_TRUE(openLocalDatabase(db, QStringLiteral("guardato"), database));
            EXPECT_EQ(scalar(db, QStringLiteral("SELECT COUNT(*) FROM RDB$RELATIONS WHERE "
                                                "COALESCE(RDB$SYSTEM_FLAG, 0) = 0"))
                          .toInt(),
                      0);
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("guardato"));
        }
    }
}

// The office's computer may speak English (CTest runs this under LC_ALL=C.UTF-8): the program
// speaks Italian all the same, in the dates and numbers of its grids and in Qt's own buttons,
// even when it ends at once.
TEST(StartUp, ProgramWithUnreachableDatabaseReturnsAFailureInItalian)
{
    ASSERT_NE(QLocale::system().language(), QLocale::Italian);
    DemoMainDir dir(false);
    ScriptedDialogs dialogs;
    // A safety net: a program that did not end would hang the test.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
    guard.start(20000);
    EXPECT_EQ(runTavrin(), 1);
    EXPECT_TRUE(guard.isActive());
    QDateEdit edit(QDate(2026, 12, 8));
    EXPECT_EQ(edit.locale().toString(edit.date(), QStringLiteral("d MMM yyyy")),
              QStringLiteral("8 dic 2026"));
    EXPECT_EQ(QLocale().toString(1234.5, 'f', 1), QStringLiteral("1.234,5"));
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Annulla"));
}

// On a main folder whose ETC the office keeps on another disk, through a link of its own: read
// and written through it, and still there.
TEST(StartUp, FirstActivationOpensFillsChecksAndShowsTheContext)
{
    DemoMainDir dir;
    QTemporaryDir disk;
    const QString etc = dir.mainDir.path() + QStringLiteral("ETC");
    ASSERT_TRUE(QDir().rename(etc, disk.filePath("ETC")) && QFile::link(disk.filePath("ETC"), etc));
    setContext(2, 39, 392);
    ScriptedDialogs dialogs;
    TavrinObjects objects;
    TfmqelMain *main = objects.mainWindow();
    main->show();
    activate(main);
    ASSERT_TRUE(main->isVisible());
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty())
        << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_TRUE(qqoVxGlobConn().isOpen());
    EXPECT_EQ(main->mxOLBar()->PageCount(), 11); // "Debiti" is hidden
    EXPECT_EQ(main->mxOLBar()->PageCaption(0), QStringLiteral("Gestione"));
    EXPECT_EQ(main->mxOLBar()->ActivePage(), 0);
    EXPECT_EQ(main->PanelText(1), QStringLiteral(" Istituto: 2"));
    EXPECT_EQ(main->PanelText(2), QStringLiteral(" Sessione: Scrutinio finale"));
    EXPECT_EQ(main->PanelText(3), QStringLiteral(" A.S.: 2008/2009"));

    // Coming back to the window opens nothing again.
    activate(main);
    activate(main);
    EXPECT_EQ(dmqelDataSets->openCount(), 1);
    EXPECT_EQ(main->mxOLBar()->PageCount(), 11);

    main->close();
    EXPECT_FALSE(qqoVxGlobConn().isOpen());
    EXPECT_EQ(QFileInfo(etc).symLinkTarget(), disk.filePath("ETC"));
}

TEST(StartUp, MissingInstituteIsNamedBeforeTheSession)
{
    DemoMainDir dir;
    setContext(QVariant(), 38, 0);
    ScriptedDialogs dialogs;
    TavrinObjects objects;
    TfmqelMain *main = objects.mainWindow();
    main->show();
    activate(main);
    EXPECT_TRUE(main->isVisible());
    // The message, then the parameter dialog (cancelled here).
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{QStringLiteral("È necessario impostare l'istituto di lavoro."),
                           QStringLiteral("Parametri applicazione")}));
    EXPECT_EQ(main->PanelText(1), QStringLiteral(" Istituto: "));
    EXPECT_EQ(main->PanelText(2), QStringLiteral(" Sessione: "));
    EXPECT_EQ(main->PanelText(3), QStringLiteral(" A.S.: 2007/2008"));
}

TEST(StartUp, DamagedContextValuesLeaveThePanelsEmptyWithoutRaising)
{
    DemoMainDir dir;
    setContext(2, QStringLiteral("abc"), QStringLiteral("x1"));
    ScriptedDialogs dialogs;
    TavrinObjects objects;
    TfmqelMain *main = objects.mainWindow();
    main->show();
    activate(main);
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{QStringLiteral("È necessario impostare la sessione di lavoro."),
                           QStringLiteral("Parametri applicazione")}));
    EXPECT_EQ(main->PanelText(2), QStringLiteral(" Sessione: "));
    EXPECT_EQ(main->PanelText(3), QStringLiteral(" A.S.: "));
    // A year key with no year row, and a session with no row.
    setContext(2, 99, 999);
    main->RefreshPanels();
    EXPECT_EQ(main->PanelText(2), QStringLiteral(" Sessione: "));
    EXPECT_EQ(main->PanelText(3), QStringLiteral(" A.S.: "));
    // With the connection gone the panels still paint.
    CloseConnection();
    setContext(2, 39, 392);
    main->RefreshPanels();
    EXPECT_EQ(main->PanelText(3), QStringLiteral(" A.S.: "));
}

TEST(StartUp, CommandImagesFollowTheCommandNumbers)
{
    DemoMainDir dir;
    TavrinObjects objects;
    TVxImageList &images = objects.mainWindow()->ilCommands();
    EXPECT_EQ(images.name(0), QStringLiteral("CARPERCLS"));
    EXPECT_EQ(images.name(25), QStringLiteral("EXPORTDATI"));
    EXPECT_EQ(images.name(26), QStringLiteral("PAGELLAWEB"));
    EXPECT_EQ(images.name(33), QStringLiteral("PARAMETRI_CONNESSIONE"));
    EXPECT_EQ(images.name(34), mainWindowExtraImageNames().first());
    // Every image a command names exists.
    for (TVxAttItem *entry : dmqelActivations->AllEntries()) {
        if (entry->ImageIndex >= 0) {
            EXPECT_LT(entry->ImageIndex, images.count()) << entry->objectName().toStdString();
        }
    }
}

TEST(StartUp, ReportModuleLivesFromTheFirstActivationToTheClose)
{
    DemoMainDir dir;
    setContext(2, 39, 392);
    ScriptedDialogs dialogs;
    int created = 0;
    int bound = 0;
    qelReportHooks().createReportModule = [&created](QWidget *owner) -> QObject * {
        ++created;
        return new QObject(owner);
    };
    qelReportHooks().bindReportComponent = [&bound](QObject *) { ++bound; };
    {
        TavrinObjects objects;
        TfmqelMain *main = objects.mainWindow();
        EXPECT_EQ(main->reportDataModule(), nullptr);
        main->show();
        activate(main);
        activate(main);
        EXPECT_EQ(created, 1);
        EXPECT_EQ(bound, 1);
        // The report tree reads the modules of these names, each once.
        EXPECT_EQ(qelReportTree(dmqelActivations)->RptFR().DataModuleFilter(),
                  QStringList({"dmzelDataSets*", "dmqelDataSets*", "dmqevDataSets*"}));
        QPointer<QObject> module = main->reportDataModule();
        ASSERT_TRUE(module);
        EXPECT_EQ(module->parent(), main);
        main->close();
        EXPECT_FALSE(module);
    }
    qelReportHooks() = QelReportHooks();
}

TEST(StartUp, AContextThatCannotBeStoredIsSaidOnceAndTheProgramGoesOn)
{
    DemoMainDir dir;
    // A folder where the settings file should be: nothing can be written there.
    ASSERT_TRUE(QDir().mkpath(dir.mainDir.path() + QStringLiteral("ETC/VxGlobVar.ini")));
    ScriptedDialogs dialogs;
    const auto chooseAndConfirm = [](QDialog *d) {
        auto *institute =
            d->findChild<QComboBox *>(QStringLiteral("ctl") + TVxWorkingContext::instituteKey());
        institute->setCurrentIndex(0);
        return int(mrOk);
    };
    DialogSeam::queueAnswer(int(mrOk)); // "È necessario impostare l'istituto di lavoro."
    DialogSeam::queueModalScript(chooseAndConfirm);
    TavrinObjects objects;
    TfmqelMain *main = objects.mainWindow();
    main->show();
    activate(main);
    ASSERT_TRUE(main->isVisible());
    const QStringList shown = DialogSeam::shownTexts();
    ASSERT_EQ(shown.size(), 3) << shown.join('|').toStdString();
    EXPECT_EQ(shown[1], QStringLiteral("Parametri applicazione"));
    EXPECT_TRUE(shown[2].contains(QStringLiteral("VxGlobVar.ini"))) << shown[2].toStdString();
    EXPECT_EQ(main->mxOLBar()->PageCount(), 11);

    // The same from the command, the program still running.
    DialogSeam::clearShown();
    DialogSeam::queueModalScript(chooseAndConfirm);
    RunCommandShowingErrors(dmqelActivations->Item(QStringLiteral("xacParams")));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 2)
        << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_EQ(TVxWorkingContext::institute(), 0);

    // A year chosen while its sessions cannot be read: said once, the dialog still works.
    const auto renameOrder = [](const char *from, const char *to) {
        runSql(QStringLiteral("ALTER TABLE TAnsSesDwg ALTER COLUMN %1 TO %2")
                   .arg(QLatin1String(from), QLatin1String(to)));
    };
    DialogSeam::clearShown();
    QStringList whileOpen;
    int sessionsAfter = -1;
    DialogSeam::queueModalScript([&](QDialog *d) {
        auto *institute =
            d->findChild<QComboBox *>(QStringLiteral("ctl") + TVxWorkingContext::instituteKey());
        auto *year =
            d->findChild<QComboBox *>(QStringLiteral("ctl") + TVxWorkingContext::schoolYearKey());
        auto *session =
            d->findChild<QComboBox *>(QStringLiteral("ctl") + TVxWorkingContext::sessionKey());
        institute->setCurrentIndex(0);
        year->setCurrentIndex(0);
        renameOrder("iAnsSesDwgOrdine", "iOrdineAltrove");
        year->setCurrentIndex(1);
        whileOpen = DialogSeam::shownTexts();
        renameOrder("iOrdineAltrove", "iAnsSesDwgOrdine");
        year->setCurrentIndex(2);
        sessionsAfter = session->count();
        return int(mrCancel);
    });
    RunCommandShowingErrors(dmqelActivations->Item(QStringLiteral("xacParams")));
    ASSERT_EQ(whileOpen.size(), 2) << whileOpen.join('|').toStdString();
    EXPECT_EQ(whileOpen[0], QStringLiteral("Parametri applicazione"));
    EXPECT_TRUE(whileOpen[1].startsWith(
        QStringLiteral("Impossibile leggere le sessioni dell'anno scolastico.")))
        << whileOpen[1].toStdString();
    EXPECT_GT(sessionsAfter, 0);
    EXPECT_EQ(DialogSeam::shownTexts().size(), 2);
    EXPECT_TRUE(main->isVisible());
}

// The main window fills the screen it starts on, its status bar whole; a child window larger
// than the work area opens inside it.
TEST(StartUp, MainWindowFillsItsScreenAndChildWindowsOpenInside)
{
    installMakeupParts();
    DemoMainDir dir;
    setContext(2, 39, 392);
    ScriptedDialogs dialogs;
    ShownMain program(true);
    TfmqelMain *main = program.main;
    EXPECT_TRUE(main->isMaximized());
    const QRect screen = main->screen()->availableGeometry();
    EXPECT_LE(main->frameGeometry().width(), screen.width());
    for (int panel = 1; panel <= 3; ++panel) {
        const QWidget *label = main->findChild<QWidget *>(QStringLiteral("panel%1").arg(panel));
        ASSERT_NE(label, nullptr);
        EXPECT_LE(label->mapTo(main, QPoint(label->width(), 0)).x(), main->width()) << panel;
    }

    main->showNormal();
    main->resize(600, 400);
    QCoreApplication::processEvents();
    ASSERT_TRUE(RunCommandShowingErrors(dmqelActivations->Item(QStringLiteral("xafEncomio"))));
    QMdiArea *area = main->mdiArea();
    ASSERT_EQ(area->subWindowList().size(), 1);
    EXPECT_TRUE(area->viewport()->rect().contains(area->subWindowList().first()->geometry()));
    area->closeAllSubWindows();

    // A window that opens maximised fills the area from its first opening.
    main->showMaximized();
    QCoreApplication::processEvents();
    for (const char *command : {"xafGiudizi", "xafRiconoscimento"}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(RunCommandShowingErrors(dmqelActivations->Item(QString::fromLatin1(command))));
        QCoreApplication::processEvents();
        QMdiSubWindow *sub = area->activeSubWindow();
        ASSERT_NE(sub, nullptr);
        EXPECT_TRUE(sub->isMaximized());
        EXPECT_EQ(sub->geometry(), area->viewport()->rect());
        area->closeAllSubWindows();
    }
}

// Every command without a mouse: F6 gives the command bar the keyboard, the arrows go from entry
// to entry, Page Down opens the next page, Return runs the entry; the menu "Comandi" lists every
// page with its entries and runs them too.
TEST(StartUp, EveryCommandIsReachedByKeyboardAndFromTheMenu)
{
    installGradeEntry();
    DemoMainDir dir;
    setContext(2, 39, 392);
    ScriptedDialogs dialogs;
    ShownMain program;
    TfmqelMain *main = program.main;
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    TVxOutlookBar *bar = main->mxOLBar();
    const auto focused = [] {
        auto *button = qobject_cast<QToolButton *>(QApplication::focusWidget());
        return button ? button->text() : QString();
    };
    const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
    const QStringList gestione = bar->EntryCaptions(0);
    ASSERT_GE(gestione.size(), 3);

    QTest::keyClick(main, Qt::Key_F6);
    EXPECT_EQ(focused(), gestione[0]);
    key(Qt::Key_Down);
    EXPECT_EQ(focused(), gestione[1]);
    key(Qt::Key_End);
    EXPECT_EQ(focused(), gestione.last());
    key(Qt::Key_Home);
    DialogSeam::clearShown();
    key(Qt::Key_Return); // "Caricamento per classe" asks for the class first
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_EQ(DialogSeam::shown()[0].detail, QStringLiteral("TfmQevSelCarCls"));
    key(Qt::Key_PageDown);
    EXPECT_EQ(bar->ActivePage(), 1);
    EXPECT_EQ(focused(), bar->EntryCaptions(1).value(0));
    key(Qt::Key_PageUp);
    EXPECT_EQ(bar->ActivePage(), 0);

    QMenu *commands = main->miCommands();
    emit commands->aboutToShow();
    QList<QMenu *> pages;
    for (QAction *action : commands->actions())
        if (action->menu())
            pages << action->menu();
    ASSERT_EQ(pages.size(), bar->PageCount());
    for (int page = 0; page < bar->PageCount(); ++page) {
        EXPECT_EQ(pages[page]->title(), bar->PageCaption(page));
        QStringList entries;
        for (QAction *action : pages[page]->actions())
            entries << action->text();
        if (!bar->EntryCaptions(page).isEmpty())
            EXPECT_EQ(entries, bar->EntryCaptions(page)) << bar->PageCaption(page).toStdString();
    }
    DialogSeam::clearShown();
    pages[0]->actions().first()->trigger();
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_EQ(DialogSeam::shown()[0].detail, QStringLiteral("TfmQevSelCarCls"));
}

// The command bar keeps the width the office gave it, from one start of the program to the next.
TEST(StartUp, TheCommandBarKeepsItsWidth)
{
    DemoMainDir dir;
    setContext(2, 39, 392);
    ScriptedDialogs dialogs;
    {
        ShownMain program;
        program.main->spOLBar()->setSizes({340, 800});
        QCoreApplication::processEvents();
        EXPECT_TRUE(program.main->close());
    }
    ShownMain again;
    EXPECT_EQ(again.main->mxOLBar()->width(), 340);
}

TEST(StartUp, HelpNoteOpensTheSiteAsTheOfficeWroteIt)
{
    TestMainDir mainDir;
    QDir(mainDir.path()).mkpath(QStringLiteral("ETC"));
    TavrinObjects objects;
    auto *faq = objects.mainWindow()->findChild<QAction *>(QStringLiteral("acFaq"));
    ASSERT_TRUE(faq);
    const QString note = QStringLiteral("/_updates/mix/wiki/ScrutinioQualifica.pdf");
    const struct
    {
        const char *stored;
        const char *opened;
        bool desktopOpens;
    } cases[] = {
        {"https://www.esempio.it/", "https://www.esempio.it", true},
        {"www.esempio.it", "http://www.esempio.it", true},
        {"www.esempio.it", "http://www.esempio.it", false},
    };
    for (const auto &c : cases) {
        dmqelParGen->xpsSitoInternet.SetValore(QString::fromLatin1(c.stored));
        ScriptedDialogs dialogs;
        DialogSeam::queueAnswer(c.desktopOpens);
        faq->trigger();
        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        ASSERT_EQ(shown.size(), c.desktopOpens ? 1 : 2) << c.stored;
        EXPECT_EQ(shown[0].kind, QStringLiteral("open-url"));
        EXPECT_EQ(shown[0].text, QString::fromLatin1(c.opened) + note);
        if (!c.desktopOpens)
            EXPECT_TRUE(shown[1].text.startsWith(QStringLiteral("Impossibile aprire la pagina")));
    }
}
