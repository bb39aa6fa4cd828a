#include "xlstestutil.h"

#include "xls/formula.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"

#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

using namespace xls;
using namespace xlstest;

namespace {

QByteArray formulaData(int row, int col, const QByteArray &result, const QByteArray &tokens)
{
    return le16(quint16(row)) + le16(quint16(col)) + le16(15) + result + le16(0) +
           le32(0x12345678) + le16(quint16(tokens.size())) + tokens;
}

QByteArray doubleBytes(double v)
{
    QByteArray b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}

// plain.xls with extra records put into its worksheet right before WINDOW2.
QByteArray withSheetRecords(const std::vector<RawRecord> &extra)
{
    auto recs = splitRecords(workbookStream(fixture(QStringLiteral("plain.xls"))));
    for (size_t i = 0; i < recs.size(); ++i)
        if (recs[i].id == RID_WINDOW2) {
            recs.insert(recs.begin() + long(i), extra.begin(), extra.end());
            break;
        }
    return joinRecords(recs);
}

} // namespace

TEST(FormulaRecord, CachedResultIsReadThenReplacedByRecalculateOnLoad)
{
    TFormulaRecord num(RID_FORMULA,
                       formulaData(1, 2, doubleBytes(42.5), QByteArray("\x1E\x01\x00", 3)));
    EXPECT_EQ(num.GetValue().toDouble(), 42.5);
    EXPECT_EQ(num.Data.mid(6, 8), QByteArray("\x02\0\0\0\0\0\xFF\xFF", 8));
    EXPECT_EQ(num.getDWord(16), 0u);
    EXPECT_TRUE(num.getWord(14) & 0x0002);
    const QByteArray boolResult("\x01\0\x01\0\0\0\xFF\xFF", 8);
    TFormulaRecord b(RID_FORMULA, formulaData(1, 2, boolResult, QByteArray("\x1D\x01", 2)));
    EXPECT_EQ(b.GetValue(), QVariant(true));
    // A token array longer than the record is refused on reading.
    QByteArray bad = formulaData(1, 2, doubleBytes(1), QByteArray("\x1E\x01\x00", 3));
    bad[20] = 50;
    EXPECT_EQ(messageOf([&] { TFormulaRecord f(RID_FORMULA, bad); }),
              QStringLiteral("Error reading Excel records. File invalid"));
}

TEST(FormulaRecord, StringResultsComeFromTheFollowingStringRecord)
{
    const QByteArray stringResult("\x00\0\0\0\0\0\xFF\xFF", 8);
    const QByteArray tokens = QByteArray("\x17\x02\x00", 3) + "ok";
    TWorkbook wb;
    wb.LoadFromStream(withSheetRecords({{RID_ROW, le16(20) + QByteArray(14, '\0'), 0},
                                        {RID_FORMULA, formulaData(20, 1, stringResult, tokens), 0},
                                        {RID_STRING, le16(5) + QByteArray(1, '\0') + "hello", 0}}));
    const TXlsCellValue v = wb.WorkSheet(0)->Cells->GetValue(20, 1);
    EXPECT_TRUE(v.IsFormula);
    EXPECT_EQ(v.Value.toString(), QStringLiteral("hello"));
    for (const RawRecord &r : splitRecords(wb.SaveToStream()))
        EXPECT_NE(r.id, RID_STRING);
}

TEST(FormulaRecord, SharedFormulasAreExpandedIntoEachCell)
{
    // Rows 20-21 of column B share "=A(row)+1" written with a relative reference (tRefN).
    const QByteArray shared = le16(20) + le16(21) + QByteArray(1, '\1') + QByteArray(1, '\1') +
                              QByteArray(1, '\0') + QByteArray(1, '\2') + le16(8) +
                              QByteArray(1, char(0x2C)) + le16(0) + le16(quint16(0xC000 | 0xFF)) +
                              QByteArray("\x1E\x01\x00", 3);
    const QByteArray exp = QByteArray(1, '\1') + le16(20) + le16(1);
    TWorkbook wb;
    wb.LoadFromStream(
        withSheetRecords({{RID_ROW, le16(20) + QByteArray(14, '\0'), 0},
                          {RID_ROW, le16(21) + QByteArray(14, '\0'), 0},
                          {RID_FORMULA, formulaData(20, 1, doubleBytes(0), exp), 0},
                          {RID_SHRFMLA, shared, 0},
                          {RID_FORMULA, formulaData(21, 1, doubleBytes(0), exp), 0}}));
    for (int r : {20, 21}) {
        auto *f = static_cast<TFormulaRecord *>(wb.WorkSheet(0)->Cells->cellAt(r, 1));
        ASSERT_TRUE(f);
        ASSERT_EQ(f->cce(), 8);
        EXPECT_EQ(quint8(f->Data.at(22)), 0x24);
        EXPECT_EQ(f->getWord(23), r);
        EXPECT_EQ(f->getWord(25) & 0xFF, 0); // column B - 1 wraps to A within the column byte
    }
    // Without its SHRFMLA record the pointer is an error.
    EXPECT_EQ(messageOf([&] {
                  TWorkbook bad;
                  bad.LoadFromStream(withSheetRecords(
                      {{RID_ROW, le16(20) + QByteArray(14, '\0'), 0},
                       {RID_FORMULA, formulaData(20, 1, doubleBytes(0), exp), 0}}));
              }),
              QStringLiteral("Can't find Shared Formula"));
}

TEST(FormulaRecord, ExpandedSharedFormulasNoLongerClaimToBeShared)
{
    // LibreOffice writes the subjects template's formula columns C6:C11 and D6:D11 as two
    // shared formulas. Once expanded, no cell may keep the flag that ties it to one.
    auto formulas = [](const QByteArray &stream, int &shared, int &pointers) {
        std::vector<RawRecord> out;
        shared = pointers = 0;
        for (const RawRecord &r : splitRecords(stream)) {
            shared += r.id == RID_SHRFMLA;
            if (r.id != RID_FORMULA)
                continue;
            pointers += quint8(r.data.at(22)) == 0x01;
            out.push_back(r);
        }
        return out;
    };
    int shared = 0, pointers = 0;
    const QByteArray original = workbookStream(fixture(QStringLiteral("subjects.xls")));
    int flagged = 0;
    for (const RawRecord &r : formulas(original, shared, pointers))
        flagged += (qFromLittleEndian<quint16>(r.data.constData() + 14) & 0x0008) != 0;
    ASSERT_EQ(shared, 2);
    ASSERT_EQ(pointers, 12);
    ASSERT_EQ(flagged, 12);

    TWorkbook wb;
    wb.LoadFromStream(original);
    wb.InsertAndCopyRows(1, 5, 5, 7, 2, false); // copies of an expanded formula too
    const auto saved = formulas(wb.SaveToStream(), shared, pointers);
    EXPECT_EQ(shared, 0);
    EXPECT_EQ(pointers, 0);
    EXPECT_EQ(saved.size(), 20u);
    for (const RawRecord &r : saved)
        EXPECT_EQ(qFromLittleEndian<quint16>(r.data.constData() + 14) & 0x0008, 0)
            << "row " << qFromLittleEndian<quint16>(r.data.constData());
}

TEST(FormulaRecord, DataTableRowsMoveWithTheirFormula)
{
    const QByteArray table = le16(5) + le16(8) + QByteArray(1, '\2') + QByteArray(1, '\3') +
                             le16(0x4) + le16(3) + le16(1) + le16(65535) + le16(0);
    const QByteArray tokens = QByteArray(1, '\2') + le16(5) + le16(2);
    TWorkbook wb;
    wb.LoadFromStream(withSheetRecords({{RID_ROW, le16(5) + QByteArray(14, '\0'), 0},
                                        {RID_FORMULA, formulaData(5, 2, doubleBytes(0), tokens), 0},
                                        {RID_TABLE, table, 0}}));
    wb.InsertAndCopyRows(0, 0, 0, 1, 2, false);
    auto *f = static_cast<TFormulaRecord *>(wb.WorkSheet(0)->Cells->cellAt(7, 2));
    ASSERT_TRUE(f);
    ASSERT_EQ(f->Attached.size(), 1u);
    const TBaseRecord &t = *f->Attached[0];
    EXPECT_EQ(t.getWord(0), 7);
    EXPECT_EQ(t.getWord(2), 10);
    EXPECT_EQ(t.getWord(8), 5);      // the input cell above the insertion stays
    EXPECT_EQ(t.getWord(12), 65535); // unused
    EXPECT_EQ(t.getWord(6), 0x4);    // the table's kind is kept
    EXPECT_EQ(f->getWord(23), 7);
    // TABLE after anything but a formula is refused.
    EXPECT_EQ(messageOf([&] {
                  TWorkbook bad;
                  bad.LoadFromStream(withSheetRecords({{RID_TABLE, table, 0}}));
              }),
              QStringLiteral("Error reading Excel records. File invalid"));
}

TEST(References, ExternSheetTableIsWrittenInPiecesAndLookedUpBothWays)
{
    TReferences refs;
    refs.AddSupBook(std::make_unique<TBaseRecord>(RID_SUPBOOK, le16(3) + le16(0x0401)));
    for (int i = 0; i < 1371; ++i)
        refs.ExternRefs.push_back({0, i % 3, i % 3});
    ByteWriter w;
    refs.SaveToStream(w);
    const auto recs = splitRecords(w.bytes);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[1].id, RID_EXTERNSHEET);
    EXPECT_EQ(recs[1].data.size(), 8222);
    EXPECT_EQ(recs[2].id, RID_CONTINUE);
    EXPECT_EQ(recs[2].data.size(), 6);
    // Read back across the CONTINUE.
    TBaseRecord ext(RID_EXTERNSHEET, recs[1].data);
    ext.Continue = std::make_unique<TContinueRecord>(RID_CONTINUE, recs[2].data);
    TReferences back;
    back.LoadExternSheet(ext);
    EXPECT_EQ(back.ExternRefs.size(), 1371u);

    TReferences small;
    small.AddSupBook(std::make_unique<TBaseRecord>(RID_SUPBOOK, le16(3) + le16(0x0401)));
    small.ExternRefs = {{0, 0, 1}, {0, 2, 2}};
    EXPECT_EQ(small.GetSheetOfRef(0), -1); // spans two sheets
    EXPECT_EQ(small.GetSheetOfRef(1), 2);
    EXPECT_EQ(small.GetRefOfSheet(2), 1);
    const int added = small.GetRefOfSheet(1);
    EXPECT_EQ(added, 2);
    EXPECT_EQ(small.GetRefOfSheet(1), added);
    small.ArrangeInsertSheets(1, 2);
    EXPECT_EQ(small.ExternRefs[0].LastSheet, 3);
    EXPECT_EQ(small.ExternRefs[1].FirstSheet, 4);
    EXPECT_EQ(small.SupBooks[0]->getWord(0), 5);
}
