#include "xlstestutil.h"

#include "xls/workbook.h"
#include "xls/xlsadapter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace xls;
using namespace xlstest;

// Values seen by LibreOffice: our saved files are exported to CSV (every sheet) next to the
// templates they come from, in one soffice run with a profile of its own. Without soffice
// the tests are skipped.
namespace {

const char *const fixtures[] = {"plain", "rich", "strings", "survey", "formulas", "drawings"};

class LibreOfficeCsv : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty())
            return;
        dir = new QTemporaryDir;
        QStringList inputs;
        for (const char *name : fixtures) {
            const QString base = QString::fromLatin1(name);
            const QString original = dir->filePath(QStringLiteral("orig_%1.xls").arg(base));
            QFile::copy(fixture(base + QStringLiteral(".xls")), original);
            inputs << original << saveWith(base, QStringLiteral("same_%1.xls").arg(base), {});
        }
        inputs << saveWith(QStringLiteral("survey"), QStringLiteral("filled_survey.xls"),
                           [](TXLSFile &f) {
                               f.InsertAndCopyRows(33, 33, 34, 2, false);
                               f.SetCellValueAbs(24, 6, 7);
                               f.SetCellValueAbs(25, 6, 5);
                               f.SetCellValueAbs(33, 1, QStringLiteral("Italiano"));
                               f.SetCellValueAbs(34, 1, QStringLiteral("Matematica"));
                           });
        // Three subject rows filled, the middle one deleted, then the outcome rows deleted:
        // areas that lose an inner row shrink, those that lose an end row become #REF!.
        inputs << saveWith(QStringLiteral("survey"), QStringLiteral("deleted_survey.xls"),
                           [](TXLSFile &f) {
                               f.InsertAndCopyRows(33, 33, 34, 2, false);
                               const char *names[] = {"Italiano", "Storia", "Matematica"};
                               for (int i = 0; i < 3; ++i) {
                                   f.SetCellValueAbs(33 + i, 1, QString::fromLatin1(names[i]));
                                   f.SetCellValueAbs(33 + i, 6, 1 << i);
                               }
                               f.DeleteRows(34, 1);
                               f.DeleteRows(24, 3);
                           });
        inputs << saveWith(QStringLiteral("drawings"), QStringLiteral("copied_drawings.xls"),
                           [](TXLSFile &f) {
                               f.InsertAndCopyRows(4, 6, 7, 2, false);
                               f.SetCellValueAbs(7, 1, QStringLiteral("Copia 1"));
                               f.SetCellValueAbs(10, 1, QStringLiteral("Copia 2"));
                           });
        convert(QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,"
                               "false,false,-1"),
                QStringLiteral("csv"), inputs);
        // LibreOffice's own save of a workbook shows which sheets it opened selected: here a
        // copy of the last sheet made in front of the active first one.
        convert(QStringLiteral("xls"), QStringLiteral("xls"),
                {saveWith(QStringLiteral("subjects"), QStringLiteral("copied_subjects.xls"),
                          [](TXLSFile &f) { f.InsertAndCopySheets(3, 1, 1); })});
        // tests/xls/render_check.sh keeps the saved files to look at them.
        const QString keep = qEnvironmentVariable("XLS_KEEP_OUTPUT");
        if (!keep.isEmpty())
            for (const QString &f : inputs)
                QFile::copy(f, QDir(keep).filePath(QFileInfo(f).fileName()));
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override
    {
        if (soffice.isEmpty())
            GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    }

    // One soffice run converting the inputs into the folder outdir of dir.
    static void convert(const QString &filter, const QString &outdir, const QStringList &inputs)
    {
        QProcess p;
        p.setWorkingDirectory(dir->path());
        p.start(
            soffice,
            QStringList{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                        QStringLiteral("-env:UserInstallation=file://%1/profile").arg(dir->path()),
                        QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"),
                        dir->filePath(outdir)} +
                inputs);
        p.waitForFinished(180000);
    }

    // Opens a fixture through the adapter, changes it and saves it under name.
    static QString saveWith(const QString &fixtureName, const QString &name,
                            const std::function<void(TXLSFile &)> &change)
    {
        TXLSAdapter adapter;
        auto file = adapter.NewExcelFile();
        file->AttachWorkbook();
        file->OpenFile(fixture(fixtureName + QStringLiteral(".xls")));
        if (change)
            change(*file);
        const QString path = dir->filePath(name);
        file->Save(false, path);
        file->ReleaseWorkbook();
        return path;
    }

    // The CSV lines of each sheet of a converted file, keyed by sheet name.
    static std::map<QString, QStringList> sheetsOf(const QString &base)
    {
        std::map<QString, QStringList> out;
        const QDir csv(dir->filePath(QStringLiteral("csv")));
        for (const QString &f : csv.entryList({base + QStringLiteral("-*.csv")}, QDir::Files)) {
            const QString sheet = f.mid(base.size() + 1).chopped(4);
            out[sheet] = QString::fromUtf8(readFile(csv.filePath(f))).split('\n');
        }
        return out;
    }

    static inline QString soffice;
    static inline QTemporaryDir *dir = nullptr;
};

} // namespace

TEST_F(LibreOfficeCsv, AnUnchangedSaveShowsTheTemplatesValues)
{
    for (const char *name : fixtures) {
        SCOPED_TRACE(name);
        const auto original = sheetsOf(QStringLiteral("orig_%1").arg(QLatin1String(name)));
        const auto ours = sheetsOf(QStringLiteral("same_%1").arg(QLatin1String(name)));
        ASSERT_FALSE(original.empty());
        EXPECT_EQ(ours, original);
    }
}

TEST_F(LibreOfficeCsv, FilledTemplatesShowTheNewValuesAndRecalculatedTotals)
{
    const auto survey = sheetsOf(QStringLiteral("filled_survey"));
    ASSERT_TRUE(survey.count(QStringLiteral("Modello")));
    const QStringList &modello = survey.at(QStringLiteral("Modello"));
    ASSERT_GT(modello.size(), 36);
    EXPECT_TRUE(modello[23].startsWith(QStringLiteral("Scrutinati,,,,,7,")));
    EXPECT_TRUE(modello[24].startsWith(QStringLiteral("Con insufficienze,,,,,5,")));
    EXPECT_TRUE(modello[26].startsWith(QStringLiteral("Totale,,,,,12,")));
    EXPECT_TRUE(modello[32].startsWith(QStringLiteral("Italiano,")));
    EXPECT_TRUE(modello[33].startsWith(QStringLiteral("Matematica,")));
    EXPECT_TRUE(modello[34].startsWith(QStringLiteral("<materia>,")));
    EXPECT_TRUE(modello[35].startsWith(QStringLiteral("Totale materie,")));
    EXPECT_EQ(survey.at(QStringLiteral("Riepilogo"))[0], QStringLiteral("Scrutinati,7"));

    // The sheet with drawings opens in LibreOffice with its rows copied.
    const auto drawings = sheetsOf(QStringLiteral("copied_drawings"));
    ASSERT_TRUE(drawings.count(QStringLiteral("Modello")));
    const QStringList &rows = drawings.at(QStringLiteral("Modello"));
    ASSERT_GT(rows.size(), 21);
    EXPECT_EQ(rows.mid(3, 9), (QStringList{"<materia>,6,", "<seconda>,7,x", "<terza>,8,",
                                           "Copia 1,6,", "<seconda>,7,x", "<terza>,8,",
                                           "Copia 2,6,", "<seconda>,7,x", "<terza>,8,"}));
    EXPECT_EQ(rows[21], QStringLiteral("Fine,coda,"));
}

TEST_F(LibreOfficeCsv, DeletedRowsShrinkTheAreasThatRemainAndBreakTheOthers)
{
    const auto survey = sheetsOf(QStringLiteral("deleted_survey"));
    ASSERT_TRUE(survey.count(QStringLiteral("Modello")));
    const QStringList &modello = survey.at(QStringLiteral("Modello"));
    ASSERT_GT(modello.size(), 32);
    // The outcome rows are gone with both ends of the total's area.
    EXPECT_TRUE(modello[22].isEmpty() || modello[22].startsWith(','));
    EXPECT_TRUE(modello[23].startsWith(QStringLiteral("Totale,,,,,#REF!,#REF!,")))
        << modello[23].toStdString();
    EXPECT_TRUE(modello[29].startsWith(QStringLiteral("Italiano,,,,,1,")))
        << modello[29].toStdString();
    EXPECT_TRUE(modello[30].startsWith(QStringLiteral("Matematica,,,,,4,")))
        << modello[30].toStdString();
    EXPECT_TRUE(modello[31].startsWith(QStringLiteral("Totale materie,,,,,1,")))
        << modello[31].toStdString();
    // The summary: the single outcome cell is lost; the subjects' area lost its middle row
    // only (1 + 4 + the subjects' total 1); the name over the model row still holds it.
    const QStringList &summary = survey.at(QStringLiteral("Riepilogo"));
    ASSERT_GE(summary.size(), 3);
    EXPECT_EQ(summary[0], QStringLiteral("Scrutinati,#REF!"));
    EXPECT_EQ(summary[1], QStringLiteral("Materie,6"));
    EXPECT_EQ(summary[2], QStringLiteral("Area,1"));
}

TEST_F(LibreOfficeCsv, ASheetCopiedInFrontOfTheActiveOneOpensAloneSelected)
{
    const QByteArray resaved =
        workbookStream(dir->filePath(QStringLiteral("xls/copied_subjects.xls")));
    int activeTab = -1;
    EXPECT_EQ(selectedSheets(resaved, activeTab), std::vector<int>{1});
    TWorkbook wb;
    wb.LoadFromStream(resaved);
    ASSERT_EQ(wb.SheetCount(), 4);
    EXPECT_EQ(wb.Globals.boundSheet(activeTab).sheetName(), QStringLiteral("Copertina"));
}
