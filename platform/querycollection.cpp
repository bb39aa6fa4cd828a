#include "platform/querycollection.h"

#include "platform/connection.h"
#include "platform/savecheck.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

#include <memory>
#include <optional>

namespace {

const QString kIdent = QStringLiteral("[A-Za-z_][A-Za-z0-9_$]*");

// The text with quoted strings and everything inside parentheses blanked out (same length), so
// that keywords and commas found in it are at the statement's top level.
QString topLevelMask(const QString &sql)
{
    QString masked = sql;
    int depth = 0;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            masked[i] = QLatin1Char(' ');
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            masked[i] = QLatin1Char(' ');
        } else if (c == QLatin1Char('(')) {
            ++depth;
            masked[i] = QLatin1Char(' ');
        } else if (c == QLatin1Char(')')) {
            depth = qMax(0, depth - 1);
            masked[i] = QLatin1Char(' ');
        } else if (depth > 0) {
            masked[i] = QLatin1Char(' ');
        }
    }
    return masked;
}

qsizetype findWord(const QString &masked, const QString &pattern, qsizetype from = 0)
{
    const QRegularExpression re(QStringLiteral("\\b(") + pattern + QStringLiteral(")\\b"),
                                QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(masked, from);
    return m.hasMatch() ? m.capturedStart() : -1;
}

struct FromClause
{
    QString text; // the FROM clause without the keyword, trimmed
    qsizetype listStart = -1;
    qsizetype fromPos = -1;
};

std::optional<FromClause> fromClause(const QString &select)
{
    const QString masked = topLevelMask(select);
    const qsizetype selectPos = findWord(masked, QStringLiteral("SELECT"));
    const qsizetype fromPos = findWord(masked, QStringLiteral("FROM"));
    if (selectPos < 0 || fromPos < 0 || fromPos < selectPos)
        return std::nullopt;
    qsizetype end =
        findWord(masked, QStringLiteral("WHERE|GROUP|ORDER|HAVING|UNION|PLAN|ROWS"), fromPos + 4);
    if (end < 0)
        end = select.size();
    FromClause clause;
    clause.text = select.mid(fromPos + 4, end - fromPos - 4).trimmed();
    clause.listStart = selectPos + 6;
    clause.fromPos = fromPos;
    return clause;
}

QVariant decodeBlob(const QVariant &value)
{
    return QVariant(QString::fromUtf8(value.toByteArray()));
}

const char *kindWords(TVxStatementKind kind)
{
    switch (kind) {
    case skInsert:
        return "l'inserimento";
    case skUpdate:
        return "la modifica";
    case skDelete:
        return "la cancellazione";
    }
    return "";
}

} // namespace

QString statementTable(const QString &statement)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(?:INSERT\\s+INTO|UPDATE|DELETE\\s+FROM)\\s+(") + kIdent +
            QStringLiteral(")"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(statement);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

QString selectMainTable(const QString &select)
{
    const auto clause = fromClause(select);
    if (!clause)
        return QString();
    static const QRegularExpression re(QStringLiteral("^(") + kIdent + QStringLiteral(")"));
    const auto m = re.match(clause->text);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

TVxAutoStatements buildAutoStatements(const QString &select)
{
    const auto refuse = [&select](const QString &why) {
        return EVxException(
            QStringLiteral("Impossibile derivare le istruzioni di scrittura dalla select (%1):\r%2")
                .arg(why, select));
    };
    const auto clause = fromClause(select);
    if (!clause)
        throw refuse(QStringLiteral("manca FROM"));
    static const QRegularExpression tableRe(QStringLiteral("^(") + kIdent +
                                                QStringLiteral(")(?:\\s+(?:AS\\s+)?(") + kIdent +
                                                QStringLiteral("))?$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto tableMatch = tableRe.match(clause->text);
    if (!tableMatch.hasMatch() || findWord(tableMatch.captured(2), QStringLiteral("JOIN")) >= 0)
        throw refuse(QStringLiteral("serve una sola tabella"));

    const QString list = select.mid(clause->listStart, clause->fromPos - clause->listStart);
    const QString maskedList = topLevelMask(list);
    QStringList items;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= list.size(); ++i) {
        if (i == list.size() || maskedList[i] == QLatin1Char(',')) {
            items << list.mid(start, i - start).trimmed();
            start = i + 1;
        }
    }
    static const QRegularExpression columnRe(
        QStringLiteral("^(?:") + kIdent + QStringLiteral("\\.)?(") + kIdent +
            QStringLiteral(")(?:\\s+(?:AS\\s+)?(") + kIdent + QStringLiteral("))?$"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList columns, params;
    for (int i = 0; i < items.size(); ++i) {
        const auto m = columnRe.match(items[i]);
        if (!m.hasMatch()) {
            if (i == 0)
                throw refuse(QStringLiteral("la prima colonna deve essere la chiave"));
            continue; // a computed column is shown, not written
        }
        columns << m.captured(1);
        params << (m.captured(2).isEmpty() ? m.captured(1) : m.captured(2));
    }
    TVxAutoStatements st;
    st.table = tableMatch.captured(1);
    st.key = columns.takeFirst();
    params.removeFirst();
    st.columns = columns;
    st.params = params;
    QStringList values{QStringLiteral(":VXGENID")};
    for (const QString &param : params)
        values << QLatin1Char(':') + param;
    st.insert = QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (%4)")
                    .arg(st.table, st.key, columns.join(QStringLiteral(", ")),
                         values.join(QStringLiteral(", ")));
    if (columns.isEmpty())
        st.insert = QStringLiteral("INSERT INTO %1 (%2) VALUES (:VXGENID)").arg(st.table, st.key);
    st.update = st.updateOf(params);
    st.del = QStringLiteral("DELETE FROM %1 WHERE %2 = :VXCURRID").arg(st.table, st.key);
    return st;
}

QString TVxAutoStatements::updateOf(const QStringList &names) const
{
    QStringList sets;
    for (int i = 0; i < columns.size(); ++i) {
        if (names.contains(params[i], Qt::CaseInsensitive))
            sets << columns[i] + QStringLiteral(" = :") + params[i];
    }
    if (sets.isEmpty())
        return {};
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3 = :VXCURRID")
        .arg(table, sets.join(QStringLiteral(", ")), key);
}

TVxQueryCollection::TVxQueryCollection(QObject *parent) : QAbstractTableModel(parent) {}

void TVxQueryCollection::setConnection(const QSqlDatabase &db)
{
    m_connectionName = db.connectionName();
}

QSqlDatabase TVxQueryCollection::connection() const
{
    if (m_connectionName.isEmpty())
        return qqoVxGlobConn();
    return QSqlDatabase::database(m_connectionName, false);
}

void TVxQueryCollection::buildStatements()
{
    m_autoInsert.clear();
    m_autoUpdate.clear();
    m_autoDelete.clear();
    m_mainTable = selectMainTable(m_select);
    if (!m_autoBuild)
        return;
    m_auto = buildAutoStatements(m_select);
    m_autoInsert << m_auto.insert;
    if (!m_auto.update.isEmpty())
        m_autoUpdate << m_auto.update;
    m_autoDelete << m_auto.del;
}

QStringList TVxQueryCollection::statements(TVxStatementKind kind) const
{
    switch (kind) {
    case skInsert:
        return m_autoBuild ? m_autoInsert : m_insert;
    case skUpdate:
        return m_autoBuild ? m_autoUpdate : m_update;
    case skDelete:
        return m_autoBuild ? m_autoDelete : m_delete;
    }
    return {};
}

QVariantList TVxQueryCollection::readRow(const QSqlQuery &query, const QSqlRecord &fields) const
{
    QVariantList row;
    row.reserve(fields.count());
    for (int i = 0; i < fields.count(); ++i) {
        QVariant v = query.value(i);
        if (m_textBlobs && v.typeId() == QMetaType::QByteArray && !v.isNull())
            v = decodeBlob(v);
        row << v;
    }
    return row;
}

void TVxQueryCollection::readAll(QSqlRecord &fields, QList<QVariantList> &rows) const
{
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    execBound(query, m_select, m_params);
    // Every row is read before the collection changes: a select that fails half-way leaves it
    // as it was, never showing part of the rows as if they were all.
    fields = query.record();
    while (fetchNext(query))
        rows << readRow(query, fields);
}

void TVxQueryCollection::Open()
{
    if (Active())
        return;
    buildStatements();
    QSqlRecord fields;
    QList<QVariantList> rows;
    readAll(fields, rows);
    beginResetModel();
    m_fields = fields;
    m_rows = rows;
    m_state = dsBrowse;
    m_recNo = m_rows.isEmpty() ? -1 : 0;
    m_buffer.clear();
    endResetModel();
}

void TVxQueryCollection::Close()
{
    beginResetModel();
    m_rows.clear();
    m_fields = QSqlRecord();
    m_state = dsInactive;
    m_recNo = -1;
    m_buffer.clear();
    endResetModel();
}

namespace {

QStringList fieldNames(const QSqlRecord &fields)
{
    QStringList names;
    for (int i = 0; i < fields.count(); ++i)
        names << fields.fieldName(i).toUpper();
    return names;
}

} // namespace

void TVxQueryCollection::Refresh()
{
    if (!Active()) {
        Open();
        return;
    }
    const QVariant key = !Eof() ? Value(m_recNo, 0) : QVariant();
    const int oldRecNo = m_recNo;
    QSqlRecord fields;
    QList<QVariantList> rows;
    readAll(fields, rows);
    m_state = dsBrowse;
    m_buffer.clear();
    if (fieldNames(fields) != fieldNames(m_fields)) {
        beginResetModel();
        m_fields = fields;
        m_rows = rows;
        endResetModel();
    } else {
        // A reset would make every view forget its columns (hidden, widths, titles): the rows
        // go and come back instead.
        if (!m_rows.isEmpty()) {
            beginRemoveRows(QModelIndex(), 0, RecordCount() - 1);
            m_rows.clear();
            endRemoveRows();
        }
        if (!rows.isEmpty()) {
            beginInsertRows(QModelIndex(), 0, int(rows.size()) - 1);
            m_rows = rows;
            endInsertRows();
        }
    }
    // The same row when it is still there, else the one now at its place.
    m_recNo = m_rows.isEmpty() ? -1 : qBound(0, oldRecNo, RecordCount() - 1);
    if (key.isValid() && FieldCount() > 0)
        Locate(FieldName(0), key);
}

int TVxQueryCollection::FieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.count(); ++i) {
        if (m_fields.fieldName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant TVxQueryCollection::Value(int row, int field) const
{
    if (row < 0 || row >= m_rows.size() || field < 0 || field >= m_fields.count())
        return QVariant();
    return m_rows[row][field];
}

QVariant TVxQueryCollection::Value(int row, const QString &name) const
{
    return Value(row, FieldIndex(name));
}

namespace {

// Character lengths, not bytes: a UTF-8 column of 100 characters takes 400 bytes.
const char kColumnLengths[] =
    "SELECT RF.RDB$FIELD_NAME, F.RDB$CHARACTER_LENGTH FROM RDB$RELATION_FIELDS RF "
    "INNER JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE "
    "WHERE RF.RDB$RELATION_NAME = :sTable AND F.RDB$CHARACTER_LENGTH IS NOT NULL";

} // namespace

int TVxQueryCollection::FieldMaxLength(const QString &name) const
{
    const int field = FieldIndex(name);
    if (field < 0 || m_fields.field(field).metaType().id() != QMetaType::QString)
        return 0;
    // The driver names the table a column comes from; a computed column has none.
    const QString table = m_fields.field(field).tableName().trimmed().toUpper();
    if (table.isEmpty())
        return 0;
    auto found = m_columnLengths.constFind(table);
    if (found == m_columnLengths.constEnd()) {
        QHash<QString, int> lengths;
        QSqlQuery query(connection());
        query.setForwardOnly(true);
        TVxFieldValues values;
        values.setValue(QStringLiteral("sTable"), table);
        execBound(query, QString::fromLatin1(kColumnLengths), values);
        while (fetchNext(query))
            lengths.insert(query.value(0).toString().trimmed().toUpper(), query.value(1).toInt());
        found = m_columnLengths.insert(table, lengths);
    }
    return found->value(m_fields.fieldName(field).toUpper(), 0);
}

void TVxQueryCollection::setRecNo(int row)
{
    m_recNo = (row >= 0 && row < RecordCount()) ? row : -1;
    if (row >= RecordCount())
        m_recNo = RecordCount(); // past the end: Eof
}

void TVxQueryCollection::Next()
{
    if (m_recNo >= 0 && m_recNo < RecordCount())
        ++m_recNo;
}

QVariant TVxQueryCollection::FieldValue(const QString &name) const
{
    const int field = FieldIndex(name);
    if (m_state == dsInsert || m_state == dsEdit)
        return field < 0 ? QVariant() : m_buffer[field];
    return Value(m_recNo, field);
}

bool TVxQueryCollection::Locate(const QString &name, const QVariant &value)
{
    const int field = FieldIndex(name);
    if (field < 0)
        return false;
    for (int r = 0; r < m_rows.size(); ++r) {
        const QVariant &v = m_rows[r][field];
        if (v == value || (!v.isNull() && v.toString() == value.toString())) {
            m_recNo = r;
            return true;
        }
    }
    return false;
}

bool TVxQueryCollection::CanInsert() const
{
    return !statements(skInsert).isEmpty();
}

bool TVxQueryCollection::CanModify() const
{
    return !statements(skUpdate).isEmpty();
}

bool TVxQueryCollection::CanDelete() const
{
    return !statements(skDelete).isEmpty();
}

void TVxQueryCollection::requireActive() const
{
    if (!Active())
        throw EVxException(QStringLiteral("L'archivio non è aperto."));
}

void TVxQueryCollection::Append()
{
    requireActive();
    if (!CanInsert())
        throw EVxException(QStringLiteral("Inserimento non consentito."));
    m_buffer = QVariantList(m_fields.count());
    m_state = dsInsert;
}

void TVxQueryCollection::Edit()
{
    requireActive();
    if (Eof())
        throw EVxException(QStringLiteral("Nessuna riga selezionata."));
    if (!CanModify())
        throw EVxException(QStringLiteral("Modifica non consentita."));
    m_buffer = m_rows[m_recNo];
    m_state = dsEdit;
}

void TVxQueryCollection::SetFieldValue(const QString &name, const QVariant &value)
{
    if (m_state != dsInsert && m_state != dsEdit)
        throw EVxException(QStringLiteral("La riga non è in modifica."));
    const int field = FieldIndex(name);
    if (field < 0)
        throw EVxException(QStringLiteral("Il campo %1 non esiste.").arg(name));
    m_buffer[field] = value;
}

void TVxQueryCollection::Cancel()
{
    if (m_state == dsInsert || m_state == dsEdit)
        m_state = dsBrowse;
    m_buffer.clear();
}

namespace {

// A record editor's words for writing again after being told of another workstation's change.
const TVxDiNuovo kDiNuovo{
    QStringLiteral("il dato della scheda"),
    QStringLiteral("Salvando di nuovo, il dato della scheda sostituisce quello dell'altra "
                   "postazione."),
    QString(), QString(),
    QStringLiteral("La riga mostra il dato salvato: eliminandola di nuovo, viene cancellata.")};

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b || a.toString() == b.toString();
}

} // namespace

QStringList TVxQueryCollection::changedFields() const
{
    QStringList changed;
    for (int i = 1; i < m_fields.count(); ++i) {
        if (!sameValue(m_buffer.value(i), m_rows[m_recNo].value(i)))
            changed << m_fields.fieldName(i);
    }
    return changed;
}

std::optional<QVariantList> TVxQueryCollection::changedElsewhere(TVxTransaction &tr,
                                                                 TVxStatementKind kind,
                                                                 const QVariant &currentKey) const
{
    if (!m_autoBuild || m_auto.columns.isEmpty() || (kind != skUpdate && kind != skDelete))
        return std::nullopt;
    const QVariantList &asRead = m_rows[m_recNo];
    TVxFieldValues read;
    TVxFieldValues written;
    for (int i = 0; i < m_auto.columns.size(); ++i) {
        const int field = FieldIndex(m_auto.params[i]);
        read.setValue(m_auto.columns[i], asRead.value(field));
        written.setValue(m_auto.columns[i], m_buffer.value(field));
    }
    const TVxRiga letta =
        VxRigaLetta(currentKey.toInt(), read, kind == skUpdate ? &written : nullptr);
    QSqlQuery &q =
        tr.Exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = :VXCURRID")
                    .arg(m_auto.columns.join(QStringLiteral(", ")), m_auto.table, m_auto.key),
                valuesOf({{"VXCURRID", currentKey}}));
    // A row gone is no change to refuse: an update tells it as its own failure, a delete has
    // nothing left to take away.
    if (!fetchNext(q)) {
        q.finish();
        return std::nullopt;
    }
    const QVariantList now = readRow(q, q.record());
    q.finish();
    TVxRiga ora;
    ora.chiave = letta.chiave;
    QVariantList stored = asRead;
    for (int i = 0; i < m_auto.columns.size(); ++i) {
        ora.valori.insert(m_auto.columns[i], now.value(i));
        stored[FieldIndex(m_auto.params[i])] = now.value(i);
    }
    if (VxRigaComeLetta(letta, ora))
        return std::nullopt;
    return stored;
}

void TVxQueryCollection::takeStoredRow(const QVariantList &stored)
{
    const QVariantList asRead = m_rows[m_recNo];
    for (int i = 0; i < m_buffer.size() && i < stored.size(); ++i) {
        if (m_state == dsEdit && sameValue(m_buffer[i], asRead.value(i)))
            m_buffer[i] = stored[i];
    }
    m_rows[m_recNo] = stored;
    emit dataChanged(index(m_recNo, 0), index(m_recNo, FieldCount() - 1));
}

QList<TVxQueryDesc> TVxQueryCollection::runStatements(TVxStatementKind kind,
                                                      const QVariant &currentKey)
{
    QStringList list = statements(kind);
    if (kind == skUpdate && m_autoBuild) {
        const QString update = m_auto.updateOf(changedFields());
        if (update.isEmpty())
            return {};
        list = {update};
    }
    QSqlDatabase db = connection();
    TVxTransactionScope scope(db);
    TVxTransaction *tr = &scope.transaction();
    QList<TVxQueryDesc> done;
    std::optional<QVariantList> stored;
    const auto run = [&] {
        stored = changedElsewhere(*tr, kind, currentKey);
        if (stored) {
            throw EVxException(VxMotivo(kind == skDelete
                                            ? TVxCambio::ModificatoPrimaDellaCancellazione
                                            : TVxCambio::Modificato,
                                        kDiNuovo));
        }
        for (const QString &sql : list) {
            TVxQueryDesc desc;
            desc.SQL = sql;
            desc.Kind = kind;
            desc.TableName = statementTable(sql);
            for (int i = 0; i < m_fields.count(); ++i)
                desc.Fields.setValue(m_fields.fieldName(i), m_buffer.value(i));
            if (kind != skInsert)
                desc.Fields.setValue(QStringLiteral("VXCURRID"), currentKey);
            if (toPositional(sql).names.contains(QStringLiteral("VXGENID"), Qt::CaseInsensitive))
                desc.Fields.setValue(QStringLiteral("VXGENID"), VxNewKey(db, desc.TableName));
            if (VxBeforeExec)
                VxBeforeExec(desc);
            VxExplain(QStringLiteral("Errore durante %1 in %2.")
                          .arg(QString::fromLatin1(kindWords(kind)), desc.TableName),
                      [&] {
                          // Every update of the list, derived or written by hand, names one
                          // row as it was read: touching none means another workstation
                          // deleted it, and the edit would be lost unsaid.
                          if (kind == skUpdate)
                              tr->ExecRow(sql, desc.Fields);
                          else
                              tr->Exec(sql, desc.Fields);
                      });
            if (VxAfterExec)
                VxAfterExec(desc);
            done << desc;
        }
    };
    // Inside the caller's transaction a failure must take back only this row's statements:
    // the caller may still commit its other work, and the row is shown as not saved.
    try {
        if (scope.ownsTransaction())
            run();
        else
            VxUnderSavepoint(*tr, run);
    } catch (const EVxException &) {
        if (stored)
            takeStoredRow(*stored);
        throw;
    }
    scope.Commit();
    return done;
}

void TVxQueryCollection::mergeIntoBuffer(const QList<TVxQueryDesc> &done, TVxStatementKind kind)
{
    // Values the hooks supplied for the row's own fields are what the database now holds.
    QVariant mainKey, lastKey;
    for (const TVxQueryDesc &desc : done) {
        for (int i = 0; i < desc.Fields.size(); ++i) {
            const int field = FieldIndex(desc.Fields.name(i));
            if (field > 0) // the key column takes the new key below, never a hook's value
                m_buffer[field] = desc.Fields.value(i);
        }
        const QVariant generated = desc.Fields.value(QStringLiteral("VXGENID"));
        if (!generated.isValid())
            continue;
        lastKey = generated;
        if (desc.TableName == m_mainTable && !mainKey.isValid())
            mainKey = generated;
    }
    const QVariant newKey = mainKey.isValid() ? mainKey : lastKey;
    if (kind == skInsert && newKey.isValid() && !m_buffer.isEmpty())
        m_buffer[0] = newKey;
}

void TVxQueryCollection::Post()
{
    if (m_state != dsInsert && m_state != dsEdit)
        throw EVxException(QStringLiteral("La riga non è in modifica."));
    if (m_state == dsInsert) {
        const QList<TVxQueryDesc> done = runStatements(skInsert, QVariant());
        mergeIntoBuffer(done, skInsert);
        const int row = RecordCount();
        beginInsertRows(QModelIndex(), row, row);
        m_rows << m_buffer;
        endInsertRows();
        m_recNo = row;
    } else {
        const QList<TVxQueryDesc> done = runStatements(skUpdate, m_rows[m_recNo].value(0));
        mergeIntoBuffer(done, skUpdate);
        m_rows[m_recNo] = m_buffer;
        emit dataChanged(index(m_recNo, 0), index(m_recNo, FieldCount() - 1));
    }
    m_state = dsBrowse;
    m_buffer.clear();
}

void TVxQueryCollection::Delete()
{
    requireActive();
    if (m_state == dsInsert || m_state == dsEdit)
        Cancel();
    if (Eof())
        throw EVxException(QStringLiteral("Nessuna riga selezionata."));
    if (!CanDelete())
        throw EVxException(QStringLiteral("Cancellazione non consentita."));
    m_buffer = m_rows[m_recNo];
    try {
        runStatements(skDelete, m_rows[m_recNo].value(0));
    } catch (...) {
        m_buffer.clear();
        throw;
    }
    m_buffer.clear();
    beginRemoveRows(QModelIndex(), m_recNo, m_recNo);
    m_rows.removeAt(m_recNo);
    endRemoveRows();
    if (m_recNo >= RecordCount())
        m_recNo = RecordCount() - 1;
}

void TVxQueryCollection::setDisplayLabel(const QString &field, const QString &label)
{
    m_labels.insert(field.toUpper(), label);
    if (Active())
        emit headerDataChanged(Qt::Horizontal, 0, qMax(0, FieldCount() - 1));
}

int TVxQueryCollection::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : RecordCount();
}

int TVxQueryCollection::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FieldCount();
}

QVariant TVxQueryCollection::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return Value(index.row(), index.column());
}

QVariant TVxQueryCollection::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    const QString name = FieldName(section);
    return m_labels.value(name.toUpper(), name);
}
