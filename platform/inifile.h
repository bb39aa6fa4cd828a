#pragma once

// The suite's INI files, with the semantics of the Windows programs that share them.
//
//   TVxINIFile ini("ParGen.ini");          // a bare or relative name lives in the main ETC folder
//   ini.ReadString(section, key, def)      // also ReadInteger, ReadBool
//   ini.WriteString(section, key, value)   // also WriteInteger, WriteBool; throws EVxException
//   ini.ReadSection(section), ReadSections(), SectionExists, ValueExists, DeleteKey, EraseSection
//   ini.setScriviSempre(true)              // write every value given, even an unchanged one
//   ini.setNewFileEncoding(TVxIniEncoding::Cp1252)   // for files another 8-bit program reads
//   ini.setAccess(TVxFileAccess::OwnerOnly)          // for a file holding a password
//
// Rules kept:
// - Sections and keys match case-insensitively; the first occurrence wins. Lines that are not
//   "key=value" or "[section]" (comments starting with ";", blank lines) are kept as they are.
// - No cache: every read opens the file, because other code (and other programs) rewrite these
//   files behind the components. Every write reads, changes one line and replaces the file
//   atomically (VxReplaceFile); a failed write leaves the old file whole.
// - Files are read as UTF-8, falling back to Windows-1252 for files written by Windows
//   programs; a file is written back in the encoding it was read in when that still holds every
//   character, else in UTF-8. CRLF and LF are both read; a file keeps its line ending, a new
//   file gets CRLF. A file given a new-file encoding is written in it when it is new or holds
//   only ASCII (which both encodings read alike, so that a file made key by key keeps it). A
//   Windows-1252 file of a TVxINIFile set to Windows-1252 stays in it: a character it lacks
//   is written as "?", since that file's reader knows no other encoding.
// - Paths may carry backslashes and any letter case; each component is resolved
//   case-insensitively under the main folder (resolvePath).
// - Values are stored trimmed; a value enclosed in a pair of quotes is read without them. A
//   value holding a line break is refused: it would forge other keys. So are a key holding "="
//   and a section name holding "]", which would be read back as another key or section.

#include "platform/fileaccess.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

enum class TVxIniEncoding { Utf8, Cp1252 };

// Keys and values of one section, in the order they are written; a key without a value is
// deleted.
using TVxIniValues = QList<QPair<QString, std::optional<QString>>>;

class TVxINIFile
{
public:
    TVxINIFile() = default;
    explicit TVxINIFile(const QString &fileName, bool scriviSempre = false);

    QString FileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    bool ScriviSempre() const { return m_scriviSempre; }
    void setScriviSempre(bool on) { m_scriviSempre = on; }
    TVxIniEncoding NewFileEncoding() const { return m_newFileEncoding; }
    void setNewFileEncoding(TVxIniEncoding encoding) { m_newFileEncoding = encoding; }
    void setAccess(TVxFileAccess access) { m_access = access; }

    // The file's path on disk as it resolves now (existing components in their own case).
    QString resolvedPath() const;

    QString ReadString(const QString &section, const QString &ident,
                       const QString &defaultValue = QString()) const;
    // A missing key or a text that is not a whole number gives the default ("$1F" and "0x1F"
    // are hexadecimal, as the Windows programs read them).
    int ReadInteger(const QString &section, const QString &ident, int defaultValue = 0) const;
    // "1"/"0" as written by WriteBool; any other number is true when non-zero; "true"/"false"
    // in any case are accepted; anything else gives the default.
    bool ReadBool(const QString &section, const QString &ident, bool defaultValue = false) const;

    void WriteString(const QString &section, const QString &ident, const QString &value);
    void WriteInteger(const QString &section, const QString &ident, int value);
    void WriteBool(const QString &section, const QString &ident, bool value);
    // Writes several keys of a section in one replacement of the file, so that either all of
    // them change or, when the file cannot be written, none; a key without a value is deleted.
    void WriteValues(const QString &section, const TVxIniValues &values);
    // The same for several sections at once: a file that another program checks by one key
    // never shows some sections written and others not.
    void WriteSections(const QList<QPair<QString, TVxIniValues>> &sections);

    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &ident) const;
    // Keys of a section in file order, with the file's spelling.
    QStringList ReadSection(const QString &section) const;
    QStringList ReadSections() const;
    void DeleteKey(const QString &section, const QString &ident);
    void EraseSection(const QString &section);

private:
    QString m_fileName;
    bool m_scriviSempre = false;
    TVxIniEncoding m_newFileEncoding = TVxIniEncoding::Utf8;
    TVxFileAccess m_access = TVxFileAccess::Shared;
};

// The path the suite's files are named by: a relative name lives in the main ETC folder, an
// absolute one (backslashes accepted) is taken as it stands; both resolved case-insensitively.
QString resolveConfigPath(const QString &fileName);

// Counts the writes of INI files through the framework: a read cache is good while it holds.
quint64 iniWriteGeneration();
