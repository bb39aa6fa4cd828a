#pragma once

// The embedded Firebird engine keeps its lock files in /tmp/firebird unless FIREBIRD_LOCK
// names another folder. That folder belongs to whoever made it first: Debian's server package
// makes it its own group's (mode 0770), and another user's engine leaves files there only its
// owner may write. An engine that cannot use it refuses every local database ("operating system
// directive access failed").
//
//   useUsableEmbeddedLockFolder()   before the first embedded connection (the connection
//                                   functions call it): a FIREBIRD_LOCK already set, or a
//                                   /tmp/firebird this user may use, is kept; otherwise
//                                   FIREBIRD_LOCK is set to a private folder of the user's
//   embeddedLockFolderFor(...)      the choice itself, over folders the caller names

#include <QString>
#include <QStringList>

// The folder FIREBIRD_LOCK should name, or empty to leave the engine its default: the default
// when this user may use it (missing, or a folder it may enter and write whose files it may
// read and write), else the first of the private folders that exists or can be made, is this
// user's own and not a link; it is left open to this user alone (mode 0700). Empty also when
// none qualifies: the engine then tells its own refusal.
QString embeddedLockFolderFor(const QString &engineDefault, const QStringList &privateFolders);

void useUsableEmbeddedLockFolder();
