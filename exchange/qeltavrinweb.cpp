#include "exchange/qeltavrinweb.h"

#include "exchange/qelaskpasswd.h"
#include "platform/cp1252.h"
#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "platform/sleep.h"
#include "platform/uploadbody.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "platform/xmldoc.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QUrl>

const char TTavrinWebConnection::kCommError[] =
    "Errore di comunicazione con il Server Veldrasoft: ";

namespace {

const char kPagePath[] = "/nzapps/tavrinweb/";
const char kFormType[] = "application/x-www-form-urlencoded";

// Runs a step of the exchange with the server: whatever goes wrong in it reaches the caller
// as a communication error, with what went wrong after the prefix.
template <typename Step> auto guarded(Step &&step) -> decltype(step())
{
    try {
        return step();
    } catch (const EVxCancelled &) {
        throw;
    } catch (const EVxException &e) {
        throw EVxException(QString::fromUtf8(TTavrinWebConnection::kCommError) + e.message(),
                           e.severity(), e.detail());
    }
}

// The server's texts are PHP's: UTF-8 when they are, else the Windows-1252 of older pages.
QString replyText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? decodeCp1252(bytes) : text;
}

// The institute code as a form value: its Windows-1252 bytes, every one but letters, digits
// and "-._~" percent-encoded, so that "&", "=", "+", "%" or a blank cannot split or bend the
// form. An alphanumeric code goes as it is.
QByteArray formValue(const QString &code)
{
    const std::optional<QByteArray> bytes = encodeCp1252(code);
    if (!bytes)
        throw EVxException(QStringLiteral("Il codice dell'istituto \"%1\" contiene caratteri che "
                                          "il server Veldrasoft non accetta.")
                               .arg(code));
    return bytes->toPercentEncoding();
}

// The login's digest and the session cookie travel in the clear over http://: anyone on the
// way could replay them. Only a server on this computer (a test, a tunnel) is spoken to so.
void refusePlainLogin(const QString &address)
{
    const QUrl url(address);
    if (url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0)
        return;
    const QHostAddress host(url.host());
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
        host.isLoopback())
        return;
    throw EVxException(QStringLiteral("Il server Veldrasoft è indicato con \"http://\" (%1): la "
                                      "password e la sessione viaggerebbero in chiaro. Indicare "
                                      "l'indirizzo con \"https://\" in ParGen.ini, sezione "
                                      "[ServerWeb], voce Indirizzo.")
                           .arg(address));
}

void deleteFiles(const QString &dir, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        const QString path = LongDir(resolvePath(dir)) + QLatin1String(name);
        QFile file(path);
        if (file.exists() && !file.remove())
            throw EVxException(QStringLiteral("Impossibile cancellare il file %1: %2")
                                   .arg(QDir::toNativeSeparators(path), VxFileErrorText(file)));
    }
}

} // namespace

TTavrinWebConnection::TTavrinWebConnection()
    : TTavrinWebConnection(dmqelParGen ? dmqelParGen->WebServerAddress()
                                       : TdmqelParGen().WebServerAddress())
{
}

TTavrinWebConnection::TTavrinWebConnection(const QString &serverAddress) : m_address(serverAddress)
{
    WithParGen([this](const TdmqelParGen &parGen) { parGen.ApplyWebLimits(m_comm); });
    m_downloadCap = m_comm.MaxReplySize();
}

void TTavrinWebConnection::SetWaitWindow(TfmVxWait *wait)
{
    m_wait = wait;
    m_comm.setWaitWindow(wait);
}

QString TTavrinWebConnection::pageUrl(const QString &page) const
{
    return m_address + QLatin1String(kPagePath) + page;
}

void TTavrinWebConnection::setCookieLine(bool withCookie)
{
    // TdmxComm keeps its header lines and would join two Cookie lines into one.
    m_comm.CustomHeaders().clear();
    if (withCookie && !m_cookie.isEmpty())
        m_comm.CustomHeaders() << QStringLiteral("Cookie:") + m_cookie;
}

QByteArray TTavrinWebConnection::getText(const QString &page)
{
    setCookieLine(true);
    m_comm.setMaxReplySize(kTextReplyCap);
    QBuffer reply;
    reply.open(QIODevice::WriteOnly);
    m_comm.http_get(pageUrl(page), reply);
    return reply.data();
}

QByteArray TTavrinWebConnection::postText(const QString &page, const QByteArray &body,
                                          const QString &contentType, bool withCookie)
{
    setCookieLine(withCookie);
    m_comm.setMaxReplySize(kTextReplyCap);
    m_comm.setContentType(contentType);
    QByteArray bytes = body;
    QBuffer request(&bytes);
    request.open(QIODevice::ReadOnly);
    QBuffer reply;
    reply.open(QIODevice::WriteOnly);
    m_comm.http_post(pageUrl(page), request, reply);
    return reply.data();
}

bool TTavrinWebConnection::Autentica(const QString &instituteCode)
{
    refusePlainLogin(m_address);
    const QByteArray code = formValue(instituteCode);
    QString password;
    {
        TfmAskPasswd prompt(instituteCode);
        if (prompt.ShowModal() != mrOk)
            throw EVxException(QStringLiteral("operazione interrotta"));
        QCoreApplication::processEvents();
        password = prompt.edPasswd()->text().trimmed();
    }
    // From the system's source: a generator seeded from the clock repeats the nonce of two
    // logins within one tick.
    const QString nonce = QString::number(QRandomGenerator::system()->bounded(99999));
    const QString digest = Md5Hex(password + nonce);
    const QByteArray form = "IDISTITUTO=" + code + "&PASSWORD2=" + nonce.toLatin1() +
                            "&PASSWORD=" + digest.toLatin1() + "&";
    return guarded([&] {
        const QByteArray reply =
            postText(QStringLiteral("autentica.php"), form, QLatin1String(kFormType), false);
        // The first Set-Cookie whole (attributes included), on one line: a second header,
        // which the HTTP layer joins with a line feed, would otherwise be sent back as a
        // header of its own.
        m_cookie.clear();
        for (const auto &header : m_comm.ReplyHeaders()) {
            if (header.first.compare("Set-Cookie", Qt::CaseInsensitive) != 0)
                continue;
            QByteArray value = header.second;
            const qsizetype end = value.indexOf('\n');
            if (end >= 0)
                value.truncate(end);
            m_cookie = QString::fromLatin1(value.replace('\r', QByteArray()));
            break;
        }
        if (reply == "OK")
            return true;
        // The service refuses in a short line of its own (PHP's, sent as text/html); a page
        // (a proxy's, a maintenance notice) or nothing at all is no verdict on the password.
        const QByteArray text = reply.trimmed();
        const bool refusal =
            !text.isEmpty() && text.size() <= 200 && !text.contains('\n') && !text.contains('<');
        if (refusal)
            return false;
        const QString first = replyText(text).section(u'\n', 0, 0).trimmed();
        throw EVxException(QStringLiteral("Il server ha risposto in modo inatteso all'accesso "
                                          "(HTTP %1): %2")
                               .arg(m_comm.StatusCode())
                               .arg(first.isEmpty()
                                        ? QStringLiteral("risposta vuota")
                                        : QStringLiteral("\"%1\"").arg(CutLine(first, 120))));
    });
}

bool TTavrinWebConnection::UploadCarica(const QString &zipPath)
{
    return UploadZip(zipPath, QStringLiteral("carica.php"));
}

bool TTavrinWebConnection::UploadCaricaRec(const QString &zipPath)
{
    return UploadZip(zipPath, QStringLiteral("caricarec.php"));
}

bool TTavrinWebConnection::UploadZip(const QString &zipPath, const QString &page)
{
    QFile file;
    if (!VxOpenRegularFile(file, resolvePath(zipPath)))
        throw EVxException(QStringLiteral("Impossibile leggere il file %1: %2")
                               .arg(zipPath, VxFileErrorText(file)));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EVxException(QStringLiteral("Impossibile leggere il file %1: %2")
                               .arg(zipPath, VxFileErrorText(file)));
    const QByteArray body =
        uploadBody(zipPath, bytes, QStringLiteral("nascosto"), QStringLiteral("Submit"));
    return guarded([&] {
        for (int waits = 0; !ServerLibero(); ++waits) {
            if (waits == kUploadWaits)
                throw EVxException(QStringLiteral("Richiesta non evasa"));
            VxSleep(kWaitMs, m_wait);
        }
        return postText(page, body, uploadContentType(), true) == "OK";
    });
}

void TTavrinWebConnection::ExportSessione(const QString &destFile, int codsessione)
{
    RichiestaExport(destFile, QStringLiteral("richiestaexport.php?codsessione=%d"), codsessione);
}

void TTavrinWebConnection::ExportRecuperi(const QString &destFile, int codsessionerecupero)
{
    RichiestaExport(destFile, QStringLiteral("RichiestaExportRec.php?codsessionerecupero=%d"),
                    codsessionerecupero);
}

void TTavrinWebConnection::RichiestaExport(const QString &destFile, const QString &pageFormat,
                                           int code)
{
    guarded([&] {
        const QString page =
            QString(pageFormat).replace(QLatin1String("%d"), QString::number(code));
        if (getText(page) != "OK")
            throw EVxException(QStringLiteral("Richiesta export non accettata"));
        // The first question comes a pause after the request.
        for (int waits = 0;;) {
            if (waits == kExportWaits)
                throw EVxException(QStringLiteral("Richiesta non evasa"));
            VxSleep(kWaitMs, m_wait);
            ++waits;
            if (ExportPronto())
                break;
        }
        setCookieLine(true);
        m_comm.setMaxReplySize(m_downloadCap);
        // The archive carries the teachers' credentials.
        m_comm.http_get(pageUrl(QStringLiteral("scarica.php")), resolvePath(destFile),
                        TVxFileAccess::OwnerOnly);
    });
}

void TTavrinWebConnection::CancellaSessione(int codsessione)
{
    CancellaSuServer(QStringLiteral("cancellasessione.php?codsessione=%1").arg(codsessione),
                     "SESSIONE NON TROVATA", QStringLiteral("Sessione non presente nel server"));
}

void TTavrinWebConnection::CancellaRecuperi()
{
    CancellaSuServer(QStringLiteral("cancellarecuperi.php"), "Recuperi non trovati",
                     QStringLiteral("Recuperi non presente nel server"));
}

void TTavrinWebConnection::CancellaSuServer(const QString &page, const QByteArray &notFoundReply,
                                            const QString &notFoundMessage)
{
    guarded([&] {
        const QByteArray reply = getText(page);
        if (reply == "OK")
            return;
        throw EVxException(reply == notFoundReply ? notFoundMessage : replyText(reply));
    });
}

QString TTavrinWebConnection::StatoRichiesta()
{
    VxXmlDocument state;
    const QString page = QStringLiteral("statorichiesta.php");
    state.loadText(replyText(getText(page)), QStringLiteral("della risposta a ") + page);
    const QDomElement root = state.root();
    if (root.tagName() != QLatin1String("RICHIESTE"))
        return QString();
    const QDomElement first = root.firstChildElement();
    if (first.isNull())
        return QString();
    return VxXmlDocument::attribute(first, QStringLiteral("STATO")).value_or(QString());
}

bool TTavrinWebConnection::ServerLibero()
{
    const QString state = StatoRichiesta();
    return state.isEmpty() || state == QLatin1String("Z") || state == QLatin1String("W");
}

bool TTavrinWebConnection::ExportPronto()
{
    return StatoRichiesta() == QLatin1String("W");
}

void DeleteExportFiles(const QString &dir)
{
    deleteFiles(dir,
                {"clsmat.xml", "voti.xml", "livelli.xml", "livvtp.xml", "debiti.xml", "esideb.xml",
                 "istituto.xml", "docenti.xml", "sessioni.xml", "classenote.xml"});
}

void DeleteExportRecFiles(const QString &dir)
{
    deleteFiles(dir, {"recuperi.xml", "frerec.xml", "tiprec.xml", "prvrec.xml", "esirec.xml",
                      "istituto.xml"});
}
