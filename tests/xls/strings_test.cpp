#include "xlstestutil.h"

#include "xls/cells.h"
#include "xls/workbook.h"
#include "xls/xlsmessages.h"
#include "xls/xlsstrings.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace xls;
using namespace xlstest;

namespace {

// An SST record whose strings are given as raw bytes, split over records at the given sizes.
std::unique_ptr<TBaseRecord> sstChain(quint32 count, const std::vector<QByteArray> &pieces)
{
    auto first = std::make_unique<TBaseRecord>(RID_SST, le32(count) + le32(count) + pieces[0]);
    TBaseRecord *tail = first.get();
    for (size_t i = 1; i < pieces.size(); ++i) {
        tail->Continue = std::make_unique<TContinueRecord>(RID_CONTINUE, pieces[i]);
        tail = tail->Continue.get();
    }
    return first;
}

QString readOne(const TBaseRecord &sst)
{
    TSST table;
    table.LoadFromSSTRecord(sst);
    return table.Entries.at(0)->Value.Value();
}

} // namespace

TEST(ExcelString, StorageFollowsTheCharacters)
{
    EXPECT_FALSE(TExcelString(2, QStringLiteral("abc")).isWide());
    EXPECT_FALSE(TExcelString(2, QStringLiteral("città")).isWide());
    EXPECT_TRUE(TExcelString(2, QStringLiteral("€ euro")).isWide());
    EXPECT_EQ(messageOf([] { TExcelString(1, QString(256, u'x')); }),
              QStringLiteral("Invalid String record"));
    TExcelString bad(2, QStringLiteral("x"));
    bad.StrLenLength = 3;
    ByteWriter w;
    EXPECT_EQ(messageOf([&] { bad.SaveToStream(w); }),
              QStringLiteral("StrLenLength should be 1 or 2"));
}

TEST(ExcelString, NarrowAndWideCopiesOfOneTextNeverCompareEqual)
{
    TExcelString narrow(2, QStringLiteral("abc"));
    TExcelString wide(2, QStringLiteral("abc"));
    wide.OptionFlags = 1;
    EXPECT_NE(narrow.compare(wide), 0);
    EXPECT_LT(narrow.compare(wide), 0);
    // 16-bit texts order by length first.
    TExcelString w1(2, QStringLiteral("€zz")), w2(2, QStringLiteral("€a"));
    EXPECT_GT(w1.compare(w2), 0);
}

TEST(ExcelString, CharactersContinuingInTheNextRecordReadBack)
{
    // "abcdef": three 8-bit characters here, the rest 16-bit in the CONTINUE.
    QByteArray head = le16(6) + QByteArray(1, '\0') + QByteArray("abc");
    QByteArray rest = QByteArray(1, '\1') + QByteArray("d\0e\0f\0", 6);
    EXPECT_EQ(readOne(*sstChain(1, {head, rest})), QStringLiteral("abcdef"));
    // Wide first, then an 8-bit continuation widened one by one.
    head = le16(4) + QByteArray(1, '\1') + QByteArray("\xAC\x20x\0", 4);
    rest = QByteArray(1, '\0') + QByteArray("yz");
    EXPECT_EQ(readOne(*sstChain(1, {head, rest})), QString::fromUtf8("€xyz"));
}

TEST(ExcelString, ContinuationStartsWithOptionByteEvenWhenNoCharacterWasRead)
{
    // The header fills the record; every character lies in the next one, which still starts
    // with its option byte (files of real programs do so).
    const QByteArray head = le16(3) + QByteArray(1, '\0');
    const QByteArray rest = QByteArray(1, '\1') + QByteArray("x\0y\0z\0", 6);
    TSST table;
    auto sst = sstChain(2, {head, rest + le16(1) + QByteArray(1, '\0') + QByteArray("q")});
    table.LoadFromSSTRecord(*sst);
    ASSERT_EQ(table.count(), 2);
    EXPECT_EQ(table.Entries[0]->Value.Value(), QStringLiteral("xyz"));
    EXPECT_TRUE(table.Entries[0]->Value.isWide());
    EXPECT_EQ(table.Entries[1]->Value.Value(), QStringLiteral("q"));
}

TEST(ExcelString, AStringRunningPastItsLastRecordIsAnError)
{
    const QByteArray head = le16(10) + QByteArray(1, '\0') + QByteArray("abc");
    EXPECT_EQ(messageOf([&] { readOne(*sstChain(1, {head})); }),
              QStringLiteral("Error reading record"));
    // A far-east size far beyond the data is refused before anything is allocated.
    const QByteArray farEast = le16(1) + QByteArray(1, '\4') + le32(0xFFFFFFF0u) + QByteArray("a");
    EXPECT_EQ(messageOf([&] { readOne(*sstChain(1, {farEast})); }),
              QStringLiteral("Error reading record"));
    // More strings announced than present.
    const QByteArray one = le16(1) + QByteArray(1, '\0') + QByteArray("a");
    EXPECT_EQ(messageOf([&] { readOne(*sstChain(100000000, {one})); }),
              QStringLiteral("Error reading record"));
}

TEST(SST, ReferencesFollowTheCellsThatUseAString)
{
    TSST sst;
    TColInfoList cols;
    TCells cells(&sst, &cols);
    cells.SetValue(0, 0, {QStringLiteral("abc"), -1, false});
    cells.SetValue(0, 1, {QStringLiteral("abc"), -1, false});
    ASSERT_EQ(sst.count(), 1);
    EXPECT_EQ(sst.Entries[0]->Refs, 2);
    cells.SetValue(0, 0, {42, -1, false});
    EXPECT_EQ(sst.Entries[0]->Refs, 1);
    cells.SetValue(0, 1, {3.5, -1, false});
    EXPECT_EQ(sst.Entries[0]->Refs, 0);
    sst.PrepareForSave();
    EXPECT_EQ(sst.count(), 0);
}

TEST(SST, ThousandStringsAreWrittenInWholeStringsWithTheirIndex)
{
    TSST sst;
    for (int i = 0; i < 1000; ++i)
        sst.AddString(QStringLiteral("stringa numero %1").arg(i, 5, 10, QLatin1Char('0')));
    ByteWriter w;
    w.append(QByteArray(100, 'x')); // the table does not start the stream
    sst.SaveToStream(w);
    const auto recs = splitRecords(w.bytes.mid(100));
    ASSERT_GE(recs.size(), 3u);
    EXPECT_EQ(recs[0].id, RID_SST);
    int strings = 0;
    for (size_t i = 0; i + 1 < recs.size(); ++i) {
        EXPECT_LE(recs[i].data.size(), 8222);
        EXPECT_EQ(recs[i].id, i == 0 ? RID_SST : RID_CONTINUE);
        // Each record holds whole strings: 2-byte length, option byte, 20 characters.
        EXPECT_EQ((recs[i].data.size() - (i == 0 ? 8 : 0)) % 23, 0);
        strings += int((recs[i].data.size() - (i == 0 ? 8 : 0)) / 23);
    }
    EXPECT_EQ(strings, 1000);
    const RawRecord &ext = recs.back();
    EXPECT_EQ(ext.id, RID_EXTSST);
    EXPECT_EQ(qFromLittleEndian<quint16>(ext.data.constData()), 8);
    EXPECT_EQ(ext.data.size(), 8 * 125 + 2);
    // Every bucket points at its string: stream position and offset in its record.
    for (int b = 0; b < 125; ++b) {
        const quint32 pos = qFromLittleEndian<quint32>(ext.data.constData() + 2 + 8 * b);
        const quint16 inRecord = qFromLittleEndian<quint16>(ext.data.constData() + 6 + 8 * b);
        EXPECT_EQ(w.bytes.mid(pos + 3, 20), sst.Entries[size_t(b * 8)]->Value.Text.toLatin1());
        EXPECT_EQ(qsizetype(pos) - inRecord >= 100, true);
        const quint16 id = qFromLittleEndian<quint16>(w.bytes.constData() + pos - inRecord);
        EXPECT_TRUE(id == RID_SST || id == RID_CONTINUE);
    }
}

TEST(SST, EmptyTableAndOversizedString)
{
    TSST sst;
    ByteWriter w;
    sst.SaveToStream(w);
    const auto recs = splitRecords(w.bytes);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0].data.size(), 8);
    EXPECT_EQ(recs[1].data, le16(8));
    sst.AddString(QString(9000, u'a'));
    ByteWriter w2;
    EXPECT_EQ(messageOf([&] { sst.SaveToStream(w2); }), QStringLiteral("String too large"));
}

TEST(SST, LongTableOfARealFileReadsAsXlrdReadsIt)
{
    // strings.xls holds strings split across CONTINUE records, wide ones among them.
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("strings.xls"))));
    const QJsonArray cells = check(QStringLiteral("cells"), fixture(QStringLiteral("strings.xls")))
                                 .object()["sheets"]
                                 .toArray()[0]
                                 .toObject()["cells"]
                                 .toArray();
    auto *ws = wb.WorkSheet(0);
    ASSERT_TRUE(ws);
    int texts = 0;
    for (const auto &c : cells) {
        const QJsonArray cell = c.toArray();
        const TXlsCellValue v = ws->Cells->GetValue(cell[0].toInt(), cell[1].toInt());
        if (cell[2].toInt() == 1) {
            EXPECT_EQ(v.Value.toString(), cell[3].toString()) << cell[0].toInt();
            ++texts;
        } else {
            EXPECT_EQ(v.Value.toDouble(), cell[3].toDouble());
        }
        EXPECT_EQ(v.XF, cell[4].toInt());
    }
    EXPECT_EQ(texts, 1500);
}
