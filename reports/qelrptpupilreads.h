#pragma once

// What a report run reads for many pupils at once. A report card asks, pupil by pupil and cell
// by cell, for votes, absences, subjects and debts: one statement per question would cost a
// school's network a round trip each. Instead, the first question about a pupil reads the
// answer for him and for the next pupils the run is about to print (up to kPupilsAtOnce) in one
// statement, and the run keeps each pupil's rows (TfrRunCache) for every later question.
//
//   qelNotePupils(QelPupilKey::Situation, master.ColumnValues("iSitId"));   // the print order
//   const TfrRows votes = qelPupilRows({"voti", kVotesSql, QelPupilKey::Situation}, iSitId);
//
// A statement of many pupils holds "%KEYS%" where their keys go (VxKeysSql) and names
// its key column BatchKey; each pupil's rows keep the statement's order. Outside a report run
// (nothing to keep them in) the pupil is read alone.

#include "platform/sqlparams.h"
#include "reportengine/reportruncache.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

// How many pupils one statement reads.
constexpr int kPupilsAtOnce = kVxKeysAtOnce;

enum class QelPupilKey { Situation, Person };

// The keys of the rows the run prints next, in their order (a master's rows, the situations
// read for them): the pupils read together with the first one asked for.
void qelNotePupils(QelPupilKey kind, const QList<QVariant> &keys);
// Whether the run has noted the key (always false outside a run).
bool qelPupilNoted(QelPupilKey kind, int key);

struct QelPupilRead
{
    QString id; // names the statement among the run's reads
    QString sql;
    QelPupilKey kind;
    // Told every statement's keys, in order, and all its rows.
    std::function<void(const QList<int> &keys, const TfrRows &rows)> onRead = {};
};

// The rows of the statement for the key, with the statement's columns. The values are bound
// beside the keys and belong to what is read (a second read with other values is another).
TfrRows qelPupilRows(const QelPupilRead &read, int key, const TVxFieldValues &values = {});

// The index of a column among the rows' columns (case-insensitive); -1 when absent.
int qelColumn(const TfrRows &rows, const char *name);
// The rows without BatchKey and the columns after it: those of the pupil's own statement.
TfrRows qelOwnColumns(TfrRows rows);
