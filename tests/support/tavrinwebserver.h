#pragma once

// A stand-in for the maker's web service "Tavrin-Web", for every test of the web exchange: an
// HTTP/1.1 server on 127.0.0.1 only, on a free port, answering in a thread of its own (so that
// a test may block on a process, curl, while it serves), started by the object and stopped
// with it.
//
//   TavrinWebTestServer server;
//   server.nameInParGen();                     // ETC\ParGen.ini [ServerWeb] Indirizzo
//   server.setInstitute("ABCD01000X", "segreto");
//   ... the program logs in, uploads, asks, downloads, deletes ...
//   server.requests(), server.uploads(), server.logins(), server.problems()
//
// It speaks the service's protocol under /nzapps/tavrinweb/, pages matched with their case:
// the login checks the form line byte for byte and the digest against the institute's
// password, and answers with a session cookie (also when it refuses); every other page wants
// that cookie, and without it answers a text other than "OK". Uploads are parsed strictly
// (boundary, part headers, field names, ZIP) and kept per institute and page; what it found
// wrong is in problems(). The state page answers from a script, then from the server's own
// state ("W" once an export was asked for, else "Z"); the download sends the archive the test
// gives or builds. Fault switches bend the replies of one page, or of every page.
//
// Routes that tests add (addRoute) run in the server's thread, as the built-in ones do.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TavrinWebTestServer
{
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    struct Request
    {
        QByteArray method;
        QByteArray path;  // without the query
        QByteArray query; // after "?", as sent
        Headers headers;  // in order, repeated ones kept
        QByteArray body;  // as received
        QByteArray header(const QByteArray &name) const;
        int headerCount(const QByteArray &name) const;
        QByteArray page() const; // the path's last part ("carica.php")
    };

    struct Reply
    {
        int status = 200;
        QByteArray body;
        Headers headers;
    };

    struct Login
    {
        QString institute; // the form's code, decoded
        QByteArray nonce;
        bool accepted = false;
    };

    struct Upload
    {
        QString institute;
        QByteArray page; // "carica.php", "caricarec.php"
        QString fileName;
        QByteArray zip;
        QStringList entries;
    };

    // A request for which the service does something: an export asked for, a deletion.
    struct Order
    {
        QString institute;
        QByteArray page;
        QByteArray query;
    };

    enum class Fault {
        None,
        Status500,
        Redirect302,
        OkWithLineBreak, // a reply "OK" becomes "OK\r\n"
        OkLowerCase,     // ... "ok"
        TwoCookies,      // a second Set-Cookie header
        Slow,            // the reply comes after slowMs
        Trickle,         // the reply one byte every slowMs, never silent for long
        Drip,            // the head at once, then the body one byte every slowMs
        Steady,          // ... the body 32 KB every slowMs, as a slow line carries it
        OverCapDeclared, // a body of overCapBytes, with its length
        OverCapUndeclared,
        CloseBeforeReply,
        CloseMidBody,    // the length declared, half the body sent, then closed
        MaintenancePage, // a web page in place of the reply, as a proxy or a notice gives it
        OneLineMarkup,   // ... the same page on one short line
        GzipEncoded,     // the body said to be gzip-compressed (the test gives its bytes)
    };

    enum class ArchiveFault {
        None,
        Truncated,
        Empty,          // no byte at all
        DotDotEntry,    // the first entry renamed "../" + name
        AbsoluteEntry,  // "/tmp/" + name
        SubFolderEntry, // "cartella/" + name
        OtherCaseEntry, // the name in capitals
    };

    TavrinWebTestServer();
    ~TavrinWebTestServer();
    TavrinWebTestServer(const TavrinWebTestServer &) = delete;
    TavrinWebTestServer &operator=(const TavrinWebTestServer &) = delete;

    QString address() const; // "http://127.0.0.1:<port>"
    quint16 port() const;
    // Writes the address into the main folder's ETC\ParGen.ini, [ServerWeb] Indirizzo.
    void nameInParGen() const;

    void setInstitute(const QString &code, const QString &password);

    // An empty page: every page.
    void setFault(Fault fault, const QByteArray &page = QByteArray());
    // A slow reply comes after this time (3 s), a trickling one a byte each such time; a reply
    // over the cap has this size (1 MB).
    void setSlowMs(int milliseconds);
    void setOverCapBytes(qint64 bytes);

    // The next replies of the state page, in order (stateDocument() and the odd ones below).
    void setStates(const QList<QByteArray> &replies);
    void setNeverReady(bool on);
    static QByteArray stateDocument(const QByteArray &state);
    static QByteArray stateRootWithoutChild();
    static QByteArray stateChildWithoutState();
    static QByteArray stateMalformed();
    // A state of 190 KB whose entities would expand to hundreds of millions of characters.
    static QByteArray stateWithEntities();

    void setExportReply(const QByteArray &reply);
    void setDeleteReply(const QByteArray &reply);
    void setDownload(const QByteArray &zip);
    // Builds the download from what the institute sent, when set (replaces setDownload).
    void setDownloadBuilder(const std::function<QByteArray(const QString &institute)> &builder);
    void setArchiveFault(ArchiveFault fault);

    // A page of the test's own (path as the client sends it, e.g. "/nzapps/tavrinweb/x.php");
    // the institute is the session's, empty without a valid cookie.
    void addRoute(const QByteArray &method, const QByteArray &path,
                  const std::function<Reply(const Request &, const QString &institute)> &route);

    QList<Request> requests() const;
    QList<Request> requestsTo(const QByteArray &page) const;
    QList<Login> logins() const;
    QList<Upload> uploads() const;
    QList<Order> orders() const;
    // The archive of the institute's last upload to the page; empty without one.
    QByteArray lastUploadZip(const QString &institute, const QByteArray &page) const;
    // A number of the institute's last order of the page ("codsessione"), 0 without one.
    int lastOrderNumber(const QString &institute, const QByteArray &page,
                        const QString &item) const;
    QStringList problems() const;

    // ZIP archives in memory, entries named exactly as given.
    static QByteArray zipBytes(const QList<QPair<QByteArray, QByteArray>> &entries);
    // The entries of an archive; none when it cannot be read.
    static QList<QPair<QByteArray, QByteArray>> zipEntries(const QByteArray &zip,
                                                           bool *ok = nullptr);

    class Worker;

private:
    std::unique_ptr<Worker> m_worker;
};
