#include "xlstestutil.h"

#include "xls/compoundfile.h"
#include "xls/workbook.h"
#include "xls/xlsadapter.h"
#include "xls/xlsmessages.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

using namespace xls;
using namespace xlstest;

namespace {

// Opens a fixture and saves it unchanged through the adapter.
QString roundTrip(const QString &fixtureName, const QString &dir, QByteArray *workbookOut = nullptr)
{
    TXLSAdapter adapter;
    auto file = adapter.NewExcelFile();
    file->AttachWorkbook();
    file->OpenFile(fixture(fixtureName));
    const QString out = dir + QStringLiteral("/") + fixtureName;
    file->Save(false, out);
    file->ReleaseWorkbook();
    if (workbookOut)
        *workbookOut = workbookStream(out);
    return out;
}

// Cells as xlrd sees them, formula cells left out (their results are recalculated on load).
QJsonArray plainCells(const QJsonDocument &doc, int sheet,
                      const std::set<std::pair<int, int>> &skip = {})
{
    QJsonArray out;
    for (const auto &c : doc.object()[QStringLiteral("sheets")]
                             .toArray()[sheet]
                             .toObject()[QStringLiteral("cells")]
                             .toArray()) {
        const QJsonArray cell = c.toArray();
        if (skip.count({cell[0].toInt(), cell[1].toInt()}))
            continue;
        out.append(QJsonArray{cell[0], cell[1], cell[2], cell[3], cell[4]});
    }
    return out;
}

} // namespace

class WorkbookRoundTrip : public ::testing::TestWithParam<const char *>
{
};

TEST_P(WorkbookRoundTrip, SavedUnchangedReadsTheSameThroughXlrd)
{
    QTemporaryDir dir;
    const QString name = QString::fromLatin1(GetParam());
    const QString out = roundTrip(name, dir.path());
    const QJsonDocument before = check(QStringLiteral("cells"), fixture(name));
    const QJsonDocument after = check(QStringLiteral("cells"), out);
    const QJsonArray sheetsBefore = before.object()[QStringLiteral("sheets")].toArray();
    const QJsonArray sheetsAfter = after.object()[QStringLiteral("sheets")].toArray();
    ASSERT_EQ(sheetsBefore.size(), sheetsAfter.size());
    for (int s = 0; s < sheetsBefore.size(); ++s) {
        // Formula cells keep their tokens but not their cached results.
        std::set<std::pair<int, int>> formulas;
        for (const auto &c : sheetsAfter[s].toObject()[QStringLiteral("cells")].toArray())
            if (c.toArray()[2].toInt() == 5) // xlrd's error type: our "recalculate" marker
                formulas.insert({c.toArray()[0].toInt(), c.toArray()[1].toInt()});
        EXPECT_EQ(sheetsBefore[s].toObject()[QStringLiteral("name")],
                  sheetsAfter[s].toObject()[QStringLiteral("name")]);
        EXPECT_EQ(plainCells(before, s, formulas), plainCells(after, s, formulas)) << "sheet " << s;
        EXPECT_EQ(sheetsBefore[s].toObject()[QStringLiteral("merged")],
                  sheetsAfter[s].toObject()[QStringLiteral("merged")]);
    }
    EXPECT_EQ(before.object()[QStringLiteral("names")], after.object()[QStringLiteral("names")]);
}

TEST_P(WorkbookRoundTrip, OtherStreamsAreCopiedByteForByte)
{
    QTemporaryDir dir;
    const QString name = QString::fromLatin1(GetParam());
    const QString out = roundTrip(name, dir.path());
    const QJsonArray before =
        check(QStringLiteral("storage"), fixture(name)).object()["entries"].toArray();
    const QJsonArray after = check(QStringLiteral("storage"), out).object()["entries"].toArray();
    ASSERT_EQ(before.size(), after.size());
    for (int i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].toArray()[0], after[i].toArray()[0]);
        if (before[i].toArray()[0].toString() != QStringLiteral("Workbook")) {
            EXPECT_EQ(before[i], after[i]);
        }
    }
}

TEST_P(WorkbookRoundTrip, SavingTwiceGivesTheSameBytes)
{
    const QString name = QString::fromLatin1(GetParam());
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(name)));
    const QByteArray first = wb.SaveToStream();
    const QByteArray second = wb.SaveToStream();
    EXPECT_EQ(first, second);
    TWorkbook again;
    again.LoadFromStream(first);
    EXPECT_EQ(again.SaveToStream(), first);
}

TEST_P(WorkbookRoundTrip, BoundSheetPositionsPointAtTheSheetsBof)
{
    const QString name = QString::fromLatin1(GetParam());
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(name)));
    const QByteArray out = wb.SaveToStream();
    int sheets = 0;
    for (const RawRecord &r : splitRecords(out)) {
        if (r.id != RID_BOUNDSHEET)
            continue;
        ++sheets;
        const quint32 pos = qFromLittleEndian<quint32>(r.data.constData());
        ASSERT_LT(qsizetype(pos) + 8, out.size());
        EXPECT_EQ(qFromLittleEndian<quint16>(out.constData() + pos), RID_BOF);
        EXPECT_EQ(qFromLittleEndian<quint16>(out.constData() + pos + 4 + 2), 0x0010);
    }
    EXPECT_EQ(sheets, wb.SheetCount());
}

TEST_P(WorkbookRoundTrip, DroppedRecordsAreAbsentAndTheRestKeepsItsOrder)
{
    const QString name = QString::fromLatin1(GetParam());
    const QByteArray in = workbookStream(fixture(name));
    TWorkbook wb;
    wb.LoadFromStream(in);
    const QByteArray out = wb.SaveToStream();
    const std::set<quint16> dropped{RID_DIMENSIONS, RID_INDEX,    RID_DBCELL,
                                    RID_EXTSST,     RID_RECALCID, RID_MSODRAWINGSELECTION,
                                    RID_XCT,        RID_CRN};
    std::vector<quint16> outIds;
    for (const RawRecord &r : splitRecords(out)) {
        if (r.id != RID_EXTSST) { // the new string index is written again
            EXPECT_FALSE(dropped.count(r.id)) << std::hex << r.id;
        }
        outIds.push_back(r.id);
    }
    // The globals' records the library does not know keep their relative order.
    std::vector<quint16> knownless;
    std::vector<quint16> knownlessOut;
    const std::set<quint16> moved{RID_XF,      RID_FONT,        RID_FORMAT, RID_BOUNDSHEET,
                                  RID_SUPBOOK, RID_EXTERNSHEET, RID_NAME,   RID_MSODRAWINGGROUP,
                                  RID_SST,     RID_CONTINUE,    RID_EXTSST};
    auto globalsIds = [&](const std::vector<RawRecord> &recs, std::vector<quint16> &ids) {
        for (const RawRecord &r : recs) {
            if (r.id == RID_EOF)
                break;
            if (!moved.count(r.id) && !dropped.count(r.id))
                ids.push_back(r.id);
        }
    };
    globalsIds(splitRecords(in), knownless);
    globalsIds(splitRecords(out), knownlessOut);
    EXPECT_EQ(knownless, knownlessOut);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WorkbookRoundTrip,
                         ::testing::Values("rich.xls", "strings.xls", "survey.xls", "plain.xls"));

TEST(Workbook, FormatListsAreWrittenUnchangedWhereTheirFirstRecordWas)
{
    const QByteArray in = workbookStream(fixture(QStringLiteral("rich.xls")));
    TWorkbook wb;
    wb.LoadFromStream(in);
    const QByteArray out = wb.SaveToStream();
    auto pick = [](const QByteArray &s, quint16 id) {
        std::vector<QByteArray> v;
        for (const RawRecord &r : splitRecords(s))
            if (r.id == id)
                v.push_back(r.data);
        return v;
    };
    for (quint16 id : {quint16(RID_XF), quint16(RID_FONT), quint16(RID_FORMAT), quint16(RID_STYLE)})
        EXPECT_EQ(pick(in, id), pick(out, id)) << std::hex << id;
    // The first FONT comes right after the record that preceded it in the template.
    auto indexOfFirst = [](const QByteArray &s, quint16 id) -> std::pair<quint16, int> {
        const auto recs = splitRecords(s);
        for (size_t i = 1; i < recs.size(); ++i)
            if (recs[i].id == id)
                return {recs[i - 1].id, int(i)};
        return {0, -1};
    };
    EXPECT_EQ(indexOfFirst(in, RID_FONT).first, indexOfFirst(out, RID_FONT).first);
}

TEST(Workbook, UnknownRecordsAndContinuationsAreWrittenBackInPlace)
{
    // A sheet-protection record (unknown to the library) and a record with one CONTINUE.
    auto recs = splitRecords(workbookStream(fixture(QStringLiteral("plain.xls"))));
    size_t window2 = 0;
    for (size_t i = 0; i < recs.size(); ++i)
        if (recs[i].id == RID_WINDOW2)
            window2 = i;
    ASSERT_GT(window2, 0u);
    recs.insert(recs.begin() + long(window2) + 1, RawRecord{0x0012, le16(1), 0});
    recs.insert(recs.begin() + long(window2) + 2, RawRecord{0x0862, QByteArray("abcd"), 0});
    recs.insert(recs.begin() + long(window2) + 3, RawRecord{RID_CONTINUE, QByteArray("efg"), 0});
    TWorkbook wb;
    wb.LoadFromStream(joinRecords(recs));
    const auto out = splitRecords(wb.SaveToStream());
    bool found = false;
    for (size_t i = 0; i + 3 < out.size(); ++i)
        if (out[i].id == RID_WINDOW2) {
            EXPECT_EQ(out[i + 1].id, 0x0012);
            EXPECT_EQ(out[i + 2].id, 0x0862);
            EXPECT_EQ(out[i + 2].data, QByteArray("abcd"));
            EXPECT_EQ(out[i + 3].id, RID_CONTINUE);
            EXPECT_EQ(out[i + 3].data, QByteArray("efg"));
            found = true;
        }
    EXPECT_TRUE(found);
}

TEST(Workbook, MalformedStreamsAreRefusedWithTheLibrarysMessages)
{
    const QByteArray good = workbookStream(fixture(QStringLiteral("plain.xls")));
    const auto recs = splitRecords(good);
    const QString invalid = QStringLiteral("Error reading Excel records. File invalid");
    auto load = [](const QByteArray &s) {
        return messageOf([&] {
            TWorkbook wb;
            wb.LoadFromStream(s);
        });
    };
    EXPECT_EQ(load(QByteArray()), invalid);                                // empty stream
    EXPECT_EQ(load(joinRecords({recs.begin() + 1, recs.end()})), invalid); // no BOF
    // Without the last EOF.
    EXPECT_EQ(load(joinRecords({recs.begin(), recs.end() - 1})), invalid);
    // BIFF5.
    auto biff5 = recs;
    biff5[0].data[0] = 0x00;
    biff5[0].data[1] = 0x05;
    EXPECT_EQ(load(joinRecords(biff5)),
              QStringLiteral("Template file is saved with an invalid Excel version"));
    // Password protected.
    auto pass = recs;
    pass.insert(pass.begin() + 1, RawRecord{RID_FILEPASS, QByteArray(6, '\0'), 0});
    EXPECT_EQ(load(joinRecords(pass)), QStringLiteral("File is password protected"));
    // A record that claims more bytes than the stream has.
    QByteArray cut = good;
    cut.truncate(good.size() - 2);
    EXPECT_EQ(load(cut), invalid);
    // A ROW record shorter than its fields.
    auto shortRow = recs;
    for (auto &r : shortRow)
        if (r.id == RID_ROW) {
            r.data.truncate(3);
            break;
        }
    EXPECT_EQ(load(joinRecords(shortRow)), QStringLiteral("Record with ID 0x208 is invalid"));
    // A text cell pointing beyond the string table.
    auto badIndex = recs;
    for (auto &r : badIndex)
        if (r.id == RID_LABELSST) {
            r.data.replace(6, 4, le32(100000));
            break;
        }
    EXPECT_EQ(load(joinRecords(badIndex)), invalid);
    // A STRING record with no formula before it.
    auto stray = recs;
    for (size_t i = 0; i < stray.size(); ++i)
        if (stray[i].id == RID_WINDOW2) {
            stray.insert(stray.begin() + long(i),
                         RawRecord{RID_STRING, QByteArray("\x01\x00\x00x", 4), 0});
            break;
        }
    EXPECT_EQ(load(joinRecords(stray)), invalid);
    // Two BOUNDSHEET records of the same name.
    auto twice = recs;
    for (size_t i = 0; i < twice.size(); ++i)
        if (twice[i].id == RID_BOUNDSHEET) {
            twice.insert(twice.begin() + long(i), twice[i]);
            break;
        }
    EXPECT_TRUE(load(joinRecords(twice)).startsWith(QStringLiteral("Sheet name already exist: ")));
}

TEST(Workbook, InheritedFormatsTheWorkbookLacksAreRefusedOnLoad)
{
    // A cell written later into the column or row takes its format: the index must name one
    // of the workbook's formats, as a format given with the cell must.
    const auto recs = splitRecords(workbookStream(fixture(QStringLiteral("subjects.xls"))));
    const int formats = int(
        std::count_if(recs.begin(), recs.end(), [](const RawRecord &r) { return r.id == RID_XF; }));
    const std::pair<quint16, std::function<void(QByteArray &, int)>> damages[] = {
        {RID_COLINFO, [](QByteArray &d, int xf) { d.replace(6, 2, le16(quint16(xf))); }},
        {RID_ROW,
         [](QByteArray &d, int xf) {
             d.replace(12, 2, le16(0x0180));
             d.replace(14, 2, le16(quint16(xf)));
         }},
    };
    for (const auto &[id, damage] : damages)
        for (int xf : {formats - 1, formats, 0x0FFF}) {
            SCOPED_TRACE(
                QStringLiteral("record 0x%1, format %2").arg(id, 0, 16).arg(xf).toStdString());
            auto damaged = recs;
            auto it = std::find_if(damaged.begin(), damaged.end(),
                                   [id = id](const RawRecord &r) { return r.id == id; });
            ASSERT_NE(it, damaged.end());
            damage(it->data, xf);
            const QString message = messageOf([&] {
                TWorkbook wb;
                wb.LoadFromStream(joinRecords(damaged));
            });
            EXPECT_EQ(message, xf < formats
                                   ? QStringLiteral("<no exception>")
                                   : QStringLiteral("Error reading Excel records. File invalid"));
        }
}

TEST(Workbook, ASectionWithoutBofCannotBeSaved)
{
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("plain.xls"))));
    wb.Sheets[0]->EOF_.reset();
    EXPECT_EQ(messageOf([&] { wb.SaveToStream(); }),
              QStringLiteral("A section of the workbook is not loaded"));
}

TEST(Workbook, WorksheetRecordsAreWrittenInTheSectionOrder)
{
    // BOF, the records before WINDOW2, page breaks, columns, the cell block, drawing, notes,
    // WINDOW2 and what follows it, merged cells and conditional formats, EOF.
    TWorkbook wb;
    wb.LoadFromStream(workbookStream(fixture(QStringLiteral("survey.xls"))));
    ByteWriter w;
    wb.Sheets[0]->SaveToStream(w);
    const auto recs = splitRecords(w.bytes);
    auto firstIndex = [&](quint16 id) {
        for (size_t i = 0; i < recs.size(); ++i)
            if (recs[i].id == id)
                return int(i);
        return -1;
    };
    const std::vector<quint16> order{RID_BOF,     RID_DEFCOLWIDTH, RID_HPAGEBREAKS, RID_COLINFO,
                                     RID_ROW,     RID_MSODRAWING,  RID_WINDOW2,     RID_MERGEDCELLS,
                                     RID_CONDFMT, RID_CF,          RID_EOF};
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        ASSERT_GE(firstIndex(order[i]), 0) << std::hex << order[i];
        EXPECT_LT(firstIndex(order[i]), firstIndex(order[i + 1])) << std::hex << order[i];
    }
    EXPECT_EQ(recs.back().id, RID_EOF);
}
