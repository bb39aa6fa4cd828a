#include "drawingcheck.h"
#include "xlstestutil.h"

#include "xls/formula.h"
#include "xls/names.h"
#include "xls/ranges.h"
#include "xls/workbook.h"
#include "xls/xlsadapter.h"
#include "xls/xlsmessages.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>

using namespace xls;
using namespace xlstest;

namespace {

// The survey fixture opened the caller's way: through a template store, by its bare name.
struct SurveyFile
{
    SurveyFile()
    {
        store.Templates.Add().setFileName(fixture(QStringLiteral("survey.xls")));
        adapter.setTemplateStore(&store);
        file = adapter.NewExcelFile();
        file->AttachWorkbook();
        file->OpenFile(QStringLiteral("survey.xls"));
    }
    TXlsTemplateStore store;
    TXLSAdapter adapter;
    std::unique_ptr<TXLSFile> file;
};

// Token builders; columns carry the relative-row (0x8000) and relative-column (0x4000) flags.
QByteArray ref(int row, int col, bool relRow = true, bool relCol = true, quint8 id = 0x24)
{
    return QByteArray(1, char(id)) + le16(quint16(row)) +
           le16(quint16(col | (relRow ? 0x8000 : 0) | (relCol ? 0x4000 : 0)));
}
QByteArray area(int r1, int r2, int c1, int c2, bool rel = true, quint8 id = 0x25)
{
    const quint16 flags = rel ? 0xC000 : 0;
    return QByteArray(1, char(id)) + le16(quint16(r1)) + le16(quint16(r2)) +
           le16(quint16(c1 | flags)) + le16(quint16(c2 | flags));
}
QByteArray ref3d(int ixti, int row, int col)
{
    return QByteArray(1, char(0x3A)) + le16(quint16(ixti)) + le16(quint16(row)) +
           le16(quint16(col | 0xC000));
}

int rowOf(const QByteArray &t, int pos = 1)
{
    return qFromLittleEndian<quint16>(t.constData() + pos);
}

TSheetShiftInfo sheetInfo(int inserted, int formula)
{
    TSheetShiftInfo info;
    info.InsertedSheet = inserted;
    info.FormulaSheet = formula;
    // External sheet index i points at sheet i; 9 spans two sheets.
    info.GetSheetOfRef = [](int ixti) { return ixti == 9 ? -1 : ixti; };
    return info;
}

QByteArray formulaRecord(int row, int col, const QByteArray &tokens)
{
    QByteArray d = le16(quint16(row)) + le16(quint16(col)) + le16(15) + QByteArray(8, '\0') +
                   le16(0) + le32(0) + le16(quint16(tokens.size())) + tokens;
    return d;
}

// The subjects template (0-based): sheet 1 "Materie" between "Copertina" and "Riepilogo",
// model row 3 with a comment on A4 and a formula, formulas down to row 12, its last cell.
QByteArray subjects()
{
    return workbookStream(fixture(QStringLiteral("subjects.xls")));
}

// The subjects template with a data table attached to the formula of C4 whose row input cell
// lies on inputRow.
QByteArray subjectsWithDataTable(int inputRow)
{
    auto recs = splitRecords(subjects());
    for (size_t i = 0; i < recs.size(); ++i)
        if (recs[i].id == RID_FORMULA && recs[i].data.startsWith(le16(3) + le16(2))) {
            const QByteArray table = le16(3) + le16(3) + QByteArray(1, '\2') + QByteArray(1, '\2') +
                                     le16(0) + le16(quint16(inputRow)) + le16(1) + le16(65535) +
                                     le16(0);
            recs.insert(recs.begin() + long(i) + 1, RawRecord{RID_TABLE, table, 0});
            break;
        }
    return joinRecords(recs);
}

QJsonArray sheetCells(const QJsonObject &book, int sheet)
{
    return book["sheets"].toArray()[sheet].toObject()["cells"].toArray();
}

QJsonArray cellAt(const QJsonArray &cells, int r, int c)
{
    for (const auto &v : cells)
        if (v.toArray()[0].toInt() == r && v.toArray()[1].toInt() == c)
            return v.toArray();
    return {};
}

} // namespace

TEST(FormulaWalker, InsertedRowsMoveReferencesOnTheirSheetOnly)
{
    // Inserting 3 rows at row 10 of sheet 0.
    QByteArray t =
        ref(9, 0) + ref(10, 0) + ref(12, 0) + ref3d(0, 11, 1) + ref3d(1, 11, 1) + ref3d(9, 11, 1);
    ArrangeTokensInsertRows(t, 0, int(t.size()), 10, 3, 0, sheetInfo(0, 0), true);
    EXPECT_EQ(rowOf(t, 1), 9);
    EXPECT_EQ(rowOf(t, 6), 13);
    EXPECT_EQ(rowOf(t, 11), 15);
    EXPECT_EQ(rowOf(t, 15 + 3), 14); // 3-D reference to sheet 0
    EXPECT_EQ(rowOf(t, 22 + 3), 11); // to sheet 1: unchanged
    EXPECT_EQ(rowOf(t, 29 + 3), 11); // through an entry spanning two sheets: unchanged
    // The same formula on sheet 1: its 2-D references are to sheet 1 and stay.
    QByteArray other = ref(12, 0) + ref3d(0, 12, 0);
    ArrangeTokensInsertRows(other, 0, int(other.size()), 10, 3, 0, sheetInfo(0, 1), true);
    EXPECT_EQ(rowOf(other, 1), 12);
    EXPECT_EQ(rowOf(other, 5 + 3), 15);
    // Past the last row a reference stays at 65535.
    QByteArray high = ref(65534, 0);
    ArrangeTokensInsertRows(high, 0, 5, 10, 3, 0, sheetInfo(0, 0), true);
    EXPECT_EQ(rowOf(high), 65535);
}

TEST(FormulaWalker, DeletedRowsTurnReferencesIntoErrors)
{
    // Deleting rows 5-6.
    QByteArray t =
        ref(5, 0) + ref(6, 0) + ref(9, 0) + area(3, 5, 0, 0) + area(7, 9, 0, 0) + ref(2, 0);
    ArrangeTokensInsertRows(t, 0, int(t.size()), 5, -2, 0, sheetInfo(0, 0), true);
    EXPECT_EQ(quint8(t[0]), 0x2A);
    EXPECT_EQ(quint8(t[5]), 0x2A);
    EXPECT_EQ(quint8(t[10]), 0x24);
    EXPECT_EQ(rowOf(t, 11), 7);
    EXPECT_EQ(quint8(t[15]), 0x2B); // area 3..5 as a whole
    EXPECT_EQ(quint8(t[24]), 0x25);
    EXPECT_EQ(rowOf(t, 25), 5);
    EXPECT_EQ(rowOf(t, 27), 7);
    EXPECT_EQ(rowOf(t, 34), 2);
}

TEST(FormulaWalker, CopiesMoveRelativeRowsOnly)
{
    QByteArray t = ref(32, 5) + ref(32, 5, false, false) + area(32, 33, 5, 6) + ref(0, 1);
    ArrangeTokensInsertRows(t, 0, int(t.size()), -1, 0, 1, TSheetShiftInfo(), true);
    EXPECT_EQ(rowOf(t, 1), 33);
    EXPECT_EQ(rowOf(t, 6), 32);
    EXPECT_EQ(rowOf(t, 11), 33);
    EXPECT_EQ(rowOf(t, 13), 34);
    EXPECT_EQ(rowOf(t, 20), 1);
    QByteArray up = ref(0, 1);
    ArrangeTokensInsertRows(up, 0, 5, -1, 0, -1, TSheetShiftInfo(), true);
    EXPECT_EQ(quint8(up[0]), 0x2A); // above row 0: #REF!
}

TEST(FormulaWalker, UnknownTokensAndShortArraysAreRefused)
{
    QByteArray mem = QByteArray("\x26", 1) + le32(0) + le16(0) + ref(3, 0);
    TFormulaRecord f(RID_FORMULA, formulaRecord(4, 2, mem));
    EXPECT_EQ(messageOf([&] { f.ArrangeInsert(1, 1, sheetInfo(0, 0)); }),
              QStringLiteral("Formula at Row 5, column 3 is not supported. Token Id: 0x26"));
    // A token cut by the end of the array never reads past it.
    QByteArray cut = ref(3, 0).left(3);
    EXPECT_THROW(ArrangeTokensInsertRows(cut, 0, 3, 0, 1, 0, sheetInfo(0, 0), true),
                 ETokenException);
    QByteArray str = QByteArray("\x17\x50\x01", 3) + QByteArray(10, 'a');
    EXPECT_THROW(ArrangeTokensInsertRows(str, 0, int(str.size()), 0, 1, 0, sheetInfo(0, 0), true),
                 ETokenException);
}

TEST(FormulaWalker, SharedFormulaColumnsWrapWithinTheColumnByte)
{
    // A relative column offset of +3 applied at column 254 lands on column 1, not 257.
    QByteArray t = QByteArray(1, char(0x2C)) + le16(2) + le16(quint16(0xC000 | 3));
    OffsetRelativeReferences(t, 0, 5, 10, 254);
    EXPECT_EQ(quint8(t[0]), 0x24);
    EXPECT_EQ(rowOf(t, 1), 12);
    EXPECT_EQ(rowOf(t, 3) & 0x3FFF, 1);
}

TEST(MergedCells, InsertCopyAndDeleteFollowTheRows)
{
    TMergedCells m;
    m.Ranges = {{32, 32, 0, 4}, {20, 40, 6, 6}, {50, 51, 0, 1}, {5, 6, 2, 2}};
    m.InsertAndCopyRows(32, 32, 33, 2, sheetInfo(0, 0));
    ASSERT_EQ(m.Ranges.size(), 6u);
    EXPECT_EQ(m.Ranges[0].FirstRow, 32); // the source stays
    EXPECT_EQ(m.Ranges[1].LastRow, 42);  // straddles the destination: grows, not copied
    EXPECT_EQ(m.Ranges[2].FirstRow, 52);
    EXPECT_EQ(m.Ranges[4].FirstRow, 33); // copy 0
    EXPECT_EQ(m.Ranges[5].FirstRow, 34); // copy 1
    // Copies placed above the block: the block moved down first.
    TMergedCells above;
    above.Ranges = {{10, 10, 0, 3}};
    above.InsertAndCopyRows(10, 10, 10, 1, sheetInfo(0, 0));
    ASSERT_EQ(above.Ranges.size(), 2u);
    EXPECT_EQ(above.Ranges[0].FirstRow, 11);
    EXPECT_EQ(above.Ranges[1].FirstRow, 10);
    // Deleting rows 5-6 removes a range inside them; one ending on row 7 in one column goes.
    TMergedCells del;
    del.Ranges = {{5, 6, 0, 3}, {5, 7, 4, 4}, {4, 9, 5, 6}, {10, 11, 0, 0}};
    del.DeleteRows(5, 2, sheetInfo(0, 0));
    ASSERT_EQ(del.Ranges.size(), 2u);
    EXPECT_EQ(del.Ranges[0].FirstRow, 4);
    EXPECT_EQ(del.Ranges[0].LastRow, 7);
    EXPECT_EQ(del.Ranges[1].FirstRow, 8);
}

TEST(MergedCells, ManyRangesAreWrittenInRecordsOf1027)
{
    TMergedCells m;
    for (int i = 0; i < 1028; ++i)
        m.Ranges.push_back({i, i, 0, 1});
    ByteWriter w;
    m.SaveToStream(w);
    const auto recs = splitRecords(w.bytes);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(qFromLittleEndian<quint16>(recs[0].data.constData()), 1027);
    EXPECT_EQ(qFromLittleEndian<quint16>(recs[1].data.constData()), 1);
}

TEST(PageBreaks, LoadedOncePerRowMovedWithRowsWrittenSorted)
{
    TPageBreakList p;
    TBaseRecord rec(RID_HPAGEBREAKS, le16(3) + le16(41) + le16(0) + le16(255) + le16(20) + le16(0) +
                                         le16(255) + le16(41) + le16(0) + le16(255));
    p.LoadFromRecord(rec);
    ASSERT_EQ(p.Items.size(), 2u);
    p.InsertRows(41, 2); // a break at the destination row moves down
    EXPECT_EQ(p.Items[1].Row, 43);
    p.AddPageBreak(30);
    p.AddPageBreak(30);
    EXPECT_EQ(p.Items.size(), 3u);
    p.DeleteRows(30, 1);
    EXPECT_EQ(p.Items.size(), 2u);
    EXPECT_EQ(p.Items[1].Row, 42);
    ByteWriter w;
    p.SaveToStream(w);
    EXPECT_EQ(w.bytes.size(), 2 * 6 + 6);
    TPageBreakList empty;
    ByteWriter none;
    empty.SaveToStream(none);
    EXPECT_TRUE(none.bytes.isEmpty());
    for (int i = 0; i < 1026; ++i)
        empty.AddPageBreak(i);
    EXPECT_EQ(messageOf([&] { empty.AddPageBreak(5000); }),
              QStringLiteral("Too many manual Page breaks for this sheet"));
}

TEST(PageBreaks, ColumnBreaksStayAsTheyAreWhenRowsMove)
{
    // A column break (vertical page break at column D, over every row) next to the row break.
    const QByteArray vertical = le16(1) + le16(3) + le16(0) + le16(65535);
    std::vector<RawRecord> recs =
        splitRecords(workbookStream(fixture(QStringLiteral("survey.xls"))));
    auto at = std::find_if(recs.begin(), recs.end(),
                           [](const RawRecord &r) { return r.id == RID_HPAGEBREAKS; });
    ASSERT_NE(at, recs.end());
    recs.insert(at + 1, RawRecord{0x001A, vertical, 0});
    TWorkbook wb;
    wb.LoadFromStream(joinRecords(recs));
    wb.InsertAndCopyRows(0, 32, 32, 33, 2, false);
    wb.DeleteRows(0, 2, 3);
    int found = 0;
    for (const RawRecord &r : splitRecords(wb.SaveToStream()))
        if (r.id == 0x001A) {
            ++found;
            EXPECT_EQ(r.data, vertical);
        }
    EXPECT_EQ(found, 1);
}

TEST(CellRows, CopiesLandAtTheDestinationAndTheRestMovesDown)
{
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("plain.xls"))));
    TCells &c = *wb.WorkSheet(0)->Cells;
    for (int r = 0; r < 14; ++r)
        c.SetValue(r, 5, {r * 100, -1, false});
    wb.InsertAndCopyRows(0, 4, 4, 10, 2, false);
    EXPECT_EQ(c.GetValue(10, 5).Value.toInt(), 400);
    EXPECT_EQ(c.GetValue(11, 5).Value.toInt(), 400);
    EXPECT_EQ(c.GetValue(12, 5).Value.toInt(), 1000);
    EXPECT_EQ(c.GetValue(15, 5).Value.toInt(), 1300);
    ASSERT_TRUE(c.rowRecord(11));
    EXPECT_EQ(c.rowRecord(11)->row(), 11);
    // Source below the destination: the copies take the rows that moved down.
    wb.InsertAndCopyRows(0, 12, 12, 10, 1, false); // row 12 holds 1000
    EXPECT_EQ(c.GetValue(10, 5).Value.toInt(), 1000);
    EXPECT_EQ(c.GetValue(13, 5).Value.toInt(), 1000);
    EXPECT_EQ(c.GetValue(11, 5).Value.toInt(), 400);
    // Text copies share their string.
    c.SetValue(3, 0, {QStringLiteral("copiato"), -1, false});
    wb.InsertAndCopyRows(0, 3, 3, 20, 3, false);
    int found = 0;
    for (const auto &e : wb.Globals.SST.Entries)
        if (e->Value.Text == QStringLiteral("copiato")) {
            EXPECT_EQ(e->Refs, 4);
            ++found;
        }
    EXPECT_EQ(found, 1);
}

TEST(SurveyRoad, SubjectRowsCopiedFilledAndSaved)
{
    for (int subjects : {0, 1, 2, 40}) {
        QTemporaryDir dir;
        SurveyFile survey;
        TXLSFile *file = survey.file.get();
        // Outcome rows, then subject rows from the model row 33, then conduct rows at 42.
        for (int r = 24; r <= 26; ++r)
            for (int c = 5; c <= 10; ++c)
                file->SetCellValue(r, c, r * 10 + c);
        int r = 33;
        for (int s = 0; s < subjects; ++s, ++r) {
            if (s > 0)
                file->InsertAndCopyRows(33, 33, r, 1, false);
            file->SetCellValue(r, 0, QStringLiteral("Materia %1").arg(s + 1));
            int col = 5;
            for (int v = 0; v < 6; ++v) {
                file->SetCellValue(r, col, s + v);
                ++col;
                if (file->GetCellValueX(r, col).IsFormula)
                    ++col;
            }
        }
        const int conduct = 42 + std::max(0, subjects - 1);
        for (int c = 5; c <= 10; ++c)
            file->SetCellValue(conduct, c, 7);
        file->SetCellValue(4, 0, QStringLiteral("ANNO SCOLASTICO 2007/2008"));
        const QString out = dir.filePath(QStringLiteral("esiti.xls"));
        file->Save(false, out);
        file->ReleaseWorkbook();

        const QJsonObject book = check(QStringLiteral("cells"), out).object();
        const QJsonArray cells = sheetCells(book, 0);
        for (int s = 0; s < subjects; ++s) {
            EXPECT_EQ(cellAt(cells, 32 + s, 0)[3].toString(),
                      QStringLiteral("Materia %1").arg(s + 1));
            EXPECT_EQ(cellAt(cells, 32 + s, 5)[3].toDouble(), s);
            EXPECT_EQ(cellAt(cells, 32 + s, 10)[3].toDouble(), s + 5);
            EXPECT_EQ(cellAt(cells, 32 + s, 11)[2].toInt(), 5)
                << "formula kept in L"; // recalculated
        }
        EXPECT_EQ(cellAt(cells, conduct - 1, 0)[3].toString(),
                  QStringLiteral("Solo comportamento"));
        EXPECT_EQ(cellAt(cells, conduct - 1, 5)[3].toDouble(), 7);
        EXPECT_EQ(cellAt(cells, 23, 6)[3].toDouble(), 246);
        // Merged model row copied with each subject; the name over the model row grew.
        const QJsonArray merged = book["sheets"].toArray()[0].toObject()["merged"].toArray();
        EXPECT_EQ(merged.size(), std::max(1, subjects));
        const QJsonArray materie = book["name_areas"].toObject()["Materie"].toArray();
        EXPECT_EQ(materie[1].toInt(), 32);
        EXPECT_EQ(materie[2].toInt(), 33); // a one-row area: inserting below it leaves it
        const QJsonArray titles = book["name_areas"].toObject()["Print_Titles"].toArray();
        EXPECT_EQ(titles[1].toInt(), 0);
        EXPECT_EQ(titles[2].toInt(), 2);
    }
}

TEST(SurveyRoad, FormulasAndReferencesFollowInsertedRows)
{
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("survey.xls"))));
    wb.InsertAndCopyRows(0, 32, 32, 33, 3, false);
    auto tokensAt = [&](int sheet, int r, int c) {
        auto *f = static_cast<TFormulaRecord *>(wb.WorkSheet(sheet)->Cells->cellAt(r, c));
        EXPECT_TRUE(f && f->Id == RID_FORMULA) << r << "," << c;
        return f ? f->Data.mid(22, f->cce()) : QByteArray();
    };
    // The model row's own formula and its copies refer to their own row.
    for (int r = 32; r <= 35; ++r) {
        const QByteArray t = tokensAt(0, r, 11);
        EXPECT_EQ(rowOf(t, 1), r);
    }
    // "Totale materie" moved from row 33 to 36; its one-row area stays on row 32.
    EXPECT_EQ(rowOf(tokensAt(0, 36, 5), 1), 32);
    // The conduct share (row 44 -> 47) points at F45 -> F48... its own row moved by 3.
    EXPECT_EQ(rowOf(tokensAt(0, 46, 5), 1), 44);
    // The summary sheet's 3-D references into the moved rows follow: F33:F34 -> F33:F37.
    const QByteArray sum = tokensAt(1, 1, 1);
    ASSERT_EQ(quint8(sum[0]) & 0x1F, 0x1B);
    EXPECT_EQ(rowOf(sum, 3), 32);
    EXPECT_EQ(rowOf(sum, 5), 36);
    // The conditional format (outcome rows and the model row) grows over the copies.
    int formats = 0;
    for (const auto &item : wb.WorkSheet(0)->Ranges->Items)
        if (auto *cf = dynamic_cast<TCondFmt *>(item.get())) {
            ++formats;
            EXPECT_EQ(cf->Bounds.FirstRow, 23);
            EXPECT_EQ(cf->Bounds.LastRow, 35);
            bool copied = false;
            for (const TRangeValues &v : cf->Ranges)
                copied |= v.FirstRow == 32 && v.LastRow == 35 && v.FirstCol == 5; // stretched
            EXPECT_TRUE(copied);
        }
    EXPECT_EQ(formats, 1);
    // The page break before the conduct rows moved with them.
    ASSERT_EQ(wb.WorkSheet(0)->PageBreaks.Items.size(), 1u);
    EXPECT_EQ(wb.WorkSheet(0)->PageBreaks.Items[0].Row, 44);
    const QByteArray saved = wb.SaveToStream();
    TWorkbook again;
    again.LoadFromStream(saved);
}

TEST(SurveyRoad, DeletedRowsAndMarkers)
{
    SurveyFile survey;
    TXLSFile *file = survey.file.get();
    // Deleting the outcome rows 24-26 turns the total's area into #REF! and moves the rest up.
    file->DeleteRows(24, 3);
    EXPECT_EQ(file->GetCellValueAbs(24, 1).toString(), QStringLiteral("Totale"));
    auto *total =
        static_cast<TFormulaRecord *>(file->workbook()->WorkSheet(0)->Cells->cellAt(23, 5));
    ASSERT_TRUE(total);
    EXPECT_EQ(quint8(total->Data.at(22)) & 0x1F, 0x0B); // the area's error form
    EXPECT_EQ(file->GetCellValueAbs(30, 1).toString(), QStringLiteral("<materia>"));
    // Markers.
    file->SetCellValue(10, 0, QStringLiteral("#DEL#"));
    file->SetCellValue(12, 0, QStringLiteral("#DEL#"));
    file->SetCellValue(20, 0, QStringLiteral("#PB#"));
    file->DeleteMarkedRows(QStringLiteral("#DEL#"));
    EXPECT_EQ(file->GetCellValueAbs(18, 1).toString(), QStringLiteral("#PB#"));
    file->MakePageBreaks(QStringLiteral("#PB#"));
    EXPECT_FALSE(file->GetCellValueAbs(18, 1).isValid());
    const auto &breaks = file->workbook()->WorkSheet(0)->PageBreaks.Items;
    EXPECT_EQ(breaks.front().Row, 17);
    file->ReleaseWorkbook();
}

TEST(Names, AccessorsAndTheAreaOfANamedRange)
{
    SurveyFile survey;
    TXLSFile *file = survey.file.get();
    int materie = 0;
    for (int i = 1; i <= file->GetRangeCount(); ++i)
        if (file->GetRangeName(i) == QStringLiteral("Materie"))
            materie = i;
    ASSERT_GT(materie, 0);
    EXPECT_EQ(file->GetRangeSheet(materie), 1);
    EXPECT_EQ(file->GetRangeFirstRow(materie), 33);
    EXPECT_EQ(file->GetRangeLastRow(materie), 33);
    EXPECT_EQ(file->GetRangeFirstCol(materie), 6);
    EXPECT_EQ(file->GetRangeLastCol(materie), 11);
    file->SelectRange(materie);
    EXPECT_EQ(file->GetRangeFirstColOffset(), 6);
    EXPECT_EQ(file->GetCellValueX(24, 0).Value.toDouble(), 0.0); // column F through the range
    EXPECT_TRUE(file->GetCellValueX(27, 0).IsFormula);
    EXPECT_EQ(file->GetRangeColCount(24), 6);
    file->InsertAndCopyRows(33, 33, 33, 2, false);
    EXPECT_EQ(file->GetRangeFirstRow(materie), 35);
    file->ReleaseWorkbook();
}

TEST(ArrayFormulas, LoadAndFollowInsertedRows)
{
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("formulas.xls"))));
    wb.InsertAndCopyRows(0, 2, 2, 0, 1, false);
    const auto recs = splitRecords(wb.SaveToStream());
    // Each ARRAY record still follows its formula, its range moved down by one.
    for (size_t i = 1; i < recs.size(); ++i)
        if (recs[i].id == RID_ARRAY) {
            EXPECT_EQ(recs[i - 1].id, RID_FORMULA);
            EXPECT_EQ(qFromLittleEndian<quint16>(recs[i].data.constData()), 1);
        }
    QTemporaryDir dir;
    TXLSAdapter adapter;
    auto file = adapter.NewExcelFile();
    file->AttachWorkbook();
    file->OpenFile(fixture(QStringLiteral("formulas.xls")));
    file->InsertAndCopyRows(2, 2, 2, 1, false);
    file->Save(false, dir.filePath(QStringLiteral("f.xls")));
    file->ReleaseWorkbook();
    const QJsonArray cells = sheetCells(
        check(QStringLiteral("cells"), dir.filePath(QStringLiteral("f.xls"))).object(), 0);
    EXPECT_EQ(cellAt(cells, 0, 0)[3].toDouble(), 1.0);
    EXPECT_EQ(cellAt(cells, 2, 0)[3].toDouble(), 2.0);
}

TEST(Sheets, CopiedSheetsGetUniqueNamesTheirContentAndTheirOwnNames)
{
    QTemporaryDir dir;
    SurveyFile survey;
    TXLSFile *file = survey.file.get();
    EXPECT_EQ(messageOf([&] { file->InsertAndCopySheets(3, 1, 1); }),
              QStringLiteral("Sheet number \"2\" invalid. Must be between 0 and 1"));
    file->InsertAndCopySheets(1, 2, 2);
    ASSERT_EQ(file->GetSheetCount(), 4);
    file->SetActiveSheet(2);
    EXPECT_EQ(file->GetActiveSheetName(), QStringLiteral("Sheet1"));
    file->SetCellValue(24, 5, 99);
    file->SetActiveSheet(3);
    EXPECT_EQ(file->GetActiveSheetName(), QStringLiteral("Sheet"));
    const QString out = dir.filePath(QStringLiteral("sheets.xls"));
    file->Save(false, out);
    file->ReleaseWorkbook();

    const QJsonObject book = check(QStringLiteral("cells"), out).object();
    const QJsonArray sheets = book["sheets"].toArray();
    ASSERT_EQ(sheets.size(), 4);
    EXPECT_EQ(sheets[3].toObject()["name"].toString(), QStringLiteral("Riepilogo"));
    EXPECT_EQ(cellAt(sheetCells(book, 1), 23, 5)[3].toDouble(), 99.0);
    EXPECT_EQ(cellAt(sheetCells(book, 2), 23, 5)[3].toDouble(), 0.0);
    EXPECT_EQ(cellAt(sheetCells(book, 2), 32, 0)[3].toString(), QStringLiteral("<materia>"));
    EXPECT_EQ(sheets[1].toObject()["merged"].toArray().size(), 1);
    // The summary's 3-D references still reach the template sheet, now through moved entries.
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(out));
    auto *f = static_cast<TFormulaRecord *>(wb.WorkSheet(3)->Cells->cellAt(0, 1));
    ASSERT_TRUE(f);
    EXPECT_EQ(
        wb.Globals.References.GetSheetOfRef(qFromLittleEndian<quint16>(f->Data.constData() + 23)),
        0);
    // Print titles were local to the template: every copy has its own, over itself.
    int titles = 0;
    for (const auto &n : wb.Globals.Names) {
        auto *name = static_cast<TNameRecord *>(n.get());
        int ref, r1, r2, c1, c2;
        if (name->sheet() >= 0 && name->area(ref, r1, r2, c1, c2)) {
            EXPECT_EQ(wb.Globals.References.GetSheetOfRef(ref), name->sheet());
            ++titles;
        }
    }
    EXPECT_EQ(titles, 3);
}

TEST(Sheets, TheActiveSheetStaysTheOnlySelectedOneWhereverCopiesGo)
{
    // Sheets 1-based: copies at, before and after the active sheet, and of the active sheet
    // in front of itself.
    struct Case
    {
        int active, copyFrom, before, count;
        const char *activeName;
    };
    const Case cases[] = {{1, 3, 1, 1, "Copertina"},
                          {3, 1, 2, 2, "Riepilogo"},
                          {1, 1, 4, 1, "Copertina"},
                          {2, 2, 2, 1, "Materie"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.activeName);
        TWorkbook wb;
        wb.LoadFromStream(subjects());
        wb.SelectSheet(c.active - 1);
        wb.InsertSheets(c.copyFrom - 1, c.before - 1, c.count);
        int activeTab = -1;
        const std::vector<int> selected = selectedSheets(wb.SaveToStream(), activeTab);
        EXPECT_EQ(selected, std::vector<int>{activeTab});
        EXPECT_EQ(wb.Globals.boundSheet(activeTab).sheetName(), QString::fromLatin1(c.activeName));
    }
}

// A call refused on a row or sheet limit changes nothing: a caller that saves anyway writes
// the workbook it had. Each case puts what would overflow below every cell of "Materie".
TEST(RefusedOperations, LeaveTheWorkbookAsItWas)
{
    const QString tooMany =
        QStringLiteral("Too many entries for this kind of record (%1 out of a maximum of %2)");
    const auto insertBelowEveryCell = [](TWorkbook &wb) {
        wb.InsertAndCopyRows(1, 3, 3, 20, 6000, false);
    };
    struct Case
    {
        const char *what;
        QByteArray stream;
        std::function<void(TWorkbook &)> damage, refused;
        QString message;
    };
    const Case cases[] = {
        {"cells pushed past the last row", subjects(), nullptr,
         [](TWorkbook &wb) { wb.InsertAndCopyRows(1, 3, 3, 4, 65530, false); },
         tooMany.arg(65542).arg(65535)},
        {"a comment", subjects(),
         [](TWorkbook &wb) { wb.WorkSheet(1)->Notes.front()->setWord(0, 60000); },
         insertBelowEveryCell, tooMany.arg(66000).arg(65535)},
        {"a page break", subjects(),
         [](TWorkbook &wb) { wb.WorkSheet(1)->PageBreaks.AddPageBreak(60000); },
         insertBelowEveryCell, tooMany.arg(66000).arg(65535)},
        {"a data table's input cell", subjectsWithDataTable(60000), nullptr, insertBelowEveryCell,
         tooMany.arg(66000).arg(65535)},
        {"a data table's input cell in deleted rows", subjectsWithDataTable(2), nullptr,
         [](TWorkbook &wb) { wb.DeleteRows(1, 0, 3); }, tooMany.arg(-1).arg(65535)},
        {"sheet copies beyond what the references can name", subjects(), nullptr,
         [](TWorkbook &wb) { wb.InsertSheets(1, 3, 248); }, tooMany.arg(251).arg(250)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWorkbook wb;
        wb.LoadFromStream(c.stream);
        if (c.damage)
            c.damage(wb);
        const QByteArray before = wb.SaveToStream();
        EXPECT_EQ(messageOf([&] { c.refused(wb); }), c.message);
        EXPECT_EQ(wb.SaveToStream(), before);
    }
}

// The survey copies its model row once per subject. However the copies are made, one call
// per subject right below the model row or below the previous copy, or one call for all,
// the sheet is the same, comments included, and stays so when copied rows are deleted.
TEST(RowCopies, OneCallPerSubjectGivesWhatOneCallForEverySubjectGives)
{
    QTemporaryDir dir;
    const int subjectRows = 150;
    const auto saved = [&](const QString &name, const std::function<void(TXLSFile &)> &copy) {
        TXLSAdapter adapter;
        auto file = adapter.NewExcelFile();
        file->AttachWorkbook();
        file->OpenFile(fixture(QStringLiteral("subjects.xls")));
        file->SetActiveSheet(2);
        copy(*file);
        EXPECT_EQ(file->GetCommentsCount(100), 1);
        file->DeleteRows(40, 60);
        const QString path = dir.filePath(name);
        file->Save(false, path);
        file->ReleaseWorkbook();
        return path;
    };
    const QString block = saved(QStringLiteral("block.xls"), [&](TXLSFile &f) {
        f.InsertAndCopyRows(4, 4, 5, subjectRows, false);
    });
    const QString below = saved(QStringLiteral("below.xls"), [&](TXLSFile &f) {
        for (int i = 0; i < subjectRows; ++i)
            f.InsertAndCopyRows(4, 4, 5, 1, false);
    });
    const QString appended = saved(QStringLiteral("appended.xls"), [&](TXLSFile &f) {
        for (int i = 0; i < subjectRows; ++i)
            f.InsertAndCopyRows(4, 4, 5 + i, 1, false);
    });
    // xlrd shows no formula's tokens: they are compared as saved, with their row and column.
    const auto formulas = [](const QString &path) {
        QByteArrayList out;
        for (const RawRecord &r : splitRecords(workbookStream(path)))
            if (r.id == RID_FORMULA)
                out << r.data.left(6) + r.data.mid(14);
        return out;
    };
    const QJsonDocument cells = check(QStringLiteral("cells"), block);
    const QJsonDocument notes = check(QStringLiteral("notes"), block);
    EXPECT_EQ(notes.array()[1].toArray().size(), 1 + subjectRows - 60);
    EXPECT_EQ(cellAt(sheetCells(cells.object(), 1), 3 + subjectRows - 60 + 9, 0)[3].toString(),
              QStringLiteral("Totale"));
    for (const QString &path : {block, below, appended}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(check(QStringLiteral("cells"), path), cells);
        EXPECT_EQ(check(QStringLiteral("notes"), path), notes);
        EXPECT_EQ(formulas(path), formulas(block));
        const DrawingSeen seen = inspectDrawings(workbookStream(path));
        EXPECT_TRUE(seen.problems.isEmpty()) << seen.problems.join('\n').toStdString();
    }
}
