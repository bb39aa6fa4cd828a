#pragma once

// Every statement by which the program updates or deletes rows of the evaluation tables (votes,
// proposals, taxonomies, absences, aids, notes, judgments, outcomes, credits and their check
// lists, debts, make-up records, judgment templates), found in its sources rather than listed
// by hand: the inventory the two-office table is generated from, so that a window's new write
// has no row until someone writes one, and its test fails meanwhile.
//
//   QStringList unresolved;
//   for (const EvaluationWrite &w : evaluationWrites(TAVRIN_SOURCE_DIR, &unresolved)) ...
//
// A write is found in three shapes:
// - a statement written out ("UPDATE TRec_Recuperi SET ...", "DELETE FROM TCreSco ..."), in
//   a string literal or several adjacent ones;
// - a table of the grade stores' one shape (a file that builds a TqevTabella naming the table,
//   and calls AggiornaRiga or SqlAggiorna for its update, CancellaCella or SqlCancella for its
//   delete: gradeentry/qevsalva.cpp writes the statement);
// - a record editor's query collection deriving its statements from a select on the table
//   (setAutoBuildSQL(true): platform/querycollection.cpp writes them).
// A statement whose table is a placeholder ("UPDATE %1") anywhere but in those two writers is
// unresolved: the inventory cannot tell which table it writes, and says so.

#include <QList>
#include <QString>
#include <QStringList>

struct EvaluationWrite
{
    QString file;  // from the source root, with '/'
    QString kind;  // "UPDATE" or "DELETE"
    QString table; // in capitals
    QString via;   // "statement", "TqevTabella" or "TVxQueryCollection"

    // "makeup/qelmakeuprecords.cpp: UPDATE TREC_RECUPERI (TqevTabella)"
    QString text() const;
    // The same as a test's name: letters, digits and underscores.
    QString name() const;
    bool operator==(const EvaluationWrite &) const = default;
};

// The evaluation tables, in capitals.
const QStringList &evaluationTables();

// The writes one source file's text holds (file: its path from the source root); the
// statements it cannot resolve are appended to unresolved.
QList<EvaluationWrite> evaluationWritesOf(const QString &file, const QString &text,
                                          QStringList *unresolved);

// Every write of the program's sources under root (tests, benchmarks and build folders left
// out), sorted by file, table and kind.
QList<EvaluationWrite> evaluationWrites(const QString &root, QStringList *unresolved);
