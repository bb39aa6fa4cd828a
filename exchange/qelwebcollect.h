#pragma once

// The import of what the teachers entered on the web service for a session: the packets of
// twdocenti.zip read back (voti.xml, debiti.xml, classenote.xml) into proposed votes,
// taxonomies, absences, aids, notes, debt verifications and class notes.
//
//   QelWebCollection::Unpack(folder);          // the archive downloaded into the folder
//   QelWebCollection c(folder, iAnsSesDwgId);  // the packets read once
//   c.SetClsFilter("(iClsId = 4) OR (iClsId = 9)");  c.SetForced(true);
//   QStringList log;
//   c.ImportTeacherWebData(iDocId, &log);      // "  ***ERRORE*** ..." per rejected value
//
// Each value is written in a transaction of its own: a stored value changed, or a new one, by one
// update or insert prepared once per collection and committed by itself, its checks inside it
// (TVxSelfCommittingStatements); an id to map or a value refused, told why, by its checks, key
// and insert in a TVxTransaction, prepared inside it. What is stored, the session's components
// and subjects and the names of the rows a line tells are read on one snapshot beside the
// writes, each text prepared once for the collection (TVxSideReads). A value the
// database rejects is rolled back alone and logged, the rest goes on, and what was committed
// stays. A lost connection, or a wait on rows another office holds that the user will not prolong
// (a value meeting them waits, then asks), ends the import with the office's message; what was
// committed stays. A value another office changed under it gets its line. Nothing is deleted but
// class notes; an update that touches no row is followed by an insert (debts, of the year
// before, the teacher's: only updated). A value is written only where its component or
// class-session subject belongs to a class session of the session that the teacher teaches it in,
// and its situation to that class: the packets come from outside. A row's keys are read as the
// numbers they name, whatever the packet's type (QelCollectedValues::Key); a row holding one
// beyond the database's keys, or naming none, is refused whole; a row given twice is written
// once, and given twice with other values not at all. A value left empty is neither written nor
// checked.

#include "exchange/qelchangecounts.h"
#include "exchange/qelcollectedvalues.h"
#include "platform/sqlclientdataset.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TVxSelfCommittingStatements;
class TVxSideReads;
class TVxTransaction;
struct QelWebCollectKind;

class QelWebCollection
{
public:
    // The kinds the office collects (ParGen.ini [ExpDoc] Vtp, Tas, Ass, Aiu, Not, Deb): a
    // missing key is off, a flag counts when it is 1. Class notes are always collected.
    using Flags = QHash<QString, bool>;
    static Flags ReadFlags();

    static constexpr int kTransactionId = 5270;
    static const QStringList &PacketNames(); // voti.xml, debiti.xml, classenote.xml

    // Unpacks twdocenti.zip of the folder (ending with a separator) into it: only the three
    // packets, by their base name in any letter case, under the names they are read by. An
    // archive that does not open or holds no voti.xml raises EVxException; nothing is left.
    static void Unpack(const QString &folder);
    // The same for any archive of the service: only the packets named, the first of which
    // must be there (what it holds, for the message: "i dati dei docenti").
    static void UnpackPackets(const QString &folder, const QString &archiveName,
                              const QStringList &packets, const QString &whatTheFirstHolds);

    // Deletes the packets named from the folder, under the names the unpacking gives them: the
    // folder is shared with the folder mode of the exchange, whose lists are no concern of the
    // collection. A packet there that cannot be deleted raises EVxException: it would pass for
    // one of the next download.
    static void DeletePackets(const QString &folder, const QStringList &packets);

    // One write in a transaction of its own (kTransactionId) on the connection: a refusal,
    // or a transaction that does not start, is rolled back and logged ("  ***ERRORE*** ", one
    // line); a lost connection, or a wait on another office's rows the user will not prolong,
    // raises EVxException, ending the collection.
    using Write = std::function<void(TVxTransaction &)>;
    // Returns whether the write was committed.
    static bool WriteLogged(const QSqlDatabase &db, QStringList *log, const Write &write);
    // One statement of the statements, committed by itself, as WriteLogged logs and ends: the
    // rows it changed, -1 when refused (logged).
    static int WriteAlone(TVxSelfCommittingStatements &statements, const QSqlDatabase &db,
                          QStringList *log, const QString &sql, const TVxFieldValues &values);
    // A date as a packet holds it (a date, a timestamp, "dd/mm/yyyy"); an invalid QVariant
    // for none, which binds as NULL.
    static QVariant PacketDate(const QVariant &value);

    QelWebCollection(const QString &folder, int iAnsSesDwgId);
    ~QelWebCollection();

    int SessionNumber() const { return m_iSesId; }
    void SetFlags(const Flags &flags) { m_flags = flags; }
    // The packets of the kinds asked for that the download did not bring, as lines of the log
    // ("  ***ERRORE*** ..."): the first teacher's import adds them.
    QStringList MissingPackets() const;
    void SetClsFilter(const QString &filter) { m_clsFilter = filter; }
    void SetForced(bool forced) { m_forced = forced; }

    void ImportTeacherWebData(int iDocId, QStringList *log);
    // What the imports so far changed, a line per kind ("assenze: righe aggiunte 1, cambiate
    // 2, cancellate 0"), or that nothing changed.
    QStringList Summary() const;

    // The teacher's classes and subjects in the session: iDocId, iClsId, sClsDesc, iMatId,
    // sMatLDesc.
    static void LoadTeacherAssignments(TSQLClientDataSet &target, int iAnsSesDwgId, int iAnaId);
    // The same as the log of a collection by class lists them, of the classes of the filter
    // (all: none), read on a collection's reads (Reads): "  classe: 5A  Materia: Italiano".
    static QStringList AssignmentLines(const QSqlDatabase &reads, int iAnsSesDwgId, int iAnaId,
                                       const QString &clsFilter);
    // The collection's reads: the stored values, the session, the names, each text prepared once
    // for the whole collection, the database as it was when it began (TVxSideReads).
    QSqlDatabase Reads() const;
    // "dd/mm/yyyy"; anything else (an empty text, "1/2/2009") an invalid date.
    static QDate ParseItalianDate(const QString &text);

private:
    static bool connectionFree(const QSqlDatabase &db, QStringList *log);
    bool writeValue(QStringList *log, const Write &write);
    void importComponentLevels(const QelWebCollectKind &kind, const QString &suffix,
                               QStringList *log);
    // The voti.xml columns of the components' levels of a kind ("vtp": iClsMatCmpId_vtp1 and
    // iScaLivId_vtp1, then vtp2…), found once: every row of every teacher reads them.
    struct LevelSlot
    {
        QString name;             // "vtp1"
        const TField *component;
        const TField *level;      // none when the packet lacks it
    };
    const QList<LevelSlot> &levelSlots(const QString &suffix);
    // What the current voti.xml row brings of an absence, aid or note: none when left empty.
    TVxFieldValues subjectValues(const QelWebCollectKind &kind) const;
    void importSubjectValue(const QelWebCollectKind &kind, QStringList *log);
    // The keys of the teacher's rows that repeat with another value (findRepeats), which none of
    // them writes; a row once done is not done again (firstTime).
    void findRepeats();
    bool firstTime(const QString &key, const std::function<QString()> &repeatedLine,
                   QStringList *log);
    // Whether the debts' or class notes' current row is to be written: its keys fit, and it is
    // its key's first (what: the row as the log names it, a feminine noun or not).
    bool rowToWrite(const TClientDataSet &packet, const QString &key,
                    const std::function<QString()> &what, bool feminine, QStringList *log);
    // The pupil and the subject of the current voti.xml row as the log names them.
    QString rowWho();
    // The class session of a row key of the kind (a component's, or a class-session subject's).
    int classSessionOf(const QelWebCollectKind &kind, int id);
    int resolveSentId(TVxTransaction &tr, const QelWebCollectKind &kind, const QString &suffix,
                      QStringList *log);
    void requireInSession(TVxTransaction &tr, const QelWebCollectKind &kind, int id);
    // Updates the row of the sent id, else of the id it resolves to, else inserts it.
    void writeRow(const QelWebCollectKind &kind, const QString &suffix,
                  const TVxFieldValues &values, QStringList *log);
    void importDebts(QStringList *log);
    void importClassNotes(QStringList *log);
    // The teacher's values as stored, and the verifications of the debts he verifies, to leave
    // the same ones alone; the session's components' scales and subjects' names, read once.
    void readStored(int iDocId);
    void readSession();
    // Why a value of the kind at the row key is refused (a level outside its component's scale,
    // hours or an aid the grid would not take); empty when it is taken.
    QString refusal(const QelWebCollectKind &kind, int rowKey, const TVxFieldValues &values);
    TqelChangeCounts &counts(const QelWebCollectKind &kind);
    QString teacherFilter(const QString &filter) const;
    bool flag(const char *name) const { return m_flags.value(QLatin1String(name)); }

    QSqlDatabase m_db;
    QString m_folder;
    int m_iAnsSesDwgId;
    int m_iSesId = 0;
    int m_iAnsId = 0;            // the working school year
    int m_iDocId = 0;            // the teacher being imported
    QelCollectRepeats m_repeats; // his rows' keys, given twice with other values or not
    // His rows' pupils not in the class (session) of their subject, told once for that class.
    QSet<std::pair<int, int>> m_outsidePupils;
    Flags m_flags;
    QString m_clsFilter;
    bool m_forced = false;
    bool m_missingTold = false;
    TClientDataSet m_voti;
    TClientDataSet m_debiti;
    TClientDataSet m_classNotes;
    QHash<QString, QList<LevelSlot>> m_levelSlots; // by kind's suffix
    QHash<QString, QString> m_stored; // "kind|situation|row key" -> the value as text
    bool m_sessionRead = false;
    QHash<int, int> m_scales;                 // component -> its scale
    QHash<int, int> m_componentSubjects;      // component -> its class-session subject
    QSet<int> m_sessionClasses;               // the year-sessions of the session's subjects
    QHash<int, int> m_subjectClasses;         // class-session subject -> its class session
    QMap<QString, TqelChangeCounts> m_counts; // by kind, as the summary names it
    // The usual writes, each in a transaction of its own, prepared once per collection.
    std::unique_ptr<TVxSelfCommittingStatements> m_selfCommitting;
    std::unique_ptr<TVxSideReads> m_reads;
    std::unique_ptr<QelCollectedValues> m_rules;
};
