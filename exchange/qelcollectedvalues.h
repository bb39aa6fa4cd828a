#pragma once

// What a value brought back by a collection may be: the rules of a value the office types in
// grade entry (the component scale's levels of the kind, the hours, aids and credits of
// TqevRegoleValori), and keys the database can hold. The routes come from outside (a teacher's
// program, the web service), so every value is measured as a typed one before it is written.
//
// One table (QelCollectedValues::Kinds) holds, for every kind a collection writes, the routes
// that bring it back and the rule of its rows: its numbers, dates and choices, the level or
// credit it is, the column naming its session, whether a teacher's route holds it to his
// classes and subjects. Every route measures its rows through Refusal, tells repeats through
// QelCollectRepeats and names a row through Who, so that no route has fewer checks than
// another.
//
//   QelCollectedValues values;
//   const QelCollectKind &kind = QelCollectedValues::Kind("assenze");
//   const QString why = values.Refusal(kind, row);   // empty: the value is fine
//   if (!QelCollectedValues::FitsKey(packetValue)) ...
//
// The levels of a kind, the choices and the names are read once, the first time they are
// asked for, on the program's connection (inside the caller's transaction when one runs
// there), or the choices and names on the connection given (SetConnection).

#include "gradeentry/qevrecords.h"
#include "gradeentry/qevvalstore.h"
#include "platform/clientdataset.h"
#include "platform/sqlparams.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <array>
#include <memory>
#include <span>

// The routes a collection brings values back by.
enum QelCollectRoute : unsigned {
    kRouteClassFolder = 1,
    kRouteTeacherFolder = 2,
    kRouteBinaryFolder = 4,
    kRoutePlanFolders = 8,
    kRouteWebByClass = 16,
    kRouteWebByTeacher = 32,
    kRouteMakeUpWeb = 64,
};

// A kind of value collected and its rule.
struct QelCollectKind
{
    const char *name;  // as the office reads it, in lines and counts: "voti proposti"
    const char *table; // the table it writes
    unsigned routes;   // the QelCollectRoute that bring it back
    int level;         // a level of kind 0, 1 or 2 (votes, proposals, taxonomies); -1 none
    bool hours;        // its numbers are hours (0 to 9999), else credit points (0 up)
    bool aid;          // an aid code
    bool credit;       // a credit, measured against the band of the pupil's average
    // Its whole numbers that count (hours, points): never negative. Space-separated columns,
    // as the row gives them to Refusal.
    const char *numbers;
    // Its dates: one given as a text must be a day of the calendar.
    const char *dates;
    // "column:table ...": keys of the tables of choices (an outcome, a commendation), which the
    // database must hold.
    const char *choices;
    // The column naming the row's session (or the make-up phase of its year): a row of another
    // is refused. None: the row's subject or pupil places it.
    const char *session;
    // A route of a teacher holds it to his classes and subjects (or the debts he verifies).
    bool teachers;
};

class QelCollectedValues
{
public:
    QelCollectedValues();
    ~QelCollectedValues();
    // Where the choices and names are read: a work's side reads (TVxSideReads), each text
    // prepared once for the whole work.
    void SetConnection(const QSqlDatabase &db);

    // The table, and one kind of it by name (EVxException for a name it lacks).
    static std::span<const QelCollectKind> Kinds();
    static const QelCollectKind &Kind(const char *name);

    // Why a row of the kind is refused, as the office reads it after the pupil and subject;
    // empty when it is taken. The row holds the kind's columns by name: its numbers, dates,
    // choices; a level's iScaLivId and iCmpScaId; hours and aids in iAssOre, iCnoOre, sAiuVal;
    // a credit's iSitId, iCreCredito, iBndId and iCreOutBanda, with the year of its situation
    // (iAnsId) and the class session whose votes the credits grid averages for it (iClsSesId,
    // 0 for the year's final sessions: TqevCreStore::MediaPerBanda). A credit's band is the one
    // the database gives the pupil's average: Refusal sets iBndId to it (the row's band only
    // compared), where the average gives one. stored: the value stored at the row's place,
    // which keeps a level taken off its scale; a credit's (CreditRefusal).
    QString Refusal(const QelCollectKind &kind, TVxFieldValues &row,
                    const QVariant &stored = QVariant(), const TValCredito *storedCredit = nullptr);
    // Why the value of a vote kind (0 votes, 1 proposed votes, 2 taxonomies, 3 absences, 4 aids)
    // is refused, as the office reads it after the pupil and subject; empty when it is taken.
    // Kinds 0 to 2 measure the level (the id a row stores) against the component scale
    // iCmpScaId: a level the grid no longer offers (deleted from its scale, or a proposal
    // hidden) is refused unless it is the level stored (null: none stored), which the grid
    // shows and keeps.
    QString Refusal(int kind, int iCmpScaId, const QVariant &value,
                    const QVariant &stored = QVariant());
    // A credit row's refusal: its band the one the database gives the pupil's average (iBndId set
    // to it, the row's own only compared), then its numbers as the credits grid measures them
    // (TqevRegoleValori::CreditoRifiutato), those that differ from stored (every one without it).
    QString CreditRefusal(TVxFieldValues &row, const TValCredito *stored = nullptr);
    // Whether a level of kind 0 to 2 is of the component scale but no longer offered there: the
    // one case where what is stored decides (Refusal's stored).
    bool LevelRetired(int kind, int iCmpScaId, const QVariant &value);

    // A row's pupil and subject as every line names them: "Rossi Mario (situazione 955),
    // Matematica"; a situation or subject the database lacks is named by its key as such, and
    // keys beyond the database's (FitsKey) as they came. The subject is a class-session
    // subject's key, or (bySubject) a subject's; none or 0 for none.
    QString Who(const QVariant &sit, const QVariant &subject = {}, bool bySubject = false);
    QString PupilName(int iSitId);
    // A class and a subject, as the lines of a class note name them: "classe 3C, Matematica".
    QString ClassAndSubject(const QVariant &cls, const QVariant &subject);
    // What every route says of a debt verification whose debt the office deleted after the
    // send: told, refusing nothing else.
    static QString DebtDeleted();

    // A key, or any whole number the database keeps in an INTEGER column, as a packet gives it,
    // read as the number it names whatever type the packet declares for its column: a number, or
    // a text of one with blanks around it or leading zeros ("0739", " 739"). Null, or a blank
    // text, is none (an invalid QVariant). fits false when it names no whole number, or one the
    // database's INTEGER cannot hold (it would wrap into another row's key): the value is then
    // given back as it came, for the line that names it. Every route reads its rows' keys here,
    // for its checks, its repeats and its writes alike.
    static QVariant Key(const QVariant &value, bool *fits = nullptr);
    static bool FitsKey(const QVariant &value);
    // Whether a packet's column holds such numbers: declared whole, or named as the suite names
    // its keys (iSitId, ISITID, iClsMatCmpId_vtp1), whatever the packet declares.
    static bool KeyColumn(const TFieldDef &def);
    // A column of the packet's current row: a KeyColumn's read by Key, any other as it is; null
    // when the packet has no such column.
    static QVariant PacketValue(const TClientDataSet &packet, const QString &column);
    static QVariant PacketValue(const TField *field); // none: null
    // Why the packet's current row cannot be read: its first KeyColumn whose value Key does not
    // read, as a line tells it ("iSitId vale \"07x\", che non è un numero intero"); empty when
    // every one reads.
    static QString KeysFault(const TClientDataSet &packet);
    // The same of one value of a column: empty when Key reads it.
    static QString KeyFault(const QString &column, const QVariant &value);
    // A date as a packet gives it, a date or a text "dd/mm/yyyy": an invalid QVariant for none
    // (an empty text, or a text of another form), which binds as NULL. A text of that form
    // naming no day of the calendar ("31/02/2009") is refused by Refusal.
    static QVariant DateOf(const QVariant &value);

private:
    TqevValStore &levels(int kind);
    // The component of the scale as the office reads it: its name, read once for every scale.
    QString componentName(int iCmpScaId);

    bool hasChoice(const QString &table, const QVariant &key);
    // A name read once by its key (sql takes :iId); empty when the database has none.
    QString nameOf(const QString &key, const QString &sql, int id);
    QString subjectName(int subject, bool bySubject);

    QSqlDatabase m_db;
    std::array<std::unique_ptr<TqevValStore>, 3> m_levels;
    QHash<int, QString> m_components;
    bool m_componentsRead = false;
    QHash<QString, QSet<qint64>> m_choices; // by table
    QHash<int, QString> m_pupils;           // by situation
    QHash<QString, QString> m_subjects;     // by "s<class-session subject>", "m<subject>",
                                            // "c<class>"
};

// Rows that name one value (its key): the first of a key is taken, the same again is that value
// once more (taken once, told nothing); a key given with other values cannot be told apart,
// so none of its rows is written, the stored value stays, and the key is told once.
//
//   QelCollectRepeats repeats;
//   for (row : rows) repeats.Note(key(row), values(row));
//   for (row : rows) switch (repeats.Take(key(row))) { ... }
class QelCollectRepeats
{
public:
    enum Verdict {
        First,    // the first row of its key: written
        Again,    // the same values again: nothing more to write or tell
        Conflict, // its key came with other values: the first such row, told
        Told,     // a later row of such a key: already told
    };
    void Clear();
    void Note(const QString &key, const QString &values);
    Verdict Take(const QString &key);
    bool Conflicting(const QString &key) const { return m_conflicts.contains(key); }
    // A row's values (those named, or every one) as one text, a null told from an empty one:
    // the keys and values Note takes.
    static QString Text(const TVxFieldValues &row, const QStringList &names = {});
    // The cause every route gives the office for such a key.
    static QString Cause();

private:
    QHash<QString, QString> m_first;
    QSet<QString> m_conflicts;
    QSet<QString> m_taken;
};
