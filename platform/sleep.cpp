#include "platform/sleep.h"

#include "platform/quitrequest.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace {

ScriptedSleeps *scripted = nullptr;

// How often a pause looks for a request to quit: the close it holds up waits no longer.
constexpr int kQuitPollMs = 100;

EVxException quitting()
{
    return EVxException(
        QStringLiteral("Attesa interrotta: è stata chiesta la chiusura del programma."));
}

} // namespace

ScriptedSleeps::ScriptedSleeps() : m_previous(scripted)
{
    scripted = this;
}

ScriptedSleeps::~ScriptedSleeps()
{
    scripted = m_previous;
}

void VxSleep(int milliseconds, const TfmVxWait *wait)
{
    const QPointer<const TfmVxWait> watched(wait);
    if (watched)
        watched->CheckCancelled();
    if (scripted) {
        scripted->m_durations.append(milliseconds);
        if (scripted->onSleep)
            scripted->onSleep(scripted->count());
        if (watched)
            watched->CheckCancelled();
        return;
    }
    if (quitRequestPending())
        throw quitting();
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    // A coarse timer may end up to 5 % early; a pause promised to the server lasts its time.
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool interrupted = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (quitRequestPending()) {
            interrupted = true;
            loop.quit();
        }
    });
    if (watched)
        QObject::connect(watched.data(), &TfmVxWait::cancelRequested, &loop, &QEventLoop::quit);
    end.start(milliseconds);
    watch.start(kQuitPollMs);
    loop.exec(watched && watched->TakesInput() ? QEventLoop::AllEvents
                                               : QEventLoop::ExcludeUserInputEvents);
    if (interrupted)
        throw quitting();
    if (watched)
        watched->CheckCancelled();
}
