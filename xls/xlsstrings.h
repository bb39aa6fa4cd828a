#pragma once

#include "xls/records.h"

#include <QString>

#include <memory>
#include <vector>

// Strings as BIFF8 stores them, and the shared string table that text cells point into.
namespace xls {

class TExcelString
{
public:
    TExcelString() = default;
    // 8-bit storage when every character is below 256, 16-bit otherwise; a 1-byte length
    // with more than 255 characters raises "Invalid String record".
    TExcelString(int strLenLength, const QString &text);

    // Reads the stored form through a cursor; the characters may continue in CONTINUE
    // records, each of which then starts with an option byte for the rest.
    static TExcelString CreateFromRecord(int strLenLength, RecordCursor &cursor);

    int StrLenLength = 2;
    quint8 OptionFlags = 0;
    QString Text;
    quint16 RunCount = 0;
    QByteArray Runs;
    QByteArray FarEastData;

    QString Value() const { return Text; }
    bool isWide() const { return OptionFlags & 1; }
    int storedSize() const;
    void SaveToStream(ByteWriter &out) const;
    // The table's order: length size, storage width, then the text (8-bit byte-wise;
    // 16-bit by length first). Runs and far-east data do not take part.
    int compare(const TExcelString &other) const;
};

// Bytes a stored string occupies at pos of a record's data (length field of lengthSize bytes,
// or none with useKnownLength).
int StoredStringSize(int lengthSize, const QByteArray &data, int pos, int knownLength,
                     bool useKnownLength);

struct TSSTEntry
{
    int Refs = 0;
    TExcelString Value;
    quint32 StreamPos = 0;
    quint16 RecordPos = 0;
    int Index = 0;
};

class TSST
{
public:
    std::vector<std::unique_ptr<TSSTEntry>> Entries;
    // Entries of the file in file order, before sorting (what LABELSST indexes refer to).
    std::vector<TSSTEntry *> FileOrder;

    int count() const { return int(Entries.size()); }
    void clear();
    void LoadFromSSTRecord(const TBaseRecord &record);
    void Sort();
    bool Find(const TExcelString &s, int &index) const;
    TSSTEntry *AddString(const QString &text);
    void PrepareForSave();
    // The SST record, its CONTINUE records and the EXTSST index; every string's stream
    // position is taken from the writer, which starts at the beginning of the stream.
    void SaveToStream(ByteWriter &out);
};

} // namespace xls
