#include "exchange/qelclassfolders.h"

#include "gradeentry/qevutil.h"
#include "platform/maindir.h"

#include <QFileInfo>

#include <algorithm>

QString ParentFolder(const QString &text)
{
    QString folder = text.trimmed();
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    if (folder.isEmpty() || !QFileInfo(resolvePath(folder)).isDir())
        return {};
    const int last =
        std::max(LastPos(QStringLiteral("/"), folder), LastPos(QStringLiteral("\\"), folder));
    return last > 0 ? folder.left(last - 1) : QString();
}
