#pragma once

// Who may read a file the program writes, how a file another run reads is replaced, and how
// the files of folders that other offices (or other accounts) share are opened and held.
//
//   VxReplaceFile(path, bytes[, sync[, access]])   the file replaced whole, or left as it was
//   VxIsOwnerOnly(path)                           no one but the owner may read it
//   VxOpenRegularFile(file, path)                 opened for reading only if a regular file
//   VxMakeOwnFolder(path)                         a folder of ours, never one a link points to
//   TVxSharedHold                                 a lock file among offices of one folder
//   VxSystemErrorText(errno)                      a system error in Italian
//
// Files holding a password or pupils' data on their way to an upload (the connection settings,
// the teachers' credentials, packets and archives) are readable by their owner alone; every
// other file takes the program's usual permissions.

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QFile;

enum class TVxFileAccess { Shared, OwnerOnly };
// When a saved file is on the disk: before the save returns (Now), or once the caller has
// synced its folder (Later, SyncFolderToDisk in helpers.h), one wait for many files, before
// the file that vouches for them is written.
enum class TVxFileSync { Now, Later };

// The bytes are written under a fresh name beside the file, created exclusively (neither a file
// nor a link that someone planted under a name the program would use is ever opened), and that
// name is renamed over the file: a reader finds the old file or the whole new one, and a link
// standing at the file's name is replaced, never followed. The file gets the program's own
// modes, never those of the file it replaces (which another account may have planted
// world-writable or setuid): OwnerOnly readable by its owner only, Shared the usual
// permissions. Throws EVxException naming the file; the fresh name is then gone.
void VxReplaceFile(const QString &path, const QByteArray &bytes,
                   TVxFileSync sync = TVxFileSync::Now,
                   TVxFileAccess access = TVxFileAccess::Shared);

// True when neither the group nor others may read the file (a missing file is not).
bool VxIsOwnerOnly(const QString &path);

// A system error (errno) as the office reads it: "spazio esaurito sul disco".
QString VxSystemErrorText(int code);

// Opens a file of a folder others may write (settings, packets, lists) for reading, only when
// it is a regular file (a link to one is followed): a FIFO, a device, a socket or a folder at
// its name is refused by name (EVxException) without being opened for long, waited on or read.
// False when the file cannot be opened (missing, not permitted): file.errorString() says why.
bool VxOpenRegularFile(QFile &file, const QString &path);

// Makes the folder (and its parents) where the program then writes its own files. A link
// standing at the folder's own name is removed and a real folder made in its place, so that
// the files meant for it never land where the link points. Throws EVxException naming the
// folder.
void VxMakeOwnFolder(const QString &path);

// A hold on a file of a folder that offices on several computers, under several accounts,
// share: a volume's name, the register's catalogue, an export folder. The lock file says who
// holds it (computer, process, program, user). A hold whose process is gone from this computer
// is stale at once, whoever made it; one made on another computer, whose process can't be seen
// from here, after a day. A stale lock is removed and made again; where the folder does not let
// this user remove it, the office is told which file to remove. The lock is created writable
// by its owner, and by the group where the folder is the group's.
class TVxSharedHold
{
public:
    static constexpr qint64 kStaleAfterSecs = 24 * 60 * 60;

    explicit TVxSharedHold(const QString &path);
    ~TVxSharedHold();
    TVxSharedHold(const TVxSharedHold &) = delete;
    TVxSharedHold &operator=(const TVxSharedHold &) = delete;

    // True when the hold is taken, false when a live run holds it (holderText() says whose),
    // trying again for up to waitMs. Any other failure throws EVxException naming the file, in
    // Italian: a folder that can't be written (read-only, full), a lock that is not a regular
    // file (never read), a stale lock this user may not remove.
    bool tryTake(int waitMs = 0);
    void release();
    bool isTaken() const { return m_fd >= 0; }
    // Who holds it, after a refused take, to follow a message's subject: " (computer PC2,
    // processo 4242, utente segreteria)"; empty when the lock did not say.
    QString holderText() const;

private:
    enum class Outcome { Taken, Held, Stale, Gone };
    struct Holder
    {
        QString computer;
        qint64 process = 0;
        QString user;
    };
    Outcome attempt();

    QString m_path;
    int m_fd = -1;
    Holder m_holder;
};
