#include "platform/comm.h"

#include "platform/vxexception.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
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

// What went wrong on the way to the server, in the office's words; the network library's own
// text goes in the detail.
QString networkFailure(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("il server ha rifiutato la connessione");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("il server ha chiuso la connessione prima di rispondere");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("il server non è stato trovato: controllare l'indirizzo e la rete");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("il server non ha risposto in tempo");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("la connessione sicura (SSL) con il server non è riuscita");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("la rete non è disponibile");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("il proxy della rete non permette la connessione");
    case QNetworkReply::ProtocolUnknownError:
        return QStringLiteral("l'indirizzo non è di un server web (http o https)");
    default:
        return QStringLiteral("la comunicazione non è riuscita");
    }
}

EVxException communicationError(const QString &url, const QNetworkReply &reply)
{
    return EVxException(QStringLiteral("Errore di comunicazione con %1: %2.")
                            .arg(url, networkFailure(reply.error())),
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

void TdmxComm::http_get(const QString &url, const QString &fileName)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw EVxException(QStringLiteral("Impossibile scrivere il file %1: %2")
                               .arg(fileName, file.errorString()));
    run("GET", url, nullptr, QString(), file);
    if (!file.commit())
        throw EVxException(QStringLiteral("Impossibile scrivere il file %1: %2")
                               .arg(fileName, file.errorString()));
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

    QNetworkReply *networkReply = body ? m_manager.sendCustomRequest(request, method, *body)
                                       : m_manager.sendCustomRequest(request, method);
    QEventLoop loop;
    QTimer silence;
    silence.setSingleShot(true);
    silence.setInterval(m_timeout);
    bool timedOut = false;
    bool tooLarge = false;
    qint64 received = 0;
    QString writeError;
    connect(&silence, &QTimer::timeout, networkReply, [&] {
        timedOut = true;
        networkReply->abort();
    });
    // A reply larger than the limit is refused as soon as it says so, or as soon as its bytes
    // pass the limit, before it fills the disk or the memory of the caller's stream.
    const auto refuseTooLarge = [&] {
        tooLarge = true;
        networkReply->abort();
    };
    connect(networkReply, &QNetworkReply::metaDataChanged, networkReply, [&] {
        const QVariant length = networkReply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_maxReplySize)
            refuseTooLarge();
    });
    connect(networkReply, &QNetworkReply::readyRead, networkReply, [&] {
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
    });
    connect(networkReply, &QNetworkReply::uploadProgress, networkReply, [&] { silence.start(); });
    connect(networkReply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    silence.start();
    if (!networkReply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    silence.stop();

    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> owner(
        networkReply, [](QNetworkReply *r) { r->deleteLater(); });
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
        throw EVxException(QStringLiteral("La risposta di %1 supera il limite di %2 MB: ricezione "
                                          "interrotta.")
                               .arg(url)
                               .arg(m_maxReplySize / (1024 * 1024)));
    if (timedOut)
        throw EVxException(QStringLiteral("Il server non ha risposto entro %1 secondi (%2).")
                               .arg(m_timeout / 1000.0)
                               .arg(url));
    if (!writeError.isEmpty())
        throw EVxException(
            QStringLiteral("Impossibile salvare la risposta di %1: %2").arg(url, writeError));
    if (m_status == 0)
        throw communicationError(url, *networkReply);
    if (m_status < 200 || m_status > 299) {
        const QString reason =
            networkReply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        throw EVxException(QStringLiteral("Il server ha risposto con l'errore HTTP %1%2 (%3).")
                               .arg(m_status)
                               .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason)
                               .arg(url));
    }
    if (networkReply->error() != QNetworkReply::NoError)
        throw communicationError(url, *networkReply);
}
