#include "xls/ranges.h"

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
