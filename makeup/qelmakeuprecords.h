#pragma once

// The make-up records (TRec_Recuperi) and the rules that the assignment, outcomes and
// conversion windows share: the phases of a year, the year limit, the keypad digits, the pupils
// and subjects of a class session, the first type or outcome of a weight and the colours by
// weight. Every statement of those windows lives here (the conversion's reading of taxonomy
// grades in qelmakeupconversion.h); the windows build none.
//
//   MakeupRecords data(qqoVxGlobConn());
//   const MakeupClass cls = data.classOf(dmqevDataSets->iClsSesId);  // fixed for the window
//   if (!makeupYearAllowed(cls.iAnsId)) ...                           // before 2007/2008
//   const QList<MakeupPhase> phases = data.phasesOfYear(cls.iAnsId);
//   const MakeupGrid g = data.grid(cls, phase.iFreId, MakeupPupilList::Assignment, {});
//
// "The first" row (the phase of a year, the record of a cell, the type of a weight) is always
// the first by key, so that two offices, or two runs, see the same one. Each call runs in the
// caller's transaction when one runs on the connection, else in one of its own. Database
// errors raise EVxException with the driver's text.
//
// The windows write records through grade entry's one save routine (SalvaScritture, in
// gradeentry/qevsalva.h): a write goes only where the cell's or record's row still holds what
// the window read (asRead, outcomesAsRead), compared in the save's transaction (cellNow,
// classPhaseNow); another office's change is told, and writing again writes over it.

#include "platform/enumvalues.h"
#include "platform/savecheck.h"

#include <QColor>
#include <QDate>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>

#include <optional>

class QKeyEvent;
class TVxTransaction;

// The year limit: make-up records exist from the school year with key 38 (2007/2008). The
// key itself is compared, as every stored year of the suite counts from it.
constexpr int kFirstMakeupYear = 38;
inline bool makeupYearAllowed(int iAnsId)
{
    return iAnsId >= kFirstMakeupYear;
}

// The weight (0-9) a key types, or -1. A keypad digit is a digit that Qt reports with the
// keypad modifier: with NumLock off the same keys arrive as arrows, Home, End... and move the
// cursor instead. mainKeyboardToo also takes the digits of the main keyboard (the assignment
// grid does, the outcomes grid does not). A digit with Ctrl, Alt or Meta is a shortcut, not a
// weight.
int keypadDigit(const QKeyEvent &event, bool mainKeyboardToo);

// Colours by weight. Types: the legend shows each weight in the colour its cells take, so that
// it tells which digit is which type. Outcomes: a cell value of -1 is a record without
// outcome (silver); every weight above 1 is yellow; a value with no colour is not painted.
QColor typeCellColour(int weight);
std::optional<QColor> outcomeCellColour(int value);
std::optional<QColor> outcomeLegendColour(int weight);

// The class session a make-up window works on, read once when the window opens.
struct MakeupClass
{
    int iClsSesId = 0;
    int iClsId = 0;
    int iAnsId = 0;     // school year of the class session
    int iAnsValore = 0; // its first calendar year (2008 for 2008/2009)
    QString sClsDesc;
    QString yearText() const; // "2008/2009"
};

// A phase row of a year (TAnsFreDwg with its TFre_FasiRec text).
struct MakeupPhase
{
    int iAnsFreDwgId = 0; // this row
    int iFreId = 0;
    QString sFreLDesc;
    // The phase of the year as the assignment and outcomes windows write it: the first row by
    // key of this year and iFreId (a phase may have a common row and an institute's own).
    int iAnsFreDwgIdOfPhase = 0;
};

// Which pupils a grid lists: the assignment grid only main situations (iSitOrdine 1),
// labelled "7) Surname Name"; the outcomes grid every situation on the register, labelled
// "Surname Name".
enum class MakeupPupilList { Assignment, Outcomes };

struct MakeupPupil
{
    int iSitId = 0;
    int iSitPosReg = 0;
    QString label;
};

struct MakeupSubject
{
    int iMatId = 0;
    QString sMatSDesc;
    int iClsSesMatId = 0; // the subject's first row of the class session: its grades
};

// Which grades a cell shows: the proposed votes (0) or the votes (1), as "Mostra:" lists them.
enum class MakeupGradeKind { Proposed = 0, Final = 1 };

// One make-up record with its type's and outcome's weight and short text.
struct MakeupRecord
{
    int iRecId = 0;
    int iTreId = 0; // 0: no type
    int iEreId = 0; // 0: no outcome
    int iMatId = 0;
    int iSitId = 0;
    int iAnsFreDwgId = 0;
    QDate dRecAttr; // null: no date
    QDate dRecVer;
    int iTrePeso = 0; // 0 also when the record has no type or its type has no weight
    std::optional<int> iPesoRec;
    QString sTreSDesc;
    QString sEreSDesc;
};

struct MakeupLegendRow
{
    int weight = 0;
    QString sDesc;
};

// What an outcomes cell shows of its first record: -1 without outcome, else the outcome's
// weight (-1 too for an outcome without one).
int outcomeCellValue(const MakeupRecord &record);

// A pupil's and subject's cell of a grid: (iSitId, iMatId).
using MakeupCell = QPair<int, int>;

// What a grid of a class session shows in one phase, read in one transaction with a fixed
// number of statements, however many pupils and subjects.
struct MakeupGrid
{
    QList<MakeupPupil> pupils;
    QList<MakeupSubject> subjects;
    QHash<MakeupCell, MakeupRecord> records;            // the first record of each cell
    QHash<MakeupCell, QList<MakeupRecord>> cellRecords; // every record of each cell, by key
    QHash<MakeupCell, QString> gradeTexts;              // empty when no grades were asked for
};

class MakeupRecords
{
public:
    explicit MakeupRecords(const QSqlDatabase &db);

    // The school year and class of a class session; raises when it does not exist.
    MakeupClass classOf(int iClsSesId) const;
    // The phases of the year, by key; commonOnly keeps the rows of no institute (iDwgId NULL).
    QList<MakeupPhase> phasesOfYear(int iAnsId, bool commonOnly = false) const;
    // The pupils of the class on the register (iSitPosReg > 0), by register number.
    QList<MakeupPupil> pupils(int iClsId, MakeupPupilList list) const;
    // The subjects of the class session in the class's plan of studies (with a place in it),
    // but conduct and religion, by their place in the plan, then iMatId.
    QList<MakeupSubject> subjects(int iClsSesId) const;
    // The grades text of every cell of the class session that has grades: the texts of the
    // votes or proposed votes of every vote component of the subject, joined by three blanks.
    QHash<MakeupCell, QString> gradeTexts(int iClsSesId, const QList<MakeupSubject> &subjects,
                                          MakeupGradeKind kind) const;

    // The grid of the class session in the phase iFreId of its year: pupils, subjects, the
    // first record of every cell and, when a kind is given, the grades texts.
    MakeupGrid grid(const MakeupClass &cls, int iFreId, MakeupPupilList list,
                    std::optional<MakeupGradeKind> grades) const;
    // The outcomes grid: every situation on the register, the subjects and the first record
    // of every cell in the phase row iAnsFreDwgId (the row the outcomes are written to).
    MakeupGrid outcomeGrid(const MakeupClass &cls, int iAnsFreDwgId) const;

    // The record a cell shows: the first by key of the pupil, subject and phase of the year.
    std::optional<MakeupRecord> cellRecord(int iAnsId, int iFreId, int iSitId, int iMatId) const;
    std::optional<MakeupRecord> record(int iRecId) const;
    // The record of a cell in the phase row: the first by key.
    std::optional<MakeupRecord> cellRecordOfPhaseRow(int iAnsFreDwgId, int iSitId,
                                                     int iMatId) const;
    // Every record of the cell in the phase row, by key.
    QList<MakeupRecord> cellRecordsOfPhaseRow(int iAnsFreDwgId, int iSitId, int iMatId) const;

    // The types and outcomes as the drop-down lists show them (long text), by key.
    TVxEnumItems types() const;
    TVxEnumItems outcomes() const;
    // The first type, or outcome, (by key) of the weight; 0 when none has it. Weights are
    // meant to be unique, but nothing in an older database makes them so.
    int firstTypeOfWeight(int weight) const;
    int firstOutcomeOfWeight(int weight) const;
    // Weight and short text of every type, or of every outcome, by weight.
    QList<MakeupLegendRow> typeLegend() const;
    QList<MakeupLegendRow> outcomeLegend() const;

    // Inserts the record (iTreId, iEreId, iMatId, iSitId, iAnsFreDwgId, dates; 0 and null
    // dates written as NULL) with a new key, which it returns and sets in the record.
    int insert(MakeupRecord &record) const;
    // The records of the phase row of every situation of the class on the register, whatever
    // its iSitOrdine (also those the grids do not list), by key.
    QList<MakeupRecord> classPhaseRecords(int iClsId, int iAnsFreDwgId) const;

    // What the one save routine compares. A cell of the assignment window is named by cellId
    // and compares its first record (asRead: key, type, outcome and dates; those a write changes,
    // every one for a deletion); a record alone by recordId; a cell of the outcomes window
    // compares every record of its pupil and subject in the phase row (outcomesAsRead: the
    // first's key, each record's outcome and their count), so that a write reaching them all
    // finds each as read.
    static QString cellId(int iSitId, int iMatId);
    static QString recordId(int iRecId);
    static TVxRiga asRead(const std::optional<MakeupRecord> &read,
                          const MakeupRecord *written = nullptr);
    static TVxRiga outcomesAsRead(const QList<MakeupRecord> &records);
    // The key, type, outcome and dates of a row as stored (asRead's columns).
    static MakeupRecord recordOfRow(const TVxRiga &row);
    // In the save's transaction: the first record of a cell (by cellId), or the records of the
    // class in the phase row (classPhaseRecords) by recordId or, byCell, by cellId.
    QHash<QString, TVxRiga> cellNow(int iAnsId, int iFreId, int iSitId, int iMatId) const;
    QHash<QString, TVxRiga> classPhaseNow(int iClsId, int iAnsFreDwgId, bool byCell) const;
    // In the save's transaction: the records of a cell in the phase row (by cellId), as
    // outcomesAsRead compares them.
    QHash<QString, TVxRiga> cellOutcomesNow(int iAnsFreDwgId, int iSitId, int iMatId) const;

    // The writes, in the save's transaction once it compared the rows: a new record with a new
    // key (set in the record); the columns of read that written changes; a record deleted.
    static int insert(TVxTransaction &tr, MakeupRecord &record);
    static void update(TVxTransaction &tr, const MakeupRecord &written, const MakeupRecord &read);
    static void remove(TVxTransaction &tr, int iRecId);

private:
    MakeupGrid gridWith(const MakeupClass &cls, MakeupPupilList list, const QString &recordsSql,
                        const TVxFieldValues &values, std::optional<MakeupGradeKind> grades) const;
    int firstOfWeight(const char *sql, const char *weightName, int weight) const;

    QSqlDatabase m_db;
};
