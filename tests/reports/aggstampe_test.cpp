#include "platform/comm.h"
#include "platform/dialogseam.h"
#include "platform/directoryedit.h"
#include "platform/messagedlg.h"
#include "reports/qelfaggstampe.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"
#include "tests/support/testhttpserver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QToolButton>

namespace {

const QString kPrefix = QStringLiteral("Errore di comunicazione con il Server Veldrasoft: ");

class TemplateDownload : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dmqelParGen = &parGen;
        parGen.xpsServerSupporto.SetValore(server.url(QString()));
        server.respond = [this](const TestHttpServer::Request &r) {
            if (r.path != "/tools/repos/qeyStampe.zip")
                return TestHttpServer::response(404, "Not Found", "");
            return answer;
        };
        folder = mainDir.path() + QStringLiteral("Scaricati");
        QDir().mkpath(folder);
        archive = folder + QStringLiteral("/qeyStampe.zip");
    }

    // Types the folder, downloads, and gives the messages shown.
    QList<DialogSeam::Shown> download(const QString &typed)
    {
        DialogSeam::clearShown();
        dialog.dePercorso()->SetText(typed);
        dialog.buDwnLoadStampe()->click();
        return DialogSeam::shown();
    }

    TestMainDir mainDir;
    TdmqelParGen parGen;
    ScriptedDialogs dialogs;
    TestHttpServer server;
    QByteArray answer;
    TfmQelAggStampe dialog;
    QString folder;
    QString archive;
};

} // namespace

TEST_F(TemplateDownload, ArchiveArrivesInTheChosenFolderAndASecondOneReplacesIt)
{
    DialogSeam::queueAnswer(folder);
    dialog.dePercorso()->browseButton()->click();
    ASSERT_EQ(dialog.dePercorso()->Text(), folder);
    EXPECT_EQ(DialogSeam::shown().value(0).kind, QStringLiteral("folder"));

    const struct
    {
        QString typed;
        QByteArray body;
    } cases[] = {
        {folder, QByteArray("PK\x03\x04 prima", 12)},
        // A separator at the end, as the office may type it, still gives the one file name.
        {folder + QLatin1Char('/'), "PK seconda, più lunga della prima"},
        {folder + QLatin1Char('\\'), "PK terza"},
        // Written the Windows way, in another letter case.
        {mainDir.path() + QStringLiteral("SCARICATI\\"), "PK quarta"},
    };
    for (const auto &c : cases) {
        answer = TestHttpServer::response(200, "OK", c.body);
        const QList<DialogSeam::Shown> shown = download(c.typed);
        ASSERT_EQ(shown.size(), 1) << c.typed.toStdString();
        EXPECT_EQ(shown[0].text, QStringLiteral("Aggiornamento completato"));
        EXPECT_EQ(shown[0].detail, QStringLiteral("information"));
        EXPECT_EQ(readFileBytes(archive), c.body);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"qeyStampe.zip"});
    }
    EXPECT_EQ(server.requests.size(), 4);
    EXPECT_EQ(server.requests.value(0).method, QByteArray("GET"));
}

// A failed download leaves the office the archive it had, and says why after the prefix.
TEST_F(TemplateDownload, FailuresAreToldAndKeepTheEarlierArchive)
{
    const QByteArray earlier = "PK l'archivio di ieri";
    writeFileBytes(archive, earlier);
    dialog.comm()->setTimeout(300);
    const struct
    {
        const char *name;
        QByteArray answer;
        const char *reason;
        bool missingFolder;
    } cases[] = {
        {"404", TestHttpServer::response(404, "Not Found", "manca"), "404", false},
        {"500", TestHttpServer::response(500, "Internal Server Error", "guasto"), "500", false},
        {"time-out", QByteArray(), "non ha risposto", false},
        {"folder", TestHttpServer::response(200, "OK", "PK"), "Impossibile scrivere", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        answer = c.answer;
        const QList<DialogSeam::Shown> shown =
            download(c.missingFolder ? folder + QStringLiteral("/manca") : folder);
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].text.startsWith(kPrefix) &&
                    shown[0].text.contains(QString::fromLatin1(c.reason)))
            << shown[0].text.toStdString();
        EXPECT_EQ(shown[0].detail, QStringLiteral("error"));
        EXPECT_EQ(readFileBytes(archive), earlier);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"qeyStampe.zip"});
    }
}

TEST_F(TemplateDownload, NoFolderOrNoServerAsksNothingOfTheServer)
{
    const struct
    {
        const char *typed;  // nullptr: the folder
        const char *server; // nullptr: the test server
        const char *message;
    } cases[] = {
        {"", nullptr, "Percorso di destinazione mancante"},
        {"   ", nullptr, "Percorso di destinazione mancante"},
        {nullptr, "", "Non è impostato l'indirizzo del server di supporto Veldrasoft."},
        {nullptr, "supporto.esempio.it", "L'indirizzo del server di supporto Veldrasoft"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed ? c.typed : c.server);
        parGen.xpsServerSupporto.SetValore(c.server ? QString::fromUtf8(c.server)
                                                    : server.url(QString()));
        const QList<DialogSeam::Shown> shown =
            download(c.typed ? QString::fromUtf8(c.typed) : folder);
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].text.startsWith(QString::fromUtf8(c.message)))
            << shown[0].text.toStdString();
    }
    EXPECT_TRUE(server.requests.isEmpty());
    EXPECT_FALSE(QFile::exists(archive));
}

TEST_F(TemplateDownload, BoardOpensInTheBrowserOrSaysWhyNot)
{
    const QString board =
        QStringLiteral("https://wiki.esempio.it/index.php/Report_Tavrin_Scrutinio");
    const struct
    {
        const char *wiki;
        QVariant desktop; // the desktop's answer; none queued: it opens
        const char *opened;
        const char *message;
    } cases[] = {
        {"https://wiki.esempio.it/", QVariant(), "open", nullptr},
        {"https://wiki.esempio.it", QVariant(false), "open",
         "Impossibile aprire la pagina selezionata. Verificare che ci sia una connessione "
         "disponibile."},
        {"", QVariant(), nullptr, "Non è impostato l'indirizzo del server wiki Veldrasoft."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.wiki);
        parGen.xpsServerWiki.SetValore(QString::fromUtf8(c.wiki));
        DialogSeam::clearShown();
        if (c.desktop.isValid())
            DialogSeam::queueAnswer(c.desktop);
        dialog.SpeedButton1()->click();
        QList<DialogSeam::Shown> shown = DialogSeam::shown();
        if (c.opened) {
            ASSERT_FALSE(shown.isEmpty());
            EXPECT_EQ(shown[0].kind, QStringLiteral("open-url"));
            EXPECT_EQ(shown[0].text, board);
            shown.removeFirst();
        }
        ASSERT_EQ(shown.size(), c.message ? 1 : 0);
        if (c.message)
            EXPECT_TRUE(shown[0].text.startsWith(QString::fromUtf8(c.message)))
                << shown[0].text.toStdString();
    }
    EXPECT_FALSE(DialogSeam::hasAnswer());
}
