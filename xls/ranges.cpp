#include "xls/ranges.h"

#include "xls/formula.h"
#include "xls/xlsmessages.h"

#include <algorithm>

namespace xls {

namespace {

TRangeValues rangeAt(const TBaseRecord &r, int off)
{
    TRangeValues v;
    v.FirstRow = r.getWord(off);
    v.LastRow = r.getWord(off + 2);
    v.FirstCol = r.getWord(off + 4);
    v.LastCol = r.getWord(off + 6);
    return v;
}

void putRange(ByteWriter &out, const TRangeValues &v)
{
    out.u16(quint16(v.FirstRow));
    out.u16(quint16(v.LastRow));
    out.u16(quint16(v.FirstCol));
    out.u16(quint16(v.LastCol));
}

} // namespace

// --- moving rows --------------------------------------------------------------------------

namespace {

// A moved row stays within the sheet.
int movedRow(int row, int delta)
{
    const int v = row + delta;
    if (v < 0 || v > 65535)
        raiseXls(TooManyEntries, {v, 65535});
    return v;
}

bool inside(const TRangeValues &v, int first, int last)
{
    return v.FirstRow >= first && v.LastRow <= last;
}

} // namespace

void TRangeEntry::ArrangeInsert(int pos, int delta, const TSheetShiftInfo &)
{
    for (auto it = Ranges.rbegin(); it != Ranges.rend(); ++it) {
        if (it->FirstRow >= pos)
            it->FirstRow = std::min(it->FirstRow + delta, 65535);
        if (it->LastRow >= pos)
            it->LastRow = std::min(it->LastRow + delta, 65535);
    }
}

void TMergedCells::InsertAndCopyRows(int first, int last, int dest, int n,
                                     const TSheetShiftInfo &info)
{
    const int height = last - first + 1;
    const int d = height * n;
    ArrangeInsert(dest, d, info);
    const int blockFirst = dest > first ? first : first + d;
    const int blockLast = dest > first ? last : last + d;
    const size_t count = Ranges.size();
    for (int k = 0; k < n; ++k)
        for (size_t i = 0; i < count; ++i) {
            const TRangeValues v = Ranges[i];
            if (!inside(v, blockFirst, blockLast))
                continue;
            const int shift = dest + k * height - blockFirst;
            TRangeValues c = v;
            c.FirstRow = movedRow(v.FirstRow, shift);
            c.LastRow = movedRow(v.LastRow, shift);
            Ranges.push_back(c);
        }
}

void TMergedCells::DeleteRows(int row, int count, const TSheetShiftInfo &)
{
    const int end = row + count - 1;
    std::vector<TRangeValues> kept;
    for (const TRangeValues &v : Ranges) {
        if (inside(v, row, end))
            continue;
        // Left with one row of one column it would be a single cell.
        if (v.FirstRow >= row && v.LastRow == row + count && v.FirstCol == v.LastCol)
            continue;
        kept.push_back(v);
    }
    for (TRangeValues &v : kept) {
        if (v.FirstRow >= row)
            v.FirstRow = std::max(v.FirstRow - count, row);
        if (v.LastRow >= row)
            v.LastRow = std::max(v.LastRow - count, v.FirstRow);
    }
    Ranges = kept;
}

void TCondFmt::ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info)
{
    if (pos <= Bounds.LastRow) {
        if (delta >= 0) {
            TRangeEntry::ArrangeInsert(pos, delta, info);
        } else {
            for (TRangeValues &v : Ranges) {
                if (v.FirstRow >= pos)
                    v.FirstRow = std::max(v.FirstRow + delta, pos);
                if (v.LastRow >= pos)
                    v.LastRow = std::max(v.LastRow + delta, v.FirstRow);
            }
        }
        if (pos <= Bounds.FirstRow)
            Bounds.FirstRow = std::max(Bounds.FirstRow + delta, pos);
        Bounds.LastRow = std::min(std::max(Bounds.LastRow + delta, Bounds.FirstRow), 65535);
    }
    for (auto &rule : Rules) {
        // A CF rule ends with its two formulas, of the lengths given at offsets 2 and 4.
        const int cce1 = rule->getWord(2), cce2 = rule->getWord(4);
        const int start = rule->DataSize() - cce1 - cce2;
        if (start < 6)
            raiseXls(InvalidCondFmtRecord);
        try {
            ArrangeTokensInsertRows(rule->Data, start, start + cce1, pos, delta, 0, info, true);
            ArrangeTokensInsertRows(rule->Data, start + cce1, start + cce1 + cce2, pos, delta, 0,
                                    info, true);
        } catch (const ETokenException &e) {
            raiseXls(BadConditionalFormat, {e.tokenId()});
        }
    }
}

void TCondFmt::InsertAndCopyRows(int first, int last, int dest, int n, const TSheetShiftInfo &info)
{
    const int height = last - first + 1;
    const int d = height * n;
    const bool touches = last >= Bounds.FirstRow && first <= Bounds.LastRow;
    ArrangeInsert(dest, d, info);
    if (!touches)
        return;
    const bool below = dest > first;
    const int blockFirst = below ? first : first + d;
    const int blockLast = below ? last : last + d;
    const size_t count = Ranges.size();
    std::vector<TRangeValues> added;
    for (size_t i = 0; i < count; ++i) {
        TRangeValues v = Ranges[i]; // a copy: the list grows below
        if (v.LastRow < blockFirst || v.FirstRow > blockLast)
            continue;
        if (below && v.LastRow >= dest)
            continue; // stretched by the insertion already
        if (!below && v.FirstRow < dest + d)
            continue;
        if (below && v.LastRow == dest - 1 && v.FirstRow <= blockFirst) {
            v.LastRow = movedRow(v.LastRow, d);
            Ranges[i] = v;
            added.push_back(v);
            continue;
        }
        if (!below && v.FirstRow == dest + d && v.LastRow <= blockLast) {
            v.FirstRow = movedRow(v.FirstRow, -d);
            Ranges[i] = v;
            added.push_back(v);
            continue;
        }
        if (v.FirstRow <= blockFirst && v.LastRow >= blockLast) {
            TRangeValues c = v;
            c.FirstRow = dest;
            c.LastRow = movedRow(dest, d - 1);
            added.push_back(c);
            Ranges.push_back(c);
            continue;
        }
        for (int k = 0; k < n; ++k) {
            const int shift = dest + k * height - blockFirst;
            TRangeValues c = v;
            c.FirstRow = movedRow(std::max(v.FirstRow, blockFirst), shift);
            c.LastRow = movedRow(std::min(v.LastRow, blockLast), shift);
            added.push_back(c);
            Ranges.push_back(c);
        }
    }
    for (const TRangeValues &v : added) {
        Bounds.FirstRow = std::min(Bounds.FirstRow, v.FirstRow);
        Bounds.LastRow = std::max(Bounds.LastRow, v.LastRow);
    }
}

void TCondFmt::DeleteRows(int row, int count, const TSheetShiftInfo &info)
{
    const int end = row + count - 1;
    std::vector<TRangeValues> kept;
    for (const TRangeValues &v : Ranges)
        if (!inside(v, row, end))
            kept.push_back(v);
    Ranges = kept;
    ArrangeInsert(row, -count, info);
}

void TRangeList::InsertAndCopyRows(int first, int last, int dest, int n,
                                   const TSheetShiftInfo &info)
{
    for (auto &item : Items)
        item->InsertAndCopyRows(first, last, dest, n, info);
}

void TRangeList::DeleteRows(int row, int count, const TSheetShiftInfo &info)
{
    for (auto &item : Items)
        item->DeleteRows(row, count, info);
}

void TPageBreakList::InsertRows(int dest, int count)
{
    for (TPageBreak &b : Items)
        if (b.Row >= dest)
            b.Row = movedRow(b.Row, count);
}

void TPageBreakList::DeleteRows(int row, int count)
{
    std::vector<TPageBreak> kept;
    for (TPageBreak b : Items) {
        if (b.Row >= row && b.Row < row + count)
            continue;
        if (b.Row >= row + count)
            b.Row -= count;
        kept.push_back(b);
    }
    Items = kept;
}

void TMergedCells::LoadFromRecord(const TBaseRecord &record)
{
    Ranges.clear();
    const int count = record.getWord(0);
    if (2 + 8 * count > record.DataSize())
        raiseXls(ErrorReadingExcelRecords);
    for (int i = 0; i < count; ++i)
        Ranges.push_back(rangeAt(record, 2 + 8 * i));
}

std::unique_ptr<TRangeEntry> TMergedCells::copy() const
{
    auto c = std::make_unique<TMergedCells>();
    c->Ranges = Ranges;
    return c;
}

void TMergedCells::SaveToStream(ByteWriter &out) const
{
    const size_t perRecord = (8221 - 2) / 8;
    for (size_t i = 0; i < Ranges.size(); i += perRecord) {
        const size_t n = std::min(perRecord, Ranges.size() - i);
        out.header(RID_MERGEDCELLS, 2 + 8 * qsizetype(n));
        out.u16(quint16(n));
        for (size_t k = i; k < i + n; ++k)
            putRange(out, Ranges[k]);
    }
}

void TCondFmt::LoadFromRecord(const TBaseRecord &record)
{
    if (record.DataSize() < 14)
        raiseXls(InvalidCondFmtRecord);
    Options = record.getWord(2);
    Bounds = rangeAt(record, 4);
    const int count = record.getWord(12);
    if (14 + 8 * count > record.DataSize())
        raiseXls(InvalidCondFmtRecord);
    for (int i = 0; i < count; ++i)
        Ranges.push_back(rangeAt(record, 14 + 8 * i));
}

std::unique_ptr<TRangeEntry> TCondFmt::copy() const
{
    auto c = std::make_unique<TCondFmt>();
    c->Ranges = Ranges;
    c->Options = Options;
    c->Bounds = Bounds;
    for (const auto &r : Rules)
        c->Rules.push_back(r->CopyTo());
    return c;
}

void TCondFmt::SaveToStream(ByteWriter &out) const
{
    const size_t perRecord = (8221 - 14) / 8;
    for (size_t i = 0; i < Ranges.size(); i += perRecord) {
        const size_t n = std::min(perRecord, Ranges.size() - i);
        out.header(RID_CONDFMT, 14 + 8 * qsizetype(n));
        out.u16(quint16(Rules.size()));
        out.u16(quint16(Options));
        putRange(out, Bounds);
        out.u16(quint16(n));
        for (size_t k = i; k < i + n; ++k)
            putRange(out, Ranges[k]);
        for (const auto &rule : Rules)
            rule->SaveToStream(out);
    }
}

void TRangeList::SaveToStream(ByteWriter &out) const
{
    for (const auto &item : Items)
        item->SaveToStream(out);
}

std::unique_ptr<TRangeList> TRangeList::clone() const
{
    auto c = std::make_unique<TRangeList>();
    for (const auto &item : Items)
        c->Items.push_back(item->copy());
    return c;
}

const TRangeValues *TRangeList::mergedAreaOf(int row, int col) const
{
    for (const auto &item : Items) {
        if (!dynamic_cast<const TMergedCells *>(item.get()))
            continue;
        for (const TRangeValues &v : item->Ranges)
            if (row >= v.FirstRow && row <= v.LastRow && col >= v.FirstCol && col <= v.LastCol)
                return &v;
    }
    return nullptr;
}

void TPageBreakList::LoadFromRecord(const TBaseRecord &record)
{
    const int count = record.getWord(0);
    if (2 + 6 * count > record.DataSize())
        raiseXls(ErrorReadingExcelRecords);
    for (int i = 0; i < count; ++i) {
        TPageBreak b;
        b.Row = record.getWord(2 + 6 * i);
        b.FirstCol = record.getWord(4 + 6 * i);
        b.LastCol = record.getWord(6 + 6 * i);
        auto it = std::lower_bound(Items.begin(), Items.end(), b.Row,
                                   [](const TPageBreak &p, int r) { return p.Row < r; });
        if (it != Items.end() && it->Row == b.Row)
            continue;
        Items.insert(it, b);
    }
}

void TPageBreakList::AddPageBreak(int row)
{
    if (Items.size() > 1025)
        raiseXls(TooManyPageBreaks);
    auto it = std::lower_bound(Items.begin(), Items.end(), row,
                               [](const TPageBreak &p, int r) { return p.Row < r; });
    if (it != Items.end() && it->Row == row)
        return;
    Items.insert(it, TPageBreak{row, 0, 255});
}

void TPageBreakList::SaveToStream(ByteWriter &out) const
{
    if (Items.empty())
        return;
    out.header(RID_HPAGEBREAKS, qsizetype(Items.size()) * 6 + 2);
    out.u16(quint16(Items.size()));
    for (const TPageBreak &b : Items) {
        out.u16(quint16(b.Row));
        out.u16(quint16(b.FirstCol));
        out.u16(quint16(b.LastCol));
    }
}

} // namespace xls
