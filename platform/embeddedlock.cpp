#include "platform/embeddedlock.h"

#include "platform/fileaccess.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool mayUse(const QString &path, int mode)
{
    return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

// Every process of the engine opens the shared files of the folder, whatever database it
// works on: one file this user may not write is enough for a refusal.
bool lockFolderUsable(const QString &folder)
{
    struct stat info;
    if (stat(QFile::encodeName(folder).constData(), &info) != 0)
        return errno == ENOENT; // the engine makes it, and it is then this user's
    if (!S_ISDIR(info.st_mode) || !mayUse(folder, W_OK | X_OK))
        return false;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (!mayUse(folder + QLatin1Char('/') + entry, R_OK | W_OK))
            return false;
    }
    return true;
}

// A folder in a shared place such as /tmp may have been made, or replaced by a link, by
// another user waiting for this one's lock files: it is taken only when it is this user's.
bool makePrivateFolder(const QString &folder)
{
    try {
        const QFileInfo info(folder);
        VxMakeOwnFolder(info.absolutePath(), info.fileName(), TVxFileAccess::OwnerOnly);
        return true;
    } catch (const EVxException &) {
        return false; // the next folder is tried
    }
}

} // namespace

QString embeddedLockFolderFor(const QString &engineDefault, const QStringList &privateFolders)
{
    if (lockFolderUsable(engineDefault))
        return {};
    for (const QString &folder : privateFolders) {
        if (!folder.isEmpty() && makePrivateFolder(folder))
            return folder;
    }
    return {};
}

void useUsableEmbeddedLockFolder()
{
    // The engine reads the variable once, when it first opens a local database.
    static bool decided = false;
    if (decided)
        return;
    decided = true;
    if (!qEnvironmentVariableIsEmpty("FIREBIRD_LOCK"))
        return;
    // The name depends on the user alone, not on the session's environment, so that every
    // copy of the program this user starts shares the locks of a database file.
    QStringList privateFolders{QStringLiteral("/tmp/firebird-%1").arg(geteuid())};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.startsWith(QLatin1Char('/')))
        privateFolders << runtime + QStringLiteral("/tavrin-firebird");
    const QString folder = embeddedLockFolderFor(QStringLiteral("/tmp/firebird"), privateFolders);
    if (!folder.isEmpty())
        qputenv("FIREBIRD_LOCK", QFile::encodeName(folder));
}
