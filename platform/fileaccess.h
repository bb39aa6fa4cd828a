#pragma once

// Who may read a file the program writes, and how a file another run reads is replaced.
//
//   VxReplaceFile(path, bytes[, sync[, access]])   the file replaced whole, or left as it was
//   VxIsOwnerOnly(path)                           no one but the owner may read it
//   VxSharedHold(path)                            a lock file among offices of one folder
//
// Files holding a password or pupils' data on their way to an upload (the connection settings,
// the teachers' credentials, packets and archives) are readable by their owner alone; every
// other file keeps the folder's usual permissions.

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <memory>

enum class TVxFileAccess { Shared, OwnerOnly };
// When a saved file is on the disk: before the save returns (Now), or once the caller has
// synced its folder (Later, SyncFolderToDisk in helpers.h), one wait for many files, before
// the file that vouches for them is written.
enum class TVxFileSync { Now, Later };

// The bytes are written under a fresh name beside the file, created exclusively (neither a file
// nor a link that someone planted under a name the program would use is ever opened), and that
// name is renamed over the file: a reader finds the old file or the whole new one, and a link
// standing at the file's name is replaced, never followed. OwnerOnly makes the file readable by
// its owner only; Shared keeps the mode of the file it replaces, a new one takes the usual
// permissions. Throws EVxException naming the file; the fresh name is then gone.
void VxReplaceFile(const QString &path, const QByteArray &bytes,
                   TVxFileSync sync = TVxFileSync::Now,
                   TVxFileAccess access = TVxFileAccess::Shared);

// True when neither the group nor others may read the file (a missing file is not).
bool VxIsOwnerOnly(const QString &path);

// A hold (not yet taken) on a file of a folder that offices on several computers share: a
// volume's name, an export folder. The hold of a program that is gone is stale at once on this
// computer, and after a day when another computer took it: its process can't be seen from here.
std::unique_ptr<QLockFile> VxSharedHold(const QString &path);
