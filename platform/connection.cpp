#include "platform/connection.h"

#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>

namespace {

const QString kSection = QStringLiteral("Connessione");

TVxINIFile settingsIni()
{
    return TVxINIFile(connectionSettingsFile());
}

void tellUser(const QString &text)
{
    VxMessageDlg(text, mtError, mbOK);
}

// A local path is resolved below the main folder; a server's path is the server's to read.
void configure(QSqlDatabase &db, const TVxConnectionSettings &settings)
{
    const TVxDatabaseLocation location = parseDatabaseLocation(settings.Database);
    db.setHostName(location.host);
    db.setPort(location.port);
    db.setDatabaseName(location.host.isEmpty() ? resolvePath(location.path) : location.path);
    db.setUserName(settings.User);
    db.setPassword(settings.Password);
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=") + settings.CharacterSet);
}

} // namespace

QString connectionSettingsFile()
{
    return QStringLiteral("Connessione.ini");
}

QString globalConnectionName()
{
    return QStringLiteral("qqoVxGlobConn");
}

TVxConnectionSettings defaultConnectionSettings()
{
    TVxConnectionSettings settings;
    settings.Database = defaultDatabasePath();
    return settings;
}

TVxConnectionSettings readConnectionSettings()
{
    const TVxINIFile ini = settingsIni();
    const TVxConnectionSettings defaults = defaultConnectionSettings();
    if (!QFileInfo::exists(ini.resolvedPath()))
        writeConnectionSettings(defaults);
    TVxConnectionSettings settings;
    settings.Database = ini.ReadString(kSection, QStringLiteral("Database"), defaults.Database);
    settings.User = ini.ReadString(kSection, QStringLiteral("User"), defaults.User);
    settings.Password = ini.ReadString(kSection, QStringLiteral("Password"), defaults.Password);
    settings.CharacterSet =
        ini.ReadString(kSection, QStringLiteral("CharacterSet"), defaults.CharacterSet);
    return settings;
}

void writeConnectionSettings(const TVxConnectionSettings &settings)
{
    TVxINIFile ini = settingsIni();
    ini.setScriviSempre(true);
    ini.WriteString(kSection, QStringLiteral("Database"), settings.Database);
    ini.WriteString(kSection, QStringLiteral("User"), settings.User);
    ini.WriteString(kSection, QStringLiteral("Password"), settings.Password);
    ini.WriteString(kSection, QStringLiteral("CharacterSet"), settings.CharacterSet);
}

TVxDatabaseLocation parseDatabaseLocation(const QString &database)
{
    TVxDatabaseLocation location;
    const QString text = database.trimmed();
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    // A path starting with "/" is local even when it holds a colon; a one-letter prefix is a
    // Windows drive letter, not a host.
    if (colon <= 1 || text.startsWith(QLatin1Char('/'))) {
        location.path = text;
        return location;
    }
    QString server = text.left(colon);
    location.path = text.mid(colon + 1);
    const qsizetype slash = server.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        bool ok = false;
        const int port = server.mid(slash + 1).toInt(&ok);
        location.port = ok ? port : -1;
        server = server.left(slash);
    }
    location.host = server;
    return location;
}

QSqlDatabase qqoVxGlobConn()
{
    const QString name = globalConnectionName();
    if (!QSqlDatabase::contains(name))
        return QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), name);
    return QSqlDatabase::database(name, false);
}

bool OpenConnection()
{
    TVxConnectionSettings settings;
    try {
        settings = readConnectionSettings();
    } catch (const EVxException &e) {
        tellUser(QStringLiteral("Impossibile leggere le impostazioni di connessione.\r\r%1")
                     .arg(e.message()));
        return false;
    }
    QSqlDatabase db = qqoVxGlobConn();
    if (db.isOpen())
        return true;
    const QString where = QDir::toNativeSeparators(resolveConfigPath(connectionSettingsFile()));
    if (!db.isValid()) {
        tellUser(QStringLiteral("Impossibile aprire il database: il driver Firebird (QIBASE) non "
                                "è installato."));
        return false;
    }
    // The character set goes into the driver's option text, where a ";" would add options.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!plainName.match(settings.CharacterSet).hasMatch()) {
        tellUser(QStringLiteral("Il set di caratteri \"%1\" indicato in %2 non è valido.")
                     .arg(settings.CharacterSet, where));
        return false;
    }
    const TVxDatabaseLocation location = parseDatabaseLocation(settings.Database);
    if (location.host.isEmpty()) {
        const QString path = resolvePath(location.path);
        if (!QFileInfo::exists(path)) {
            tellUser(QStringLiteral("Impossibile aprire il database: il file %1 non esiste.\r\r"
                                    "Controllare la voce Database in %2.")
                         .arg(QDir::toNativeSeparators(path), where));
            return false;
        }
    }
    configure(db, settings);
    if (!db.open()) {
        tellUser(QStringLiteral("Impossibile aprire il database %1.\r\r%2\r\r"
                                "Controllare le impostazioni di connessione in %3.")
                     .arg(settings.Database, db.lastError().text(), where));
        return false;
    }
    return true;
}

bool openDatabase(QSqlDatabase &db, const QString &connectionName,
                  const TVxConnectionSettings &settings, QString *error)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), connectionName);
    configure(db, settings);
    if (db.open())
        return true;
    if (error)
        *error = db.lastError().text();
    return false;
}

bool openLocalDatabase(QSqlDatabase &db, const QString &connectionName, const QString &path,
                       QString *error)
{
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = path;
    return openDatabase(db, connectionName, settings, error);
}

QSqlDatabase connectionOfDriver(const QSqlDriver *driver)
{
    if (!driver)
        return {};
    for (const QString &name : QSqlDatabase::connectionNames()) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.driver() == driver)
            return db;
    }
    return {};
}

namespace {

// The connections closed by a reconnection that failed, by name: the next piece of work opens
// them again, where a connection closed on purpose stays closed.
QSet<QString> &waitingForServer()
{
    static QSet<QString> names;
    return names;
}

} // namespace

bool reopenIfLost(QSqlDatabase &db)
{
    if (db.isOpen() || !waitingForServer().contains(db.connectionName()))
        return false;
    VxReconnect(db);
    return true;
}

void VxReconnect(QSqlDatabase &db)
{
    db.close();
    const bool opened = db.open();
    if (opened)
        waitingForServer().remove(db.connectionName());
    else
        waitingForServer().insert(db.connectionName());
    if (!opened)
        throw EVxException(
            QStringLiteral("Il database non è raggiungibile: il server non risponde.\r\r"
                           "Riprovare quando il server è di nuovo in funzione; se il problema "
                           "resta, chiudere e riavviare Tavrin.\r\r%1")
                .arg(db.lastError().text()));
}

void CloseConnection()
{
    waitingForServer().remove(globalConnectionName());
    if (QSqlDatabase::contains(globalConnectionName()))
        QSqlDatabase::database(globalConnectionName(), false).close();
}
