#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

int makedb(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TAVRIN_MAKEDB), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
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

TEST(MakeDb, BadArgumentsLeaveTheExistingDatabaseAsItWas)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scuola.fdb"));
    ASSERT_TRUE(QFile::copy(templateDatabasePath(), path));
    const QByteArray before = readFileBytes(path);
    const QStringList refused[] = {
        {QStringLiteral("--force"), QStringLiteral("--scale"), QStringLiteral("50"), path},
        {QStringLiteral("--force"), QStringLiteral("--scale"), QStringLiteral("molti"), path},
        {QStringLiteral("--force"), QStringLiteral("--scala"), QStringLiteral("2"), path},
        {QStringLiteral("--force"), path, dir.filePath(QStringLiteral("altra.fdb"))},
    };
    for (const QStringList &arguments : refused) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_NE(makedb(arguments), 0);
        EXPECT_EQ(readFileBytes(path), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
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
