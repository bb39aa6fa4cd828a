#include "platform/krypto.h"

#include "platform/vxexception.h"

#include <QMessageAuthenticationCode>

#include <utility>

// The derivation: HMAC-MD5 keyed with the UTF-8 key over a 4-byte big-endian block number
// followed by the UTF-8 text, for blocks 0, 1, 2... concatenated; every two bytes of that
// stream, read big-endian, give one character: lowest + value modulo the range's width.
QString Krypto(const QString &text, const QString &key, int count, QChar lowest, QChar highest)
{
    if (count <= 0)
        return QString();
    char16_t low = lowest.unicode();
    char16_t high = highest.unicode();
    if (low > high)
        std::swap(low, high);
    const unsigned width = unsigned(high - low) + 1;

    const QByteArray keyBytes = key.toUtf8();
    const QByteArray textBytes = text.toUtf8();
    QByteArray stream;
    for (quint32 block = 0; stream.size() < 2 * qsizetype(count); ++block) {
        QMessageAuthenticationCode mac(QCryptographicHash::Md5, keyBytes);
        const char counter[4] = {char(block >> 24), char(block >> 16), char(block >> 8),
                                 char(block)};
        mac.addData(counter, 4);
        mac.addData(textBytes);
        stream += mac.result();
    }

    QString result;
    result.reserve(count);
    for (int i = 0; i < count; ++i) {
        const unsigned value = (unsigned(quint8(stream[2 * i])) << 8) | quint8(stream[2 * i + 1]);
        result += QChar(char16_t(low + value % width));
    }
    return result;
}

QString Krypto(const QString &text, const QString &key, int count, const QString &lowest,
               const QString &highest)
{
    if (lowest.isEmpty() || highest.isEmpty())
        throw EVxException(QStringLiteral("Krypto: intervallo di caratteri vuoto."));
    return Krypto(text, key, count, lowest.at(0), highest.at(0));
}
