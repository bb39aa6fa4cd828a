#pragma once

// GetTempPath() -> a private temporary folder of this process, ending with a separator.
// It is made on first use (only this user may enter it) and removed with everything in it
// when the program ends, so scratch files never meet another program's files of the same
// name in a shared folder. Raises EVxException when no folder can be made.

#include <QString>

QString GetTempPath();
