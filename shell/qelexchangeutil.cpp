#include "shell/qelutil.h"

#include "platform/krypto.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/zip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString hex7(quint32 value)
{
    return QString::number(value, 16).toUpper().rightJustified(7, QLatin1Char('0'));
}

} // namespace

QString MakeQedPasswd(int iAnaId, const QString &a, const QString &b)
{
    // The last part is computed in 32 bits, as the teachers' program does when it checks it.
    const quint32 shifted = quint32(iAnaId) - 1000000u;
    const QString text = hex7(quint32(iAnaId)) + QLatin1Char('#') + a + QLatin1Char('#') + b +
                         QLatin1Char('#') + hex7(shifted);
    return Krypto(text, QStringLiteral("k27w"), 6, QLatin1Char('a'), QLatin1Char('z'));
}

bool ZipDirAndRemove(const QString &folder, const QString &archive)
{
    // Files only: a sub-folder is neither packed nor deleted, and keeps the folder in place.
    const QDir dir(resolvePath(folder));
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList files;
    for (const QFileInfo &entry : entries)
        files << entry.absoluteFilePath();
    TZip zip;
    zip.setFileName(resolvePath(archive));
    zip.setFileList(files);
    try {
        zip.Add();
    } catch (const EVxException &e) {
        // The files stay: they are the only copy until the archive exists.
        VxMessageDlg(
            QStringLiteral("Impossibile creare l'archivio %1\r\r%2").arg(archive, e.message()),
            mtError, mbOK);
        return false;
    }
    for (const QString &file : std::as_const(files))
        QFile::remove(file);
    if (!dir.rmdir(dir.absolutePath())) {
        VxMessageDlg(QStringLiteral("Impossibile cancellare la directory"), mtError, mbOK);
        return false;
    }
    return true;
}

bool UnzipToDir(const QString &archive, const QString &folder)
{
    const QString target = resolvePath(folder);
    if (!QDir().mkpath(target)) {
        VxMessageDlg(QStringLiteral("Impossibile creare la directory ") + folder, mtError, mbOK);
        return false;
    }
    const QString source = resolvePath(archive);
    TZip zip;
    zip.setFileName(source);
    zip.setExtractPath(target);
    QStringList extracted;
    try {
        extracted = zip.Extract();
    } catch (const EVxException &e) {
        // The archive stays, so the collection can be repeated once the cause is removed.
        VxMessageDlg(
            QStringLiteral("Impossibile estrarre l'archivio %1\r\r%2").arg(archive, e.message()),
            mtError, mbOK);
        return false;
    }
    if (!extracted.isEmpty())
        QFile::remove(source);
    return true;
}
