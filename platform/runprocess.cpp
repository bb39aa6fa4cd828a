#include "platform/runprocess.h"

#include "platform/quitrequest.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {

// How often the wait looks for a request to quit: the close it holds up waits no longer.
constexpr int kQuitPollMs = 100;

} // namespace

QString TVxProcessResult::failure() const
{
    switch (outcome) {
    case Finished:
        return exitCode == 0 ? QString()
                             : QStringLiteral("è terminato con il codice %1").arg(exitCode);
    case Missing:
        return QStringLiteral("non è presente su questo computer");
    case NotStarted:
        return QStringLiteral("non si è avviato (%1)").arg(errorText);
    case Crashed:
        return QStringLiteral("si è interrotto in modo anomalo");
    case TimedOut:
        return QStringLiteral("non è terminato entro %1 secondi").arg(timeLimitMs / 1000.0);
    case Interrupted:
        return QStringLiteral("è stato fermato: è stata chiesta la chiusura del programma");
    }
    return QString();
}

TVxProcessResult VxRunAndWait(const QString &program, const QStringList &arguments, int timeLimitMs)
{
    TVxProcessResult result;
    result.timeLimitMs = timeLimitMs;
    if (!QFileInfo(program).isFile()) {
        result.outcome = TVxProcessResult::Missing;
        return result;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    // Why the wait ended while the program still ran.
    TVxProcessResult::Outcome stopped = TVxProcessResult::TimedOut;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (quitRequestPending()) {
            stopped = TVxProcessResult::Interrupted;
            loop.quit();
        }
    });
    process.start();
    limit.start(timeLimitMs);
    watch.start(kQuitPollMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (process.error() == QProcess::FailedToStart) {
        result.outcome = TVxProcessResult::NotStarted;
        result.errorText = process.errorString();
    } else if (process.state() != QProcess::NotRunning) {
        result.outcome = stopped;
        process.kill();
        process.waitForFinished(5000);
    } else if (process.exitStatus() == QProcess::CrashExit) {
        result.outcome = TVxProcessResult::Crashed;
    } else {
        result.outcome = TVxProcessResult::Finished;
        result.exitCode = process.exitCode();
    }
    return result;
}
