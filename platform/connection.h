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
#include <QSqlDriver>
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
// when a missing file cannot be written. The file is written readable by its owner only (it
// holds the password); one that others may read is said once (a warning), and left as it is.
TVxConnectionSettings readConnectionSettings();
void writeConnectionSettings(const TVxConnectionSettings &settings);
TVxDatabaseLocation parseDatabaseLocation(const QString &database);

// A connection of its own, for tools, tests and benchmarks that do not go through the
// settings file: openDatabase with the given settings (a local file or a server's
// host[/port]:path), openLocalDatabase to a local file with the embedded engine's defaults
// (SYSDBA, UTF8). The connection name must be unique per thread; false with the driver's
// error otherwise.
bool openDatabase(QSqlDatabase &db, const QString &connectionName,
                  const TVxConnectionSettings &settings, QString *error = nullptr);
bool openLocalDatabase(QSqlDatabase &db, const QString &connectionName, const QString &path,
                       QString *error = nullptr);

// A second connection to the database of another one (the same file or server, user and
// character set), closed and removed with the object: a long read keeps a snapshot and its
// prepared statements in a transaction of its own there, while the first connection commits
// its writes as they go. Throws EVxException with the driver's error when it cannot be opened.
class TVxSideConnection
{
public:
    explicit TVxSideConnection(const QSqlDatabase &like);
    ~TVxSideConnection();
    TVxSideConnection(const TVxSideConnection &) = delete;
    TVxSideConnection &operator=(const TVxSideConnection &) = delete;

    QSqlDatabase database() const;

private:
    QString m_name;
};

// The connection of a driver (a query's), invalid when none of this thread uses it.
QSqlDatabase connectionOfDriver(const QSqlDriver *driver);
// Opens the connection again after its server went away (stopped, restarted, the network
// down), with the settings it had: the next piece of work after the server returns goes on
// without a restart. Throws EVxException saying so when the server still does not answer; the
// connection then stays closed until reopenIfLost, at the start of the next piece of work,
// opens it (true) or throws again. A connection closed on purpose is not reopened.
void VxReconnect(QSqlDatabase &db);
bool reopenIfLost(QSqlDatabase &db);

bool OpenConnection();
void CloseConnection();
QSqlDatabase qqoVxGlobConn();
QString globalConnectionName();
