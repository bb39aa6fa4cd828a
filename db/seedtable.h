#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <stdexcept>

class QSqlDatabase;

// A failed step of building the demo school, with the driver's error.
class SeedError : public std::runtime_error
{
public:
    explicit SeedError(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// One prepared INSERT of seed rows into a table. Create it inside the transaction that runs
// it: QIBASE binds a statement to the transaction open when it is prepared.
class SeedTable
{
public:
    // The first column is the key. Seed keys stay below the key generator's start unless
    // the table allows otherwise (teachers' person ids lie above it on purpose).
    SeedTable(QSqlDatabase &db, const QString &table, const QStringList &columns,
              qint64 keyLimit = kGeneratedKeysStart);

    void add(std::initializer_list<QVariant> values);
    int rows() const { return m_rows; }

    static constexpr qint64 kGeneratedKeysStart = 1000000;

private:
    QSqlQuery m_query;
    QString m_table;
    int m_columns = 0;
    qint64 m_keyLimit = 0;
    int m_rows = 0;
};

// A NULL value for SeedTable::add.
inline QVariant sqlNull()
{
    return QVariant();
}

// An integer that is NULL when zero, for optional keys.
inline QVariant keyOrNull(int key)
{
    return key ? QVariant(key) : QVariant();
}
