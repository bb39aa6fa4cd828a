#include "xlstestutil.h"

#include "xls/compoundfile.h"
#include "xls/workbook.h"
#include "xls/xlsadapter.h"
#include "xls/xlsmessages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace xls;
using namespace xlstest;

namespace {

QJsonArray sheetCells(const QString &path, int sheet)
{
    return check(QStringLiteral("cells"), path)
        .object()["sheets"]
        .toArray()[sheet]
        .toObject()["cells"]
        .toArray();
}

// The cell (r, c) as xlrd reads it: [type, value, xf], or empty when absent.
QJsonArray xlrdCell(const QJsonArray &cells, int r, int c)
{
    for (const auto &v : cells) {
        const QJsonArray cell = v.toArray();
        if (cell[0].toInt() == r && cell[1].toInt() == c)
            return QJsonArray{cell[2], cell[3], cell[4]};
    }
    return {};
}

// The road of the survey: template store, adapter, file object.
class AdapterRoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store.Templates.Add().setFileName(fixture(QStringLiteral("survey.xls")));
        adapter.setTemplateStore(&store);
        file = adapter.NewExcelFile();
        file->AttachWorkbook();
    }
    void TearDown() override
    {
        if (file)
            file->ReleaseWorkbook();
    }
    QString out(const QString &name) { return dir.filePath(name); }

    QTemporaryDir dir;
    TXlsTemplateStore store;
    TXLSAdapter adapter;
    std::unique_ptr<TXLSFile> file;
};

} // namespace

TEST_F(AdapterRoad, OpenFillAndSaveGivesTheNewValuesToAnIndependentReader)
{
    ASSERT_EQ(store.Templates.GetTemplateItem(0).FileName(), QStringLiteral("survey.xls"));
    file->OpenFile(QStringLiteral("survey.xls"));
    EXPECT_EQ(file->GetActiveSheet(), 1);
    EXPECT_EQ(file->GetSheetCount(), 2);
    EXPECT_EQ(file->GetActiveSheetName(), QStringLiteral("Modello"));
    // Row 24 holds numbers from column F, row 27 formulas.
    const TXlsCellValue before = file->GetCellValueXAbs(24, 6);
    EXPECT_EQ(before.Value.toDouble(), 0.0);
    EXPECT_FALSE(before.IsFormula);
    EXPECT_TRUE(file->GetCellValueXAbs(27, 6).IsFormula);
    EXPECT_EQ(file->GetCellValueXAbs(200, 6).XF, -1);
    for (int c = 5; c <= 10; ++c)
        file->SetCellValue(24, c, c * 10);
    file->SetCellValue(33, 0, QStringLiteral("Matematica"));
    file->SetCellValue(4, 0, QStringLiteral("ANNO SCOLASTICO 2007/2008"));
    file->SetCellValue(25, 5, 2.5);
    file->Save(false, out(QStringLiteral("esiti.xls")));

    const QJsonArray cells = sheetCells(out(QStringLiteral("esiti.xls")), 0);
    const QJsonArray orig = sheetCells(fixture(QStringLiteral("survey.xls")), 0);
    for (int c = 5; c <= 10; ++c) {
        EXPECT_EQ(xlrdCell(cells, 23, c)[1].toDouble(), c * 10);
        EXPECT_EQ(xlrdCell(cells, 23, c)[2], xlrdCell(orig, 23, c)[2]); // format kept
    }
    EXPECT_EQ(xlrdCell(cells, 32, 0)[1].toString(), QStringLiteral("Matematica"));
    EXPECT_EQ(xlrdCell(cells, 3, 0)[1].toString(), QStringLiteral("ANNO SCOLASTICO 2007/2008"));
    EXPECT_EQ(xlrdCell(cells, 24, 5)[1].toDouble(), 2.5);
    // The template's texts that were replaced are gone from the string table.
    TWorkbook saved;
    saved.LoadFromStream(workbookStream(out(QStringLiteral("esiti.xls"))));
    for (const auto &e : saved.Globals.SST.Entries)
        EXPECT_NE(e->Value.Text, QStringLiteral("<materia>"));
    // The stored template is not touched by the save.
    TWorkbook again;
    again.LoadFromStream(
        store.GetStorages(QStringLiteral("survey.xls")).FindStream(QStringLiteral("Workbook")));
    EXPECT_EQ(again.WorkSheet(0)->Cells->GetValue(32, 0).Value.toString(),
              QStringLiteral("<materia>"));
}

TEST_F(AdapterRoad, AFormatTheWorkbookDoesNotHaveIsRefused)
{
    file->OpenFile(QStringLiteral("survey.xls"));
    const int formats = file->GetFormatCount();
    // A column's or a row's format reaches the cells later written there, as a cell's own.
    const std::pair<const char *, std::function<void(int)>> setters[] = {
        {"cell",
         [&](int xf) {
             file->SetCellValueX(30, 0, {5, xf, false});
         }},
        {"column", [&](int xf) { file->SetColumnFormat(3, xf); }},
        {"row", [&](int xf) { file->SetRowFormat(31, xf); }},
    };
    for (const auto &[what, set] : setters) {
        SCOPED_TRACE(what);
        EXPECT_EQ(messageOf([&] { set(formats); }),
                  QStringLiteral("The index \"%1\" of the property \"XF\" is not in the range 0-%2")
                      .arg(formats)
                      .arg(formats - 1));
        set(15);
    }
    file->SetCellValueAbs(31, 3, 7);
    EXPECT_EQ(file->GetCellValueX(30, 0).XF, 15);
    EXPECT_EQ(file->GetCellValueXAbs(31, 3).XF, 15);
}

TEST_F(AdapterRoad, TemplatesAreFoundByTheirExactBareName)
{
    file->OpenFile(QStringLiteral("/some/other/folder/survey.xls"));
    EXPECT_EQ(file->GetSheetCount(), 2);
    EXPECT_EQ(messageOf([&] { file->OpenFile(QStringLiteral("SURVEY.XLS")); }),
              QStringLiteral("Can't find file \"SURVEY.XLS\""));
}

// A file, or a link pointing nowhere, whose target the save would make elsewhere.
TEST_F(AdapterRoad, AnExistingOutputIsNeverOverwritten)
{
    file->OpenFile(QStringLiteral("survey.xls"));
    const QString path = out(QStringLiteral("exists.xls"));
    const QString link = out(QStringLiteral("link.xls"));
    writeFile(path, "keep me");
    ASSERT_TRUE(QFile::link(out(QStringLiteral("elsewhere.xls")), link));
    for (const QString &taken : {path, link})
        EXPECT_EQ(messageOf([&] { file->Save(false, taken); }),
                  QStringLiteral("Can't write to file \"%1\". Check it is not in use by another "
                                 "user")
                      .arg(taken));
    EXPECT_EQ(readFile(path), QByteArray("keep me"));
    EXPECT_FALSE(QFile::exists(out(QStringLiteral("elsewhere.xls"))));
}

TEST_F(AdapterRoad, AFailedSaveLeavesNoFile)
{
    file->OpenFile(QStringLiteral("survey.xls"));
    file->workbook()->Sheets[1]->BOF.reset();
    const QString path = out(QStringLiteral("broken.xls"));
    EXPECT_EQ(messageOf([&] { file->Save(false, path); }),
              QStringLiteral("A section of the workbook is not loaded"));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(AdapterRoad, SavingToAStreamGivesTheSameFile)
{
    file->OpenFile(QStringLiteral("survey.xls"));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    file->Save(false, QString(), {}, {}, &buffer);
    file->Save(false, out(QStringLiteral("disk.xls")));
    EXPECT_EQ(buffer.data(), readFile(out(QStringLiteral("disk.xls"))));
    QBuffer viaEvent;
    viaEvent.open(QIODevice::WriteOnly);
    file->Save(false, QString(), {}, [&](TXLSFile *, int format, QIODevice *&s) {
        EXPECT_EQ(format, 0);
        s = &viaEvent;
    });
    EXPECT_EQ(viaEvent.data(), buffer.data());
}

TEST_F(AdapterRoad, InsertAndCopyRowsArgumentsAreChecked)
{
    file->OpenFile(QStringLiteral("survey.xls"));
    const QString invalid = QStringLiteral("Ivalid arguments to call InsertAndCopyRows");
    EXPECT_EQ(messageOf([&] { file->InsertAndCopyRows(5, 7, 6, 1, false); }), invalid);
    EXPECT_EQ(messageOf([&] { file->InsertAndCopyRows(7, 5, 9, 1, false); }), invalid);
    EXPECT_EQ(messageOf([&] { file->InsertAndCopyRows(0, 1, 9, 1, false); }), invalid);
    EXPECT_EQ(messageOf([&] { file->InsertAndCopyRows(5, 5, 0, 1, false); }), invalid);
    EXPECT_EQ(messageOf([&] { file->InsertAndCopyRows(5, 6, 65535, 1, false); }), invalid);
    EXPECT_EQ(messageOf([&] { file->InsertAndCopyRows(5, 6, 10, 40000, false); }), invalid);
    file->SetActiveSheet(7);
    EXPECT_EQ(messageOf([&] { file->InsertAndCopyRows(5, 5, 6, 1, false); }),
              QStringLiteral("Sheet number \"6\" invalid. Must be between 0 and 1"));
}

TEST_F(AdapterRoad, SheetRowAndColumnProperties)
{
    file->OpenFile(QStringLiteral("survey.xls"));
    EXPECT_GT(file->GetColumnWidth(1), file->GetColumnWidth(2)); // column A is 3 cm wide
    file->SetColumnWidth(3, 5000);
    EXPECT_EQ(file->GetColumnWidth(3), 5000);
    file->SetRowHeight(30, 600);
    EXPECT_EQ(file->GetRowHeight(30), 600);
    EXPECT_FALSE(file->GetAutoRowHeight(30));
    EXPECT_TRUE(file->GetAutoRowHeight(60000));
    EXPECT_TRUE(file->GetShowGridLines());
    file->SetShowGridLines(false);
    EXPECT_FALSE(file->GetShowGridLines());
    file->SetActiveSheetName(QStringLiteral("Esiti"));
    EXPECT_EQ(file->GetActiveSheetName(), QStringLiteral("Esiti"));
    EXPECT_EQ(messageOf([&] { file->SetActiveSheetName(QStringLiteral("Riepilogo")); }),
              QStringLiteral("Sheet name already exist: Riepilogo"));
    int r1, c1, r2, c2;
    file->GetCellMergedBounds(33, 3, r1, c1, r2, c2);
    EXPECT_EQ(std::vector<int>({r1, c1, r2, c2}), std::vector<int>({33, 1, 33, 5}));
    file->GetCellMergedBounds(34, 3, r1, c1, r2, c2);
    EXPECT_EQ(std::vector<int>({r1, c1, r2, c2}), std::vector<int>({34, 3, 34, 3}));
    EXPECT_EQ(file->GetMaxRow(), 44);
    EXPECT_FALSE(file->IsEmptyRow(24));
    EXPECT_TRUE(file->IsEmptyRow(0));
    EXPECT_EQ(file->GetColIndexCount(24), 7);
    EXPECT_EQ(file->GetColByIndex(24, 2), 6);
    EXPECT_EQ(file->GetColIndex(24, 3), 2);
    const TXlsCellFormat title = file->GetFormat(file->GetCellValueXAbs(1, 1).XF);
    EXPECT_TRUE(title.Bold);
    EXPECT_TRUE(title.Italic);
    EXPECT_EQ(title.FontName, QStringLiteral("Times New Roman")); // as LibreOffice stored it
    EXPECT_EQ(title.FontHeight, 14 * 20);
    file->SelectSheet(2);
    file->Save(false, out(QStringLiteral("props.xls")));
    const QJsonObject book =
        check(QStringLiteral("cells"), out(QStringLiteral("props.xls"))).object();
    EXPECT_EQ(book["sheets"].toArray()[0].toObject()["name"].toString(), QStringLiteral("Esiti"));
    TWorkbook saved;
    saved.LoadFromStream(workbookStream(out(QStringLiteral("props.xls"))));
    EXPECT_EQ(saved.ActiveTab(), 1);
}

TEST(Adapter, OpeningWithoutAStoreSearchesTheFile)
{
    QTemporaryDir dir;
    QFile::copy(fixture(QStringLiteral("plain.xls")), dir.filePath(QStringLiteral("modello.xls")));
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TXLSAdapter adapter;
    auto file = adapter.NewExcelFile();
    file->AttachWorkbook();
    file->OpenFile(QStringLiteral("modello")); // ".xls" is added
    EXPECT_EQ(file->GetCellValueAbs(1, 1).toString(), QStringLiteral("Nome"));
    EXPECT_EQ(messageOf([&] { file->OpenFile(QStringLiteral("assente.xls")); }),
              QStringLiteral("Can't find the file \"assente.xls\""));
    QDir::setCurrent(old);
    file->ReleaseWorkbook();
}

TEST(Adapter, OtherStreamsAndSubStoragesReachTheOutputUnchanged)
{
    // A template with summary streams, a sub-storage with two streams and an empty stream.
    QTemporaryDir dir;
    TXlsStorageList tree;
    tree.LoadFromFile(fixture(QStringLiteral("rich.xls")));
    TXlsStorage &pool = tree.append(QStringLiteral("ObjectPool"));
    TXlsStorage &obj = pool.Children->append(QStringLiteral("_1234"));
    obj.Children->append(QStringLiteral("\001Ole10Native")).Data = QByteArray(5000, 'z');
    obj.Children->append(QStringLiteral("\003ObjInfo")).Data = QByteArray("\0\3\0\4", 4);
    tree.append(QStringLiteral("Vuoto"));
    const QString templ = dir.filePath(QStringLiteral("templ.xls"));
    writeFile(templ, buildCompoundFile(tree, QString(), QString(), QByteArray()));

    TXLSAdapter adapter;
    auto file = adapter.NewExcelFile();
    file->AttachWorkbook();
    file->OpenFile(templ);
    file->Save(false, dir.filePath(QStringLiteral("out.xls")));
    file->ReleaseWorkbook();
    const QJsonArray before = check(QStringLiteral("storage"), templ).object()["entries"].toArray();
    const QJsonArray after =
        check(QStringLiteral("storage"), dir.filePath(QStringLiteral("out.xls")))
            .object()["entries"]
            .toArray();
    ASSERT_EQ(before.size(), after.size());
    for (int i = 0; i < before.size(); ++i)
        if (before[i].toArray()[0].toString() != QStringLiteral("Workbook")) {
            EXPECT_EQ(before[i], after[i]);
        }
    for (const auto &e : after)
        EXPECT_NE(e.toArray()[0].toString(), QStringLiteral("Vuoto"));
}

TEST(Adapter, AFileWithoutWorkbookStreamIsRefused)
{
    QTemporaryDir dir;
    TXlsStorageList tree;
    tree.append(QStringLiteral("Book")).Data = QByteArray(100, 'a');
    const QString path = dir.filePath(QStringLiteral("book.xls"));
    writeFile(path, buildCompoundFile(tree, QString(), QString(), QByteArray()));
    TXLSAdapter adapter;
    auto file = adapter.NewExcelFile();
    file->AttachWorkbook();
    EXPECT_EQ(messageOf([&] { file->OpenFile(path); }),
              QStringLiteral("Can't open Stream \"Workbook\""));
    file->ReleaseWorkbook();
}

TEST(Adapter, CellOperationsOnAChartSheetDoNothing)
{
    // plain.xls with a chart sheet added after its worksheet.
    auto recs = splitRecords(workbookStream(fixture(QStringLiteral("plain.xls"))));
    for (size_t i = 0; i < recs.size(); ++i)
        if (recs[i].id == RID_BOUNDSHEET) {
            QByteArray d = le32(0) + le16(0x0200) + QByteArray(1, '\6') + QByteArray(1, '\0') +
                           QByteArray("Grafico");
            recs.insert(recs.begin() + long(i) + 1, RawRecord{RID_BOUNDSHEET, d, 0});
            break;
        }
    recs.push_back(RawRecord{RID_BOF, le16(0x0600) + le16(0x0020) + QByteArray(12, '\0'), 0});
    recs.push_back(RawRecord{RID_WINDOW2, QByteArray(18, '\0'), 0});
    recs.push_back(RawRecord{RID_EOF, QByteArray(), 0});
    TXlsStorageList tree;
    tree.append(QStringLiteral("Workbook")).Data = joinRecords(recs);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.xls"));
    writeFile(path, buildCompoundFile(tree, QString(), QString(), QByteArray()));
    TXLSAdapter adapter;
    auto file = adapter.NewExcelFile();
    file->AttachWorkbook();
    file->OpenFile(path);
    EXPECT_TRUE(file->IsWorksheet(1));
    EXPECT_FALSE(file->IsWorksheet(2));
    file->SetActiveSheet(2);
    file->SetCellValue(1, 0, QStringLiteral("x"));
    EXPECT_FALSE(file->GetCellValue(1, 0).isValid());
    EXPECT_EQ(file->GetCellValueX(1, 0).XF, -1);
    EXPECT_EQ(file->GetDefaultColWidth(), 10);
    EXPECT_EQ(file->GetDefaultRowHeight(), 255);
    file->Save(false, dir.filePath(QStringLiteral("out.xls")));
    file->ReleaseWorkbook();
    TWorkbook saved;
    saved.LoadFromStream(workbookStream(dir.filePath(QStringLiteral("out.xls"))));
    EXPECT_EQ(saved.SheetCount(), 2);
    EXPECT_FALSE(saved.IsWorksheet(1));
    const QJsonObject book =
        check(QStringLiteral("cells"), dir.filePath(QStringLiteral("out.xls"))).object();
    EXPECT_EQ(book["sheets"].toArray()[0].toObject()["name"].toString(), QStringLiteral("plain"));
}
