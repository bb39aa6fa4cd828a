#include "platform/uploadbody.h"
#include "platform/vxexception.h"

#include <gtest/gtest.h>

// What the server's upload pages parse, written out rather than rebuilt from the same parts.
TEST(UploadBody, MatchesTheServersLayoutByteForByteAndRefusesTextsThatBreakIt)
{
    EXPECT_EQ(
        uploadContentType(),
        QStringLiteral("multipart/form-data; boundary=---------------------------7d63cc3b1f02ae"));
    QByteArray everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += char(b);
    const QByteArray delimiter = "-----------------------------7d63cc3b1f02ae";
    const QByteArray fileHead = delimiter + "\r\nContent-Disposition: form-data; "
                                            "name=\"uploadfile\"; filename=\"";
    const QByteArray zipType = "\"\r\nContent-Type: application/x-zip-compressed\r\n\r\n";
    const QByteArray fieldHead = "\r\n" + delimiter + "\r\nContent-Disposition: form-data; name=\"";
    const QByteArray end = "\r\n" + delimiter + "--\r\n";

    // The web exchange's field with the path as passed; a field of our own in Windows-1252.
    EXPECT_EQ(uploadBody(QStringLiteral("C:\\Vexto\\USR\\Web\\twdocenti.zip"), everyByte,
                         QStringLiteral("nascosto"), QStringLiteral("Submit")),
              fileHead + "C:\\Vexto\\USR\\Web\\twdocenti.zip" + zipType + everyByte + fieldHead +
                  "nascosto\"\r\n\r\nSubmit" + end);
    EXPECT_EQ(uploadBody(QStringLiteral("/home/Città/vol 1.kaf"), QByteArray(),
                         QStringLiteral("tipo"), QStringLiteral("Registro € \"1\"\r\n")),
              fileHead + "/home/Citt\xe0/vol 1.kaf" + zipType + fieldHead +
                  "tipo\"\r\n\r\nRegistro \x80 \"1\"\r\n" + end);

    const struct
    {
        const char *path;
        const char *field;
        const char *value;
    } refused[] = {
        {"C:\\a\"b.zip", "nascosto", "Submit"},             // ends the file name early
        {"C:\\a\r\nX-Header: 1.zip", "nascosto", "Submit"}, // a header line of its own
        {"C:\\a.zip", "nas\"costo", "Submit"},
        {"/home/Łódź/a.zip", "nascosto", "Submit"}, // no Windows-1252 byte
        {"C:\\a.zip", "nascosto", "\r\n---------------------------7d63cc3b1f02ae--"},
    };
    for (const auto &c : refused)
        EXPECT_THROW(uploadBody(QString::fromUtf8(c.path), "PK", QString::fromUtf8(c.field),
                                QString::fromUtf8(c.value)),
                     EVxException)
            << c.path << " " << c.field << " " << c.value;
}
