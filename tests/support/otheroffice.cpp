#include "tests/support/otheroffice.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <chrono>
#include <utility>

namespace {

// The connection lives in the office's thread: Qt's connections belong to the thread that
// made them.
thread_local QSqlDatabase officeDb;
thread_local bool officeInTransaction = false;

QString runIn(const QString &sql, const QVariantList &values)
{
    QSqlQuery query(officeDb);
    if (!query.prepare(sql))
        return sql + QStringLiteral(": ") + query.lastError().text();
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec())
        return sql + QStringLiteral(": ") + query.lastError().text();
    return {};
}

} // namespace

OtherOffice::OtherOffice(const TestDatabase &database)
{
    m_thread = std::thread([this, settings = database.connectionSettings()] { loop(settings); });
    finish(); // connected, or the failure is known
}

OtherOffice::~OtherOffice()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_hurry = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void OtherOffice::loop(TVxConnectionSettings settings)
{
    const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString error;
    if (!openDatabase(officeDb, name, settings, &error)) {
        std::lock_guard lock(m_mutex);
        m_failure = QStringLiteral("the other office cannot connect: ") + error;
    }
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_quit || !m_tasks.empty(); });
            if (m_tasks.empty())
                break;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
            m_busy = true;
        }
        if (officeDb.isOpen())
            task();
        {
            std::lock_guard lock(m_mutex);
            m_busy = false;
        }
        m_changed.notify_all();
    }
    if (officeDb.isOpen()) {
        officeDb.rollback();
        officeDb.close();
    }
    officeDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
}

void OtherOffice::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_changed.notify_all();
}

void OtherOffice::call(std::function<void()> task)
{
    post(std::move(task));
    finish();
}

void OtherOffice::finish()
{
    QString failure;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_tasks.empty() && !m_busy; });
        failure = std::exchange(m_failure, QString());
        m_hurry = false;
    }
    if (!failure.isEmpty())
        ADD_FAILURE() << failure.toStdString();
}

void OtherOffice::hold(const QString &sql, const QVariantList &values)
{
    call([this, sql, values] {
        if (!officeInTransaction)
            officeInTransaction = officeDb.transaction();
        const QString error = runIn(sql, values);
        std::lock_guard lock(m_mutex);
        if (!error.isEmpty())
            m_failure = error;
    });
}

void OtherOffice::save(const QString &sql, const QVariantList &values)
{
    hold(sql, values);
    commit();
}

void OtherOffice::hurry()
{
    {
        std::lock_guard lock(m_mutex);
        m_hurry = true;
    }
    m_changed.notify_all();
}

void OtherOffice::waitFor(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_hurry; });
}

void OtherOffice::commit()
{
    hurry();
    commitAfter(0);
    finish();
}

void OtherOffice::rollback()
{
    hurry();
    rollbackAfter(0);
    finish();
}

void OtherOffice::commitAfter(int milliseconds)
{
    post([this, milliseconds] {
        waitFor(milliseconds);
        officeInTransaction = false;
        if (!officeDb.commit()) {
            std::lock_guard lock(m_mutex);
            m_failure = QStringLiteral("the other office's commit: ") + officeDb.lastError().text();
        }
    });
}

void OtherOffice::rollbackAfter(int milliseconds)
{
    post([this, milliseconds] {
        waitFor(milliseconds);
        officeInTransaction = false;
        officeDb.rollback();
    });
}
