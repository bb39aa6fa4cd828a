#include "xls/cells.h"

#include "xls/formula.h"
#include "xls/xlsmessages.h"
#include "xls/xlsstrings.h"

#include <QDate>
#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace xls {

TBaseRowColRecord::TBaseRowColRecord(quint16 id, QByteArray data, int minimumSize)
    : TBaseRecord(id, std::move(data))
{
    if (Data.size() < std::max(4, minimumSize))
        raiseXls(InvalidRecordId, {int(id)});
}

void TBaseRowColRecord::ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info)
{
    if (info.InsertedSheet != info.FormulaSheet)
        return;
    if (row() >= pos)
        incWord(0, delta, 65535);
}

TCellRecord::TCellRecord(quint16 id, QByteArray data, int minimumSize)
    : TBaseRowColRecord(id, std::move(data), minimumSize)
{
}

RecordPtr TCellRecord::CopyTo() const
{
    return finishCopy(std::make_unique<TCellRecord>(Id, Data));
}

std::unique_ptr<TCellRecord> TCellRecord::copyCell() const
{
    RecordPtr copy = CopyTo();
    return std::unique_ptr<TCellRecord>(static_cast<TCellRecord *>(copy.release()));
}

// --- values -----------------------------------------------------------------------------

QVariant TNumberRecord::GetValue() const
{
    double d;
    const quint64 bits = qFromLittleEndian<quint64>(Data.constData() + 6);
    std::memcpy(&d, &bits, 8);
    return d;
}

void TNumberRecord::SetValue(const QVariant &v)
{
    const double d = v.toDouble();
    quint64 bits;
    std::memcpy(&bits, &d, 8);
    qToLittleEndian<quint64>(bits, Data.data() + 6);
}

bool EncodeRK(double v, quint32 &rk)
{
    for (int factor : {1, 100}) {
        const double d = v * factor;
        quint64 bits;
        std::memcpy(&bits, &d, 8);
        const quint32 low = quint32(bits);
        const quint32 high = quint32(bits >> 32);
        const quint32 flag = factor == 100 ? 1 : 0;
        if (low == 0 && (high & 3) == 0) {
            rk = high + flag;
            return true;
        }
        if (std::floor(d) == d && d >= -536870912.0 && d <= 536870911.0) {
            rk = quint32(qint32(d) * 4) + 2 + flag;
            return true;
        }
    }
    return false;
}

double DecodeRK(quint32 rk)
{
    double v;
    if (rk & 2) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 1) ? v / 100 : v;
}

QVariant TRKRecord::GetValue() const
{
    return DecodeRK(getDWord(6));
}

void TRKRecord::SetValue(const QVariant &v)
{
    quint32 rk = 0;
    if (!EncodeRK(v.toDouble(), rk))
        raiseXls(InvalidCellValue, {v.toString()});
    setDWord(6, rk);
}

QString errorCodeText(int code)
{
    switch (code) {
    case 0x07:
        return xlsMessageText(ErrDiv0);
    case 0x0F:
        return xlsMessageText(ErrValue);
    case 0x17:
        return xlsMessageText(ErrRef);
    case 0x1D:
        return xlsMessageText(ErrName);
    case 0x24:
        return xlsMessageText(ErrNum);
    case 0x2A:
        return xlsMessageText(ErrNA);
    default:
        return xlsMessageText(ErrNull);
    }
}

QVariant TBoolErrRecord::GetValue() const
{
    if (getByte(7) == 1)
        return errorCodeText(getByte(6));
    return getByte(6) != 0;
}

void TBoolErrRecord::SetValue(const QVariant &v)
{
    const int type = v.typeId();
    if (type == QMetaType::Bool) {
        setByte(6, v.toBool() ? 1 : 0);
        setByte(7, 0);
        return;
    }
    if (type == QMetaType::QString) {
        for (int code : {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A})
            if (errorCodeText(code) == v.toString()) {
                setByte(6, quint8(code));
                setByte(7, 1);
                return;
            }
        raiseXls(InvalidCellErrorCode, {v.toString()});
    }
    raiseXls(InvalidCellValue, {v.isNull() ? QString() : v.toString()});
}

// --- text cells ---------------------------------------------------------------------------

TLabelSSTRecord::~TLabelSSTRecord()
{
    if (Entry)
        Entry->Refs--;
}

RecordPtr TLabelSSTRecord::CopyTo() const
{
    auto copy = std::make_unique<TLabelSSTRecord>(Id, Data);
    copy->SST = SST;
    copy->Entry = Entry;
    if (Entry)
        Entry->Refs++;
    return finishCopy(std::move(copy));
}

void TLabelSSTRecord::LinkToSST(TSST *sst)
{
    SST = sst;
    const quint32 index = getDWord(6);
    if (index >= sst->FileOrder.size())
        raiseXls(ErrorReadingExcelRecords);
    Entry = sst->FileOrder[index];
    Entry->Refs++;
}

void TLabelSSTRecord::SaveToStream(ByteWriter &out) const
{
    const qsizetype start = out.pos();
    TBaseRecord::SaveToStream(out);
    if (Entry)
        qToLittleEndian<quint32>(quint32(Entry->Index), out.bytes.data() + start + 4 + 6);
}

QVariant TLabelSSTRecord::GetValue() const
{
    return Entry ? Entry->Value.Value() : QString();
}

namespace {
// The system's date form for dates written into text cells.
QString dateText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    const QDateTime dt = v.toDateTime();
    if (dt.time() == QTime(0, 0))
        return dt.date().toString(QStringLiteral("dd/MM/yyyy"));
    return dt.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
}
} // namespace

void TLabelSSTRecord::SetValue(const QVariant &v)
{
    Q_ASSERT(SST);
    const int type = v.typeId();
    const QString text =
        (type == QMetaType::QDate || type == QMetaType::QDateTime) ? dateText(v) : v.toString();
    TSSTEntry *old = Entry;
    Entry = SST->AddString(text);
    if (old)
        old->Refs--;
}

// --- rows ---------------------------------------------------------------------------------

TRowRecord::TRowRecord(quint16 id, QByteArray data) : TBaseRowColRecord(id, std::move(data), 16)
{
    setWord(8, 0);
}

std::unique_ptr<TRowRecord> TRowRecord::CreateNew(int row)
{
    auto r = std::make_unique<TRowRecord>(RID_ROW, QByteArray(16, '\0'));
    r->setWord(0, quint16(row));
    r->setWord(6, 255);
    return r;
}

RecordPtr TRowRecord::CopyTo() const
{
    return finishCopy(std::make_unique<TRowRecord>(Id, Data));
}

void TRowRecord::setCustomHeight(bool on)
{
    setWord(12, on ? (options() | 0x0040) : (options() & ~0x0040));
}

void TRowRecord::setXF(int xf)
{
    setWord(12, quint16(options() | 0x0080 | 0x0100));
    setWord(14, quint16((getWord(14) & 0xF000) | (xf & 0x0FFF)));
}

void TRowRecord::widenTo(int col)
{
    if (lastColPlus1() < col + 1)
        setWord(4, quint16(col + 1));
    if (firstCol() > col)
        setWord(2, quint16(col));
}

// --- columns ------------------------------------------------------------------------------

TColInfo *TColInfoList::find(int column)
{
    auto it = std::lower_bound(Items.begin(), Items.end(), column,
                               [](const TColInfo &c, int col) { return c.Column < col; });
    return (it != Items.end() && it->Column == column) ? &*it : nullptr;
}

const TColInfo *TColInfoList::find(int column) const
{
    return const_cast<TColInfoList *>(this)->find(column);
}

TColInfo &TColInfoList::ensure(int column, int defaultWidth)
{
    auto it = std::lower_bound(Items.begin(), Items.end(), column,
                               [](const TColInfo &c, int col) { return c.Column < col; });
    if (it != Items.end() && it->Column == column)
        return *it;
    TColInfo c;
    c.Column = column;
    c.Width = defaultWidth;
    return *Items.insert(it, c);
}

void TColInfoList::AddRecord(const TBaseRecord &record)
{
    const int first = record.getWord(0);
    // Spreadsheet programs write column 256 as the end of "every column to the right"; a
    // sheet has no columns beyond it.
    const int last = std::min<int>(record.getWord(2), 256);
    if (last < first && record.getWord(2) < first)
        raiseXls(ErrorReadingExcelRecords);
    for (int col = first; col <= last; ++col) {
        TColInfo &c = ensure(col, 0);
        c.Width = record.getWord(4);
        c.XF = record.getWord(6);
        c.Options = record.getWord(8);
    }
}

void TColInfoList::SaveToStream(ByteWriter &out) const
{
    size_t i = 0;
    while (i < Items.size()) {
        size_t j = i;
        // A run stops at a gap: a column without entry keeps the sheet's defaults.
        while (j + 1 < Items.size() && Items[j + 1].Column == Items[j].Column + 1 &&
               Items[j + 1].Width == Items[i].Width && Items[j + 1].XF == Items[i].XF &&
               Items[j + 1].Options == Items[i].Options)
            ++j;
        out.header(RID_COLINFO, 12);
        out.u16(quint16(Items[i].Column));
        out.u16(quint16(Items[j].Column));
        out.u16(quint16(Items[i].Width));
        out.u16(quint16(Items[i].XF));
        out.u16(quint16(Items[i].Options));
        out.u16(0);
        i = j + 1;
    }
}

// --- the cell block -----------------------------------------------------------------------

void TCells::AddRecord(std::unique_ptr<TCellRecord> cell)
{
    m_formulasListed = false;
    const size_t r = size_t(cell->row());
    if (CellRows.size() <= r)
        CellRows.resize(r + 1);
    CellRows[r].push_back(std::move(cell));
}

void TCells::AddRow(std::unique_ptr<TRowRecord> row)
{
    const size_t r = size_t(row->row());
    if (Rows.size() <= r)
        Rows.resize(r + 1);
    if (Rows[r])
        raiseXls(DuplicatedRowRecord);
    Rows[r] = std::move(row);
}

void TCells::AddMultiple(const TBaseRecord &record)
{
    const bool isRK = record.Id == RID_MULRK;
    const int step = isRK ? 6 : 2;
    const int row = record.getWord(0);
    const int first = record.getWord(2);
    // Cells are taken while (taken + 1) x step + 4 stays below the size: the last two bytes
    // hold the last column.
    for (int i = 0; (i + 1) * step + 4 < record.DataSize(); ++i) {
        if (first + i > 255)
            raiseXls(ErrorReadingExcelRecords);
        QByteArray d(isRK ? 10 : 6, '\0');
        qToLittleEndian<quint16>(quint16(row), d.data());
        qToLittleEndian<quint16>(quint16(first + i), d.data() + 2);
        std::memcpy(d.data() + 4, record.Data.constData() + 4 + step * i, size_t(step));
        if (isRK)
            AddRecord(std::make_unique<TRKRecord>(RID_RK, d));
        else
            AddRecord(std::make_unique<TBlankRecord>(RID_BLANK, d));
    }
}

void TCells::finishLoad()
{
    for (auto &row : CellRows) {
        std::stable_sort(row.begin(), row.end(),
                         [](const auto &a, const auto &b) { return a->column() < b->column(); });
        for (const auto &cell : row)
            if (cell->Id == RID_FORMULA && !static_cast<TFormulaRecord &>(*cell).Attached.empty())
                m_hasAttached = true;
    }
}

int TCells::findColumn(int row, int col, bool &found) const
{
    found = false;
    if (row < 0 || size_t(row) >= CellRows.size())
        return 0;
    const auto &cells = CellRows[size_t(row)];
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const auto &c, int v) { return c->column() < v; });
    found = it != cells.end() && (*it)->column() == col;
    return int(it - cells.begin());
}

TCellRecord *TCells::cellAt(int row, int col) const
{
    bool found = false;
    const int i = findColumn(row, col, found);
    if (!found)
        return nullptr;
    TCellRecord *cell = CellRows[size_t(row)][size_t(i)].get();
    cell->TBaseRowColRecord::SetRow(row);
    return cell;
}

TXlsCellValue TCells::GetValue(int row, int col) const
{
    if (row < 0 || row > 65535)
        raiseXls(InvalidRow, {row});
    if (col < 0 || col > 255)
        raiseXls(InvalidColumn, {col});
    TXlsCellValue v;
    if (const TCellRecord *cell = cellAt(row, col)) {
        v.Value = cell->GetValue();
        v.XF = cell->xf();
        v.IsFormula = cell->Id == RID_FORMULA;
    }
    return v;
}

TRowRecord *TCells::rowRecord(int row) const
{
    if (row < 0 || size_t(row) >= Rows.size())
        return nullptr;
    TRowRecord *r = Rows[size_t(row)].get();
    if (r)
        r->SetRow(row);
    return r;
}

TRowRecord &TCells::Row(int row) const
{
    TRowRecord *r = rowRecord(row);
    if (!r)
        raiseXls(MissingRowRecord, {row});
    return *r;
}

TRowRecord &TCells::EnsureRow(int row)
{
    if (Rows.size() <= size_t(row))
        Rows.resize(size_t(row) + 1);
    if (!Rows[size_t(row)])
        Rows[size_t(row)] = TRowRecord::CreateNew(row);
    return *rowRecord(row);
}

namespace {
bool isNumericType(int t)
{
    switch (t) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
        return true;
    default:
        return false;
    }
}
} // namespace

void TCells::SetValue(int row, int col, const TXlsCellValue &v)
{
    if (row < 0 || row > 65535)
        raiseXls(InvalidRow, {row});
    if (col < 0 || col > 255)
        raiseXls(InvalidColumn, {col});
    TRowRecord &rowRec = EnsureRow(row);
    int def = rowRec.xf();
    if (def <= 0) {
        const TColInfo *ci = ColInfos ? ColInfos->find(col) : nullptr;
        def = ci ? ci->XF : 0;
    }
    bool found = false;
    int index = findColumn(row, col, found);
    int xf = def;
    if (found)
        xf = CellRows[size_t(row)][size_t(index)]->xf();
    if (v.XF >= 0)
        xf = v.XF;

    const int type = v.Value.typeId();
    const bool isEmpty = !v.Value.isValid() || type == QMetaType::Nullptr ||
                         ((type == QMetaType::QString) && v.Value.toString().isEmpty());
    std::unique_ptr<TCellRecord> cell;
    auto make = [&](auto *tag, quint16 id, int size) {
        using T = std::remove_pointer_t<decltype(tag)>;
        QByteArray d(size, '\0');
        qToLittleEndian<quint16>(quint16(row), d.data());
        qToLittleEndian<quint16>(quint16(col), d.data() + 2);
        qToLittleEndian<quint16>(quint16(xf), d.data() + 4);
        return std::make_unique<T>(id, d);
    };
    if (isEmpty) {
        if (xf != def)
            cell = make((TBlankRecord *)nullptr, RID_BLANK, 6);
    } else if (type == QMetaType::Bool) {
        cell = make((TBoolErrRecord *)nullptr, RID_BOOLERR, 8);
        cell->SetValue(v.Value);
    } else if (isNumericType(type)) {
        quint32 rk = 0;
        if (EncodeRK(v.Value.toDouble(), rk)) {
            cell = make((TRKRecord *)nullptr, RID_RK, 10);
            cell->setDWord(6, rk);
        } else {
            cell = make((TNumberRecord *)nullptr, RID_NUMBER, 14);
            cell->SetValue(v.Value);
        }
    } else if (type == QMetaType::QString || type == QMetaType::QDate ||
               type == QMetaType::QDateTime) {
        auto label = make((TLabelSSTRecord *)nullptr, RID_LABELSST, 10);
        label->SST = SST;
        label->SetValue(v.Value);
        cell = std::move(label);
    }
    // The old cell goes whether or not a new record results: an unsupported type clears it.
    if (found) {
        auto old = CellRows[size_t(row)].begin() + index;
        if ((*old)->Id == RID_FORMULA)
            m_formulasListed = false;
        CellRows[size_t(row)].erase(old);
    }
    if (!cell)
        return;
    rowRec.widenTo(col);
    if (CellRows.size() <= size_t(row))
        CellRows.resize(size_t(row) + 1);
    auto &cells = CellRows[size_t(row)];
    index = findColumn(row, col, found);
    cells.insert(cells.begin() + index, std::move(cell));
}

int TCells::maxRow() const
{
    for (int r = int(CellRows.size()) - 1; r >= 0; --r)
        if (!CellRows[size_t(r)].empty())
            return r + 1;
    return 0;
}

int TCells::maxCol() const
{
    int result = 0;
    for (const auto &cells : CellRows)
        if (!cells.empty())
            result = std::max(result, cells.back()->column() + 1);
    return result;
}

namespace {
// A record written with the row of the entry it sits in.
void saveAtRow(const TBaseRecord &record, size_t row, ByteWriter &out)
{
    const qsizetype start = out.pos();
    record.SaveToStream(out);
    qToLittleEndian<quint16>(quint16(row), out.bytes.data() + start + 4);
}
} // namespace

void TCells::SaveToStream(ByteWriter &out) const
{
    if (int(Rows.size()) < maxRow())
        raiseXls(RowCountMismatch);
    if (Rows.empty())
        return;
    size_t r = 0;
    while (r < Rows.size()) {
        const size_t blockFirst = r;
        int written = 0;
        size_t last = r;
        for (size_t k = r; k < Rows.size() && written < 32; ++k)
            if (Rows[k]) {
                saveAtRow(*Rows[k], k, out);
                ++written;
                last = k;
            }
        if (written == 0)
            break;
        for (size_t row = blockFirst; row <= last && row < CellRows.size(); ++row)
            for (const auto &cell : CellRows[row])
                saveAtRow(*cell, row, out);
        r = last + 1;
    }
}

std::unique_ptr<TCells> TCells::clone(TSST *sst, TColInfoList *colInfos) const
{
    auto c = std::make_unique<TCells>(sst, colInfos);
    c->m_hasAttached = m_hasAttached;
    c->Rows.resize(Rows.size());
    for (size_t i = 0; i < Rows.size(); ++i)
        if (Rows[i])
            c->Rows[i].reset(static_cast<TRowRecord *>(Rows[i]->CopyTo().release()));
    c->CellRows.resize(CellRows.size());
    for (size_t i = 0; i < CellRows.size(); ++i)
        for (const auto &cell : CellRows[i])
            c->CellRows[i].push_back(cell->copyCell());
    return c;
}

// --- moving rows --------------------------------------------------------------------------

namespace {

// Empty entries opened at index at, when the list reaches that far: the entries after it move
// along with their records' new rows.
template <class T> void openEntries(std::vector<T> &list, size_t at, size_t count)
{
    if (at >= list.size())
        return;
    const size_t old = list.size();
    list.resize(old + count);
    std::move_backward(list.begin() + qsizetype(at), list.begin() + qsizetype(old), list.end());
    for (size_t i = at; i < at + count; ++i)
        list[i] = T();
}

template <class T> void closeEntries(std::vector<T> &list, size_t at, size_t count)
{
    if (at < list.size())
        list.erase(list.begin() + qsizetype(at),
                   list.begin() + qsizetype(std::min(list.size(), at + count)));
}

template <class T> T &entry(std::vector<T> &list, size_t at)
{
    if (list.size() <= at)
        list.resize(at + 1);
    return list[at];
}

} // namespace

int TCells::lastRow() const
{
    int last = maxRow() - 1;
    for (int r = int(Rows.size()) - 1; r > last; --r)
        if (Rows[size_t(r)])
            return r;
    return last;
}

void TCells::CheckAttachedRows(int pos, int delta, int first, int last, int copies) const
{
    if (!m_hasAttached)
        return;
    const int height = last - first + 1;
    for (size_t r = 0; r < CellRows.size(); ++r) {
        const int row = int(r);
        if (delta < 0 && row >= pos && row < pos - delta)
            continue; // deleted with its row
        int minOffset = 0, maxOffset = 0;
        if (copies > 0 && row >= first && row <= last) {
            const int source = row >= pos ? row + delta : row;
            minOffset = pos + (row - first) - source;
            maxOffset = minOffset + (copies - 1) * height;
        }
        for (const auto &c : CellRows[r])
            if (c->Id == RID_FORMULA)
                static_cast<const TFormulaRecord &>(*c).CheckAttachedRows(pos, delta, minOffset,
                                                                          maxOffset);
    }
}

const std::vector<TFormulaRecord *> &TCells::formulas()
{
    if (!m_formulasListed) {
        m_formulas.clear();
        for (const auto &row : CellRows)
            for (const auto &cell : row)
                if (cell->Id == RID_FORMULA)
                    m_formulas.push_back(static_cast<TFormulaRecord *>(cell.get()));
        m_formulasListed = true;
    }
    return m_formulas;
}

void TCells::ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info)
{
    // Formulas move their own row with their references; every other record keeps the index
    // of its row and is given it when looked up or saved.
    for (TFormulaRecord *f : formulas())
        f->ArrangeInsert(pos, delta, info);
    if (info.InsertedSheet != info.FormulaSheet)
        return;
    if (delta > 0) {
        openEntries(Rows, size_t(pos), size_t(delta));
        openEntries(CellRows, size_t(pos), size_t(delta));
    } else {
        closeEntries(Rows, size_t(pos), size_t(-delta));
        closeEntries(CellRows, size_t(pos), size_t(-delta));
    }
}

void TCells::InsertAndCopyRows(int first, int last, int dest, int n, const TSheetShiftInfo &info,
                               bool onlyFormulas)
{
    const int height = last - first + 1;
    // The sources are taken before they move, and copied from where they went.
    std::vector<TRowRecord *> sourceRows;
    std::vector<std::vector<TCellRecord *>> sourceCells;
    for (int r = first; r <= last; ++r) {
        sourceRows.push_back(rowRecord(r));
        sourceCells.emplace_back();
        if (size_t(r) < CellRows.size())
            for (auto &c : CellRows[size_t(r)])
                sourceCells.back().push_back(c.get());
    }
    ArrangeInsert(dest, height * n, info);
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < height; ++i) {
            const size_t target = size_t(dest + k * height + i);
            if (sourceRows[size_t(i)]) {
                auto copy = std::unique_ptr<TRowRecord>(
                    static_cast<TRowRecord *>(sourceRows[size_t(i)]->CopyTo().release()));
                copy->SetRow(int(target));
                entry(Rows, target) = std::move(copy);
            }
            std::vector<std::unique_ptr<TCellRecord>> copies;
            for (TCellRecord *c : sourceCells[size_t(i)]) {
                if (onlyFormulas && c->Id != RID_FORMULA)
                    continue;
                auto copy = c->copyCell();
                copy->SetRow(int(target)); // formula copies move their relative rows
                if (copy->Id == RID_FORMULA && m_formulasListed)
                    m_formulas.push_back(static_cast<TFormulaRecord *>(copy.get()));
                copies.push_back(std::move(copy));
            }
            if (!copies.empty())
                entry(CellRows, target) = std::move(copies);
        }
}

void TCells::DeleteRows(int row, int count, const TSheetShiftInfo &info)
{
    m_formulasListed = false;
    for (int r = row; r < row + count; ++r) {
        if (size_t(r) < Rows.size())
            Rows[size_t(r)].reset();
        if (size_t(r) < CellRows.size())
            CellRows[size_t(r)].clear(); // text cells give their strings back
    }
    ArrangeInsert(row, -count, info);
}

} // namespace xls
