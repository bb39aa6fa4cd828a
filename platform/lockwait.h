#pragma once

// How long a statement may wait for rows another office or program holds.
//
// The driver starts every transaction in Firebird's waiting mode and offers no lock timeout:
// a statement that meets a row changed by a transaction still open waits until that
// transaction ends. That is right while the other office saves (a cell, a row: a moment), and
// would hang the program for good behind a program that keeps its transaction open. So every
// statement that writes runs under a guard: past lockWaitTimeout() the guard cancels it
// (Firebird's fb_cancel_operation, from a watchdog thread), and the framework asks the user
// whether to wait again (sqlparams.cpp).
//
//   TVxLockWaitGuard guard(query.driver());   // armed while it lives
//   const bool ok = query.exec();
//   if (!ok && guard.fired()) ...               // cancelled after the wait, not refused

class QSqlDriver;

class TVxLockWaitGuard
{
public:
    explicit TVxLockWaitGuard(const QSqlDriver *driver);
    ~TVxLockWaitGuard();
    TVxLockWaitGuard(const TVxLockWaitGuard &) = delete;
    TVxLockWaitGuard &operator=(const TVxLockWaitGuard &) = delete;

    // True once the wait ran out and the statement was cancelled. Disarms the guard.
    bool fired();

private:
    void disarm();

    unsigned m_handle = 0;
    bool m_armed = false;
    bool m_fired = false;
};

// The Firebird attachment of an open connection's driver, for the client library's own calls;
// 0 for any other driver or a closed connection.
unsigned VxAttachmentOf(const QSqlDriver *driver);

// Milliseconds; 10 seconds unless set (tests shorten it).
int lockWaitTimeout();
void setLockWaitTimeout(int milliseconds);
