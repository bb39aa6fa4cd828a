#pragma once

// The program's one database connection and its settings.
//
//   OpenConnection()        opens the shared connection from ETC/Connessione.ini; false after
//                           telling the user the cause (a second copy of the program on the
//                           same embedded database, a read-only file, a server that does not
//                           answer, a file that is not a database), the driver's error kept as
//                           the message's detail
//   qqoVxGlobConn()         the shared connection (QIBASE, UTF8); closed until OpenConnection
//   CloseConnection()       closes it (the main window's close); OpenConnection reopens it
//   readConnectionSettings() / writeConnectionSettings(s): the settings file, written with the
//                           defaults on first use
//
// ETC/Connessione.ini, section [Connessione]:
//   Database=<file>                 embedded engine, no server (default: the demo database);
//                                   a relative path is taken under the main folder
//   Database=<host>:<path>          a Firebird server, e.g. server:/srv/fb/vexto.fdb
//   Database=<host>/<port>:<path>   a server on another port
//   User=SYSDBA  Password=  CharacterSet=UTF8
// No password lives in the code: the embedded engine needs none, a server's is in the file.
//
// Tests: inside a TestMainDir, writeConnectionSettings({testDatabase.path(), ...}) then
// OpenConnection(); CloseConnection() at the end.

#include <QSqlDatabase>
#include <QString>

struct TVxConnectionSettings
{
    QString Database;
    QString User = QStringLiteral("SYSDBA");
    QString Password;
    QString CharacterSet = QStringLiteral("UTF8");
};

// Where a Database text points: host empty for a local file (embedded engine).
struct TVxDatabaseLocation
{
    QString host;
    int port = -1;
    QString path;
};

QString connectionSettingsFile();
TVxConnectionSettings defaultConnectionSettings();
// Missing keys take their defaults; a missing file is first written with the defaults. A file
// that is there but unreadable, empty, without a Database entry or with an empty one is never
// rewritten: EVxException names the file and what is wrong with it. Throws EVxException too
// when a missing file cannot be written.
TVxConnectionSettings readConnectionSettings();
void writeConnectionSettings(const TVxConnectionSettings &settings);
TVxDatabaseLocation parseDatabaseLocation(const QString &database);

// A connection of its own to a local database file with the embedded engine's defaults
// (SYSDBA, UTF8), for tools and tests that do not go through the settings file. The
// connection name must be unique per thread; false with the driver's error otherwise.
bool openLocalDatabase(QSqlDatabase &db, const QString &connectionName, const QString &path,
                       QString *error = nullptr);

bool OpenConnection();
void CloseConnection();
QSqlDatabase qqoVxGlobConn();
QString globalConnectionName();
