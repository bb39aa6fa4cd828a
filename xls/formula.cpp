#include "xls/formula.h"

#include "xls/xlsmessages.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace xls {

namespace {

quint16 wordAt(const QByteArray &d, int pos)
{
    return qFromLittleEndian<quint16>(d.constData() + pos);
}

void setWordAt(QByteArray &d, int pos, quint16 v)
{
    qToLittleEndian<quint16>(v, d.data() + pos);
}

// The walkers trust their span only after this: every token is then checked against it.
void checkSpan(const QByteArray &data, int start, int end)
{
    if (start < 0 || end < start || end > data.size())
        throw ETokenException(0);
}

} // namespace

int tokenSize(const QByteArray &data, int pos, int end)
{
    if (pos < 0 || pos >= end || end > data.size())
        throw ETokenException(0);
    const int id = quint8(data.at(pos));
    auto need = [&](int size) {
        if (pos + size > end)
            throw ETokenException(id);
        return size;
    };
    if (id >= 0x03 && id <= 0x16)
        return 1;
    switch (id) {
    case 0x17: {
        need(3);
        const int chars = quint8(data.at(pos + 1));
        const bool wide = quint8(data.at(pos + 2)) & 1;
        return need(3 + chars * (wide ? 2 : 1));
    }
    case 0x19: {
        need(4);
        const int opt = quint8(data.at(pos + 1));
        if (opt & 0x04)
            return need(4 + 2 * (wordAt(data, pos + 2) + 1));
        return 4;
    }
    case 0x1C:
    case 0x1D:
        return need(2);
    case 0x1E:
        return need(3);
    case 0x1F:
        return need(9);
    case 0x02:
        return need(5);
    default:
        break;
    }
    if (id >= 0x20 && id <= 0x7F) {
        switch (id & 0x1F) {
        case 0x00:
            return need(8); // array constant
        case 0x01:
            return need(3); // function, fixed arguments
        case 0x02:
            return need(4); // function, variable arguments
        case 0x03:
            return need(5); // name
        case 0x04:
        case 0x0A:
        case 0x0C:
            return need(5);
        case 0x05:
        case 0x0B:
        case 0x0D:
            return need(9);
        case 0x19:
            return need(7); // external name
        case 0x1A:
        case 0x1C:
            return need(7);
        case 0x1B:
        case 0x1D:
            return need(11);
        default:
            break;
        }
    }
    throw ETokenException(id);
}

void OffsetRelativeReferences(QByteArray &data, int start, int end, int row, int col)
{
    checkSpan(data, start, end);
    // A shared formula's relative column is an 8-bit offset: it wraps within 0..255 instead
    // of reaching column 256 by a plain 16-bit add.
    auto moveRowCol = [&](int rowPos, int colPos) {
        const quint16 c = wordAt(data, colPos);
        if (c & 0x8000)
            setWordAt(data, rowPos, quint16(wordAt(data, rowPos) + row));
        if (c & 0x4000)
            setWordAt(data, colPos, quint16((c & 0xFF00) | ((c + col) & 0x00FF)));
    };
    int pos = start;
    while (pos < end) {
        const int size = tokenSize(data, pos, end);
        const int id = quint8(data.at(pos));
        if (id >= 0x20 && id <= 0x7F) {
            const int base = id & 0x1F;
            if (base == 0x0C) {
                moveRowCol(pos + 1, pos + 3);
                data[pos] = char(id - 8);
            } else if (base == 0x0D) {
                moveRowCol(pos + 1, pos + 5);
                moveRowCol(pos + 3, pos + 7);
                data[pos] = char(id - 8);
            }
        }
        pos += size;
    }
}

namespace {

int baseOf(int id)
{
    return (id & 0x1F) | 0x20;
}

// The #REF! form of a reference token keeps its size and its data.
void makeRefError(QByteArray &data, int pos)
{
    const int id = quint8(data.at(pos));
    switch (baseOf(id)) {
    case 0x24:
    case 0x25:
        data[pos] = char(id + 6);
        return;
    case 0x3A:
    case 0x3B:
        data[pos] = char(id + 2);
        return;
    case 0x2A:
    case 0x2B:
    case 0x3C:
    case 0x3D:
        return;
    default:
        throw ETokenException(id);
    }
}

// Shifts one row word; false when the token became an error.
bool shiftRowWord(QByteArray &data, int tokenPos, int rowPos, int pos, int delta)
{
    int r = wordAt(data, rowPos);
    if (delta < 0 && pos >= 0 && r >= pos && r < pos - delta) {
        makeRefError(data, tokenPos);
        return false;
    }
    r += delta;
    if (r > 65535)
        r = 65535;
    if (r < 0) {
        makeRefError(data, tokenPos);
        return false;
    }
    setWordAt(data, rowPos, quint16(r));
    return true;
}

} // namespace

int ArrangeTokensInsertRows(QByteArray &data, int start, int end, int row, int count,
                            int copyOffset, const TSheetShiftInfo &info, bool relativeOnly)
{
    checkSpan(data, start, end);
    int highest = -1;
    int pos = start;
    while (pos < end) {
        const int id = quint8(data.at(pos));
        if (id == 0x01) {
            // A pointer to an array formula: its anchor row is an absolute row of this sheet.
            if (pos + 5 > end)
                throw ETokenException(id);
            // A copy keeps pointing at the anchor (the owning formula moves it with its
            // ARRAY record).
            int r = wordAt(data, pos + 1);
            if (count != 0 && info.InsertedSheet == info.FormulaSheet && r >= row)
                r += count;
            if (r < 0 || r > 65535)
                throw ETokenException(id);
            setWordAt(data, pos + 1, quint16(r));
            highest = std::max(highest, r);
            pos += 5;
            continue;
        }
        const int size = tokenSize(data, pos, end);
        const int base = id >= 0x20 ? baseOf(id) : id;
        if (id == 0x02) {
            if (info.InsertedSheet == info.FormulaSheet) {
                if (count != 0 && wordAt(data, pos + 1) >= row)
                    shiftRowWord(data, pos, pos + 1, row, count);
                if (copyOffset != 0)
                    shiftRowWord(data, pos, pos + 1, -1, copyOffset);
            }
            highest = std::max<int>(highest, wordAt(data, pos + 1));
        } else if (base == 0x24 || base == 0x2A || base == 0x3A || base == 0x3C || base == 0x25 ||
                   base == 0x2B || base == 0x3B || base == 0x3D) {
            const bool threeD = base >= 0x3A;
            const bool area = base == 0x25 || base == 0x2B || base == 0x3B || base == 0x3D;
            const int rowPos = pos + (threeD ? 3 : 1);
            int sheet = info.FormulaSheet;
            if (threeD && info.GetSheetOfRef)
                sheet = info.GetSheetOfRef(wordAt(data, pos + 1));
            const int rows = area ? 2 : 1;
            bool ok = true;
            for (int k = 0; k < rows && ok; ++k) {
                const int rp = rowPos + 2 * k;
                if (count != 0 && sheet >= 0 && sheet == info.InsertedSheet &&
                    wordAt(data, rp) >= row)
                    ok = shiftRowWord(data, pos, rp, row, count);
            }
            for (int k = 0; k < rows && ok && copyOffset != 0; ++k) {
                const int rp = rowPos + 2 * k;
                const int colWord = wordAt(data, rowPos + 2 * rows + 2 * k);
                if (!relativeOnly || (colWord & 0x8000))
                    ok = shiftRowWord(data, pos, rp, -1, copyOffset);
            }
            for (int k = 0; k < rows; ++k)
                highest = std::max<int>(highest, wordAt(data, rowPos + 2 * k));
        }
        pos += size;
    }
    return highest;
}

void ArrangeTokensInsertSheets(QByteArray &data, int start, int end, const TSheetShiftInfo &info)
{
    checkSpan(data, start, end);
    int pos = start;
    while (pos < end) {
        const int id = quint8(data.at(pos));
        if (id == 0x01) {
            if (pos + 5 > end)
                throw ETokenException(id);
            pos += 5;
            continue;
        }
        const int size = tokenSize(data, pos, end);
        const int base = id >= 0x20 ? baseOf(id) : id;
        if ((base == 0x3A || base == 0x3B || base == 0x3C || base == 0x3D) && info.GetSheetOfRef &&
            info.GetRefOfSheet && info.GetSheetOfRef(wordAt(data, pos + 1)) == info.FormulaSheet)
            setWordAt(data, pos + 1, quint16(info.GetRefOfSheet(info.InsertedSheet)));
        pos += size;
    }
}

TFormulaRecord::TFormulaRecord(quint16 id, QByteArray data) : TCellRecord(id, std::move(data), 22)
{
    if (22 + cce() > DataSize())
        raiseXls(ErrorReadingExcelRecords);
    if (getWord(12) == 0xFFFF) {
        switch (getByte(6)) {
        case 0:
            Value = QString();
            break;
        case 1:
            Value = getByte(8) != 0;
            break;
        default:
            break;
        }
    } else {
        double d;
        const quint64 bits = qFromLittleEndian<quint64>(Data.constData() + 6);
        std::memcpy(&d, &bits, 8);
        Value = d;
    }
    // The stored result is dropped: the spreadsheet program recalculates on opening.
    static const char noResult[8] = {2, 0, 0, 0, 0, 0, char(0xFF), char(0xFF)};
    std::memcpy(Data.data() + 6, noResult, 8);
    setDWord(16, 0);
    setWord(14, getWord(14) | 0x0002);
}

RecordPtr TFormulaRecord::CopyTo() const
{
    auto copy = std::make_unique<TFormulaRecord>(Id, Data);
    copy->Value = Value;
    copy->m_highestRow = m_highestRow;
    for (const auto &a : Attached)
        copy->Attached.push_back(a->CopyTo());
    return finishCopy(std::move(copy));
}

void TFormulaRecord::SaveToStream(ByteWriter &out) const
{
    TBaseRecord::SaveToStream(out);
    for (const auto &a : Attached)
        a->SaveToStream(out);
}

namespace {

// The row fields of a TABLE (0, 2, 8, 12) or ARRAY (0, 2) record.
std::vector<int> attachedRowFields(const TBaseRecord &r)
{
    return r.Id == RID_TABLE ? std::vector<int>{0, 2, 8, 12} : std::vector<int>{0, 2};
}

// Moves the row fields of an attached record; 65535 marks an unused input cell and stays.
void moveAttachedRows(TBaseRecord &r, int pos, int delta, bool onlyFrom)
{
    for (int off : attachedRowFields(r)) {
        const int v = r.getWord(off);
        if (v == 65535 || (onlyFrom && v < pos))
            continue;
        r.incWord(off, delta, 65535);
    }
}

// The highest row an attached record names, an unused input cell (65535) left out.
int highestAttachedRow(const std::vector<RecordPtr> &attached)
{
    int highest = -1;
    for (const auto &a : attached)
        for (int off : attachedRowFields(*a))
            if (a->getWord(off) != 65535)
                highest = std::max<int>(highest, a->getWord(off));
    return highest;
}

} // namespace

void TFormulaRecord::ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info)
{
    // Rows that move below everything the formula holds change nothing in it: a sheet of
    // thousands of copied rows does not walk every formula above the copies again.
    if (m_highestRow >= 0 && m_highestRow < pos)
        return;
    const int oldRow = row(), col = column();
    m_highestRow = -1;
    TBaseRowColRecord::ArrangeInsert(pos, delta, info);
    int highest = -1;
    try {
        highest = ArrangeTokensInsertRows(Data, 22, 22 + cce(), pos, delta, 0, info, true);
    } catch (const ETokenException &e) {
        raiseXls(FormulaNotSupported, {oldRow + 1, col + 1, e.tokenId()});
    }
    if (info.InsertedSheet == info.FormulaSheet)
        for (auto &a : Attached)
            moveAttachedRows(*a, pos, delta, true);
    m_highestRow = std::max({highest, row(), highestAttachedRow(Attached)});
}

void TFormulaRecord::CheckAttachedRows(int pos, int delta, int minOffset, int maxOffset) const
{
    for (const auto &a : Attached)
        for (int off : attachedRowFields(*a)) {
            int v = a->getWord(off);
            if (v == 65535)
                continue;
            if (v >= pos)
                v += delta;
            if (v < 0 || v > 65535)
                raiseXls(TooManyEntries, {v, 65535});
            if (v == 65535)
                continue; // from now on it reads as an unused input cell
            for (int moved : {v + minOffset, v + maxOffset})
                if (moved < 0 || moved > 65535)
                    raiseXls(TooManyEntries, {moved, 65535});
        }
}

void TFormulaRecord::SetRow(int newRow)
{
    const int offset = newRow - row();
    if (offset != 0) {
        m_highestRow = -1;
        int highest = -1;
        try {
            highest = ArrangeTokensInsertRows(Data, 22, 22 + cce(), -1, 0, offset,
                                              TSheetShiftInfo(), true);
        } catch (const ETokenException &e) {
            raiseXls(FormulaNotSupported, {row() + 1, column() + 1, e.tokenId()});
        }
        for (auto &a : Attached) {
            moveAttachedRows(*a, 0, offset, false);
            if (a->Id == RID_ARRAY && cce() >= 5 && getByte(22) == 0x01) {
                setWord(23, quint16(newRow)); // the copied anchor points at itself
                highest = std::max(highest, newRow);
            }
        }
        m_highestRow = std::max({highest, newRow, highestAttachedRow(Attached)});
    }
    TCellRecord::SetRow(newRow);
}

bool TFormulaRecord::IsExp(quint32 &key) const
{
    if (DataSize() != 27 || cce() != 5 || getByte(22) != 0x01)
        return false;
    key = quint32(getWord(23)) | (quint32(getWord(25)) << 16);
    return true;
}

void TFormulaRecord::MixShared(const QByteArray &tokens)
{
    QByteArray data = Data.left(20);
    data.append(char(tokens.size() & 0xFF));
    data.append(char((tokens.size() >> 8) & 0xFF));
    data.append(tokens);
    data.append(Data.mid(22 + cce())); // extra data of the formula, if any
    Data = data;
    m_highestRow = -1;
    // The "shared" flag belongs to a token array that points at a shared formula; left on,
    // a reader would take this cell for part of one whose record is no longer written.
    setWord(14, getWord(14) & ~0x0008);
    OffsetRelativeReferences(Data, 22, 22 + int(tokens.size()), row(), column());
}

QByteArray TShrFmlaRecord::tokens() const
{
    const int n = getWord(8);
    if (10 + n > DataSize())
        raiseXls(ErrorReadingExcelRecords);
    return Data.mid(10, n);
}

} // namespace xls
