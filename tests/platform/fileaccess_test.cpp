// Files another run reads: replaced whole under a fresh name of the writer's own, never written
// through a link someone planted, no more readable than what they hold and never keeping the
// modes of a file someone planted; lock files that no killed run, of whatever account, keeps.
#include "exchange/qelclassfolders.h"
#include "exchange/qelwebpackets.h"
#include "exports/qelexportalu.h"
#include "exports/qelexportlog.h"
#include "exports/qelexpscru.h"
#include "makeup/qelcontrollarecuperi.h"
#include "makeup/qelfctrrecuperi.h"
#include "platform/clientdataset.h"
#include "platform/comm.h"
#include "platform/connection.h"
#include "platform/dialogseam.h"
#include "platform/fileaccess.h"
#include "platform/inifile.h"
#include "platform/maindir.h"
#include "platform/vxexception.h"
#include "platform/xmldoc.h"
#include "platform/zip.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reportrender.h"
#include "reportengine/reporttree.h"
#include "reportengine/tuvpdf.h"
#include "reports/qelprintjob.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelactivations.h"
#include "shell/qelmain.h"
#include "shell/qelpargen.h"
#include "shell/qelreporttree.h"
#include "shell/qelutil.h"
#include "tests/support/runningprogram.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"
#include "tests/support/testhttpserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <utility>

// While set, every sync of the process fails as on a disk that lost the write, or first
// removes the file synced, as another office's cleanup would; the close of a file written fails
// as a network disk tells a late write error; a flock fails with the error set, as on a
// network share without kernel locks, or runs a step of another office first. Every other
// call is the system's.
std::atomic<bool> failSync{false};
std::atomic<bool> removeSynced{false};
std::atomic<bool> failClose{false};
std::atomic<int> failFlock{0};
std::function<void()> beforeFlock;

extern "C" int fsync(int fd)
{
    if (removeSynced) {
        char path[PATH_MAX] = {};
        if (::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), path,
                       sizeof path - 1) > 0)
            ::unlink(path);
    }
    return failSync ? (errno = EIO, -1) : int(::syscall(SYS_fsync, fd));
}

extern "C" int close(int fd)
{
    struct stat info;
    const bool written = failClose && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                         (::fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY;
    const int closed = int(::syscall(SYS_close, fd));
    return written ? (errno = EIO, -1) : closed;
}

extern "C" int flock(int fd, int operation) noexcept
{
    if (beforeFlock)
        std::exchange(beforeFlock, {})();
    return failFlock ? (errno = failFlock, -1) : int(::syscall(SYS_flock, fd, operation));
}

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

// What lstat says of the name: its kind and modes, 0 when nothing stands there.
mode_t modeOf(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
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

// A fresh name as a writer of this computer (its tag read from a writer's own name) or of
// another makes it: ".<file>.<computer><process><random>".
QString freshName(const QString &target, qint64 process, bool here = true)
{
    static const QByteArray tag = [] {
        QTemporaryDir dir;
        TVxFileReplacement writer(dir.filePath(QStringLiteral("x")));
        writer.open();
        return QDir(dir.path())
            .entryList(QDir::Hidden | QDir::Files)
            .first()
            .toLatin1()
            .right(24)
            .left(8);
    }();
    return QStringLiteral("%1/.%2.%3%4abcdef01")
        .arg(QFileInfo(target).path(), QFileInfo(target).fileName(),
             here ? QString::fromLatin1(tag) : QStringLiteral("0a1b2c3d"))
        .arg(process, 8, 16, QLatin1Char('0'));
}

} // namespace

// Every writer of the program, whatever stands at its file's name or however the disk refuses
// its bytes: a link planted there (dangling or not) is neither followed nor replaced, the write
// refused naming it and where it points; a FIFO is replaced, never waited on; the modes of a
// file another account planted are not kept, those the office gave its own file are; a disk
// that is full, a size limit (on a block as large as the replacement's buffer too), a sync or a
// close that fails leaves the old file whole and is told in Italian, naming the file and saying
// that the old one is as it was. Nothing of a writer's own is left beside the file; what a
// killed writer left there goes, a live writer's fresh name stays, and a write whose fresh name
// another removed says so.
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
    // Copied in blocks larger than the replacement's buffer, which go to the disk at once.
    const QString setup = dir.filePath(QStringLiteral("Setup.exe"));
    writeFileBytes(setup, QByteArray(3 * TVxFileReplacement::kBufferSize, 's'));
    TfrDisplayList onePage;
    onePage.Pages.push_back(TfrPage{QSizeF(210, 297), {}, {}});
    const QString pdf = dir.filePath(QStringLiteral("registro.pdf"));
    frExportPdf(onePage, pdf, QStringLiteral("Registro"), 600);
    TdmQelControllaRecuperi duplicates;
    std::unique_ptr<TqelFCtrRecuperi> duplicatesWindow;
    {
        ScriptedDialogs scripted;
        duplicatesWindow = std::make_unique<TqelFCtrRecuperi>(nullptr, &duplicates);
    }

    using Sync = TVxFileSync;
    using Access = TVxFileAccess;
    // What a writer is beside the rest: for its owner alone; under the database's own writes (no
    // size limit or failed sync there); synced with its folder by its caller; one that reads
    // first (a FIFO at its name is refused by name).
    enum Trait { OwnerOnly = 1, Database = 2, Later = 4, ReadsFirst = 8 };
    // A report printed through the print dialog, the file chosen there.
    const auto printedTo = [](const QString &p, const std::function<void()> &print) {
        ScriptedDialogs scripted;
        DialogSeam::queueAnswer(p);
        print();
    };
    const struct
    {
        const char *what;
        std::function<void(const QString &)> write;
        int traits = 0;
        const char *name = "DocCls.xml"; // under the case's folder, the main folder of the run
    } cases[] = {
        {"packet synced now", [](const QString &p) { savePacket(p, Sync::Now, Access::Shared); }},
        {"packet synced later",
         [](const QString &p) { savePacket(p, Sync::Later, Access::Shared); }, Later},
        {"packet of passwords",
         [](const QString &p) { savePacket(p, Sync::Later, Access::OwnerOnly); },
         OwnerOnly | Later},
        {"settings holding a password",
         [](const QString &p) {
             TVxINIFile ini(p);
             ini.setAccess(Access::OwnerOnly);
             ini.WriteString(QStringLiteral("Connessione"), QStringLiteral("Password"), "x");
         },
         OwnerOnly | ReadsFirst},
        {"archive of a private file", [&](const QString &p) { zip(p, secret); }, OwnerOnly},
        {"web send's archive",
         [&](const QString &p) {
             // The packet, which the archive takes away, linked anew: no write of its own.
             const QByteArray packet = QFile::encodeName(dir.filePath("DocCls-inviato.xml"));
             ::unlink(packet.constData());
             ASSERT_EQ(::link(QFile::encodeName(secret).constData(), packet.constData()), 0);
             ZipWorkXml({QFile::decodeName(packet)}, p);
         },
         OwnerOnly},
        {"file extracted from a private archive",
         [&](const QString &p) {
             TZip archive;
             archive.setFileName(privateZip);
             archive.setExtractPath(QFileInfo(p).path());
             archive.Extract();
         },
         OwnerOnly | Later},
        {"XML document",
         [](const QString &p) {
             VxXmlDocument doc;
             QDomElement root = doc.createRoot("ANAGRAFICHE");
             doc.addElement(root, "ANAGRAFICA", "Rossi Maria Grazia");
             doc.saveToFile(p);
         }},
        {"download", [&](const QString &p) { TdmxComm().http_get(server.url("/scarica.php"), p); }},
        {"set-up copied to a key", [&](const QString &p) { VxCopyFile(setup, p); }},
        {"export log",
         [](const QString &p) {
             TQelExportLog log;
             log.begin();
             log.saveToFile(p);
         }},
        {"print job", [](const QString &p) { PrintJobWrite(p, QString(40, 'a')); }},
        {"report's PDF", [&](const QString &p) { frExportPdf(onePage, p, "Registro", 600); }},
        {"report printed to a file",
         [&](const QString &p) {
             printedTo(p, [&] { ASSERT_TRUE(frPrintWithDialog(nullptr, onePage)); });
         }},
        {"duplicate make-up list printed to a file",
         [&](const QString &p) {
             printedTo(p, [&] {
                 duplicatesWindow->findChild<QPushButton *>(QStringLiteral("btnStampaLista"))
                     ->click();
                 for (const DialogSeam::Shown &shown : DialogSeam::shown())
                     if (shown.kind == QLatin1String("message"))
                         throw EVxException(shown.text);
             });
         }},
        {"volume's sealed PDF",
         [&](const QString &p) {
             TTuvPdf sealer;
             sealer.LoadFromFile(pdf);
             sealer.Encrypt("MORDELVA", "", 0, TTuvPdf::Permissions({}));
             sealer.SaveToFile(p);
         }},
        {"teachers' list", [](const QString &p) { WriteDocentiXml(nullptr, p); }, Database},
        {"print settings' mirror",
         [&](const QString &p) {
             setMainDir(QFileInfo(p).path() + "/..");
             const auto back = qScopeGuard([&] { setMainDir(db.mainDir.path()); });
             TdmqelParGen().WriteParRptIniFromDb();
         },
         Database, "ETC/qelParRpt.ini"},
        {"survey workbook",
         [](const QString &p) { TdmQelExpScru().WriteEsitiWorkbook(QString(), p); }, Database},
    };
    // Another account's file is world-writable and setuid, the office's own has its own modes;
    // what killed writers left are fresh names of a process gone from this computer, and of
    // another computer two days old; a live writer's, of this process or an hour old of another
    // computer (whose kernel lock a share may not carry here), stays.
    enum Planted {
        Link,
        Dangling,
        Fifo,
        Others,
        Office,
        Killed,
        LiveHere,
        LiveElsewhere,
        Limit,
        NoRoom,
        NoSync,
        NoClose,
        Removed
    };
    // A umask that lets the group read: a shared file's group may, a secret's may not.
    const mode_t umaskBefore = ::umask(027);
    const auto restoreUmask = qScopeGuard([umaskBefore] { ::umask(umaskBefore); });
    for (const auto &c : cases) {
        for (int planted = Link; planted <= Removed; ++planted) {
            if ((planted == Limit && c.traits & Database) ||
                ((planted == NoSync || planted == Removed) && c.traits & (Database | Later)) ||
                (planted == NoClose && c.traits & Database) ||
                (planted == Others && ::geteuid() != 0)) // only root plants another's file
                continue;
            SCOPED_TRACE(testing::Message() << c.what << ", case " << planted);
            writeFileBytes(victim, victimBytes);
            const QString target = dir.filePath(QString::fromLatin1(c.what).replace(' ', '_') +
                                                QString::number(planted) + '/' + c.name);
            const QString folder = QFileInfo(target).path();
            const QString elsewhere = folder + QStringLiteral("-altrove");
            ASSERT_TRUE(QDir().mkpath(folder));
            const QByteArray old = "il file di prima";
            std::optional<FullDisk> full;
            int fifoReader = -1;
            if (planted == Link) {
                ASSERT_TRUE(QFile::link(victim, target));
            } else if (planted == Dangling) {
                ASSERT_TRUE(QFile::link(elsewhere, target));
            } else if (planted == Fifo) {
                ASSERT_EQ(::mkfifo(QFile::encodeName(target).constData(), 0644), 0);
                // Read, so that a writer that follows it fills it rather than hang.
                fifoReader = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_NONBLOCK);
            } else if (planted == Others || planted == Office) {
                writeFileBytes(target, "piantato");
                ASSERT_EQ(::chmod(QFile::encodeName(target).constData(),
                                  planted == Others ? 06777 : 0660),
                          0);
                if (planted == Others)
                    ASSERT_EQ(::chown(QFile::encodeName(target).constData(), 65534, 65534), 0);
            } else if (planted == Killed || planted == LiveHere || planted == LiveElsewhere) {
                using Left = QList<QPair<QString, qint64>>; // a fresh name, its age
                const qint64 gone = 0x3fffffff;             // beyond any process number
                const Left left =
                    planted == Killed     ? Left{{freshName(target, gone), 60},
                                             {freshName(target, 42, false), 2 * 86400}}
                    : planted == LiveHere ? Left{{freshName(target, ::getpid()), 3600}}
                                          : Left{{freshName(target, 42, false), 3600}};
                for (const auto &[name, age] : left) {
                    writeFileBytes(name, QByteArray(1000, 'k'));
                    const timeval then[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
                    ASSERT_EQ(::utimes(QFile::encodeName(name).constData(), then), 0);
                }
            } else if (planted == NoRoom) {
                full.emplace(
                    folder, QList<QPair<QString, QByteArray>>{{QFileInfo(target).fileName(), old}});
                if (!full->mounted())
                    continue; // only root mounts a disk of its own
            } else {
                writeFileBytes(target, old);
            }
            // Where a writer of fixed names put its temporary file.
            ASSERT_TRUE(QFile::link(victim, target + ".~tmp"));
            const QString refusal = refusalOf([&] {
                std::optional<FileSizeLimit> limit;
                if (planted == Limit)
                    limit.emplace(20);
                failSync = planted == NoSync;
                failClose = planted == NoClose;
                removeSynced = planted == Removed;
                const auto synced =
                    qScopeGuard([] { failSync = failClose = removeSynced = false; });
                c.write(target);
            });
            // The refusal names the file and says the words.
            const auto says = [&](const QString &words) {
                return refusal.contains(QDir::toNativeSeparators(target)) &&
                       refusal.contains(words);
            };
            if (fifoReader >= 0)
                ::close(fifoReader);
            EXPECT_EQ(readFileBytes(victim), victimBytes);
            EXPECT_FALSE(VxNameTaken(elsewhere));
            if (planted == Fifo && c.traits & ReadsFirst) {
                EXPECT_TRUE(says("è una coda FIFO")) << refusal.toStdString();
            } else if (planted == Link || planted == Dangling) {
                // Refused by name and where it points; the link as it was.
                const QString pointed =
                    planted == Link ? victim : "un percorso che non esiste (" + elsewhere + ")";
                EXPECT_TRUE(says("è un collegamento a " + pointed)) << refusal.toStdString();
                EXPECT_TRUE(S_ISLNK(modeOf(target)));
            } else if (planted == Removed) {
                // Said as it happened: never that the old file is as it was.
                EXPECT_EQ(readFileBytes(target), old);
                EXPECT_TRUE(says("è stato cancellato nel frattempo") &&
                            !refusal.contains("rimasto com'era"))
                    << refusal.toStdString();
            } else if (planted >= Limit) {
                // The old file whole, the file and the cause named, the old file said kept.
                EXPECT_EQ(readFileBytes(target), old);
                EXPECT_TRUE(says(planted == NoRoom  ? "spazio esaurito sul disco"
                                 : planted == Limit ? "il file supera la dimensione concessa"
                                                    : "errore di lettura o scrittura") &&
                            (refusal.contains("Il file che c'era è rimasto com'era.") ||
                             refusal.contains("Nessun file è stato estratto.")))
                    << refusal.toStdString();
            } else {
                EXPECT_EQ(refusal, QString());
                EXPECT_TRUE(S_ISREG(modeOf(target)));
                EXPECT_EQ(VxIsOwnerOnly(target), bool(c.traits & OwnerOnly));
                EXPECT_EQ(modeOf(target) & 07777, c.traits & OwnerOnly ? 0600u
                                                  : planted == Office  ? 0660u
                                                                       : 0640u);
            }
            // Nothing but the target, the link left at the old temporary name and a live
            // writer's fresh name.
            EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                      full || planted == LiveHere || planted == LiveElsewhere ? 3 : 2);
        }
    }
}

// A name is free only where nothing stands: a link pointing nowhere, or a name that can't be
// looked at (a folder this user may not search, a loop of links on the way) is taken.
TEST(FileAccess, ANameIsFreeOnlyWhereNothingStands)
{
    QTemporaryDir dir;
    const QString closed = dir.filePath(QStringLiteral("chiusa"));
    ASSERT_TRUE(QDir().mkpath(closed) && QFile::link(dir.filePath("giro"), dir.filePath("giro")) &&
                QFile::link(dir.filePath("assente"), dir.filePath("collegamento")));
    ASSERT_EQ(::chmod(QFile::encodeName(closed).constData(), 0), 0);
    writeFileBytes(dir.filePath(QStringLiteral("file")), "x");
    const OrdinaryAccount office({dir.path()}); // whom the closed folder refuses
    const struct
    {
        const char *name;
        bool taken;
    } cases[] = {{"libero", false},   {"collegamento", true}, {"file", true},
                 {"giro/nome", true}, {"chiusa/nome", true},  {"file/nome", false}};
    for (const auto &c : cases)
        EXPECT_EQ(VxNameTaken(dir.filePath(QString::fromLatin1(c.name))), c.taken) << c.name;
}

// Every folder the program makes or enters to write, with a link at its name. The office's own
// link in the main folder (ETC, USR or sta kept on another disk: this account's, in a folder no
// one else may write, to a folder it may write) is followed through a start, a volume run and
// an export: what the program reads and writes there is where the link points, and the link
// stays. Any other (another account's; one in a folder others may write, as an exchange folder
// teachers write; one pointing nowhere) is refused by name and where it points: nothing written
// through it, the link as it was.
using FolderLinks = RunningProgram;

TEST_F(FolderLinks, TheOfficesOwnAreFollowedAndNoOtherIsEnteredOrReplaced)
{
    const QString main = QDir::cleanPath(db.mainDir.path());
    objects->mainWindow()->show();
    objects->mainWindow()->ensureFirstActivation();
    ASSERT_TRUE(dmqelRptDataSets);
    const QString database = readConnectionSettings().Database;
    QTemporaryDir elsewhere;
    // The office's own link to its key, a chosen base: followed whatever the case.
    const QString key = elsewhere.filePath(QStringLiteral("chiavetta"));
    ASSERT_TRUE(QDir().mkpath(key) && QFile::link(key, main + QStringLiteral("/chiavetta")));
    const auto packetInto = [](const QString &folder) {
        TClientDataSet packet;
        packet.AddFieldDef(QStringLiteral("Voto"), ftString, 5);
        packet.CreateDataSet();
        SaveOrAppendPacket(packet, folder, "voti.xml", false);
    };
    int writes = 0;
    const struct
    {
        const char *what;
        const char *link; // below the main folder
        std::function<void()> work;
    } cases[] = {
        {"a start", "ETC",
         [&] {
             EXPECT_EQ(readConnectionSettings().Database, database);
             TdmqelParGen parGen;
             parGen.xpsDirRete.SetValore(QString::number(++writes));
         }},
        {"a volume run", "USR",
         [&] {
             QelRegisterVolume::Export(*dmqelRptDataSets, qelReportTree(dmqelActivations)->RptFR(),
                                       {{39023}, 16169, "A4", "Registro generale dei voti"});
         }},
        {"an export", "sta",
         [&] {
             TdmExportAlu exporter;
             exporter.AnsId = 39;
             exporter.DwgId = 2;
             exporter.SplitBySite = true;
             exporter.OutputDir = VxMakeOwnFolder(main + QStringLiteral("/sta"));
             exporter.ExportAluExtracts();
         }},
        {"a class folder", "Classi/5A",
         [&] { packetInto(MakeClassFolder(main + QStringLiteral("/Classi/"), "5A")); }},
        {"a class folder on the office's key", "chiavetta/5A",
         [&] { packetInto(MakeClassFolder(main + QStringLiteral("/chiavetta/"), "5A")); }},
        {"web packets", "Web", [&] { packetInto(main + QStringLiteral("/Web/")); }},
    };
    enum Link { Own, AnotherAccount, SharedFolder, Dangling };
    for (const auto &c : cases) {
        for (int link = Own; link <= Dangling; ++link) {
            if (link == AnotherAccount && ::geteuid() != 0)
                continue; // only root makes a link another account's
            SCOPED_TRACE(testing::Message() << c.what << ", case " << link);
            const QString linked = main + '/' + c.link;
            const QString parent = QFileInfo(linked).path();
            const QString target = elsewhere.filePath(QString(c.link).replace('/', '_'));
            // What the folder held moves where the link points.
            ASSERT_TRUE(QDir().mkpath(linked) && QDir().rename(linked, target));
            const QString pointed = link == Dangling ? target + QStringLiteral("-assente") : target;
            ASSERT_TRUE(QFile::link(pointed, linked));
            if (link == AnotherAccount)
                ASSERT_EQ(::lchown(QFile::encodeName(linked).constData(), 65534, 65534), 0);
            if (link == SharedFolder)
                ASSERT_EQ(::chmod(QFile::encodeName(parent).constData(), 0777), 0);
            const QStringList before = allFiles(target);
            ScriptedDialogs dialogs;
            QString refusal = refusalOf(c.work);
            refusal += DialogSeam::shownTexts().join('|');
            ::chmod(QFile::encodeName(parent).constData(), 0755);
            EXPECT_EQ(QFileInfo(linked).symLinkTarget(), pointed);
            if (link == Own) {
                EXPECT_EQ(refusal, QString());
                EXPECT_NE(allFiles(target), before);
            } else {
                EXPECT_TRUE(
                    refusal.contains(QDir::toNativeSeparators(linked) + ": " + VxLinkText(linked)))
                    << refusal.toStdString();
                EXPECT_EQ(allFiles(target), before);
            }
            ASSERT_TRUE(QFile::remove(linked) && QDir().rename(target, linked));
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
    int otherBreaker = -1;
    // A lock that names nobody, as a run killed before it wrote its lock leaves it.
    const auto damaged = [&](const QByteArray &bytes, int secondsAgo = 60) {
        writeFileBytes(lock, bytes);
        const timeval then[2] = {{time(nullptr) - secondsAgo, 0}, {time(nullptr) - secondsAgo, 0}};
        ASSERT_EQ(::utimes(QFile::encodeName(lock).constData(), then), 0);
    };
    // The breaker, and a file of the office's own that a hard link there would expose.
    const QString breaker = folder + '/' + TVxSharedHold::kBreakerName;
    const QString secret = dir.filePath(QStringLiteral("segreto"));
    // A killed run's lock, and what stands at the breaker's name beside it.
    const auto stale = [&](const std::function<void()> &plantBreaker) {
        return [&lock, plantBreaker] {
            writeAbandonedLock(lock);
            plantBreaker();
        };
    };
    const struct
    {
        const char *what;
        std::function<void()> plant;
        QString says; // "preso", the holder, or the refusal's words
        mode_t folderMode = 0755;
        bool full = false;
        std::function<void()> taken = {}; // once the hold is taken
        int racers = 0;              // offices taking the planted lock at once, round after round
        bool anotherAccount = false; // planted by an account the office is not: only as root
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
        {"an empty lock dated an hour ahead", [&] { damaged("", -3600); }, "preso"},
        {"a hard link to a private file at the breaker's name", stale([&] {
             writeFileBytes(secret, "segreto");
             ::chmod(QFile::encodeName(secret).constData(), 0600);
             if (::geteuid() == 0)
                 ASSERT_EQ(::chown(QFile::encodeName(secret).constData(), 65534, 65534), 0);
             ASSERT_EQ(::link(QFile::encodeName(secret).constData(),
                              QFile::encodeName(breaker).constData()),
                       0);
         }),
         "preso", 0775, false, [&] { EXPECT_EQ(modeOf(secret) & 07777, 0600u); }},
        {"a folder at the breaker's name", stale([&] { QDir().mkdir(breaker); }),
         "Il file di subentro " + breaker + " non è un file normale (è una cartella)"},
        {"a link at the breaker's name",
         stale([&] { QFile::link(QStringLiteral("/dev/null"), breaker); }),
         "Il file di subentro " + breaker + " non è un file normale (è un collegamento)"},
        {.what = "another account's private breaker",
         .plant = stale([&] {
             writeFileBytes(breaker, "");
             ::chmod(QFile::encodeName(breaker).constData(), 0600);
         }),
         .says = "deve bloccare il file " + breaker + ", che non può usare: è di un altro utente",
         .anotherAccount = true},
        // Another office, which judged the lock stale too, removes the breaker this one is about
        // to lock and holds one made new; once this office looks again it has taken the lock
        // over: never counted as this office's breaker, never removed.
        {"a breaker removed and made again while held", stale([&] {
             beforeFlock = [&] {
                 const QByteArray name = QFile::encodeName(breaker);
                 ::unlink(name.constData());
                 otherBreaker = ::open(name.constData(), O_RDONLY | O_CREAT | O_EXCL, 0644);
                 ASSERT_EQ(::syscall(SYS_flock, otherBreaker, LOCK_EX), 0);
                 beforeFlock = [&] {
                     ::unlink(QFile::encodeName(lock).constData());
                     live = std::make_unique<TVxSharedHold>(lock);
                     ASSERT_TRUE(live->tryTake());
                     ::unlink(QFile::encodeName(breaker).constData());
                     ::close(otherBreaker);
                 };
             };
         }),
         "computer " + here + ", processo " + pid},
        {"a disk without kernel locks", stale([] { failFlock = ENOLCK; }),
         "deve bloccare il file " + breaker +
             ", che non può usare: il disco non permette di bloccare i file"},
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
        if (c.anotherAccount && ::geteuid() != 0)
            continue;
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
        failFlock = 0;
        beforeFlock = {};
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    }
}
