#pragma once

// Named parameters (":name") for every statement the framework runs, bound by name without
// regard to case, whatever the driver supports.
//
//   TVxFieldValues values;  values.setValue("iDedId", 12);    // ordered, case-insensitive
//   valuesOf({{"iSitId", 957}, {"iAnsId", 39}})               // the same, in one expression
//   TVxNamedStatement st = toPositional("UPDATE T SET a = :A WHERE id = :VXCURRID");
//   //  st.sql = "UPDATE T SET a = ? WHERE id = ?", st.names = {"A", "VXCURRID"}
//   prepareAndBind(query, sql, values);   // throws EVxException naming a missing parameter
//   execBound(query, sql, values);        // prepare, bind, exec: the rows it changed; throws
//                                         // EVxException with the driver's error
//   execAgain(query, sql, values);        // the same statement again with new values
//   while (fetchNext(query)) ...          // every loop over a select's rows
//   TVxStatementRecorder recorder;        // counts and records what runs while it lives
//
// Text in quotes, quoted identifiers and comments is never taken for a parameter. Values are
// always bound, never pasted into the statement text; a null value is prepared as the literal
// NULL in its parameter's place, since the driver would bind it as 0 or '' wherever the
// parameter is not nullable (a NOT NULL column, "0 = :p").

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <utility>

class TVxFieldValues
{
public:
    int size() const { return int(m_names.size()); }
    int indexOf(const QString &name) const;
    bool contains(const QString &name) const { return indexOf(name) >= 0; }
    QString name(int i) const { return m_names.at(i); }
    QVariant value(int i) const { return m_values.at(i); }
    QVariant value(const QString &name) const;
    // Replaces the value of a name already present (keeping its spelling), else appends it.
    void setValue(const QString &name, const QVariant &value);
    QStringList names() const { return m_names; }

private:
    QStringList m_names;
    QList<QVariant> m_values;
};

// The values of a statement, named as its parameters, in the order given.
TVxFieldValues valuesOf(std::initializer_list<std::pair<const char *, QVariant>> pairs);

struct TVxNamedStatement
{
    QString sql;       // with "?" in place of each parameter
    QStringList names; // one per "?", in order, as written
};

// placeholder gives the text written in place of each parameter (default "?").
TVxNamedStatement toPositional(const QString &sql,
                               const std::function<QString(const QString &name)> &placeholder = {});

// The text prepared for the statement with these values: the statement itself unless one of
// its parameters is null, else its positional text with NULL in each null parameter's place.
// Statements kept prepared for running again are told apart by it.
QString preparedText(const QString &sql, const TVxFieldValues &values);

// Prepares the statement on the query and binds every parameter from the values. Prepare inside
// the transaction that will run it (QIBASE). Throws EVxException on a missing value or a
// statement the database refuses.
void prepareAndBind(QSqlQuery &query, const QString &sql, const TVxFieldValues &values);
// Prepares, binds and runs the statement. Returns the number of rows it inserted, changed or
// deleted (0 for a select), so that an update that touched no row can be told from one that
// did. Asking the driver costs a round trip to a server: without countRows it is not asked,
// and 0 returned.
int execBound(QSqlQuery &query, const QString &sql, const TVxFieldValues &values,
              bool countRows = true);
// Runs again, with new values, a statement that prepareAndBind or execBound prepared on this
// query from the same text: a statement run once per row is prepared once, which is most of
// the cost of a small insert. A value turned null, or back, prepares it again. Returns the
// rows changed, as execBound.
int execAgain(QSqlQuery &query, const QString &sql, const TVxFieldValues &values,
              bool countRows = true);
// Moves to the next row of a select that ran: false after the last row. A row the database
// fails to deliver (a computed column that divides by zero, a lost connection) throws
// EVxException with the driver's text: QSqlQuery::next answers false for it too, and a loop
// that stopped there would take a failure for the end of the rows.
bool fetchNext(QSqlQuery &query);

// A list of keys in a statement of one text, whatever the list's length: "IN (%KEYS%)" is
// written with kVxKeysAtOnce places (":k0, :k1, ..."), and the keys go in that many at a time,
// the spare places repeating the chunk's first key (it selects nothing more). A text with the
// keys written into it would be a statement of its own at every list, prepared again each time.
//
//   const QString sql = VxKeysSql("DELETE FROM TNot_Note WHERE iSitId IN (%KEYS%)");
//   for (const TVxFieldValues &chunk : VxKeyChunks(sits, values))  // none for no key
//       tr.Exec(sql, chunk);
// A second list takes a hole and places of its own ("%SUBJECTS%", ":s0, :s1, ..."), its chunks
// made from each chunk of the first.
constexpr int kVxKeysAtOnce = 50;
QString VxKeysSql(const QString &sql, const QString &hole = QStringLiteral("%KEYS%"),
                  const QString &prefix = QStringLiteral("k"));
// The values, with the keys of each chunk beside them.
QList<TVxFieldValues> VxKeyChunks(const QList<int> &keys, const TVxFieldValues &values = {},
                                  const QString &prefix = QStringLiteral("k"));

// Counts, by text, the statements these helpers prepare and run while it lives, and records
// each run with its values in order: tests check that a statement is prepared once, a
// benchmark replays a report's statements bare. One at a time: one made meanwhile takes over
// until it ends; a recorder of every statement (the tests' watch over the whole run) records
// beside the newer ones too, those run on its own thread. Costs nothing while none exists.
class TVxStatementRecorder
{
public:
    struct Statement
    {
        QString sql;
        TVxFieldValues values;
    };
    enum Reach { UntilANewerOne, Every };

    explicit TVxStatementRecorder(Reach reach = UntilANewerOne);
    ~TVxStatementRecorder();
    TVxStatementRecorder(const TVxStatementRecorder &) = delete;
    TVxStatementRecorder &operator=(const TVxStatementRecorder &) = delete;

    int prepared(const QString &sql) const { return m_prepared.value(sql); }
    int executed(const QString &sql) const { return m_executed.value(sql); }
    const QList<Statement> &statements() const { return m_statements; }

    // Called before each statement runs: a test stops the server there, half-way through a
    // piece of work.
    void setBeforeRun(const std::function<void(const QString &sql)> &hook) { m_beforeRun = hook; }

    // What the helpers report to the newest recorder.
    void notePrepared(const QString &sql);
    void noteExecuted(const QString &sql, const TVxFieldValues &values);

private:
    bool records() const;

    TVxStatementRecorder *m_previous;
    Reach m_reach;
    Qt::HANDLE m_thread;
    QHash<QString, int> m_prepared;
    QHash<QString, int> m_executed;
    QList<Statement> m_statements;
    std::function<void(const QString &)> m_beforeRun;
};
