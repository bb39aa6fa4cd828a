#include "platform/quitrequest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int requestPipe[2] = {-1, -1};

std::function<void()> &quitCallback()
{
    static std::function<void()> callback;
    return callback;
}

extern "C" void writeQuitRequest(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    // A full pipe already holds a request: this one is not lost.
    [[maybe_unused]] const ssize_t written = write(requestPipe[1], &byte, 1);
    errno = saved;
}

void installHandlers()
{
    struct sigaction action = {};
    action.sa_handler = writeQuitRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void runQuitRequest()
{
    char bytes[64];
    while (read(requestPipe[0], bytes, sizeof bytes) > 0) {
    }
    static bool running = false;
    if (running || !quitCallback())
        return;
    running = true;
    quitCallback()();
    running = false;
}

} // namespace

void onQuitRequest(std::function<void()> callback)
{
    Q_ASSERT(QCoreApplication::instance());
    quitCallback() = std::move(callback);
    // Without a pipe the signals keep their default action: the program ends at once.
    if (requestPipe[0] < 0 && pipe2(requestPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    static QPointer<QSocketNotifier> notifier;
    if (!notifier) {
        notifier = new QSocketNotifier(requestPipe[0], QSocketNotifier::Read,
                                       QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, runQuitRequest);
    }
    installHandlers();
}

void restoreQuitRequestHandlers()
{
    if (requestPipe[0] >= 0)
        installHandlers();
}

namespace {

// A question (more than one answer) is the person's to answer.
void dismissForQuit(QWidget *modal)
{
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        // Not counted: the button that shows the details, any help button.
        QList<QAbstractButton *> answers = box->buttons();
        answers.removeIf([box](QAbstractButton *b) {
            const QMessageBox::ButtonRole role = box->buttonRole(b);
            return role == QMessageBox::ActionRole || role == QMessageBox::HelpRole;
        });
        if (answers.size() == 1)
            answers.constFirst()->click();
    } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
        dialog->reject();
    }
}

bool pendingQuit = false;

void closeForQuit(const QPointer<QWidget> &window)
{
    static bool waiting = false;
    if (!window || waiting)
        return;
    pendingQuit = true;
    QWidget *modal = QApplication::activeModalWidget();
    // An event loop of its own without a modal window is work under way that takes no input
    // (a web request): the person could not close the window during it either.
    if (modal || QThread::currentThread()->loopLevel() > 1) {
        // The dismissed window's caller runs on, and may show the next one, before the close.
        // A wait window is cancelled as by its "Annulla" (or not at all): its work ends first.
        if (modal)
            dismissForQuit(modal);
        waiting = true;
        QTimer::singleShot(100, QCoreApplication::instance(), [window] {
            waiting = false;
            closeForQuit(window);
        });
        return;
    }
    pendingQuit = false;
    // Other top-level windows (a preview) hold no work and must not keep the program alive:
    // quit() would ask them to close again.
    if (window->close())
        QCoreApplication::exit(0);
}

} // namespace

bool quitRequestPending()
{
    return pendingQuit;
}

void closeOnQuitRequest(QWidget *window)
{
    onQuitRequest([window = QPointer<QWidget>(window)] { closeForQuit(window); });
}
