#include "platform/maindir.h"

#include "platform/fileaccess.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString &mainDirStorage()
{
    static QString dir;
    return dir;
}

QString withSeparator(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace

QString GetMainDir()
{
    QString &dir = mainDirStorage();
    if (dir.isEmpty()) {
        const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        dir = withSeparator(QDir::cleanPath(base + QStringLiteral("/Tavrin")));
    }
    return dir;
}

void setMainDir(const QString &dir)
{
    mainDirStorage() = withSeparator(QDir::cleanPath(QDir(dir).absolutePath()));
}

QString resolvePath(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString current;
    if (p.startsWith(QLatin1Char('/'))) {
        current = QStringLiteral("/");
    } else {
        current = GetMainDir();
    }
    const QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    bool exists = true;
    for (const QString &part : parts) {
        if (part == QLatin1String(".")) {
            continue;
        }
        QString next = part;
        if (exists && part != QLatin1String("..")) {
            const QDir dir(current);
            if (!QFileInfo::exists(dir.filePath(part))) {
                const QStringList entries =
                    dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                next.clear();
                for (const QString &entry : entries) {
                    if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                        next = entry;
                        break;
                    }
                }
                if (next.isEmpty()) {
                    next = part;
                    exists = false;
                }
            }
        }
        current = withSeparator(current) + next;
    }
    if (p.endsWith(QLatin1Char('/')))
        current = withSeparator(current);
    return QDir::cleanPath(current) + (p.endsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString());
}

QString mainSubDir(const QString &name)
{
    const QString dir = resolvePath(name);
    try {
        VxMakeOwnFolder(dir);
    } catch (const EVxException &) {
        // Told by the first file written there, which names it.
    }
    return withSeparator(dir);
}

QString defaultDatabasePath()
{
    return resolvePath(QStringLiteral("DB/TAVRIN.FDB"));
}
