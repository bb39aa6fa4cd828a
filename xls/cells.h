#pragma once

#include "xls/records.h"

#include <QVariant>

#include <memory>
#include <vector>

// Cell records, ROW records and the column list of a worksheet.
namespace xls {

class TFormulaRecord;
class TSST;
struct TSSTEntry;
struct TSheetShiftInfo;

// A cell's value as the adapter passes it: XF -1 means "no format given" when writing and
// "no cell" when reading.
struct TXlsCellValue
{
    QVariant Value;
    int XF = -1;
    bool IsFormula = false;
};

class TBaseRowColRecord : public TBaseRecord
{
public:
    // Every cell and row record must hold at least its row and column.
    TBaseRowColRecord(quint16 id, QByteArray data, int minimumSize = 4);
    int row() const { return getWord(0); }
    int column() const { return getWord(2); }
    virtual void SetRow(int row) { setWord(0, quint16(row)); }
    void setColumn(int col) { setWord(2, quint16(col)); }
    // Rows at or below pos move by delta when the rows move on this very sheet.
    virtual void ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info);
};

class TCellRecord : public TBaseRowColRecord
{
public:
    TCellRecord(quint16 id, QByteArray data, int minimumSize = 6);
    RecordPtr CopyTo() const override;
    int xf() const { return getWord(4); }
    void setXF(int xf) { setWord(4, quint16(xf)); }
    virtual QVariant GetValue() const { return QVariant(); }
    virtual void SetValue(const QVariant &) {}
    std::unique_ptr<TCellRecord> copyCell() const;
};

template <class T> class TCellOf : public TCellRecord
{
public:
    using TCellRecord::TCellRecord;
    RecordPtr CopyTo() const override { return finishCopy(std::make_unique<T>(Id, Data)); }
};

class TBlankRecord : public TCellOf<TBlankRecord>
{
public:
    TBlankRecord(quint16 id, QByteArray data) : TCellOf(id, std::move(data), 6) {}
};

class TNumberRecord : public TCellOf<TNumberRecord>
{
public:
    TNumberRecord(quint16 id, QByteArray data) : TCellOf(id, std::move(data), 14) {}
    QVariant GetValue() const override;
    void SetValue(const QVariant &v) override;
};

class TRKRecord : public TCellOf<TRKRecord>
{
public:
    TRKRecord(quint16 id, QByteArray data) : TCellOf(id, std::move(data), 10) {}
    QVariant GetValue() const override;
    void SetValue(const QVariant &v) override;
};

class TBoolErrRecord : public TCellOf<TBoolErrRecord>
{
public:
    TBoolErrRecord(quint16 id, QByteArray data) : TCellOf(id, std::move(data), 8) {}
    QVariant GetValue() const override;
    void SetValue(const QVariant &v) override;
};

class TLabelSSTRecord : public TCellRecord
{
public:
    TLabelSSTRecord(quint16 id, QByteArray data) : TCellRecord(id, std::move(data), 10) {}
    ~TLabelSSTRecord() override;
    RecordPtr CopyTo() const override;
    void SaveToStream(ByteWriter &out) const override;
    QVariant GetValue() const override;
    void SetValue(const QVariant &v) override;
    // On load: the index must be within the table; the entry gains a reference.
    void LinkToSST(TSST *sst);

    TSST *SST = nullptr;
    TSSTEntry *Entry = nullptr;
};

class TRowRecord : public TBaseRowColRecord
{
public:
    TRowRecord(quint16 id, QByteArray data);
    static std::unique_ptr<TRowRecord> CreateNew(int row);
    RecordPtr CopyTo() const override;
    int firstCol() const { return getWord(2); }
    int lastColPlus1() const { return getWord(4); }
    int height() const { return getWord(6); }
    void setHeight(int h) { setWord(6, quint16(h)); }
    int options() const { return getWord(12); }
    bool customHeight() const { return options() & 0x0040; }
    void setCustomHeight(bool on);
    // The row's format: the low 12 bits of word 14 when the row has a format, else 0.
    int xf() const { return (options() & 0x0080) ? (getWord(14) & 0x0FFF) : 0; }
    void setXF(int xf);
    void widenTo(int col);
};

// RK encoding: false when the value cannot be held exactly.
bool EncodeRK(double v, quint32 &rk);
double DecodeRK(quint32 rk);

// The texts of the BIFF error codes; any unknown code reads as "#NULL!".
QString errorCodeText(int code);

struct TColInfo
{
    int Column = 0;
    int Width = 0;
    int XF = 0;
    int Options = 0;
};

class TColInfoList
{
public:
    std::vector<TColInfo> Items; // sorted by column
    TColInfo *find(int column);
    const TColInfo *find(int column) const;
    TColInfo &ensure(int column, int defaultWidth);
    // Splits a COLINFO record into one entry per column.
    void AddRecord(const TBaseRecord &record);
    // Runs of contiguous columns with equal width, format and options become one COLINFO.
    void SaveToStream(ByteWriter &out) const;
    void ArrangeNothing() {}
};

// Records sit at the index of their row. When rows move, the lists open or close entries and
// only formulas are walked; the row word of a ROW record or a plain cell is written from its
// index when the record is looked up or saved, so that rows copied one call at a time do not
// rewrite every record below them each time.
class TCells
{
public:
    TCells(TSST *sst, TColInfoList *colInfos) : SST(sst), ColInfos(colInfos) {}

    TSST *SST;
    TColInfoList *ColInfos;
    std::vector<std::unique_ptr<TRowRecord>> Rows;                   // index = row
    std::vector<std::vector<std::unique_ptr<TCellRecord>>> CellRows; // index = row, by column

    void AddRecord(std::unique_ptr<TCellRecord> cell);
    void AddRow(std::unique_ptr<TRowRecord> row);
    // MULBLANK and MULRK become single BLANK and RK cells.
    void AddMultiple(const TBaseRecord &record);
    void finishLoad();

    // The record found is given its row.
    TCellRecord *cellAt(int row, int col) const;
    TXlsCellValue GetValue(int row, int col) const;
    void SetValue(int row, int col, const TXlsCellValue &value);
    TRowRecord *rowRecord(int row) const; // given its row, as cellAt
    TRowRecord &Row(int row) const;       // "Missing ROW Record for row %d"
    TRowRecord &EnsureRow(int row);

    int maxRow() const; // the last row with cells + 1
    int maxCol() const;

    void SaveToStream(ByteWriter &out) const;
    std::unique_ptr<TCells> clone(TSST *sst, TColInfoList *colInfos) const;

    // The highest row holding a ROW record or a cell, -1 when there is none.
    int lastRow() const;
    // Raises, before anything moves, what moving the rows (delta at pos) and then copying rows
    // first..last copies times to pos would raise on data tables and array formulas.
    void CheckAttachedRows(int pos, int delta, int first = 0, int last = -1, int copies = 0) const;

    // Rows inserted or deleted at pos (on this sheet or another one the formulas refer to);
    // rows deleted on this sheet must have been emptied first.
    void ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info);
    // n copies of rows first..last inserted before dest; the sources are found again after
    // the rows below dest moved down.
    void InsertAndCopyRows(int first, int last, int dest, int n, const TSheetShiftInfo &info,
                           bool onlyFormulas);
    void DeleteRows(int row, int count, const TSheetShiftInfo &info);

private:
    // The formula cells, listed again after cells were removed.
    const std::vector<TFormulaRecord *> &formulas();
    std::vector<TFormulaRecord *> m_formulas;
    bool m_formulasListed = false;
    // Set on load when a formula carries a data table or an array range; copies keep it.
    bool m_hasAttached = false;
    int findColumn(int row, int col, bool &found) const;
};

} // namespace xls
