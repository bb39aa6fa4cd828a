#include "platform/digest.h"
#include "platform/krypto.h"
#include "platform/temppath.h"
#include "platform/vxexception.h"
#include "platform/xmldoc.h"

#include "tests/support/testfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Digest, Md5OfTheRfc1321TestSuite)
{
    const struct
    {
        const char *text;
        const char *digest;
    } suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &c : suite)
        EXPECT_EQ(md5Hex(QByteArray(c.text)), QString::fromLatin1(c.digest)) << c.text;
    EXPECT_EQ(md5Digest("abc").size(), 16);
}

TEST(Digest, Base64RoundTripAndRefusal)
{
    const QByteArray bytes("\x00\x01\xfe\xffPagella", 11);
    EXPECT_EQ(base64Encode("Man"), QStringLiteral("TWFu"));
    EXPECT_EQ(base64Encode("Ma"), QStringLiteral("TWE="));
    EXPECT_EQ(base64Decode(base64Encode(bytes)), bytes);
    EXPECT_EQ(base64Decode(QStringLiteral("TWFu\r\nTWE=")), QByteArray("ManMa"));
    EXPECT_THROW(base64Decode(QStringLiteral("TW*u")), EVxException);
}

TEST(Krypto, SameInputsSameTextInRange)
{
    // The exchange password: six lower-case letters.
    const QString text = QStringLiteral("00F4242#2007/2008##0000000");
    const QString a =
        Krypto(text, QStringLiteral("k27w"), 6, QStringLiteral("a"), QStringLiteral("z"));
    ASSERT_EQ(a.size(), 6);
    for (QChar c : a)
        EXPECT_TRUE(c >= QLatin1Char('a') && c <= QLatin1Char('z')) << a.toStdString();
    EXPECT_EQ(a, Krypto(text, QStringLiteral("k27w"), 6, QLatin1Char('a'), QLatin1Char('z')));
    EXPECT_NE(a, Krypto(text, QStringLiteral("k27x"), 6, QLatin1Char('a'), QLatin1Char('z')));
    EXPECT_NE(a, Krypto(text + QLatin1Char('1'), QStringLiteral("k27w"), 6, QLatin1Char('a'),
                        QLatin1Char('z')));

    // The teachers' password is asked for "Z" to "A": the range is the same either way.
    const QString b =
        Krypto(text, QStringLiteral("R5t"), 20, QStringLiteral("Z"), QStringLiteral("A"));
    ASSERT_EQ(b.size(), 20);
    for (QChar c : b)
        EXPECT_TRUE(c >= QLatin1Char('A') && c <= QLatin1Char('Z')) << b.toStdString();
    EXPECT_EQ(b, Krypto(text, QStringLiteral("R5t"), 20, QStringLiteral("A"), QStringLiteral("Z")));

    // Long results use more than one block and are not a repetition of the first.
    const QString longer =
        Krypto(text, QStringLiteral("R5t"), 40, QLatin1Char('0'), QLatin1Char('9'));
    EXPECT_EQ(longer.size(), 40);
    EXPECT_NE(longer.left(8), longer.mid(8, 8));
    EXPECT_EQ(Krypto(text, QStringLiteral("R5t"), 1, QLatin1Char('x'), QLatin1Char('x')),
              QStringLiteral("x"));
    EXPECT_EQ(Krypto(text, QStringLiteral("R5t"), 0, QLatin1Char('a'), QLatin1Char('z')),
              QString());
    EXPECT_THROW(Krypto(text, QStringLiteral("R5t"), 5, QString(), QStringLiteral("z")),
                 EVxException);
}

TEST(TempPath, PrivateFolderOfThisProcess)
{
    const QString path = GetTempPath();
    EXPECT_TRUE(path.endsWith(QLatin1Char('/')));
    EXPECT_EQ(path, GetTempPath());
    const QFileInfo info(path);
    EXPECT_TRUE(info.isDir());
    EXPECT_TRUE(info.isWritable());
    EXPECT_NE(QDir(path).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    // Only this user may enter it.
    EXPECT_FALSE(info.permission(QFile::ReadOther));
    EXPECT_FALSE(info.permission(QFile::WriteOther));
}

TEST(XmlDocument, StateReplyElementsAndAttributes)
{
    VxXmlDocument doc;
    doc.loadText(QStringLiteral("<?xml version=\"1.0\"?><RICHIESTE><RICHIESTA STATO=\"W\"/>"
                                "<RICHIESTA STATO=\"Z\"/></RICHIESTE>"));
    ASSERT_EQ(doc.root().tagName(), QStringLiteral("RICHIESTE"));
    const QDomElement first = doc.root().firstChildElement();
    EXPECT_EQ(VxXmlDocument::attribute(first, QStringLiteral("STATO")), QStringLiteral("W"));
    EXPECT_EQ(VxXmlDocument::attribute(first, QStringLiteral("stato")), std::nullopt);
    EXPECT_TRUE(VxXmlDocument::element(doc.root(), QStringLiteral("ALTRO")).isNull());
    EXPECT_EQ(VxXmlDocument::attribute(QDomElement(), QStringLiteral("STATO")), std::nullopt);

    doc.loadText(QStringLiteral("<RICHIESTE/>"));
    EXPECT_TRUE(doc.root().firstChildElement().isNull());
    EXPECT_THROW(doc.loadText(QStringLiteral("Errore interno del server")), EVxException);
}

TEST(XmlDocument, TeachersFileWrittenAndReadBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("docenti.xml"));
    VxXmlDocument doc;
    QDomElement root = doc.createRoot(QStringLiteral("ANAGRAFICHE"));
    QDomElement teacher = doc.addElement(root, QStringLiteral("ANAGRAFICA"));
    doc.addElement(teacher, QStringLiteral("ID"), QStringLiteral("1000042"));
    doc.addElement(teacher, QStringLiteral("COGNOME"), QStringLiteral("D'Annunzio & Figli"));
    doc.addElement(teacher, QStringLiteral("NOME"), QStringLiteral("Nicolò"));
    doc.saveToFile(path);

    VxXmlDocument back;
    back.loadFile(path);
    const QDomElement read = VxXmlDocument::element(back.root(), QStringLiteral("ANAGRAFICA"));
    EXPECT_EQ(VxXmlDocument::element(read, QStringLiteral("COGNOME")).text(),
              QStringLiteral("D'Annunzio & Figli"));
    EXPECT_EQ(VxXmlDocument::element(read, QStringLiteral("NOME")).text(),
              QStringLiteral("Nicolò"));
    EXPECT_THROW(back.loadFile(dir.filePath(QStringLiteral("assente.xml"))), EVxException);
}

namespace {

// Nested elements, as a hostile reply would send them.
QByteArray nested(int depth)
{
    return "<?xml version=\"1.0\"?>" + QByteArray("<a>").repeated(depth) +
           QByteArray("</a>").repeated(depth);
}

// One start tag with that many attributes, on the second line.
QByteArray attributes(int count)
{
    return "<?xml version=\"1.0\"?>\n<a" + xmlAttributes(count) + "/>";
}

// One start tag of kVxXmlMaxTagLength characters before its ">", and as many more; its value
// starts with a ">".
QByteArray longTag(int more)
{
    return "<a b=\">" + QByteArray(kVxXmlMaxTagLength - 9 + more, 'x') + "\"/>";
}

} // namespace

TEST(XmlDocument, DocumentsPastTheLimitsAreRefusedBeforeTheyAreParsed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("risposta.xml"));
    // Entities that would expand far past both limits.
    QByteArray entities = "<?xml version=\"1.0\"?><!DOCTYPE R [<!ENTITY e0 \"eeeeeeee\">";
    for (int level = 1; level < 8; ++level)
        entities += QStringLiteral("<!ENTITY e%1 \"%2\">")
                        .arg(level)
                        .arg(QStringLiteral("&e%1;").arg(level - 1).repeated(8))
                        .toLatin1();
    entities += "]><R>" + QByteArray("&e7;").repeated(1000) + "</R>";
    const char *deeper = "Il documento XML %1 ha più di 256 livelli di elementi annidati.";
    const struct
    {
        const char *what;
        QByteArray xml;
        const char *refusal; // the reply's or file's name at %1; null when the document loads
    } cases[] = {
        {"as deep as allowed", nested(kVxXmlMaxDepth), nullptr},
        {"a level deeper", nested(kVxXmlMaxDepth + 1), deeper},
        {"far deeper", nested(50000), deeper},
        {"entities declared", entities, "Il documento XML %1 dichiara un DTD, che non è ammesso."},
        {"as many attributes as allowed, \"=\" in their values",
         attributes(kVxXmlMaxAttributes).replace("=\"0\"", "=\"0=1\""), nullptr},
        {"an attribute more, the first value holding \">\"",
         attributes(kVxXmlMaxAttributes + 1).replace("=\"0\"", "=\">\""),
         "Il documento XML %1 ha alla riga 2 un elemento con più di 1000 attributi."},
        {"a start tag as long as allowed", longTag(0), nullptr},
        {"a character longer, its value holding \">\"", longTag(1),
         "Il documento XML %1 ha alla riga 1 un elemento di più di 1 MB."},
        {"40,000 attributes", attributes(40000),
         "Il documento XML %1 ha alla riga 2 un elemento con più di 1000 attributi."},
        {"200,000 attributes", attributes(200000),
         "Il documento XML %1 ha alla riga 2 un elemento con più di 1000 attributi."},
        {"a start tag of 2 MB", "<a b=\"" + QByteArray(2 << 20, 'x') + "\"/>",
         "Il documento XML %1 ha alla riga 1 un elemento di più di 1 MB."},
    };
    VxXmlDocument doc;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto told = [&](const QString &what) {
            return c.refusal ? QString::fromUtf8(c.refusal).arg(what) : QString();
        };
        writeFileBytes(path, c.xml);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(
            refusalOf([&] { doc.loadText(QString::fromLatin1(c.xml), "della risposta a x"); }),
            told("della risposta a x"));
        EXPECT_EQ(refusalOf([&] { doc.loadFile(path); }), told(path));
        EXPECT_LT(timer.elapsed(), 1000);
    }

    // A file over the size limit is refused unread.
    QFile huge(path);
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kVxXmlMaxBytes + 1));
    huge.close();
    EXPECT_TRUE(refusalOf([&] { doc.loadFile(path); }).contains("supera il limite di 64 MB"));
}
