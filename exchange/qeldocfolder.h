#pragma once

// Binary teacher folders: a teacher's working data as packets in our binary form (.cds) with a
// small qedInfo.ini, written for the teacher's own program and collected back.
//
//   QelTeacherFolderWriter writer(iAnsSesDwgId, iAnsId, iDwgId, askPasswd, show);
//   const QString folder = writer.FolderOf(base, teacher);  // base + "Name_CODE/"
//   writer.WriteTeacherFolder(base, teacher);                // the packets, then qedInfo.ini, then
//                                                            // the sent mark
//   QelTeacherFolderCollector c(iAnsSesDwgId, iAnsId);
//   c.CheckTeacherFolder(folder, iDocId, "(iClsId = 5)",
//   QelTeacherFolderCollector::ReadShow(folder)); const QStringList notCollected =
//   c.ImportCheckedFolder();
//
// qedInfo.ini vouches for the packets beside it: it is deleted before the first packet and
// written last, so a send cut short leaves a folder the collection refuses. Its lines are
// Windows-1252 with CR LF; a value that would break a line or has no Windows-1252 byte ends the
// send before the teacher's folder is touched.
//
// A writer reads every folder it writes in one transaction of the program's connection, for its
// life, and stores each teacher's sent mark as his folder is done: a send of many teachers
// prepares each statement once, and one state of the database goes out to all of them.
//
// The collection checks the folder whole first (this school's, the working year's and
// session's, every value in the teacher's classes and subjects), then writes each kind in one
// transaction; a kind with a value not written keeps what it held, and the value is listed.

#include "exchange/qelchangecounts.h"

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class QelCollectedValues;
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
    ~QelTeacherFolderWriter();
    QelTeacherFolderWriter(const QelTeacherFolderWriter &) = delete;
    QelTeacherFolderWriter &operator=(const QelTeacherFolderWriter &) = delete;

    // The packets, in the order written.
    static const QStringList &PacketNames();
    static QString InfoFileName() { return QStringLiteral("qedInfo.ini"); }

    // The teacher's folder under the base folder (ending with a separator): his name and code
    // made one safe folder name.
    static QString FolderOf(const QString &base, const QelFolderTeacher &teacher);
    // The bytes of the teacher's qedInfo.ini; EVxException naming him when a value cannot
    // stand on its line.
    QByteArray InfoText(const QelFolderTeacher &teacher) const;
    // Writes the folder and marks the teacher sent with it, the mark stored; returns the folder.
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
    std::unique_ptr<TVxTransaction> m_run; // the reads and marks of the writer's folders
};

class QelTeacherFolderCollector
{
public:
    // The kinds collected, by the [Show] keys.
    using Show = QList<QPair<QString, bool>>;

    static constexpr int kTransactionId = 5270;

    QelTeacherFolderCollector(int iAnsSesDwgId, int iAnsId);
    ~QelTeacherFolderCollector();

    // [Info] Codice of the folder's qedInfo.ini (empty without one).
    static QString ReadInfoCode(const QString &folder);
    // The [Show] values; one that is not 0 or 1 (an empty one, as in a folder without
    // qedInfo.ini) raises EVxException naming the file and the key.
    static Show ReadShow(const QString &folder);

    // Reads the folder's packets for the classes of the filter and checks it whole before
    // anything is written: voti.cds and, with Deb, debiti.cds there; istituto.cds of this
    // school; qedInfo.ini of the working year and session; and every value of a kind asked for
    // in the teacher's classes and subjects of the working year-session (a debt: one of his).
    // A folder that fails raises EVxException naming its first values at fault.
    void CheckTeacherFolder(const QString &folder, int iDocId, const QString &clsFilter,
                            const Show &show);
    // Writes the folder checked, each kind in one transaction of its own: a value the database
    // refuses, or one given twice, is listed, the kind's other values still tried, and the kind
    // then rolled back whole, keeping what it held. Returns the lines of what was not collected:
    // none when the folder came back whole. A failure that is no value's own (the server gone,
    // a wait for another office's rows stopped, a transaction that does not start) raises; the
    // kinds committed before stay.
    QStringList ImportCheckedFolder();
    // After ImportCheckedFolder: what each kind committed changed, a line each ("voti: righe
    // aggiunte 1, cambiate 0, cancellate 0"), or that nothing changed.
    QStringList Summary() const;
    // After ImportCheckedFolder: what was told and refuses nothing (a debt the office deleted
    // after the send), a line each.
    QStringList Notes() const;
    // Both in turn.
    QStringList ImportTeacherFolder(const QString &folder, int iDocId, const QString &clsFilter,
                                    const Show &show);

private:
    struct Value;
    void addGradeValues(const TClientDataSet &record, int kindIndex);
    void addSubjectValue(const TClientDataSet &record, int kindIndex);
    void addValue(const TClientDataSet &record, int kindIndex, const QString &target,
                  const QString &rowKeyColumn, const QList<QPair<QString, QVariant>> &values);
    void addDebts(TClientDataSet &debiti);
    // The value as the office reads it: its pupil, subject and target.
    QString what(const Value &value) const;
    // Deletes (no values) or updates, else inserts, the value in the teacher's scope; counts
    // what it changed.
    void writeValue(TVxTransaction &tr, const Value &value, TqelChangeCounts &counts);

    QSqlDatabase m_db;
    int m_iAnsSesDwgId;
    int m_iAnsId;
    int m_iDocId = 0;
    QList<Value> m_values; // of the folder checked
    QStringList m_changes; // of the kinds the last import committed
    QStringList m_notes;   // told by the last import, refusing nothing
    std::unique_ptr<QelCollectedValues> m_rules;
};
