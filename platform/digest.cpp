#include "platform/digest.h"

#include "platform/vxexception.h"

#include <QCryptographicHash>

QByteArray md5Digest(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Md5);
}

QString md5Hex(const QByteArray &data)
{
    return QString::fromLatin1(md5Digest(data).toHex());
}

QString base64Encode(const QByteArray &data)
{
    return QString::fromLatin1(data.toBase64());
}

QByteArray base64Decode(const QString &text)
{
    // Line breaks of MIME-wrapped text are not part of the data.
    QByteArray compact = text.toLatin1();
    compact.replace('\r', QByteArray()).replace('\n', QByteArray());
    const auto result =
        QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        throw EVxException(QStringLiteral("Il testo non è codificato in Base64."));
    return *result;
}
