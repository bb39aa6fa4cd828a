#pragma once

#include "platform/connection.h"
#include "platform/dialogseam.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// A fresh copy of the run's template database (schema and demo school) in a folder of its
// own, removed with the object. A file copy is far cheaper than building the database.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    QString path() const { return m_path; }

    // Opens a new connection to the copy; closed and removed with the object.
    QSqlDatabase connect(const QString &name = QString());

private:
    QTemporaryDir m_dir;
    QString m_path;
    QStringList m_connections;
};

// A temporary main folder for the program, set as GetMainDir while the object lives.
class TestMainDir
{
public:
    TestMainDir();
    ~TestMainDir();

    QString path() const { return m_dir.path() + QStringLiteral("/"); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// The template database of the run.
QString templateDatabasePath();

// A temporary main folder whose connection settings name a fresh copy of the template
// database, with the program's shared connection (qqoVxGlobConn) open on it: the fixture of
// every test that runs the program's code.
class ProgramDatabase
{
public:
    ProgramDatabase();
    ~ProgramDatabase();

    TestMainDir mainDir;
    TestDatabase database;
    bool opened = false;
};

// Runs one statement, values bound in order ("?"), on the shared connection or on the one
// given; a failure fails the test with the driver's text.
QSqlQuery runSql(const QString &sql, const QVariantList &values = {});
QSqlQuery runSql(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});
// The first column of the first row; invalid when there is none.
QVariant scalar(const QString &sql, const QVariantList &values = {});
QVariant scalar(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});

// Readable failures: texts print as texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
