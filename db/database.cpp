#include "db/database.h"

#include "platform/embeddedlock.h"

#include <ibase.h>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString statusText(const ISC_STATUS *status)
{
    QString text;
    char buffer[512];
    const ISC_STATUS *p = status;
    while (fb_interpret(buffer, sizeof buffer, &p)) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += QString::fromLocal8Bit(buffer);
    }
    return text;
}

} // namespace

QString createEmptyDatabase(const QString &path)
{
    // CREATE DATABASE takes no parameters: the path goes into the text with its quotes
    // doubled. It is the program's own file name, never typed by the office.
    useUsableEmbeddedLockFolder();
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    const QByteArray sql = QStringLiteral("CREATE DATABASE '%1' USER 'SYSDBA' PAGE_SIZE 8192 "
                                          "DEFAULT CHARACTER SET UTF8")
                               .arg(quoted)
                               .toUtf8();
    ISC_STATUS_ARRAY status = {};
    isc_db_handle handle = 0;
    isc_tr_handle transaction = 0;
    if (isc_dsql_execute_immediate(status, &handle, &transaction, 0, sql.constData(), 3, nullptr))
        return statusText(status);
    isc_detach_database(status, &handle);
    return {};
}

QString setForcedWrites(const QString &path, bool on)
{
    useUsableEmbeddedLockFolder();
    const QByteArray file = QFile::encodeName(path);
    const QByteArray user = QByteArrayLiteral("SYSDBA");
    QByteArray dpb;
    dpb += char(isc_dpb_version1);
    dpb += char(isc_dpb_user_name);
    dpb += char(user.size());
    dpb += user;
    dpb += char(isc_dpb_force_write);
    dpb += char(1);
    dpb += char(on ? 1 : 0);
    ISC_STATUS_ARRAY status = {};
    isc_db_handle handle = 0;
    if (isc_attach_database(status, short(file.size()), file.constData(), &handle,
                            short(dpb.size()), dpb.constData()))
        return statusText(status);
    isc_detach_database(status, &handle);
    return {};
}

QStringList splitSqlScript(const QString &script)
{
    QStringList statements;
    QString terminator = QStringLiteral(";");
    QString current;
    const int n = int(script.size());
    int i = 0;
    auto flush = [&] {
        const QString s = current.trimmed();
        if (!s.isEmpty()) {
            if (s.startsWith(QLatin1String("SET TERM"), Qt::CaseInsensitive)) {
                terminator = s.mid(8).trimmed();
            } else {
                statements << s;
            }
        }
        current.clear();
    };
    while (i < n) {
        const QChar c = script.at(i);
        if (c == QLatin1Char('-') && i + 1 < n && script.at(i + 1) == QLatin1Char('-')) {
            while (i < n && script.at(i) != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && script.at(i + 1) == QLatin1Char('*')) {
            const int end = int(script.indexOf(QLatin1String("*/"), i + 2));
            i = end < 0 ? n : end + 2;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            const int start = i++;
            while (i < n) {
                if (script.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && script.at(i + 1) == QLatin1Char('\'')) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            current += script.mid(start, i - start);
            continue;
        }
        // "SET TERM x y" is ended by the current terminator like any statement.
        if (script.mid(i, terminator.size()) == terminator) {
            i += int(terminator.size());
            flush();
            continue;
        }
        current += c;
        ++i;
    }
    flush();
    return statements;
}

static void initDbResources()
{
    // Resources of a static library are registered by hand.
    Q_INIT_RESOURCE(db);
}

QString applySchema(QSqlDatabase &db)
{
    initDbResources();
    // The schema is split by area; the files apply in the order of their names.
    const QDir dir(QStringLiteral(":/db/schema"));
    const QStringList files = dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        return QStringLiteral("Schema del database non trovato nelle risorse del programma.");
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("Impossibile leggere il file dello schema ") + name;
        const QStringList statements = splitSqlScript(QString::fromUtf8(file.readAll()));
        for (const QString &statement : statements) {
            if (!db.transaction())
                return name + QStringLiteral(": ") + db.lastError().text();
            QSqlQuery query(db);
            if (!query.exec(statement)) {
                const QString error = query.lastError().text();
                db.rollback();
                return name + QStringLiteral(": ") + statement.left(200) + QStringLiteral("\n") +
                       error;
            }
            if (!db.commit())
                return name + QStringLiteral(": ") + statement.left(200) + QStringLiteral("\n") +
                       db.lastError().text();
        }
    }
    return {};
}

QString updateIndexStatistics(QSqlDatabase &db)
{
    QStringList indexes;
    {
        QSqlQuery list(db);
        list.setForwardOnly(true);
        if (!list.exec(QStringLiteral("SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES "
                                      "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0")))
            return list.lastError().text();
        while (list.next())
            indexes << list.value(0).toString();
    }
    for (const QString &index : std::as_const(indexes)) {
        // An index name cannot be bound; it comes from the database's own catalogue.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SET STATISTICS INDEX \"%1\"").arg(index)))
            return index + QStringLiteral(": ") + query.lastError().text();
    }
    return {};
}
