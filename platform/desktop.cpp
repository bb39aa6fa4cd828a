#include "platform/desktop.h"

#include "platform/dialogseam.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace {

bool open(const QUrl &url, const QString &kind, const QString &shown)
{
    if (!url.isValid() || url.isRelative())
        return false;
    if (!DialogSeam::scripted())
        return QDesktopServices::openUrl(url);
    DialogSeam::record(kind, shown);
    if (DialogSeam::peekAnswer().typeId() == QMetaType::Bool)
        return DialogSeam::takeAnswer().toBool();
    return true;
}

} // namespace

bool VxOpenUrl(const QUrl &url)
{
    return open(url, QStringLiteral("open-url"), url.toString());
}

bool VxOpenDocument(const QString &path)
{
    if (path.trimmed().isEmpty())
        return false;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return open(QUrl::fromLocalFile(absolute), QStringLiteral("open-document"), absolute);
}
