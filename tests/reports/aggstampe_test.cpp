#include "platform/comm.h"
#include "platform/dialogseam.h"
#include "platform/directoryedit.h"
#include "reports/qelfaggstampe.h"
#include "shell/qelpargen.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"
#include "tests/support/testhttpserver.h"

#include <QDir>
#include <QPushButton>
#include <QToolButton>

namespace {

class TemplateDownload : public ::testing::Test
{
protected:
    void SetUp() override { dmqelParGen = &parGen; }

    // The one message the click showed.
    QString click(QAbstractButton *button)
    {
        DialogSeam::clearShown();
        button->click();
        EXPECT_EQ(DialogSeam::shown().size(), 1);
        return DialogSeam::shown().value(0).text;
    }

    TestMainDir mainDir;
    TdmqelParGen parGen;
    ScriptedDialogs dialogs;
    TfmQelAggStampe dialog;
};

} // namespace

// The archive replaces the earlier one only when it arrived whole; whatever went wrong is told
// after the prefix, and a missing folder or server asks nothing of the server.
TEST_F(TemplateDownload, ArchiveReplacesTheEarlierOneOnlyWhenComplete)
{
    TestHttpServer server;
    QByteArray answer;
    server.respond = [&answer](const TestHttpServer::Request &r) {
        return r.path == "/tools/repos/qeyStampe.zip" ? answer
                                                      : TestHttpServer::response(404, "No", "");
    };
    const QString folder = mainDir.path() + QStringLiteral("Scaricati");
    QDir().mkpath(folder);
    DialogSeam::queueAnswer(folder);
    dialog.dePercorso()->browseButton()->click();
    EXPECT_EQ(dialog.dePercorso()->Text(), folder);
    dialog.comm()->setTimeout(300);

    const QString done = QStringLiteral("Aggiornamento completato");
    const QString failed = QStringLiteral("Errore di comunicazione con il Server Veldrasoft: ");
    const auto ok = [](const QByteArray &body) {
        return TestHttpServer::response(200, "OK", body);
    };
    const struct
    {
        QString typed; // empty: the chosen folder
        QByteArray answer;
        QString message;
        QByteArray archive; // afterwards
        const char *server = nullptr;
    } cases[] = {
        {{}, ok("PK prima"), done, "PK prima"},
        // A separator at the end, or the Windows way in another letter case: one file name.
        {folder + "/", ok("PK seconda, più lunga"), done, "PK seconda, più lunga"},
        {mainDir.path() + "SCARICATI\\", ok("PK terza"), done, "PK terza"},
        {{},
         TestHttpServer::response(404, "Not Found", ""),
         failed + "Il server ha risposto con l'errore HTTP 404, pagina non trovata",
         "PK terza"},
        {{},
         TestHttpServer::response(500, "Internal Server Error", ""),
         failed + "Il server",
         "PK terza"},
        {{}, QByteArray(), failed + "Il server non ha risposto", "PK terza"},
        {folder + "/manca", ok("PK"), failed + "Impossibile scrivere", "PK terza"},
        {"  ", ok("PK"), "Percorso di destinazione mancante", "PK terza"},
        {{}, ok("PK"), "Non è impostato l'indirizzo del server di supporto", "PK terza", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        answer = c.answer;
        parGen.xpsServerSupporto.SetValore(c.server ? QString::fromLatin1(c.server)
                                                    : server.url(QString()));
        if (!c.typed.isEmpty())
            dialog.dePercorso()->SetText(c.typed);
        EXPECT_TRUE(click(dialog.buDwnLoadStampe()).startsWith(c.message));
        EXPECT_EQ(readFileBytes(folder + QStringLiteral("/qeyStampe.zip")), c.archive);
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"qeyStampe.zip"});
        dialog.dePercorso()->SetText(folder);
    }
    EXPECT_EQ(server.requests.size(), 6);
}

TEST_F(TemplateDownload, BoardOpensInTheBrowserOrSaysWhyNot)
{
    const QString board =
        QStringLiteral("https://wiki.esempio.it/index.php/Report_Tavrin_Scrutinio");
    const QString noPage = QStringLiteral("Impossibile aprire la pagina selezionata. Verificare "
                                          "che ci sia una connessione disponibile.");
    const struct
    {
        const char *wiki;
        bool desktopOpens;
        QStringList shown;
    } cases[] = {
        {"https://wiki.esempio.it/", true, {board}},
        {"https://wiki.esempio.it", false, {board, noPage}},
        {"", true, {"Non è impostato l'indirizzo del server wiki Veldrasoft."}},
    };
    for (const auto &c : cases) {
        parGen.xpsServerWiki.SetValore(QString::fromUtf8(c.wiki));
        DialogSeam::clearShown();
        DialogSeam::queueAnswer(c.desktopOpens);
        dialog.SpeedButton1()->click();
        QStringList shown = DialogSeam::shownTexts();
        shown.last() = shown.last().section(QLatin1Char('\n'), 0, 0);
        EXPECT_EQ(shown, c.shown) << c.wiki;
        EXPECT_EQ(DialogSeam::shown().value(0).kind,
                  QLatin1String(c.wiki[0] ? "open-url" : "message"));
        while (DialogSeam::hasAnswer())
            DialogSeam::takeAnswer();
    }
}
