#pragma once

#include "platform/connection.h"
#include "platform/dialogseam.h"

#include <QPair>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

// The private Firebird server a test runs against when CTest runs it as <name>_server
// (TAVRIN_TEST_SERVER names the instance file of scripts/fbserver.sh); none otherwise, and the
// tests use the embedded engine.
struct TestServer
{
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString dataFolder; // where the server reads the database copies
    // The settings' Database text for a database file on this server: "host/port:path".
    QString databaseText(const QString &path) const;
};
std::optional<TestServer> testServer();

// A Firebird server of the test's own (scripts/fbserver.sh), for the cases that stop it under
// a connection: while the object lives, TestDatabase puts its copies on it. Stopped and
// removed with the object (and by test.sh, should the test end without it: its instance file
// is build/test/fbserver-<pid>.instance).
class PrivateTestServer
{
public:
    PrivateTestServer();
    ~PrivateTestServer();
    PrivateTestServer(const PrivateTestServer &) = delete;
    PrivateTestServer &operator=(const PrivateTestServer &) = delete;

    bool started() const { return m_started; }
    // The server goes away (its process stopped), and comes back on the same port.
    void halt();
    void resume();

private:
    bool script(const QString &action);

    QString m_instance;
    QByteArray m_previous;
    bool m_started = false;
};

// A fresh copy of the run's template database (schema and demo school) in a folder of its
// own, removed with the object. A file copy is far cheaper than building the database. On the
// run's server (testServer()) the copy lies in the server's data folder and every connection
// goes through the server.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    QString path() const { return m_path; }
    // The connection settings that open the copy: the file itself, or host/port:path with the
    // server's user and password.
    TVxConnectionSettings connectionSettings() const;

    // Opens a new connection to the copy; closed and removed with the object.
    QSqlDatabase connect(const QString &name = QString());

private:
    std::optional<TestServer> m_server;
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

// The template database of the run; with TAVRIN_DEMO_SCALE=N (N > 1) in the environment, the
// demo school N times larger, made by the demo tool in the build folder (minutes at 10) and
// kept until the run's template is made again.
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

// The demo school's working context: institute 2, 2008/2009 (key 39), its final session (392).
void setDemoWorkingContext();

// Runs one statement, values bound in order ("?"), on the shared connection or on the one
// given; a failure fails the test with the driver's text.
QSqlQuery runSql(const QString &sql, const QVariantList &values = {});
QSqlQuery runSql(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});
// The first column of the first row; invalid when there is none.
QVariant scalar(const QString &sql, const QVariantList &values = {});
QVariant scalar(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});

// A tool of the database server (isql-fb, gfix) run on a closed test database, the input
// written to it: its exit code and output.
QPair<int, QString> runDatabaseTool(const QString &tool, const QStringList &arguments,
                                    const QByteArray &input = {});
// isql-fb run with the script on the database the settings name (the file, or the server's
// with its user and password), once the caller has closed its connections to it.
QPair<int, QString> runIsql(const TVxConnectionSettings &settings, const QByteArray &script);
// The tables among those given (in capitals) that a statement's plan reads whole
// (VxTablesReadWhole), each "TABLE: statement", for every text among the statements.
QStringList tablesReadWhole(const QSqlDatabase &db, const QStringList &texts,
                            const QStringList &tables);
// The tables that grow with the school, in capitals: its people and pupils, their situations
// and the values entered for them, the classes' plans, subjects and components, and the
// teachers' sends.
const QStringList &tablesThatGrowWithTheSchool();

// Readable failures: texts print as texts.
#ifndef TAVRIN_PRINTS_QSTRING
#define TAVRIN_PRINTS_QSTRING
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
#endif
