#include "tests/support/tavrinwebserver.h"

#include "platform/cp1252.h"
#include "platform/digest.h"
#include "platform/inifile.h"
#include "platform/maindir.h"

#include <QHash>
#include <QRandomGenerator>
#include <QRecursiveMutex>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>

#include <zip.h>

#include <cstdlib>
#include <cstring>

namespace {

const QByteArray kPrefix = "/nzapps/tavrinweb/";
const QByteArray kCookieName = "TWSESSID";
const QByteArray kNoSession = "Sessione non valida";

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

TavrinWebTestServer::Reply text(const QByteArray &body, int status = 200)
{
    TavrinWebTestServer::Reply reply;
    reply.status = status;
    reply.body = body;
    reply.headers.append({QByteArray("Content-Type"), "text/html; charset=UTF-8"});
    return reply;
}

QByteArray head(const TavrinWebTestServer::Reply &reply, qint64 declaredLength)
{
    QByteArray bytes =
        "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) + "\r\n";
    for (const auto &h : reply.headers)
        bytes += h.first + ": " + h.second + "\r\n";
    if (declaredLength >= 0)
        bytes += "Content-Length: " + QByteArray::number(declaredLength) + "\r\n";
    return bytes + "Connection: close\r\n\r\n";
}

// The value of a "name=value" of a header with parameters (a boundary, a disposition's name);
// quotes removed. Null when absent.
QByteArray headerParameter(const QByteArray &header, const QByteArray &name)
{
    for (const QByteArray &piece : header.split(';')) {
        const QByteArray item = piece.trimmed();
        if (!item.startsWith(name + '='))
            continue;
        QByteArray value = item.mid(name.size() + 1);
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value.isNull() ? QByteArray("") : value;
    }
    return QByteArray();
}

// The first header of that name (any letter case), null when there is none.
QByteArray headerValue(const TavrinWebTestServer::Headers &headers, const QByteArray &name)
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

struct Part
{
    TavrinWebTestServer::Headers headers;
    QByteArray body;
    QByteArray header(const QByteArray &name) const { return headerValue(headers, name); }
};

// A multipart/form-data body as RFC 7578 frames it, read strictly: the body starts with the
// first delimiter, every delimiter line ends in CR LF, the parts' headers are well formed, and
// the close delimiter ends the body (a last CR LF allowed). Empty, with the fault in *error.
QList<Part> multipart(const QByteArray &contentType, const QByteArray &body, QString *error)
{
    const auto fail = [error](const QString &why) {
        *error = why;
        return QList<Part>();
    };
    if (!contentType.startsWith("multipart/form-data;"))
        return fail(QStringLiteral("content type %1").arg(QString::fromLatin1(contentType)));
    const QByteArray boundary = headerParameter(contentType, "boundary");
    if (boundary.isEmpty())
        return fail(QStringLiteral("no boundary"));
    const QByteArray delimiter = "--" + boundary;
    if (!body.startsWith(delimiter + "\r\n"))
        return fail(QStringLiteral("the body does not start with the delimiter line"));
    QList<Part> parts;
    qsizetype at = delimiter.size() + 2;
    for (;;) {
        const qsizetype next = body.indexOf("\r\n" + delimiter, at);
        if (next < 0)
            return fail(QStringLiteral("a part without its closing delimiter"));
        const QByteArray raw = body.mid(at, next - at);
        const qsizetype headEnd = raw.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return fail(QStringLiteral("a part without the blank line after its headers"));
        Part part;
        const QByteArray block = raw.left(headEnd);
        for (qsizetype pos = 0; pos <= block.size();) {
            qsizetype eol = block.indexOf("\r\n", pos);
            if (eol < 0)
                eol = block.size();
            const QByteArray line = block.mid(pos, eol - pos);
            const qsizetype colon = line.indexOf(':');
            if (line.contains('\r') || line.contains('\n') || colon <= 0)
                return fail(QStringLiteral("a malformed part header"));
            part.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
            pos = eol + 2;
        }
        part.body = raw.mid(headEnd + 4);
        parts.append(part);
        at = next + 2 + delimiter.size();
        if (body.mid(at, 2) == "--") {
            const QByteArray rest = body.mid(at + 2);
            if (!rest.isEmpty() && rest != "\r\n")
                return fail(QStringLiteral("bytes after the close delimiter"));
            return parts;
        }
        if (body.mid(at, 2) != "\r\n")
            return fail(QStringLiteral("a delimiter line not ended by CR LF"));
        at += 2;
    }
}

QByteArray renamedArchive(const QByteArray &zip, TavrinWebTestServer::ArchiveFault fault)
{
    using F = TavrinWebTestServer::ArchiveFault;
    switch (fault) {
    case F::None:
        return zip;
    case F::Truncated:
        return zip.left(zip.size() / 2);
    case F::Empty:
        return QByteArray();
    default:
        break;
    }
    QList<QPair<QByteArray, QByteArray>> entries = TavrinWebTestServer::zipEntries(zip);
    if (entries.isEmpty())
        return zip;
    QByteArray &name = entries.first().first;
    if (fault == F::DotDotEntry)
        name = "../" + name;
    else if (fault == F::AbsoluteEntry)
        name = "/tmp/" + name;
    else if (fault == F::SubFolderEntry)
        name = "cartella/" + name;
    else
        name = name.toUpper();
    return TavrinWebTestServer::zipBytes(entries);
}

} // namespace

QByteArray TavrinWebTestServer::Request::header(const QByteArray &name) const
{
    return headerValue(headers, name);
}

int TavrinWebTestServer::Request::headerCount(const QByteArray &name) const
{
    int count = 0;
    for (const auto &h : headers)
        count += h.first.compare(name, Qt::CaseInsensitive) == 0;
    return count;
}

QByteArray TavrinWebTestServer::Request::page() const
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// The server's state and its thread. Everything the test thread reads or sets is under the
// mutex; a route may call back into the server, hence a recursive one.
class TavrinWebTestServer::Worker
{
public:
    using Route = std::function<Reply(const Request &, const QString &institute)>;

    Worker();
    ~Worker();

    mutable QRecursiveMutex mutex;
    quint16 port = 0;

    int slowMs = 3000;
    qint64 overCapBytes = 1024 * 1024;
    QHash<QString, QString> passwords;
    QHash<QByteArray, QString> sessions;
    QHash<QByteArray, Fault> faults;
    QList<QByteArray> states;
    bool neverReady = false;
    bool exportAsked = false;
    QByteArray exportReply = "OK";
    QByteArray deleteReply = "OK";
    QByteArray download;
    std::function<QByteArray(const QString &)> downloadBuilder;
    ArchiveFault archiveFault = ArchiveFault::None;
    QHash<QByteArray, Route> routes; // method + ' ' + path

    QList<Request> requests;
    QList<Login> logins;
    QList<Upload> uploads;
    QList<Order> orders;
    QStringList problems;

private:
    void accept(QTcpSocket *socket);
    void serve(QTcpSocket *socket, const Request &request);
    void send(QTcpSocket *socket, Reply reply, Fault fault, qint64 overCap);
    QString institute(const Request &request) const;
    void addBuiltInRoutes();
    Reply login(const Request &request);
    Reply upload(const Request &request, const QString &institute);
    Reply order(const Request &request, const QString &institute, const QByteArray &answer);
    QByteArray newSession(const QString &institute);

    QThread m_thread;
    QObject *m_context = nullptr; // lives in the thread; parent of the listener and sockets
};

TavrinWebTestServer::Worker::Worker()
{
    addBuiltInRoutes();
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            auto *listener = new QTcpServer(m_context);
            if (!listener->listen(QHostAddress::LocalHost, 0))
                return;
            port = listener->serverPort();
            QObject::connect(listener, &QTcpServer::newConnection, listener, [this, listener] {
                while (QTcpSocket *socket = listener->nextPendingConnection())
                    accept(socket);
            });
        },
        Qt::BlockingQueuedConnection);
}

TavrinWebTestServer::Worker::~Worker()
{
    m_thread.quit();
    m_thread.wait();
}

void TavrinWebTestServer::Worker::accept(QTcpSocket *socket)
{
    auto buffer = std::make_shared<QByteArray>();
    auto continued = std::make_shared<bool>(false);
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [=, this] {
        *buffer += socket->readAll();
        const qsizetype end = buffer->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request r;
        // Every line ends with CR LF, the last one too: the empty piece after it is not a line.
        QList<QByteArray> lines = buffer->left(end + 2).split('\n');
        lines.removeLast();
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        r.method = first.value(0);
        const QByteArray target = first.value(1);
        const qsizetype question = target.indexOf('?');
        r.path = question < 0 ? target : target.left(question);
        r.query = question < 0 ? QByteArray() : target.mid(question + 1);
        qint64 length = 0;
        // A header line broken by a stray line feed (a value that carried one) is told.
        static const QRegularExpression token(QStringLiteral("^[!#$%&'*+.^_`|~0-9A-Za-z-]+$"));
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].endsWith('\r') ? lines[i].chopped(1) : lines[i];
            const qsizetype colon = line.indexOf(':');
            const QByteArray name = line.left(qMax(colon, 0));
            if (!lines[i].endsWith('\r') || !token.match(QString::fromLatin1(name)).hasMatch()) {
                QMutexLocker lock(&mutex);
                problems
                    << QStringLiteral("malformed header line: %1").arg(QString::fromLatin1(line));
            }
            r.headers.append({name, line.mid(colon + 1).trimmed()});
        }
        length = r.header("Content-Length").toLongLong();
        if (buffer->size() < end + 4 + length) {
            // curl asks before it sends a body of some size.
            if (!*continued &&
                r.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0) {
                *continued = true;
                socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            return;
        }
        r.body = buffer->mid(end + 4, length);
        buffer->clear();
        QObject::disconnect(socket, &QTcpSocket::readyRead, socket, nullptr);
        serve(socket, r);
    });
}

QString TavrinWebTestServer::Worker::institute(const Request &request) const
{
    for (const auto &h : request.headers) {
        if (h.first.compare("Cookie", Qt::CaseInsensitive) != 0)
            continue;
        for (const QByteArray &piece : h.second.split(';')) {
            const QByteArray item = piece.trimmed();
            if (item.startsWith(kCookieName + '='))
                return sessions.value(item.mid(kCookieName.size() + 1));
        }
    }
    return QString();
}

void TavrinWebTestServer::Worker::serve(QTcpSocket *socket, const Request &request)
{
    QMutexLocker lock(&mutex);
    requests.append(request);
    const Fault fault = faults.value(request.page(), faults.value(QByteArray(), Fault::None));
    const qint64 overCap = overCapBytes;
    const auto route = routes.constFind(request.method + ' ' + request.path);
    Reply reply = route == routes.cend() ? text("Pagina non trovata", 404)
                                         : (*route)(request, institute(request));
    send(socket, reply, fault, overCap);
}

void TavrinWebTestServer::Worker::send(QTcpSocket *socket, Reply reply, Fault fault, qint64 overCap)
{
    switch (fault) {
    case Fault::Status500:
        reply = text("Errore interno del server", 500);
        break;
    case Fault::Redirect302:
        reply = text("", 302);
        reply.headers.append({QByteArray("Location"), kPrefix + "login.php"});
        break;
    case Fault::OkWithLineBreak:
        if (reply.body == "OK")
            reply.body = "OK\r\n";
        break;
    case Fault::OkLowerCase:
        if (reply.body == "OK")
            reply.body = "ok";
        break;
    case Fault::TwoCookies:
        reply.headers.append({QByteArray("Set-Cookie"), "TWLINGUA=it; path=/"});
        break;
    case Fault::MaintenancePage:
        reply = text("<!DOCTYPE html>\r\n<html><head><title>Manutenzione</title></head><body>"
                     "Servizio in manutenzione</body></html>");
        break;
    case Fault::OneLineMarkup:
        reply = text("<html><body>Servizio sospeso</body></html>");
        break;
    case Fault::GzipEncoded:
        reply.headers.append({QByteArray("Content-Encoding"), "gzip"});
        break;
    case Fault::CloseBeforeReply:
        socket->disconnectFromHost();
        return;
    case Fault::OverCapDeclared:
        socket->write(head(reply, overCap) + QByteArray(overCap, 'x'));
        socket->disconnectFromHost();
        return;
    case Fault::OverCapUndeclared:
        socket->write(head(reply, -1) + QByteArray(overCap, 'x'));
        socket->disconnectFromHost();
        return;
    case Fault::CloseMidBody:
        socket->write(head(reply, reply.body.size()) + reply.body.left(reply.body.size() / 2));
        socket->disconnectFromHost();
        return;
    case Fault::Slow: {
        const QByteArray bytes = head(reply, reply.body.size()) + reply.body;
        QTimer::singleShot(slowMs, socket, [socket, bytes] {
            socket->write(bytes);
            socket->disconnectFromHost();
        });
        return;
    }
    case Fault::Trickle:
    case Fault::Drip:
    case Fault::Steady: {
        auto bytes = std::make_shared<QByteArray>(reply.body);
        if (fault == Fault::Trickle)
            bytes->prepend(head(reply, reply.body.size()));
        else
            socket->write(head(reply, reply.body.size()));
        auto *drip = new QTimer(socket);
        const qsizetype step = fault == Fault::Steady ? 32 * 1024 : 1;
        QObject::connect(drip, &QTimer::timeout, socket, [socket, bytes, drip, step] {
            socket->write(bytes->left(step));
            bytes->remove(0, step);
            if (!bytes->isEmpty())
                return;
            drip->stop();
            socket->disconnectFromHost();
        });
        drip->start(slowMs);
        return;
    }
    case Fault::None:
        break;
    }
    socket->write(head(reply, reply.body.size()) + reply.body);
    socket->disconnectFromHost();
}

QByteArray TavrinWebTestServer::Worker::newSession(const QString &code)
{
    const QByteArray id =
        QByteArray::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0');
    sessions.insert(id, code);
    return id;
}

TavrinWebTestServer::Reply TavrinWebTestServer::Worker::login(const Request &request)
{
    // PHP starts the session before it checks anything: every reply sets the cookie.
    static const QRegularExpression form(QStringLiteral(
        "^IDISTITUTO=([A-Za-z0-9%._~-]*)&PASSWORD2=(0|[1-9][0-9]{0,4})&PASSWORD=([0-9a-f]{32})&$"));
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(request.body));
    Login entry;
    QString code;
    if (request.header("Content-Type") != "application/x-www-form-urlencoded")
        problems << QStringLiteral("login: content type %1")
                        .arg(QString::fromLatin1(request.header("Content-Type")));
    else if (!match.hasMatch() || match.captured(2).toInt() > 99998)
        problems << QStringLiteral("login: form line %1").arg(QString::fromLatin1(request.body));
    else {
        code = decodeCp1252(QByteArray::fromPercentEncoding(match.captured(1).toLatin1()));
        entry.institute = code;
        entry.nonce = match.captured(2).toLatin1();
        const auto password = passwords.constFind(code);
        entry.accepted =
            password != passwords.cend() &&
            md5Hex(encodeCp1252(*password + match.captured(2)).value_or(QByteArray("?"))) ==
                match.captured(3);
    }
    logins.append(entry);
    Reply reply = text(entry.accepted ? "OK" : "Accesso negato");
    reply.headers.append({QByteArray("Set-Cookie"),
                          kCookieName + '=' + newSession(entry.accepted ? code : QString()) +
                              "; path=/nzapps/tavrinweb/; HttpOnly"});
    return reply;
}

TavrinWebTestServer::Reply TavrinWebTestServer::Worker::upload(const Request &request,
                                                               const QString &code)
{
    if (code.isEmpty())
        return text(kNoSession);
    QString error;
    const QList<Part> parts = multipart(request.header("Content-Type"), request.body, &error);
    Upload entry;
    entry.institute = code;
    entry.page = request.page();
    if (error.isEmpty() && parts.size() != 2)
        error = QStringLiteral("%1 parts").arg(parts.size());
    if (error.isEmpty()) {
        const QByteArray file = parts[0].header("Content-Disposition");
        const QByteArray field = parts[1].header("Content-Disposition");
        bool ok = false;
        if (!file.startsWith("form-data;") || headerParameter(file, "name") != "uploadfile" ||
            headerParameter(file, "filename").isEmpty())
            error = QStringLiteral("file part: %1").arg(QString::fromLatin1(file));
        else if (parts[0].header("Content-Type") != "application/x-zip-compressed")
            error = QStringLiteral("file type: %1")
                        .arg(QString::fromLatin1(parts[0].header("Content-Type")));
        else if (!field.startsWith("form-data;") || headerParameter(field, "name") != "nascosto" ||
                 !headerParameter(field, "filename").isNull() || parts[1].body != "Submit")
            error = QStringLiteral("field part: %1").arg(QString::fromLatin1(field));
        else {
            for (const auto &e : zipEntries(parts[0].body, &ok))
                entry.entries << QString::fromLatin1(e.first);
            if (!ok)
                error = QStringLiteral("the file is not a ZIP archive");
        }
        entry.fileName = decodeCp1252(headerParameter(file, "filename"));
        entry.zip = parts[0].body;
    }
    if (!error.isEmpty()) {
        problems << QStringLiteral("upload: ") + error;
        return text("Errore nel caricamento del file");
    }
    uploads.append(entry);
    return text("OK");
}

TavrinWebTestServer::Reply TavrinWebTestServer::Worker::order(const Request &request,
                                                              const QString &code,
                                                              const QByteArray &answer)
{
    if (code.isEmpty())
        return text(kNoSession);
    orders.append({code, request.page(), request.query});
    return text(answer);
}

void TavrinWebTestServer::Worker::addBuiltInRoutes()
{
    routes.insert("POST " + kPrefix + "autentica.php",
                  [this](const Request &r, const QString &) { return login(r); });
    for (const char *page : {"carica.php", "caricarec.php"})
        routes.insert("POST " + kPrefix + page,
                      [this](const Request &r, const QString &code) { return upload(r, code); });
    routes.insert("GET " + kPrefix + "statorichiesta.php",
                  [this](const Request &, const QString &code) {
                      if (code.isEmpty())
                          return text(kNoSession);
                      if (!states.isEmpty())
                          return text(states.takeFirst());
                      return text(stateDocument(neverReady ? "E" : exportAsked ? "W" : "Z"));
                  });
    for (const char *page : {"richiestaexport.php", "RichiestaExportRec.php"})
        routes.insert("GET " + kPrefix + page, [this](const Request &r, const QString &code) {
            Reply reply = order(r, code, exportReply);
            exportAsked = exportAsked || reply.body == "OK";
            return reply;
        });
    for (const char *page : {"cancellasessione.php", "cancellarecuperi.php"})
        routes.insert("GET " + kPrefix + page, [this](const Request &r, const QString &code) {
            return order(r, code, deleteReply);
        });
    routes.insert("GET " + kPrefix + "scarica.php", [this](const Request &, const QString &code) {
        if (code.isEmpty())
            return text(kNoSession);
        Reply reply;
        reply.body =
            renamedArchive(downloadBuilder ? downloadBuilder(code) : download, archiveFault);
        reply.headers.append({QByteArray("Content-Type"), "application/zip"});
        return reply;
    });
}

TavrinWebTestServer::TavrinWebTestServer() : m_worker(std::make_unique<Worker>())
{
    if (m_worker->port == 0)
        qFatal("The test web server could not listen on 127.0.0.1");
}

TavrinWebTestServer::~TavrinWebTestServer() = default;

quint16 TavrinWebTestServer::port() const
{
    return m_worker->port;
}

QString TavrinWebTestServer::address() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void TavrinWebTestServer::nameInParGen() const
{
    TVxINIFile ini(resolvePath(mainSubDir(QStringLiteral("ETC")) + QStringLiteral("ParGen.ini")));
    ini.WriteString(QStringLiteral("ServerWeb"), QStringLiteral("Indirizzo"), address());
}

void TavrinWebTestServer::setInstitute(const QString &code, const QString &password)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->passwords.insert(code, password);
}

void TavrinWebTestServer::setFault(Fault fault, const QByteArray &page)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->faults.insert(page, fault);
}

void TavrinWebTestServer::setSlowMs(int milliseconds)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->slowMs = milliseconds;
}

void TavrinWebTestServer::setOverCapBytes(qint64 bytes)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->overCapBytes = bytes;
}

void TavrinWebTestServer::setStates(const QList<QByteArray> &replies)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->states = replies;
}

void TavrinWebTestServer::setNeverReady(bool on)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->neverReady = on;
}

QByteArray TavrinWebTestServer::stateDocument(const QByteArray &state)
{
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<RICHIESTE><RICHIESTA STATO=\"" +
           state + "\" DATA=\"2009-06-12 10:31:05\"/></RICHIESTE>";
}

QByteArray TavrinWebTestServer::stateRootWithoutChild()
{
    return "<?xml version=\"1.0\"?>\r\n<RICHIESTE></RICHIESTE>";
}

QByteArray TavrinWebTestServer::stateChildWithoutState()
{
    return "<?xml version=\"1.0\"?>\r\n<RICHIESTE><RICHIESTA DATA=\"2009-06-12\"/></RICHIESTE>";
}

QByteArray TavrinWebTestServer::stateMalformed()
{
    return "<?xml version=\"1.0\"?>\r\n<RICHIESTE><RICHIESTA STATO=\"W\"></RICHIESTE>";
}

QByteArray TavrinWebTestServer::stateWithEntities()
{
    QByteArray dtd = "<!ENTITY e0 \"WWWWWWWWWW\">";
    for (int level = 1; level < 4; ++level)
        dtd += "<!ENTITY e" + QByteArray::number(level) + " \"" +
               ("&e" + QByteArray::number(level - 1) + ";").repeated(10) + "\">";
    return "<?xml version=\"1.0\"?>\r\n<!DOCTYPE RICHIESTE [" + dtd +
           "]>\r\n<RICHIESTE><RICHIESTA STATO=\"" + QByteArray("&e3;").repeated(48000) +
           "\"/></RICHIESTE>";
}

void TavrinWebTestServer::setExportReply(const QByteArray &reply)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->exportReply = reply;
}

void TavrinWebTestServer::setDeleteReply(const QByteArray &reply)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->deleteReply = reply;
}

void TavrinWebTestServer::setDownload(const QByteArray &zip)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->download = zip;
}

void TavrinWebTestServer::setDownloadBuilder(
    const std::function<QByteArray(const QString &institute)> &builder)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->downloadBuilder = builder;
}

void TavrinWebTestServer::setArchiveFault(ArchiveFault fault)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->archiveFault = fault;
}

void TavrinWebTestServer::addRoute(
    const QByteArray &method, const QByteArray &path,
    const std::function<Reply(const Request &, const QString &institute)> &route)
{
    QMutexLocker lock(&m_worker->mutex);
    m_worker->routes.insert(method + ' ' + path, route);
}

QList<TavrinWebTestServer::Request> TavrinWebTestServer::requests() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->requests;
}

QList<TavrinWebTestServer::Request> TavrinWebTestServer::requestsTo(const QByteArray &page) const
{
    QList<Request> found;
    for (const Request &r : requests())
        if (r.page() == page)
            found << r;
    return found;
}

QList<TavrinWebTestServer::Login> TavrinWebTestServer::logins() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->logins;
}

QList<TavrinWebTestServer::Upload> TavrinWebTestServer::uploads() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->uploads;
}

QList<TavrinWebTestServer::Order> TavrinWebTestServer::orders() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->orders;
}

QByteArray TavrinWebTestServer::lastUploadZip(const QString &institute,
                                              const QByteArray &page) const
{
    QByteArray zip;
    for (const Upload &u : uploads())
        if (u.institute == institute && u.page == page)
            zip = u.zip;
    return zip;
}

int TavrinWebTestServer::lastOrderNumber(const QString &institute, const QByteArray &page,
                                         const QString &item) const
{
    int number = 0;
    for (const Order &o : orders())
        if (o.institute == institute && o.page == page)
            number = QUrlQuery(QString::fromLatin1(o.query)).queryItemValue(item).toInt();
    return number;
}

QStringList TavrinWebTestServer::problems() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->problems;
}

QByteArray TavrinWebTestServer::zipBytes(const QList<QPair<QByteArray, QByteArray>> &entries)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("a.zip")));
    int code = 0;
    zip_t *za = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za)
        return QByteArray();
    for (const auto &entry : entries) {
        // libzip reads the buffer when the archive is closed: a heap copy it frees itself.
        char *data = static_cast<char *>(std::malloc(size_t(entry.second.size()) + 1));
        std::memcpy(data, entry.second.constData(), size_t(entry.second.size()));
        zip_source_t *source = zip_source_buffer(za, data, zip_uint64_t(entry.second.size()), 1);
        if (!source || zip_file_add(za, entry.first.constData(), source, ZIP_FL_ENC_RAW) < 0) {
            zip_source_free(source);
            zip_discard(za);
            return QByteArray();
        }
    }
    if (zip_close(za) != 0) {
        zip_discard(za);
        return QByteArray();
    }
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QPair<QByteArray, QByteArray>> TavrinWebTestServer::zipEntries(const QByteArray &zip,
                                                                     bool *ok)
{
    QList<QPair<QByteArray, QByteArray>> entries;
    if (ok)
        *ok = false;
    if (zip.isEmpty()) // libzip would take no byte at all for an empty archive
        return entries;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source =
        zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &error);
    zip_t *za = source ? zip_open_from_source(source, ZIP_CHECKCONS | ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (!za) {
        zip_source_free(source);
        return entries;
    }
    bool complete = true;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count && complete; ++i) {
        zip_stat_t st;
        zip_file_t *file = nullptr;
        complete = zip_stat_index(za, zip_uint64_t(i), ZIP_FL_ENC_RAW, &st) == 0 &&
                   (file = zip_fopen_index(za, zip_uint64_t(i), 0)) != nullptr;
        QByteArray data(qsizetype(complete ? st.size : 0), Qt::Uninitialized);
        complete = complete && zip_fread(file, data.data(), st.size) == zip_int64_t(st.size);
        if (file)
            zip_fclose(file);
        if (complete)
            entries.append({QByteArray(st.name), data});
    }
    zip_close(za);
    if (ok)
        *ok = complete;
    return entries;
}
