#include "platform/desktop.h"

#include "platform/dialogseam.h"
#include "platform/messagedlg.h"

#include <QDesktopServices>
#include <QDir>
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

bool VxOpenUrlOrTell(const QUrl &url)
{
    if (VxOpenUrl(url))
        return true;
    VxMessageDlg(QStringLiteral("Il computer non ha aperto la pagina nel browser.\r\rAprirla a "
                                "mano all'indirizzo:\r%1")
                     .arg(url.toDisplayString()),
                 mtWarning, mbOK);
    return false;
}

bool VxOpenDocumentOrTell(const QString &path)
{
    if (VxOpenDocument(path))
        return true;
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    VxMessageDlg(info.isDir()
                     ? QStringLiteral("Il computer non ha aperto la cartella.\r\rAprirla a "
                                      "mano:\r%1")
                           .arg(shown)
                     : QStringLiteral("Il computer non ha aperto il file.\r\rAprirlo a mano:\r%1")
                           .arg(shown),
                 mtWarning, mbOK);
    return false;
}
