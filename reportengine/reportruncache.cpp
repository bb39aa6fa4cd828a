#include "reportengine/reportruncache.h"

#include "platform/transaction.h"

#include <QSqlQuery>

namespace {

TfrRunCache *g_current = nullptr;

} // namespace

TfrRunCache::TfrRunCache() : m_previous(g_current)
{
    g_current = this;
}

TfrRunCache::~TfrRunCache()
{
    g_current = m_previous;
}

TfrRunCache *TfrRunCache::current()
{
    return g_current;
}

const TfrRows *TfrRunCache::find(const QString &key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, found.value());
    return &m_entries.front().rows;
}

void TfrRunCache::forget(const QString &key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return;
    m_bytes -= found.value()->bytes;
    m_entries.erase(found.value());
    m_index.erase(found);
}

void TfrRunCache::keep(const QString &key, TfrRows rows)
{
    forget(key);
    // Room is made first: what was just read is what the run wants next.
    const qsizetype added = bytesOf(key, rows);
    while (!m_entries.empty() && m_bytes + added > kByteBudget) {
        m_bytes -= m_entries.back().bytes;
        m_index.remove(m_entries.back().key);
        m_entries.pop_back();
    }
    m_entries.push_front({key, std::move(rows), added});
    m_index.insert(key, m_entries.begin());
    m_bytes += added;
}

QString TfrRunCache::textKey(const QString &text)
{
    const auto found = m_textKeys.constFind(text);
    if (found != m_textKeys.constEnd())
        return *found;
    return *m_textKeys.insert(text, QStringLiteral("#%1").arg(m_textKeys.size()));
}

qsizetype TfrRunCache::bytesOf(const QString &key, const TfrRows &rows)
{
    // The entry, its key and index node, and per row its list and values; a text's or a
    // blob's characters beside its value. The columns are the statement's, shared.
    constexpr qsizetype entry = 128, row = 48;
    qsizetype bytes = entry + 2 * key.size() + qsizetype(rows.rows.size()) * row;
    for (const QList<QVariant> &values : rows.rows) {
        bytes += values.size() * qsizetype(sizeof(QVariant));
        for (const QVariant &value : values) {
            if (value.typeId() == QMetaType::QString)
                bytes += 32 + 2 * value.toString().size();
            else if (value.typeId() == QMetaType::QByteArray)
                bytes += 32 + value.toByteArray().size();
        }
    }
    return bytes;
}

TfrRows TfrRunCache::read(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &values)
{
    return frReadRows(db, sql, values, &m_layouts[sql]);
}

TfrRows frReadRows(const QSqlDatabase &db, const QString &sql, const TVxFieldValues &values,
                   std::optional<TVxRowLayout> *layout)
{
    TVxTransactionScope scope(db);
    QSqlQuery &query = scope.transaction().Exec(sql, values);
    std::optional<TVxRowLayout> own;
    if (!layout)
        layout = &own;
    if (!*layout)
        *layout = TVxRowLayout::of(query);
    TVxRowReader reader(query, **layout);
    TfrRows read;
    QList<QVariant> row;
    while (reader.Next(row))
        read.rows.push_back(std::move(row));
    for (const TFieldDef &def : reader.FieldDefs())
        read.columns << def.Name;
    scope.Commit();
    return read;
}
