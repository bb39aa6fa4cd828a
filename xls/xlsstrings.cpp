#include "xls/xlsstrings.h"

#include "xls/xlsmessages.h"

#include <QtEndian>

#include <algorithm>

namespace xls {

namespace {
constexpr int MaxRecordData = 8222; // strings are packed while the record stays below 8223
}

TExcelString::TExcelString(int strLenLength, const QString &text)
    : StrLenLength(strLenLength), Text(text)
{
    if ((strLenLength == 1 && text.size() > 255) || text.size() > 0xFFFF)
        raiseXls(InvalidStringRecord);
    for (QChar c : text)
        if (c.unicode() > 255) {
            OptionFlags = 1;
            break;
        }
}

TExcelString TExcelString::CreateFromRecord(int strLenLength, RecordCursor &cursor)
{
    TExcelString s;
    s.StrLenLength = strLenLength;
    const int length = strLenLength == 1 ? cursor.byte() : cursor.word();
    s.OptionFlags = cursor.byte();
    if (s.OptionFlags & 8)
        s.RunCount = cursor.word();
    quint32 farEastSize = 0;
    if (s.OptionFlags & 4)
        farEastSize = cursor.dword();
    bool wideChunk = s.OptionFlags & 1;
    int left = length;
    s.Text.reserve(std::min<qint64>(length, cursor.leftInChain()));
    while (left > 0) {
        if (cursor.leftInRecord() == 0) {
            // The characters go on in the next record, which always starts with the option
            // byte of the rest, whether or not any character was read here.
            cursor.nextRecord();
            wideChunk = cursor.byte() & 1;
            if (wideChunk)
                s.OptionFlags |= 1;
            continue;
        }
        const int unit = wideChunk ? 2 : 1;
        const int n = std::min(left, cursor.leftInRecord() / unit);
        if (n == 0) // a character cut in half by the record's end
            raiseXls(ErrorReadingRecord);
        const QByteArray bytes = cursor.read(qint64(n) * unit);
        if (wideChunk) {
            for (int i = 0; i < n; ++i)
                s.Text.append(QChar(qFromLittleEndian<quint16>(bytes.constData() + 2 * i)));
        } else {
            s.Text.append(QString::fromLatin1(bytes));
        }
        left -= n;
    }
    if (s.OptionFlags & 8)
        s.Runs = cursor.read(qint64(s.RunCount) * 4);
    if (s.OptionFlags & 4)
        s.FarEastData = cursor.read(farEastSize); // checked against what is left first
    return s;
}

int TExcelString::storedSize() const
{
    int size = StrLenLength + 1 + int(Text.size()) * (isWide() ? 2 : 1);
    if (OptionFlags & 8)
        size += 2 + 4 * RunCount;
    if (OptionFlags & 4)
        size += 4 + int(FarEastData.size());
    return size;
}

void TExcelString::SaveToStream(ByteWriter &out) const
{
    if (StrLenLength == 1)
        out.u8(quint8(Text.size()));
    else if (StrLenLength == 2)
        out.u16(quint16(Text.size()));
    else
        raiseXls(StrLenLengthInvalid);
    out.u8(OptionFlags);
    if (OptionFlags & 8)
        out.u16(RunCount);
    if (OptionFlags & 4)
        out.u32(quint32(FarEastData.size()));
    if (isWide()) {
        for (QChar c : Text)
            out.u16(c.unicode());
    } else {
        out.append(Text.toLatin1());
    }
    if (OptionFlags & 8)
        out.append(Runs);
    if (OptionFlags & 4)
        out.append(FarEastData);
}

int TExcelString::compare(const TExcelString &other) const
{
    if (StrLenLength != other.StrLenLength)
        return StrLenLength < other.StrLenLength ? -1 : 1;
    const int w1 = OptionFlags & 1, w2 = other.OptionFlags & 1;
    if (w1 != w2)
        return w1 < w2 ? -1 : 1;
    if (w1 && Text.size() != other.Text.size())
        return Text.size() < other.Text.size() ? -1 : 1;
    const int c = QStringView(Text).compare(QStringView(other.Text), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int StoredStringSize(int lengthSize, const QByteArray &data, int pos, int knownLength,
                     bool useKnownLength)
{
    auto byteAt = [&](int p) -> quint8 {
        if (p < 0 || p >= data.size())
            raiseXls(ErrorReadingExcelRecords);
        return quint8(data.at(p));
    };
    auto wordAt = [&](int p) -> quint16 { return quint16(byteAt(p) | (byteAt(p + 1) << 8)); };
    int p = pos;
    int length = knownLength;
    if (!useKnownLength) {
        length = lengthSize == 1 ? byteAt(p) : wordAt(p);
        p += lengthSize;
    }
    const quint8 flags = byteAt(p++);
    int runs = 0;
    quint32 farEast = 0;
    if (flags & 8) {
        runs = wordAt(p);
        p += 2;
    }
    if (flags & 4) {
        farEast = quint32(wordAt(p)) | (quint32(wordAt(p + 2)) << 16);
        p += 4;
    }
    const qint64 size =
        qint64(p - pos) + qint64(length) * ((flags & 1) ? 2 : 1) + qint64(runs) * 4 + farEast;
    if (pos + size > data.size())
        raiseXls(ErrorReadingExcelRecords);
    return int(size);
}

void TSST::clear()
{
    Entries.clear();
    FileOrder.clear();
}

void TSST::LoadFromSSTRecord(const TBaseRecord &record)
{
    const quint32 unique = record.getDWord(4);
    RecordCursor cursor(&record, 8);
    // No room is reserved from the count: a damaged count ends with a reading error.
    for (quint32 i = 0; i < unique; ++i) {
        auto entry = std::make_unique<TSSTEntry>();
        entry->Value = TExcelString::CreateFromRecord(2, cursor);
        FileOrder.push_back(entry.get());
        Entries.push_back(std::move(entry));
    }
}

void TSST::Sort()
{
    std::stable_sort(Entries.begin(), Entries.end(),
                     [](const auto &a, const auto &b) { return a->Value.compare(b->Value) < 0; });
}

bool TSST::Find(const TExcelString &s, int &index) const
{
    auto it = std::lower_bound(Entries.begin(), Entries.end(), s, [](const auto &e, const auto &v) {
        return e->Value.compare(v) < 0;
    });
    index = int(it - Entries.begin());
    return it != Entries.end() && (*it)->Value.compare(s) == 0;
}

TSSTEntry *TSST::AddString(const QString &text)
{
    TExcelString s(2, text);
    int index = 0;
    if (Find(s, index)) {
        Entries[size_t(index)]->Refs++;
        return Entries[size_t(index)].get();
    }
    auto entry = std::make_unique<TSSTEntry>();
    entry->Value = std::move(s);
    entry->Refs = 1;
    TSSTEntry *raw = entry.get();
    Entries.insert(Entries.begin() + index, std::move(entry));
    return raw;
}

void TSST::PrepareForSave()
{
    for (int i = count() - 1; i >= 0; --i)
        if (Entries[size_t(i)]->Refs < 1)
            Entries.erase(Entries.begin() + i);
    FileOrder.clear();
}

void TSST::SaveToStream(ByteWriter &out)
{
    quint32 total = 0;
    for (int i = 0; i < count(); ++i) {
        TSSTEntry &e = *Entries[size_t(i)];
        Q_ASSERT(e.Refs >= 1);
        e.Index = i;
        total += quint32(e.Refs);
    }
    // Strings are never split: each record takes as many whole strings as fit.
    int i = 0;
    bool first = true;
    while (first || i < count()) {
        int size = first ? 8 : 0;
        int end = i;
        while (end < count()) {
            const int s = Entries[size_t(end)]->Value.storedSize();
            if (s > MaxRecordData)
                raiseXls(StringTooLarge);
            if (size + s > MaxRecordData)
                break;
            size += s;
            ++end;
        }
        const qsizetype recordStart = out.pos();
        out.header(first ? RID_SST : RID_CONTINUE, size);
        if (first) {
            out.u32(total);
            out.u32(quint32(count()));
        }
        for (; i < end; ++i) {
            TSSTEntry &e = *Entries[size_t(i)];
            e.StreamPos = quint32(out.pos());
            e.RecordPos = quint16(out.pos() - recordStart);
            e.Value.SaveToStream(out);
        }
        first = false;
    }
    const int stride = std::max(8, count() / 128 + 1);
    const int buckets = count() == 0 ? 0 : (count() - 1) / stride + 1;
    out.header(RID_EXTSST, 8 * buckets + 2);
    out.u16(quint16(stride));
    for (int b = 0; b < buckets; ++b) {
        const TSSTEntry &e = *Entries[size_t(b * stride)];
        out.u32(e.StreamPos);
        out.u16(e.RecordPos);
        out.u16(0);
    }
}

} // namespace xls
