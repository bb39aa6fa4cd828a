#include "platform/sqlparams.h"

#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/lockwait.h"
#include "platform/messagedlg.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QThread>

int TVxFieldValues::indexOf(const QString &name) const
{
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant TVxFieldValues::value(const QString &name) const
{
    const int i = indexOf(name);
    return i < 0 ? QVariant() : m_values[i];
}

void TVxFieldValues::setValue(const QString &name, const QVariant &value)
{
    const int i = indexOf(name);
    if (i >= 0) {
        m_values[i] = value;
        return;
    }
    m_names << name;
    m_values << value;
}

TVxFieldValues valuesOf(std::initializer_list<std::pair<const char *, QVariant>> pairs)
{
    TVxFieldValues values;
    for (const auto &[name, value] : pairs)
        values.setValue(QString::fromLatin1(name), value);
    return values;
}

namespace {

bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

// A statement cut at its parameters: pieces.size() == names.size() + 1.
struct ParsedStatement
{
    QStringList pieces;
    QStringList names;
};

ParsedStatement parse(const QString &sql)
{
    ParsedStatement st;
    QString piece;
    piece.reserve(sql.size());
    const qsizetype n = sql.size();
    qsizetype i = 0;
    qsizetype plain = 0; // start of the text not yet copied into the piece
    const auto copyUpTo = [&](qsizetype end) {
        piece += QStringView(sql).mid(plain, end - plain);
        plain = end;
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A quote closes at the next single quote; a doubled quote stays inside.
            qsizetype j = i + 1;
            while (j < n) {
                if (sql[j] == c) {
                    if (j + 1 < n && sql[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            i = qMin(j + 1, n);
        } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
            const qsizetype j = sql.indexOf(QLatin1Char('\n'), i);
            i = j < 0 ? n : j;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
            const qsizetype j = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = j < 0 ? n : j + 2;
        } else if (c == QLatin1Char(':') && i + 1 < n && isNameStart(sql[i + 1])) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(sql[j]))
                ++j;
            copyUpTo(i);
            st.pieces << piece;
            piece.clear();
            st.names << sql.mid(i + 1, j - i - 1);
            i = plain = j;
        } else {
            ++i;
        }
    }
    copyUpTo(n);
    st.pieces << piece;
    return st;
}

// A report reopens the same statements at every row it prints, and each run reads a text
// more than once: each text is cut once per thread (a second office works on a thread of its
// own).
ParsedStatement parsed(const QString &sql)
{
    thread_local QHash<QString, ParsedStatement> cache;
    const auto found = cache.constFind(sql);
    if (found != cache.cend())
        return *found;
    if (cache.size() >= 2048)
        cache.clear();
    return *cache.insert(sql, parse(sql));
}

} // namespace

TVxNamedStatement toPositional(const QString &sql,
                               const std::function<QString(const QString &name)> &placeholder)
{
    const ParsedStatement parts = parsed(sql);
    TVxNamedStatement st;
    st.names = parts.names;
    st.sql.reserve(sql.size());
    for (qsizetype k = 0; k < parts.names.size(); ++k) {
        st.sql += parts.pieces[k];
        st.sql += placeholder ? placeholder(parts.names[k]) : QStringLiteral("?");
    }
    st.sql += parts.pieces.last();
    return st;
}

namespace {

// QIBASE binds a null as 0 or as the empty text wherever Firebird describes the parameter as
// not nullable (a NOT NULL column, "0 = ?"): a missing value would be stored, or compared, as
// a plausible one, and the column's refusal never come. A null value therefore never travels
// as a parameter: the text prepared carries NULL in its place. Firebird takes NULL wherever a
// value may stand, not where the place alone gives the type (FIRST, SKIP, a date plus a
// number): cast the parameter there. A variant holding an empty text is a text, not a null,
// and is bound as before.
bool travelsAsNull(const QVariant &value)
{
    return value.isNull();
}

bool anyNull(const TVxFieldValues &values)
{
    for (int i = 0; i < values.size(); ++i) {
        if (travelsAsNull(values.value(i)))
            return true;
    }
    return false;
}

// The text prepared for the values, and the value bound to each "?" of it, in order.
struct BoundStatement
{
    QString text;
    QList<int> bound; // indexes into the values
    bool nulls = false;
};

// The positional form of a statement, parsed once: a statement run again for every row of a
// report would otherwise parse its whole text at each run. Texts made anew (an id list in the
// text) only fill the cache, which is then started again.
TVxNamedStatement positionalOnce(const QString &sql)
{
    static thread_local QHash<QString, TVxNamedStatement> parsed;
    const auto found = parsed.constFind(sql);
    if (found != parsed.constEnd())
        return *found;
    if (parsed.size() >= 4096)
        parsed.clear();
    return *parsed.insert(sql, toPositional(sql));
}

BoundStatement boundStatement(const QString &sql, const TVxFieldValues &values)
{
    TVxNamedStatement st = positionalOnce(sql);
    BoundStatement prepared;
    for (const QString &name : st.names) {
        const int i = values.indexOf(name);
        if (i < 0)
            throw EVxException(
                QStringLiteral("Manca il valore del parametro %1 per l'istruzione:\r%2")
                    .arg(name, sql));
        if (travelsAsNull(values.value(i)))
            prepared.nulls = true;
        else
            prepared.bound << i;
    }
    if (!prepared.nulls) {
        prepared.text = std::move(st.sql);
        return prepared;
    }
    prepared.text =
        toPositional(sql, [&values](const QString &name) {
            return travelsAsNull(values.value(name)) ? QStringLiteral("NULL") : QStringLiteral("?");
        }).sql;
    return prepared;
}

TVxStatementRecorder *recorder = nullptr;

// A query keeps the attachment its connection had when it was made.
void renewQuery(QSqlQuery &query, const QSqlDatabase &db)
{
    const bool forwardOnly = query.isForwardOnly();
    query = QSqlQuery(db);
    query.setForwardOnly(forwardOnly);
}

// A statement prepared outside a transaction on a connection whose server went away (or on the
// attachment it had before it was opened again) loses nothing: the connection is opened again
// and the statement prepared on the new attachment. Inside a transaction the transaction's
// work is gone with the old attachment, and the caller must hear it.
bool prepareOnLiveConnection(QSqlQuery &query, const QString &text)
{
    if (query.driver() && !query.driver()->isOpen()) {
        QSqlDatabase db = connectionOfDriver(query.driver());
        if (db.isValid() && reopenIfLost(db))
            renewQuery(query, db);
    }
    if (query.prepare(text))
        return true;
    if (!isConnectionLost(query.lastError()))
        return false;
    QSqlDatabase db = connectionOfDriver(query.driver());
    if (!db.isValid() || TVxTransaction::activeOn(db))
        throw connectionLostError(engineText(query.lastError()));
    VxReconnect(db);
    renewQuery(query, db);
    return query.prepare(text);
}

void prepareText(QSqlQuery &query, const QString &sql, const QString &text)
{
    if (recorder)
        recorder->notePrepared(sql);
    if (prepareOnLiveConnection(query, text))
        return;
    if (isConnectionLost(query.lastError()))
        throw connectionLostError(engineText(query.lastError()));
    throw EVxException::general(QStringLiteral("Istruzione rifiutata dal database."),
                                sql + QStringLiteral("\r\r") + engineText(query.lastError()));
}

void bindAll(QSqlQuery &query, const BoundStatement &prepared, const TVxFieldValues &values)
{
    for (int i = 0; i < prepared.bound.size(); ++i)
        query.bindValue(i, values.value(prepared.bound[i]));
}

// A savepoint's statement changes no rows, and the driver cannot count them.
bool isSavepointStatement(const QString &sql)
{
    static const QRegularExpression re(QStringLiteral("^\\s*(SAVEPOINT|RELEASE|ROLLBACK)\\b"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(sql).hasMatch();
}

// A write that waits past lockWaitTimeout() for rows another office or program holds is
// cancelled; the user decides whether to wait again. Reads never wait: each transaction reads
// its own snapshot.
int runPrepared(QSqlQuery &query, const QString &sql, const TVxFieldValues &values, bool countRows)
{
    if (recorder)
        recorder->noteExecuted(sql, values);
    for (;;) {
        bool ok = false;
        bool waitedOut = false;
        if (query.isSelect()) {
            ok = query.exec();
        } else {
            TVxLockWaitGuard guard(query.driver());
            ok = query.exec();
            waitedOut = guard.fired() && !ok;
        }
        if (ok)
            return !countRows || query.isSelect() || isSavepointStatement(sql)
                       ? 0
                       : qMax(0, query.numRowsAffected());
        if (!waitedOut)
            throw statementRefused(query.lastError(), values);
        if (VxMessageDlg(lockWaitQuestion(), mtWarning, mbYesNo, 0, mrNo) != mrYes)
            throw lockWaitRefused();
    }
}

} // namespace

QString preparedText(const QString &sql, const TVxFieldValues &values)
{
    if (!anyNull(values))
        return sql;
    BoundStatement prepared = boundStatement(sql, values);
    return prepared.nulls ? std::move(prepared.text) : sql;
}

void prepareAndBind(QSqlQuery &query, const QString &sql, const TVxFieldValues &values)
{
    const BoundStatement prepared = boundStatement(sql, values);
    prepareText(query, sql, prepared.text);
    bindAll(query, prepared, values);
}

int execBound(QSqlQuery &query, const QString &sql, const TVxFieldValues &values, bool countRows)
{
    prepareAndBind(query, sql, values);
    return runPrepared(query, sql, values, countRows);
}

int execAgain(QSqlQuery &query, const QString &sql, const TVxFieldValues &values, bool countRows)
{
    const BoundStatement prepared = boundStatement(sql, values);
    // A value that turned null, or back, changes the text the statement needs.
    if (query.lastQuery() != prepared.text)
        prepareText(query, sql, prepared.text);
    bindAll(query, prepared, values);
    return runPrepared(query, sql, values, countRows);
}

bool fetchNext(QSqlQuery &query)
{
    if (query.next())
        return true;
    // After the last row the driver leaves no error; a failed fetch leaves its own.
    if (query.lastError().type() != QSqlError::NoError)
        throw EVxException::general(QStringLiteral("Errore nella lettura dei dati dal database."),
                                    engineText(query.lastError()));
    return false;
}

QString VxKeysSql(const QString &sql, const QString &hole, const QString &prefix)
{
    const auto placesOf = [](const QString &prefix) {
        QStringList places;
        for (int i = 0; i < kVxKeysAtOnce; ++i)
            places << QStringLiteral(":%1%2").arg(prefix).arg(i);
        return places.join(QStringLiteral(", "));
    };
    // A report writes the pupils' places at each of its reads.
    static const QString keyPlaces = placesOf(QStringLiteral("k"));
    return QString(sql).replace(hole, prefix == QLatin1String("k") ? keyPlaces : placesOf(prefix));
}

QList<TVxFieldValues> VxKeyChunks(const QList<int> &keys, const TVxFieldValues &values,
                                  const QString &prefix)
{
    QList<TVxFieldValues> chunks;
    for (qsizetype first = 0; first < keys.size(); first += kVxKeysAtOnce) {
        TVxFieldValues chunk = values;
        for (int i = 0; i < kVxKeysAtOnce; ++i)
            chunk.setValue(prefix + QString::number(i), keys.value(first + i, keys.at(first)));
        chunks << chunk;
    }
    return chunks;
}

TVxStatementRecorder::TVxStatementRecorder(Reach reach)
    : m_previous(recorder), m_reach(reach), m_thread(QThread::currentThreadId())
{
    recorder = this;
}

TVxStatementRecorder::~TVxStatementRecorder()
{
    recorder = m_previous;
}

// A recorder of every statement lives through a whole test, which may run statements on
// threads of its own: it keeps those of its own thread alone, as it is not guarded.
bool TVxStatementRecorder::records() const
{
    return m_reach == UntilANewerOne || QThread::currentThreadId() == m_thread;
}

void TVxStatementRecorder::notePrepared(const QString &sql)
{
    for (TVxStatementRecorder *r = this; r; r = r->m_previous) {
        if ((r == this || r->m_reach == Every) && r->records())
            ++r->m_prepared[sql];
    }
}

void TVxStatementRecorder::noteExecuted(const QString &sql, const TVxFieldValues &values)
{
    for (TVxStatementRecorder *r = this; r; r = r->m_previous) {
        if ((r == this || r->m_reach == Every) && r->records()) {
            ++r->m_executed[sql];
            r->m_statements.append({sql, values});
        }
    }
    if (m_beforeRun)
        m_beforeRun(sql);
}
