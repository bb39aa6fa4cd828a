#include "platform/connection.h"

#include "platform/embeddedlock.h"
#include "platform/engineerrors.h"
#include "platform/fileaccess.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/quitrequest.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString kSection = QStringLiteral("Connessione");

TVxINIFile settingsIni()
{
    return TVxINIFile(connectionSettingsFile());
}

void tellUser(const QString &text, const QString &detail = QString())
{
    VxMessageDlg(text, mtError, mbOK, 0, mrNone, detail);
}

const QString kFixSettings = QStringLiteral(
    "Correggere il file, oppure eliminarlo perché Tavrin lo scriva di nuovo per il database "
    "dimostrativo, e riavviare il programma.");

// A settings file that is there but says nothing usable is never replaced: it may be the
// school's own, damaged or half-written, and the demo database would then be opened in silence
// in place of the school's.
void requireUsableSettingsFile(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    // A share not mounted yet: the school's settings are there, only out of reach.
    if (const QString link = VxLinkText(path); !link.isEmpty() && !QFileInfo::exists(path))
        throw EVxException(
            QStringLiteral("Il file delle impostazioni di connessione %1 %2.\r\rCollegare il "
                           "disco o la cartella di rete a cui punta, oppure correggere il "
                           "collegamento, e riavviare il programma.")
                .arg(shown, link));
    QFile file;
    if (QFileInfo(path).isDir() || !VxOpenRegularFile(file, path))
        throw EVxException(
            QStringLiteral(
                "Impossibile leggere il file delle impostazioni di connessione %1.\r\r%2")
                .arg(shown, kFixSettings),
            EVxException::Error, file.errorString());
    if (file.readAll().trimmed().isEmpty())
        throw EVxException(
            QStringLiteral("Il file delle impostazioni di connessione %1 è vuoto.\r\r%2")
                .arg(shown, kFixSettings));
    const TVxINIFile ini(path);
    if (!ini.ValueExists(kSection, QStringLiteral("Database")))
        throw EVxException(QStringLiteral("Il file delle impostazioni di connessione %1 non indica "
                                          "il database da aprire: manca la voce Database nella "
                                          "sezione [Connessione].\r\r%2")
                               .arg(shown, kFixSettings));
    if (ini.ReadString(kSection, QStringLiteral("Database")).trimmed().isEmpty())
        throw EVxException(
            QStringLiteral(
                "Nel file delle impostazioni di connessione %1 la voce Database è vuota: "
                "indicare il file del database, oppure il server e il percorso "
                "(server:percorso), e riavviare il programma.")
                .arg(shown));
}

// The file holds the database password: said once per file and run when others may read it
// (a file written by hand, or by an older program). It is not changed here: on a school's
// share the offices' users may need it as it is.
void tellIfReadableByOthers(const QString &path)
{
    static QSet<QString> told;
    if (VxIsOwnerOnly(path) || told.contains(path))
        return;
    told.insert(path);
    VxMessageDlg(QStringLiteral("Il file delle impostazioni di connessione %1 contiene la password "
                                "del database ed è leggibile anche da altri utenti di questo "
                                "computer.\r\rRenderlo leggibile solo dall'utente che usa Tavrin, "
                                "ad esempio con il comando: chmod 600 %1")
                     .arg(QDir::toNativeSeparators(path)),
                 mtWarning, mbOK);
}

// The engine's refusal to open, told by its cause; the engine's text stays as the detail.
QString openRefusal(const QSqlError &error, const TVxDatabaseLocation &location,
                    const QString &database, const QString &settingsFile)
{
    const QString engine = error.databaseText();
    if (engine.contains(QLatin1String("already opened with engine instance")))
        return QStringLiteral(
                   "Il database %1 è già aperto in un'altra copia di Tavrin su questo computer.\r\r"
                   "Chiudere l'altra copia: sullo stesso computer il programma si apre una volta "
                   "sola. Più computer lavorano sullo stesso database attraverso un server "
                   "Firebird, come spiega il file README.")
            .arg(database);
    if (engine.contains(QLatin1String("no permission for read-write access")))
        return QStringLiteral("Il file del database %1 è di sola lettura: Tavrin non potrebbe "
                              "salvarvi nulla.\r\rDare il permesso di scrittura sul file (e sulla "
                              "sua cartella) e riavviare il programma.")
            .arg(database);
    if (engine.contains(QLatin1String("Unable to complete network request")))
        return QStringLiteral("Il server Firebird %1 non risponde.\r\rControllare che il server "
                              "sia acceso e raggiungibile in rete e che Firebird vi sia avviato; "
                              "il server è indicato nella voce Database di %2.")
            .arg(location.port > 0
                     ? QStringLiteral("%1 (porta %2)").arg(location.host).arg(location.port)
                     : location.host,
                 settingsFile);
    if (engine.contains(QLatin1String("is not a valid database")))
        return QStringLiteral("Il file %1 non è un database Firebird.\r\rControllare la voce "
                              "Database in %2.")
            .arg(database, settingsFile);
    return QStringLiteral("Impossibile aprire il database %1.\r\rControllare le impostazioni di "
                          "connessione in %2.")
        .arg(database, settingsFile);
}

// A local path is resolved below the main folder; a server's path is the server's to read.
void configure(QSqlDatabase &db, const TVxConnectionSettings &settings)
{
    const TVxDatabaseLocation location = parseDatabaseLocation(settings.Database);
    if (location.host.isEmpty())
        useUsableEmbeddedLockFolder();
    db.setHostName(location.host);
    db.setPort(location.port);
    db.setDatabaseName(location.host.isEmpty() ? resolvePath(location.path) : location.path);
    db.setUserName(settings.User);
    db.setPassword(settings.Password);
    db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=") + settings.CharacterSet);
}

// The client library installs handlers of SIGTERM and SIGINT of its own when it first tries to
// attach, and they would leave the program deaf to a request to end.
bool openKeepingQuitHandlers(QSqlDatabase &db)
{
    const bool opened = db.open();
    restoreQuitRequestHandlers();
    return opened;
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
    // Only where nothing stands: a link pointing nowhere is the school's, out of reach.
    if (!VxNameTaken(ini.resolvedPath())) {
        writeConnectionSettings(defaults);
    } else {
        requireUsableSettingsFile(ini.resolvedPath());
        tellIfReadableByOthers(ini.resolvedPath());
    }
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
    ini.setAccess(TVxFileAccess::OwnerOnly); // it holds the database password
    ini.WriteValues(kSection, {{QStringLiteral("Database"), settings.Database},
                               {QStringLiteral("User"), settings.User},
                               {QStringLiteral("Password"), settings.Password},
                               {QStringLiteral("CharacterSet"), settings.CharacterSet}});
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
        tellUser(e.message(), e.detail());
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
    QString path = location.path;
    if (location.host.isEmpty()) {
        path = resolvePath(path);
        if (!QFileInfo::exists(path)) {
            tellUser(QStringLiteral("Impossibile aprire il database: il file %1 non esiste.\r\r"
                                    "Per creare il database della scuola dimostrativa eseguire "
                                    "./run.sh nella cartella di Tavrin, oppure il programma "
                                    "tavrin-makedb con il percorso del file:\r\r"
                                    "    tavrin-makedb %1\r\r"
                                    "Se il database è un altro, correggere la voce Database in %2.")
                         .arg(QDir::toNativeSeparators(path), where));
            return false;
        }
    }
    configure(db, settings);
    if (!openKeepingQuitHandlers(db)) {
        const QString shown =
            location.host.isEmpty() ? QDir::toNativeSeparators(path) : settings.Database;
        tellUser(openRefusal(db.lastError(), location, shown, where), engineText(db.lastError()));
        return false;
    }
    // A database Firebird keeps read-only (gfix -mode read_only) opens like any other and
    // refuses only the first save, in the engine's English: the office hears it now.
    bool readOnly = false;
    try {
        VxEachRow(db, QStringLiteral("SELECT MON$READ_ONLY FROM MON$DATABASE"), {},
                  [&readOnly](const QSqlQuery &q, const QSqlRecord &) {
                      readOnly = q.value(0).toInt() != 0;
                  });
    } catch (const EVxException &e) {
        db.close();
        tellUser(e.message(), e.detail());
        return false;
    }
    if (readOnly) {
        db.close();
        const QString shown =
            location.host.isEmpty() ? QDir::toNativeSeparators(path) : settings.Database;
        tellUser(QStringLiteral("Il database %1 è di sola lettura per Firebird: Tavrin non "
                                "potrebbe salvarvi nulla.\r\rRimetterlo in lettura e scrittura "
                                "(gfix -mode read_write) e riavviare il programma.")
                     .arg(shown));
        return false;
    }
    return true;
}

bool openDatabase(QSqlDatabase &db, const QString &connectionName,
                  const TVxConnectionSettings &settings, QString *error)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), connectionName);
    configure(db, settings);
    if (openKeepingQuitHandlers(db))
        return true;
    if (error)
        *error = engineText(db.lastError());
    return false;
}

bool openLocalDatabase(QSqlDatabase &db, const QString &connectionName, const QString &path,
                       QString *error)
{
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = path;
    return openDatabase(db, connectionName, settings, error);
}

TVxSideConnection::TVxSideConnection(const QSqlDatabase &like)
{
    static int opened = 0;
    m_name = like.connectionName() + QStringLiteral("-side-%1").arg(++opened);
    QSqlDatabase db = QSqlDatabase::cloneDatabase(like, m_name);
    if (!openKeepingQuitHandlers(db)) {
        const QString error = engineText(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        throw EVxException::general(
            QStringLiteral("Impossibile aprire una seconda connessione al database."), error);
    }
}

TVxSideConnection::~TVxSideConnection()
{
    database().close();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase TVxSideConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
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
    const bool opened = openKeepingQuitHandlers(db);
    if (opened)
        waitingForServer().remove(db.connectionName());
    else
        waitingForServer().insert(db.connectionName());
    if (!opened)
        throw EVxException(
            QStringLiteral("Il database non è raggiungibile: il server non risponde.\r\r"
                           "Riprovare quando il server è di nuovo in funzione; se il problema "
                           "resta, chiudere e riavviare Tavrin."),
            EVxException::Error, engineText(db.lastError()));
}

void CloseConnection()
{
    waitingForServer().remove(globalConnectionName());
    if (QSqlDatabase::contains(globalConnectionName()))
        QSqlDatabase::database(globalConnectionName(), false).close();
}
