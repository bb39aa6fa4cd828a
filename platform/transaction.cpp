#include "platform/transaction.h"

#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/lockwait.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlRecord>
#include <QStringList>

#include <ibase.h>

#include <algorithm>
#include <vector>

namespace {

// The running TVxTransaction of each connection, by connection name.
QHash<QString, TVxTransaction *> &running()
{
    static QHash<QString, TVxTransaction *> transactions;
    return transactions;
}

const char kNewKeySql[] = "SELECT L_iCntId FROM PYSetGetId(:sTable, 0)";

// A failure of the client library's own calls as the driver would give it: the engine's words
// and its SQLCODE, which statementRefused reads.
QSqlError clientError(const ISC_STATUS *status)
{
    QString text;
    const ISC_STATUS *vector = status;
    char line[512];
    while (fb_interpret(line, sizeof line, &vector) > 0)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromUtf8(line);
    return QSqlError(QString(), text, QSqlError::StatementError,
                     QString::number(isc_sqlcode(status)));
}

// An XSQLDA of whole numbers (BIGINT) over the values, in place.
struct Numbers
{
    explicit Numbers(qsizetype count, bool nullable)
        : buffer(XSQLDA_LENGTH(std::max<qsizetype>(count, 1))), values(size_t(count)),
          nulls(size_t(count))
    {
        da()->version = SQLDA_VERSION1;
        da()->sqln = da()->sqld = short(count);
        for (qsizetype i = 0; i < count; ++i) {
            XSQLVAR &var = da()->sqlvar[i];
            var = XSQLVAR{};
            var.sqltype = SQL_INT64 + (nullable ? 1 : 0);
            var.sqllen = sizeof(ISC_INT64);
            var.sqldata = reinterpret_cast<ISC_SCHAR *>(&values[size_t(i)]);
            var.sqlind = nullable ? &nulls[size_t(i)] : nullptr;
        }
    }
    XSQLDA *da() { return reinterpret_cast<XSQLDA *>(buffer.data()); }

    std::vector<char> buffer;
    std::vector<ISC_INT64> values;
    std::vector<ISC_SHORT> nulls;
};

} // namespace

TVxTransaction::TVxTransaction(const QSqlDatabase &db, int id) : m_db(db), m_id(id) {}

TVxTransaction::~TVxTransaction()
{
    if (m_active)
        Rollback();
}

bool TVxTransaction::activeOn(const QSqlDatabase &db)
{
    return runningOn(db) != nullptr;
}

TVxTransaction *TVxTransaction::runningOn(const QSqlDatabase &db)
{
    return running().value(db.connectionName(), nullptr);
}

void TVxTransaction::refusedBy(const QSqlError &error)
{
    m_lastError = QStringLiteral("Il database ha rifiutato l'operazione.");
    m_engineText = engineText(error);
}

bool TVxTransaction::StartTransaction()
{
    m_engineText.clear();
    if (m_active) {
        m_lastError = QStringLiteral("La transazione è già avviata.");
        return false;
    }
    if (activeOn(m_db)) {
        m_lastError = QStringLiteral("Un'altra transazione è in corso su questa connessione.");
        return false;
    }
    try {
        reopenIfLost(m_db);
    } catch (const EVxException &e) {
        m_lastError = e.message();
        return false;
    }
    if (!m_db.isOpen()) {
        m_lastError = QStringLiteral("La connessione al database non è aperta.");
        return false;
    }
    if (!m_db.transaction()) {
        // The server went away since the last piece of work: nothing was running on the old
        // attachment, so the connection is opened again and the work goes on.
        if (!isConnectionLost(m_db.lastError())) {
            refusedBy(m_db.lastError());
            return false;
        }
        try {
            VxReconnect(m_db);
        } catch (const EVxException &e) {
            m_lastError = e.message();
            return false;
        }
        if (!m_db.transaction()) {
            refusedBy(m_db.lastError());
            return false;
        }
    }
    m_lastError.clear();
    m_active = true;
    running().insert(m_db.connectionName(), this);
    return true;
}

void TVxTransaction::end()
{
    // The prepared statements belong to the transaction that ends: the driver would run them
    // in a transaction handle that no longer exists.
    m_statements.clear();
    m_retain.reset();
    m_active = false;
    running().remove(m_db.connectionName());
}

void TVxTransaction::Commit()
{
    if (!m_active)
        throw EVxException(QStringLiteral("Nessuna transazione da confermare."));
    m_statements.clear();
    m_retain.reset();
    const bool ok = m_db.commit();
    const QSqlError error = m_db.lastError();
    if (!ok) {
        refusedBy(error);
        // The driver drops the transaction after a failed commit; try to roll it back anyway so
        // that no half-written work can be committed later.
        m_db.rollback();
    }
    end();
    if (!ok && isConnectionLost(error))
        throw connectionLostError(engineText(error));
    if (!ok)
        throw EVxException::general(
            QStringLiteral("Impossibile confermare le modifiche nel database."), m_engineText);
}

void TVxTransaction::CommitRetaining()
{
    if (!m_active)
        throw EVxException(QStringLiteral("Nessuna transazione da confermare."));
    // Run as it stands: the driver has no count of rows for a commit.
    if (!m_retain) {
        m_retain = std::make_unique<QSqlQuery>(m_db);
        m_retain->prepare(QStringLiteral("COMMIT RETAIN"));
    }
    if (m_retain->exec())
        return;
    const QSqlError error = m_retain->lastError();
    refusedBy(error);
    // Nothing is kept half-committed: the work since the last commit goes.
    Rollback();
    if (isConnectionLost(error))
        throw connectionLostError(engineText(error));
    throw EVxException::general(QStringLiteral("Impossibile confermare le modifiche nel database."),
                                m_engineText);
}

bool TVxTransaction::Rollback()
{
    if (!m_active)
        return false;
    m_statements.clear();
    m_retain.reset();
    const bool ok = m_db.rollback();
    if (!ok)
        refusedBy(m_db.lastError());
    end();
    return ok;
}

QSqlQuery &TVxTransaction::Exec(const QString &sql, const TVxFieldValues &values)
{
    return exec(sql, values, true);
}

void TVxTransaction::Run(const QString &sql, const TVxFieldValues &values)
{
    exec(sql, values, false);
}

QSqlQuery &TVxTransaction::exec(const QString &sql, const TVxFieldValues &values, bool countRows)
{
    if (!m_active)
        throw EVxException(
            QStringLiteral("Nessuna transazione in corso per l'istruzione:\r%1").arg(sql));
    // A null value is prepared as NULL in its place: the statement with a null where it had a
    // value is another statement, prepared once beside the first.
    QString text = preparedText(sql, values);
    auto found = m_statements.find(text);
    if (found != m_statements.end()) {
        m_changed = execAgain(*found->second, sql, values, countRows);
        return *found->second;
    }
    auto query = std::make_unique<QSqlQuery>(m_db);
    query->setForwardOnly(true);
    m_changed = execBound(*query, sql, values, countRows);
    return *m_statements.emplace(std::move(text), std::move(query)).first->second;
}

int TVxTransaction::ExecChanged(const QString &sql, const TVxFieldValues &values)
{
    Exec(sql, values);
    return m_changed;
}

int TVxTransaction::ExecRow(const QString &sql, const TVxFieldValues &values)
{
    const int changed = ExecChanged(sql, values);
    if (changed == 0)
        throw rowGoneError();
    return changed;
}

TVxSelfCommittingStatements::TVxSelfCommittingStatements(const QSqlDatabase &like)
    : m_side(std::make_unique<TVxSideConnection>(like))
{
}

TVxSelfCommittingStatements::~TVxSelfCommittingStatements()
{
    // The statements go before their connection.
    m_statements.clear();
}

int TVxSelfCommittingStatements::ExecChanged(const QString &sql, const TVxFieldValues &values)
{
    const QString text = preparedText(sql, values);
    std::unique_ptr<QSqlQuery> &query = m_statements[text];
    const bool prepared = query != nullptr;
    if (!prepared) {
        query = std::make_unique<QSqlQuery>(m_side->database());
        query->setForwardOnly(true);
    }
    try {
        return prepared ? execAgain(*query, sql, values) : execBound(*query, sql, values);
    } catch (const EVxException &) {
        m_statements.erase(text);
        throw;
    }
}

TVxSideReads::TVxSideReads(const QSqlDatabase &like)
    : m_side(std::make_unique<TVxSideConnection>(like)),
      m_reads(std::make_unique<TVxTransaction>(m_side->database()))
{
    if (!m_reads->StartTransaction())
        throw EVxException(m_reads->lastError());
}

TVxSideReads::~TVxSideReads() = default;

QSqlDatabase TVxSideReads::database() const
{
    return m_side->database();
}

TVxTransactionScope::TVxTransactionScope(const QSqlDatabase &db)
    : m_transaction(TVxTransaction::runningOn(db))
{
    if (m_transaction)
        return;
    m_own = std::make_unique<TVxTransaction>(db);
    if (!m_own->StartTransaction())
        throw m_own->lastEngineText().isEmpty()
            ? EVxException(QStringLiteral("Impossibile avviare una transazione.\r\r%1")
                               .arg(m_own->lastError()))
            : EVxException::general(QStringLiteral("Impossibile avviare una transazione."),
                                    m_own->lastEngineText());
    m_transaction = m_own.get();
}

void TVxTransactionScope::Commit()
{
    if (m_own)
        m_own->Commit();
}

int VxNewKey(const QSqlDatabase &db, const QString &table)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("sTable"), table.toUpper());
    const QString sql = QString::fromLatin1(kNewKeySql);
    QSqlQuery single(db);
    QSqlQuery *query = &single;
    if (TVxTransaction *tr = TVxTransaction::runningOn(db)) {
        query = &tr->Exec(sql, values);
    } else {
        single.setForwardOnly(true);
        execBound(single, sql, values);
    }
    if (!fetchNext(*query) || query->value(0).isNull())
        throw EVxException(QStringLiteral("Il database non ha dato una nuova chiave per %1.")
                               .arg(table.toUpper()));
    const int key = query->value(0).toInt();
    // A select left open would hold its cursor until the statement runs again.
    query->finish();
    return key;
}

qint64 VxReadCommitted(const QSqlDatabase &db, const QString &sql, const QList<qint64> &values)
{
    isc_db_handle attachment = VxAttachmentOf(db.driver());
    if (attachment == 0)
        throw EVxException(QStringLiteral("La connessione al database non è aperta."));
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_no_rec_version,
                               isc_tpb_wait, isc_tpb_read};
    const QByteArray text = sql.toUtf8();
    Numbers in(values.size(), false);
    for (qsizetype i = 0; i < values.size(); ++i)
        in.values[size_t(i)] = values.at(i);
    for (;;) {
        Numbers out(1, true);
        ISC_STATUS_ARRAY status{};
        ISC_STATUS_ARRAY ignored{};
        isc_tr_handle tr = 0;
        if (isc_start_transaction(status, &tr, 1, &attachment, short(sizeof tpb), tpb))
            throw statementRefused(clientError(status), {});
        bool waitedOut = false;
        {
            TVxLockWaitGuard guard(db.driver());
            const bool failed = isc_dsql_exec_immed2(status, &attachment, &tr, 0, text.constData(),
                                                     SQL_DIALECT_V6, in.da(), out.da()) != 0;
            waitedOut = guard.fired() && failed;
            if (!failed) {
                isc_commit_transaction(ignored, &tr);
                return out.nulls[0] ? 0 : out.values[0];
            }
        }
        isc_rollback_transaction(ignored, &tr);
        if (!waitedOut)
            throw statementRefused(clientError(status), {});
        if (VxMessageDlg(lockWaitQuestion(), mtWarning, mbYesNo, 0, mrNo) != mrYes)
            throw lockWaitRefused();
    }
}

void VxEachRow(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &values,
               const std::function<void(const QSqlQuery &, const QSqlRecord &)> &row)
{
    TVxTransactionScope scope(db);
    QSqlQuery &q = scope.transaction().Exec(sql, values);
    const QSqlRecord rec = q.record();
    while (fetchNext(q))
        row(q, rec);
    q.finish();
    scope.Commit();
}

void VxWriteEachRow(TVxTransaction &tr, qsizetype count,
                    const std::function<void(qsizetype)> &write,
                    const std::function<void(qsizetype, const EVxException &)> &refused)
{
    const auto stops = [&tr](const EVxException &e) {
        return !tr.InTransaction() || endsTheWork(e);
    };
    try {
        VxUnderSavepoint(tr, [&] {
            for (qsizetype row = 0; row < count; ++row)
                write(row);
        });
        return;
    } catch (const EVxException &e) {
        if (stops(e))
            throw;
    }
    for (qsizetype row = 0; row < count; ++row) {
        try {
            VxUnderSavepoint(tr, [&] { write(row); });
        } catch (const EVxException &e) {
            if (stops(e))
                throw;
            refused(row, e);
        }
    }
}

QString VxInsertUnlessPresentSql(const QString &table,
                                 std::initializer_list<TVxTypedColumn> columns,
                                 std::initializer_list<const char *> matching)
{
    QStringList names;
    QStringList casts;
    for (const TVxTypedColumn &c : columns) {
        names << QLatin1String(c.name);
        casts
            << QStringLiteral("CAST(:%1 AS %2)").arg(QLatin1String(c.name), QLatin1String(c.type));
    }
    QStringList same;
    for (const char *m : matching)
        same << QStringLiteral("%1 = :%1").arg(QLatin1String(m));
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM RDB$DATABASE WHERE NOT EXISTS "
                          "(SELECT 1 FROM %1 WHERE %4)")
        .arg(table, names.join(QStringLiteral(", ")), casts.join(QStringLiteral(", ")),
             same.join(QStringLiteral(" AND ")));
}

void VxUnderSavepoint(TVxTransaction &tr, const std::function<void()> &work)
{
    // One name per nesting level: a savepoint taken again under its own name would release the
    // outer one. One thread runs the database work.
    static int depth = 0;
    const QString name = QStringLiteral("VX_ROW_%1").arg(++depth);
    struct Level
    {
        ~Level() { --depth; }
    } level;
    tr.Exec(QStringLiteral("SAVEPOINT ") + name, {});
    try {
        work();
    } catch (...) {
        try {
            tr.Exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + name, {});
        } catch (const EVxException &) {
            tr.Rollback();
        }
        throw;
    }
    tr.Exec(QStringLiteral("RELEASE SAVEPOINT ") + name + QStringLiteral(" ONLY"), {});
}

TVxStatementPlan VxStatementPlan(const QSqlDatabase &db, const QString &sql)
{
    isc_db_handle attachment = VxAttachmentOf(db.driver());
    if (attachment == 0)
        throw EVxException(QStringLiteral("La connessione al database non è aperta."));
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait, isc_tpb_read};
    ISC_STATUS_ARRAY status{};
    isc_tr_handle tr = 0;
    if (isc_start_transaction(status, &tr, 1, &attachment, short(sizeof tpb), tpb))
        throw statementRefused(clientError(status), {});
    isc_stmt_handle statement = 0;
    // Whatever happens, the statement and the transaction go: nothing ran in either.
    struct Handles
    {
        isc_tr_handle &tr;
        isc_stmt_handle &statement;
        ~Handles()
        {
            ISC_STATUS_ARRAY ignored{};
            if (statement)
                isc_dsql_free_statement(ignored, &statement, DSQL_drop);
            isc_rollback_transaction(ignored, &tr);
        }
    } handles{tr, statement};
    const QByteArray text = toPositional(sql).sql.toUtf8();
    if (isc_dsql_allocate_statement(status, &attachment, &statement) ||
        isc_dsql_prepare(status, &tr, &statement, 0, text.constData(), SQL_DIALECT_V6, nullptr))
        throw statementRefused(clientError(status), {});
    const auto item = [&](char wanted) {
        std::vector<char> buffer(32000);
        if (isc_dsql_sql_info(status, &statement, 1, &wanted, short(buffer.size()), buffer.data()))
            throw statementRefused(clientError(status), {});
        // The engine's limit on the answer: a plan cut short would hide what it reads.
        if (buffer[0] == isc_info_truncated)
            throw EVxException(
                QStringLiteral("Il piano dell'istruzione è troppo lungo da leggere."));
        if (buffer[0] != wanted)
            return QString();
        const int length = isc_vax_integer(buffer.data() + 1, 2);
        return QString::fromUtf8(buffer.data() + 3, length).trimmed();
    };
    return {item(isc_info_sql_get_plan).simplified(), item(isc_info_sql_explain_plan)};
}

QStringList VxTablesReadWhole(const QSqlDatabase &db, const TVxStatementPlan &plan,
                              const QStringList &tables)
{
    // A table is read whole unless an index narrows it (a full scan has none); an index read
    // from end to end (an order followed along it) narrows nothing.
    static const QRegularExpression table(QStringLiteral("-> Table \"([^\"]+)\""));
    static const QRegularExpression index(QStringLiteral("-> Index \"([^\"]+)\"(.* Full Scan$)?"));
    // The table each index found in the plan is a foreign key to, when it is one.
    QHash<QString, QString> keyOf;
    const auto referenced = [&](const QString &name) {
        const auto found = keyOf.constFind(name);
        if (found != keyOf.constEnd())
            return *found;
        QString target;
        VxEachRow(db,
                  QStringLiteral("SELECT TRIM(P.RDB$RELATION_NAME) FROM RDB$INDICES F "
                                 "JOIN RDB$INDICES P ON (P.RDB$INDEX_NAME = F.RDB$FOREIGN_KEY) "
                                 "WHERE F.RDB$INDEX_NAME = :sIndex"),
                  valuesOf({{"sIndex", name}}),
                  [&](const QSqlQuery &q, const QSqlRecord &) { target = q.value(0).toString(); });
        return *keyOf.insert(name, target);
    };
    QStringList found;
    QSet<QString> whole;   // the tables read whole in the select being read
    QString reached;       // the table whose indexes follow
    bool narrowed = false; // by one of them that is no key to a table read whole
    const auto tableDone = [&] {
        if (!reached.isEmpty() && !narrowed) {
            whole.insert(reached);
            if (tables.contains(reached, Qt::CaseInsensitive) && !found.contains(reached))
                found << reached;
        }
        reached.clear();
    };
    for (const QString &line : plan.explained.split(QLatin1Char('\n'))) {
        if (!line.contains(QLatin1String("->"))) { // a select or sub-query of its own
            tableDone();
            whole.clear();
            continue;
        }
        if (const QRegularExpressionMatch m = table.match(line); m.hasMatch()) {
            tableDone();
            reached = m.captured(1);
            narrowed = false;
        } else if (const QRegularExpressionMatch m = index.match(line);
                   m.hasMatch() && !reached.isEmpty()) {
            if (m.captured(2).isEmpty() && !whole.contains(referenced(m.captured(1))))
                narrowed = true;
        }
    }
    tableDone();
    return found;
}
