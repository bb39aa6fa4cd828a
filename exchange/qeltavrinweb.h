#pragma once

// The client of the maker's web service "Tavrin-Web". A caller makes a connection for one
// piece of work: the login, then exactly one upload, export or delete.
//
//   TTavrinWebConnection web;            // the server of ParGen.ini [ServerWeb] Indirizzo
//   if (!web.Autentica(code)) ...        // asks the password; false: refused by the server
//   web.UploadCarica(zipPath);           // true when the server took the archive
//   web.ExportSessione(destFile, iSesId);
//   web.CancellaSessione(iSesId);
//
// Pages live under "<server>/nzapps/tavrinweb/". Sessions are known to the service by their
// number TAnsSesDwg.iSesId, never by the year-session's key. A reply means success only when
// its whole body is "OK". Every failure of the exchange with the server (a refused reply, an
// HTTP error, a time-out, a reply too large, a broken connection, a state that is not XML, a
// request never served) raises EVxException whose message starts with kCommError; the
// cancelled password prompt ("operazione interrotta"), an unreadable archive, a password
// character the server cannot receive, an unset server address and a login over plain
// "http://" to a server other than this computer (refused before the password is asked) are
// told as they are. The downloaded archive is readable by its owner only.
// The pauses between two questions about a request go through VxSleep (platform/sleep.h).
// With a wait window, its "Annulla" ends a request or a pause at once (EVxCancelled, told as
// "Procedura annullata dall'utente.", not as a communication error); each request also has
// TdmxComm's limit on a transfer that stops moving besides its silence limit, both from the
// general parameters.
// The password, its digest and the session cookie are never written into a message.

#include "platform/comm.h"

#include <QByteArray>
#include <QPointer>
#include <QString>

class TfmVxWait;

class TTavrinWebConnection
{
public:
    // Raises EVxException, before anything is asked or sent, when the general parameters name
    // no valid server address.
    TTavrinWebConnection();
    // The server's address: scheme, host and port, without a trailing "/".
    explicit TTavrinWebConnection(const QString &serverAddress);

    static const char kCommError[];
    static constexpr int kWaitMs = 30000;
    static constexpr int kUploadWaits = 20;
    static constexpr int kExportWaits = 60;
    // Texts from the server are a word or a small XML document: anything larger is refused
    // before it fills the memory. Downloads keep TdmxComm's own limit.
    static constexpr qint64 kTextReplyCap = 256 * 1024;

    bool Autentica(const QString &instituteCode);

    bool UploadCarica(const QString &zipPath);
    bool UploadCaricaRec(const QString &zipPath);
    bool UploadZip(const QString &zipPath, const QString &page);

    // On return the destination file holds the archive; on failure it is as it was.
    void ExportSessione(const QString &destFile, int codsessione);
    void ExportRecuperi(const QString &destFile, int codsessionerecupero);
    // pageFormat holds "%d" where the code goes.
    void RichiestaExport(const QString &destFile, const QString &pageFormat, int code);

    void CancellaSessione(int codsessione);
    void CancellaRecuperi();

    // The state of the institute's last request: the attribute STATO of the first child of
    // the root RICHIESTE, empty without either. Free: "Z", "W" or empty; ready: "W".
    QString StatoRichiesta();
    bool ServerLibero();
    bool ExportPronto();

    // The HTTP client, for the time limits of a test.
    TdmxComm &Comm() { return m_comm; }
    // The wait window whose "Annulla" ends the requests and the pauses.
    void SetWaitWindow(TfmVxWait *wait);
    // The largest archive a download accepts (the general parameters'; tests lower it).
    void setDownloadCap(qint64 bytes) { m_downloadCap = bytes; }

private:
    QString pageUrl(const QString &page) const;
    // Only the login goes without the cookie; every request carries at most one Cookie line.
    void setCookieLine(bool withCookie);
    QByteArray getText(const QString &page);
    QByteArray postText(const QString &page, const QByteArray &body, const QString &contentType,
                        bool withCookie);
    void CancellaSuServer(const QString &page, const QByteArray &notFoundReply,
                          const QString &notFoundMessage);

    QString m_address;
    TdmxComm m_comm;
    qint64 m_downloadCap = TdmxComm::kDefaultMaxReplySize;
    QString m_cookie;
    QPointer<TfmVxWait> m_wait;
};

// Delete the files of a session's (or a make-up phase's) web exchange from a work folder,
// where present, before a send writes them again. The folder text ends with a separator;
// Windows paths and any letter case are accepted for the folder. A file that is there but
// cannot be deleted raises EVxException: a stale packet would travel with the next send.
// Names match exactly: the web folder also keeps the folder mode's "Docenti.xml", which is
// not this send's "docenti.xml".
void DeleteExportFiles(const QString &dir);
void DeleteExportRecFiles(const QString &dir);
