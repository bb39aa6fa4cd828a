#pragma once

// Who may read a file the program writes, how a file another run reads is replaced, and how
// the files of folders that other offices (or other accounts) share are opened and held.
//
//   VxReplaceFile(path, bytes[, sync[, access]])   the file replaced whole, or left as it was
//   TVxFileReplacement                            the same for a file written as a stream
//   VxCopyFile(source, target)                    a copy that replaces the target when whole
//   VxPutInPlace(made, path)                      another program's new file put in its place
//   SyncFolderToDisk(folder)                      what was written there is on the disk
//   VxIsOwnerOnly(path)                           no one but the owner may read it
//   VxNameTaken(path)                             anything stands at the name, a link included
//   VxLinkText(path)                              where a link points, in a message's words
//   VxOpenRegularFile(file, path)                 opened for reading only if a regular file
//   VxMakeOwnFolder(base, relative)               a folder made or entered to write
//   TVxSharedHold                                 a lock file among offices of one folder
//   VxSystemErrorText(errno), VxFileErrorText(file)  a system error in Italian
//
// Every file the program writes goes through VxReplaceFile or TVxFileReplacement (a print to a
// PDF file too: printoutput.h), and every folder it makes or enters to write through
// VxMakeOwnFolder: no writer follows a link someone else could have made, keeps the modes of a
// file someone planted, or leaves a shorter file in place of the old one when the disk is full,
// and nothing the program does removes or replaces a link. scripts/checkwriters.sh (test
// check_writers) finds any other way in the program's objects.
//
// Files holding a password or pupils' data on their way to an upload (the connection settings,
// the teachers' credentials, packets and archives) are readable by their owner alone; every
// other file takes the program's usual permissions.

#include "platform/vxexception.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QIODevice>
#include <QString>

class QFile;
class QFileDevice;

enum class TVxFileAccess { Shared, OwnerOnly };
// When a saved file is on the disk: before the save returns (Now), or once the caller has
// synced its folder (Later, SyncFolderToDisk below), one wait for many files, before
// the file that vouches for them is written.
enum class TVxFileSync { Now, Later };

// The bytes are written under a fresh name beside the file, created exclusively (neither a file
// nor a link that someone planted under a name the program would use is ever opened), and that
// name is renamed over the file: a reader finds the old file or the whole new one. A link
// standing at the file's name, one pointing nowhere too, is neither followed nor replaced: the
// write is refused, naming it and where it points (VxLinkText). OwnerOnly files are readable by
// their owner only; a Shared one keeps the permissions of the file it replaces when that is this
// user's own (the office may have given it 0640), else takes the usual ones: never the modes
// of a file another account planted (world-writable, setuid). Every write, the flush and the
// sync are checked (the last pages of a small file reach the disk only then): a failure throws
// EVxException naming the file and the cause in Italian and saying that the old file is as it
// was; the fresh name is then gone.
void VxReplaceFile(const QString &path, const QByteArray &bytes,
                   TVxFileSync sync = TVxFileSync::Now,
                   TVxFileAccess access = TVxFileAccess::Shared);

// VxReplaceFile for a file written as it is made (a download, a PDF, a workbook, a copy):
//   TVxFileReplacement out(path);
//   if (!out.open()) throw out.failure();   // the fresh name, created exclusively
//   writer(out);
//   out.commit();                           // synced, closed, renamed over the file; or throws
// The bytes go to the disk in pieces of kBufferSize, each write checked by the object itself:
// a write that fails fails every later one and commit(), so a writer that does not look at
// what write() returns still never replaces the file with a cut one. A writer may go back to
// rewrite what it wrote (an archive's headers: seek()). The fresh name goes with the object
// unless committed. It names this computer and the writer's process: the first open() of a run
// in a folder removes the fresh names there that writers of this user left when they were
// killed, those whose process is gone from this computer, and those of other computers only
// once untouched for kLeftAfterSecs (a share's kernel locks may not reach this computer, so a
// live writer there can't be told from a killed one sooner). A commit that finds its fresh name
// gone says so, never that the old file is as it was. Files that must appear together (an
// extraction) are each finish()ed, then each commit()ted.
class TVxFileReplacement : public QIODevice
{
public:
    explicit TVxFileReplacement(const QString &path, TVxFileAccess access = TVxFileAccess::Shared);
    ~TVxFileReplacement() override;
    TVxFileReplacement(const TVxFileReplacement &) = delete;
    TVxFileReplacement &operator=(const TVxFileReplacement &) = delete;

    static constexpr qint64 kBufferSize = 64 * 1024;
    // Longer than any write lasts: another computer's fresh name untouched this long, that no
    // writer holds, was left by a killed one.
    static constexpr qint64 kLeftAfterSecs = 24 * 60 * 60;

    // Write-only whatever the mode asks; false when the fresh name can't be made (failure()
    // says why).
    bool open(OpenMode mode = WriteOnly) override;
    bool isSequential() const override { return false; }
    bool seek(qint64 pos) override;
    // Every byte on the disk (TVxFileSync::Later: once the caller syncs the folder) and closed.
    void finish(TVxFileSync sync = TVxFileSync::Now);
    // finish(), then the fresh name renamed over the file.
    void commit(TVxFileSync sync = TVxFileSync::Now);

    bool failed() const { return m_error != 0; }
    // "Impossibile scrivere il file …: spazio esaurito sul disco. Il file … è rimasto com'era."
    EVxException failure() const;
    // The cause alone: "spazio esaurito sul disco".
    QString reason() const;
    QString path() const { return m_path; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void fail(int code);
    bool flushBuffer();
    void discard();
    bool refuseLink();

    QString m_path;
    TVxFileAccess m_access;
    QByteArray m_fresh;
    QByteArray m_buffer;
    QString m_link; // VxLinkText of a link found at the file's name
    int m_fd = -1;
    int m_error = 0;
    bool m_freshGone = false;
    bool m_finished = false;
    bool m_committed = false;
};

// The source copied in steps into a TVxFileReplacement of the target. Throws EVxException
// naming the file that could not be read or written.
void VxCopyFile(const QString &source, const QString &target);

// A file that another program wrote whole beside the target (the engine's new database) renamed
// over it in one step, as a replacement's fresh name is: never over a link. Throws EVxException
// naming the target and the cause.
void VxPutInPlace(const QString &made, const QString &path);

// Waits until every file written on the folder's filesystem is on the disk (one wait for many
// files saved with TVxFileSync::Later); false when the folder cannot be opened or the disk
// reports an error.
bool SyncFolderToDisk(const QString &folder);

// True when neither the group nor others may read the file (a missing file is not).
bool VxIsOwnerOnly(const QString &path);

// True when anything stands at the name: a file, a folder, a link, a dangling link too. The
// test for a name to be free, which a link planted at it must not pass.
bool VxNameTaken(const QString &path);

// "è un collegamento a /mnt/scuola/ETC", or "è un collegamento a un percorso che non esiste
// (/mnt/scuola/ETC)" when nothing stands where it points; empty when the name is no link.
QString VxLinkText(const QString &path);

// A system error (errno) as the office reads it: "spazio esaurito sul disco". The one place
// that words the system's refusals; VxFileErrorText does it for Qt's file objects, whose own
// text is English.
QString VxSystemErrorText(int code);
QString VxFileErrorText(const QFileDevice &file);

// Opens a file of a folder others may write (settings, packets, lists) for reading, only when
// it is a regular file (a link to one is followed): a FIFO, a device, a socket or a folder at
// its name is refused by name (EVxException) without being opened for long, waited on or read.
// False when the file cannot be opened (missing, not permitted): file.errorString() says why.
bool VxOpenRegularFile(QFile &file, const QString &path);

// The one way the program makes, or enters to write, a folder; returns its path (no separator
// at the end). `base` is taken as it stands and made with its parents when missing: a folder
// the office chose (a key, a share: a link there is the office's own). Every folder of
// `relative` below it ("5A", "Storico/956") is made when missing; a link standing at one's name
// is never removed or replaced. It is followed only where it is the office's own arrangement
// (ETC or USR kept on another disk): below the main folder, this user's, in a folder no one
// else may write, to a folder this user may write. Any other (another account's, one in a
// folder others may write such as an exchange folder teachers write, one outside the main
// folder, one pointing nowhere) is refused, naming it and where it points, and nothing is
// written through it: the rule the kernel's protected_symlinks keeps, that a link someone else
// could have made or changed is not followed. A file there is refused. OwnerOnly folders are
// made for this user alone (0700), in shared places (/tmp): one that is another's, or a link,
// is refused. The one-argument form takes the main folder as the base of a path inside it (ETC,
// sta, USR/Dati/Registro are the program's), any other path as the office gave it. Throws
// EVxException naming the folder and the cause.
QString VxMakeOwnFolder(const QString &base, const QString &relative,
                        TVxFileAccess access = TVxFileAccess::Shared);
QString VxMakeOwnFolder(const QString &path);

// A hold on a file of a folder that offices on several computers, under several accounts,
// share: a volume's name, the register's catalogue, an export folder. The lock file says who
// holds it (computer, process, program, user). A hold whose process is gone from this computer
// is stale at once, whoever made it; one made on another computer, whose process can't be seen
// from here, after a day; one that names no process or no computer (a run killed between
// making its lock and writing it, a power loss) after the time a run takes to write its lock,
// and is waited on until then. Ages are measured on the lock's own date, or from when this hold
// first saw it where that date is ahead of this computer's clock (a file server's clock ahead).
// A stale lock is removed and made again; where the folder does not let this user remove it,
// the office is told which file to remove. Offices that judge one lock stale remove it one at a
// time, each under a kernel lock on the folder's breaker file (kBreakerName, there only while
// an office removes a lock) and after judging it again there: no office ever removes a lock
// made since its judgement, whatever inode the file system gives the new one. The breaker is
// made new (never opened through a link) and only the one just made gets its modes; one that
// is not a regular file, another account's that can't be opened, or a folder whose disk has
// no kernel locks (some network shares) is told by its own name and cause. A release removes
// the run's own lock only, never one another run made after taking the name over. The lock is
// created writable by its owner, and by the group where the folder is the group's.
class TVxSharedHold
{
public:
    static constexpr qint64 kStaleAfterSecs = 24 * 60 * 60;
    static constexpr qint64 kUnnamedStaleAfterSecs = 10;
    static constexpr const char *kBreakerName = ".tavrin-subentro";

    explicit TVxSharedHold(const QString &path);
    ~TVxSharedHold();
    TVxSharedHold(const TVxSharedHold &) = delete;
    TVxSharedHold &operator=(const TVxSharedHold &) = delete;

    // True when the hold is taken, false when a live run holds it (holderText() says whose),
    // trying again for up to waitMs. Any other failure throws EVxException naming the file, in
    // Italian: a folder that can't be written (read-only, full), a lock that is not a regular
    // file (never read), a stale or damaged lock this user may not remove.
    bool tryTake(int waitMs = 0);
    void release();
    bool isTaken() const { return m_fd >= 0; }
    // Who holds it, after a refused take, to follow a message's subject: " (computer PC2,
    // processo 4242, utente segreteria)"; empty when the lock did not say.
    QString holderText() const;

private:
    // Unnamed: a lock that names no process or computer, too young to be judged.
    enum class Outcome { Taken, Held, Unnamed, Stale, Gone };
    struct Holder
    {
        QString computer;
        qint64 process = 0;
        QString user;
    };
    Outcome attempt();
    Outcome judge();
    int openBreaker(const QByteArray &breaker, bool groupFolder, bool *made);
    [[noreturn]] void refuseRemoval(int code, const QString &breaker = QString()) const;
    QString leftText() const;
    qint64 ageOf(quint64 device, quint64 inode, qint64 modified);

    QString m_path;
    int m_fd = -1;
    Holder m_holder;
    // The lock seen (device, inode, date) and when, for a date ahead of this computer's clock.
    QByteArray m_seenKey;
    QElapsedTimer m_seenSince;
};
