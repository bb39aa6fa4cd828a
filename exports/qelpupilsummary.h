#pragma once

// The summary values of one school year and session written into each pupil's situation row
// (TSit_Situazioni), where the suite's pupils-records program reads them: the vote average,
// the conduct vote, the absence hours, the Italian, mathematics and English votes, and whether
// every counted vote is at least 8.
//
//   PupilSummaryRequest request{iAnsId, iAnsSesDwgId, iDwgId};   // every value, by default
//   request.wanted[psVotoCond] = false;                          // its columns stay as they are
//   PupilSummaryExport().run(request, {onPass, onStep});
//
// Each value makes a pass over the pupils, in the order of TPupilSummaryValue (the average and
// the conduct vote share the first), in one transaction on the shared connection, so that the
// averages prepare their statements once. A statement the database refuses ends the export
// with the database's text; the pupils written before it keep their new values, as they would
// had every update committed by itself. Throws EVxException.

#include "platform/enumvalues.h"

#include <QString>
#include <QVariant>

#include <array>
#include <functional>

enum TPupilSummaryValue {
    psMediaVot,
    psVotoCond,
    psAssenze,
    psVotoIta,
    psVotoMat,
    psVotoIngl,
    psVotiMagg8,
    psValueCount
};

// The check box of each value: its name and its caption, which the wait window repeats.
struct PupilSummaryBox
{
    const char *name;
    const char *caption;
};
const std::array<PupilSummaryBox, psValueCount> &pupilSummaryBoxes();

struct PupilSummaryRequest
{
    int iAnsId = 0;       // the school year whose pupils are written
    int iAnsSesDwgId = 0; // the session whose votes are read
    int iDwgId = 0;       // the institute whose classes are read
    std::array<bool, psValueCount> wanted{true, true, true, true, true, true, true};
};

struct PupilSummaryProgress
{
    // A pass begins: "Esportazione: " and the caption of its value, over count pupils.
    std::function<void(const QString &operation, int count)> pass;
    // One pupil of the pass is written.
    std::function<void()> step;
};

class PupilSummaryExport
{
public:
    // The school years, as "2008/2009", by their key.
    TVxEnumItems schoolYears() const;
    void run(const PupilSummaryRequest &request, const PupilSummaryProgress &progress) const;
};

// The smallest integer not below the value (6.2 and 6.5 give 7, 7.0 gives 7); null stays null.
QVariant RoundUpToInt(const QVariant &value);

// The average as the pupils program reads it (the mask "##.##"): two decimals at most, rounded
// as grade entry shows the average, no trailing zeros, the program's decimal separator, and no
// zero before it (7.256 is "7,26" in an Italian locale, 7 is "7", 0.5 is ",5").
QString FormatMediaVoti(double average);
