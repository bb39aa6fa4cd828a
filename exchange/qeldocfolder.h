#pragma once

// Binary teacher folders: a teacher's working data as packets in our binary form (.cds) with a
// small qedInfo.ini, written for the teacher's own program and collected back.
//
//   QelTeacherFolderWriter writer(iAnsSesDwgId, iAnsId, iDwgId, askPasswd, show);
//   const QString folder = writer.FolderOf(base, teacher);  // base + "Name_CODE/"
//   writer.WriteTeacherFolder(base, teacher);                // the packets, then qedInfo.ini, then
//                                                            // the sent mark
//   QelTeacherFolderCollector c(iAnsSesDwgId, iAnsId);
//   c.ImportTeacherFolder(folder, iDocId, "(iClsId = 5)",
//   QelTeacherFolderCollector::ReadShow(folder));
//
// qedInfo.ini vouches for the packets beside it: it is deleted before the first packet and
// written last, so a send cut short leaves a folder the collection refuses. Its lines are
// Windows-1252 with CR LF; a value that would break a line or has no Windows-1252 byte ends the
// send before the teacher's folder is touched.
//
// The collection writes every value in a transaction of its own, and only where the statement
// finds it in the teacher's classes and subjects of the working year-session; a value outside,
// a value the database refuses, or a transaction that does not start ends the collection with
// the error, and what was committed before stays.

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

class TClientDataSet;
class TVxTransaction;
struct QelDocFolderKind;

// The [Show] keys and values of qedInfo.ini, in the order of the file.
using QelDocShowValues = QList<QPair<QString, int>>;

struct QelFolderTeacher
{
    int iAnaId = 0;
    int iAaiId = 0;
    QString sDocNome;
    QString sAnaCagCode;
};

class QelTeacherFolderWriter
{
public:
    QelTeacherFolderWriter(int iAnsSesDwgId, int iAnsId, int iDwgId, bool askPasswd,
                           const QelDocShowValues &show);

    // The packets, in the order written.
    static const QStringList &PacketNames();
    static QString InfoFileName() { return QStringLiteral("qedInfo.ini"); }

    // The teacher's folder under the base folder (ending with a separator): his name and code
    // made one safe folder name.
    static QString FolderOf(const QString &base, const QelFolderTeacher &teacher);
    // The bytes of the teacher's qedInfo.ini; EVxException naming him when a value cannot
    // stand on its line.
    QByteArray InfoText(const QelFolderTeacher &teacher) const;
    // Writes the folder and marks the teacher sent with it; returns the folder.
    QString WriteTeacherFolder(const QString &base, const QelFolderTeacher &teacher);

private:
    void writeVoti(const QelFolderTeacher &teacher, const QString &folder);

    int m_iAnsSesDwgId;
    int m_iAnsId;
    int m_iDwgId;
    bool m_askPasswd;
    QelDocShowValues m_show;
    QString m_sessionText;
    QString m_yearText;
    int m_slots[2] = {0, 0};
};

class QelTeacherFolderCollector
{
public:
    // The kinds collected, by the [Show] keys.
    using Show = QList<QPair<QString, bool>>;

    static constexpr int kTransactionId = 5270;

    QelTeacherFolderCollector(int iAnsSesDwgId, int iAnsId);

    // [Info] Codice of the folder's qedInfo.ini (empty without one).
    static QString ReadInfoCode(const QString &folder);
    // The [Show] values read as booleans; one that is not a boolean text (an empty one, as in a
    // folder without qedInfo.ini) raises the conversion error naming the folder and the key.
    static Show ReadShow(const QString &folder);

    void ImportTeacherFolder(const QString &folder, int iDocId, const QString &clsFilter,
                             const Show &show);

private:
    using Write = std::function<void(TVxTransaction &)>;
    void writeValue(const Write &write);
    void ImportGradeKind(const TClientDataSet &record, const QelDocFolderKind &kind);
    void importSubjectValue(const TClientDataSet &record, const QelDocFolderKind &kind);
    // Deletes (no values) or updates, else inserts, the value in the teacher's scope.
    void writeKindValue(const TClientDataSet &record, const QelDocFolderKind &kind,
                        const QString &slot, int rowKey,
                        const QList<QPair<QString, QVariant>> &values);
    void importDebts(const QString &path, const QString &clsFilter);

    QSqlDatabase m_db;
    int m_iAnsSesDwgId;
    int m_iAnsId;
    int m_iDocId = 0;
};
