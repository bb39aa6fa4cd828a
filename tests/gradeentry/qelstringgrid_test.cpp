#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevparvis.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>

namespace {

using Cell = std::pair<int, int>;

// A class grid of votes: a subject and a component header row, pupils from row 2, five data
// columns; the frame's cell check refuses the cells in `refused`.
struct GradeGridTest : ::testing::Test
{
    void SetUp() override
    {
        grid.setColCount(6);
        grid.setRowCount(6);
        grid.setFixedRows(2);
        grid.setnRowIntest(2);
        grid.setPanelHlp(&help);
        grid.OnSelectCell = [this](int, int, bool &ok) {
            ok = !refused.count({grid.Col(), grid.Row()});
        };
        grid.resize(500, 300);
        grid.show();
        grid.setFocus();
    }

    // Records of kind `tipoDati` on every data cell (per row on column 1 for notes outside
    // class mode), the listed ones locked.
    void load(int tipoDati, int tipoCar, const std::set<Cell> &locked)
    {
        grid.setTipoDati(tipoDati);
        grid.setTipoCar(tipoCar);
        for (int r = grid.nRowIntest(); r < grid.RowCount(); ++r) {
            for (int c = grid.nColIntest(); c < grid.ColCount(); ++c) {
                const bool lock = locked.count({c, r}) > 0;
                if (tipoDati == tdNote) {
                    auto nota = std::make_shared<TRecNot>();
                    InitCellaNota(*nota, lock);
                    grid.setObjects(c, r, nota);
                } else {
                    auto val = std::make_shared<TRecVal>();
                    InitCellaVoto(*val, lock);
                    grid.setObjects(c, r, val);
                }
            }
        }
        grid.MoveCursor(1, 2);
    }

    Cell cursor() const { return {grid.Col(), grid.Row()}; }

    TqelStringGrid grid;
    QLabel help;
    std::set<Cell> refused;
};

std::set<Cell> allDataCells()
{
    std::set<Cell> cells;
    for (int r = 2; r < 6; ++r)
        for (int c = 1; c < 6; ++c)
            cells.insert({c, r});
    return cells;
}

TEST_F(GradeGridTest, CursorMovesOverTheDataCellsSkippingLockedOnes)
{
    const auto enter = [](TqelStringGrid &g) { QTest::keyClick(&g, Qt::Key_Return); };
    const auto type7 = [](TqelStringGrid &g) { QTest::keyClicks(&g, QStringLiteral("7")); };
    const auto back = [](TqelStringGrid &g) { g.PrevCell(); };
    struct Case
    {
        const char *name;
        int tipoDati;
        int tipoCar;
        bool horizontal;
        std::set<Cell> locked;
        Cell from;
        std::function<void(TqelStringGrid &)> move;
        Cell to;
    };
    const std::vector<Case> cases{
        {"enter, end of line", tdVoti, tcClasse, true, {}, {5, 2}, enter, {1, 3}},
        {"enter, last cell", tdVoti, tcClasse, true, {}, {5, 5}, enter, {1, 2}},
        {"enter down, last row", tdVoti, tcClasse, false, {}, {3, 5}, enter, {4, 2}},
        {"enter down, last cell", tdAssenze, tcClasse, false, {}, {5, 5}, enter, {1, 2}},
        {"enter skips locked", tdVoti, tcClasse, true, {{2, 2}, {3, 2}}, {1, 2}, enter, {4, 2}},
        {"locked to the end wraps",
         tdVoti,
         tcClasse,
         true,
         {{5, 5}, {1, 2}},
         {4, 5},
         enter,
         {2, 2}},
        {"back from the first cell", tdProposti, tcClasse, true, {{5, 5}}, {1, 2}, back, {4, 5}},
        {"back, vertical", tdVoti, tcClasse, false, {{1, 5}}, {2, 2}, back, {1, 4}},
        {"typing on a locked cell",
         tdVoti,
         tcClasse,
         true,
         {{3, 3}, {4, 3}},
         {3, 3},
         type7,
         {5, 3}},
        {"locked note row, any column", tdNote, tcAlunno, true, {{1, 3}}, {4, 3}, type7, {1, 4}},
        {"enter over a locked note row", tdNote, tcAlunno, true, {{1, 3}}, {5, 2}, enter, {1, 4}},
        {"judgments stay on enter", tdGiudizio, tcClasse, true, {}, {2, 2}, enter, {2, 2}},
        {"all locked: one pass, then stay",
         tdVoti,
         tcClasse,
         true,
         allDataCells(),
         {2, 3},
         enter,
         {2, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        grid.setEditorMode(false);
        load(c.tipoDati, c.tipoCar, c.locked);
        grid.setScorrOrizz(c.horizontal);
        ASSERT_TRUE(grid.MoveCursor(c.from.first, c.from.second) || c.from == cursor());
        c.move(grid);
        EXPECT_EQ(cursor(), c.to);
    }
    // The typed character starts the cell the cursor moved to, not the locked one.
    grid.setEditorMode(false);
    load(tdVoti, tcClasse, {{3, 3}});
    grid.MoveCursor(3, 3);
    QTest::keyClicks(&grid, QStringLiteral("8"));
    EXPECT_EQ(cursor(), Cell(4, 3));
    EXPECT_EQ(grid.Cells(4, 3), QStringLiteral("8"));
    EXPECT_TRUE(grid.Cells(3, 3).isEmpty());
}

TEST_F(GradeGridTest, ARefusedCellKeepsTheCursorAndChangedCellsAreMarked)
{
    load(tdVoti, tcClasse, {});
    grid.setModificato(false);
    QTest::keyClicks(&grid, QStringLiteral("4"));
    refused = {{1, 2}};
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(cursor(), Cell(1, 2));
    EXPECT_FALSE(grid.NextCell());
    refused.clear();
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(cursor(), Cell(2, 2));
    grid.SegnaModificata(4, 5);
    grid.setCells(4, 5, QStringLiteral("7"));
    // Typed and put back with Esc: as loaded.
    QTest::keyClicks(&grid, QStringLiteral("9"));
    QTest::keyClick(&grid, Qt::Key_Escape);

    EXPECT_TRUE(grid.Modificato());
    EXPECT_TRUE(grid.CellaModificata(1, 2));
    EXPECT_TRUE(grid.CellaModificata(4, 5));
    EXPECT_FALSE(grid.CellaModificata(2, 2));
    grid.setModificato(false);
    EXPECT_FALSE(grid.CellaModificata(1, 2));
    QTest::keyClicks(&grid, QStringLiteral("9"));
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_FALSE(grid.Modificato());
}

TEST_F(GradeGridTest, LockedCellsShowSolidAndOnlyTypedInsufficientVotesAreFilled)
{
    load(tdVoti, tcClasse, {{2, 2}});
    grid.setFontColor(QColor(0, 0, 0));
    struct Fill
    {
        Cell cell;
        bool sufficient;
        QString text;
        QColor expected;
    };
    const QColor insuf = TqevParVisGriglia::DefaultColorInsuf();
    const QColor plain = grid.palette().color(QPalette::Base);
    const std::vector<Fill> fills{
        {{1, 2}, false, QStringLiteral("4"), insuf},
        {{3, 2}, false, QStringLiteral(" "), plain}, // insufficient but blank
        {{4, 2}, true, QStringLiteral("7"), plain},
        {{2, 2}, false, QStringLiteral("4"), QColor(0, 0, 0)}, // locked wins
    };
    for (const Fill &f : fills) {
        auto val = grid.RecordAt<TRecVal>(f.cell.first, f.cell.second);
        val->bValSuff = f.sufficient;
        val->sValSDesc = f.text;
    }
    grid.MoveCursor(5, 5);
    for (bool evInsuff : {true, false}) {
        grid.setEvInsuff(evInsuff);
        const QImage image = grid.viewport()->grab().toImage();
        for (const Fill &f : fills) {
            SCOPED_TRACE(testing::Message()
                         << f.cell.first << "," << f.cell.second << " " << evInsuff);
            const QRect rect = grid.CellRect(f.cell.first, f.cell.second);
            const QColor expected = !evInsuff && f.expected == insuf ? plain : f.expected;
            EXPECT_EQ(image.pixelColor(rect.right() - 3, rect.bottom() - 3), expected);
        }
    }
}

TEST_F(GradeGridTest, HelpPanelDescribesTheSelectedCellOrEmptiesWithoutItsRecords)
{
    load(tdProposti, tcClasse, {});
    auto mat = std::make_shared<TRecMat>();
    mat->sMatLDesc = QStringLiteral("MATEMATICA");
    auto cmp = std::make_shared<TRecCmp>();
    cmp->sCmpLDesc = QStringLiteral("Scritto");
    cmp->sScaDesc = QStringLiteral("Decimi");
    grid.setObjects(2, 0, mat);
    grid.setObjects(2, 1, cmp);
    grid.setObjects(3, 0, mat); // column 3 has no component
    auto vote = grid.RecordAt<TRecVal>(2, 3);
    vote->sValLDesc = QStringLiteral("Sette");

    grid.MoveCursor(2, 2);
    EXPECT_EQ(help.text(), QStringLiteral(" Materia: MATEMATICA - Componente: Scritto - Scala: "
                                          "Decimi"));
    vote->iValId = 107;
    grid.MoveCursor(2, 3);
    EXPECT_EQ(help.text(), QStringLiteral(" Materia: MATEMATICA - Componente: Scritto - Scala: "
                                          "Decimi - Voto : Sette"));
    grid.MoveCursor(3, 3);
    EXPECT_EQ(help.text(), QString());

    grid.setTipoDati(tdDebiti);
    auto deb = std::make_shared<TRecDeb>();
    deb->sDedLDesc = QStringLiteral("Debito saldato");
    deb->dDebVer = QDateTime(QDate(2009, 9, 3), QTime());
    deb->sDocAttr = QStringLiteral("  ");
    grid.setObjects(2, 4, deb);
    grid.MoveCursor(2, 4);
    EXPECT_EQ(help.text(),
              QStringLiteral(" Materia: MATEMATICA Esito: Debito saldato Data ver: 03/09/2009"));

    grid.setTipoDati(tdCrediti);
    grid.setTipoCar(tcAlunno);
    auto cre = std::make_shared<TRecCre>();
    cre->iBndId = 3;
    cre->sBndDesc = QStringLiteral("Terzo anno");
    cre->sBndMed = QStringLiteral("6-7");
    cre->sBndCre = QStringLiteral("4-5");
    cre->fCreMediaVoti = 6.6666666;
    grid.setObjects(1, 5, cre); // per pupil the credit row's record is on column 1
    grid.MoveCursor(4, 5);
    EXPECT_EQ(help.text(), QStringLiteral(" Banda credito: Terzo anno  Media voti compresa tra: "
                                          "6-7  Credito minimo-massimo: 4-5  Media dei voti: "
                                          "6,67"));
}

TEST_F(GradeGridTest, HeaderTextsAndSizesFollowTheirSettersWherePositionsExist)
{
    load(tdVoti, tcClasse, {});
    auto mat = std::make_shared<TRecMat>();
    mat->sMatCodUser = QStringLiteral("MAT");
    mat->sMatSDesc = QStringLiteral("Mat.");
    mat->sMatLDesc = QStringLiteral("MATEMATICA");
    auto cmp = std::make_shared<TRecCmp>();
    cmp->sCmpSDesc = QStringLiteral("S");
    cmp->sCmpLDesc = QStringLiteral("Scritto");
    grid.setObjects(1, 0, mat);
    grid.setObjects(1, 1, cmp);
    grid.setCells(2, 0, QStringLiteral("kept"));
    grid.setDescrRow1(2);
    grid.setDescrRow2(1);
    EXPECT_EQ(grid.Cells(1, 0), QStringLiteral("MATEMATICA"));
    EXPECT_EQ(grid.Cells(1, 1), QStringLiteral("Scritto"));
    EXPECT_EQ(grid.Cells(2, 0), QStringLiteral("kept"));

    // The debts window holds subjects on column 1: a grid without one reads nothing there.
    TqelStringGrid narrow;
    narrow.setTipoDati(tdDebitiClasse);
    narrow.setTipoCar(tcDebiti);
    narrow.setColCount(1);
    narrow.setFixedCols(0);
    narrow.setDescrRow1(1);
    narrow.setnColDim(30);
    narrow.setnNomeDim(120);
    EXPECT_EQ(narrow.ColWidths(0), narrow.LarghezzaScalata(120));

    grid.setnColDim(33);
    grid.setnRowDim(21);
    EXPECT_EQ(grid.ColWidths(5), grid.LarghezzaScalata(33));
    EXPECT_EQ(grid.RowHeights(0), 21);
    grid.setTipoDati(tdGiudizio);
    grid.setnColDim(70);
    EXPECT_EQ(grid.ColWidths(5), grid.LarghezzaScalata(33));
    // The stored widths were chosen for an 8-point font of 96-dpi screens: at the grids'
    // default font a level or a subject code of three letters fits its 20 pixels, and a font
    // change scales the widths again.
    grid.setTipoDati(tdVoti);
    grid.setnColDim(20);
    grid.setFont(TqevParVisGriglia::DefaultFont().font);
    for (const char *text : {"DIS", "ITA", "10"})
        EXPECT_LE(grid.fontMetrics().horizontalAdvance(QString::fromLatin1(text)) + 4,
                  grid.ColWidths(5))
            << text;
    QFont larger = grid.font();
    larger.setPointSize(16);
    grid.setFont(larger);
    EXPECT_EQ(grid.ColWidths(5), grid.LarghezzaScalata(20));
    EXPECT_GT(grid.ColWidths(5), 40);

    // Fitted, a column is as wide as its header's first word; where the grid has room to
    // spare, the headers read whole, and as the grid narrows each gets its share of the room.
    grid.setFont(TqevParVisGriglia::DefaultFont().font);
    for (int c = 1; c < grid.ColCount(); ++c)
        grid.setCells(c, 1, QStringLiteral("Esito recupero"));
    const int whole = grid.fontMetrics().horizontalAdvance(QStringLiteral("Esito recupero")) + 4;
    grid.resize(1200, 300);
    grid.AdattaLarghezze();
    for (const auto &[width, headersWhole] : {std::pair{1200, true}, {300, false}, {1200, true}}) {
        grid.resize(width, 300);
        QCoreApplication::processEvents();
        int total = 0;
        for (int c = 0; c < grid.ColCount(); ++c)
            total += grid.ColWidths(c) + 1;
        EXPECT_EQ(grid.ColWidths(5) >= whole, headersWhole) << width;
        EXPECT_LE(total, grid.viewport()->width()) << width;
        EXPECT_GT(grid.ColWidths(5), grid.fontMetrics().horizontalAdvance(QStringLiteral("Esito")))
            << width;
    }
}

} // namespace
