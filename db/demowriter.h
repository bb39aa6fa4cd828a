#pragma once

// Writing the planned demo school into the database, one area per function. Each runs in
// the caller's transaction and throws SeedError on the first refused row.

#include "db/demomodel.h"

#include <map>
#include <utility>

class QSqlDatabase;

namespace demo {

// Keys of rows that later areas refer to.
struct WrittenKeys
{
    std::map<std::pair<int, int>, int> clsSesMat; // (iClsSesId, iMatId) -> iClsSesMatId
    std::map<std::pair<int, int>, int> clsMatCmp; // (iClsSesMatId, iCmpScaId) -> iClsMatCmpId
    int clsSesMatId(int clsSesId, int matId) const;
    int clsMatCmpId(int clsSesId, int matId, int cmpScaId) const;
};

// Registry, structure, subjects, scales and every lookup: the same at any scale.
void writeLookups(QSqlDatabase &db);
// Teachers, pupils and their records, classes with their plans, sessions and subjects.
void writeSchool(QSqlDatabase &db, const School &school, WrittenKeys &keys);
// Votes, proposals, taxonomies, absences, aids, notes, judgments, competences.
void writeEvaluation(QSqlDatabase &db, const School &school, const WrittenKeys &keys);
// Credits, debts, make-up records, exchange marks, exam lists and candidates.
void writeOutcomes(QSqlDatabase &db, const School &school, const WrittenKeys &keys);

} // namespace demo
