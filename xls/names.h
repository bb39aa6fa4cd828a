#pragma once

#include "xls/records.h"

#include <QString>

// Defined names (NAME records): the name, its sheet and its formula, which follows rows and
// sheets like every formula.
namespace xls {

struct TSheetShiftInfo;

class TNameRecord : public TRecordOf<TNameRecord>
{
public:
    TNameRecord(quint16 id, QByteArray data);

    QString name() const;
    // The 0-based sheet of a local name; -1 for a workbook-wide name.
    int sheet() const { return int(getWord(8)) - 1; }
    int formulaStart() const;
    int formulaEnd() const { return formulaStart() + getWord(4); }

    void ArrangeInsertRows(int row, int count, const TSheetShiftInfo &info);
    // A local name of a sheet at or after position moves with the inserted sheets; the check
    // raises, before anything changes, when its sheet would be beyond the last one.
    void CheckInsertSheets(int position, int count) const;
    void ArrangeInsertSheets(int position, int count);
    // A local name copied with its sheet: references to the copied sheet follow the copy.
    void ArrangeCopySheet(int newSheet, const TSheetShiftInfo &info);

    // The area of a name whose formula starts with a 3-D area: external-sheet index and
    // bounds (0-based); false otherwise.
    bool area(int &ref, int &firstRow, int &lastRow, int &firstCol, int &lastCol) const;
};

} // namespace xls
