#include "platform/temppath.h"

#include "platform/vxexception.h"

#include <QDir>
#include <QTemporaryDir>

QString GetTempPath()
{
    // One folder for the life of the process: callers keep paths built from it.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tavrin-XXXXXX"));
    if (!dir.isValid())
        throw EVxException(
            QStringLiteral("Impossibile creare la cartella temporanea: %1").arg(dir.errorString()));
    return dir.path() + QLatin1Char('/');
}
