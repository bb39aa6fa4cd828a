#pragma once

// One transaction on a connection; what is not committed is rolled back when the object dies.
//
//   TVxTransaction tr(qqoVxGlobConn());
//   if (!tr.StartTransaction()) throw EVxException(tr.lastError());  // or the caller skips
//   QSqlQuery &q = tr.Exec("UPDATE T SET a = :a WHERE id = :id", values);  // prepared once
//   if (tr.ExecChanged("DELETE FROM T WHERE id = :id", values) == 0) ...   // rows it changed
//   tr.Commit();                             // throws EVxException when the commit fails
//
//   TVxTransaction *tr = TVxTransaction::runningOn(db);   // the caller's, or nullptr
//   TVxTransactionScope scope(db);                        // the caller's, or one of its own
//   const int key = VxNewKey(db, "TVOT_VOTI");            // a new key from PYSetGetId
//   VxEachRow(db, "SELECT ...", values, [](const QSqlQuery &q, const QSqlRecord &rec) {...});
//
// The same object may run several transactions one after the other (start, commit, start...).
// A start on a connection whose server went away and came back opens the connection again
// (VxReconnect); a statement or commit that finds the server gone throws the office's message
// (connectionLostError) and leaves the transaction to be rolled back.
// StartTransaction answers false while another TVxTransaction is running on the connection:
// Firebird connections here carry one transaction at a time. lastError() then says why.
//
// QIBASE: a statement is bound to the transaction open when it was prepared. A statement
// prepared before StartTransaction runs in a transaction of its own that commits by itself, and
// is not rolled back with this one. Prepare every statement inside the transaction that runs it:
// Exec does, and keeps each distinct text prepared until the transaction ends.

#include "platform/sqlparams.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>

class EVxException;
class QSqlError;
class QSqlRecord;
class TVxSideConnection;

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
    // Commits the work so far and goes on as the same transaction, its statements still
    // prepared (Firebird's COMMIT RETAIN): a long piece of work that stores step by step prepares
    // each text once. It still sees the database as it was when it started, with its own writes:
    // what another office saved since is not seen, and a row it changed since is refused as an
    // update conflict. A failed commit rolls the work back and throws, as Commit does.
    void CommitRetaining();
    bool Rollback();
    bool InTransaction() const { return m_active; }
    int Id() const { return m_id; }
    // Why the last start, commit or rollback failed, in the office's words; the engine's own
    // text, when it refused, for the technician.
    QString lastError() const { return m_lastError; }
    QString lastEngineText() const { return m_engineText; }

    // Runs the statement with the values inside this transaction. Each distinct text is
    // prepared the first time and run again with new values afterwards (preparing costs more
    // than running a small insert); once more for each pattern of null values it meets. The query
    // returned is the statement's own: read a select's rows with fetchNext before the same text
    // runs again; it is freed when the transaction ends. Throws EVxException with the driver's
    // text, or when no transaction is running.
    QSqlQuery &Exec(const QString &sql, const TVxFieldValues &values);
    // Exec of an insert, update or delete: the rows it changed. The driver is asked once per
    // run, a round trip to a server: asking the query again would cost another.
    int ExecChanged(const QString &sql, const TVxFieldValues &values);
    // Exec of an insert, update or delete whose rows need not be counted, saving that round
    // trip: a write of a row this transaction has just read, which touches it or fails.
    void Run(const QString &sql, const TVxFieldValues &values);
    // Exec of an update or delete that names one row: touching none means that another office
    // deleted the row since it was read, and the change would be lost unsaid; throws
    // EVxException (rowGoneError) then. Returns the rows changed.
    int ExecRow(const QString &sql, const TVxFieldValues &values);
    // The number of statements prepared since the transaction started.
    int preparedCount() const { return int(m_statements.size()); }

    static bool activeOn(const QSqlDatabase &db);
    // The TVxTransaction running on the connection; nullptr when none is.
    static TVxTransaction *runningOn(const QSqlDatabase &db);

private:
    void end();
    void refusedBy(const QSqlError &error);
    QSqlQuery &exec(const QString &sql, const TVxFieldValues &values, bool countRows);

    QSqlDatabase m_db;
    int m_id = 0;
    bool m_active = false;
    int m_changed = 0; // rows changed by the last Exec
    QString m_lastError;
    QString m_engineText;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_statements;
    std::unique_ptr<QSqlQuery> m_retain; // COMMIT RETAIN, prepared at its first run
};

// Statements each of whose runs is a transaction of its own, committed when it succeeds: for
// work that writes many values, each value in one statement and one transaction. A statement
// prepared inside a TVxTransaction dies with it, and preparing costs more than running a small
// update; here each text is prepared once, on a side connection of the same database where no
// TVxTransaction ever runs, so that every run starts and commits a transaction of its own. A
// run the database refuses changes nothing (a failed statement is undone whole) and throws
// EVxException as Exec does, the server gone the office's message (connectionLostError); the
// statement is then dropped, with the transaction the driver left open for it, and prepared
// again at its next run.
class TVxSelfCommittingStatements
{
public:
    // Throws EVxException when the side connection cannot be opened.
    explicit TVxSelfCommittingStatements(const QSqlDatabase &like);
    ~TVxSelfCommittingStatements();
    TVxSelfCommittingStatements(const TVxSelfCommittingStatements &) = delete;
    TVxSelfCommittingStatements &operator=(const TVxSelfCommittingStatements &) = delete;

    // Runs an insert, update or delete and commits it: the rows it changed.
    int ExecChanged(const QString &sql, const TVxFieldValues &values);

private:
    std::unique_ptr<TVxSideConnection> m_side;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_statements;
};

// The reads of a long piece of work that writes as it goes on another connection (each value in
// a transaction of its own): one transaction of their own on a side connection of the same
// database (TVxSideConnection), started here and ended with the object. VxEachRow on database()
// runs in it, so that each text is prepared once for the whole work; every read sees the
// database as it was when the object was made (a snapshot), not what the work writes after.
// Throws EVxException when the connection cannot be opened or the transaction started.
class TVxSideReads
{
public:
    explicit TVxSideReads(const QSqlDatabase &like);
    ~TVxSideReads();
    TVxSideReads(const TVxSideReads &) = delete;
    TVxSideReads &operator=(const TVxSideReads &) = delete;

    QSqlDatabase database() const;

private:
    std::unique_ptr<TVxSideConnection> m_side;
    std::unique_ptr<TVxTransaction> m_reads; // ends before its connection, declared after it
};

// The transaction a piece of work runs in: the caller's, when one is running on the connection,
// else one of its own, started here. Commit() commits only a transaction of its own (the
// caller's is its owner's to commit); one not committed is rolled back with the object. Throws
// EVxException with the reason when no transaction can be started.
class TVxTransactionScope
{
public:
    explicit TVxTransactionScope(const QSqlDatabase &db);
    TVxTransaction &transaction() { return *m_transaction; }
    bool ownsTransaction() const { return m_own != nullptr; }
    void Commit();

private:
    std::unique_ptr<TVxTransaction> m_own;
    TVxTransaction *m_transaction = nullptr;
};

// A new key for a row of the table, from the database's key procedure PYSetGetId, the one
// source of keys of every insert of the suite (the table's name is passed in capitals). Inside
// a running TVxTransaction the call is prepared once for the whole transaction. Throws
// EVxException when the database gives none.
int VxNewKey(const QSqlDatabase &db, const QString &table);

// The text of an insert that the database makes only while no row of the table has the values
// of the matching columns, checked in the same statement (INSERT ... SELECT ... WHERE NOT
// EXISTS): a row that another office or another program stored after this office last looked
// is met there, not stored twice. Run it with ExecChanged: 0 rows means the row was there. Each
// column comes with its SQL type, as the database learns a value's type in a select's list only
// from a cast; all are bound by name. The check sees what the transaction sees: rows committed
// before it began. Where two writers may insert at the very same moment, a unique key or a lock
// both take keeps them apart.
//
//   const QString sql = VxInsertUnlessPresentSql("TCFP_FIRMAPRESIDE",
//       {{"iCfpId", "INTEGER"}, {"iAnsId", "INTEGER"}, {"sFirmaSes1", "VARCHAR(100)"}},
//       {"iAnsId"});
//   if (tr.ExecChanged(sql, values) == 0) ...   // the year has its row already
struct TVxTypedColumn
{
    const char *name;
    const char *type;
};
QString VxInsertUnlessPresentSql(const QString &table,
                                 std::initializer_list<TVxTypedColumn> columns,
                                 std::initializer_list<const char *> matching);

// Runs the work under a savepoint of the running transaction: a failure takes back the work's
// statements alone, the transaction goes on, and the failure is raised again. The one way a
// collection that writes several rows in one transaction undoes a refused row. When the
// savepoint itself cannot be taken back (the server gone), the whole transaction is rolled back:
// it must not commit half a row. Savepoints nest.
void VxUnderSavepoint(TVxTransaction &tr, const std::function<void()> &work);

// Writes count rows in the running transaction, each row's failure its own: a row the database
// refuses is taken back alone and handed to refused, and the other rows are still written. A
// failure that is not a row's own (the transaction gone, the server gone, a wait for another
// office's rows that the office stopped) raises, ending the work. The rows run under one
// savepoint first, since a refusal is rare and a savepoint per row costs two round trips more;
// once one is refused they are written again, each under a savepoint of its own, so write must
// give the same result when run again.
void VxWriteEachRow(TVxTransaction &tr, qsizetype count,
                    const std::function<void(qsizetype)> &write,
                    const std::function<void(qsizetype, const EVxException &)> &refused);

// Reads one whole number with a select of at most one row (an aggregate: NULL reads 0) in a
// transaction of its own on the connection's attachment, beside the driver's: Firebird's read
// committed without record versions, which waits for the rows another transaction holds
// written and then reads what it committed. A TVxTransaction reads a snapshot, and never sees a
// row another office has not committed, nor one committed after it began: where no unique key
// keeps two writers of one row apart, this wait is what meets the other. Run it before this
// program's own work on the connection writes anything: it would wait for its own rows. "?"
// parameters take the values in order. A wait past lockWaitTimeout() asks whether to wait again,
// as a write does (No throws lockWaitRefused()); a refusal throws as a statement's does.
qint64 VxReadCommitted(const QSqlDatabase &db, const QString &sql, const QList<qint64> &values);

// Runs a select in the transaction of a TVxTransactionScope (the caller's, or one of its own
// committed after the last row) and hands each row, with the select's columns for looking
// fields up by name, to the reader. Throws EVxException as Exec and fetchNext do.
void VxEachRow(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &values,
               const std::function<void(const QSqlQuery &, const QSqlRecord &)> &row);

// How the database would read a statement, without running it: prepared in a read-only
// transaction of its own on the connection's attachment, ":name" parameters as "?". plan is the
// optimizer's one line ("PLAN JOIN (TSIT INDEX (PK_TSIT_SITUAZIONI), ...)"), explained its
// detailed form, a line for each step ("-> Table \"TSIT_SITUAZIONI\" as \"TSIT\" Full Scan").
// Throws EVxException with the engine's text when the database refuses the statement.
//
//   const TVxStatementPlan plan = VxStatementPlan(db, sql);
//   for (const QString &table : VxTablesReadWhole(db, plan, {"TSIT_SITUAZIONI", "TVOT_VOTI"}))
//       ...   // a read that grows with the whole table, not with what the statement serves
struct TVxStatementPlan
{
    QString plan;
    QString explained;
};
TVxStatementPlan VxStatementPlan(const QSqlDatabase &db, const QString &sql);
// The tables among those given (names in capitals) that the plan reads whole: scanned in full
// (also along an index, for its order), or reached only through the index of a foreign key to
// a table read whole before it in the same select. The second is the first in disguise: every
// row of a small table of kinds (the component kinds, the levels) brings the rows of the large
// one that name it, all of them, however the select narrows them afterwards; and every class
// brings every situation. Each table once, in the plan's order.
QStringList VxTablesReadWhole(const QSqlDatabase &db, const TVxStatementPlan &plan,
                              const QStringList &tables);
