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
    // What stands in the scratch folder before the choice: "default" is the engine's default,
    // "private0" and "private1" the private folders in their order.
    struct Entry
    {
        const char *name;
        char kind; // 'd' folder, 'f' file, 'l' link to "elsewhere"
        mode_t mode = 0700;
        bool ofAnotherUser = false;
    };
    struct Case
    {
        const char *name;
        QList<Entry> entries;
        int chosen;                                       // -1 default kept, else the index
        enum { Anyone, Unprivileged, Root } who = Anyone; // permissions do not bind root
    };
    const QList<Case> cases = {
        {"default missing: the engine makes it", {}, -1},
        {"default usable", {{"default", 'd', 0770}}, -1},
        {"default usable with lock files",
         {{"default", 'd', 0777}, {"default/fb_init", 'f', 0660}},
         -1},
        {"default is no folder", {{"default", 'f'}}, 0},
        {"own private folder left open is closed to others",
         {{"default", 'f'}, {"private0", 'd', 0755}},
         0},
        {"a link in place of the private folder is passed over",
         {{"default", 'f'}, {"elsewhere", 'd'}, {"private0", 'l'}},
         1},
        {"a file in place of the private folder is passed over",
         {{"default", 'f'}, {"private0", 'f'}},
         1},
        {"no private folder can be made",
         {{"default", 'f'}, {"private0", 'f'}, {"private1", 'f'}},
         -1},
        {"default not writable", {{"default", 'd', 0500}}, 0, Case::Unprivileged},
        {"default holds a lock file of another user's",
         {{"default", 'd', 0777}, {"default/fb_init", 'f', 0440}},
         0,
         Case::Unprivileged},
        // Another user may make the private folder's name first, in a shared place, to read
        // this user's locks.
        {"a private folder of another user's is passed over",
         {{"default", 'f'}, {"private0", 'd', 0700, true}},
         1,
         Case::Root},
    };
    const bool root = geteuid() == 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if ((c.who == Case::Unprivileged && root) || (c.who == Case::Root && !root))
            continue;
        QTemporaryDir base;
        for (const Entry &e : c.entries) {
            const QString path = base.filePath(e.name);
            if (e.kind == 'd')
                makeFolder(path, e.mode);
            else if (e.kind == 'f')
                makeFile(path, e.mode);
            else
                ASSERT_EQ(symlink("elsewhere", QFile::encodeName(path).constData()), 0);
            if (e.ofAnotherUser) {
                ASSERT_EQ(chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
            }
        }
        const QStringList privateFolders{base.filePath("private0"), base.filePath("private1")};
        const QString chosen = embeddedLockFolderFor(base.filePath("default"), privateFolders);
        EXPECT_EQ(chosen, c.chosen < 0 ? QString() : privateFolders[c.chosen]);
        if (c.chosen >= 0) {
            EXPECT_EQ(modeOf(chosen), 0700u);
        }
        chmod(QFile::encodeName(base.filePath("default")).constData(), 0700); // to remove it
    }
}
