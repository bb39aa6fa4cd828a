#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>

#include <memory>

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
