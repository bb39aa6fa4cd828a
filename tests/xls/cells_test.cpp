#include "xlstestutil.h"

#include "xls/cells.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"
#include "xls/xlsstrings.h"

#include <QDate>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

using namespace xls;
using namespace xlstest;

namespace {

class CellsTest : public ::testing::Test
{
protected:
    TSST sst;
    TColInfoList cols;
    TCells cells{&sst, &cols};

    TCellRecord *at(int r, int c) { return cells.cellAt(r, c); }
    void set(int r, int c, const QVariant &v, int xf = -1) { cells.SetValue(r, c, {v, xf, false}); }
};

} // namespace

TEST(RK, EncodingPicksTheFormTheValueFitsExactly)
{
    quint32 rk = 0;
    ASSERT_TRUE(EncodeRK(1.0, rk));
    EXPECT_EQ(rk & 3, 0u);
    EXPECT_EQ(DecodeRK(rk), 1.0);
    ASSERT_TRUE(EncodeRK(0.5, rk));
    EXPECT_EQ(rk & 3, 0u);
    ASSERT_TRUE(EncodeRK(1234567, rk));
    EXPECT_EQ(rk, quint32(1234567 * 4 + 2));
    ASSERT_TRUE(EncodeRK(0.01, rk)); // the double form of 1.0 through the factor 100
    EXPECT_EQ(rk & 3, 1u);
    EXPECT_EQ(DecodeRK(rk), 0.01);
    ASSERT_TRUE(EncodeRK(536870911, rk));
    EXPECT_EQ(rk & 3, 2u);
    ASSERT_TRUE(EncodeRK(536870912, rk)); // a power of two: the double form
    EXPECT_EQ(rk & 3, 0u);
    ASSERT_TRUE(EncodeRK(-7, rk));
    EXPECT_EQ(DecodeRK(rk), -7.0);
    EXPECT_FALSE(EncodeRK(1e300, rk));
    EXPECT_FALSE(EncodeRK(0.1234567, rk));
}

TEST_F(CellsTest, WrittenValuesBecomeTheRightRecords)
{
    set(0, 0, 1);
    set(0, 1, 1e300);
    set(0, 2, true);
    set(0, 3, QStringLiteral("testo"));
    set(0, 4, QDate(2008, 6, 30));
    set(0, 5, 0.1234567);
    EXPECT_EQ(at(0, 0)->Id, RID_RK);
    EXPECT_EQ(at(0, 1)->Id, RID_NUMBER);
    EXPECT_EQ(at(0, 2)->Id, RID_BOOLERR);
    EXPECT_EQ(at(0, 3)->Id, RID_LABELSST);
    EXPECT_EQ(at(0, 4)->GetValue().toString(), QStringLiteral("30/06/2008"));
    EXPECT_EQ(at(0, 5)->Id, RID_NUMBER);
    EXPECT_EQ(cells.GetValue(0, 1).Value.toDouble(), 1e300);
    EXPECT_EQ(cells.GetValue(0, 2).Value, QVariant(true));
    EXPECT_EQ(cells.GetValue(0, 5).Value.toDouble(), 0.1234567);
    // The ROW record spans the written columns.
    EXPECT_EQ(cells.Row(0).firstCol(), 0);
    EXPECT_EQ(cells.Row(0).lastColPlus1(), 6);
    // A missing cell: Unassigned, XF -1.
    const TXlsCellValue none = cells.GetValue(3, 3);
    EXPECT_FALSE(none.Value.isValid());
    EXPECT_EQ(none.XF, -1);
}

TEST_F(CellsTest, FormatOfANewCellComesFromCellRowOrColumn)
{
    cols.ensure(2, 2900).XF = 33;
    set(1, 2, 5);
    EXPECT_EQ(at(1, 2)->xf(), 33); // the column's format
    cells.EnsureRow(4).setXF(44);
    set(4, 2, 5);
    EXPECT_EQ(at(4, 2)->xf(), 44); // the row's format wins
    set(4, 2, QStringLiteral("x"), 17);
    EXPECT_EQ(at(4, 2)->xf(), 17); // a given format wins
    set(4, 2, 3.25);
    EXPECT_EQ(at(4, 2)->xf(), 17); // the existing cell's format stays
}

TEST_F(CellsTest, EmptyValuesDeleteOrBlankTheCell)
{
    set(2, 0, 5, 21);
    set(2, 0, QVariant());
    ASSERT_TRUE(at(2, 0)); // another format than the default: a BLANK keeps it
    EXPECT_EQ(at(2, 0)->Id, RID_BLANK);
    EXPECT_EQ(at(2, 0)->xf(), 21);
    set(2, 1, 5);
    set(2, 1, QString());
    EXPECT_FALSE(at(2, 1)); // default format: the cell is gone
    set(2, 2, 7);
    set(2, 2, QVariant(QStringList{QStringLiteral("a")})); // an unsupported type clears the cell
    EXPECT_FALSE(at(2, 2));
    set(9, 0, QVariant());
    EXPECT_TRUE(cells.rowRecord(9)); // the ROW record is made even when no cell results
}

TEST_F(CellsTest, RowAndColumnLimits)
{
    EXPECT_EQ(messageOf([&] { set(65536, 0, 1); }), QStringLiteral("Invalid Row (65536)"));
    EXPECT_EQ(messageOf([&] { set(0, 256, 1); }), QStringLiteral("Invalid Column (256)"));
    EXPECT_EQ(messageOf([&] { cells.GetValue(-1, 0); }), QStringLiteral("Invalid Row (-1)"));
    EXPECT_EQ(messageOf([&] { cells.Row(7); }), QStringLiteral("Missing ROW Record for row 7"));
}

TEST_F(CellsTest, BoolErrValues)
{
    set(0, 0, true);
    auto *b = static_cast<TBoolErrRecord *>(at(0, 0));
    b->SetValue(QStringLiteral("#DIV/0!"));
    EXPECT_EQ(b->GetValue().toString(), QStringLiteral("#DIV/0!"));
    b->setByte(6, 0x55); // an unknown code
    EXPECT_EQ(b->GetValue().toString(), QStringLiteral("#NULL!"));
    EXPECT_EQ(messageOf([&] { b->SetValue(QStringLiteral("#BAD")); }),
              QStringLiteral("Invalid cell error code: \"#BAD\""));
    EXPECT_EQ(messageOf([&] { b->SetValue(QVariant(3.5)); }),
              QStringLiteral("Invalid cell value: \"3.5\""));
}

TEST_F(CellsTest, MulRecordsExpandIntoSingleCells)
{
    // MULRK of three cells at row 3, columns 2-4.
    QByteArray d = le16(3) + le16(2);
    for (int i = 0; i < 3; ++i) {
        quint32 rk = 0;
        EncodeRK(i + 1, rk);
        d += le16(quint16(15 + i)) + le32(rk);
    }
    d += le16(4);
    cells.AddMultiple(TBaseRecord(RID_MULRK, d));
    QByteArray b = le16(3) + le16(6) + le16(20) + le16(21) + le16(7);
    cells.AddMultiple(TBaseRecord(RID_MULBLANK, b));
    cells.EnsureRow(3);
    cells.finishLoad();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(at(3, 2 + i));
        EXPECT_EQ(at(3, 2 + i)->Id, RID_RK);
        EXPECT_EQ(at(3, 2 + i)->xf(), 15 + i);
        EXPECT_EQ(at(3, 2 + i)->GetValue().toDouble(), i + 1.0);
    }
    EXPECT_EQ(at(3, 6)->Id, RID_BLANK);
    EXPECT_EQ(at(3, 7)->xf(), 21);
    ByteWriter w;
    cells.SaveToStream(w);
    int rk = 0, blank = 0;
    for (const RawRecord &r : splitRecords(w.bytes)) {
        rk += r.id == RID_RK;
        blank += r.id == RID_BLANK;
        EXPECT_NE(r.id, RID_MULRK);
    }
    EXPECT_EQ(rk, 3);
    EXPECT_EQ(blank, 2);
}

TEST_F(CellsTest, CellBlockWritesRowsInBlocksOf32ThenTheirCells)
{
    for (int r = 0; r < 40; ++r)
        set(r, 0, r);
    ByteWriter w;
    cells.SaveToStream(w);
    const auto recs = splitRecords(w.bytes);
    ASSERT_EQ(recs.size(), 80u);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(recs[size_t(i)].id, RID_ROW);
    for (int i = 32; i < 64; ++i)
        EXPECT_EQ(recs[size_t(i)].id, RID_RK);
    EXPECT_EQ(recs[64].id, RID_ROW);
    // Cells in a row without ROW record below the last one: refused.
    cells.Rows.resize(39);
    EXPECT_EQ(messageOf([&] {
                  ByteWriter w2;
                  cells.SaveToStream(w2);
              }),
              QStringLiteral("Number of ROW record is not the same that the cell count"));
}

TEST(ColInfo, RunsAreWrittenBackAndNeverBridgeAGap)
{
    TColInfoList cols;
    QByteArray d = le16(2) + le16(5) + le16(3000) + le16(15) + le16(0) + le16(0);
    cols.AddRecord(TBaseRecord(RID_COLINFO, d));
    ByteWriter w;
    cols.SaveToStream(w);
    auto recs = splitRecords(w.bytes);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].data, d);
    // Columns 2-3 and 5-6 alike with nothing at 4: column 4 keeps the sheet's defaults.
    TColInfoList gap;
    for (int c : {2, 3, 5, 6}) {
        TColInfo &ci = gap.ensure(c, 3000);
        ci.XF = 15;
    }
    ByteWriter w2;
    gap.SaveToStream(w2);
    recs = splitRecords(w2.bytes);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(qFromLittleEndian<quint16>(recs[0].data.constData() + 2), 3);
    EXPECT_EQ(qFromLittleEndian<quint16>(recs[1].data.constData()), 5);
}

TEST(Formats, PaletteFormatsAndSheetNames)
{
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("plain.xls"))));
    TWorkbookGlobals &g = wb.Globals;
    ASSERT_FALSE(g.Palette);
    EXPECT_EQ(g.GetColor(2), 0x0000FFu);
    EXPECT_EQ(messageOf([&] { g.GetColor(56); }),
              QStringLiteral(
                  "The index \"56\" of the property \"Palette index\" is not in the range 0-55"));
    g.SetColor(5, 0x123456);
    ASSERT_TRUE(g.Palette);
    EXPECT_EQ(g.GetColor(5), 0x123456u);
    EXPECT_EQ(g.GetColor(4), 0xFF0000u);
    EXPECT_EQ(
        messageOf([&] { g.SetColor(56, 1); }),
        QStringLiteral("Too many entries for this kind of record (56 out of a maximum of 55)"));
    // The new palette sits after the last XF or STYLE record.
    const auto recs = splitRecords(wb.SaveToStream());
    for (size_t i = 0; i < recs.size(); ++i)
        if (recs[i].id == RID_PALETTE) {
            EXPECT_EQ(recs[i].data.size(), 226);
            EXPECT_EQ(recs[i - 1].id, RID_STYLE);
        }
    EXPECT_EQ(g.GetFormatString(14), QStringLiteral("DD.MM.YY"));
    EXPECT_EQ(g.GetFormatString(5), QString());

    TSheetNameList names;
    names.Add(QStringLiteral("Sheet"));
    EXPECT_EQ(names.AddUnique(QStringLiteral("Sheet")), QStringLiteral("Sheet1"));
    EXPECT_EQ(names.AddUnique(QStringLiteral("Sheet")), QStringLiteral("Sheet2"));
    EXPECT_EQ(names.AddUnique(QStringLiteral("Foglio")), QStringLiteral("Foglio"));
    EXPECT_EQ(messageOf([&] { names.Add(QStringLiteral("Sheet1")); }),
              QStringLiteral("Sheet name already exist: Sheet1"));
    names.Add(QStringLiteral("sheet1")); // case counts
}
