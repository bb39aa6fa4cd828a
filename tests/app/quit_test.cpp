#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

namespace {

// The engine keeps the database file open while the program is attached to it.
bool holdsFileOpen(qint64 pid, const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd : fds.entryInfoList(QDir::AllEntries | QDir::System)) {
        if (fd.symLinkTarget() == target)
            return true;
    }
    return false;
}

} // namespace

// The system's shutdown, a `kill` or Ctrl+C in a terminal: the program closes its windows and
// its database as the user's close would, and ends with success, the database sound behind it.
TEST(Program, EndsCleanlyWhenAskedBySignal)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        TestDatabase database;
        QTemporaryDir dataHome;
        const QString settings = dataHome.filePath("Tavrin/ETC/Connessione.ini");
        writeFileBytes(settings, "[Connessione]\r\nDatabase=" + QFile::encodeName(database.path()) +
                                     "\r\nUser=SYSDBA\r\nPassword=\r\nCharacterSet=UTF8\r\n");
        // Its owner's alone, as the README asks: else the program says so before it starts.
        QFile::setPermissions(settings, QFile::ReadOwner | QFile::WriteOwner);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dataHome.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(TAVRIN_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted()) << program.errorString().toStdString();

        const QDeadlineTimer opening(60000);
        while (!holdsFileOpen(program.processId(), database.path()) && !opening.hasExpired() &&
               program.state() == QProcess::Running)
            QThread::msleep(50);
        ASSERT_TRUE(holdsFileOpen(program.processId(), database.path()))
            << program.readAll().toStdString();
        QThread::msleep(500); // the main window's first work, after the database opened

        ASSERT_EQ(kill(pid_t(program.processId()), signal), 0);
        const bool ended = program.waitForFinished(5000);
        if (!ended)
            program.kill();
        ASSERT_TRUE(ended) << "still running five seconds after the signal";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0) << program.readAll().toStdString();

        // Full validation needs the database to itself: the program let it go.
        const auto [code, output] =
            runDatabaseTool("gfix", {"-v", "-full", "-user", "SYSDBA", database.path()}, {});
        EXPECT_EQ(code, 0) << output.toStdString();
        EXPECT_TRUE(output.trimmed().isEmpty()) << output.toStdString();
    }
}
