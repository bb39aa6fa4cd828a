#pragma once

#include <QString>

// The suite keeps its files in one main folder with sub-folders (ETC, USR, DOC, BIN...).
// Stored paths come from Windows programs: any letter case, backslashes.

// Main folder, ending with a separator. Defaults to the user's data folder.
QString GetMainDir();

// Tests and tools point the program at another main folder.
void setMainDir(const QString &dir);

// Resolves a path below the main folder (or an absolute one) component by component,
// matching each existing component case-insensitively; missing components keep the
// given spelling. Backslashes are taken as separators.
QString resolvePath(const QString &path);

// A sub-folder of the main folder (e.g. "ETC"), resolved case-insensitively and created
// with the given spelling when missing. Ends with a separator.
QString mainSubDir(const QString &name);

// The demo database inside the main folder, used when the connection file names none.
QString defaultDatabasePath();
