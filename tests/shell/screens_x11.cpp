// Run by tests/makeup/run_under_xvfb.sh on a private X server of 1366x768, the screen of many
// offices: the main window as the program starts, with the class window's votes and
// judgments, the make-up windows with their legends and the volume management maximised in it,
// as the office sees them. The window system's own title is the program's name once. The
// screenshots go to $TAVRIN_SCREENSHOTS.

#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfcarcls.h"
#include "gradeentry/qevfselcarcls.h"
#include "makeup/qelmakeupwindow.h"
#include "platform/attivazioni.h"
#include "platform/outlookbar.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "tests/makeup/x11support.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testfiles.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>

namespace {

// The next class selection chooses 5A of 2008/2009, final session.
void chooseFifthA()
{
    DialogSeam::queueModalScript([](QDialog *d) {
        auto *dialog = qobject_cast<TfmQevSelCarCls *>(d);
        return dialog && dialog->SelezionaClsSes(390052) ? int(mrOk) : int(mrCancel);
    });
}

QString windowName(QWidget *window)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("getwindowname"), QString::number(window->winId())});
    xdotool.waitForFinished(10000);
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

class Screens : public RunningProgram
{
protected:
    void SetUp() override
    {
        prepareTavrinApplication();
        RunningProgram::SetUp();
        main = objects->mainWindow();
        main->ShowOnStartScreen();
        // No window manager maximises it here: the whole screen, as a maximised window has.
        main->setGeometry(main->screen()->geometry());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        main->ensureFirstActivation();
        QTest::qWait(200);
    }

    // Runs a command of the main window and waits for its window to show.
    QMdiSubWindow *run(TVxAttItem *command)
    {
        EXPECT_TRUE(RunCommandShowingErrors(command));
        QTest::qWait(300);
        return main->mdiArea()->activeSubWindow();
    }

    ScriptedDialogs dialogs;
    TfmqelMain *main = nullptr;
};

} // namespace

TEST_F(Screens, TheOfficesWindowsAt1366x768)
{
    ASSERT_EQ(main->screen()->size(), QSize(1366, 768));
    EXPECT_EQ(windowName(main), QStringLiteral("Tavrin"));
    screenshot(main, QStringLiteral("screen_main.png"));
    // The reports' names, whole in the command bar.
    TVxOutlookBar *bar = main->mxOLBar();
    for (int page = 0; page < bar->PageCount(); ++page)
        if (bar->PageCaption(page) == QStringLiteral("Stampe"))
            bar->ActivatePage(page);
    QTest::qWait(200);
    screenshot(main, QStringLiteral("screen_stampe.png"));
    bar->ActivatePage(0);

    chooseFifthA();
    QMdiSubWindow *sub = run(dmqevActivations->xafCarCls);
    ASSERT_NE(sub, nullptr);
    sub->showMaximized();
    auto *classWindow = qobject_cast<TfmqevCarCls *>(sub->widget());
    ASSERT_NE(classWindow, nullptr);
    ASSERT_TRUE(classWindow->MostraPagina(QStringLiteral("Voti")));
    QTest::qWait(200);
    // Maximised, the child's title joins the program's, which stays once.
    EXPECT_EQ(windowName(main), QStringLiteral("Tavrin - [%1]").arg(sub->windowTitle()));
    screenshot(main, QStringLiteral("screen_class_votes.png"));
    ASSERT_TRUE(classWindow->MostraPagina(QStringLiteral("Giudizio")));
    QTest::qWait(200);
    screenshot(main, QStringLiteral("screen_class_judgments.png"));
    main->mdiArea()->closeAllSubWindows();

    for (const char *command : {"xafRecupero", "xafEsitiRecuperi"}) {
        SCOPED_TRACE(command);
        chooseFifthA();
        sub = run(dmqelActivations->Item(QString::fromLatin1(command)));
        ASSERT_NE(sub, nullptr);
        sub->showMaximized();
        auto *makeup = qobject_cast<TfmQelMakeupClassWindow *>(sub->widget());
        ASSERT_NE(makeup, nullptr);
        makeup->sbuLegenda()->click();
        QTest::qWait(200);
        screenshot(main, QStringLiteral("screen_%1.png").arg(QLatin1String(command).mid(3)));
        main->mdiArea()->closeAllSubWindows();
    }

    const QString folder = db.mainDir.path() + QStringLiteral("USR/Dati/Registro/");
    writeFileBytes(folder + QStringLiteral("ABCD_RMIS00100A_08_12_2026_90507.kaf"), "PK");
    writeFileBytes(folder + QStringLiteral("ABCD_RMIS00100A_15_06_2027_174512.kaf"), "PK");
    sub = run(dmqelActivations->Item(QStringLiteral("xafVolumi")));
    ASSERT_NE(sub, nullptr);
    sub->showMaximized();
    QTest::qWait(200);
    screenshot(main, QStringLiteral("screen_gestionevolumi.png"));
    main->mdiArea()->closeAllSubWindows();
}
