#include "tests/support/testdb.h"

#include "platform/connection.h"
#include "platform/dialogseam.h"
#include "platform/maindir.h"

#include <QFile>
#include <QSqlError>
#include <QUuid>

#include <gtest/gtest.h>

#include <stdexcept>

QString templateDatabasePath()
{
    return QStringLiteral(TAVRIN_TEMPLATE_DB);
}

TestDatabase::TestDatabase()
{
    m_path = m_dir.filePath(QStringLiteral("test.fdb"));
    if (!QFile::copy(templateDatabasePath(), m_path))
        throw std::runtime_error("cannot copy the template database " +
                                 templateDatabasePath().toStdString());
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
}

TestDatabase::~TestDatabase()
{
    for (const QString &name : std::as_const(m_connections)) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
}

QSqlDatabase TestDatabase::connect(const QString &name)
{
    const QString connectionName =
        name.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : name;
    QSqlDatabase db;
    QString error;
    if (!openLocalDatabase(db, connectionName, m_path, &error))
        throw std::runtime_error("cannot open the test database: " + error.toStdString());
    m_connections << connectionName;
    return db;
}

TestMainDir::TestMainDir() : m_previous(GetMainDir())
{
    setMainDir(m_dir.path());
}

TestMainDir::~TestMainDir()
{
    setMainDir(m_previous);
}

ProgramDatabase::ProgramDatabase()
{
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = database.path();
    writeConnectionSettings(settings);
    ScriptedDialogs quiet;
    opened = OpenConnection();
}

ProgramDatabase::~ProgramDatabase()
{
    CloseConnection();
}

QSqlQuery runSql(const QString &sql, const QVariantList &values)
{
    return runSql(qqoVxGlobConn(), sql, values);
}

QSqlQuery runSql(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery query(db);
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

QVariant scalar(const QString &sql, const QVariantList &values)
{
    return scalar(qqoVxGlobConn(), sql, values);
}

QVariant scalar(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery query = runSql(db, sql, values);
    return query.next() ? query.value(0) : QVariant();
}
