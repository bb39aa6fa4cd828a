#pragma once

// Make-up records from taxonomy grades. Teachers may enter a pupil's make-up type, or its
// outcome, as the grade of a taxonomy component of weight 999 (types) or 888 (outcomes); the
// grade's level value is read as the weight of a type or an outcome.
//
//   MakeupConversion conversion(qqoVxGlobConn());
//   conversion.convertTypes(iAnsSesDwgId, iAnsFreDwgId, date, progress);    // replaces records
//   conversion.convertOutcomes(iAnsSesDwgId, iAnsFreDwgId, date, progress); // sets outcomes
//
// Each conversion runs in one transaction: when a statement fails, everything the conversion
// did is rolled back (the records it deleted are there again) and EVxException carries the
// driver's text. The type or outcome of a weight is the first by key.

#include "platform/enumvalues.h"

#include <QDate>
#include <QSqlDatabase>

#include <functional>

struct MakeupConversionProgress
{
    std::function<void(int count)> start; // the number of source rows, before the first
    std::function<void()> step;           // after each source row, whether it matched or not
};

struct MakeupConversionResult
{
    int sourceRows = 0; // taxonomy grades of the session on the component
    int removed = 0;    // records of the phase deleted before the types were written
    int written = 0;    // records inserted (types) or updated (outcomes)
};

class MakeupConversion
{
public:
    // The component weights that mark a taxonomy grade as a make-up type or outcome.
    static constexpr int kTypeComponentWeight = 999;
    static constexpr int kOutcomeComponentWeight = 888;

    explicit MakeupConversion(const QSqlDatabase &db);

    // Every school year, by its first calendar year, as "2007/2008".
    TVxEnumItems schoolYears() const;

    // Types: with at least one source row, every record of the phase row is deleted, in every
    // class and whoever made it, then each source row whose value is the weight of a type
    // makes a record of that type for its pupil and subject, assigned on dRecAttr (NULL when
    // null). Without source rows nothing changes.
    MakeupConversionResult convertTypes(int iAnsSesDwgId, int iAnsFreDwgId, const QDate &dRecAttr,
                                        const MakeupConversionProgress &progress = {}) const;
    // The records of the phase row that hold an outcome the outcome conversion would replace:
    // those of a source row's pupil and subject whose value is the weight of an outcome.
    int outcomesReplaced(int iAnsSesDwgId, int iAnsFreDwgId) const;
    // Outcomes: the records of each source row's pupil and subject in the phase row take the
    // outcome of the row's value, verified on dRecVer (NULL when null); a value of no outcome
    // leaves them as they are. No record is ever made.
    MakeupConversionResult convertOutcomes(int iAnsSesDwgId, int iAnsFreDwgId, const QDate &dRecVer,
                                           const MakeupConversionProgress &progress = {}) const;

private:
    QSqlDatabase m_db;
};
