#pragma once

#include <QString>
#include <QVariant>

#include <optional>

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

// The identity on the maker's web service ("Tavrin-Web"), shared by the web exchange and the
// reports that print a teacher's credentials.
//
// MD5 of the text's Windows-1252 bytes, as 32 lower-case hexadecimal digits: the server
// checks the login's digest over those bytes. A character without a Windows-1252 byte raises
// EVxException: any stand-in would give a digest the server can never match.
QString Md5Hex(const QString &text);
// A teacher's web user name. Kind 0: the text; kind 1: iAnaId - 1000000 in decimal, at least
// five digits ("00042"; six from 1100000 on, never cut); other kinds: empty. Every "=" is
// then "#".
QString MakeTavrinWebUtente(int kind, int iAnaId, const QString &text);
// A teacher's five-digit web password. instituteCode is the main seat's raw ministry code
// (MainSeatMecCode): the code is mapped through Sede.ini here, once, so that the letter
// printed for the teacher and the packet sent to the server carry the same password.
QString MakeTavrinWebPasswd(int iAnaId, int iAnsId, const QString &instituteCode,
                            const QString &personalPart);
// The ministry code sSedMecCod of the school's main seat, trimmed. Raises EVxException with
// the office's message when there is no main seat or its code is empty: nothing may be sent
// or printed under a wrong identity.
QString MainSeatMecCode();
// The same check of a main seat's code read elsewhere (nullopt: no main seat): the code
// trimmed, or the same refusals.
QString CheckedMainSeatMecCode(const std::optional<QString> &code);
// The institute's code on the web service: MainSeatMecCode mapped through Sede.ini.
QString TavrinWebInstituteCode();

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

// Readers of the sibling teachers' product's ETC\Lumeno\Sede.ini in the main folder; the key
// itself, or the default, when the file, section or key is missing.
QString ReadSedeIni(const QString &key);
int ReadSedeAnno(const QString &key, int defaultValue);
