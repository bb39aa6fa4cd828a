#pragma once

// Every statement by which the program updates or deletes rows of the evaluation tables (votes,
// proposals, taxonomies, absences, aids, notes, judgments, outcomes, credits and their check
// lists, debts, make-up records, judgment templates, class notes and hours, competences), found
// in its sources rather than listed by hand: the inventory the two-office table is generated
// from, so that a window's new write has no row until someone writes one, and its test fails
// meanwhile.
//
//   for (const EvaluationWrite &w : writesOf(evaluationStatements(TAVRIN_SOURCE_DIR))) ...
//
// A write is found in four shapes:
// - a statement written out ("UPDATE TRec_Recuperi SET ...", "DELETE FROM TCreSco ...",
//   "UPDATE OR INSERT INTO", "MERGE INTO"), in a string literal or several adjacent ones, with
//   its lines spliced and its escapes read as the compiler reads them, and the file's macros
//   (and those of the headers) expanded;
// - the call of a procedure of the schema (db/schema/*.sql) that writes an evaluation table
//   ("EXECUTE PROCEDURE PZ..."), kind "EXECUTE", via "PROCEDURE <name>";
// - a table of the grade stores' one shape (a file that builds a TqevTabella naming the table,
//   and calls AggiornaRiga or SqlAggiorna for its update, CancellaCella or SqlCancella for its
//   delete: gradeentry/qevsalva.cpp writes the statement);
// - a record editor's query collection deriving its statements from a select on the table
//   (setAutoBuildSQL(true): platform/querycollection.cpp writes them).
// A statement whose table is a placeholder ("UPDATE %1") anywhere but in those two writers is
// unresolved (via "unresolved"): the inventory cannot tell which table it writes, and says so.
//
// Whatever the scan misses, the tests' runs meet: every statement a test runs through the
// framework (TVxStatementRecorder) that writes an evaluation table must be one of the inventory's
// (watchEvaluationWrites, installed by the tests' main), or the run fails naming it.

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

struct EvaluationWrite
{
    QString file;  // from the source root, with '/'
    QString kind;  // "UPDATE", "DELETE", "MERGE" or "EXECUTE"
    QString table; // in capitals
    QString via;   // "statement", "TqevTabella", "TVxQueryCollection" or "PROCEDURE <name>"

    // "makeup/qelmakeuprecords.cpp: UPDATE TREC_RECUPERI (TqevTabella)"
    QString text() const;
    // The same as a test's name: letters, digits and underscores.
    QString name() const;
    bool operator==(const EvaluationWrite &) const = default;
};

// One statement of a write as the code holds it: what an exemption names, and what a statement
// a test runs is matched against.
struct EvaluationStatement
{
    // Its table empty for a writer's shape ("UPDATE %1 SET %2 ...", via the writer's name) and
    // for a statement unresolved elsewhere (via "unresolved").
    EvaluationWrite write;
    // From the write's keyword on, literals joined and macros expanded, blanks collapsed; for a
    // store's table or a collection's select, the literal that names the table.
    QString text;
};

// The procedures of a schema script that write an evaluation table, by name in capitals: what
// each does to which table ("UPDATE", "TVOT_VOTI"), also through a procedure it calls.
using WritingProcedures = QHash<QString, QList<QPair<QString, QString>>>;
WritingProcedures writingProceduresOf(const QString &sql);

// The statements one source file's text holds (file: its path from the source root).
// sharedDefines: the macros the file may use from elsewhere (#define lines).
QList<EvaluationStatement> evaluationStatementsOf(const QString &file, const QString &text,
                                                  const WritingProcedures &procedures = {},
                                                  const QString &sharedDefines = {});
// Every statement of the program's sources under root (tests, benchmarks and build folders left
// out), the writers' shapes included.
QList<EvaluationStatement> evaluationStatements(const QString &root);

// The distinct writes of the statements, sorted by file, table and kind.
QList<EvaluationWrite> writesOf(const QList<EvaluationStatement> &statements);

// The statements among those run that write an evaluation table (or call a procedure that
// does) and are none of the inventory's: not a statement the scan found (its text as run begins
// as the found one does, a placeholder taking any text), nor a writer's shape run for a table
// the inventory has it write. allowed: whole statements that the scan does not cover by design
// (a test's own), placeholders taking any text.
QStringList writesNotInInventory(const QStringList &run,
                                 const QList<EvaluationStatement> &inventory,
                                 const WritingProcedures &procedures,
                                 const QStringList &allowed = {});

// Installs, for the test program, the watch over the statements its tests run: at the end of
// the run a write of an evaluation table not in the inventory fails it, named with its test.
void watchEvaluationWrites();
