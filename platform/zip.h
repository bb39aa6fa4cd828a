#pragma once

// TZip: the ZIP archives exchanged with the teachers and the web service (libzip).
//   setFileName(path), FileName()  the archive
//   FileList()              the files Add puts in, each stored under its bare file name
//   Add()                   replaces the archive with one holding exactly the listed files;
//                           built under a temporary name beside it and renamed, so the archive
//                           is either complete or left as it was. An empty list gives an empty
//                           archive. A missing file or two files of one name raise first.
//   setExtractPath(folder), ExtractPath()  where Extract writes (made when missing)
//   Extract()               the files extracted, as full paths. Archives come from outside:
//                           every entry is checked before anything is written; an entry with
//                           "..", an absolute path or a drive letter (backslashes read as
//                           separators) refuses the whole archive, naming the entry.
// Failures raise EVxException with the reason.

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

private:
    QString m_fileName;
    QStringList m_fileList;
    QString m_extractPath;
};
