#pragma once

// Digests and encodings of the exchange with the web service and of stored pictures.
//   md5Digest(bytes)  -> the 16 bytes of the MD5 digest (RFC 1321)
//   md5Hex(bytes)     -> the same as 32 lower-case hexadecimal digits
//   base64Encode(bytes) -> Base64 text (RFC 4648, with padding)
//   base64Decode(text)  -> the bytes; a text that is not Base64 raises EVxException
// Texts are hashed as the caller's bytes: the caller chooses the encoding the peer expects.

#include <QByteArray>
#include <QString>

QByteArray md5Digest(const QByteArray &data);
QString md5Hex(const QByteArray &data);

QString base64Encode(const QByteArray &data);
QByteArray base64Decode(const QString &text);
