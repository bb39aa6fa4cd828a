#include "platform/embeddedlock.h"
#include "tests/support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat info;
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

void makeFile(const QString &path, mode_t mode = 0600)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.close();
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), mode), 0);
}

void makeFolder(const QString &path, mode_t mode)
{
    ASSERT_TRUE(QDir().mkpath(path));
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), mode), 0);
}

} // namespace

// Runs first, before any connection of this program: the engine reads the variable when it
// first opens a local database, not when its library is loaded.
TEST(EmbeddedLock, ChosenFolderTakesTheEngineLocksWhenNamedBeforeTheFirstConnection)
{
    TestDatabase database;
    QTemporaryDir scratch;
    const QString taken = scratch.filePath("firebird");
    makeFile(taken); // a default that is no folder: no engine may use it
    // The engine uses the folder until the program ends: it outlives the test, in the build.
    const QString privateFolder = TAVRIN_TEST_BUILD_DIR "/firebird-lock-embeddedlock";
    QDir(privateFolder).removeRecursively();
    const QString chosen = embeddedLockFolderFor(taken, {privateFolder});
    ASSERT_EQ(chosen, privateFolder);

    const QByteArray previous = qgetenv("FIREBIRD_LOCK");
    qputenv("FIREBIRD_LOCK", QFile::encodeName(chosen));
    useUsableEmbeddedLockFolder(); // a folder already named is kept
    EXPECT_EQ(qgetenv("FIREBIRD_LOCK"), QFile::encodeName(chosen));
    database.connect();
    EXPECT_FALSE(QDir(chosen).isEmpty()) << "the engine kept its locks elsewhere";
    EXPECT_EQ(modeOf(chosen), 0700u);
    qputenv("FIREBIRD_LOCK", previous);
}

TEST(EmbeddedLock, DefaultKeptWhenUsablePrivateFolderOtherwise)
{
    const bool root = geteuid() == 0;
    struct Case
    {
        const char *name;
        std::function<void(const QString &base)> prepare; // the default is base/default
        int chosen;                                       // -1 default kept, else the index
        enum { Anyone, Unprivileged, Root } who = Anyone; // permissions do not bind root
    };
    const QList<Case> cases = {
        {"default missing: the engine makes it", [](const QString &) {}, -1},
        {"default usable", [](const QString &b) { makeFolder(b + "/default", 0770); }, -1},
        {"default usable with lock files",
         [](const QString &b) {
             makeFolder(b + "/default", 0777);
             makeFile(b + "/default/fb_init", 0660);
         },
         -1},
        {"default is no folder", [](const QString &b) { makeFile(b + "/default"); }, 0},
        {"own private folder left open is closed to others",
         [](const QString &b) {
             makeFile(b + "/default");
             makeFolder(b + "/private0", 0755);
         },
         0},
        {"a link in place of the private folder is passed over",
         [](const QString &b) {
             makeFile(b + "/default");
             makeFolder(b + "/elsewhere", 0700);
             ASSERT_EQ(symlink("elsewhere", QFile::encodeName(b + "/private0").constData()), 0);
         },
         1},
        {"a file in place of the private folder is passed over",
         [](const QString &b) {
             makeFile(b + "/default");
             makeFile(b + "/private0");
         },
         1},
        {"no private folder can be made",
         [](const QString &b) {
             makeFile(b + "/default");
             makeFile(b + "/private0");
             makeFile(b + "/private1");
         },
         -1},
        {"default not writable", [](const QString &b) { makeFolder(b + "/default", 0500); }, 0,
         Case::Unprivileged},
        {"default holds a lock file of another user's",
         [](const QString &b) {
             makeFolder(b + "/default", 0777);
             makeFile(b + "/default/fb_init", 0440);
         },
         0, Case::Unprivileged},
        // Another user may make the private folder's name first, in a shared place, to read
        // this user's locks.
        {"a private folder of another user's is passed over",
         [](const QString &b) {
             makeFile(b + "/default");
             makeFolder(b + "/private0", 0700);
             ASSERT_EQ(chown(QFile::encodeName(b + "/private0").constData(), 65534, 65534), 0);
         },
         1, Case::Root},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if ((c.who == Case::Unprivileged && root) || (c.who == Case::Root && !root))
            continue;
        QTemporaryDir base;
        c.prepare(base.path());
        const QStringList privateFolders{base.filePath("private0"), base.filePath("private1")};
        const QString chosen = embeddedLockFolderFor(base.filePath("default"), privateFolders);
        EXPECT_EQ(chosen, c.chosen < 0 ? QString() : privateFolders[c.chosen]);
        if (c.chosen >= 0)
            EXPECT_EQ(modeOf(chosen), 0700u);
        chmod(QFile::encodeName(base.filePath("default")).constData(), 0700); // to remove it
    }
}
