#pragma once

#include "xls/cells.h"

#include <functional>

// Formula cells and the token arrays (parsed expressions) they carry. Tokens are rewritten in
// place, never parsed into text; every step is checked against the token array's end.
namespace xls {

// Who moves and who is being adjusted when rows move.
struct TSheetShiftInfo
{
    int InsertedSheet = -1;                // the sheet whose rows move
    int FormulaSheet = -1;                 // the sheet that holds the formula being walked
    std::function<int(int)> GetSheetOfRef; // external-sheet index -> sheet index, or -1
    std::function<int(int)> GetRefOfSheet; // sheet index -> external-sheet index
};

// The size of the token at pos (token byte included); ETokenException for a token the walker
// does not know, and for one that runs past end.
int tokenSize(const QByteArray &data, int pos, int end);

// Turns the relative tokens of a shared formula into plain ones anchored at (row, col).
void OffsetRelativeReferences(QByteArray &data, int start, int end, int row, int col);

// Moves the references of a token array for rows inserted (count > 0) or deleted (count < 0)
// at row on the context's inserted sheet, then, with a copy offset, moves the relative rows
// (every row when relativeOnly is off) by that offset. A reference into deleted rows, or moved
// below row 0, becomes its #REF! form; beyond row 65535 it stays at 65535. Raises
// ETokenException for a token the walker does not know. Returns the highest row word the
// array holds afterwards (-1 for none): rows that move below it leave the array as it is.
int ArrangeTokensInsertRows(QByteArray &data, int start, int end, int row, int count,
                            int copyOffset, const TSheetShiftInfo &info, bool relativeOnly);

// Sheet-copy mode: 3-D references to the formula's own sheet are pointed at the copy.
void ArrangeTokensInsertSheets(QByteArray &data, int start, int end, const TSheetShiftInfo &info);

class TFormulaRecord : public TCellRecord
{
public:
    TFormulaRecord(quint16 id, QByteArray data);
    RecordPtr CopyTo() const override;
    void SaveToStream(ByteWriter &out) const override;
    QVariant GetValue() const override { return Value; }
    // Rows inserted or deleted: the cell's own row (on its own sheet), its references, and
    // the rows of an attached data table or array range.
    void ArrangeInsert(int pos, int delta, const TSheetShiftInfo &info) override;
    // A copy moved to another row: relative rows follow by the row offset.
    void SetRow(int row) override;
    // Raises what ArrangeInsert(pos, delta) and then SetRow by any offset from minOffset to
    // maxOffset would raise on the attached records, so that it is known before anything
    // moves.
    void CheckAttachedRows(int pos, int delta, int minOffset, int maxOffset) const;

    int cce() const { return getWord(20); }
    // True for a formula that only points at a shared or array formula (key = row | col << 16).
    bool IsExp(quint32 &key) const;
    // Takes the shared formula's tokens in place of the pointer.
    void MixShared(const QByteArray &tokens);
    void setStringResult(const QString &text) { Value = text; }

    QVariant Value;                  // the cached result read at load
    std::vector<RecordPtr> Attached; // TABLE or ARRAY records written right after the cell

private:
    // The highest row the cell, its references and its attached records hold, known once a
    // walk went through every token (-1 until then).
    int m_highestRow = -1;
};

class TShrFmlaRecord : public TRecordOf<TShrFmlaRecord>
{
public:
    using TRecordOf::TRecordOf;
    quint32 key() const { return quint32(getWord(0)) | (quint32(getByte(4)) << 16); }
    QByteArray tokens() const;
};

} // namespace xls
