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

void TfrRunCache::keep(const QString &key, TfrRows rows)
{
    if (const auto found = m_index.constFind(key); found != m_index.constEnd()) {
        m_rows -= qsizetype(found.value()->rows.rows.size());
        m_entries.erase(found.value());
        m_index.erase(found);
    }
    // Room is made first: what was just read is what the run wants next.
    const qsizetype added = qsizetype(rows.rows.size());
    while (!m_entries.empty() && m_rows + added > kRowBudget) {
        m_rows -= qsizetype(m_entries.back().rows.rows.size());
        m_index.remove(m_entries.back().key);
        m_entries.pop_back();
    }
    m_entries.push_front({key, std::move(rows)});
    m_index.insert(key, m_entries.begin());
    m_rows += added;
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
