#include "drawingcheck.h"
#include "xlstestutil.h"

#include "xls/escher.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>

using namespace xls;
using namespace xlstest;

// The drawing layer on the LibreOffice-made "drawings" fixture: sheet "Modello" holds a
// comment on A4 and C5 (rows 3 and 4 inside the model rows 3..5), a picture of more than
// 8 KB anchored on rows 3..5 (moves and sizes with cells), an embedded bar chart over B4:B6
// anchored on rows 0..6, and a comment on B16 (row 15). Rows are 0-based here.
namespace {

std::unique_ptr<TWorkbook> loadDrawings()
{
    auto wb = std::make_unique<TWorkbook>();
    wb->LoadFromStream(workbookStream(fixture(QStringLiteral("drawings.xls"))));
    return wb;
}

std::vector<ShapeSeen> shapesOfType(const SheetDrawingSeen &s, int type)
{
    std::vector<ShapeSeen> out;
    std::copy_if(s.shapes.begin(), s.shapes.end(), std::back_inserter(out),
                 [type](const ShapeSeen &x) { return x.objType == type; });
    std::sort(out.begin(), out.end(),
              [](const ShapeSeen &a, const ShapeSeen &b) { return a.firstRow < b.firstRow; });
    return out;
}

std::vector<int> firstRows(const std::vector<ShapeSeen> &shapes)
{
    std::vector<int> rows;
    for (const ShapeSeen &s : shapes)
        rows.push_back(s.firstRow);
    return rows;
}

std::vector<int> noteRows(const SheetDrawingSeen &s)
{
    std::vector<int> rows;
    for (const NoteSeen &n : s.notes)
        rows.push_back(n.row);
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The drawing records of a stream (group, drawings, client records, notes, their
// CONTINUE records, embedded chart records), in order.
std::vector<RawRecord> drawingRecords(const QByteArray &stream)
{
    std::vector<RawRecord> out;
    quint16 last = 0;
    bool inChart = false;
    int depth = 0;
    for (const RawRecord &r : splitRecords(stream)) {
        if (r.id == 0x0809 && ++depth == 2)
            inChart = true;
        const bool drawing = r.id == 0xEB || r.id == 0xEC || r.id == 0x5D || r.id == 0x1B6 ||
                             r.id == 0x1C ||
                             (r.id == 0x3C && (last == 0xEB || last == 0xEC || last == 0x1B6));
        if (drawing || inChart)
            out.push_back({r.id, r.data, 0});
        if (r.id == 0x000A && --depth == 1)
            inChart = false;
        if (r.id != 0x3C)
            last = r.id;
    }
    return out;
}

// The first-row fields of the area references in a chart's series links.
std::vector<int> chartLinkRows(const QByteArray &stream)
{
    std::vector<int> rows;
    for (const RawRecord &r : splitRecords(stream))
        if (r.id == 0x1051 && r.data.size() >= 8 &&
            qFromLittleEndian<quint16>(r.data.constData() + 6) > 0 && quint8(r.data.at(8)) == 0x3B)
            rows.push_back(qFromLittleEndian<quint16>(r.data.constData() + 11));
    return rows;
}

} // namespace

TEST(DrawingLayer, AnUnchangedWorkbookWritesItsDrawingRecordsAsRead)
{
    for (const char *name : {"drawings.xls", "rich.xls"}) {
        SCOPED_TRACE(name);
        const QByteArray stream = workbookStream(fixture(QString::fromLatin1(name)));
        TWorkbook wb;
        wb.LoadFromStream(stream);
        const QByteArray saved = wb.SaveToStream();
        const auto before = drawingRecords(stream);
        const auto after = drawingRecords(saved);
        ASSERT_EQ(before.size(), after.size());
        for (size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(before[i].id, after[i].id) << i;
            EXPECT_EQ(before[i].data, after[i].data) << i;
        }
        EXPECT_TRUE(inspectDrawings(saved).problems.isEmpty())
            << inspectDrawings(saved).problems.join('\n').toStdString();
    }
}

TEST(DrawingLayer, TheDrawingGroupIsReadThroughItsContinueRecords)
{
    // The fixture's picture store is larger than one record: LibreOffice continues it.
    const QByteArray stream = workbookStream(fixture(QStringLiteral("drawings.xls")));
    const auto records = drawingRecords(stream);
    ASSERT_GE(records.size(), 2u);
    ASSERT_EQ(records[0].id, 0xEB);
    ASSERT_EQ(records[1].id, 0x3C);
    auto wb = loadDrawings();
    ASSERT_TRUE(wb->Globals.DrawingGroup);
    const TEscherRecord *bse = wb->Globals.DrawingGroup->BSE(1);
    ASSERT_TRUE(bse);
    int type = -1;
    const QByteArray picture = pictureOfBSE(*bse, type);
    EXPECT_EQ(type, 3);
    EXPECT_TRUE(picture.startsWith("\x89PNG"));
    EXPECT_GT(picture.size(), 8224);
}

TEST(DrawingLayer, CopiedRowsCarryTheirPictureAndCommentsAndEverythingBelowMoves)
{
    auto wb = loadDrawings();
    // Model rows 3..5 copied twice before row 6: copies at 6..8 and 9..11.
    wb->InsertAndCopyRows(0, 3, 5, 6, 2, false);
    const QByteArray saved = wb->SaveToStream();
    const DrawingSeen seen = inspectDrawings(saved);
    ASSERT_TRUE(seen.problems.isEmpty()) << seen.problems.join('\n').toStdString();
    const SheetDrawingSeen &sheet = seen.sheets[0];

    const auto pictures = shapesOfType(sheet, OT_Picture);
    EXPECT_EQ(firstRows(pictures), (std::vector<int>{3, 6, 9}));
    for (const ShapeSeen &p : pictures) {
        EXPECT_EQ(p.lastRow - p.firstRow, 2);
        EXPECT_EQ(p.pictureId, pictures[0].pictureId);
    }
    // The store entry counts its new users.
    ASSERT_GE(pictures[0].pictureId, 1);
    const QByteArray original = workbookStream(fixture(QStringLiteral("drawings.xls")));
    const int usesBefore = inspectDrawings(original).pictureUses[size_t(pictures[0].pictureId - 1)];
    EXPECT_EQ(seen.pictureUses[size_t(pictures[0].pictureId - 1)], usesBefore + 2);

    // Comment shapes are copied once, with their notes; the last note moves down by six.
    EXPECT_EQ(noteRows(sheet), (std::vector<int>{3, 4, 6, 7, 9, 10, 21}));
    const auto comments = shapesOfType(sheet, OT_Comment);
    EXPECT_EQ(comments.size(), 7u);
    EXPECT_EQ(sheet.texts.count(QStringLiteral("Nome della materia")), 3);
    EXPECT_EQ(sheet.texts.count(QStringLiteral("Seconda nota: città")), 3);

    // The chart straddles the insertion row: it grows by the inserted rows.
    const auto charts = shapesOfType(sheet, OT_Chart);
    ASSERT_EQ(charts.size(), 1u);
    EXPECT_EQ(charts[0].firstRow, 0);
    EXPECT_EQ(charts[0].lastRow, 12);

    // The saved file reads back in our library and again gives the same picture.
    TWorkbook again;
    again.LoadFromStream(saved);
    EXPECT_EQ(again.WorkSheet(0)->Drawing->pictures().size(), 3u);
}

TEST(DrawingLayer, CopiedCommentsNameTheirOwnObjectAboveTheSheetsHighestId)
{
    auto wb = loadDrawings();
    const int highest = wb->WorkSheet(0)->Drawing->ObjectCounter;
    EXPECT_EQ(highest, 5); // three comments, the picture and the chart
    wb->InsertAndCopyRows(0, 3, 3, 4, 1, false);
    TWorkSheet *ws = wb->WorkSheet(0);
    const auto notes = ws->NotesOfRow(4);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_GT(notes[0]->getWord(6), highest);
    EXPECT_EQ(ws->NoteText(*notes[0]), QStringLiteral("Nome della materia"));
    // The copy names the copied shape's object, not its shape id.
    TEscherRecord *shape = ws->NoteShape(*notes[0]);
    ASSERT_TRUE(shape);
    EXPECT_EQ(TDrawing::objId(shape), notes[0]->getWord(6));
    EXPECT_NE(TDrawing::objId(shape),
              int(qFromLittleEndian<quint32>(shape->find(ET_Sp)->Data.constData())));
}

TEST(DrawingLayer, CopiesAboveTheBlockPushItDown)
{
    auto wb = loadDrawings();
    wb->InsertAndCopyRows(0, 3, 5, 3, 1, false);
    const DrawingSeen seen = inspectDrawings(wb->SaveToStream());
    ASSERT_TRUE(seen.problems.isEmpty()) << seen.problems.join('\n').toStdString();
    EXPECT_EQ(firstRows(shapesOfType(seen.sheets[0], OT_Picture)), (std::vector<int>{3, 6}));
    EXPECT_EQ(noteRows(seen.sheets[0]), (std::vector<int>{3, 4, 6, 7, 18}));
}

TEST(DrawingLayer, FixedShapesStayWhereTheyAre)
{
    auto wb = loadDrawings();
    TDrawing &d = *wb->WorkSheet(0)->Drawing;
    TEscherRecord *picture = d.pictures().front();
    TEscherRecord *anchor = TDrawing::anchorOf(picture);
    for (int kind : {1, 3}) {
        anchor->Data[0] = char(kind);
        d.ArrangeInsertRows(0, 5);
        d.CopyRows(3, 5, 6, 1);
        EXPECT_EQ(TClientAnchor(anchor).firstRow(), 3);
        EXPECT_EQ(d.pictures().size(), 1u);
    }
    // Move but do not size: a shape starting at or below the row moves whole.
    anchor->Data[0] = char(2);
    d.ArrangeInsertRows(3, 4);
    EXPECT_EQ(TClientAnchor(anchor).firstRow(), 7);
    EXPECT_EQ(TClientAnchor(anchor).lastRow(), 9);
    d.ArrangeInsertRows(8, 4); // starts above the row: stays, and is not stretched
    EXPECT_EQ(TClientAnchor(anchor).lastRow(), 9);
}

TEST(DrawingLayer, DeletedRowsTakeTheirShapesAndComments)
{
    auto wb = loadDrawings();
    wb->DeleteRows(0, 3, 3);
    const DrawingSeen seen = inspectDrawings(wb->SaveToStream());
    ASSERT_TRUE(seen.problems.isEmpty()) << seen.problems.join('\n').toStdString();
    const SheetDrawingSeen &sheet = seen.sheets[0];
    EXPECT_TRUE(shapesOfType(sheet, OT_Picture).empty());
    EXPECT_EQ(noteRows(sheet), (std::vector<int>{12}));
    EXPECT_EQ(sheet.texts, QStringList{QStringLiteral("Nota in fondo")});
    // The chart loses the deleted rows from its end.
    const auto charts = shapesOfType(sheet, OT_Chart);
    ASSERT_EQ(charts.size(), 1u);
    EXPECT_EQ(charts[0].lastRow, 3);
    // The picture's last user is gone.
    EXPECT_EQ(seen.pictureUses[0], 0);
}

TEST(DrawingLayer, ChartLinksFollowRowsInsertedAboveTheirData)
{
    auto wb = loadDrawings();
    const QByteArray before = wb->SaveToStream();
    EXPECT_EQ(chartLinkRows(before), (std::vector<int>{3, 3}));
    wb->InsertAndCopyRows(0, 0, 0, 1, 2, false);
    EXPECT_EQ(chartLinkRows(wb->SaveToStream()), (std::vector<int>{5, 5}));
    // Rows inserted below the data leave the links alone.
    wb->InsertAndCopyRows(0, 0, 0, 30, 1, false);
    EXPECT_EQ(chartLinkRows(wb->SaveToStream()), (std::vector<int>{5, 5}));
    wb->DeleteRows(0, 0, 1);
    EXPECT_EQ(chartLinkRows(wb->SaveToStream()), (std::vector<int>{4, 4}));
}

TEST(DrawingLayer, ChartSheetLinksFollowTheirWorksheetAndLiteralSeriesStay)
{
    // A chart sheet's records: a literal series, a link to sheet 0 rows 3..5, a bad token.
    auto ai = [](const QByteArray &tokens) {
        return std::make_unique<TBaseRecord>(0x1051, le16(1) + QByteArray(4, '\0') +
                                                         le16(quint16(tokens.size())) + tokens);
    };
    const QByteArray area3d =
        QByteArray(1, char(0x3B)) + le16(0) + le16(3) + le16(5) + le16(1) + le16(1);
    RecordList records;
    records.push_back(ai(QByteArray()));
    records.push_back(ai(area3d));
    TSheetShiftInfo info;
    info.InsertedSheet = 0;
    info.FormulaSheet = 1;
    info.GetSheetOfRef = [](int ref) { return ref; };
    info.GetRefOfSheet = [](int sheet) { return sheet; };
    ArrangeChartInsertRows(records, 2, 4, info);
    EXPECT_EQ(records[0]->DataSize(), 8);
    EXPECT_EQ(records[1]->getWord(11), 7);
    EXPECT_EQ(records[1]->getWord(13), 9);
    records.push_back(ai(QByteArray(1, char(0x7F))));
    EXPECT_EQ(messageOf([&] { ArrangeChartInsertRows(records, 2, 4, info); }),
              QStringLiteral("Error in Chart formula. Token Id: 0x7F"));
}

TEST(DrawingLayer, ShapeIdsStayUniqueAcrossClustersAndCopiedSheets)
{
    auto wb = loadDrawings();
    // 350 copies of three rows: over a thousand new shapes, more than one id cluster holds.
    wb->InsertAndCopyRows(0, 3, 5, 6, 350, false);
    wb->InsertSheets(0, 2, 1);
    const QByteArray saved = wb->SaveToStream();
    const DrawingSeen seen = inspectDrawings(saved);
    ASSERT_TRUE(seen.problems.isEmpty()) << seen.problems.mid(0, 10).join('\n').toStdString();
    ASSERT_EQ(seen.sheets.size(), 3u);
    EXPECT_EQ(shapesOfType(seen.sheets[0], OT_Picture).size(), 351u);
    EXPECT_EQ(shapesOfType(seen.sheets[2], OT_Picture).size(), 351u);
    EXPECT_NE(seen.sheets[0].dgId, seen.sheets[2].dgId);
    TWorkbook again;
    again.LoadFromStream(saved);
    EXPECT_EQ(again.WorkSheet(2)->Notes.size(), 703u);
}

TEST(DrawingLayer, ALargeSheetDrawingIsSplitIntoContinueRecordsAndReadsBack)
{
    auto wb = loadDrawings();
    TEscherRecord *groupShape = wb->WorkSheet(0)->Drawing->Patriarch()->Children.front().get();
    auto big = std::make_unique<TEscherRecord>();
    big->Type = 0xF122;
    big->VerInst = 0x0003;
    for (int i = 0; i < 20000; ++i)
        big->Data.append(char(i % 251));
    groupShape->Children.push_back(std::move(big));
    const QByteArray saved = wb->SaveToStream();
    const auto records = drawingRecords(saved);
    auto first = std::find_if(records.begin(), records.end(),
                              [](const RawRecord &r) { return r.id == 0xEC; });
    ASSERT_NE(first, records.end());
    EXPECT_EQ(first->data.size(), 8224);
    EXPECT_EQ((first + 1)->id, 0x3C);
    EXPECT_EQ((first + 2)->id, 0x3C);
    EXPECT_TRUE(inspectDrawings(saved).problems.isEmpty());
    TWorkbook again;
    again.LoadFromStream(saved);
    QByteArray a, b;
    wb->WorkSheet(0)->Drawing->Root->write(a);
    again.WorkSheet(0)->Drawing->Root->write(b);
    EXPECT_EQ(a, b);
}

TEST(DrawingLayer, DamagedDrawingsAreRefusedWithTheLibrarysMessages)
{
    const QByteArray stream = workbookStream(fixture(QStringLiteral("drawings.xls")));
    auto mutate = [&](quint16 id, int offset, const QByteArray &bytes) {
        std::vector<RawRecord> recs = splitRecords(stream);
        for (RawRecord &r : recs)
            if (r.id == id) {
                r.data.replace(offset, bytes.size(), bytes);
                break;
            }
        return joinRecords(recs);
    };
    auto loadMessage = [](const QByteArray &s) {
        return messageOf([&] {
            TWorkbook wb;
            wb.LoadFromStream(s);
        });
    };
    // A container longer than its bytes.
    EXPECT_EQ(loadMessage(mutate(0xEC, 4, le32(0x7FFFFFF0))),
              QStringLiteral("Error loading Escher record"));
    EXPECT_EQ(loadMessage(mutate(0xEB, 4, le32(0x7FFFFFF0))),
              QStringLiteral("Error loading Escher record"));
    // A client record where the drawing expects none: the first OBJ turned into a TXO.
    {
        std::vector<RawRecord> recs = splitRecords(stream);
        for (RawRecord &r : recs)
            if (r.id == 0x5D) {
                r.id = 0x1B6;
                break;
            }
        EXPECT_EQ(loadMessage(joinRecords(recs)),
                  QStringLiteral("The file has an usupported drawing record"));
    }
    // A comment whose text option byte is neither 0 nor 1.
    {
        std::vector<RawRecord> recs = splitRecords(stream);
        for (size_t i = 0; i + 1 < recs.size(); ++i)
            if (recs[i].id == 0x1B6) {
                recs[i + 1].data[0] = char(7);
                break;
            }
        TWorkbook wb;
        wb.LoadFromStream(joinRecords(recs));
        const auto notes = wb.WorkSheet(0)->NotesOfRow(3);
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(messageOf([&] { wb.WorkSheet(0)->NoteText(*notes[0]); }),
                  QStringLiteral("Error reading Excel records. File invalid"));
    }
    // Containers nested deeper than any program writes.
    {
        QByteArray deep;
        for (int i = 0; i < 100; ++i)
            deep += le16(0x000F) + le16(0xF004) + le32(quint32(8 * (99 - i)));
        qsizetype pos = 0;
        EXPECT_EQ(messageOf([&] { parseEscher(deep, pos, deep.size()); }),
                  QStringLiteral("Error loading Escher record"));
    }
}

TEST(CommentText, IsReadAcrossAllItsContinuationRecords)
{
    TBaseRecord txo(RID_TXO, QByteArray(18, '\0'));
    txo.setWord(10, 9);
    txo.Continue = std::make_unique<TContinueRecord>(RID_CONTINUE, QByteArray("\x00"
                                                                              "abcd",
                                                                              5));
    txo.Continue->Continue = std::make_unique<TContinueRecord>(
        RID_CONTINUE,
        QByteArray("\x01", 1) + le16('e') + le16(0x015D) + le16('f') + le16('g') + le16('h'));
    txo.Continue->Continue->Continue =
        std::make_unique<TContinueRecord>(RID_CONTINUE, QByteArray(16, '\0'));
    EXPECT_EQ(txoText(txo), QStringLiteral("abcde\u015Dfgh"));
    txo.setWord(10, 0);
    EXPECT_EQ(txoText(txo), QString());
}

TEST(CommentText, IsWrittenNarrowOrWideAndEmptiedWithoutContinueRecords)
{
    TBaseRecord txo(RID_TXO, QByteArray(18, '\0'));
    setTxoText(txo, QStringLiteral("Nota"));
    ASSERT_EQ(txo.continues().size(), 2u);
    EXPECT_EQ(txo.continues()[0]->getByte(0), 0);
    EXPECT_EQ(txo.continues()[1]->getWord(8), 4);
    EXPECT_EQ(txo.getWord(12), 16);
    EXPECT_EQ(txoText(txo), QStringLiteral("Nota"));

    setTxoText(txo, QStringLiteral("ŝ nota"));
    EXPECT_EQ(txo.continues()[0]->getByte(0), 1);
    EXPECT_EQ(txoText(txo), QStringLiteral("ŝ nota"));

    const QString longText = QString(9000, QChar('x')) + QStringLiteral("ŝ");
    setTxoText(txo, longText);
    EXPECT_EQ(txo.continues().size(), 4u); // three text pieces and the runs
    EXPECT_EQ(txoText(txo), longText);

    setTxoText(txo, QString());
    EXPECT_TRUE(txo.continues().empty());
    EXPECT_EQ(txo.getWord(10), 0);
    EXPECT_EQ(txo.getWord(12), 0);
}

TEST(PictureStore, EqualPicturesShareOneEntryAndReadBackWhole)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png.append(QByteArray(500, 'p'));
    const EscherPtr a = makeBSE(png, 3);
    const EscherPtr b = makeBSE(png, 3);
    EXPECT_EQ(a->Data.mid(2, 16), b->Data.mid(2, 16));
    int type = -1;
    EXPECT_EQ(pictureOfBSE(*a, type), png);
    EXPECT_EQ(type, 3);
    const QByteArray wmf(300, 'w');
    EXPECT_EQ(pictureOfBSE(*makeBSE(wmf, 1), type), wmf);
    EXPECT_EQ(type, 1);
    const QByteArray dib(64, 'd');
    EXPECT_EQ(pictureOfBSE(*makeBSE(dib, 4), type), QByteArray("BM") + QByteArray(12, '\0') + dib);

    auto wb = loadDrawings();
    TDrawingGroup &group = *wb->Globals.DrawingGroup;
    const int first = group.AddPicture(png, 3);
    EXPECT_EQ(group.AddPicture(png, 3), first);
    EXPECT_NE(group.AddPicture(png + "x", 3), first);
}

TEST(DrawingLayer, RulesFollowTheShapesTheyLink)
{
    auto wb = loadDrawings();
    TDrawing &d = *wb->WorkSheet(0)->Drawing;
    auto shapeId = [](TEscherRecord *shape) {
        return qFromLittleEndian<quint32>(shape->find(ET_Sp)->Data.constData());
    };
    const quint32 picture = shapeId(d.pictures().front());
    TEscherRecord *firstComment = nullptr;
    for (TEscherRecord *s : d.shapes())
        if (TDrawing::objType(s) == OT_Comment && !firstComment)
            firstComment = s;
    const quint32 comment = shapeId(firstComment);
    auto rule = [](quint16 type, const QByteArray &data) {
        auto r = std::make_unique<TEscherRecord>();
        r->Type = type;
        r->Data = data;
        return r;
    };
    auto solver = std::make_unique<TEscherRecord>();
    solver->VerInst = 0x002F;
    solver->Type = ET_SolverContainer;
    solver->Children.push_back(rule(ET_ArcRule, le32(4) + le32(picture)));
    // A connector from the picture to nowhere, drawn by the first comment's shape.
    solver->Children.push_back(rule(ET_ConnectorRule, le32(6) + le32(picture) + le32(0) +
                                                          le32(comment) + QByteArray(8, '\0')));
    TEscherRecord *rules = solver.get();
    d.Root->Children.push_back(std::move(solver));

    wb->InsertAndCopyRows(0, 3, 5, 6, 1, false);
    // The picture's copy took a copy of its arc rule, numbered two above the highest.
    ASSERT_EQ(rules->Children.size(), 4u); // the comment's copy took the connector too
    const quint32 copiedPicture = shapeId(d.pictures().back());
    bool arcCopied = false;
    for (const auto &r : rules->Children)
        if (r->Type == ET_ArcRule &&
            qFromLittleEndian<quint32>(r->Data.constData() + 4) == copiedPicture)
            arcCopied = qFromLittleEndian<quint32>(r->Data.constData()) >= 8;
    EXPECT_TRUE(arcCopied);

    // Deleting the model rows takes the original picture, its arc rule, and the connector
    // drawn by the deleted comment; the copies' rules stay.
    wb->DeleteRows(0, 3, 3);
    ASSERT_EQ(rules->Children.size(), 2u);
    for (const auto &r : rules->Children) {
        if (r->Type == ET_ConnectorRule)
            EXPECT_EQ(qFromLittleEndian<quint32>(r->Data.constData() + 4), 0u); // link cleared
        else
            EXPECT_EQ(qFromLittleEndian<quint32>(r->Data.constData() + 4), copiedPicture);
    }
    EXPECT_TRUE(inspectDrawings(wb->SaveToStream()).problems.isEmpty());

    // Align rules are not supported.
    rules->Children.push_back(rule(ET_AlignRule, le32(20)));
    const QByteArray saved = wb->SaveToStream();
    EXPECT_EQ(messageOf([&] {
                  TWorkbook again;
                  again.LoadFromStream(saved);
              }),
              QStringLiteral("This file has a not implemented kind of record: Align Rule"));
}
