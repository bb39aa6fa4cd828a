// The README's steps for a school's Firebird server, followed as written against the run's own
// server (runs as test_shell_serversteps_server; the embedded run has no server to follow
// them on): the database placed in the server's data folder, Connessione.ini written from the
// README's example with this machine's server, path and password, then the program started.
#include "platform/connection.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/outlookbar.h"
#include "shell/qeldatasets.h"
#include "shell/qelmain.h"
#include "shell/qelstartup.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {

// The example block of step 3: the lines from "[Connessione]" to the first blank line.
QStringList readmeExample()
{
    QFile readme(QStringLiteral(TAVRIN_SOURCE_DIR "/README.md"));
    if (!readme.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QStringList lines = QString::fromUtf8(readme.readAll()).split(QLatin1Char('\n'));
    const qsizetype start = lines.indexOf(QStringLiteral("       [Connessione]"));
    QStringList block;
    for (qsizetype i = start; start >= 0 && i < lines.size() && !lines[i].trimmed().isEmpty(); ++i)
        block << lines[i].trimmed();
    return block;
}

} // namespace

TEST(ServerSteps, TheReadmeStepsOpenTheProgramOnTheServer)
{
    const std::optional<TestServer> server = testServer();
    if (!server)
        GTEST_SKIP() << "needs the run's Firebird server";
    const QStringList example = readmeExample();
    ASSERT_GE(example.size(), 4) << "no [Connessione] example in the README";

    // Step 2: the database in the server's data folder, as the README names it.
    QTemporaryDir data(server->dataFolder + QStringLiteral("/steps-XXXXXX"));
    const QString placed = data.filePath(QStringLiteral("TAVRIN.FDB"));
    ASSERT_TRUE(QFile::copy(templateDatabasePath(), placed));

    // Step 3: the example, with this machine's server, path and password in place of the
    // README's; every other line as written.
    TestMainDir main;
    QDir(main.path()).mkpath(QStringLiteral("ETC"));
    QFile ini(main.path() + QStringLiteral("ETC/Connessione.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Text));
    QTextStream out(&ini);
    QStringList keys;
    for (const QString &line : example) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        keys << key;
        if (key == QStringLiteral("Database")) {
            const TVxDatabaseLocation written = parseDatabaseLocation(line.section('=', 1));
            EXPECT_FALSE(written.host.isEmpty()) << line.toStdString();
            EXPECT_TRUE(written.path.endsWith(QStringLiteral("/TAVRIN.FDB")));
            out << "Database=" << server->databaseText(placed) << '\n';
        } else if (key == QStringLiteral("Password")) {
            out << "Password=" << server->password << '\n';
        } else {
            out << line << '\n';
        }
    }
    ini.close();
    // Readable by the office's user only, as the step says: the program then says nothing.
    ASSERT_TRUE(ini.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_TRUE(keys.contains(QStringLiteral("User")));
    EXPECT_TRUE(keys.contains(QStringLiteral("Password")));

    // Step 4: the program starts on the server's database.
    ScriptedDialogs dialogs;
    TavrinObjects objects;
    TfmqelMain *window = objects.mainWindow();
    window->show();
    QEvent activation(QEvent::WindowActivate);
    QApplication::sendEvent(window, &activation);
    EXPECT_TRUE(window->isVisible()) << DialogSeam::shownTexts().join('|').toStdString();
    EXPECT_FALSE(DialogSeam::shownTexts().join('|').contains(QStringLiteral("chmod")));
    ASSERT_TRUE(qqoVxGlobConn().isOpen());
    EXPECT_EQ(scalar("SELECT MON$REMOTE_PROTOCOL FROM MON$ATTACHMENTS "
                     "WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION")
                  .toString()
                  .trimmed(),
              QStringLiteral("TCPv4"));
    EXPECT_EQ(scalar("SELECT MON$DATABASE_NAME FROM MON$DATABASE").toString().trimmed(), placed);
    window->close();
    EXPECT_FALSE(qqoVxGlobConn().isOpen());
}
