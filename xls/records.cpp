#include "xls/records.h"

#include "xls/cells.h"
#include "xls/formats.h"
#include "xls/formula.h"
#include "xls/names.h"
#include "xls/xlsmessages.h"
#include "xls/xlsstrings.h"

#include <QtEndian>

namespace xls {

void ByteWriter::u16(quint16 v)
{
    char b[2];
    qToLittleEndian<quint16>(v, b);
    bytes.append(b, 2);
}

void ByteWriter::u32(quint32 v)
{
    char b[4];
    qToLittleEndian<quint32>(v, b);
    bytes.append(b, 4);
}

void ByteWriter::header(quint16 id, qsizetype size)
{
    if (size < 0 || size > 0xFFFF)
        raiseXls(ErrorWritingOutput);
    u16(id);
    u16(quint16(size));
}

TBaseRecord::TBaseRecord(quint16 id, QByteArray data) : Id(id), Data(std::move(data)) {}

TBaseRecord::~TBaseRecord()
{
    // A long CONTINUE chain is freed one by one rather than by recursion.
    RecordPtr next = std::move(Continue);
    while (next)
        next = std::move(next->Continue);
}

RecordPtr TBaseRecord::finishCopy(RecordPtr copy) const
{
    TBaseRecord *tail = copy.get();
    for (const TBaseRecord *c = Continue.get(); c; c = c->Continue.get()) {
        tail->Continue = std::make_unique<TContinueRecord>(c->Id, c->Data);
        tail = tail->Continue.get();
    }
    return copy;
}

RecordPtr TBaseRecord::CopyTo() const
{
    return finishCopy(std::make_unique<TBaseRecord>(Id, Data));
}

void TBaseRecord::SaveToStream(ByteWriter &out) const
{
    for (const TBaseRecord *r = this; r; r = r->Continue.get()) {
        out.header(r->Id, r->Data.size());
        out.append(r->Data);
    }
}

qint64 TBaseRecord::TotalSize() const
{
    qint64 size = 0;
    for (const TBaseRecord *r = this; r; r = r->Continue.get())
        size += 4 + r->Data.size();
    return size;
}

namespace {
[[noreturn]] void shortRecord()
{
    raiseXls(ErrorReadingExcelRecords);
}
} // namespace

quint8 TBaseRecord::getByte(int off) const
{
    if (off < 0 || off + 1 > Data.size())
        shortRecord();
    return quint8(Data.at(off));
}

quint16 TBaseRecord::getWord(int off) const
{
    if (off < 0 || off + 2 > Data.size())
        shortRecord();
    return qFromLittleEndian<quint16>(Data.constData() + off);
}

quint32 TBaseRecord::getDWord(int off) const
{
    if (off < 0 || off + 4 > Data.size())
        shortRecord();
    return qFromLittleEndian<quint32>(Data.constData() + off);
}

void TBaseRecord::setByte(int off, quint8 v)
{
    if (off < 0 || off + 1 > Data.size())
        shortRecord();
    Data[off] = char(v);
}

void TBaseRecord::setWord(int off, quint16 v)
{
    if (off < 0 || off + 2 > Data.size())
        shortRecord();
    qToLittleEndian<quint16>(v, Data.data() + off);
}

void TBaseRecord::setDWord(int off, quint32 v)
{
    if (off < 0 || off + 4 > Data.size())
        shortRecord();
    qToLittleEndian<quint32>(v, Data.data() + off);
}

void TBaseRecord::incWord(int off, int delta, int max)
{
    const int v = int(getWord(off)) + delta;
    if (v < 0 || v > max)
        raiseXls(TooManyEntries, {v, max});
    setWord(off, quint16(v));
}

std::vector<TBaseRecord *> TBaseRecord::continues() const
{
    std::vector<TBaseRecord *> out;
    for (TBaseRecord *c = Continue.get(); c; c = c->Continue.get())
        out.push_back(c);
    return out;
}

void TWindow1Record::setActiveTab(int tab)
{
    setWord(10, quint16(tab));
    setWord(12, 0);
    setWord(14, 1);
}

RecordPtr TWindow2Record::CopyTo() const
{
    auto copy = finishCopy(std::make_unique<TWindow2Record>(Id, Data));
    copy->setWord(0, copy->getWord(0) & ~(0x0200 | 0x0400));
    return copy;
}

void TWindow2Record::setShowGridLines(bool on)
{
    setWord(0, on ? (getWord(0) | 0x0002) : (getWord(0) & ~0x0002));
}

void TWindow2Record::setSelected(bool on)
{
    setWord(0, on ? (getWord(0) | 0x0200) : (getWord(0) & ~0x0200));
}

QString TBoundSheetRecord::sheetName() const
{
    RecordCursor cur(this, 6);
    return TExcelString::CreateFromRecord(1, cur).Value();
}

void TBoundSheetRecord::setSheetName(const QString &name)
{
    const TExcelString s(1, name);
    QByteArray data = Data.left(6);
    if (data.size() < 6)
        shortRecord();
    ByteWriter w;
    s.SaveToStream(w);
    Data = data + w.bytes;
}

QString TStringRecord::text() const
{
    RecordCursor cur(this, 0);
    return TExcelString::CreateFromRecord(2, cur).Value();
}

// --- cursor ---------------------------------------------------------------------------

RecordCursor::RecordCursor(const TBaseRecord *record, int offset)
    : m_record(record), m_offset(offset)
{
    if (!record || offset < 0 || offset > record->DataSize())
        raiseXls(ErrorReadingRecord);
}

qint64 RecordCursor::leftInChain() const
{
    qint64 left = leftInRecord();
    for (const TBaseRecord *c = m_record ? m_record->Continue.get() : nullptr; c;
         c = c->Continue.get())
        left += c->DataSize();
    return left;
}

void RecordCursor::nextRecord()
{
    if (!m_record || !m_record->Continue)
        raiseXls(ErrorReadingRecord);
    m_record = m_record->Continue.get();
    m_offset = 0;
}

QByteArray RecordCursor::read(qint64 n)
{
    if (n < 0 || n > leftInChain())
        raiseXls(ErrorReadingRecord);
    QByteArray out;
    out.reserve(qsizetype(n));
    while (n > 0) {
        if (leftInRecord() == 0) {
            nextRecord();
            continue;
        }
        const int take = int(std::min<qint64>(n, leftInRecord()));
        out.append(m_record->Data.constData() + m_offset, take);
        m_offset += take;
        n -= take;
    }
    return out;
}

quint8 RecordCursor::byte()
{
    return quint8(read(1).at(0));
}

quint16 RecordCursor::word()
{
    const QByteArray b = read(2);
    return qFromLittleEndian<quint16>(b.constData());
}

quint32 RecordCursor::dword()
{
    const QByteArray b = read(4);
    return qFromLittleEndian<quint32>(b.constData());
}

// --- reader ---------------------------------------------------------------------------

RecordReader::RecordReader(const QByteArray &stream) : m_stream(stream) {}

int RecordReader::peekId() const
{
    if (m_pos + 4 > m_stream.size())
        return -1;
    return qFromLittleEndian<quint16>(m_stream.constData() + m_pos);
}

bool RecordReader::atEnd() const
{
    const int id = peekId();
    return id <= 0;
}

RecordPtr RecordReader::readOne()
{
    if (m_pos + 4 > m_stream.size())
        raiseXls(ErrorReadingExcelRecords);
    const quint16 id = qFromLittleEndian<quint16>(m_stream.constData() + m_pos);
    const quint16 size = qFromLittleEndian<quint16>(m_stream.constData() + m_pos + 2);
    m_pos += 4;
    if (size > m_stream.size() - m_pos)
        raiseXls(ErrorReadingExcelRecords);
    QByteArray data = m_stream.mid(m_pos, size);
    m_pos += size;
    return createRecord(id, std::move(data));
}

RecordPtr RecordReader::next()
{
    RecordPtr record = readOne();
    // CONTINUE records are chained iteratively: a long chain must not exhaust the stack.
    TBaseRecord *tail = record.get();
    while (peekId() == RID_CONTINUE) {
        tail->Continue = readOne();
        tail = tail->Continue.get();
    }
    return record;
}

RecordPtr createRecord(quint16 id, QByteArray data)
{
    switch (id) {
    case RID_FORMULA:
        return std::make_unique<TFormulaRecord>(id, std::move(data));
    case RID_EOF:
        return std::make_unique<TEOFRecord>(id, std::move(data));
    case RID_FILEPASS:
        raiseXls(PasswordProtected);
    case RID_FONT:
        return std::make_unique<TFontRecord>(id, std::move(data));
    case RID_NAME:
        return std::make_unique<TNameRecord>(id, std::move(data));
    case RID_CONTINUE:
        return std::make_unique<TContinueRecord>(id, std::move(data));
    case RID_WINDOW1:
        return std::make_unique<TWindow1Record>(id, std::move(data));
    case RID_DEFCOLWIDTH:
        return std::make_unique<TDefColWidthRecord>(id, std::move(data));
    case RID_BOUNDSHEET:
        return std::make_unique<TBoundSheetRecord>(id, std::move(data));
    case RID_PALETTE:
        return std::make_unique<TPaletteRecord>(id, std::move(data));
    case RID_XF:
        return std::make_unique<TXFRecord>(id, std::move(data));
    case RID_LABELSST:
        return std::make_unique<TLabelSSTRecord>(id, std::move(data));
    case RID_BLANK:
        return std::make_unique<TBlankRecord>(id, std::move(data));
    case RID_NUMBER:
        return std::make_unique<TNumberRecord>(id, std::move(data));
    case RID_BOOLERR:
        return std::make_unique<TBoolErrRecord>(id, std::move(data));
    case RID_STRING:
        return std::make_unique<TStringRecord>(id, std::move(data));
    case RID_NOTE:
        return std::make_unique<TNoteRecord>(id, std::move(data));
    case RID_ROW:
        return std::make_unique<TRowRecord>(id, std::move(data));
    case RID_ARRAY:
        return std::make_unique<TCellRecord>(id, std::move(data));
    case RID_DEFAULTROWHEIGHT:
        return std::make_unique<TDefRowHeightRecord>(id, std::move(data));
    case RID_WINDOW2:
        return std::make_unique<TWindow2Record>(id, std::move(data));
    case RID_RK:
        return std::make_unique<TRKRecord>(id, std::move(data));
    case RID_FORMAT:
        return std::make_unique<TFormatRecord>(id, std::move(data));
    case RID_BOF:
        return std::make_unique<TBOFRecord>(id, std::move(data));
    default:
        return std::make_unique<TBaseRecord>(id, std::move(data));
    }
}

} // namespace xls
