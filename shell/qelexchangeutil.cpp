#include "shell/qelutil.h"

#include "platform/cp1252.h"
#include "platform/digest.h"
#include "platform/fileaccess.h"
#include "platform/krypto.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"
#include "platform/zip.h"
#include "shell/qeldatasets.h"

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

QString Md5Hex(const QString &text)
{
    const std::optional<QByteArray> bytes = encodeCp1252(text);
    if (!bytes)
        throw EVxException(QStringLiteral("Il testo contiene caratteri che il server Tavrin-Web "
                                          "non accetta: usare solo lettere, cifre e segni "
                                          "comuni."));
    return md5Hex(*bytes);
}

QString MakeTavrinWebUtente(int kind, int iAnaId, const QString &text)
{
    QString result;
    if (kind == 0)
        result = text;
    else if (kind == 1)
        result = QStringLiteral("%1").arg(qint64(iAnaId) - 1000000, 5, 10, QLatin1Char('0'));
    return result.replace(QLatin1Char('='), QLatin1Char('#'));
}

QString MakeTavrinWebPasswd(int iAnaId, int iAnsId, const QString &instituteCode,
                            const QString &personalPart)
{
    // Two passes of Krypto with the key "R5t": the first over
    //   iAnaId "#" year "#" code "#" trimmed personal part
    // (decimal numbers; code = ReadSedeIni(instituteCode), year = ReadSedeAnno(code, iAnsId))
    // gives 20 letters "A".."Z"; the second over those letters gives 5 digits "0".."9".
    // The year is looked up under the mapped code, so a caller still holding a mapped code
    // gets the same password as one passing the raw code.
    const QString key = QStringLiteral("R5t");
    const QString code = ReadSedeIni(instituteCode);
    const int year = ReadSedeAnno(code, iAnsId);
    const QString inputs =
        QStringLiteral("%1#%2#%3#%4")
            .arg(QString::number(iAnaId), QString::number(year), code, personalPart.trimmed());
    const QString letters = Krypto(inputs, key, 20, QLatin1Char('A'), QLatin1Char('Z'));
    return Krypto(letters, key, 5, QLatin1Char('0'), QLatin1Char('9'));
}

QString MainSeatMecCode()
{
    return CheckedMainSeatMecCode(TdmqelDataSets::MainSeatMecCode());
}

QString CheckedMainSeatMecCode(const std::optional<QString> &code)
{
    if (!code)
        throw EVxException(
            QStringLiteral("Non è stata trovata la sede principale della scuola.\r\r"
                           "Senza il suo codice meccanografico non si possono usare le "
                           "credenziali di Tavrin-Web."));
    if (code->trimmed().isEmpty())
        throw EVxException(
            QStringLiteral("La sede principale della scuola non ha il codice meccanografico.\r\r"
                           "Inserirlo nei dati della sede: senza di esso non si possono usare "
                           "le credenziali di Tavrin-Web."));
    return code->trimmed();
}

QString TavrinWebInstituteCode()
{
    return ReadSedeIni(MainSeatMecCode());
}

bool ZipDirAndRemove(const QString &folder, const QString &archive)
{
    // Files only: a sub-folder, or a link (what it points to is not the folder's, and nothing
    // the program does removes a link), is neither packed nor deleted, and keeps the folder in
    // place.
    const QDir dir(resolvePath(folder));
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList files;
    for (const QFileInfo &entry : entries)
        if (!entry.isSymLink())
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
    try {
        VxMakeOwnFolder(target);
    } catch (const EVxException &e) {
        VxMessageDlg(e.message(), mtError, mbOK);
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
