#include "platform/uploadbody.h"
#include "platform/vxexception.h"

#include <gtest/gtest.h>

namespace {

// What the server's upload pages parse, written out rather than rebuilt from the same parts.
const QByteArray kDelimiter = "-----------------------------7d63cc3b1f02ae";

QByteArray everyByte()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    return bytes;
}

} // namespace

TEST(UploadBody, MatchesTheServersLayoutByteForByte)
{
    EXPECT_EQ(
        uploadContentType(),
        QStringLiteral("multipart/form-data; boundary=---------------------------7d63cc3b1f02ae"));
    EXPECT_EQ(kDelimiter.count('-'), 29);

    const struct
    {
        const char *path;
        const char *field;
        const char *value;
        QByteArray head;
        QByteArray tail;
    } cases[] = {
        // The web exchange's upload: the path goes as passed, backslashes and all.
        {"C:\\Vexto\\USR\\Web\\twdocenti.zip", "nascosto", "Submit",
         "-----------------------------7d63cc3b1f02ae\r\n"
         "Content-Disposition: form-data; name=\"uploadfile\"; "
         "filename=\"C:\\Vexto\\USR\\Web\\twdocenti.zip\"\r\n"
         "Content-Type: application/x-zip-compressed\r\n"
         "\r\n",
         "\r\n"
         "-----------------------------7d63cc3b1f02ae\r\n"
         "Content-Disposition: form-data; name=\"nascosto\"\r\n"
         "\r\n"
         "Submit\r\n"
         "-----------------------------7d63cc3b1f02ae--\r\n"},
        // A field of our own, with texts in Windows-1252 (à is 0xE0, € is 0x80).
        {"/home/segreteria/Città/vol 1.kaf", "tipo", "Registro €",
         "-----------------------------7d63cc3b1f02ae\r\n"
         "Content-Disposition: form-data; name=\"uploadfile\"; "
         "filename=\"/home/segreteria/Citt\xe0/vol 1.kaf\"\r\n"
         "Content-Type: application/x-zip-compressed\r\n"
         "\r\n",
         "\r\n"
         "-----------------------------7d63cc3b1f02ae\r\n"
         "Content-Disposition: form-data; name=\"tipo\"\r\n"
         "\r\n"
         "Registro \x80\r\n"
         "-----------------------------7d63cc3b1f02ae--\r\n"},
    };
    for (const auto &c : cases) {
        for (const QByteArray &file : {everyByte(), QByteArray()}) {
            const QByteArray body =
                uploadBody(QString::fromUtf8(c.path), file, QString::fromUtf8(c.field),
                           QString::fromUtf8(c.value));
            EXPECT_EQ(body, c.head + file + c.tail) << c.path << " " << file.size();
        }
    }
}

TEST(UploadBody, RefusesTextsThatWouldBreakTheBody)
{
    const struct
    {
        const char *path;
        const char *field;
        const char *value;
    } cases[] = {
        {"C:\\a\"b.zip", "nascosto", "Submit"},             // ends the filename early
        {"C:\\a\r\nX-Header: 1.zip", "nascosto", "Submit"}, // a header line of its own
        {"C:\\a.zip", "nas\"costo", "Submit"},
        {"C:\\a.zip", "nascosto\r\n", "Submit"},
        {"/home/Łódź/a.zip", "nascosto", "Submit"}, // no Windows-1252 byte
        {"C:\\a.zip", "nascosto", "Sub\r\n---------------------------7d63cc3b1f02ae--"},
    };
    for (const auto &c : cases)
        EXPECT_THROW(uploadBody(QString::fromUtf8(c.path), "PK", QString::fromUtf8(c.field),
                                QString::fromUtf8(c.value)),
                     EVxException)
            << c.path << " " << c.field << " " << c.value;
    // A quote or a line break is harmless inside the value.
    EXPECT_NO_THROW(uploadBody(QStringLiteral("a.zip"), "PK", QStringLiteral("nota"),
                               QStringLiteral("\"uno\"\r\ndue")));
}
