#pragma once

#include "xls/cells.h"
#include "xls/escher.h"
#include "xls/formats.h"
#include "xls/formula.h"
#include "xls/ranges.h"
#include "xls/records.h"
#include "xls/xlsstrings.h"

#include <memory>
#include <vector>

// The workbook as sections: the globals and one section per sheet, each a set of typed
// records and lists, written back in a fixed order.
namespace xls {

// Stands in the globals' record list for a whole list (XF, FONT or FORMAT), so that the list
// is written where its first record was.
class TSubListRecord : public TBaseRecord
{
public:
    explicit TSubListRecord(RecordList *list) : TBaseRecord(0, QByteArray()), List(list) {}
    RecordPtr CopyTo() const override { return std::make_unique<TSubListRecord>(List); }
    void SaveToStream(ByteWriter &out) const override;
    qint64 TotalSize() const override { return 0; }
    RecordList *List;
};

struct TExternRef
{
    int SupBook = 0;
    int FirstSheet = 0;
    int LastSheet = 0;
};

// SUPBOOK records and the EXTERNSHEET table that 3-D references point through.
class TReferences
{
public:
    RecordList SupBooks;
    std::vector<TExternRef> ExternRefs;
    int LocalSupBook = -1;
    bool HasExternSheet = false;

    void clear();
    void AddSupBook(RecordPtr record);
    void LoadExternSheet(const TBaseRecord &record);
    void SaveToStream(ByteWriter &out) const;
    int GetSheetOfRef(int ref) const;
    int GetRefOfSheet(int sheet);
    // count sheets inserted at position: entries of the local book that point at or after
    // it move along. The check raises, before anything changes, when they would not fit.
    void CheckInsertSheets(int position, int count) const;
    void ArrangeInsertSheets(int position, int count);
};

class TBaseSection
{
public:
    virtual ~TBaseSection() = default;
    RecordPtr BOF;
    RecordPtr EOF_;
    virtual void SaveToStream(ByteWriter &out) const = 0;

protected:
    void checkLoaded() const;
};

class TWorkbookGlobals : public TBaseSection
{
public:
    TSST SST;
    TReferences References;
    RecordList BoundSheets;
    TSheetNameList SheetNames;
    RecordList Records;
    RecordList Names;
    std::unique_ptr<TDrawingGroup> DrawingGroup; // null when the workbook has no drawings
    TWindow1Record *Window1 = nullptr;
    RecordList XFs, Fonts, Formats;
    TPaletteRecord *Palette = nullptr;
    int PaletteIndex = 0;

    void Clear();
    void LoadFromStream(RecordReader &reader, RecordPtr bof);
    void SaveToStream(ByteWriter &out) const override;

    TBoundSheetRecord &boundSheet(int i) const;
    quint32 GetColor(int index) const;
    void SetColor(int index, quint32 color);
    QString GetFormatString(int formatIndex) const;
};

class TSheet : public TBaseSection
{
public:
    explicit TSheet(TWorkbookGlobals *globals) : Globals(globals) {}
    TWorkbookGlobals *Globals;
    TWindow2Record *Window2 = nullptr;
    virtual void LoadFromStream(RecordReader &reader, RecordPtr bof) = 0;
    virtual std::unique_ptr<TSheet> Clone() const = 0;
    // Raise what the row operations would raise on a row limit, before anything moves: a
    // refused call leaves the sheet as it was.
    virtual void CheckInsertAndCopyRows(int, int, int, int) const {}
    virtual void CheckDeleteRows(int, int) const {}
    // Rows copied or deleted on this sheet.
    virtual void InsertAndCopyRows(int first, int last, int dest, int n,
                                   const TSheetShiftInfo &info, bool onlyFormulas) = 0;
    virtual void DeleteRows(int row, int count, const TSheetShiftInfo &info) = 0;
    // Rows moved on another sheet: formulas pointing there follow.
    virtual void ArrangeInsertRows(int pos, int delta, const TSheetShiftInfo &info) = 0;
    // A fresh copy of a sheet: its references to the source sheet point at the copy.
    virtual void ArrangeCopySheet(const TSheetShiftInfo &info) = 0;
};

class TWorkSheet : public TSheet
{
public:
    explicit TWorkSheet(TWorkbookGlobals *globals);
    RecordList Head;
    RecordList Tail;
    TPageBreakList PageBreaks;
    std::unique_ptr<TDrawing> Drawing; // null when the sheet has no drawing
    TColInfoList ColInfos;
    std::unique_ptr<TCells> Cells;
    std::unique_ptr<TRangeList> Ranges;
    // NOTE records, each naming its comment shape by the shape's OBJ id; once rows were
    // copied they are in row and column order.
    std::vector<std::unique_ptr<TNoteRecord>> Notes;
    int DefRowHeight = 255;
    int DefColWidth = 2900;

    void LoadFromStream(RecordReader &reader, RecordPtr bof) override;
    void SaveToStream(ByteWriter &out) const override;
    std::unique_ptr<TSheet> Clone() const override;
    void CheckInsertAndCopyRows(int first, int last, int dest, int n) const override;
    void CheckDeleteRows(int row, int count) const override;
    void InsertAndCopyRows(int first, int last, int dest, int n, const TSheetShiftInfo &info,
                           bool onlyFormulas) override;
    void DeleteRows(int row, int count, const TSheetShiftInfo &info) override;
    void ArrangeInsertRows(int pos, int delta, const TSheetShiftInfo &info) override;
    void ArrangeCopySheet(const TSheetShiftInfo &info) override;

    // The comment shape of a note, or null.
    TEscherRecord *NoteShape(const TNoteRecord &note) const { return note.Shape; }
    // The notes of a row, in column order.
    std::vector<TNoteRecord *> NotesOfRow(int row) const;
    QString NoteText(const TNoteRecord &note) const;
    // An empty text removes the note and its shape.
    void SetNoteText(TNoteRecord *note, const QString &text);

private:
    // Gives each note the comment shape its object id names.
    void linkNotes();
    void moveNotes(int pos, int delta);
    void copyNotes(int blockFirst, int blockLast, int dest, int copies);
    void deleteNotes(int row, int count);
    void sortNotes();
    bool m_notesSorted = false;
};

class TChart : public TSheet
{
public:
    using TSheet::TSheet;
    RecordList Records;
    void LoadFromStream(RecordReader &reader, RecordPtr bof) override;
    void SaveToStream(ByteWriter &out) const override;
    std::unique_ptr<TSheet> Clone() const override;
    void InsertAndCopyRows(int, int, int, int, const TSheetShiftInfo &, bool) override {}
    void DeleteRows(int, int, const TSheetShiftInfo &) override {}
    // Series links follow rows moved in the worksheets they point to.
    void ArrangeInsertRows(int pos, int delta, const TSheetShiftInfo &info) override;
    void ArrangeCopySheet(const TSheetShiftInfo &info) override;
};

class TWorkbook
{
public:
    TWorkbook();
    ~TWorkbook();

    // The globals come first: the sheets' text cells point into its string table.
    TWorkbookGlobals Globals;
    std::vector<std::unique_ptr<TSheet>> Sheets;

    void Clear();
    void LoadFromStream(const QByteArray &stream);
    QByteArray SaveToStream();

    int SheetCount() const { return int(Globals.BoundSheets.size()); }
    bool validSheet(int index) const { return index >= 0 && index < int(Sheets.size()); }
    TSheet *Sheet(int index) const;
    TWorkSheet *WorkSheet(int index) const; // null for a chart sheet or a bad index
    bool IsWorksheet(int index) const { return WorkSheet(index) != nullptr; }
    int ActiveTab() const;
    void SelectSheet(int index);

    // The shifting context for rows that move on sheet.
    TSheetShiftInfo shiftInfo(int insertedSheet, int formulaSheet);
    // Checked as the adapter states, then the sheet, every other sheet and the names follow.
    void InsertAndCopyRows(int sheet, int first, int last, int dest, int count, bool onlyFormulas);
    void DeleteRows(int sheet, int row, int count);
    // count copies of sheet copyFrom inserted before sheet before (0-based), named from
    // "Sheet"; names local to the copied sheet are copied with it.
    void InsertSheets(int copyFrom, int before, int count);
};

} // namespace xls
