#pragma once

// TZip: the ZIP archives exchanged with the teachers and the web service (libzip).
//   setFileName(path), FileName()  the archive
//   FileList()              the files Add puts in, each stored under its bare file name
//   Add()                   replaces the archive with one holding exactly the listed files;
//                           written as every file of the program (TVxFileReplacement), so the
//                           archive is either complete or left as it was. An empty list gives
//                           an empty archive. A missing file or two files of one name raise
//                           first.
//   setExtractPath(folder), ExtractPath()  where Extract writes (made when missing)
//   Extract()               the files extracted, as full paths. Archives come from outside:
//                           every entry is checked before anything is written; an entry with
//                           "..", an absolute path or a drive letter (backslashes read as
//                           separators), two files whose names differ only in case, a name
//                           both a file and a folder (in the archive, or against the folder's
//                           own), a name too long for the disk, more entries than MaxEntries
//                           or more bytes than MaxUnpackedSize refuse the whole archive. Files
//                           are written under temporary names and renamed over their targets
//                           once all are complete: a failure leaves the folder as it was, and
//                           a link standing at a target's name is replaced, never followed.
//   setOnlyEntries(names)   Extract writes only the files whose base name is one of these, in
//                           any letter case, directly into the folder under the name listed
//                           (every entry is still checked); two such entries refuse the archive
//   EntryNames()            the names the archive holds, in its order, each checked by its
//                           CRC: a packer proves its archive whole before it drops the files
//   setMaxUnpackedSize(bytes), setMaxEntries(n)   the limits (512 MB, 10,000 entries)
//   setAccess(TVxFileAccess::OwnerOnly)  the archive Add writes is readable by its owner only
//                           (fileaccess.h); by default by everyone, unless one of its files is
//                           readable by its owner only. Files extracted from an archive
//                           readable by its owner only are so too.
// Failures raise EVxException with the reason.

#include "platform/fileaccess.h"

#include <QString>
#include <QStringList>

class TZip
{
public:
    void setFileName(const QString &path) { m_fileName = path; }
    QString FileName() const { return m_fileName; }

    QStringList &FileList() { return m_fileList; }
    void setFileList(const QStringList &files) { m_fileList = files; }

    void setExtractPath(const QString &folder) { m_extractPath = folder; }
    QString ExtractPath() const { return m_extractPath; }

    void Add();
    QStringList Extract();
    void setOnlyEntries(const QStringList &names) { m_onlyEntries = names; }
    QStringList EntryNames() const;

    static constexpr qint64 kDefaultMaxUnpackedSize = 512LL * 1024 * 1024;
    static constexpr int kDefaultMaxEntries = 10000;
    void setMaxUnpackedSize(qint64 bytes) { m_maxUnpackedSize = bytes; }
    void setMaxEntries(int entries) { m_maxEntries = entries; }
    void setAccess(TVxFileAccess access) { m_access = access; }

private:
    QString m_fileName;
    QStringList m_fileList;
    QString m_extractPath;
    QStringList m_onlyEntries;
    qint64 m_maxUnpackedSize = kDefaultMaxUnpackedSize;
    int m_maxEntries = kDefaultMaxEntries;
    TVxFileAccess m_access = TVxFileAccess::Shared;
};
