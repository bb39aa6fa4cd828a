#include "platform/quitrequest.h"
#include "platform/sleep.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>

namespace {

// A main window whose close runs the work given, as a window saving its changes does.
class ClosingWindow : public QWidget
{
public:
    std::function<bool()> onClose = [] { return true; };

protected:
    void closeEvent(QCloseEvent *event) override { event->setAccepted(onClose()); }
};

// Whether the event loop ended (the program's end) within the time, after the signal.
bool loopEndsAfter(int signal, int milliseconds = 1500)
{
    if (signal)
        QTimer::singleShot(0, [signal] { raise(signal); });
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        QCoreApplication::exit(0); // quit() would ask the windows first
    });
    guard.start(milliseconds);
    QApplication::exec();
    return !timedOut;
}

} // namespace

// Runs first, before any connection of this program. The database client puts its own
// handlers in front of ours at its first attachment, and they cut every connection before
// calling ours: the windows' last saves would then fail.
TEST(QuitRequest, WindowsCloseWithTheirConnectionStillOpen)
{
    TestDatabase database;
    ClosingWindow window;
    window.show();
    closeOnQuitRequest(&window);
    QSqlDatabase db = database.connect();
    QString saveError = QStringLiteral("the window was not closed");
    window.onClose = [&] {
        QSqlQuery save(db);
        saveError = save.exec("UPDATE RDB$DATABASE SET RDB$DESCRIPTION = NULL WHERE 1 = 0")
                        ? QString()
                        : save.lastError().text();
        return true;
    };
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        window.show();
        EXPECT_TRUE(loopEndsAfter(signal));
        EXPECT_TRUE(window.isHidden());
        EXPECT_TRUE(saveError.isEmpty()) << saveError.toStdString();
    }
}

TEST(QuitRequest, ModalWindowsFirstQuestionsAndWorkLeftToThePerson)
{
    struct Case
    {
        const char *name;
        std::function<QWidget *()> openModal; // null: none
        bool refuseClose;
        bool ends;
        // What the person does next, after which the close asked for goes on by itself.
        std::function<void(QWidget *modal)> thenAnswer = nullptr;
    };
    const auto messageBox = [](QMessageBox::StandardButtons buttons, const QString &detail) {
        return [buttons, detail]() -> QWidget * {
            auto *box = new QMessageBox(QMessageBox::Warning, "Tavrin", "Attenzione", buttons);
            box->setDetailedText(detail);
            return box;
        };
    };
    const QList<Case> cases = {
        {"nothing open", nullptr, false, true},
        {"a message is acknowledged", messageBox(QMessageBox::Ok, "dettaglio tecnico"), false,
         true},
        {"a modal form is cancelled", [] { return static_cast<QWidget *>(new QDialog); }, false,
         true},
        {"a question waits for its answer",
         messageBox(QMessageBox::Yes | QMessageBox::No, QString()), false, false,
         [](QWidget *modal) {
             static_cast<QMessageBox *>(modal)->button(QMessageBox::Yes)->click();
         }},
        {"long work is cancelled as by its button, and ends first",
         [] { return static_cast<QWidget *>(new TfmVxWait(nullptr, true)); }, false, false,
         [](QWidget *modal) {
             auto *wait = static_cast<TfmVxWait *>(modal);
             EXPECT_TRUE(wait->Cancelled());
             wait->CloseWait();
         }},
        {"a window keeping its unsaved work stays open", nullptr, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ClosingWindow window;
        window.onClose = [&c] { return !c.refuseClose; };
        window.show();
        closeOnQuitRequest(&window);
        std::unique_ptr<QWidget> modal(c.openModal ? c.openModal() : nullptr);
        if (modal) {
            modal->setWindowModality(Qt::ApplicationModal);
            modal->show();
        }
        EXPECT_EQ(loopEndsAfter(SIGTERM), c.ends);
        EXPECT_EQ(window.isHidden(), c.ends);
        if (modal) {
            EXPECT_EQ(modal->isHidden(), c.ends);
        }
        if (c.thenAnswer) {
            c.thenAnswer(modal.get());
            EXPECT_TRUE(loopEndsAfter(0));
            EXPECT_TRUE(window.isHidden());
        }
    }
}

// Work that waits in an event loop of its own (a web request) takes no input: it is not cut
// under, the close comes once it has ended.
TEST(QuitRequest, WorkInItsOwnEventLoopEndsFirst)
{
    ClosingWindow window;
    bool working = false;
    bool closedDuringWork = false;
    window.onClose = [&] {
        closedDuringWork = working;
        return true;
    };
    window.show();
    closeOnQuitRequest(&window);
    QTimer::singleShot(0, [&working] {
        QEventLoop work;
        QTimer::singleShot(300, &work, &QEventLoop::quit);
        working = true;
        raise(SIGTERM);
        work.exec(QEventLoop::ExcludeUserInputEvents);
        working = false;
    });
    EXPECT_TRUE(loopEndsAfter(0));
    EXPECT_TRUE(window.isHidden());
    EXPECT_FALSE(closedDuringWork);
}

// A pause between two polls of the web server would hold the close for up to half an hour: it
// lasts its time, unless the program is asked to quit, and then ends at once as a failure.
TEST(QuitRequest, APauseEndsAsAFailureAtTheRequest)
{
    ClosingWindow window;
    window.show();
    closeOnQuitRequest(&window);
    qint64 quiet = -1;
    qint64 interrupted = -1;
    QString failure;
    QTimer::singleShot(0, [&] {
        QElapsedTimer timer;
        timer.start();
        VxSleep(300);
        quiet = timer.restart();
        QTimer::singleShot(200, [] { raise(SIGTERM); });
        try {
            VxSleep(30000);
        } catch (const EVxException &e) {
            failure = e.message();
        }
        interrupted = timer.elapsed();
    });
    EXPECT_TRUE(loopEndsAfter(0, 10000));
    EXPECT_TRUE(window.isHidden());
    EXPECT_GE(quiet, 290);
    EXPECT_GE(interrupted, 190);
    EXPECT_LT(interrupted, 5000);
    EXPECT_TRUE(failure.contains(QStringLiteral("chiusura del programma")))
        << failure.toStdString();
    EXPECT_FALSE(quitRequestPending());
}
