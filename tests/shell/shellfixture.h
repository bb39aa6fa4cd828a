#pragma once

#include "platform/connection.h"
#include "platform/dialogseam.h"
#include "tests/support/testdb.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <gtest/gtest.h>

#include <ostream>

// Readable failures: texts print as texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// A temporary main folder whose connection settings name a fresh copy of the demo database,
// with the program's shared connection open on it.
class ShellDatabase
{
public:
    ShellDatabase()
    {
        TVxConnectionSettings settings = defaultConnectionSettings();
        settings.Database = database.path();
        writeConnectionSettings(settings);
        ScriptedDialogs quiet;
        opened = OpenConnection();
    }
    ~ShellDatabase() { CloseConnection(); }

    TestMainDir mainDir;
    TestDatabase database;
    bool opened = false;
};

// Runs one statement on the shared connection; fails the test with the driver's text.
inline QSqlQuery runSql(const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query(qqoVxGlobConn());
    if (!query.prepare(sql)) {
        ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return query;
    }
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
    if (!query.exec())
        ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
    return query;
}

inline QVariant scalar(const QString &sql, const QVariantList &values = {})
{
    QSqlQuery query = runSql(sql, values);
    return query.next() ? query.value(0) : QVariant();
}
