#pragma once

// GetTempPath() -> a private temporary folder of this process, ending with a separator.
// It is made on first use (only this user may enter it) and removed with everything in it
// when the program ends, so scratch files never meet another program's files of the same
// name in a shared folder. Raises EVxException when no folder can be made.

#include <QString>

#include <memory>

class QTemporaryDir;

QString GetTempPath();

// A folder of its own inside GetTempPath() ("pagelle-Ab12Cd"), removed with everything in it
// when let go. With GetTempPath the one place the program makes a temporary folder (a fresh
// name, only this user's: nothing planted there). Raises EVxException when none can be made.
std::unique_ptr<QTemporaryDir> VxNewTemporaryFolder(const QString &prefix);
