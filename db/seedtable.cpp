#include "db/seedtable.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>

SeedTable::SeedTable(QSqlDatabase &db, const QString &table, const QStringList &columns,
                     qint64 keyLimit)
    : m_query(db), m_table(table), m_columns(int(columns.size())), m_keyLimit(keyLimit)
{
    QStringList marks;
    for (int i = 0; i < m_columns; ++i)
        marks << QStringLiteral("?");
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    if (!m_query.prepare(sql))
        throw SeedError(sql + QStringLiteral("\n") + m_query.lastError().text());
}

void SeedTable::add(std::initializer_list<QVariant> values)
{
    if (int(values.size()) != m_columns)
        throw SeedError(QStringLiteral("%1: %2 valori per %3 colonne")
                            .arg(m_table)
                            .arg(values.size())
                            .arg(m_columns));
    const qint64 key = values.begin()->toLongLong();
    if (key <= 0 || key >= m_keyLimit)
        throw SeedError(QStringLiteral("%1: chiave %2 fuori dall'intervallo 1..%3")
                            .arg(m_table)
                            .arg(key)
                            .arg(m_keyLimit - 1));
    int i = 0;
    for (const QVariant &value : values)
        m_query.bindValue(i++, value);
    if (!m_query.exec())
        throw SeedError(QStringLiteral("%1, chiave %2: %3")
                            .arg(m_table)
                            .arg(key)
                            .arg(m_query.lastError().text()));
    ++m_rows;
}
