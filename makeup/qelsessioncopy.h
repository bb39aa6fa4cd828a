#pragma once

// The copy of one session's evaluation rows into another: the data work behind the windows
// that prepare the deferred session and the qualification exam.
//
//   QelCopyResult r = copySessionRows(db, QelCopyKind::DeferredVotes, 392, 393);
//   if (r.sourceRows == 0) ...        // nothing to copy: the target was not touched
//   for (const QelRowWithoutPlace &m : r.withoutPlace) ...   // the target lacks a place
//
// Each call is one step, in one transaction of its own: either the whole step is written or
// none of it, so a failure part-way never leaves the target session emptied.

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

class QComboBox;

// The kinds of rows a copy moves. The deferred session takes the suspended pupils' rows of
// every kind; the qualification exam the admission votes that reach a minimum and the
// judgments of the pupils who have one.
enum class QelCopyKind {
    DeferredVotes,
    DeferredProposedVotes,
    DeferredJudgments,
    DeferredNotes,
    DeferredAbsences,
    QualificationVotes,
    QualificationJudgments,
};

// A source row whose class has no matching subject (or vote component) in the target
// session: the first such row of its class in a step.
struct QelRowWithoutPlace
{
    int iClsId = 0;
    int iMatId = 0;
    QString sClsDesc;
    QString sMatSDesc;
};

struct QelCopyResult
{
    int sourceRows = 0; // 0: nothing to copy, and the target was left as it was
    int deleted = 0;
    int inserted = 0;
    bool changed = false; // the step's delete and inserts were committed
    QList<QelRowWithoutPlace> withoutPlace;
};

// Told (0, total) once the rows to insert are known, before the target's rows are deleted,
// then (n, total) after each row inserted. It may let window events run.
using QelCopyProgress = std::function<void(int done, int total)>;

// One step: reads the source session's rows of the kind; looks up each row's place in the
// target session first; deletes every row of the kind in the target session, whatever the
// pupil; inserts the copies with new keys and the source rows' own dates; commits.
// A row without a place is left out of a deferred copy; in a qualification copy it makes the
// step change nothing. minimumVote is the least admission vote a qualification copy takes.
// Throws EVxException with the database's reason; the step's work is then rolled back.
QelCopyResult copySessionRows(const QSqlDatabase &db, QelCopyKind kind, int iSourceId,
                              int iTargetId, int minimumVote = 0,
                              const QelCopyProgress &progress = {});

// Fills the list with the sessions of a kind (iSfiId: 2 final, 3 deferred) of the working
// year and institute, the session's key as each item's data. With either of them not chosen
// the list stays empty. Throws EVxException when the database refuses.
void loadSessionsOfKind(QComboBox *items, int iSfiId);
