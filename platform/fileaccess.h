#pragma once

// Who may read a file the program writes. Exchange files (packets, archives) hold pupils' data
// and the teachers' web passwords: while they wait in a folder for their upload, their owner
// alone reads them. Every other file keeps the folder's usual permissions.

#include <QFileDevice>

enum class TVxFileAccess { Shared, OwnerOnly };

// Applied to a file just opened for writing (a QSaveFile: its temporary file, which is renamed
// over the target), before a byte of it is written.
inline bool applyFileAccess(QFileDevice &file, TVxFileAccess access)
{
    return access == TVxFileAccess::Shared ||
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
