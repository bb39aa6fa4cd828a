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

#include "platform/enumvalues.h"

#include <QColor>
#include <QDate>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>

#include <optional>

class QKeyEvent;

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
    QHash<MakeupCell, MakeupRecord> records; // the first record of each cell, by key
    QHash<MakeupCell, QString> gradeTexts;   // empty when no grades were asked for
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
    // Inserts the record for its cell unless the cell (pupil, subject, phase iFreId of the
    // year) has one meanwhile, in one transaction: returns the record found (nothing
    // inserted), or none after inserting. An office that opened its grid before another
    // office assigned the same cell never makes a second record for it.
    std::optional<MakeupRecord> insertUnlessPresent(MakeupRecord &record, int iAnsId,
                                                    int iFreId) const;
    // Writes type, outcome and dates of the record iRecId; the rows it changed (0: the
    // record is gone).
    int update(const MakeupRecord &record) const;
    // Gives every record of the pupil's subject in the phase row the first outcome of the
    // weight (none when no outcome has it, or no weight is given), in one transaction; types
    // and dates stay; only while the cell's first record still shows what the window shows
    // (shown, as outcomeCellValue gives it). The rows changed (0: the cell has no record any
    // more, or shows another outcome) and the outcome written (0: none); changedTo, the value
    // the cell shows now when another office changed its outcome since, or saves it at this
    // very moment: nothing is written then.
    struct OutcomeWritten
    {
        int rows = 0;
        int iEreId = 0;
        std::optional<int> changedTo;
    };
    OutcomeWritten setCellOutcome(int iAnsFreDwgId, int iSitId, int iMatId,
                                  std::optional<int> weight, int shown) const;
    // Clears the outcome of every record of the phase row whose pupil situation belongs to
    // the class and is on the register, whatever its iSitOrdine; types and dates stay. The rows
    // changed.
    int clearClassOutcomes(int iClsId, int iAnsFreDwgId) const;
    // Deletes one record; the rows deleted.
    int remove(int iRecId) const;
    // Deletes every record of the phase row whose pupil situation belongs to the class and
    // is on the register, whatever its iSitOrdine; the rows deleted.
    int removeClassPhase(int iClsId, int iAnsFreDwgId) const;

private:
    MakeupGrid gridWith(const MakeupClass &cls, MakeupPupilList list, const QString &recordsSql,
                        const TVxFieldValues &values, std::optional<MakeupGradeKind> grades) const;
    int firstOfWeight(const char *sql, const char *weightName, int weight) const;

    QSqlDatabase m_db;
};
