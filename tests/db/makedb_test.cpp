#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// The tool's exit status; what it printed goes to *said.
int makedb(const QStringList &arguments, QString *said = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(TAVRIN_MAKEDB), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    if (said)
        *said = QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int forcedWrites(const QString &path)
{
    QSqlDatabase db;
    QString error;
    const QString name = QStringLiteral("forcedwrites");
    int value = -1;
    {
        EXPECT_TRUE(openLocalDatabase(db, name, path, &error)) << error.toStdString();
        value = scalar(db, QStringLiteral("SELECT MON$FORCED_WRITES FROM MON$DATABASE")).toInt();
        db.close();
        db = QSqlDatabase();
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

} // namespace

// Options are options, never a file name: help, a mistake in the arguments or a folder that
// is not there says so, with status 0 for help and 2 for a mistake, and no file is made or
// replaced.
TEST(MakeDb, ArgumentsAreCheckedBeforeAnyFileIsTouched)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scuola.fdb"));
    ASSERT_TRUE(QFile::copy(templateDatabasePath(), path));
    const QByteArray before = readFileBytes(path);
    const QString missingFolder = dir.filePath(QStringLiteral("manca"));
    const struct
    {
        QStringList arguments;
        int status;
        QString said;
    } cases[] = {
        {{"--help"}, 0, "Uso: tavrin-makedb [--scale N] [--force] [--no-forced-writes] [FILE]"},
        {{"--force", "--scala", "2", path}, 2, "opzione sconosciuta: --scala"},
        {{"-f", path}, 2, "opzione sconosciuta: -f"},
        {{"--force", path, "--scale"}, 2, "--scale vuole un numero"},
        {{"--force", "--scale", "abc", path}, 2, "--scale vuole un numero intero, non \"abc\""},
        {{"--force", "--scale", "50", path}, 2, "La scala della scuola dimostrativa va da 1 a 30."},
        {{"--force=1", path}, 2, "l'opzione --force non vuole un valore"},
        {{"--force", path, dir.filePath("altra.fdb")}, 2, "un solo file di database alla volta"},
        {{missingFolder + "/scuola.fdb"}, 2, "la cartella " + missingFolder + " non esiste"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QString said;
        EXPECT_EQ(makedb(c.arguments, &said), c.status);
        EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
        EXPECT_EQ(readFileBytes(path), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("scuola.fdb")});
    }
}

TEST(MakeDb, TheFinishedDatabaseWritesSynchronouslyUnlessMadeForTests)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scuola.fdb"));
    ASSERT_TRUE(QFile::copy(templateDatabasePath(), path));
    EXPECT_EQ(forcedWrites(path), 0); // the template and its copies, for the tests' speed
    ASSERT_EQ(makedb({QStringLiteral("--force"), path}), 0);
    EXPECT_EQ(forcedWrites(path), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("scuola.fdb")});
}
