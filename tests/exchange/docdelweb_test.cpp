#include "exchange/qeldocdelweb.h"
#include "exchange/qeltavrinweb.h"
#include "platform/formregistry.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "shell/qelpargen.h"
#include "tests/exchange/tavrinwebfixture.h"
#include "tests/support/runningprogram.h"
#include "tests/support/tavrinwebserver.h"
#include "tests/support/testfiles.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <memory>

namespace {

using Server = TavrinWebTestServer;

const QString kCode = QStringLiteral("ABCD01000X");
const QString kPassword = QStringLiteral("segreto");

// The program on a fresh copy of the demo school (RunningProgram's ProgramDatabase), the test
// server named in its ParGen.ini.
class DocDelWeb : public RunningProgram
{
protected:
    void SetUp() override
    {
        RunningProgram::SetUp();
        server.nameInParGen();
        server.setInstitute(kCode, kPassword);
    }

    static std::unique_ptr<QelDocDelWebForm> open(bool makeUp)
    {
        if (makeUp)
            return std::make_unique<TfmQelDocDelRecuperiWeb>();
        return std::make_unique<TfmqelDocDelSessioneWeb>();
    }

    // Ticks the box and presses OK, the question answered as given and, after a Yes, the
    // password typed into the prompt.
    static void confirmAndPressOk(QelDocDelWebForm &window, int answer,
                                  const QString &password = QString())
    {
        window.ckbConfirm()->click();
        DialogSeam::queueAnswer(answer);
        if (!password.isNull())
            queuePassword(password);
        window.buOk()->click();
    }

    QStringList messages() const
    {
        QStringList texts;
        for (const DialogSeam::Shown &s : DialogSeam::shown())
            if (s.kind == QLatin1String("message"))
                texts << s.text;
        return texts;
    }

    ScriptedDialogs dialogs;
    Server server;
};

TEST_F(DocDelWeb, OkFollowsTheBoxAndNoLeavesTheServerAlone)
{
    const std::unique_ptr<QWidget> session(FormRegistry::create("TfmqelDocDelSessioneWeb"));
    const std::unique_ptr<QWidget> makeUp(FormRegistry::create("TfmQelDocDelRecuperiWeb"));
    for (auto *window : {qobject_cast<QelDocDelWebForm *>(session.get()),
                         qobject_cast<QelDocDelWebForm *>(makeUp.get())}) {
        ASSERT_NE(window, nullptr);
        SCOPED_TRACE(window->windowTitle().toStdString());
        EXPECT_FALSE(window->buOk()->isEnabled());
        window->ckbConfirm()->click();
        EXPECT_TRUE(window->buOk()->isEnabled());
        window->ckbConfirm()->click();
        EXPECT_FALSE(window->buOk()->isEnabled());
        confirmAndPressOk(*window, mrNo);
        EXPECT_EQ(window->result(), 0); // still open
    }
    EXPECT_EQ(session->windowTitle(), QStringLiteral("Cancella sessione web"));
    EXPECT_EQ(makeUp->windowTitle(), QStringLiteral("Cancella recuperi da web"));
    auto *label = session->findChild<QLabel *>(QStringLiteral("laSessione"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Scrutinio finale"));
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(DialogSeam::shownTexts(),
              (QStringList{"Confermi la cancellazione della sessione: Scrutinio finale",
                           "Confermi la cancellazione dei recuperi?"}));
    EXPECT_EQ(server.requests().size(), 0);
    session->resize(460, 260);
    saveScreenshot(session.get(), QStringLiteral("docdelsessioneweb.png"));
    saveScreenshot(makeUp.get(), QStringLiteral("docdelrecuperiweb.png"));
}

// The session number goes to the server, not the year-session's key: the final sessions of two
// years are one number; the service tells them apart by the institute that logged in.
TEST_F(DocDelWeb, DeletionsReachTheServerAndTheWindowStaysOpen)
{
    const struct
    {
        int session; // 0: the make-up window
        const char *query;
    } cases[] = {{392, "codsessione=2"}, {382, "codsessione=2"}, {391, "codsessione=1"}, {0, ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.session);
        TVxWorkingContext::setSession(c.session ? c.session : 392);
        DialogSeam::clearShown();
        const std::unique_ptr<QelDocDelWebForm> window = open(c.session == 0);
        confirmAndPressOk(*window, mrYes, kPassword);
        EXPECT_EQ(window->result(), 0);
        EXPECT_EQ(messages().last(), QStringLiteral("Operazione conclusa correttamente"));
        const QList<Server::Order> orders = server.orders();
        ASSERT_FALSE(orders.isEmpty());
        EXPECT_EQ(orders.last().page, c.session ? "cancellasessione.php" : "cancellarecuperi.php");
        EXPECT_EQ(orders.last().query, c.query);
        EXPECT_EQ(orders.last().institute, kCode);
    }
}

TEST_F(DocDelWeb, ARefusedLoginIsToldOnceAndNothingIsDeleted)
{
    const struct
    {
        bool makeUp;
        const char *text;
    } cases[] = {
        {false, "Password errata \no Istituto codice: ABCD01000X non autorizzato alla "
                "cancellazione della sezione dal server\nContattare Veldrasoft S.r.l. per "
                "l'abilitazione"},
        {true, "Password errata \no Istituto codice: ABCD01000X non autorizzato alla "
               "cancellazione dei recuperi dal server\nContattare Veldrasoft S.r.l. per "
               "l'abilitazione"},
    };
    for (const auto &c : cases) {
        DialogSeam::setScripted(true);
        const std::unique_ptr<QelDocDelWebForm> window = open(c.makeUp);
        confirmAndPressOk(*window, mrYes, QStringLiteral("sbagliata"));
        EXPECT_EQ(messages().last(), QString::fromUtf8(c.text));
        EXPECT_EQ(DialogSeam::shown().size(), 3); // the question, one prompt, the refusal
    }
    EXPECT_EQ(server.logins().size(), 2);
    EXPECT_EQ(server.orders().size(), 0);
}

TEST_F(DocDelWeb, NoRequestWithoutASessionOrAServer)
{
    const struct
    {
        const char *name;
        int session;
        bool address;
        const char *message;
    } cases[] = {
        {"no working session", 0, true, "Non è impostata la sessione di lavoro"},
        {"a session without its row", 999, true, "La sessione di lavoro (999) non esiste"},
        {"no server address", 392, false, "Non è impostato l'indirizzo del server Veldrasoft."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TVxWorkingContext::setSession(c.session);
        if (!c.address)
            dmqelParGen->xpsServerWeb.SetValore(QString());
        DialogSeam::setScripted(true);
        TfmqelDocDelSessioneWeb window;
        confirmAndPressOk(window, mrYes, kPassword);
        const QStringList shown = messages();
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_TRUE(shown.last().startsWith(QString::fromUtf8(c.message)))
            << shown.join('|').toStdString();
        EXPECT_EQ(DialogSeam::shown().size(), c.address ? 1 : 2); // no prompt
    }
    EXPECT_EQ(server.requests().size(), 0);
}

} // namespace
