#include "platform/connection.h"
#include "platform/dialogseam.h"
#include "platform/fileaccess.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/vxexception.h"
#include "tests/support/testdb.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

TEST(Connection, FirstUseWritesTheDefaultSettings)
{
    TestMainDir main;
    const TVxConnectionSettings settings = readConnectionSettings();
    EXPECT_EQ(settings.Database, defaultDatabasePath());
    EXPECT_EQ(settings.User, QStringLiteral("SYSDBA"));
    EXPECT_TRUE(settings.Password.isEmpty());
    EXPECT_EQ(settings.CharacterSet, QStringLiteral("UTF8"));
    const TVxINIFile ini(QStringLiteral("Connessione.ini"));
    EXPECT_TRUE(QFileInfo::exists(main.path() + "ETC/Connessione.ini"));
    EXPECT_EQ(ini.ReadString("Connessione", "Database"), defaultDatabasePath());
    EXPECT_EQ(ini.ReadString("Connessione", "User"), QStringLiteral("SYSDBA"));

    // It holds the database password: its owner alone reads it. A file others may read (made
    // by hand) is said once, and left as it is.
    const QString file = main.path() + "ETC/Connessione.ini";
    EXPECT_TRUE(VxIsOwnerOnly(file));
    ScriptedDialogs scripted;
    readConnectionSettings();
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
    readConnectionSettings();
    readConnectionSettings();
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts()[0].contains("leggibile anche da altri utenti"));
    EXPECT_TRUE(DialogSeam::shownTexts()[0].contains("chmod 600 " + file));
    EXPECT_FALSE(VxIsOwnerOnly(file));
}

TEST(Connection, DatabaseTextNamesAFileOrAServer)
{
    auto local = parseDatabaseLocation(QStringLiteral("/home/scuola/DB/TAVRIN.FDB"));
    EXPECT_TRUE(local.host.isEmpty());
    EXPECT_EQ(local.path, QStringLiteral("/home/scuola/DB/TAVRIN.FDB"));
    auto server = parseDatabaseLocation(QStringLiteral("segreteria:/srv/fb/vexto.fdb"));
    EXPECT_EQ(server.host, QStringLiteral("segreteria"));
    EXPECT_EQ(server.port, -1);
    EXPECT_EQ(server.path, QStringLiteral("/srv/fb/vexto.fdb"));
    auto port = parseDatabaseLocation(QStringLiteral("10.0.0.5/3051:vexto"));
    EXPECT_EQ(port.host, QStringLiteral("10.0.0.5"));
    EXPECT_EQ(port.port, 3051);
    EXPECT_EQ(port.path, QStringLiteral("vexto"));
    EXPECT_TRUE(parseDatabaseLocation(QStringLiteral("C:\\dati\\x.gdb")).host.isEmpty());
}

TEST(Connection, UnreachableDatabaseIsExplainedAndRefused)
{
    TestMainDir main;
    ScriptedDialogs scripted;
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = main.path() + "DB/manca.fdb";
    writeConnectionSettings(settings);
    EXPECT_FALSE(OpenConnection());
    ASSERT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(DialogSeam::shownTexts()[0].contains("manca.fdb"));
    EXPECT_TRUE(DialogSeam::shownTexts()[0].contains("Connessione.ini"));
    EXPECT_FALSE(qqoVxGlobConn().isOpen());

    // A server that does not answer is said in words; the driver's own error is kept for the
    // technician.
    DialogSeam::clearShown();
    settings.Database = QStringLiteral("127.0.0.1/1:/srv/nessuno.fdb");
    writeConnectionSettings(settings);
    EXPECT_FALSE(OpenConnection());
    ASSERT_EQ(DialogSeam::shown().size(), 1);
    EXPECT_TRUE(DialogSeam::shown()[0].text.startsWith("Il server Firebird 127.0.0.1"));
    EXPECT_TRUE(DialogSeam::shown()[0].technical.contains("Unable to complete network request"));

    // The character set may not smuggle further driver options in.
    DialogSeam::clearShown();
    settings = defaultConnectionSettings();
    settings.CharacterSet = QStringLiteral("UTF8;ISC_DPB_SQL_ROLE_NAME=RDB$ADMIN");
    writeConnectionSettings(settings);
    EXPECT_FALSE(OpenConnection());
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
}

TEST(Connection, OpensOnTheConfiguredDatabaseWithUtf8)
{
    TestDatabase database;
    TestMainDir main;
    ScriptedDialogs scripted;
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = database.path();
    writeConnectionSettings(settings);
    ASSERT_TRUE(OpenConnection()) << DialogSeam::shownTexts().join("\n").toStdString();
    EXPECT_TRUE(OpenConnection()); // already open: nothing to do
    {
        QSqlQuery query(qqoVxGlobConn());
        ASSERT_TRUE(query.exec("SELECT C.RDB$CHARACTER_SET_NAME FROM MON$ATTACHMENTS A "
                               "JOIN RDB$CHARACTER_SETS C ON C.RDB$CHARACTER_SET_ID = "
                               "A.MON$CHARACTER_SET_ID WHERE A.MON$ATTACHMENT_ID = "
                               "CURRENT_CONNECTION"));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toString().trimmed(), QStringLiteral("UTF8"));
        QSqlQuery text(qqoVxGlobConn());
        ASSERT_TRUE(text.exec(QString::fromUtf8("SELECT 'città' FROM RDB$DATABASE")));
        ASSERT_TRUE(text.next()) << text.lastError().text().toStdString();
        // A literal is a CHAR: space-padded.
        EXPECT_EQ(text.value(0).toString().trimmed(), QString::fromUtf8("città"));
    }
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());
    CloseConnection();
    EXPECT_FALSE(qqoVxGlobConn().isOpen());
}

// A side connection is an attachment of its own to the same database, gone with the object; one
// to a database that cannot be opened is refused with the driver's reason.
TEST(Connection, SideConnectionIsAnotherAttachment)
{
    ProgramDatabase program;
    ASSERT_TRUE(program.opened);
    const auto attachment = [](const QSqlDatabase &db) {
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec("SELECT CURRENT_CONNECTION FROM RDB$DATABASE") && q.next());
        return q.value(0).toLongLong();
    };
    QString name;
    {
        TVxSideConnection side(qqoVxGlobConn());
        name = side.database().connectionName();
        EXPECT_NE(attachment(side.database()), attachment(qqoVxGlobConn()));
    }
    EXPECT_FALSE(QSqlDatabase::contains(name));

    QSqlDatabase missing = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), QStringLiteral("m"));
    missing.setDatabaseName(program.mainDir.path() + QStringLiteral("assente.fdb"));
    EXPECT_THROW(TVxSideConnection{missing}, EVxException);
    missing = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("m"));
}
