#pragma once

#include <QString>
#include <QVariant>

class QObject;
class TVxParamManager;

// Shared helpers of the whole program.

// "2007/2008" for 2007: the start year, a slash and the next year.
QString AnnoScolText(int year);

// The text of a school-year key (iAnsId): the key is not a calendar year (38 is
// 2007/2008), so the year's own start year iAnsValore is looked up. Empty when the key is
// not positive or names no year.
QString AnnoScolTextOfAnsId(int iAnsId);

// The description of a year-session (iAnsSesDwgId); empty for 0 or an unknown id.
QString GetSessioneDesc(int iAnsSesDwgId);

// Start-up check of institute and working session. The result is fixed before any dialog;
// with a manager, says which one is missing (the institute first) and opens the dialog.
bool CheckWorkingContext(TVxParamManager *manager);

// A teacher's six-letter exchange password.
QString MakeQedPasswd(int iAnaId, const QString &a, const QString &b);

// Packs the files lying directly in the folder into the archive, then deletes them and the
// folder. Sub-folders are left alone (the folder then stays, with a message). Nothing is
// deleted unless the archive was written completely. Returns false on any failure, after
// showing the office why.
bool ZipDirAndRemove(const QString &folder, const QString &archive);

// Extracts the archive into the folder (made with its parents). An entry that would land
// outside the folder is refused; the archive is deleted only when every entry was
// extracted. Returns false on any failure, after showing the office why.
bool UnzipToDir(const QString &archive, const QString &folder);

// The teachers of send mode 4 of the working session, as the web exchange expects them.
void WriteDocentiXml(QObject *owner, const QString &fileName);

// Readers of the sibling teachers' product's ..\etc\Lumeno\Sede.ini (beside the program's
// folder); the key itself, or the default, when the file, section or key is missing.
QString ReadSedeIni(const QString &key);
int ReadSedeAnno(const QString &key, int defaultValue);
