#include "makeup/qelcontrollarecuperi.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/outlookbar.h"
#include "shell/qelactivations.h"
#include "shell/qeldatasets.h"
#include "shell/qelmain.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QTimer>

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

void activate(QWidget *window)
{
    QEvent event(QEvent::WindowActivate);
    QApplication::sendEvent(window, &event);
}

} // namespace

TEST(StartUp, CreatesTheSevenObjectsInTheirOrder)
{
    installMakeupParts();
    DemoMainDir dir;
    TavrinObjects objects;
    EXPECT_EQ(
        objects.creationOrder(),
        (QStringList{QStringLiteral("TdmqelDataSets"), QStringLiteral("TdmqelParams"),
                     QStringLiteral("TdmqelActivations"), QStringLiteral("TdmqelParGen"),
                     QStringLiteral("TfmqelMain"), QStringLiteral("TdmQelControllaRecuperi")}));
    EXPECT_EQ(objects.mainWindow()->windowTitle(), QStringLiteral("Tavrin"));
    // The connection waits for the first activation.
    EXPECT_FALSE(qqoVxGlobConn().isOpen());
}

TEST(StartUp, UnreachableDatabaseEndsWithoutAMainWindow)
{
    DemoMainDir dir(false);
    setContext(2, 39, 392);
    ScriptedDialogs dialogs;
    TavrinObjects objects;
    TfmqelMain *main = objects.mainWindow();
    main->show();
    activate(main);
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1); // the connection failure, said once
    EXPECT_EQ(main->mxOLBar()->PageCount(), 0);
    EXPECT_EQ(main->reportDataModule(), nullptr);
    EXPECT_EQ(dmqelDataSets->openCount(), 0);
}

TEST(StartUp, ProgramWithUnreachableDatabaseReturnsAFailure)
{
    DemoMainDir dir(false);
    ScriptedDialogs dialogs;
    // A safety net: a program that did not end would hang the test.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
    guard.start(20000);
    EXPECT_EQ(runTavrin(), 1);
    EXPECT_TRUE(guard.isActive());
}

TEST(StartUp, FirstActivationOpensFillsChecksAndShowsTheContext)
{
    DemoMainDir dir;
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
              (QStringList{QStringLiteral("E' necessario impostare l'istituto di lavoro."),
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
              (QStringList{QStringLiteral("E' necessario impostare la sessione di lavoro."),
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
    DialogSeam::queueAnswer(int(mrOk)); // "E' necessario impostare l'istituto di lavoro."
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
}
