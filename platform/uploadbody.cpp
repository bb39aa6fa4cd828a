#include "platform/uploadbody.h"

#include "platform/cp1252.h"
#include "platform/vxexception.h"

namespace {

const char kBoundary[] = "---------------------------7d63cc3b1f02ae";

// The texts around the file, in Windows-1252. A header line (the path, the field's name)
// cannot hold a double quote or a line break; no text may hold the boundary.
QByteArray bodyText(const QString &text, bool headerLine)
{
    const std::optional<QByteArray> bytes = encodeCp1252(text);
    const bool breaksHeader =
        bytes && headerLine &&
        (bytes->contains('"') || bytes->contains('\r') || bytes->contains('\n'));
    if (!bytes || breaksHeader || bytes->contains(kBoundary))
        throw EVxException(
            QStringLiteral("Il testo \"%1\" contiene caratteri che non si possono inviare al "
                           "server Veldrasoft (virgolette, a capo o caratteri non latini).")
                .arg(text));
    return *bytes;
}

} // namespace

QString uploadContentType()
{
    return QStringLiteral("multipart/form-data; boundary=") + QLatin1String(kBoundary);
}

void checkUploadPath(const QString &filePath)
{
    bodyText(filePath, true);
}

QByteArray uploadBody(const QString &filePath, const QByteArray &fileBytes,
                      const QString &fieldName, const QString &fieldValue)
{
    const QByteArray delimiter = QByteArray("--") + kBoundary;
    const QByteArray crlf = "\r\n";
    QByteArray body;
    body.reserve(fileBytes.size() + 512);
    body += delimiter + crlf;
    body += "Content-Disposition: form-data; name=\"uploadfile\"; filename=\"" +
            bodyText(filePath, true) + "\"" + crlf;
    body += "Content-Type: application/x-zip-compressed" + crlf + crlf;
    body += fileBytes + crlf;
    body += delimiter + crlf;
    body +=
        "Content-Disposition: form-data; name=\"" + bodyText(fieldName, true) + "\"" + crlf + crlf;
    body += bodyText(fieldValue, false) + crlf;
    body += delimiter + "--" + crlf;
    return body;
}
