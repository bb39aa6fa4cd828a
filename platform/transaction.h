#pragma once

// One transaction on a connection; what is not committed is rolled back when the object dies.
//
//   TVxTransaction tr(qqoVxGlobConn());
//   if (!tr.StartTransaction()) return;      // none could be started: the caller skips
//   QSqlQuery q(qqoVxGlobConn());
//   q.prepare(...);                          // prepare AFTER StartTransaction (see below)
//   q.bindValue(...); if (!q.exec()) throw ...;
//   tr.Commit();                             // throws EVxException when the commit fails
//
// The same object may run several transactions one after the other (start, commit, start...).
// StartTransaction answers false while another TVxTransaction is running on the connection:
// Firebird connections here carry one transaction at a time. TVxTransaction::activeOn tells
// data code whether it runs inside a caller's transaction.
//
// QIBASE: a statement is bound to the transaction open when it was prepared. A statement
// prepared before StartTransaction runs in a transaction of its own that commits by itself, and
// is not rolled back with this one. Prepare every statement inside the transaction that runs it.

#include <QSqlDatabase>
#include <QString>

class TVxTransaction
{
public:
    // The id is the suite's transaction number; kept for callers that give one, unused here.
    explicit TVxTransaction(const QSqlDatabase &db, int id = 0);
    ~TVxTransaction();
    TVxTransaction(const TVxTransaction &) = delete;
    TVxTransaction &operator=(const TVxTransaction &) = delete;

    bool StartTransaction();
    void Commit();
    bool Rollback();
    bool InTransaction() const { return m_active; }
    int Id() const { return m_id; }
    // The driver's text of the last failed start, commit or rollback.
    QString lastError() const { return m_lastError; }

    static bool activeOn(const QSqlDatabase &db);

private:
    QSqlDatabase m_db;
    int m_id = 0;
    bool m_active = false;
    QString m_lastError;
};
