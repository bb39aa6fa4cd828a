#include "xls/formula.h"

#include "xls/xlsmessages.h"

#include <QtEndian>

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
    case 0x1C: case 0x1D: return need(2);
    case 0x1E: return need(3);
    case 0x1F: return need(9);
    case 0x02: return need(5);
    default: break;
    }
    if (id >= 0x20 && id <= 0x7F) {
        switch (id & 0x1F) {
        case 0x00: return need(8);  // array constant
        case 0x01: return need(3);  // function, fixed arguments
        case 0x02: return need(4);  // function, variable arguments
        case 0x03: return need(5);  // name
        case 0x04: case 0x0A: case 0x0C: return need(5);
        case 0x05: case 0x0B: case 0x0D: return need(9);
        case 0x19: return need(7);  // external name
        case 0x1A: case 0x1C: return need(7);
        case 0x1B: case 0x1D: return need(11);
        default: break;
        }
    }
    throw ETokenException(id);
}

void OffsetRelativeReferences(QByteArray &data, int start, int end, int row, int col)
{
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

TFormulaRecord::TFormulaRecord(quint16 id, QByteArray data)
    : TCellRecord(id, std::move(data), 22)
{
    if (22 + cce() > DataSize())
        raiseXls(ErrorReadingExcelRecords);
    if (getWord(12) == 0xFFFF) {
        switch (getByte(6)) {
        case 0: Value = QString(); break;
        case 1: Value = getByte(8) != 0; break;
        default: break;
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
