#include "platform/comm.h"
#include "platform/vxexception.h"
#include "tests/support/testfiles.h"
#include "tests/support/testhttpserver.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// The refusal the call raises; a message of "accepted" when it raises none.
EVxException refusal(const std::function<void()> &call)
{
    try {
        call();
    } catch (const EVxException &e) {
        return e;
    }
    return EVxException(QStringLiteral("accepted"));
}

// Counts what a program writes to its file, on a disk as slow as a busy one at the first write,
// and how much the server had sent by the end of that write.
class SlowDisk : public QIODevice
{
public:
    explicit SlowDisk(const std::atomic<qint64> &sent) : m_sent(sent) { open(WriteOnly); }
    qint64 written = 0, sentWhileWriting = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 length) override
    {
        if (written == 0) {
            QThread::msleep(1500);
            sentWhileWriting = m_sent;
        }
        written += length;
        return length;
    }

private:
    const std::atomic<qint64> &m_sent;
};

} // namespace

TEST(Comm, FormPostSendsTheLineAsFormDataWithTheCallersHeaders)
{
    TestHttpServer server;
    server.respond = [](const TestHttpServer::Request &) {
        return TestHttpServer::response(200, "OK", "OK", "Set-Cookie: PHPSESSID=4f2a; path=/\r\n");
    };
    TdmxComm comm;
    comm.CustomHeaders() << QStringLiteral("Cookie:PHPSESSID=prima");
    QBuffer reply;
    reply.open(QIODevice::WriteOnly);
    comm.http_post(server.url(QStringLiteral("/nzapps/tavrinweb/autentica.php")),
                   {QStringLiteral("IDISTITUTO=RMIS01200X&PASSWORD2=4711&PASSWORD="
                                   "900150983cd24fb0d6963f7d28e17f72&")},
                   reply);
    EXPECT_EQ(reply.data(), QByteArray("OK"));
    EXPECT_EQ(comm.StatusCode(), 200);
    EXPECT_EQ(comm.ReplyHeader(QStringLiteral("set-cookie")),
              QStringLiteral("PHPSESSID=4f2a; path=/"));

    ASSERT_EQ(server.requests.size(), 1);
    const TestHttpServer::Request &r = server.requests[0];
    EXPECT_EQ(r.method, QByteArray("POST"));
    EXPECT_EQ(r.path, QByteArray("/nzapps/tavrinweb/autentica.php"));
    EXPECT_EQ(r.body, QByteArray("IDISTITUTO=RMIS01200X&PASSWORD2=4711&PASSWORD="
                                 "900150983cd24fb0d6963f7d28e17f72&"));
    EXPECT_EQ(r.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    EXPECT_EQ(r.header("Cookie"), QByteArray("PHPSESSID=prima"));

    // The reply's cookie is not kept and sent back by itself.
    comm.CustomHeaders().clear();
    QBuffer second;
    second.open(QIODevice::WriteOnly);
    comm.http_get(server.url(QStringLiteral("/statorichiesta.php")), second);
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_FALSE(server.requests[1].hasHeader("Cookie"));

    // Blanks and other reserved characters of a line are encoded; "=" and "&" are not.
    QBuffer third;
    third.open(QIODevice::WriteOnly);
    comm.http_post(server.url(QStringLiteral("/p")),
                   {QStringLiteral("a=b c+d"), QStringLiteral("e=è")}, third);
    EXPECT_EQ(server.requests[2].body, QByteArray("a=b%20c%2Bd&e=%C3%A8"));
}

TEST(Comm, StreamPostSendsTheBytesWithTheContentType)
{
    TestHttpServer server;
    TdmxComm comm;
    const QByteArray boundary = "---------------------------7d63cc3b1f02ae";
    comm.setContentType(QStringLiteral("multipart/form-data; boundary=") +
                        QString::fromLatin1(boundary));
    QByteArray payload = "--" + boundary +
                         "\r\nContent-Disposition: form-data; name=\"uploadfile\"; "
                         "filename=\"C:\\tmp\\a.zip\"\r\n\r\n";
    payload += QByteArray("PK\x03\x04\x00\r\n\xff", 8) + "\r\n--" + boundary + "--\r\n";
    QBuffer body(&payload);
    body.open(QIODevice::ReadOnly);
    QBuffer reply;
    reply.open(QIODevice::WriteOnly);
    comm.http_post(server.url(QStringLiteral("/carica.php")), body, reply);
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].body, payload);
    EXPECT_EQ(server.requests[0].header("Content-Type"),
              "multipart/form-data; boundary=" + boundary);
    EXPECT_EQ(reply.data(), QByteArray("OK"));
}

TEST(Comm, ServerErrorsRedirectsAndRefusalsRaise)
{
    TestHttpServer server;
    server.respond = [](const TestHttpServer::Request &r) {
        if (r.path == "/errore")
            return TestHttpServer::response(500, "Internal Server Error", "boom");
        if (r.path == "/sposta")
            return TestHttpServer::response(302, "Found", "", "Location: /altrove\r\n");
        return TestHttpServer::response(200, "OK", "OK");
    };
    TdmxComm comm;
    QBuffer reply;
    reply.open(QIODevice::WriteOnly);
    // In Italian with the code; the server's English words only for the technician.
    const EVxException error = refusal([&] { comm.http_get(server.url("/errore"), reply); });
    EXPECT_TRUE(error.message().contains("l'errore HTTP 500, errore interno del server"))
        << error.message().toStdString();
    EXPECT_EQ(error.detail(), QStringLiteral("HTTP 500 Internal Server Error"));
    EXPECT_EQ(comm.StatusCode(), 500);

    // A redirect is the caller's business: it raises and is not followed.
    EXPECT_THROW(comm.http_get(server.url(QStringLiteral("/sposta")), reply), EVxException);
    EXPECT_EQ(server.requests.size(), 2);

    EXPECT_THROW(comm.http_get(QStringLiteral("ftp://127.0.0.1/x"), reply), EVxException);
    EXPECT_THROW(comm.http_get(QStringLiteral("non un indirizzo"), reply), EVxException);
    comm.CustomHeaders() << QStringLiteral("senza due punti");
    EXPECT_THROW(comm.http_get(server.url(QStringLiteral("/")), reply), EVxException);
    comm.CustomHeaders().clear();

    // Nobody listening.
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    const QString nobody = refusal([&] { comm.http_get(url, reply); }).message();
    EXPECT_TRUE(nobody.endsWith(": il server ha rifiutato la connessione (codice 1)."))
        << nobody.toStdString();
}

TEST(Comm, SilentServerTimesOut)
{
    TestHttpServer server;
    server.respond = [](const TestHttpServer::Request &) { return QByteArray(); };
    TdmxComm comm;
    comm.setTimeout(300);
    QBuffer reply;
    reply.open(QIODevice::WriteOnly);
    QElapsedTimer timer;
    timer.start();
    const QString silent = refusal([&] { comm.http_get(server.url("/lento"), reply); }).message();
    EXPECT_TRUE(silent.contains("non ha risposto")) << silent.toStdString();
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST(Comm, DownloadReplacesTheFileOnlyWhenComplete)
{
    TestHttpServer server;
    const QByteArray archive = QByteArray("PK\x05\x06", 4) + QByteArray(300000, '\x01');
    server.respond = [&](const TestHttpServer::Request &r) {
        if (r.path == "/tools/repos/qeyStampe.zip")
            return TestHttpServer::response(200, "OK", archive);
        return TestHttpServer::response(404, "Not Found", "no");
    };
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("qeyStampe.zip"));
    TdmxComm comm;
    comm.http_get(server.url(QStringLiteral("/tools/repos/qeyStampe.zip")), target);
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), archive);
    f.close();

    EXPECT_THROW(comm.http_get(server.url(QStringLiteral("/manca.zip")), target), EVxException);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), archive);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("qeyStampe.zip")});

    EXPECT_THROW(comm.http_get(server.url(QStringLiteral("/tools/repos/qeyStampe.zip")),
                               dir.filePath(QStringLiteral("nessuna/cartella/x.zip"))),
                 EVxException);
}

TEST(Comm, RepliesOverTheLimitAreRefusedAsSoonAsTheyShow)
{
    const QByteArray big(2 << 20, 'x');
    const struct
    {
        const char *label;
        QByteArray answer;
    } replies[] = {
        {"declared", TestHttpServer::response(200, "OK", big)},
        // Declares ten gigabytes and sends nothing: refused without waiting for the bytes.
        {"declared only", "HTTP/1.1 200 OK\r\nContent-Length: 10737418240\r\n\r\n"},
        {"undeclared", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + big},
    };
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("risposta.zip"));
    for (const auto &r : replies) {
        SCOPED_TRACE(r.label);
        TestHttpServer server;
        server.respond = [&](const TestHttpServer::Request &) { return r.answer; };
        writeFileBytes(target, "precedente");
        TdmxComm comm;
        comm.setMaxReplySize(1 << 20);
        comm.setTimeout(20000);
        QElapsedTimer timer;
        timer.start();
        const QString over =
            refusal([&] { comm.http_get(server.url("/grande.zip"), target); }).message();
        EXPECT_TRUE(over.contains("supera il limite di 1 MB")) << over.toStdString();
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_EQ(readFileBytes(target), QByteArray("precedente"));
    }
}

// A download goes to its file as it arrives: while the file is being written, the program reads
// no further ahead from the network than a little buffer, so the server cannot push the whole
// body into its memory (which a body near the reply limit would double).
TEST(Comm, ADownloadIsReadNoFasterThanItsFileIsWritten)
{
    const qint64 body = 96LL << 20;
    // A server of its own thread and plain sockets: it sends as fast as the client reads.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_TRUE(::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
                ::listen(fd, 1) == 0 &&
                ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0);
    std::atomic<qint64> sent{0};
    std::thread server([&] {
        const int client = ::accept(fd, nullptr, nullptr);
        char request[4096];
        ::recv(client, request, sizeof request, 0);
        const QByteArray head =
            "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body) + "\r\n\r\n";
        ::send(client, head.constData(), size_t(head.size()), MSG_NOSIGNAL);
        const QByteArray chunk(64 * 1024, 'x');
        while (sent < body) {
            const ssize_t n = ::send(client, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        ::close(client);
        ::close(fd);
    });
    SlowDisk disk(sent);
    TdmxComm comm;
    EXPECT_NO_THROW(comm.http_get(
        QStringLiteral("http://127.0.0.1:%1/grande.zip").arg(ntohs(address.sin_port)), disk));
    server.join();
    EXPECT_EQ(disk.written, body);
    EXPECT_LT(disk.sentWhileWriting, body / 3) << disk.sentWhileWriting;
}
