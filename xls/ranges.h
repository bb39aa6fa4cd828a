#pragma once

#include "xls/records.h"

#include <memory>
#include <vector>

// Sheet content held as lists of row ranges: merged cells, conditional formats and manual
// horizontal page breaks.
namespace xls {

struct TSheetShiftInfo;

struct TRangeValues
{
    int FirstRow = 0, LastRow = 0, FirstCol = 0, LastCol = 0;
};

class TRangeEntry
{
public:
    virtual ~TRangeEntry() = default;
    std::vector<TRangeValues> Ranges;
    virtual std::unique_ptr<TRangeEntry> copy() const = 0;
    virtual void SaveToStream(ByteWriter &out) const = 0;
    // Rows inserted (delta > 0) at pos: ranges at or below pos move, a range that straddles
    // pos grows.
    virtual void ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info);
    // Inserts n copies of rows first..last before dest, copying the ranges of the block.
    virtual void InsertAndCopyRows(int first, int last, int dest, int n,
                                   const TSheetShiftInfo &info) = 0;
    virtual void DeleteRows(int row, int count, const TSheetShiftInfo &info) = 0;
};

class TMergedCells : public TRangeEntry
{
public:
    void LoadFromRecord(const TBaseRecord &record);
    std::unique_ptr<TRangeEntry> copy() const override;
    void SaveToStream(ByteWriter &out) const override;
    void InsertAndCopyRows(int first, int last, int dest, int n,
                           const TSheetShiftInfo &info) override;
    void DeleteRows(int row, int count, const TSheetShiftInfo &info) override;
};

class TCondFmt : public TRangeEntry
{
public:
    void LoadFromRecord(const TBaseRecord &record);
    std::unique_ptr<TRangeEntry> copy() const override;
    void SaveToStream(ByteWriter &out) const override;
    void ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info) override;
    void InsertAndCopyRows(int first, int last, int dest, int n,
                           const TSheetShiftInfo &info) override;
    void DeleteRows(int row, int count, const TSheetShiftInfo &info) override;

    int Options = 0;
    TRangeValues Bounds;
    std::vector<RecordPtr> Rules; // the CF records, written after every CONDFMT piece
};

class TRangeList
{
public:
    std::vector<std::unique_ptr<TRangeEntry>> Items;
    void SaveToStream(ByteWriter &out) const;
    std::unique_ptr<TRangeList> clone() const;
    void InsertAndCopyRows(int first, int last, int dest, int n, const TSheetShiftInfo &info);
    void DeleteRows(int row, int count, const TSheetShiftInfo &info);
    // The merged area holding the cell, if any.
    const TRangeValues *mergedAreaOf(int row, int col) const;
};

struct TPageBreak
{
    int Row = 0, FirstCol = 0, LastCol = 0;
};

class TPageBreakList
{
public:
    std::vector<TPageBreak> Items; // sorted by row
    void LoadFromRecord(const TBaseRecord &record);
    // "Too many manual Page breaks for this sheet" beyond 1025; a row already broken adds
    // nothing.
    void AddPageBreak(int row);
    void InsertRows(int dest, int count);
    void DeleteRows(int row, int count);
    void SaveToStream(ByteWriter &out) const;
};

} // namespace xls
