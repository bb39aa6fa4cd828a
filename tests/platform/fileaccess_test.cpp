// Files another run reads: replaced whole under a fresh name of the writer's own, never written
// through a link someone planted, no more readable than what they hold and never keeping the
// modes of a file someone planted; lock files that no killed run, of whatever account, keeps.
#include "exports/qelexportlog.h"
#include "exports/qelexpscru.h"
#include "platform/clientdataset.h"
#include "platform/comm.h"
#include "platform/fileaccess.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/vxexception.h"
#include "platform/xmldoc.h"
#include "platform/zip.h"
#include "reportengine/reportrender.h"
#include "reportengine/tuvpdf.h"
#include "reports/qelprintjob.h"
#include "shell/qelpargen.h"
#include "shell/qelutil.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"
#include "tests/support/testhttpserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
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

// Offices on one computer taking a stale lock at once, 40 times over, each holding it a moment:
// "preso" when no two ever held it together, else how many did.
QString race(const QString &lock, int offices)
{
    std::atomic<int> holding{0};
    std::atomic<int> most{0};
    for (int round = 0; round < 40; ++round) {
        writeAbandonedLock(lock);
        std::vector<std::thread> threads;
        for (int i = 0; i < offices; ++i)
            threads.emplace_back([&] {
                TVxSharedHold hold(lock);
                if (!hold.tryTake())
                    return;
                const int now = ++holding;
                for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
                }
                QThread::msleep(2);
                --holding;
            });
        for (std::thread &t : threads)
            t.join();
    }
    return most == 1 ? QStringLiteral("preso") : QStringLiteral("%1 insieme").arg(int(most));
}

} // namespace

// Every writer of the program, whatever stands at its file's name or however the disk refuses
// its bytes: a link planted there is replaced, never followed; a planted file's modes are not
// kept; a disk that is full, or a size limit, leaves the old file whole and is told in Italian,
// naming the file. Nothing of a writer's own is left beside the file.
TEST(FileAccess, FilesAreReplacedWholeNeverThroughAPlantedLinkAndKeepTheirSecrets)
{
    ProgramDatabase db; // the writers that write what the database holds
    ASSERT_TRUE(db.opened);
    setDemoWorkingContext();
    runSql("UPDATE OR INSERT INTO TParVal (iParValId, bParVal) VALUES (1, ?) MATCHING (iParValId)",
           {QByteArray("[Sessione1]\r\nCodSessione1=392\r\n")});
    ASSERT_TRUE(TdmQelExpScru::InstallTemplates());
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("Connessione.ini"));
    const QByteArray victimBytes = "[Connessione]\r\nPassword=del-database\r\n";
    const QString secret = dir.filePath(QStringLiteral("DocCls.xml"));
    savePacket(secret, TVxFileSync::Now, TVxFileAccess::OwnerOnly);
    const QString privateZip = dir.filePath(QStringLiteral("privato.zip"));
    zip(privateZip, secret);
    TestHttpServer server;
    server.respond = [](const TestHttpServer::Request &) {
        return TestHttpServer::response(200, "OK", QByteArray(100, 'z'));
    };
    const QString setup = dir.filePath(QStringLiteral("Setup.exe"));
    writeFileBytes(setup, QByteArray(100, 's'));
    TfrDisplayList onePage;
    onePage.Pages.push_back(TfrPage{QSizeF(210, 297), {}});
    const QString pdf = dir.filePath(QStringLiteral("registro.pdf"));
    frExportPdf(onePage, pdf, QStringLiteral("Registro"), 600);

    using Sync = TVxFileSync;
    using Access = TVxFileAccess;
    const struct
    {
        const char *what;
        std::function<void(const QString &)> write;
        bool ownerOnly;
        const char *name = "DocCls.xml"; // under the case's folder, the main folder of the run
        bool database = false;           // no size limit under the database's own writes
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
        {"XML document",
         [](const QString &p) {
             VxXmlDocument doc;
             QDomElement root = doc.createRoot("ANAGRAFICHE");
             doc.addElement(root, "ANAGRAFICA", "Rossi Maria Grazia");
             doc.saveToFile(p);
         },
         false},
        {"download", [&](const QString &p) { TdmxComm().http_get(server.url("/scarica.php"), p); },
         false},
        {"set-up copied to a key", [&](const QString &p) { VxCopyFile(setup, p); }, false},
        {"export log",
         [](const QString &p) {
             TQelExportLog log;
             log.begin();
             log.saveToFile(p);
         },
         false},
        {"print job", [](const QString &p) { PrintJobWrite(p, QString(40, 'a')); }, false},
        {"report's PDF", [&](const QString &p) { frExportPdf(onePage, p, "Registro", 600); },
         false},
        {"volume's sealed PDF",
         [&](const QString &p) {
             TTuvPdf sealer;
             sealer.LoadFromFile(pdf);
             sealer.Encrypt("MORDELVA", "", 0, TTuvPdf::Permissions({}));
             sealer.SaveToFile(p);
         },
         false},
        {"teachers' list", [](const QString &p) { WriteDocentiXml(nullptr, p); }, false,
         "DocCls.xml", true},
        {"print settings' mirror",
         [&](const QString &p) {
             setMainDir(QFileInfo(p).path() + "/..");
             const auto back = qScopeGuard([&] { setMainDir(db.mainDir.path()); });
             TdmqelParGen().WriteParRptIniFromDb();
         },
         false, "ETC/qelParRpt.ini", true},
        {"survey workbook",
         [](const QString &p) { TdmQelExpScru().WriteEsitiWorkbook(QString(), p); }, false,
         "DocCls.xml", true},
    };
    enum Planted { Link, SetuidFile, WriteLimit, NoRoom };
    // A umask that lets the group read: a shared file's group may, a secret's may not.
    const mode_t umaskBefore = ::umask(027);
    const auto restoreUmask = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });
    for (const auto &c : cases) {
        for (const Planted planted : {Link, SetuidFile, WriteLimit, NoRoom}) {
            if (planted == WriteLimit && c.database)
                continue;
            SCOPED_TRACE(testing::Message() << c.what << ", case " << planted);
            writeFileBytes(victim, victimBytes);
            const QString target = dir.filePath(QString::fromLatin1(c.what).replace(' ', '_') +
                                                QString::number(planted) + '/' + c.name);
            const QString folder = QFileInfo(target).path();
            ASSERT_TRUE(QDir().mkpath(folder));
            // At the name itself, or a file another account left there world-writable and
            // setuid; and where a writer of fixed names put its temporary file.
            const QByteArray old = "il file di prima";
            std::optional<FullDisk> full;
            if (planted == Link) {
                ASSERT_TRUE(QFile::link(victim, target));
            } else if (planted == SetuidFile) {
                writeFileBytes(target, "piantato");
                ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 06777), 0);
            } else if (planted == WriteLimit) {
                writeFileBytes(target, old);
            } else if (full.emplace(
                           folder,
                           QList<QPair<QString, QByteArray>>{{QFileInfo(target).fileName(), old}});
                       !full->mounted()) {
                continue; // only root mounts a disk of its own
            }
            ASSERT_TRUE(QFile::link(victim, target + ".~tmp"));
            QString refusal;
            try {
                std::optional<FileSizeLimit> limit;
                if (planted == WriteLimit)
                    limit.emplace(20);
                c.write(target);
            } catch (const EVxException &e) {
                refusal = e.message();
            }
            EXPECT_EQ(readFileBytes(victim), victimBytes);
            EXPECT_FALSE(QFileInfo(target).isSymLink());
            if (planted == WriteLimit || planted == NoRoom) {
                // The old file whole, the file and the cause named.
                EXPECT_EQ(readFileBytes(target), old);
                EXPECT_TRUE(refusal.contains(QDir::toNativeSeparators(target)))
                    << refusal.toStdString();
                EXPECT_TRUE(refusal.contains(planted == NoRoom
                                                 ? "spazio esaurito sul disco"
                                                 : "il file supera la dimensione concessa"))
                    << refusal.toStdString();
            } else {
                EXPECT_EQ(refusal, QString());
                EXPECT_EQ(VxIsOwnerOnly(target), c.ownerOnly);
                struct stat written;
                ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &written), 0);
                EXPECT_EQ(written.st_mode & 07777, c.ownerOnly ? 0600u : 0640u);
            }
            // Nothing but the target and the link left at the old temporary name.
            EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                      full ? 3 : 2);
        }
    }
}

// Whoever left a lock, and whatever stands at its name: a run whose process is gone from this
// computer never keeps it, another computer's keeps it a day, one that names nobody a few
// seconds; offices racing for a stale lock never hold it two at once, and a run whose lock was
// taken over leaves the new one when it ends; a lock that is no regular file, a folder that
// takes nothing, a lock the folder won't let go are refused, saying which file.
TEST(SharedHold, AStaleLockIsTakenOverWhoeverLeftItAndEveryOtherFailureIsTold)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("condivisa"));
    const QString lock = folder + QStringLiteral("/estrazione.lck");
    const QByteArray here = QSysInfo::machineHostName().toUtf8();
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid());
    std::unique_ptr<TVxSharedHold> live;
    // A lock that names nobody, as a run killed before it wrote its lock leaves it.
    const auto damaged = [&](const QByteArray &bytes) {
        writeFileBytes(lock, bytes);
        const timeval then[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
        ASSERT_EQ(::utimes(QFile::encodeName(lock).constData(), then), 0);
    };
    const struct
    {
        const char *what;
        std::function<void()> plant;
        QString says; // "preso", the holder, or the refusal's words
        mode_t folderMode = 0755;
        bool full = false;
        std::function<void()> taken = {}; // once the hold is taken
        int racers = 0; // offices taking the planted lock at once, round after round
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
             writeFileBytes(
                 lock, pid + "\n" +
                           QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() +
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
        {"an empty lock, a minute old", [&] { damaged(""); }, "preso"},
        {"a lock of no process, a minute old", [&] { damaged("\x01\x02tavrin"); }, "preso"},
        {"a lock of a negative process", [&] { damaged("-42\ntavrin\n" + here + "\n"); }, "preso"},
        {"a lock of no computer", [&] { damaged("4242\ntavrin\n\n"); }, "preso"},
        {"a damaged lock in a folder that won't let it go", [&] { damaged(""); },
         "è danneggiato (non dice quale esecuzione lo ha creato)", 0555},
        {"a run whose lock was taken over ends",
         [&] {
             live = std::make_unique<TVxSharedHold>(lock);
             ASSERT_TRUE(live->tryTake());
             ASSERT_TRUE(QFile::remove(lock));
         },
         "preso", 0755, false, [&] { live.reset(); }},
        {"offices racing for a killed run's lock", [] {}, "preso", 0755, false, {}, 8},
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
                outcome = c.racers         ? race(lock, c.racers)
                          : hold.tryTake() ? QStringLiteral("preso")
                                           : hold.holderText();
                if (c.taken)
                    c.taken();
            } catch (const EVxException &e) {
                // Named, and nothing left behind.
                outcome = e.message().contains(folder + "/estrazione.lck") ||
                                  e.message().contains(folder + " (file di blocco estrazione.lck)")
                              ? e.message()
                              : "senza nome: " + e.message();
                EXPECT_EQ(entries(), before);
            }
            EXPECT_TRUE(outcome.contains(c.says)) << outcome.toStdString();
            if (outcome == QLatin1String("preso") && !c.racers) {
                // Who holds it, writable by the folder's group where the folder is the group's.
                struct stat made;
                ASSERT_EQ(::lstat(QFile::encodeName(lock).constData(), &made), 0);
                EXPECT_EQ(made.st_mode & 0777, c.folderMode == 0775 ? 0664u : 0644u);
                EXPECT_EQ(readFileBytes(lock).split('\n').mid(0, 6),
                          (QList<QByteArray>{pid, readFileBytes(lock).split('\n').value(1), here,
                                             QSysInfo::machineUniqueId(), QSysInfo::bootUniqueId(),
                                             ::getpwuid(::geteuid())->pw_name}));
                hold.release();
                EXPECT_FALSE(QFileInfo::exists(lock));
            }
        }
        live.reset();
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    }
}
