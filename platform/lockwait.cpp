#include "platform/lockwait.h"

#include <QSqlDriver>
#include <QVariant>

#include <ibase.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int timeoutMs = 10000;

// One thread for the whole program, armed for the one statement running at a time: a thread
// per statement would cost more than the small statements of a save.
class Watchdog
{
public:
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

    void arm(isc_db_handle handle, Clock::time_point deadline)
    {
        bool wake = false;
        {
            std::lock_guard lock(m_mutex);
            if (!m_thread.joinable())
                m_thread = std::thread([this] { run(); });
            m_handle = handle;
            m_deadline = deadline;
            m_armed = true;
            m_fired = false;
            // Asleep until an earlier moment, it finds this deadline when it wakes. Woken for
            // every statement, it would cost two thread switches each; on a busy machine the
            // program then loses its turn on the processor at every one, and work that saves
            // thousands of values one by one (a web collection) slows down by whole seconds.
            wake = m_sleepingUntil > deadline;
        }
        if (wake)
            m_wake.notify_all();
    }

    // Whether the cancel went out before the statement ended.
    bool disarm()
    {
        std::lock_guard lock(m_mutex);
        m_armed = false;
        return m_fired;
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_quit) {
            if (!m_armed) {
                m_sleepingUntil = Clock::time_point::max();
                m_wake.wait(lock);
                continue;
            }
            if (Clock::now() < m_deadline) {
                m_sleepingUntil = m_deadline;
                m_wake.wait_until(lock, m_deadline);
                continue;
            }
            // Under the lock: the statement cannot be disarmed, and a new one armed on the
            // same attachment, between the decision and the cancel.
            ISC_STATUS_ARRAY status;
            isc_db_handle handle = m_handle;
            fb_cancel_operation(status, &handle, fb_cancel_raise);
            m_fired = true;
            m_armed = false;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    isc_db_handle m_handle = 0;
    Clock::time_point m_deadline;
    Clock::time_point m_sleepingUntil = Clock::time_point::max(); // max: until woken
    bool m_armed = false;
    bool m_fired = false;
    bool m_quit = false;
};

Watchdog &watchdog()
{
    static Watchdog instance;
    return instance;
}

} // namespace

unsigned VxAttachmentOf(const QSqlDriver *driver)
{
    if (!driver || driver->dbmsType() != QSqlDriver::Interbase || !driver->isOpen())
        return 0;
    const QVariant handle = driver->handle();
    if (handle.metaType().sizeOf() != int(sizeof(isc_db_handle)))
        return 0;
    return *static_cast<const isc_db_handle *>(handle.constData());
}

TVxLockWaitGuard::TVxLockWaitGuard(const QSqlDriver *driver) : m_handle(VxAttachmentOf(driver))
{
    if (m_handle == 0)
        return;
    watchdog().arm(m_handle, Clock::now() + std::chrono::milliseconds(timeoutMs));
    m_armed = true;
}

TVxLockWaitGuard::~TVxLockWaitGuard()
{
    disarm();
}

void TVxLockWaitGuard::disarm()
{
    if (!m_armed)
        return;
    m_armed = false;
    if (!watchdog().disarm())
        return;
    m_fired = true;
    // A cancel that arrives just as the statement ends would fail the attachment's next call:
    // disabling and enabling cancellation drops it.
    ISC_STATUS_ARRAY status;
    isc_db_handle handle = m_handle;
    fb_cancel_operation(status, &handle, fb_cancel_disable);
    fb_cancel_operation(status, &handle, fb_cancel_enable);
}

bool TVxLockWaitGuard::fired()
{
    disarm();
    return m_fired;
}

int lockWaitTimeout()
{
    return timeoutMs;
}

void setLockWaitTimeout(int milliseconds)
{
    timeoutMs = milliseconds;
}
