#include "platform/temppath.h"

#include "platform/vxexception.h"

#include <QDir>
#include <QTemporaryDir>

namespace {

void requireValid(const QTemporaryDir &dir)
{
    if (!dir.isValid())
        throw EVxException(
            QStringLiteral("Impossibile creare la cartella temporanea: %1").arg(dir.errorString()));
}

} // namespace

QString GetTempPath()
{
    // One folder for the life of the process: callers keep paths built from it.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tavrin-XXXXXX"));
    requireValid(dir);
    return dir.path() + QLatin1Char('/');
}

std::unique_ptr<QTemporaryDir> VxNewTemporaryFolder(const QString &prefix)
{
    auto dir = std::make_unique<QTemporaryDir>(GetTempPath() + prefix + QStringLiteral("-XXXXXX"));
    requireValid(*dir);
    return dir;
}
