// Our form and upload as a PHP service reads them, and the test server's reading of an upload
// against a standard client: both ends of the protocol checked by programs that are not ours.

#include "exchange/qeltavrinweb.h"
#include "platform/cp1252.h"
#include "platform/digest.h"
#include "platform/sleep.h"
#include "tests/exchange/tavrinwebfixture.h"
#include "tests/support/tavrinwebserver.h"
#include "tests/support/testfiles.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

namespace {

QByteArray hex(const QString &text)
{
    return encodeCp1252(text).value_or(QByteArray()).toHex();
}

// An archive of some kilobytes that do not compress, so that curl asks before it sends.
QByteArray someArchive()
{
    QByteArray noise(6000, Qt::Uninitialized);
    for (char &c : noise)
        c = char(QRandomGenerator::global()->bounded(256));
    return TavrinWebTestServer::zipBytes({{"voti.xml", noise}, {"istituto.xml", "<A/>"}});
}

quint16 freePort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

QString program(const char *name)
{
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    EXPECT_FALSE(path.isEmpty()) << name << " is missing: ./test.sh installs it (packages.txt)";
    return path;
}

// curl's output; its exit status must be 0.
QByteArray curl(const QStringList &arguments)
{
    QProcess process;
    process.start(program("curl"), QStringList{"-s", "-S"} + arguments);
    EXPECT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    return process.readAllStandardOutput();
}

TEST(IndependentParsers, PhpReadsOurLoginFormAndUploadAsSent)
{
    ScriptedDialogs dialogs;
    ScriptedSleeps sleeps;
    QTemporaryDir dir;
    const QString dump = dir.filePath(QStringLiteral("dump.jsonl"));
    const quint16 port = freePort();
    QProcess php;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TAVRIN_DUMP"), dump);
    php.setProcessEnvironment(environment);
    php.start(program("php"),
              {"-d", "file_uploads=1", "-S", QStringLiteral("127.0.0.1:%1").arg(port),
               QStringLiteral(TAVRIN_SOURCE_DIR "/tests/exchange/fixtures/tavrinweb_router.php")});
    ASSERT_TRUE(php.waitForStarted());
    bool listening = false;
    for (int i = 0; i < 100 && !listening; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        listening = probe.waitForConnected(100);
        if (!listening)
            QThread::msleep(50);
    }
    ASSERT_TRUE(listening) << php.readAllStandardError().constData();

    const QString code = QStringLiteral("IST&1=A B+è%");
    const QString password = QStringLiteral("perché");
    const QByteArray zip = someArchive();
    const QString path = dir.filePath(QStringLiteral("invio web/twdocenti.zip"));
    writeFileBytes(path, zip);
    TTavrinWebConnection web(QStringLiteral("http://127.0.0.1:%1").arg(port));
    queuePassword(password);
    EXPECT_TRUE(web.Autentica(code));
    EXPECT_TRUE(web.UploadCarica(path));
    php.terminate();
    php.waitForFinished();

    // Qt's HTTP stack may send a state query (a GET) a second time when PHP's one-request
    // connection closes under it; a repeated query is harmless, so it is read once.
    QList<QJsonObject> requests;
    for (const QByteArray &line : readFileBytes(dump).split('\n'))
        if (!line.isEmpty() && (requests.isEmpty() || QJsonDocument::fromJson(line).object()
                                                          != requests.last()))
            requests << QJsonDocument::fromJson(line).object();
    ASSERT_EQ(requests.size(), 3) << readFileBytes(dump).constData();
    const QJsonObject login = requests[0]["post"].toObject();
    EXPECT_EQ(login.keys(), (QStringList{"IDISTITUTO", "PASSWORD", "PASSWORD2"}));
    EXPECT_EQ(login["IDISTITUTO"].toString().toLatin1(), hex(code));
    const QString nonce =
        QString::fromLatin1(QByteArray::fromHex(login["PASSWORD2"].toString().toLatin1()));
    EXPECT_EQ(QByteArray::fromHex(login["PASSWORD"].toString().toLatin1()),
              md5Hex(*encodeCp1252(password + nonce)).toLatin1());

    EXPECT_EQ(requests[1]["page"].toString(), QStringLiteral("statorichiesta.php"));
    const QJsonObject upload = requests[2];
    EXPECT_EQ(upload["cookie"].toObject()["TWSESSID"].toString().toLatin1(),
              QByteArray("abc123").toHex());
    EXPECT_EQ(upload["post"].toObject().toVariantMap(),
              (QVariantMap{{"nascosto", QString::fromLatin1(QByteArray("Submit").toHex())}}));
    const QJsonObject file = upload["files"].toObject()["uploadfile"].toObject();
    EXPECT_EQ(file["error"].toInt(), 0);
    EXPECT_EQ(file["name"].toString().toLatin1(), hex(QStringLiteral("twdocenti.zip")));
    EXPECT_EQ(file["full_path"].toString().toLatin1(), hex(path));
    EXPECT_EQ(file["type"].toString(), QStringLiteral("application/x-zip-compressed"));
    EXPECT_EQ(file["size"].toInt(), zip.size());
    EXPECT_EQ(file["md5"].toString(), md5Hex(zip));
}

TEST(IndependentParsers, TheTestServerReadsCurlsUploadStrictly)
{
    TavrinWebTestServer server;
    server.setInstitute(QStringLiteral("ABCD01000X"), QStringLiteral("segreto"));
    QTemporaryDir dir;
    const QString jar = dir.filePath(QStringLiteral("cookies.txt"));
    const QString page = server.address() + QStringLiteral("/nzapps/tavrinweb/");
    EXPECT_EQ(curl({"-c", jar, "-d",
                    "IDISTITUTO=ABCD01000X&PASSWORD2=4711&PASSWORD=" + md5Hex("segreto4711") + "&",
                    page + "autentica.php"}),
              "OK");
    const QByteArray zip = someArchive();
    const QString archive = dir.filePath(QStringLiteral("twdocenti.zip"));
    const QString notZip = dir.filePath(QStringLiteral("finto.zip"));
    writeFileBytes(archive, zip);
    writeFileBytes(notZip, QByteArray(3000, 'z'));
    const QString zipType = QStringLiteral(";type=application/x-zip-compressed");
    const struct
    {
        const char *name;
        QString file;
        QString field;
        bool accepted;
    } cases[] = {
        {"as the service expects", "uploadfile=@" + archive + zipType, "nascosto=Submit", true},
        {"another field value", "uploadfile=@" + archive + zipType, "nascosto=Invia", false},
        {"another field name", "uploadfile=@" + archive + zipType, "nascosta=Submit", false},
        {"another file field", "file=@" + archive + zipType, "nascosto=Submit", false},
        {"no ZIP type", "uploadfile=@" + archive, "nascosto=Submit", false},
        {"not a ZIP", "uploadfile=@" + notZip + zipType, "nascosto=Submit", false},
    };
    int refused = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray reply =
            curl({"-b", jar, "-F", c.file, "-F", c.field, page + "carica.php"});
        EXPECT_EQ(reply == "OK", c.accepted) << reply.constData();
        refused += !c.accepted;
        EXPECT_EQ(server.problems().size(), refused) << server.problems().join('\n').toStdString();
    }
    const QList<TavrinWebTestServer::Upload> uploads = server.uploads();
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads[0].zip, zip);
    EXPECT_EQ(uploads[0].fileName, QStringLiteral("twdocenti.zip"));
    EXPECT_EQ(uploads[0].entries, (QStringList{"voti.xml", "istituto.xml"}));
    EXPECT_EQ(uploads[0].institute, QStringLiteral("ABCD01000X"));
}

} // namespace
