// Files another run reads: replaced whole under a fresh name of the writer's own, never written
// through a link someone planted, no more readable than what they hold and never keeping the
// modes of a file someone planted; lock files that no killed run, of whatever account, keeps.
#include "platform/clientdataset.h"
#include "platform/fileaccess.h"
#include "platform/inifile.h"
#include "platform/vxexception.h"
#include "platform/zip.h"
#include "tests/support/testfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void savePacket(const QString &path, TVxFileSync sync, TVxFileAccess access)
{
    TClientDataSet ds;
    ds.AddFieldDef(QStringLiteral("Password"), ftString, 50);
    ds.CreateDataSet();
    ds.Append();
    ds.Fields(0)->setValue(QStringLiteral("segreta"));
    ds.Post();
    ds.SaveToFile(path, dfXML, sync, access);
}

void zip(const QString &archive, const QString &file)
{
    TZip zip;
    zip.setFileName(archive);
    zip.FileList() << file;
    zip.Add();
}

} // namespace

TEST(FileAccess, FilesAreReplacedWholeNeverThroughAPlantedLinkAndKeepTheirSecrets)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("Connessione.ini"));
    const QByteArray victimBytes = "[Connessione]\r\nPassword=del-database\r\n";
    const QString secret = dir.filePath(QStringLiteral("DocCls.xml"));
    savePacket(secret, TVxFileSync::Now, TVxFileAccess::OwnerOnly);
    const QString privateZip = dir.filePath(QStringLiteral("privato.zip"));
    zip(privateZip, secret);

    using Sync = TVxFileSync;
    using Access = TVxFileAccess;
    const struct
    {
        const char *what;
        std::function<void(const QString &)> write;
        bool ownerOnly;
    } cases[] = {
        {"packet synced now", [](const QString &p) { savePacket(p, Sync::Now, Access::Shared); },
         false},
        {"packet synced later",
         [](const QString &p) { savePacket(p, Sync::Later, Access::Shared); }, false},
        {"packet of passwords",
         [](const QString &p) { savePacket(p, Sync::Later, Access::OwnerOnly); }, true},
        {"settings holding a password",
         [](const QString &p) {
             TVxINIFile ini(p);
             ini.setAccess(Access::OwnerOnly);
             ini.WriteString(QStringLiteral("Connessione"), QStringLiteral("Password"), "x");
         },
         true},
        {"archive of a private file", [&](const QString &p) { zip(p, secret); }, true},
        {"file extracted from a private archive",
         [&](const QString &p) {
             TZip archive;
             archive.setFileName(privateZip);
             archive.setExtractPath(QFileInfo(p).path());
             archive.Extract();
         },
         true},
    };
    // A umask that lets the group read: a shared file's group may, a secret's may not.
    const mode_t umaskBefore = ::umask(027);
    for (const auto &c : cases) {
        for (const bool link : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.what << (link ? ", link" : ", planted file"));
            writeFileBytes(victim, victimBytes);
            const QString folder = dir.filePath(QString::fromLatin1(c.what).replace(' ', '_') +
                                                (link ? "_link" : "_file"));
            ASSERT_TRUE(QDir().mkpath(folder));
            const QString target = folder + QStringLiteral("/DocCls.xml");
            // At the name itself, or a file another account left there world-writable and
            // setuid; and where a writer of fixed names put its temporary file.
            if (link) {
                ASSERT_TRUE(QFile::link(victim, target));
            } else {
                writeFileBytes(target, "piantato");
                ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 06777), 0);
            }
            ASSERT_TRUE(QFile::link(victim, target + ".~tmp"));
            c.write(target);
            EXPECT_EQ(readFileBytes(victim), victimBytes);
            EXPECT_FALSE(QFileInfo(target).isSymLink());
            EXPECT_EQ(VxIsOwnerOnly(target), c.ownerOnly);
            struct stat written;
            ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &written), 0);
            EXPECT_EQ(written.st_mode & 07777, c.ownerOnly ? 0600u : 0640u);
            // Nothing but the target and the link left at the old temporary name.
            EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
        }
    }
    ::umask(umaskBefore);
}

// Whoever left a lock, and whatever stands at its name: a run whose process is gone from this
// computer never keeps it, another computer's keeps it a day; a lock that is no regular file,
// a folder that takes nothing, a lock the folder won't let go are refused, saying which file.
TEST(SharedHold, AStaleLockIsTakenOverWhoeverLeftItAndEveryOtherFailureIsTold)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("condivisa"));
    const QString lock = folder + QStringLiteral("/estrazione.lck");
    const QByteArray here = QSysInfo::machineHostName().toUtf8();
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
    std::unique_ptr<TVxSharedHold> live;
    const struct
    {
        const char *what;
        std::function<void()> plant;
        QString says; // "preso", the holder, or the refusal's words
        mode_t folderMode = 0755;
        bool full = false;
    } cases[] = {
        {"free, in a group's folder", [] {}, "preso", 0775},
        {"a live run of this computer",
         [&] {
             live = std::make_unique<TVxSharedHold>(lock);
             ASSERT_TRUE(live->tryTake());
         },
         "computer " + here + ", processo " + pid},
        {"a run killed on this computer", [&] { writeAbandonedLock(lock); }, "preso"},
        {"a run killed under another account",
         [&] {
             writeAbandonedLock(lock);
             QFile::setPermissions(lock, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
         },
         "preso"},
        {"a number now another program's",
         [&] { writeFileBytes(lock, "1\ntavrin-altro\n" + here + "\n"); }, "preso"},
        {"a run of an earlier start of this computer",
         [&] {
             writeFileBytes(lock, pid + "\n" + QFileInfo(QCoreApplication::applicationFilePath())
                                                   .fileName()
                                                   .toUtf8() +
                                      "\n" + here + "\n" + QSysInfo::machineUniqueId() +
                                      "\nprima-accensione\n");
         },
         "preso"},
        {"another computer's, an hour old", [&] { writeForeignLock(lock, 3600); },
         "computer altro-pc, processo 4242, utente segreteria2"},
        {"another computer's, two days old", [&] { writeForeignLock(lock, 2 * 86400); }, "preso"},
        {"a killed run in a folder that won't let it go", [&] { writeAbandonedLock(lock); },
         "è rimasto da un'esecuzione interrotta", 0555},
        {"a read-only folder", [] {}, "la cartella è di sola lettura per questo utente", 0555},
        {"a folder that takes no byte", [] {}, "Impossibile scrivere nella cartella", 0755, true},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(lock).constData(), 0644), 0); },
         "non è un file normale (è una coda FIFO)"},
        {"a link to a device", [&] { ASSERT_TRUE(QFile::link("/dev/zero", lock)); },
         "non è un file normale (è un collegamento)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        c.plant();
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.folderMode), 0);
        const auto entries = [&] {
            return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                          QDir::NoDotAndDotDot);
        };
        const QStringList before = entries();
        {
            OrdinaryAccount office({dir.path(), folder});
            TVxSharedHold hold(lock);
            QString outcome;
            try {
                std::optional<FileSizeLimit> full;
                if (c.full)
                    full.emplace(0);
                outcome = hold.tryTake() ? QStringLiteral("preso") : hold.holderText();
            } catch (const EVxException &e) {
                // Named, and nothing left behind.
                outcome = e.message().contains(folder + "/estrazione.lck") ||
                                  e.message().contains(folder + " (file di blocco estrazione.lck)")
                              ? e.message()
                              : "senza nome: " + e.message();
                EXPECT_EQ(entries(), before);
            }
            EXPECT_TRUE(outcome.contains(c.says)) << outcome.toStdString();
            if (outcome == QLatin1String("preso")) {
                // Who holds it, writable by the folder's group where the folder is the group's.
                struct stat made;
                ASSERT_EQ(::lstat(QFile::encodeName(lock).constData(), &made), 0);
                EXPECT_EQ(made.st_mode & 0777, c.folderMode == 0775 ? 0664u : 0644u);
                EXPECT_EQ(readFileBytes(lock).split('\n').mid(0, 6),
                          (QList<QByteArray>{pid, readFileBytes(lock).split('\n').value(1), here,
                                             QSysInfo::machineUniqueId(),
                                             QSysInfo::bootUniqueId(),
                                             ::getpwuid(::geteuid())->pw_name}));
                hold.release();
                EXPECT_FALSE(QFileInfo::exists(lock));
            }
        }
        live.reset();
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    }
}
