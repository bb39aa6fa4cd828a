#pragma once

#include "xls/formula.h"
#include "xls/records.h"

#include <memory>
#include <vector>

// The Office drawing (Escher) layer: the workbook's drawing group (picture store and shape-id
// clusters) and each sheet's drawing (shapes, their cell anchors and their OBJ / TXO client
// records). The trees are parsed whole so that shapes can be copied and moved with rows, and
// are re-split into BIFF records on save.
namespace xls {

using RecordList = std::vector<RecordPtr>;

enum EscherType : quint16 {
    ET_DggContainer = 0xF000,
    ET_BStoreContainer = 0xF001,
    ET_DgContainer = 0xF002,
    ET_SpgrContainer = 0xF003,
    ET_SpContainer = 0xF004,
    ET_SolverContainer = 0xF005,
    ET_Dgg = 0xF006,
    ET_BSE = 0xF007,
    ET_Dg = 0xF008,
    ET_Sp = 0xF00A,
    ET_Opt = 0xF00B,
    ET_ClientTextbox = 0xF00D,
    ET_ClientAnchor = 0xF010,
    ET_ClientData = 0xF011,
    ET_ConnectorRule = 0xF012,
    ET_AlignRule = 0xF013,
    ET_ArcRule = 0xF014,
    ET_CalloutRule = 0xF017,
};

// OBJ object types the library treats apart.
enum ObjType : quint16 {
    OT_Chart = 0x0005,
    OT_Picture = 0x0008,
    OT_Comment = 0x0019,
};

class TEscherRecord
{
public:
    quint16 VerInst = 0;
    quint16 Type = 0;
    QByteArray Data;                                      // an atom's bytes, kept verbatim
    std::vector<std::unique_ptr<TEscherRecord>> Children; // a container's records
    // The BIFF record that follows a client-data (OBJ) or client-text-box (TXO) record, with
    // its CONTINUE chain, and the chart sub-stream (BOF..EOF) that follows a chart's OBJ.
    RecordPtr Client;
    RecordList ClientChart;

    bool isContainer() const { return (VerInst & 0x000F) == 0x000F; }
    int instance() const { return VerInst >> 4; }
    qint64 totalSize() const;
    std::unique_ptr<TEscherRecord> copy() const;
    // The first descendant (or this) of the type, depth first.
    TEscherRecord *find(quint16 type);
    void findAll(quint16 type, std::vector<TEscherRecord *> &out);
    void write(QByteArray &out) const;
};

using EscherPtr = std::unique_ptr<TEscherRecord>;

// Parses one record tree from bytes. Every length is checked against what remains and
// against the container holding it; nesting is bounded.
EscherPtr parseEscher(const QByteArray &bytes, qsizetype &pos, qsizetype end, int depth = 0);

// Writes bytes as one record of id followed by CONTINUE records, none longer than 8224 bytes.
void writeSplit(ByteWriter &out, quint16 id, const QByteArray &bytes);

// A cell anchor: option word (bits 0-1: 0 move and size, 2 move only, 1 and 3 fixed) and the
// two corners.
struct TClientAnchor
{
    explicit TClientAnchor(TEscherRecord *r);
    bool valid() const { return Record && Record->Data.size() >= 18; }
    int kind() const;
    int firstRow() const;
    int lastRow() const;
    int firstCol() const;
    int lastCol() const;
    void setRows(int first, int last);
    void setFirstRowOffset(int v);
    void setLastRowOffset(int v);
    TEscherRecord *Record;
};

// The workbook's drawing group: picture store and the shape-id clusters of every drawing.
class TDrawingGroup
{
public:
    EscherPtr Root;
    void LoadFromBytes(const QByteArray &bytes);
    void SaveToStream(ByteWriter &out) const;

    TEscherRecord *Dgg() const;
    TEscherRecord *BStore(bool create);
    // A shape id free in the whole workbook for drawing dgId, after lastId when its cluster
    // still has room; the group's counters follow.
    quint32 NewShapeId(int dgId, quint32 lastId);
    void ShapeRemoved();
    // Picture entries, 1-based as shapes refer to them.
    TEscherRecord *BSE(int index) const;
    void UseBSE(int index);
    void ReleaseBSE(int index);
    // Finds an equal entry or adds the one built from the picture bytes; returns its index.
    int AddPicture(const QByteArray &picture, int pictureType);
};

// Picture bytes and kind (0 EMF, 1 WMF, 2 JPEG, 3 PNG, 4 DIB, 5 other) of a store entry.
QByteArray pictureOfBSE(const TEscherRecord &bse, int &pictureType);
// The store entry (type 0xF007 with its BLIP) for picture bytes of the kind.
EscherPtr makeBSE(const QByteArray &picture, int pictureType);

// Walks the series links (AI records) of a chart's records.
void ArrangeChartInsertRows(RecordList &records, int pos, int delta, const TSheetShiftInfo &info);
void ArrangeChartCopySheet(RecordList &records, const TSheetShiftInfo &info);

// A sheet's drawing.
class TDrawing
{
public:
    // A piece of client data met while reading the sheet: the record and where in the
    // drawing's bytes it came.
    struct ClientPiece
    {
        qsizetype Offset;
        RecordPtr Record;
        RecordList Chart;
    };

    // A top-level shape with what the row operations read of it.
    struct TShapeEntry
    {
        TEscherRecord *Shape;
        TEscherRecord *Anchor;
        int ObjType;
        int ObjId;
    };

    EscherPtr Root;
    TDrawingGroup *Group = nullptr; // may be null when the workbook has no drawing group
    int ObjectCounter = 0;          // highest OBJ id of the sheet

    void Load(const QByteArray &bytes, std::vector<ClientPiece> &clients);
    void SaveToStream(ByteWriter &out) const;
    std::unique_ptr<TDrawing> clone(TDrawingGroup *group) const;

    TEscherRecord *Dg() const;
    TEscherRecord *Patriarch() const; // the top shape group
    // The top-level shapes after the group's own shape, in drawing order. The list is kept
    // between calls and follows copied shapes, so that copying a row one call at a time does
    // not search a drawing that grows with every comment.
    const std::vector<TShapeEntry> &index() const;
    std::vector<TEscherRecord *> shapes() const;
    static TEscherRecord *anchorOf(TEscherRecord *shape);
    static TBaseRecord *objOf(TEscherRecord *shape);
    static TBaseRecord *txoOf(TEscherRecord *shape);
    static int objType(TEscherRecord *shape);
    static int objId(TEscherRecord *shape);
    // The picture-store entry (1-based) a picture shape shows, 0 when none.
    static int pictureId(TEscherRecord *shape);
    // Points the shape at another entry, adding the property when the shape has none.
    static void setPictureId(TEscherRecord *shape, int id);
    // The shape's name property, empty when it has none.
    static QString shapeName(TEscherRecord *shape);
    // Pictures (OBJ type picture) in drawing order.
    std::vector<TEscherRecord *> pictures() const;
    TEscherRecord *shapeByObjId(int id) const;

    // Rows moved on this sheet: anchors follow by their kind; comment shapes are left to
    // their notes.
    void ArrangeInsertRows(int pos, int delta);
    // After the insertion: shapes inside the block copied into each copy.
    void CopyRows(int blockFirst, int blockLast, int dest, int copies);
    // Shapes inside the deleted rows removed, the rest moved up.
    void DeleteRows(int row, int count);
    // Embedded charts' links follow rows moved in any sheet.
    void ArrangeCharts(int pos, int delta, const TSheetShiftInfo &info);
    void ArrangeChartsCopySheet(const TSheetShiftInfo &info);

    // A copy of a shape moved by rowOffset, with new shape and object ids, added to the
    // drawing; returns it.
    TEscherRecord *CopyShape(TEscherRecord *shape, int rowOffset);
    void RemoveShape(TEscherRecord *shape);
    static void MoveShape(TEscherRecord *shape, int rowOffset);

private:
    TShapeEntry entryOf(TEscherRecord *shape) const;
    // Client data that carries an embedded chart, anywhere in the tree.
    const std::vector<TEscherRecord *> &charts() const;
    TEscherRecord *Solver() const;
    mutable std::vector<TShapeEntry> m_index;
    mutable std::vector<TEscherRecord *> m_charts;
    mutable bool m_indexed = false;
    // Rules (connectors, arcs, callouts) link shapes by id: a copied shape takes a copy of
    // the rules that belong to it; a removed one leaves no link behind.
    void copyRules(quint32 oldId, quint32 newId);
    void removeRules(quint32 id);
};

// Comment text of a TXO record, read across all its CONTINUE records.
QString txoText(const TBaseRecord &txo);
// Replaces the text (and its formatting runs) of a TXO record.
void setTxoText(TBaseRecord &txo, const QString &text);

} // namespace xls
