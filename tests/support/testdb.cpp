#include "tests/support/testdb.h"

#include "platform/connection.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QUuid>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

QString templateDatabasePath()
{
    const int scale = qEnvironmentVariableIntValue("TAVRIN_DEMO_SCALE");
    const QString run = QStringLiteral(TAVRIN_TEMPLATE_DB);
    if (scale <= 1)
        return run;
    // Made again whenever the run's own template is newer: the demo data may have changed.
    const QString path =
        QStringLiteral(TAVRIN_TEST_BUILD_DIR "/testdb/template-scale%1.fdb").arg(scale);
    const QFileInfo made(path);
    if (!made.exists() || made.lastModified() < QFileInfo(run).lastModified()) {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::ForwardedChannels);
        tool.start(QStringLiteral(TAVRIN_TEST_BUILD_DIR "/db/tavrin-makedb"),
                   {QStringLiteral("--scale"), QString::number(scale), QStringLiteral("--force"),
                    QStringLiteral("--no-forced-writes"), path});
        if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit ||
            tool.exitCode() != 0)
            throw std::runtime_error("cannot make the demo school at scale " +
                                     std::to_string(scale));
    }
    return path;
}

std::optional<TestServer> testServer()
{
    const QString instance = qEnvironmentVariable("TAVRIN_TEST_SERVER");
    if (instance.isEmpty())
        return std::nullopt;
    QFile pointer(instance);
    if (!pointer.open(QIODevice::ReadOnly))
        throw std::runtime_error("the run's Firebird server is not running: no " +
                                 instance.toStdString());
    const QString folder = QString::fromLocal8Bit(pointer.readLine()).trimmed();
    const TVxINIFile ini(folder + QStringLiteral("/server.ini"));
    const QString section = QStringLiteral("Server");
    TestServer server;
    server.host = ini.ReadString(section, QStringLiteral("Host"), QString());
    server.port = ini.ReadString(section, QStringLiteral("Port"), QString()).toInt();
    server.user = ini.ReadString(section, QStringLiteral("User"), QString());
    server.password = ini.ReadString(section, QStringLiteral("Password"), QString());
    server.dataFolder = ini.ReadString(section, QStringLiteral("Data"), QString());
    if (server.host.isEmpty() || server.port <= 0 || server.dataFolder.isEmpty())
        throw std::runtime_error("unreadable server instance in " + folder.toStdString());
    return server;
}

QString TestServer::databaseText(const QString &path) const
{
    return QStringLiteral("%1/%2:%3").arg(host).arg(port).arg(path);
}

PrivateTestServer::PrivateTestServer()
    : m_instance(QStringLiteral(TAVRIN_TEST_BUILD_DIR "/fbserver-%1.instance")
                     .arg(QCoreApplication::applicationPid())),
      m_previous(qgetenv("TAVRIN_TEST_SERVER"))
{
    m_started = script(QStringLiteral("start"));
    if (m_started)
        qputenv("TAVRIN_TEST_SERVER", m_instance.toLocal8Bit());
}

PrivateTestServer::~PrivateTestServer()
{
    script(QStringLiteral("stop"));
    if (m_previous.isEmpty())
        qunsetenv("TAVRIN_TEST_SERVER");
    else
        qputenv("TAVRIN_TEST_SERVER", m_previous);
}

void PrivateTestServer::halt()
{
    EXPECT_TRUE(script(QStringLiteral("halt")));
}

void PrivateTestServer::resume()
{
    EXPECT_TRUE(script(QStringLiteral("resume")));
}

bool PrivateTestServer::script(const QString &action)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral(TAVRIN_FBSERVER_SCRIPT), {action, m_instance});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

namespace {

QString copyFolderTemplate(const std::optional<TestServer> &server)
{
    return (server ? server->dataFolder : QDir::tempPath()) + QStringLiteral("/test-XXXXXX");
}

} // namespace

TestDatabase::TestDatabase() : m_server(testServer()), m_dir(copyFolderTemplate(m_server))
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
    if (!openDatabase(db, connectionName, connectionSettings(), &error))
        throw std::runtime_error("cannot open the test database: " + error.toStdString());
    m_connections << connectionName;
    return db;
}

TVxConnectionSettings TestDatabase::connectionSettings() const
{
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = m_path;
    if (m_server) {
        settings.Database = m_server->databaseText(m_path);
        settings.User = m_server->user;
        settings.Password = m_server->password;
    }
    return settings;
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
    writeConnectionSettings(database.connectionSettings());
    ScriptedDialogs quiet;
    opened = OpenConnection();
}

ProgramDatabase::~ProgramDatabase()
{
    CloseConnection();
}

void setDemoWorkingContext()
{
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), 2);
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 39);
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 392);
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

QPair<int, QString> runDatabaseTool(const QString &tool, const QStringList &arguments,
                                    const QByteArray &input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        return {-1, QStringLiteral("%1 did not finish").arg(tool)};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

QPair<int, QString> runIsql(const TVxConnectionSettings &settings, const QByteArray &script)
{
    QStringList arguments{QStringLiteral("-q"), QStringLiteral("-user"), settings.User};
    if (!settings.Password.isEmpty())
        arguments << QStringLiteral("-password") << settings.Password;
    return runDatabaseTool(QStringLiteral("isql-fb"), arguments << settings.Database, script);
}

const QStringList &tablesThatGrowWithTheSchool()
{
    static const QStringList tables = {
        "TSIT_SITUAZIONI", "TANA_ANAGRAFICHE", "TANACAG",          "TANAPER_PERSONALE",
        "TVOT_VOTI",       "TVTP_PROPOSTI",    "TTAS_TASSONOMIE",  "TASS_ASSENZE",
        "TAIU_AIUTI",      "TNOT_NOTE",        "TDEB_DEBITI",      "TGDZ_GIUDIZI",
        "TCRE_CREDITI",    "TREC_RECUPERI",    "TCOMP_COMPETENZE", "TCLSMATANA",
        "TCLSPST",         "TCLSSES",          "TCLSSESMAT",       "TCLSMATCMP",
        "TCLS_CLASSI",     "TAAI_ANAAPPINVIO"};
    return tables;
}

QStringList tablesReadWhole(const QSqlDatabase &db, const QStringList &texts,
                            const QStringList &tables)
{
    QStringList found, planned;
    for (const QString &text : texts) {
        if (planned.contains(text))
            continue;
        planned << text;
        try {
            for (const QString &table : VxTablesReadWhole(db, VxStatementPlan(db, text), tables))
                found << table + QStringLiteral(": ") + text.simplified();
        } catch (const EVxException &e) {
            ADD_FAILURE() << text.toStdString() << ": " << e.message().toStdString();
        }
    }
    return found;
}
