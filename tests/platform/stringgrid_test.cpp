#include "platform/stringgrid.h"

#include "platform/keyboardfocus.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <utility>

namespace {

struct Record : TVxGridObject
{
    bool locked = false;
};

// What a grade grid does on top of the framework grid: cells it refuses, a locked cell the
// cursor leaves at the first key, Enter moving on, a decimal comma, a key it swallows, and
// locked cells filled solid, the current one outlined.
class ProbeGrid : public TVxStringGrid
{
public:
    using TVxStringGrid::TVxStringGrid;

    std::set<std::pair<int, int>> refused;
    std::vector<std::pair<int, int>> asked;
    QStringList edits;
    QString keys;
    std::set<std::pair<int, int>> drawn;

    bool locked(int col, int row) const
    {
        const auto record = ObjectAs<Record>(col, row);
        return record && record->locked;
    }

protected:
    bool SelectCell(int col, int row) override
    {
        asked.emplace_back(col, row);
        return !refused.count({col, row}) && TVxStringGrid::SelectCell(col, row);
    }
    void SetEditText(int col, int row, const QString &value) override
    {
        edits << value;
        TVxStringGrid::SetEditText(col, row, value);
    }
    void KeyPress(QChar &key) override
    {
        keys += key;
        if (key == QChar(13) || locked(Col(), Row()))
            setCol(Col() + 1);
        if (key == QLatin1Char(','))
            key = QLatin1Char('.');
        if (key == QLatin1Char('x'))
            key = QChar();
    }
    void DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                  TGridDrawState state) override
    {
        drawn.emplace(col, row);
        if (locked(col, row))
            painter.fillRect(rect, FontColor());
        TVxStringGrid::DrawCell(painter, col, row, rect, state);
        if (col == 3 && row == 3) {
            painter.setPen(QColor(0, 0, 255));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    }
};

struct StringGridTest : ::testing::Test
{
    void SetUp() override
    {
        grid.setObjectName(QStringLiteral("grVoti"));
        grid.setColCount(12);
        grid.setRowCount(30);
        grid.setFixedCols(1);
        grid.setFixedRows(2);
        grid.setOptions(TVxStringGrid::goEditing);
        for (int r = 0; r < grid.RowCount(); ++r)
            for (int c = 0; c < grid.ColCount(); ++c)
                grid.setCells(c, r, QStringLiteral("%1.%2").arg(c).arg(r));
        grid.resize(420, 300);
        grid.show();
        grid.setFocus();
        grid.asked.clear();
        grid.edits.clear();
    }

    std::pair<int, int> cursor() const { return {grid.Col(), grid.Row()}; }

    QLineEdit *editor() const { return grid.findChild<QLineEdit *>(); }

    ProbeGrid grid;
};

TEST_F(StringGridTest, RefusedSelectionKeepsTheCursorHoweverTheMoveIsAsked)
{
    struct Case
    {
        const char *name;
        std::pair<int, int> target;
        std::function<void(ProbeGrid &)> move;
    };
    const std::vector<Case> cases{
        {"right arrow", {2, 2}, [](ProbeGrid &g) { QTest::keyClick(&g, Qt::Key_Right); }},
        {"down arrow", {1, 3}, [](ProbeGrid &g) { QTest::keyClick(&g, Qt::Key_Down); }},
        {"tab", {2, 2}, [](ProbeGrid &g) { QTest::keyClick(&g, Qt::Key_Tab); }},
        {"end", {11, 2}, [](ProbeGrid &g) { QTest::keyClick(&g, Qt::Key_End); }},
        {"page down", {}, nullptr}, // filled below: the page depends on the view
        {"mouse click",
         {3, 4},
         [](ProbeGrid &g) {
             QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, g.CellRect(3, 4).center());
         }},
        {"Col =", {5, 2}, [](ProbeGrid &g) { g.setCol(5); }},
        {"Row =", {1, 9}, [](ProbeGrid &g) { g.setRow(9); }},
        {"MoveCursor", {4, 7}, [](ProbeGrid &g) { g.MoveCursor(4, 7); }},
        {"editor open, down arrow",
         {1, 3},
         [](ProbeGrid &g) {
             QTest::keyClick(&g, Qt::Key_F2);
             QTest::keyClick(&g, Qt::Key_Down);
         }},
        // Out of the grid: the cell is left as by any move, and a refused one keeps the keyboard.
        {"shift+tab out of the grid",
         {1, 2},
         [](ProbeGrid &g) {
             g.setOptions(g.Options() | TVxStringGrid::goTabLeaves);
             QTest::keyClick(&g, Qt::Key_Backtab);
         }},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.name);
        grid.setEditorMode(false);
        grid.refused.clear();
        grid.setCol(1);
        grid.setRow(2);
        if (!c.move) {
            c.target = {1, 2 + grid.VisibleRowCount()};
            c.move = [](ProbeGrid &g) { QTest::keyClick(&g, Qt::Key_PageDown); };
        }
        grid.refused = {c.target};
        grid.asked.clear();
        c.move(grid);
        EXPECT_EQ(cursor(), std::make_pair(1, 2));
        ASSERT_FALSE(grid.asked.empty());
        EXPECT_EQ(grid.asked.back(), c.target);

        grid.refused.clear();
        grid.setEditorMode(false);
        c.move(grid);
        EXPECT_EQ(cursor(), c.target);
    }
}

TEST_F(StringGridTest, TypingEditsTheCellKeystrokeByKeystrokeThroughTheHooks)
{
    // A character starts editing with itself; every keystroke reaches the cell at once.
    QTest::keyClicks(&grid, QStringLiteral("7,5x"));
    ASSERT_TRUE(grid.EditorMode());
    EXPECT_EQ(grid.edits, (QStringList{"7", "7.", "7.5"}));
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("7.5"));
    EXPECT_EQ(editor()->text(), QStringLiteral("7.5"));
    // Backspace works in the editor and reaches the hook too.
    QTest::keyClick(&grid, Qt::Key_Backspace);
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("7."));

    // Enter typed inside the editor reaches KeyPress, which moves on; the text stays.
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(grid.keys, QString::fromUtf8("7,5x\b\r"));
    EXPECT_EQ(cursor(), std::make_pair(2, 2));
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("7."));

    // F2 edits the text in place; Esc puts the old text back through the hook.
    grid.edits.clear();
    QTest::keyClick(&grid, Qt::Key_F2);
    QTest::keyClicks(&grid, QStringLiteral("9"));
    EXPECT_EQ(grid.Cells(2, 2), QStringLiteral("2.29"));
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_EQ(grid.Cells(2, 2), QStringLiteral("2.2"));
    EXPECT_EQ(grid.edits, (QStringList{"2.29", "2.2"}));

    // A locked cell: the first key moves the cursor on and starts the next cell with it.
    auto record = std::make_shared<Record>();
    record->locked = true;
    grid.setObjects(2, 2, record);
    QTest::keyClicks(&grid, QStringLiteral("4"));
    EXPECT_EQ(cursor(), std::make_pair(3, 2));
    EXPECT_EQ(grid.Cells(2, 2), QStringLiteral("2.2"));
    EXPECT_EQ(grid.Cells(3, 2), QStringLiteral("4"));

    // Without goEditing the keys still reach KeyPress but no text changes.
    QTest::keyClick(&grid, Qt::Key_Return);
    grid.setOptions({});
    grid.keys.clear();
    QTest::keyClicks(&grid, QStringLiteral("88"));
    EXPECT_EQ(grid.keys, QStringLiteral("88"));
    EXPECT_FALSE(grid.EditorMode());
    EXPECT_EQ(grid.Cells(4, 2), QStringLiteral("4.2"));
}

// The arrows leave an edited cell only at the edges of its text, as in every spreadsheet.
TEST_F(StringGridTest, LeftAndRightLeaveTheEditorOnlyAtTheEdgesOfItsText)
{
    using K = Qt::Key;
    const struct
    {
        const char *name;
        std::vector<std::pair<K, Qt::KeyboardModifiers>> keys; // after F2 on (2, 2), "2.2"
        std::pair<int, int> cursor;
        bool editing;
        int textCursor; // in the editor, when still editing
    } cases[] = {
        {"right at the end", {{K::Key_Right, {}}}, {3, 2}, false, 0},
        {"left at the end", {{K::Key_Left, {}}}, {2, 2}, true, 2},
        {"left at the start", {{K::Key_Home, {}}, {K::Key_Left, {}}}, {1, 2}, false, 0},
        {"right at the start", {{K::Key_Home, {}}, {K::Key_Right, {}}}, {2, 2}, true, 1},
        {"selecting at the end", {{K::Key_Right, Qt::ShiftModifier}}, {2, 2}, true, 3},
        {"a selection first collapses",
         {{K::Key_Left, Qt::ShiftModifier}, {K::Key_Right, {}}},
         {2, 2},
         true,
         3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        grid.setEditorMode(false);
        grid.MoveCursor(2, 2);
        QTest::keyClick(&grid, Qt::Key_F2);
        for (const auto &[key, modifiers] : c.keys)
            QTest::keyClick(&grid, key, modifiers);
        EXPECT_EQ(cursor(), c.cursor);
        EXPECT_EQ(grid.EditorMode(), c.editing);
        if (c.editing)
            EXPECT_EQ(editor()->cursorPosition(), c.textCursor);
        EXPECT_EQ(grid.Cells(2, 2), QStringLiteral("2.2"));
    }

    // Typed along a line: each value in its cell, never "86" in one.
    grid.setEditorMode(false);
    grid.MoveCursor(1, 4);
    for (const char *typed : {"8", "6", "5"}) {
        QTest::keyClicks(&grid, typed);
        QTest::keyClick(&grid, Qt::Key_Right);
    }
    EXPECT_EQ((QStringList{grid.Cells(1, 4), grid.Cells(2, 4), grid.Cells(3, 4)}),
              (QStringList{"8", "6", "5"}));
}

TEST_F(StringGridTest, HeadersStayInViewWhileTheDataScrollsAndPaintsOverTheBackground)
{
    auto record = std::make_shared<Record>();
    record->locked = true;
    grid.setObjects(11, 29, record);
    grid.setFontColor(QColor(0, 0, 0));
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(cursor(), std::make_pair(11, 29));
    EXPECT_GT(grid.TopRow(), 2);
    EXPECT_GT(grid.LeftCol(), 1);

    // Headers at their places, the data of the first rows and columns scrolled away.
    EXPECT_EQ(grid.CellRect(0, 0).topLeft(), QPoint(0, 0));
    EXPECT_EQ(grid.CellRect(11, 1).top(), grid.CellRect(0, 1).top());
    EXPECT_EQ(grid.CellRect(0, 29).left(), 0);
    // The first data cell in view starts right after the headers and their lines.
    EXPECT_EQ(grid.CellRect(grid.LeftCol(), grid.TopRow()).topLeft(),
              QPoint(grid.ColWidths(0) + 1, grid.RowHeights(0) + grid.RowHeights(1) + 2));
    EXPECT_TRUE(grid.CellRect(1, 2).isEmpty());
    EXPECT_TRUE(grid.CellRect(grid.LeftCol() - 1, 29).isEmpty());
    EXPECT_TRUE(grid.CellRect(11, grid.TopRow() - 1).isEmpty());
    const QRect last = grid.CellRect(11, 29);
    ASSERT_FALSE(last.isEmpty());
    EXPECT_TRUE(grid.viewport()->rect().contains(last));

    grid.drawn.clear();
    const QImage image = grid.viewport()->grab().toImage();
    for (const auto &cell : {std::make_pair(0, 0), std::make_pair(11, 0), std::make_pair(0, 29),
                             std::make_pair(11, 29), std::make_pair(grid.LeftCol(), 1)})
        EXPECT_TRUE(grid.drawn.count(cell)) << cell.first << "," << cell.second;
    EXPECT_FALSE(grid.drawn.count({1, 2}));
    // The locked cell is a solid block; a click on a header moves nothing.
    EXPECT_EQ(image.pixelColor(last.center() + QPoint(last.width() / 3, 0)), QColor(0, 0, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      grid.CellRect(grid.LeftCol(), 0).center());
    EXPECT_EQ(cursor(), std::make_pair(11, 29));

    // The outline drawn after the grid's text sits on the cell's border.
    grid.setTopRow(2);
    grid.setLeftCol(1);
    const QRect outlined = grid.CellRect(3, 3);
    const QImage top = grid.viewport()->grab().toImage();
    EXPECT_EQ(top.pixelColor(outlined.topLeft() + QPoint(outlined.width() / 2, 0)),
              QColor(0, 0, 255));

    // Grown to hold every cell, the grid shows no scroll bar; shrunk again, both come back.
    for (const auto &[size, bars] :
         {std::pair{QSize(2000, 2000), false}, {QSize(420, 300), true}}) {
        grid.resize(size);
        QCoreApplication::processEvents();
        EXPECT_EQ(grid.horizontalScrollBar()->isVisible(), bars) << size.width();
        EXPECT_EQ(grid.verticalScrollBar()->isVisible(), bars) << size.width();
    }
}

TEST_F(StringGridTest, MovesOutsideTheDataCellsRaiseTheGridError)
{
    grid.setCol(11);
    EXPECT_THROW(grid.setCol(12), EInvalidGridOperation);
    EXPECT_THROW(grid.setCol(0), EInvalidGridOperation); // a header column
    EXPECT_THROW(grid.setRow(30), EInvalidGridOperation);
    EXPECT_THROW(grid.setRow(1), EInvalidGridOperation);
    EXPECT_EQ(cursor(), std::make_pair(11, 2));
    // The keys stop at the edge instead.
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(cursor(), std::make_pair(11, 2));
    EXPECT_THROW(grid.Cells(12, 0), EInvalidGridOperation);
    EXPECT_THROW(grid.setFixedCols(12), EInvalidGridOperation);
    // A walk that wraps on the error, as the grade grids walk their cells.
    auto next = [&] {
        try {
            grid.setCol(grid.Col() + 1);
        } catch (const EInvalidGridOperation &) {
            grid.setCol(1);
            grid.setRow(grid.Row() + 1);
        }
    };
    next();
    EXPECT_EQ(cursor(), std::make_pair(1, 3));
}

TEST_F(StringGridTest, FixedColumnsTakeTheCursorOnlyWhenAskedAndStayInView)
{
    // Without the option the name column is a header: keys and clicks stop beside it.
    QTest::keyClick(&grid, Qt::Key_Home);
    EXPECT_EQ(cursor(), std::make_pair(1, 2));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellRect(0, 5).center());
    EXPECT_EQ(cursor(), std::make_pair(1, 2));

    grid.setOptions(grid.Options() | TVxStringGrid::goFixedColsFocus);
    QTest::keyClick(&grid, Qt::Key_End);
    EXPECT_GT(grid.LeftCol(), 1);
    // Reached by Home, Left, Tab wrapping, a click, setCol: never scrolling the data back.
    struct Case
    {
        const char *name;
        std::function<void()> move;
        std::pair<int, int> expected;
    } cases[] = {
        {"home", [&] { QTest::keyClick(&grid, Qt::Key_Home); }, {0, 2}},
        {"left stops at the edge", [&] { QTest::keyClick(&grid, Qt::Key_Left); }, {0, 2}},
        {"backtab stops at the first cell",
         [&] { QTest::keyClick(&grid, Qt::Key_Backtab); },
         {0, 2}},
        {"tab wraps to the name",
         [&] {
             grid.setCol(11);
             QTest::keyClick(&grid, Qt::Key_Tab);
         },
         {0, 3}},
        {"click",
         [&] {
             QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellRect(0, 6).center());
         },
         {0, 6}},
        {"setCol", [&] { grid.setCol(0); }, {0, 6}},
    };
    for (const Case &c : cases) {
        const int left = grid.LeftCol();
        c.move();
        EXPECT_EQ(cursor(), c.expected) << c.name;
        if (c.expected.first == 0)
            EXPECT_EQ(grid.LeftCol(), left) << c.name;
    }
    EXPECT_EQ(grid.asked.back(), std::make_pair(0, 6));
    EXPECT_THROW(grid.setRow(1), EInvalidGridOperation); // fixed rows stay headers

    // Turned off again, the cursor leaves the name column.
    grid.setOptions(TVxStringGrid::goEditing);
    EXPECT_EQ(cursor(), std::make_pair(1, 6));
}

// Tab walks a grid's cells and gives the keyboard on at its ends, as from any other field: at
// the last cell to the next control, Shift+Tab at the first to the previous one, a cell that
// may not be left keeping it; a list of rows at once. The grids drawn here and the table views
// alike.
TEST(GridKeyboard, TabGivesTheKeyboardOnAtTheEndsOnly)
{
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *before = new QLineEdit;
    auto *grid = new ProbeGrid;
    auto *table = new TVxTableView;
    auto *after = new QLineEdit;
    for (QWidget *w : std::initializer_list<QWidget *>{before, grid, table, after})
        layout->addWidget(w);
    grid->setColCount(4);
    grid->setRowCount(4);
    QStandardItemModel model(3, 3);
    table->setModel(&model);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    // How the grid stands: "refused" its cell may not be left, "editing" its editor open
    // holding "9", "name" the fixed column takes the cursor, "stays" without goTabLeaves.
    const struct
    {
        const char *name;
        QWidget *view;
        std::pair<int, int> from; // the cell the keyboard stands on
        Qt::Key key;
        QWidget *to;                // where the keyboard goes
        std::pair<int, int> cursor; // the grid's cursor afterwards
        QString how = QString();
    } cases[] = {
        {"tab on along the line", grid, {2, 1}, Qt::Key_Tab, grid, {3, 1}},
        {"tab on to the next line", grid, {3, 1}, Qt::Key_Tab, grid, {1, 2}},
        {"tab at the last cell", grid, {3, 3}, Qt::Key_Tab, table, {3, 3}},
        {"shift+tab at the first cell", grid, {1, 1}, Qt::Key_Backtab, before, {1, 1}},
        {"shift+tab back a line", grid, {1, 2}, Qt::Key_Backtab, grid, {3, 1}},
        {"a refused cell stays", grid, {3, 3}, Qt::Key_Tab, grid, {3, 3}, "refused"},
        {"edited: closed, kept", grid, {3, 3}, Qt::Key_Tab, table, {3, 3}, "editing"},
        {"the name column first", grid, {0, 1}, Qt::Key_Backtab, before, {0, 1}, "name"},
        {"no goTabLeaves", grid, {3, 3}, Qt::Key_Tab, grid, {3, 3}, "stays"},
        {"table: tab inside", table, {1, 1}, Qt::Key_Tab, table, {1, 2}},
        {"table: tab at the last cell", table, {2, 2}, Qt::Key_Tab, after, {2, 2}},
        {"table: shift+tab at the first cell", table, {0, 0}, Qt::Key_Backtab, grid, {0, 0}},
        {"table of rows: tab leaves at once", table, {1, 1}, Qt::Key_Tab, after, {1, 1}, "rows"},
        {"table of rows: End to the last row", table, {0, 1}, Qt::Key_End, table, {2, 2}, "rows"},
        {"table of rows: Home to the first", table, {2, 1}, Qt::Key_Home, table, {0, 0}, "rows"},
    };

    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const bool refused = c.how == "refused", editing = c.how == "editing";
        TVxStringGrid::TGridOptions options = TVxStringGrid::goEditing;
        if (c.how != "stays")
            options |= TVxStringGrid::goTabLeaves;
        if (c.how == "name")
            options |= TVxStringGrid::goFixedColsFocus;
        grid->setOptions(options);
        grid->refused.clear();
        QWidget *typedInto = c.view;
        if (c.view == grid) {
            grid->setEditorMode(false);
            grid->MoveCursor(c.from.first, c.from.second);
            grid->setFocus();
            if (editing) {
                QTest::keyClick(grid, Qt::Key_9);
                typedInto = grid->findChild<QLineEdit *>();
            }
            if (refused)
                grid->refused = {c.from};
        } else {
            table->setSelectionBehavior(c.how == "rows" ? QAbstractItemView::SelectRows
                                                        : QAbstractItemView::SelectItems);
            table->setCurrentIndex(model.index(c.from.first, c.from.second));
            table->setFocus();
        }
        QTest::keyClick(typedInto, c.key);
        EXPECT_EQ(window.focusWidget(), c.to);
        if (c.view == grid) {
            EXPECT_EQ(std::make_pair(grid->Col(), grid->Row()), c.cursor);
            EXPECT_EQ(grid->EditorMode(), refused && editing);
            if (editing)
                EXPECT_EQ(grid->Cells(c.cursor.first, c.cursor.second), QStringLiteral("9"));
        } else {
            EXPECT_EQ(std::make_pair(table->currentIndex().row(), table->currentIndex().column()),
                      c.cursor);
        }
    }

    // A list's chosen row is grey while another control has the keyboard: of two lists, the
    // one with the keyboard shows it.
    table->selectRow(1);
    const auto chosen = [table] {
        const QRect cell = table->visualRect(table->model()->index(1, 1));
        return table->viewport()->grab().toImage().pixelColor(cell.center());
    };
    after->setFocus();
    EXPECT_EQ(chosen().rgb(), table->palette().color(QPalette::Midlight).rgb());
    table->setFocus();
    EXPECT_EQ(chosen().rgb(), table->palette().color(QPalette::Highlight).rgb());
}

TEST_F(StringGridTest, RecordsAreSharedAndCellsKeepTheirPlaceWhenTheGridChanges)
{
    std::weak_ptr<Record> watch;
    {
        auto first = std::make_unique<ProbeGrid>();
        auto record = std::make_shared<Record>();
        watch = record;
        first->setObjects(1, 1, record);
        grid.setObjects(4, 7, record);
    }
    ASSERT_FALSE(watch.expired());
    EXPECT_EQ(grid.ObjectAs<Record>(4, 7), watch.lock());

    // Growing and shrinking keeps every surviving cell where it was.
    grid.setColCount(20);
    grid.setRowCount(40);
    EXPECT_EQ(grid.Cells(11, 29), QStringLiteral("11.29"));
    EXPECT_EQ(grid.Cells(3, 5), QStringLiteral("3.5"));
    EXPECT_TRUE(grid.Cells(15, 5).isEmpty());
    EXPECT_EQ(grid.ObjectAs<Record>(4, 7), watch.lock());
    grid.setCol(19);
    grid.setColCount(4);
    EXPECT_EQ(grid.Col(), 3);
    EXPECT_EQ(grid.Cells(3, 29), QStringLiteral("3.29"));
    // The last holder lets the record go.
    EXPECT_TRUE(watch.expired());
}

} // namespace
