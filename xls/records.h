#pragma once

#include <QByteArray>

#include <memory>
#include <vector>

// The BIFF8 record layer: every record is held as its raw bytes; a record class only adds
// accessors to fields of those bytes. Field accessors check the record's length, so a short
// record of a damaged file is refused instead of being read past its end.
namespace xls {

class TBaseRecord;
using RecordPtr = std::unique_ptr<TBaseRecord>;

// Record ids the library knows by name.
enum RecordId : quint16 {
    RID_FORMULA = 0x0006,
    RID_EOF = 0x000A,
    RID_EXTERNSHEET = 0x0017,
    RID_NAME = 0x0018,
    RID_HPAGEBREAKS = 0x001B,
    RID_NOTE = 0x001C,
    RID_FILEPASS = 0x002F,
    RID_FONT = 0x0031,
    RID_CONTINUE = 0x003C,
    RID_WINDOW1 = 0x003D,
    RID_DEFCOLWIDTH = 0x0055,
    RID_XCT = 0x0059,
    RID_CRN = 0x005A,
    RID_OBJ = 0x005D,
    RID_COLINFO = 0x007D,
    RID_BOUNDSHEET = 0x0085,
    RID_PALETTE = 0x0092,
    RID_MULRK = 0x00BD,
    RID_MULBLANK = 0x00BE,
    RID_DBCELL = 0x00D7,
    RID_XF = 0x00E0,
    RID_MERGEDCELLS = 0x00E5,
    RID_MSODRAWINGGROUP = 0x00EB,
    RID_MSODRAWING = 0x00EC,
    RID_MSODRAWINGSELECTION = 0x00ED,
    RID_SST = 0x00FC,
    RID_LABELSST = 0x00FD,
    RID_EXTSST = 0x00FF,
    RID_SUPBOOK = 0x01AE,
    RID_CONDFMT = 0x01B0,
    RID_CF = 0x01B1,
    RID_DVAL = 0x01B2,
    RID_TXO = 0x01B6,
    RID_RECALCID = 0x01C1,
    RID_DIMENSIONS = 0x0200,
    RID_BLANK = 0x0201,
    RID_NUMBER = 0x0203,
    RID_BOOLERR = 0x0205,
    RID_STRING = 0x0207,
    RID_ROW = 0x0208,
    RID_INDEX = 0x020B,
    RID_ARRAY = 0x0221,
    RID_DEFAULTROWHEIGHT = 0x0225,
    RID_TABLE = 0x0236,
    RID_WINDOW2 = 0x023E,
    RID_RK = 0x027E,
    RID_STYLE = 0x0293,
    RID_FORMAT = 0x041E,
    RID_SHRFMLA = 0x04BC,
    RID_BOF = 0x0809,
};

// Appends little-endian values to the output stream.
class ByteWriter
{
public:
    QByteArray bytes;
    qsizetype pos() const { return bytes.size(); }
    void u8(quint8 v) { bytes.append(char(v)); }
    void u16(quint16 v);
    void u32(quint32 v);
    void append(const QByteArray &b) { bytes.append(b); }
    // A record header; data longer than a record can hold is a writing failure.
    void header(quint16 id, qsizetype size);
};

class TBaseRecord
{
public:
    TBaseRecord(quint16 id, QByteArray data);
    virtual ~TBaseRecord();
    TBaseRecord(const TBaseRecord &) = delete;
    TBaseRecord &operator=(const TBaseRecord &) = delete;

    quint16 Id;
    QByteArray Data;
    RecordPtr Continue; // the CONTINUE record that follows, owned

    int DataSize() const { return int(Data.size()); }

    // A copy of the same class with a copy of the data and of the CONTINUE chain.
    virtual RecordPtr CopyTo() const;
    virtual void SaveToStream(ByteWriter &out) const;
    virtual qint64 TotalSize() const;

    // Field access; reading or writing past the data raises "Error reading Excel records.
    // File invalid".
    quint8 getByte(int off) const;
    quint16 getWord(int off) const;
    quint32 getDWord(int off) const;
    void setByte(int off, quint8 v);
    void setWord(int off, quint16 v);
    void setDWord(int off, quint32 v);
    // A bounded 16-bit add: "Too many entries for this kind of record" outside 0..max.
    void incWord(int off, int delta, int max);

    // The CONTINUE records after this one (this record excluded), in order.
    std::vector<TBaseRecord *> continues() const;

protected:
    // Copies the base fields into a record already made of the derived class.
    RecordPtr finishCopy(RecordPtr copy) const;
};

// Factory helper for the plain classes: T(id, data).
template <class T> class TRecordOf : public TBaseRecord
{
public:
    using TBaseRecord::TBaseRecord;
    RecordPtr CopyTo() const override { return finishCopy(std::make_unique<T>(Id, Data)); }
};

class TContinueRecord : public TRecordOf<TContinueRecord>
{
public:
    using TRecordOf::TRecordOf;
};

class TBOFRecord : public TRecordOf<TBOFRecord>
{
public:
    using TRecordOf::TRecordOf;
    quint16 version() const { return getWord(0); }
    quint16 sectionType() const { return getWord(2); }
};

class TEOFRecord : public TRecordOf<TEOFRecord>
{
public:
    using TRecordOf::TRecordOf;
};

class TWindow1Record : public TRecordOf<TWindow1Record>
{
public:
    using TRecordOf::TRecordOf;
    int activeTab() const { return getWord(10); }
    void setActiveTab(int tab);
};

class TWindow2Record : public TBaseRecord
{
public:
    using TBaseRecord::TBaseRecord;
    RecordPtr CopyTo() const override; // the copy is neither the selected nor the shown sheet
    bool showGridLines() const { return getWord(0) & 0x0002; }
    void setShowGridLines(bool on);
    void setSelected(bool on);
};

class TDefColWidthRecord : public TRecordOf<TDefColWidthRecord>
{
public:
    using TRecordOf::TRecordOf;
};

class TDefRowHeightRecord : public TRecordOf<TDefRowHeightRecord>
{
public:
    using TRecordOf::TRecordOf;
};

class TBoundSheetRecord : public TRecordOf<TBoundSheetRecord>
{
public:
    using TRecordOf::TRecordOf;
    quint32 position() const { return getDWord(0); }
    void setPosition(quint32 p) { setDWord(0, p); }
    quint16 options() const { return getWord(4); }
    QString sheetName() const;
    void setSheetName(const QString &name);
};

class TEscherRecord;

// A cell comment: its cell (row word 0, column word 2) and the object id of its comment shape
// (word 6). The shape and its anchor are linked when the sheet is read, so that moving
// thousands of notes never searches the drawing for them.
class TNoteRecord : public TRecordOf<TNoteRecord>
{
public:
    using TRecordOf::TRecordOf;
    int row() const { return getWord(0); }
    int column() const { return getWord(2); }
    int objId() const { return getWord(6); }
    TEscherRecord *Shape = nullptr;
    TEscherRecord *Anchor = nullptr;
};

class TStringRecord : public TRecordOf<TStringRecord>
{
public:
    using TRecordOf::TRecordOf;
    QString text() const;
};

// Reads bytes across a record and its CONTINUE records.
class RecordCursor
{
public:
    explicit RecordCursor(const TBaseRecord *record, int offset = 0);
    const TBaseRecord *record() const { return m_record; }
    int offset() const { return m_offset; }
    // Bytes left in the current record.
    int leftInRecord() const { return m_record ? m_record->DataSize() - m_offset : 0; }
    // Bytes left in this record and every CONTINUE after it.
    qint64 leftInChain() const;
    // Moves to the next CONTINUE record; "Error reading record" when there is none.
    void nextRecord();
    quint8 byte();
    quint16 word();
    quint32 dword();
    QByteArray read(qint64 n);

private:
    const TBaseRecord *m_record;
    int m_offset;
};

// Reads the records of a stream, each with its CONTINUE records attached.
class RecordReader
{
public:
    explicit RecordReader(const QByteArray &stream);
    // False at the end of the stream or at a record of id 0.
    bool atEnd() const;
    // The next record with its CONTINUE chain (and a TABLE attached to a FORMULA).
    RecordPtr next();
    // The id of the next record, or -1 at the end.
    int peekId() const;

private:
    RecordPtr readOne();
    const QByteArray &m_stream;
    qsizetype m_pos = 0;
};

RecordPtr createRecord(quint16 id, QByteArray data);

} // namespace xls
