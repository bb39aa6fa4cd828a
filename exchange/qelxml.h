#pragma once

#include "exchange/qelchangecounts.h"
#include "platform/inifile.h"
#include "platform/params.h"
#include "platform/sqlclientdataset.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>

class TdmqelParGen;
class TfmqelWait;
class TVxSideConnection;
class TVxTransaction;

// The data-packet engine of the exchange with the teachers' grade-entry program. It writes a
// class folder (iMode 1, one class session for its coordinator) or a teacher folder (iMode 0,
// the classes and subjects of one teacher) as XML data packets plus Info.ini, and reads a
// returned folder back. The exchange windows create it when they open (dmqelXML) and free it
// when they close; its state persists between calls, so a caller sets every option the next
// operation reads.
//
// Info.ini is the folder's seal: every export deletes it before writing anything and writes it
// last, so a folder whose export failed half-way is refused on collection.
//
// SQL text is put together at run time only from the id lists below and the "/*PST*/"
// condition, both made of integers the engine holds, in decimal; every other value is bound.
// Failures raise EVxException and reach the calling window; the wait window still closes.
class TdmqelXML : public QObject
{
    Q_OBJECT
public:
    explicit TdmqelXML(QObject *owner = nullptr);
    ~TdmqelXML() override;

    // State, in the order and with the meaning the exchange windows rely on.
    int iMode = 0;        // 1 class folder, 0 teacher folder
    int iClsId = 0;       // set by LoadClassFlags
    int iClsSesId = 0;    // class mode
    int iAnsSesDwgId = 0; // the working year-session at creation
    int iAnsId = 0;       // the working school year at creation
    int iAnaId = 0;       // teacher mode
    QString sFolder;      // ends with a separator; file names are appended
    int iVot = 0, iVtp = 0, iTas = 0, iAss = 0, iAiu = 0, iNot = 0, iDeb = 0, iEsi = 0, iCre = 0,
        iGdz = 0, iComp = 0;
    QString sDocNome;
    bool lStorico = false;
    QString sClsDesc;
    bool lCancel = false; // set by "Annulla"; the callers' loops test and clear it
    int iSessionKind = 0; // TAnsSesDwg.iSfiId of the working session: 2 final, 3 deferred
    int iPstId = -1;      // -1 every plan of the class, else one plan
    bool lProteggiPwd = false;

    // The client dataset through which every exported query runs.
    TSQLClientDataSet scdExp;

    // While it lives, every read of the engine (packets, the teacher's classes, the templates)
    // runs in one transaction of its own, on a connection beside the program's: one state of
    // the database goes out to every teacher. What the send does on the program's connection
    // meanwhile (each teacher marked sent, the window's list read again) runs in one transaction
    // of that connection, each teacher's mark stored by Commit as he is done: a send of many
    // teachers' folders prepares each of its statements once, whatever the teachers and the
    // path. The list read in it shows the marks of this send, and what other offices stored
    // before it began. Throws EVxException when a connection or a transaction cannot be had.
    class ReadsOfRun
    {
    public:
        explicit ReadsOfRun(TdmqelXML &xml);
        ~ReadsOfRun();
        ReadsOfRun(const ReadsOfRun &) = delete;
        ReadsOfRun &operator=(const ReadsOfRun &) = delete;
        // Stores what ran on the program's connection since the last (a teacher marked sent).
        void Commit();

    private:
        TdmqelXML &m_xml;
        std::unique_ptr<TVxSideConnection> m_side;
        std::unique_ptr<TVxTransaction> m_reads;
        std::unique_ptr<TVxTransaction> m_marks;
    };
    // While it lives, the collections of the engine run in one transaction of the program's
    // connection, each statement prepared once for the whole run (a collection of many
    // teachers' folders): every step is stored as it ends (TVxTransaction::CommitRetaining), and
    // one with a row not written is taken back under a savepoint, as when each step ran in a
    // transaction of its own. A folder checked by LoadCollectPackets is kept for its collection
    // (CollectData), not read again. The run sees the database as it was when it began, with
    // its own writes. Throws EVxException when no transaction can be started.
    class CollectionRun
    {
    public:
        explicit CollectionRun(TdmqelXML &xml);
        ~CollectionRun();
        CollectionRun(const CollectionRun &) = delete;
        CollectionRun &operator=(const CollectionRun &) = delete;
        // Stores what ran on the connection between the steps (a teacher marked received).
        void Commit();

    private:
        TdmqelXML &m_xml;
        std::unique_ptr<TVxTransaction> m_tr;
    };
    // The last base folder of the class send and collect windows (ETC\qelParScrut.ini); the
    // callers read it through ScrutinioBaseFolder.
    TVxINIFile xIniFileScrutinio;
    TVxParString xpsPathScrutinio;
    // xpsPathScrutinio when it names a folder that exists here, else the user's home folder;
    // with a trailing separator. The suite's default "c:\" means nothing on this system.
    QString ScrutinioBaseFolder() const;

    void SetSessionKind(int iSfiId);
    // Class mode: the class session's flags in the working session (all 0 without one).
    // Teacher mode: [ExpDoc] of the folder's Info.ini (sFolder first), a missing key 0; iEsi,
    // iCre and iGdz are 0; a value other than 0 or 1 raises EVxException naming the file and key.
    void LoadClassFlags(int classId);
    // The class folder of iClsSesId: the general packets, the class session with its
    // subjects, pupils, values, debts, credits, make-up courses, competences, teachers and
    // signatures, the pupils' history pages with lStorico, and Info.ini last. Sets iClsId and
    // iAnsId from the class session.
    void ExportClassData();
    void ExportTeacherData();

    // The collection of a returned folder: class mode replaces class iClsId's data of
    // iAnsSesDwgId, teacher mode only that of iAnaId's subjects in the class, kind by kind as
    // the flags say. Every packet it needs is loaded and checked before the first write (a
    // missing or unreadable one stops it, naming the file, with nothing changed); then the
    // attendance and each kind run in one transaction of their own, a savepoint around each
    // row: a row the database refuses is taken back and listed, the kind goes on. A failure
    // that is not a row's own (the server gone, a wait for rows another office holds that the
    // office stops, a failed commit) rolls the kind back and raises, saying which kinds were
    // stored before it. Returns the log of the rows not written, one line each, for the
    // calling window to show after its own closing message.
    QStringList CollectData();
    // The steps of the collection, each inside the kind's transaction. LoadCollectPackets
    // loads ClsAlu.xml and the packets of the flagged kinds (raising EVxException naming a file
    // that is missing or unreadable), then checks the folder; the others read what it loaded.
    // ImportKindData writes one kind's packet rows of the class, each statement checking that its
    // row lies in the scope DeleteKindData deletes; rows not written go to CollectLog.
    void LoadCollectPackets();
    void ImportAttendance(TVxTransaction &tr);
    void DeleteKindData(int kind, TVxTransaction &tr);
    void ImportKindData(int kind, TVxTransaction &tr);
    // The steps after the kinds. The scrutiny date of outfin\DatiGen.cds (a file that does not
    // load is logged, not collected); the debt verifications of ClsDeb.xml, for the class's
    // pupils and, in teacher mode, the debts the teacher verifies; the credits, each pupil's
    // credit and items under a savepoint of their own; the make-up records. Every write checks
    // in its statement that the situation belongs to the collected class, or for earlier-year
    // debts and credits to one of its pupils: a row outside is listed and not written.
    void ImportScrutinyDate(TVxTransaction &tr);
    void UpdateClassDebts(TVxTransaction &tr);
    void UpdateTeacherDebts(TVxTransaction &tr);
    void ImportCredits(TVxTransaction &tr);
    void ImportRecuperi(TVxTransaction &tr);
    // One pupil's credit and its items, replaced from ClsCre.xml's row of the situation (none
    // when the packet has no credit for it); and one pupil's make-up records replaced by his
    // rows of Rec.xml. Both raise on a refused write, leaving the caller to take the pupil back.
    // The folder brought no credits (or no Rec.xml): nothing changes.
    void ImportPupilCredit(int sitId, TVxTransaction &tr);
    void ImportPupilRecuperi(int sitId, TVxTransaction &tr);
    // The step for each pupil of the class in ClsAlu.xml, each under a savepoint of his own: a
    // refused pupil is taken back and listed, and the others go on.
    void ImportEachPupil(TVxTransaction &tr, void (TdmqelXML::*step)(int, TVxTransaction &));
    // Runs one step of the collection in a transaction of its own, committed at its end. A row
    // not written (refusedRows grew, by default RefusedRows) rolls the step back, its kind kept
    // as it was and named in the log; any other failure rolls it back whole and raises, naming
    // it and the steps stored before it. rows, when given, reads what the step may write, in
    // its transaction before and after it: what it added, changed and deleted goes to the
    // summary.
    void CollectStep(const QString &what, const std::function<void(TVxTransaction &)> &step,
                     const std::function<int()> &refusedRows = {},
                     const std::function<QStringList(TVxTransaction &)> &rows = {});
    // The steps that are no kind, as StepRows knows them beside the kinds' numbers.
    static constexpr int kStepAttendance = -1, kStepScrutinyDate = -2, kStepDebtVerifications = -3,
                         kStepCredits = -4, kStepMakeUps = -5;
    // The rows a step of the running collection may write, in the folder's scope: one line
    // each, "key<tab>values" (TqelChangeCounts).
    QStringList StepRows(int step, TVxTransaction &tr);
    QStringList CollectLog() const;
    // After a collection: the class's pupils the send would carry now and the folder does not
    // (they keep what they hold), then a line per step that changed rows, saying how many it
    // added, changed and deleted, or that nothing changed. No line starts with a blank.
    QStringList CollectSummary() const;
    QStringList NotInFolder() const;
    QStringList ChangeLines() const;
    // The rows the running collection did not write so far.
    int RefusedRows() const;
    // Deletes the files lying in the folder, symbolic links as links: never a sub-folder or
    // what a link points to, and an entry that cannot be deleted stays. An empty path and the
    // filesystem's root are refused with EVxException: their files are not the exchange's.
    static void ClearFolder(const QString &folder);
    // <sFolder>ClsSes.xml exists, reads, and holds iClsSesId, and Info.ini [Classe] ID is
    // iClsId.
    bool CheckClassInfo(int classId, int classSessionId) const;
    // Info.ini [Docente] ID is iAnaId.
    bool CheckTeacherInfo(int teacherId) const;
    // Why the folder is not the class session's (or the teacher's), as the office reads it:
    // the folder or a file of it missing (by name), another class (or teacher), another
    // session or year; empty when it is.
    QString ClassFolderFault(int classId, int classSessionId) const;
    QString TeacherFolderFault(int teacherId) const;
    // The general packets: all of them in class mode, gated by the office's [ExpDoc] flags in
    // teacher mode.
    void ExportGeneralTables();
    // The SQL with every "/*PST*/" replaced by the pupil filter: the study plan (alias.iPstId,
    // or 1=1 for -1), and with lOnlyAdmitted the deferred session's suspended pupils and a
    // qualification class's admitted ones. Those two conditions name the situation table
    // TSit, whatever the alias.
    QString BuildPstFilter(int pstId, const QString &sql, const QString &alias,
                           bool lOnlyAdmitted) const;
    // "(v1,v2,...)" of an integer column over the rows scdExp holds; "(-1)" with none, so an
    // "IN" over it matches nothing.
    QString FieldValueList(const QString &field) const;
    // "(c1,c2,...)" of the classes in which iAnaId teaches a subject and that have a class
    // session in iAnsSesDwgId; "" with none.
    QString TeacherClassList() const;
    void WriteClassInfo();
    void WriteTeacherInfo();

    // The steps every export shares. DeleteFolderInfo removes Info.ini before the first file
    // (raising when it stays). WritePacket runs the query through scdExp and saves it as an XML
    // packet in sFolder (an empty one with its columns when there are no rows), leaving scdExp
    // open for FieldValueList until the next packet, then lets the wait window answer. The
    // packets reach the disk together: SyncFolder waits for them once, before Info.ini vouches
    // for them (a slow medium would otherwise wait for every packet).
    void DeleteFolderInfo();
    void WritePacket(const QString &fileName, const QString &sql,
                     const TVxFieldValues &params = {});
    void SyncFolder() const;
    QString FolderFile(const QString &fileName) const;

    // The class export's own steps. PrepareClassSession opens votes and proposals of the class
    // session and closes its credits outside a final or deferred session or without a band
    // type, committed before the first packet. WriteClsSes and WriteDocCls take the open
    // class-session and teacher queries and write ClsSes.xml (its first row, with ProteggiPwd)
    // and DocCls.xml (each teacher with his login and exchange password).
    void PrepareClassSession();
    void WriteClsSes(const TClientDataSet &source);
    void WriteDocCls(const TClientDataSet &source);

    // The wait window of the running export; none between operations.
    TfmqelWait *Wait() const;
    // Called after each packet is saved, before the wait window's events run: tests press
    // "Annulla" or inject a failure from here.
    std::function<void(const QString &fileName)> onPacketWritten;

private:
    // The office's [ExpDoc] flags (ParGen.ini), read once per export so that the files sent and
    // the flags written into Info.ini agree, whatever happens to the file meanwhile.
    struct ExpDocFlag
    {
        QString section;
        QString key;
        int value = 0;
    };
    struct ExpDocFlags
    {
        QList<ExpDocFlag> values;
        // A flag counts when it is 1.
        bool on(const QString &key) const;
    };

    TdmqelParGen &parGen() const;
    ExpDocFlags readExpDoc() const;
    TVxINIFile folderInfo() const;
    void exportGeneralTables(const ExpDocFlags &flags, bool gated);
    void writeTeacherInfo(const ExpDocFlags &flags);
    void writeTemplate(int reportId, const QString &fileName);
    void exportTeacherClasses(const ExpDocFlags &flags);
    void exportClassPackets();
    void saveBuiltPacket(TClientDataSet &packet, const QString &fileName,
                         TVxFileAccess access = TVxFileAccess::Shared);
    void afterPacket(const QString &fileName);

    struct Collection;
    // What the database holds of the collected class, read once before anything is written
    // (its situations and pupils, the subjects kinds 0 to 5 replace, the teacher's subjects and
    // debts); then the folder checked whole against it: the school of InfoSed.xml, and every row
    // that would be written in the class, the teacher's subjects and the working session. A
    // folder that fails raises EVxException naming its first rows at fault.
    void loadScope();
    void checkFolder();
    // The debt verifications of the rows, each update held to the scope (a condition on the
    // debt d): a debt given twice with other verifications, or that the grid would refuse, is
    // refused; one the statement gone finds deleted since the send is told, not refused; any
    // other touching nothing lies outside the data of whose.
    void updateDebts(TVxTransaction &tr, const QList<TVxFieldValues> &rows, const QString &scope,
                     const QString &gone, const QString &whose);
    // A refused value's line of the log: its packet, pupil and why.
    QString valueLine(const QString &packet, int sitId, const QString &why);
    // The rows (v) of kind 0 to 5 the folder replaces, as a condition: the folder's pupils in
    // the class-session subjects (the teacher's own) or their components, by the ids the
    // database gave; valueChunks binds them, as many chunks of both as they take. scopeValues:
    // the class, the session, the teacher and the year.
    QString valueScope(int kind) const;
    QList<TVxFieldValues> valueChunks(int kind, TVxTransaction &tr);
    // Before kind 0 to 2 is deleted: the levels stored where the folder brings a level its
    // scale no longer offers, which stays only where it is stored already.
    void readRetiredLevelsStored(int kind, TVxTransaction &tr);
    TVxFieldValues scopeValues() const;
    // Rec.xml's rows of a pupil and a subject, only sitId's unless 0, as make-up inserts take
    // them; a second row of the same phase, pupil and subject is listed as refused instead.
    QList<TVxFieldValues> makeUpRows(int sitId);
    // Whether the teacher's debt of the situation in the subject is one the office deleted
    // after the send (QelDocFolderSql::debtGone).
    bool debtGone(int sitId, int matId) const;
    // A make-up row's pupil and subject, as its lines name them.
    QString makeUpWho(const TVxFieldValues &row);
    // The situations whose make-up records the class collection replaces.
    QList<int> makeUpSits() const;

    QPointer<TfmqelWait> m_wait;
    // The connection the reads run on: the program's, or a run's (ReadsOfRun).
    QSqlDatabase readsConnection() const;
    std::optional<QSqlDatabase> m_runReads;
    std::optional<QPair<QString, QString>> m_runYearAndSession;
    std::shared_ptr<Collection> m_collect; // the packets and the log of the running collection
    // The collection run's transaction, and the folders it checked, by folder, class and teacher
    // (collectionKey), each taken by its collection.
    TVxTransaction *m_runTransaction = nullptr;
    std::map<QString, std::shared_ptr<Collection>> m_checked;
    QString collectionKey() const;
    mutable std::unique_ptr<TdmqelParGen> m_ownParGen;
};

// The single instance while an exchange window is open.
extern TdmqelXML *dmqelXML;

// The exchange's data kinds and their own numbering (no kind 6; 10 is competences), with the
// engine's flag, the packet and the table the collection writes. Credits have no number: their
// flag iCre moves ClsCre.xml, ClsCreFrm.xml and ClsCreSco.xml.
struct TqelXmlKind
{
    int kind;
    int TdmqelXML::*flag;
    const char *packet;
    const char *table;
};
std::span<const TqelXmlKind> qelXmlKinds();

// The office's message of collections' logs: how many rows were not collected (the lines that
// start with a blank; others head a teacher's rows), then every line. A long one comes in a
// scrolling dialog with this summary on top (VxMessageDlg).
QString NotCollectedMessage(const QStringList &log);
// The line after the first rows shown of a long list: how many more there are.
QString MoreRowsLine(qsizetype more);
// A year-session as a refusal names it: "della sessione "Scrutinio finale" dell'anno 2008/2009".
QString YearSessionText(int iAnsSesDwgId);
// The one message that closes a collection, after the work: `done` ("Operazione completata.")
// only when the log is empty, else the rows not collected; then the summary's lines.
QString CollectionEndMessage(const QString &done, const QStringList &log,
                             const QStringList &summary);

// A teacher's password for the coordinator's program, 20 letters: Krypto with the key "R5t"
// over the teacher id (7 hexadecimal digits), "#", the school year's first calendar year (4),
// "#", the main seat's ministry code, "#", (id - 1000000) x that year (7), and the trimmed
// personal password. Never stored: the teachers' program rebuilds it by the same rule.
QString MakeClassPasswd(int iAnaId, int yearValue, const QString &mecCode,
                        const QString &personalPart);
