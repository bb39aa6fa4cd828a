#pragma once

#include "tests/support/testdb.h"

#include <QString>
#include <QVariantList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Another office working on the same database at the same time: a connection of its own, in a
// thread of its own, so that it can keep rows changed and uncommitted, or end its save a moment
// later, while this office's statement waits for them. The cases of two offices at once (the
// framework's, the grade-entry saves') are written with it.
//
//   OtherOffice other(database);
//   other.hold("UPDATE TEnc_Encomio SET sEncLDesc = ? WHERE iEncId = ?", {"B", 5});
//   other.commitAfter(300);   // its save ends while this office waits
//   ... this office's save, which waits, then meets the other office's change ...
//   other.finish();           // waits until the other office is done
class OtherOffice
{
public:
    explicit OtherOffice(const TestDatabase &database);
    ~OtherOffice(); // rolls back what is still open

    // Runs the statement in the office's open transaction (started when none is): the rows it
    // changes stay locked until commit or rollback.
    void hold(const QString &sql, const QVariantList &values = {});
    // Runs the statement in a transaction of its own, committed.
    void save(const QString &sql, const QVariantList &values = {});
    void commit();
    void rollback();
    // The open transaction ends the given milliseconds from now, while this office goes on
    // (or at once, when commit, rollback or the end of the object come first).
    void commitAfter(int milliseconds);
    void rollbackAfter(int milliseconds);
    // Waits until everything asked of the office has run; a statement it could not run fails
    // the test here.
    void finish();

private:
    void post(std::function<void()> task);
    void call(std::function<void()> task);
    void loop(TVxConnectionSettings settings);
    void waitFor(int milliseconds);
    void hurry();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    bool m_busy = false;
    bool m_hurry = false;
    bool m_quit = false;
    QString m_failure;
    std::thread m_thread;
};
