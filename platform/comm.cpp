#include "platform/comm.h"

#include "platform/helpers.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QEventLoop>
#include <QHash>
#include <QIODevice>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

// The web client keeps the login cookie itself and sends it as a header line; a jar would
// add cookies the callers did not ask for.
class NoCookieJar : public QNetworkCookieJar
{
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl &) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie> &, const QUrl &) override { return false; }
};

// What failed on the network, in Italian with Qt's code; Qt's own text is the detail.
EVxException networkError(const QString &url, const QNetworkReply &reply)
{
    using E = QNetworkReply::NetworkError;
    const E code = reply.error();
    const char *text = "errore di rete";
    switch (code) {
    case E::ConnectionRefusedError:
        text = "il server ha rifiutato la connessione";
        break;
    case E::RemoteHostClosedError:
        text = "il server ha chiuso la connessione";
        break;
    case E::HostNotFoundError:
        text = "server non trovato (nome sconosciuto)";
        break;
    case E::TimeoutError:
        text = "tempo di connessione scaduto";
        break;
    case E::OperationCanceledError:
        text = "operazione interrotta";
        break;
    case E::SslHandshakeFailedError:
        text = "connessione sicura non riuscita (certificato o protocollo non accettati)";
        break;
    case E::TemporaryNetworkFailureError:
    case E::NetworkSessionFailedError:
        text = "rete non disponibile";
        break;
    case E::TooManyRedirectsError:
    case E::InsecureRedirectError:
        text = "reindirizzamento non seguito";
        break;
    case E::ProxyConnectionRefusedError:
    case E::ProxyConnectionClosedError:
    case E::ProxyNotFoundError:
    case E::ProxyTimeoutError:
    case E::ProxyAuthenticationRequiredError:
    case E::UnknownProxyError:
        text = "errore del proxy";
        break;
    case E::ProtocolUnknownError:
    case E::ProtocolInvalidOperationError:
    case E::ProtocolFailure:
        text = "errore di protocollo";
        break;
    case E::UnknownContentError:
        // A compressed body that does not decompress, or would fill the memory once
        // decompressed (a "bomb"): the network layer stops it here.
        text = "la risposta non si può leggere: compressa in modo non valido, o troppo grande "
               "una volta decompressa";
        break;
    default:
        break;
    }
    return EVxException(QStringLiteral("Errore di comunicazione con %1: %2 (codice %3).")
                            .arg(url, QString::fromUtf8(text))
                            .arg(int(code)),
                        EVxException::Error, reply.errorString());
}

} // namespace

TdmxComm::TdmxComm(QObject *parent) : QObject(parent)
{
    m_manager.setCookieJar(new NoCookieJar(&m_manager));
    m_manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

QString TdmxComm::ReplyHeader(const QString &name) const
{
    QByteArray value;
    for (const auto &header : m_replyHeaders) {
        if (QString::fromLatin1(header.first).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!value.isEmpty())
            value += ", ";
        value += header.second;
    }
    return QString::fromLatin1(value);
}

void TdmxComm::http_get(const QString &url, const QString &fileName, TVxFileAccess access)
{
    TVxFileReplacement file(fileName, access);
    if (!file.open())
        throw file.failure();
    try {
        run("GET", url, nullptr, QString(), file);
    } catch (const EVxException &) {
        // The file's own refusal (a full disk) names the file and says it is as it was.
        if (file.failed())
            throw file.failure();
        throw;
    }
    file.commit();
}

void TdmxComm::http_get(const QString &url, QIODevice &reply)
{
    run("GET", url, nullptr, QString(), reply);
}

void TdmxComm::http_post(const QString &url, const QStringList &formLines, QIODevice &reply)
{
    QByteArray body;
    for (const QString &line : formLines) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(line, "=&");
    }
    run("POST", url, &body, QStringLiteral("application/x-www-form-urlencoded"), reply);
}

void TdmxComm::http_post(const QString &url, QIODevice &body, QIODevice &reply)
{
    const QByteArray bytes = body.readAll();
    run("POST", url, &bytes, m_contentType, reply);
}

void TdmxComm::run(const QByteArray &method, const QString &url, const QByteArray *body,
                   const QString &contentType, QIODevice &reply)
{
    m_status = 0;
    m_replyHeaders.clear();

    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty() ||
        (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")))
        throw EVxException(QStringLiteral("Indirizzo non valido: %1").arg(url));

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    if (!contentType.isEmpty())
        request.setRawHeader("Content-Type", contentType.toLatin1());
    for (const QString &line : std::as_const(m_customHeaders)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            throw EVxException(QStringLiteral("Intestazione HTTP non valida: \"%1\"").arg(line));
        const QByteArray name = line.left(colon).trimmed().toLatin1();
        QByteArray value = line.mid(colon + 1).trimmed().toLatin1();
        if (request.hasRawHeader(name))
            value = request.rawHeader(name) +
                    (name.compare("Cookie", Qt::CaseInsensitive) == 0 ? "; " : ", ") + value;
        request.setRawHeader(name, value);
    }

    if (m_wait)
        m_wait->CheckCancelled();
    QNetworkReply *networkReply = body ? m_manager.sendCustomRequest(request, method, *body)
                                       : m_manager.sendCustomRequest(request, method);
    // The network thread reads no further ahead than this: a download goes to its file as it
    // arrives, never piling up in memory while the file is written.
    networkReply->setReadBufferSize(kReadAhead);
    // The context of every connection below: they end with this call, while the reply lives on
    // until the event loop frees it, and a later "Annulla" must not reach this call's variables.
    QObject call;
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(m_timeout);
    // A server that sends a byte now and then is never silent long enough: each step of the
    // transfer has a time limit of its own, started again whenever the transfer moved a step.
    QTimer overall;
    overall.setSingleShot(true);
    bool timedOut = false;
    bool overLimit = false;
    bool cancelled = false;
    bool tooLarge = false;
    qint64 received = 0;
    QString writeError;
    qint64 sent = 0;
    qint64 movedAtStep = 0;
    const auto moved = [&] {
        if (received + sent - movedAtStep < kProgressStep)
            return;
        movedAtStep = received + sent;
        overall.start();
    };
    connect(&silence, &QTimer::timeout, &call, [&] {
        timedOut = true;
        networkReply->abort();
    });
    connect(&overall, &QTimer::timeout, &call, [&] {
        overLimit = true;
        networkReply->abort();
    });
    if (m_wait)
        connect(m_wait, &TfmVxWait::cancelRequested, &call, [&] {
            cancelled = true;
            networkReply->abort();
        });
    // A reply larger than the limit is refused as soon as it says so, or as soon as its bytes
    // pass the limit, before it fills the disk or the memory of the caller's stream.
    const auto refuseTooLarge = [&] {
        tooLarge = true;
        networkReply->abort();
    };
    connect(networkReply, &QNetworkReply::metaDataChanged, &call, [&] {
        const QVariant length = networkReply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_maxReplySize)
            refuseTooLarge();
    });
    connect(networkReply, &QNetworkReply::readyRead, &call, [&] {
        silence.start();
        const QByteArray chunk = networkReply->readAll();
        if (tooLarge)
            return;
        received += chunk.size();
        if (received > m_maxReplySize) {
            refuseTooLarge();
            return;
        }
        if (writeError.isEmpty() && reply.write(chunk) != chunk.size()) {
            writeError = reply.errorString();
            networkReply->abort();
        }
        moved();
    });
    connect(networkReply, &QNetworkReply::uploadProgress, &call, [&](qint64 bytesSent, qint64) {
        silence.start();
        sent = bytesSent;
        moved();
    });
    connect(networkReply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    silence.start();
    overall.start(m_timeLimit);
    if (!networkReply->isFinished())
        loop.exec(m_wait && m_wait->TakesInput() ? QEventLoop::AllEvents
                                                 : QEventLoop::ExcludeUserInputEvents);
    silence.stop();
    overall.stop();

    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> owner(
        networkReply, [](QNetworkReply *r) { r->deleteLater(); });
    if (cancelled)
        throw EVxCancelled();
    if (!tooLarge && writeError.isEmpty() && networkReply->bytesAvailable() > 0) {
        const QByteArray rest = networkReply->readAll();
        if ((received += rest.size()) > m_maxReplySize)
            tooLarge = true;
        else if (reply.write(rest) != rest.size())
            writeError = reply.errorString();
    }
    m_status = networkReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_replyHeaders = networkReply->rawHeaderPairs();

    if (tooLarge)
        throw EVxException(QStringLiteral("La risposta di %1 supera il limite di %2: ricezione "
                                          "interrotta.")
                               .arg(url, SizeText(m_maxReplySize)));
    if (overLimit)
        throw EVxException(QStringLiteral("Il trasferimento con il server è troppo lento: in %1 "
                                          "non ha trasmesso %2 (%3). Trasferimento interrotto.")
                               .arg(DurationText(m_timeLimit), SizeText(kProgressStep), url));
    if (timedOut)
        throw EVxException(QStringLiteral("Il server non ha risposto entro %1 (%2).")
                               .arg(DurationText(m_timeout), url));
    if (!writeError.isEmpty())
        throw EVxException(
            QStringLiteral("Impossibile salvare la risposta di %1: %2").arg(url, writeError));
    if (m_status == 0)
        throw networkError(url, *networkReply);
    if (m_status < 200 || m_status > 299) {
        const QString reason =
            networkReply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        throw EVxException(
            QStringLiteral("Il server ha risposto con l'errore HTTP %1 (%2).")
                .arg(VxHttpStatusText(m_status), url),
            EVxException::Error,
            reason.isEmpty() ? QString() : QStringLiteral("HTTP %1 %2").arg(m_status).arg(reason));
    }
    if (networkReply->error() != QNetworkReply::NoError)
        throw networkError(url, *networkReply);
    // A body cut short of its declared length is a broken transfer, whatever the network layer
    // made of the connection closed under it (with a reply read no further ahead than the file
    // is written, it may take the close for the body's end).
    const QVariant declared = networkReply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray encoding = networkReply->rawHeader("Content-Encoding");
    if (declared.isValid() && (encoding.isEmpty() || encoding == "identity") &&
        received != declared.toLongLong())
        throw EVxException(
            QStringLiteral("La risposta di %1 è arrivata incompleta (%2 byte su %3): "
                           "ricezione interrotta.")
                .arg(url)
                .arg(received)
                .arg(declared.toLongLong()));
}

void TdmxComm::setWaitWindow(TfmVxWait *wait)
{
    m_wait = wait;
}

QString VxHttpStatusText(int status)
{
    static const QHash<int, const char *> texts = {
        {301, "la pagina è stata spostata"},
        {302, "la pagina è stata spostata"},
        {303, "la pagina è stata spostata"},
        {307, "la pagina è stata spostata"},
        {308, "la pagina è stata spostata"},
        {400, "richiesta non valida"},
        {401, "autenticazione richiesta"},
        {403, "accesso negato"},
        {404, "pagina non trovata"},
        {405, "metodo non consentito"},
        {408, "tempo di attesa della richiesta scaduto"},
        {413, "richiesta troppo grande"},
        {429, "troppe richieste"},
        {500, "errore interno del server"},
        {501, "funzione non disponibile sul server"},
        {502, "risposta non valida dal server intermedio"},
        {503, "servizio non disponibile"},
        {504, "il server intermedio non ha ricevuto risposta in tempo"},
    };
    const char *text = texts.value(status);
    if (!text)
        text = status >= 500   ? "errore del server"
               : status >= 400 ? "richiesta rifiutata dal server"
               : status >= 300 ? "reindirizzamento non seguito"
                               : "risposta inattesa";
    return QStringLiteral("%1, %2").arg(status).arg(QString::fromUtf8(text));
}
