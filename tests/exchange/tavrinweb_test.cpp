#include "exchange/qeltavrinweb.h"
#include "platform/cp1252.h"
#include "platform/digest.h"
#include "platform/fileaccess.h"
#include "platform/sleep.h"
#include "platform/vxexception.h"
#include "tests/exchange/tavrinwebfixture.h"
#include "tests/support/tavrinwebserver.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {

using Server = TavrinWebTestServer;
using Fault = TavrinWebTestServer::Fault;

const QString kCode = QStringLiteral("ABCD01000X");
const QString kPassword = QStringLiteral("segreto");
const QString kPrefix = QString::fromUtf8(TTavrinWebConnection::kCommError);

QList<QByteArray> repeated(const QByteArray &reply, int times)
{
    QList<QByteArray> list;
    for (int i = 0; i < times; ++i)
        list << reply;
    return list;
}

class TavrinWeb : public ::testing::Test
{
protected:
    TavrinWeb() { fresh(); }

    // A server of its own for a case of a table.
    Server &fresh()
    {
        server.reset();
        server = std::make_unique<Server>();
        server->setInstitute(kCode, kPassword);
        return *server;
    }

    std::unique_ptr<TTavrinWebConnection> loggedIn()
    {
        auto web = std::make_unique<TTavrinWebConnection>(server->address());
        queuePassword(kPassword);
        EXPECT_TRUE(web->Autentica(kCode));
        return web;
    }

    QString archive(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("twdocenti.zip"));
        writeFileBytes(path, bytes);
        return path;
    }

    // The message the work raised; empty when it raised nothing.
    static QString failure(const std::function<void()> &work)
    {
        try {
            work();
        } catch (const EVxException &e) {
            return e.message();
        }
        return QString();
    }

    ScriptedDialogs dialogs;
    ScriptedSleeps sleeps;
    QTemporaryDir dir;
    std::unique_ptr<Server> server;
    const QByteArray zip =
        Server::zipBytes({{"voti.xml", "<DATAPACKET/>"}, {"docenti.xml", "<A/>"}});
};

TEST_F(TavrinWeb, LoginSendsOneFormLineWhoseDigestTheServerChecks)
{
    for (int i = 0; i < 2; ++i) {
        TTavrinWebConnection web(server->address());
        queuePassword(QStringLiteral("  ") + kPassword + QStringLiteral(" "));
        EXPECT_TRUE(web.Autentica(kCode));
    }
    static const QRegularExpression form(QStringLiteral(
        "^IDISTITUTO=ABCD01000X&PASSWORD2=(0|[1-9][0-9]*)&PASSWORD=([0-9a-f]{32})&$"));
    QList<QByteArray> nonces;
    for (const Server::Request &r : server->requestsTo("autentica.php")) {
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.path, "/nzapps/tavrinweb/autentica.php");
        EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.headerCount("Cookie"), 0);
        const QRegularExpressionMatch m = form.match(QString::fromLatin1(r.body));
        ASSERT_TRUE(m.hasMatch()) << r.body.constData();
        EXPECT_LE(m.captured(1).toInt(), 99998);
        EXPECT_EQ(m.captured(2), md5Hex((kPassword + m.captured(1)).toLatin1()));
        nonces << m.captured(1).toLatin1();
    }
    ASSERT_EQ(nonces.size(), 2);
    EXPECT_NE(nonces[0], nonces[1]);
    EXPECT_EQ(server->problems(), QStringList());
}

TEST_F(TavrinWeb, RefusedLoginsReturnFalseAndKeepTheirCookie)
{
    const struct
    {
        const char *name;
        QString password;
        Fault fault;
        QString next; // what the next request meets
    } cases[] = {
        {"wrong password", QStringLiteral("sbagliata"), Fault::None,
         kPrefix + "Sessione non valida"},
        {"OK and a line break", kPassword, Fault::OkWithLineBreak, QString()},
        {"ok in small letters", kPassword, Fault::OkLowerCase, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fresh().setFault(c.fault, "autentica.php");
        TTavrinWebConnection web(server->address());
        queuePassword(c.password);
        EXPECT_FALSE(web.Autentica(kCode));
        // The cookie of the refused login goes with the next request all the same.
        EXPECT_EQ(failure([&] { web.CancellaRecuperi(); }), c.next);
        const QList<Server::Request> deletes = server->requestsTo("cancellarecuperi.php");
        ASSERT_EQ(deletes.size(), 1);
        EXPECT_TRUE(deletes[0].header("Cookie").startsWith("TWSESSID="));
    }
}

TEST_F(TavrinWeb, NothingIsSentWithoutAPasswordOrACodeTheServerCanRead)
{
    TTavrinWebConnection web(server->address());
    DialogSeam::queueModalScript([](QDialog *dialog) {
        auto *prompt = qobject_cast<TfmAskPasswd *>(dialog);
        EXPECT_EQ(prompt->windowTitle(), QStringLiteral("Password connessione al Server"));
        // It says whose password it asks.
        EXPECT_EQ(prompt->laDomanda()->text(),
                  QStringLiteral("Password dell'istituto %1 per il servizio Tavrin-Web di "
                                 "Veldrasoft:")
                      .arg(kCode));
        QLabel *label = prompt->findChildren<QLabel *>().last();
        EXPECT_EQ(label->text(), QStringLiteral("&Password:"));
        EXPECT_EQ(label->buddy(), prompt->edPasswd());
        EXPECT_EQ(prompt->edPasswd()->echoMode(), QLineEdit::Password);
        EXPECT_EQ(prompt->focusWidget(), prompt->edPasswd());
        prompt->edPasswd()->setText(QStringLiteral("segreto"));
        saveScreenshot(prompt, QStringLiteral("askpasswd.png"));
        return int(mrCancel);
    });
    EXPECT_EQ(failure([&] { web.Autentica(kCode); }), QStringLiteral("operazione interrotta"));

    queuePassword(QStringLiteral("Łódź"));
    const QString password = failure([&] { web.Autentica(kCode); });
    EXPECT_TRUE(password.startsWith(QStringLiteral("Il testo contiene caratteri")))
        << password.toStdString();

    DialogSeam::clearShown();
    const QString code = failure([&] { web.Autentica(QStringLiteral("ŁD01")); });
    EXPECT_TRUE(code.contains(QStringLiteral("ŁD01"))) << code.toStdString();
    // The digest and the cookie in the clear to another computer; this one's are the tests'.
    for (const char *address : {"http://192.0.2.7", "HTTP://scuola.example.it:8080"}) {
        const QString plain =
            failure([&] { TTavrinWebConnection(QString::fromLatin1(address)).Autentica(kCode); });
        EXPECT_TRUE(plain.contains(QStringLiteral("indirizzo con \"https://\""))) << address;
    }
    EXPECT_EQ(DialogSeam::shown().size(), 0); // refused before the prompt
    EXPECT_EQ(server->requests().size(), 0);
}

TEST_F(TavrinWeb, AnInstituteCodeWithFormCharactersReachesTheServerWhole)
{
    const QString code = QStringLiteral("IST&1=A B+è%");
    server->setInstitute(code, kPassword);
    TTavrinWebConnection web(server->address());
    queuePassword(kPassword);
    EXPECT_TRUE(web.Autentica(code));
    ASSERT_EQ(server->logins().size(), 1);
    EXPECT_EQ(server->logins()[0].institute, code);
    EXPECT_TRUE(server->requests()[0].body.startsWith("IDISTITUTO=IST%261%3DA%20B%2B%E8%25&"));
}

TEST_F(TavrinWeb, EveryRequestAfterTheLoginCarriesOneCleanCookieLine)
{
    for (const Fault fault : {Fault::None, Fault::TwoCookies}) {
        SCOPED_TRACE(int(fault));
        fresh().setFault(fault, "autentica.php");
        server->setDownload(zip);
        EXPECT_TRUE(loggedIn()->UploadCarica(archive(zip)));
        loggedIn()->ExportSessione(dir.filePath(QStringLiteral("export.zip")), 2);
        loggedIn()->CancellaSessione(2);

        static const QRegularExpression cookie(
            QStringLiteral("^TWSESSID=[0-9a-f]{16}; path=/nzapps/tavrinweb/; HttpOnly$"));
        QSet<QByteArray> pages;
        for (const Server::Request &r : server->requests()) {
            pages << r.page();
            if (r.page() == "autentica.php") {
                EXPECT_EQ(r.headerCount("Cookie"), 0);
                continue;
            }
            EXPECT_EQ(r.headerCount("Cookie"), 1) << r.page().constData();
            EXPECT_TRUE(cookie.match(QString::fromLatin1(r.header("Cookie"))).hasMatch())
                << r.header("Cookie").constData();
        }
        EXPECT_EQ(server->problems(), QStringList());
        EXPECT_EQ(pages,
                  (QSet<QByteArray>{"autentica.php", "statorichiesta.php", "carica.php",
                                    "richiestaexport.php", "scarica.php", "cancellasessione.php"}));
    }
}

TEST_F(TavrinWeb, TheUploadArrivesAsTheGoldenBodyAroundTheArchive)
{
    const QString path = archive(zip);
    EXPECT_TRUE(loggedIn()->UploadCarica(path));
    EXPECT_TRUE(loggedIn()->UploadCaricaRec(path));
    const QByteArray delimiter = "-----------------------------7d63cc3b1f02ae";
    const QByteArray golden =
        delimiter + "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" +
        path.toLatin1() + "\"\r\nContent-Type: application/x-zip-compressed\r\n\r\n" + zip +
        "\r\n" + delimiter +
        "\r\nContent-Disposition: form-data; name=\"nascosto\"\r\n\r\nSubmit\r\n" + delimiter +
        "--\r\n";
    for (const QByteArray page : {"carica.php", "caricarec.php"}) {
        const QList<Server::Request> posts = server->requestsTo(page);
        ASSERT_EQ(posts.size(), 1) << page.constData();
        EXPECT_EQ(posts[0].body, golden);
        EXPECT_EQ(posts[0].header("Content-Type"),
                  "multipart/form-data; boundary=---------------------------7d63cc3b1f02ae");
    }
    const QList<Server::Upload> uploads = server->uploads();
    ASSERT_EQ(uploads.size(), 2);
    EXPECT_EQ(uploads[1].page, "caricarec.php");
    EXPECT_EQ(uploads[0].institute, kCode);
    EXPECT_EQ(uploads[0].fileName, path);
    EXPECT_EQ(uploads[0].entries, (QStringList{"voti.xml", "docenti.xml"}));

    // An archive that cannot be read stops the upload before the server hears of it.
    const qsizetype before = server->requests().size();
    auto web = loggedIn();
    const QString missing = failure([&] { web->UploadCarica(dir.filePath("manca.zip")); });
    EXPECT_TRUE(missing.startsWith(QStringLiteral("Impossibile leggere il file")))
        << missing.toStdString();
    EXPECT_EQ(server->requests().size(), before + 1); // the login only
}

TEST_F(TavrinWeb, TheUploadWaitsTwentyTimesAtMostForAFreeServer)
{
    const struct
    {
        const char *name;
        QList<QByteArray> states;
        QString error; // empty: uploaded
        int waits;
    } cases[] = {
        {"free after 20 waits", repeated(Server::stateDocument("E"), 20), QString(), 20},
        {"busy for 21 queries", repeated(Server::stateDocument("E"), 21),
         kPrefix + "Richiesta non evasa", 20},
        {"W is free", {Server::stateDocument("W")}, QString(), 0},
        {"a root without a child", {Server::stateRootWithoutChild()}, QString(), 0},
        {"a child without STATO", {Server::stateChildWithoutState()}, QString(), 0},
        {"malformed XML", {Server::stateMalformed()}, kPrefix + "Documento XML non valido", 0},
        {"a notice, no document",
         {"Servizio in manutenzione"},
         kPrefix + "Documento XML non valido (riga 1, colonna 1).",
         0},
        {"entities declared",
         {Server::stateWithEntities()},
         kPrefix + "Il documento XML della risposta a statorichiesta.php dichiara un DTD",
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fresh().setStates(c.states);
        ScriptedSleeps waits;
        auto web = loggedIn();
        bool uploaded = false;
        const QString error = failure([&] { uploaded = web->UploadCarica(archive(zip)); });
        EXPECT_TRUE(c.error.isEmpty() ? error.isEmpty() : error.startsWith(c.error))
            << error.toStdString();
        // The XML reader's own English stays in the details.
        EXPECT_FALSE(error.contains(QRegularExpression("expected|tag|mismatch")))
            << error.toStdString();
        EXPECT_EQ(uploaded, c.error.isEmpty());
        EXPECT_EQ(server->uploads().size(), c.error.isEmpty() ? 1 : 0);
        EXPECT_EQ(waits.durations(), QList<int>(c.waits, 30000));
        EXPECT_EQ(server->requestsTo("statorichiesta.php").size(), qsizetype(c.waits + 1));
    }
}

TEST_F(TavrinWeb, TheExportIsAskedForAwaitedAndDownloaded)
{
    QList<QByteArray> readyAt60 = repeated(Server::stateDocument("E"), 59);
    readyAt60 << Server::stateDocument("W");
    const struct
    {
        const char *name;
        bool makeUp;
        QList<QByteArray> states;
        bool neverReady;
        QByteArray reply;
        QString error;
        int waits;
        Fault download = Fault::None;
    } cases[] = {
        {"ready at the 60th query", false, readyAt60, false, "OK", QString(), 60},
        // Longer than the time limit, never stalling: never cut.
        {"a download that keeps moving", false, {}, false, "OK", QString(), 1, Fault::Steady},
        {"make-up data, ready at once", true, {}, false, "OK", QString(), 1},
        {"never ready", false, {}, true, "OK", kPrefix + "Richiesta non evasa", 60},
        {"refused", true, {}, false, "NO", kPrefix + "Richiesta export non accettata", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fresh().setStates(c.states);
        server->setNeverReady(c.neverReady);
        server->setExportReply(c.reply);
        server->setFault(c.download, "scarica.php");
        server->setSlowMs(100);
        // What a slow line takes over two seconds: a few hundred KB that nothing shrinks.
        QByteArray bulk(600 * 1024, Qt::Uninitialized);
        QRandomGenerator(2009).fillRange(reinterpret_cast<quint32 *>(bulk.data()), bulk.size() / 4);
        const QByteArray archive =
            c.download == Fault::Steady ? Server::zipBytes({{"voti.xml", bulk}}) : zip;
        server->setDownload(archive);
        ScriptedSleeps waits;
        qsizetype queriesAtFirstWait = -1;
        waits.onSleep = [&](int n) {
            if (n == 1)
                queriesAtFirstWait = server->requestsTo("statorichiesta.php").size();
        };
        const QString dest = dir.filePath(QStringLiteral("export.zip"));
        QFile::remove(dest);
        auto web = loggedIn();
        web->Comm().setTimeLimit(1500);
        const QString error = failure([&] {
            if (c.makeUp)
                web->ExportRecuperi(dest, 3);
            else
                web->ExportSessione(dest, 2);
        });
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(readFileBytes(dest), c.error.isEmpty() ? archive : QByteArray());
        EXPECT_EQ(VxIsOwnerOnly(dest), c.error.isEmpty()); // the teachers' credentials
        EXPECT_EQ(waits.durations(), QList<int>(c.waits, 30000));
        EXPECT_EQ(server->requestsTo("statorichiesta.php").size(), qsizetype(c.waits));
        if (c.waits > 0) {
            EXPECT_EQ(queriesAtFirstWait, 0);
        }
        EXPECT_EQ(server->requestsTo("scarica.php").size(), c.error.isEmpty() ? 1 : 0);
        const QList<Server::Order> orders = server->orders();
        ASSERT_EQ(orders.size(), 1);
        EXPECT_EQ(orders[0].page, c.makeUp ? "RichiestaExportRec.php" : "richiestaexport.php");
        EXPECT_EQ(orders[0].query, c.makeUp ? "codsessionerecupero=3" : "codsessione=2");
    }
}

TEST_F(TavrinWeb, DeleteRepliesMapToTheirMessages)
{
    const struct
    {
        bool makeUp;
        QByteArray reply;
        QString error;
    } cases[] = {
        {false, "OK", QString()},
        {true, "OK", QString()},
        {false, "SESSIONE NON TROVATA", kPrefix + "Sessione non presente nel server"},
        {true, "Recuperi non trovati", kPrefix + "Recuperi non presente nel server"},
        // Each page has its own word for "not found": the other's is just a reply.
        {false, "Recuperi non trovati", kPrefix + "Recuperi non trovati"},
        {true, "Archivio bloccato, riprovare più tardi",
         kPrefix + "Archivio bloccato, riprovare più tardi"},
        {false, "OK\r\n", kPrefix + "OK\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply.constData());
        fresh().setDeleteReply(c.reply);
        auto web = loggedIn();
        EXPECT_EQ(failure([&] {
                      if (c.makeUp)
                          web->CancellaRecuperi();
                      else
                          web->CancellaSessione(2);
                  }),
                  c.error);
        const QList<Server::Order> orders = server->orders();
        ASSERT_EQ(orders.size(), 1);
        EXPECT_EQ(orders[0].page, c.makeUp ? "cancellarecuperi.php" : "cancellasessione.php");
        EXPECT_EQ(orders[0].query, c.makeUp ? "" : "codsessione=2");
    }
}

// The archives a collection must refuse come from the server as the test asks.
TEST_F(TavrinWeb, TheServerBendsItsDownloadAsAsked)
{
    using Archive = Server::ArchiveFault;
    const struct
    {
        Archive fault;
        QByteArray first; // empty: not an archive any more
    } cases[] = {
        {Archive::DotDotEntry, "../voti.xml"},
        {Archive::AbsoluteEntry, "/tmp/voti.xml"},
        {Archive::SubFolderEntry, "cartella/voti.xml"},
        {Archive::OtherCaseEntry, "VOTI.XML"},
        {Archive::Truncated, ""},
        {Archive::Empty, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.fault));
        fresh().setDownload(zip);
        server->setArchiveFault(c.fault);
        const QString dest = dir.filePath(QStringLiteral("export.zip"));
        loggedIn()->ExportSessione(dest, 2);
        const QByteArray bytes = readFileBytes(dest);
        bool ok = false;
        const QList<QPair<QByteArray, QByteArray>> entries = Server::zipEntries(bytes, &ok);
        EXPECT_EQ(ok, !c.first.isEmpty());
        if (ok) {
            EXPECT_EQ(entries.value(0).first, c.first);
            EXPECT_EQ(entries.value(1).first, "docenti.xml");
        } else {
            EXPECT_EQ(bytes.size(), c.fault == Archive::Empty ? 0 : zip.size() / 2);
        }
    }
}

// Whatever breaks in the exchange is a communication error, the file that was being replaced
// stays as it was, and no text told or logged holds the password, a digest or the cookie.
TEST_F(TavrinWeb, BrokenExchangesFailCleanlyAndKeepTheSecrets)
{
    QStringList logged;
    static QStringList *sink = nullptr;
    sink = &logged;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { *sink << text; });
    const struct
    {
        Fault fault;
        QByteArray page;
        bool fileThere;
        const char *says = ""; // part of the message
    } cases[] = {
        {Fault::Status500, "autentica.php", true},
        {Fault::Redirect302, "autentica.php", true},
        {Fault::Status500, "scarica.php", true},
        {Fault::Redirect302, "scarica.php", false},
        {Fault::Slow, "scarica.php", true},
        {Fault::Slow, "richiestaexport.php", true},
        // The cap of the texts in the unit that shows it.
        {Fault::OverCapDeclared, "statorichiesta.php", true, "supera il limite di 256 KB"},
        {Fault::OverCapUndeclared, "richiestaexport.php", true},
        {Fault::CloseBeforeReply, "richiestaexport.php", true},
        {Fault::CloseBeforeReply, "scarica.php", true},
        {Fault::CloseMidBody, "scarica.php", true},
        {Fault::CloseMidBody, "scarica.php", false},
        // A byte now and then: never silent for long, ended by the call's own limit.
        {Fault::Trickle, "statorichiesta.php", true, "troppo lento"},
        {Fault::Trickle, "scarica.php", true, "troppo lento"},
        {Fault::Drip, "scarica.php", true, "troppo lento"},
        // A page where the login's verdict should be is no wrong password.
        {Fault::MaintenancePage, "autentica.php", true,
         "Il server ha risposto in modo inatteso all'accesso (HTTP 200): \"<!DOCTYPE html>\""},
        {Fault::OneLineMarkup, "autentica.php", true,
         "Il server ha risposto in modo inatteso all'accesso (HTTP 200): \"<html><body>"},
        // 64 MB of zeros in 64 KB: the network layer stops it, and says so in Italian.
        {Fault::GzipEncoded, "scarica.php", true,
         "la risposta non si può leggere: compressa in modo non valido, o troppo grande una "
         "volta decompressa"},
    };
    QByteArray bomb;
    {
        QProcess gzip;
        gzip.start("python3", {"-c", "import gzip,sys; sys.stdout.buffer.write(gzip.compress("
                                     "bytes(64 << 20), 9))"});
        ASSERT_TRUE(gzip.waitForFinished(60000));
        bomb = gzip.readAllStandardOutput();
        ASSERT_LT(bomb.size(), 256 * 1024);
    }
    QStringList messages;
    QStringList secrets{kPassword};
    const QByteArray big = Server::zipBytes({{"voti.xml", QByteArray(300000, 'v')}});
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.fault) << " " << c.page.constData());
        fresh().setFault(c.fault, c.page);
        const bool trickle = c.fault == Fault::Trickle || c.fault == Fault::Drip;
        server->setSlowMs(trickle ? 100 : 2000);
        server->setDownload(c.fault == Fault::GzipEncoded ? bomb : big);
        const QString dest = dir.filePath(QStringLiteral("export.zip"));
        QFile::remove(dest);
        if (c.fileThere)
            writeFileBytes(dest, "precedente");
        const QString error = failure([&] {
            TTavrinWebConnection web(server->address());
            // The trickle's head alone outlasts the silence of the other faults.
            web.Comm().setTimeout(trickle ? 5000 : 500);
            web.Comm().setTimeLimit(1500);
            queuePassword(kPassword);
            if (web.Autentica(kCode))
                web.ExportSessione(dest, 2);
        });
        EXPECT_TRUE(error.startsWith(kPrefix)) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.says))) << error.toStdString();
        EXPECT_EQ(readFileBytes(dest), c.fileThere ? QByteArray("precedente") : QByteArray());
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
                  c.fileThere ? 1 : 0);
        messages << error;
        for (const Server::Request &r : server->requests()) {
            if (r.page() == "autentica.php")
                secrets << QString::fromLatin1(r.body.mid(r.body.indexOf("&PASSWORD=") + 10, 32));
            const QByteArray cookie = r.header("Cookie");
            if (!cookie.isEmpty())
                secrets << QString::fromLatin1(cookie.mid(9, 16));
        }
    }
    qInstallMessageHandler(previous);
    ASSERT_GE(secrets.size(), 20);
    for (const QString &text : messages + logged)
        for (const QString &secret : std::as_const(secrets))
            EXPECT_FALSE(text.contains(secret))
                << text.toStdString() << " holds " << secret.toStdString();
}

} // namespace

namespace {

TEST(ExportFiles, OnlyTheExchangeFilesOfTheKindLeaveTheFolder)
{
    QTemporaryDir dir;
    const QStringList present = {"voti.xml",   "CLASSENOTE.XML", "istituto.xml", "recuperi.xml",
                                 "tiprec.xml", "altro.xml",      "voti.zip"};
    const struct
    {
        void (*clear)(const QString &);
        QStringList left;
    } cases[] = {
        // A name in another letter case is another mode's file.
        {DeleteExportFiles,
         {"altro.xml", "CLASSENOTE.XML", "recuperi.xml", "tiprec.xml", "voti.zip"}},
        {DeleteExportRecFiles, {"altro.xml", "CLASSENOTE.XML", "voti.xml", "voti.zip"}},
    };
    for (const auto &c : cases) {
        for (const QString &name : present)
            writeFileBytes(dir.filePath(name), "x");
        // A Windows folder text, as the parameters keep it.
        c.clear(QDir::toNativeSeparators(dir.path()).replace('/', '\\') + QLatin1Char('\\'));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase), c.left);
        for (const QString &name : QDir(dir.path()).entryList(QDir::Files))
            QFile::remove(dir.filePath(name));
    }
}

} // namespace
