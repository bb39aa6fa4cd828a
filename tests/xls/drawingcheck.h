#pragma once

#include <QByteArray>
#include <QStringList>

#include <vector>

// An independent reading of a saved Workbook stream's drawing layer, straight from the bytes
// (it uses nothing of the library's drawing classes), and a check of the tree's invariants.
namespace xlstest {

struct ShapeSeen
{
    int shapeId = 0;
    int objType = -1; // from the OBJ record, -1 without one
    int objId = -1;
    int firstRow = -1, lastRow = -1, firstCol = -1;
    int pictureId = 0; // store entry, 0 for none
};

struct NoteSeen
{
    int row, col, objId;
};

struct SheetDrawingSeen
{
    int dgId = -1;
    std::vector<ShapeSeen> shapes;
    std::vector<NoteSeen> notes;
    QStringList texts; // comment texts in drawing order
};

struct DrawingSeen
{
    std::vector<SheetDrawingSeen> sheets; // one per worksheet or chart sheet, in order
    std::vector<int> pictureUses;         // use count of each store entry
    QStringList problems;                 // broken invariants; empty when sound
};

// Shape ids unique in the workbook and inside their drawing's clusters, counters that cover
// them, client records where the tree says, object ids unique, every note naming one comment.
DrawingSeen inspectDrawings(const QByteArray &stream);

} // namespace xlstest
