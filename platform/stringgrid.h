#pragma once

// TVxStringGrid: the framework's editable string grid, worked from the keyboard.
//
//   grid.setColCount(42); grid.setRowCount(32); grid.setFixedCols(1); grid.setFixedRows(2);
//   grid.setCells(c, r, text); grid.Cells(c, r)
//   grid.setObjects(c, r, record); grid.ObjectAs<TMyRecord>(c, r)   // shared records
//   grid.setCol(c); grid.setRow(r)         // asks SelectCell; outside the data cells raises
//   grid.MoveCursor(c, r)                  // both at once, one SelectCell
//   grid.setOptions(grid.Options() | TVxStringGrid::goEditing)
//
// Coordinates: fixed rows and columns (headers) are cells like the others, numbered from 0;
// they stay in view while the data cells scroll under them, and the cursor never enters them.
//
// The cursor moves by arrows, Home/End (with Ctrl: the first/last data cell), Page Up/Down,
// Tab/Shift+Tab (along the line, on to the next one; focus leaves the grid only with
// goTabLeaves), mouse
// click. With goEditing, typing a character starts editing with that character, F2 or a
// double click edits the current text, Esc puts the old text back, Enter closes the editor;
// Left at the start of the edited text and Right at its end move on to the neighbouring cell;
// Delete, and Backspace on a cell not being edited, empty the cell (the hooks see Backspace).
// Control characters are never typed into a cell. A text wider than its column shows whole
// in a tooltip.
//
// Hooks for subclasses, each calling the matching On... event in its base version:
//   SelectCell(c, r)       asked before every change of the current cell (keys, mouse, Tab,
//                          setCol/setRow), and with the current cell itself before Tab
//                          leaves the grid (goTabLeaves); false keeps the cursor (the
//                          keyboard) where it is
//   SetEditText(c, r, t)   every keystroke of the editor; the base puts t into the cell
//   KeyPress(key)          every character typed (Enter, Esc and Backspace included), editing
//                          or not, before the grid's own handling; change the key or set it
//                          to QChar() to swallow it
//   DrawCell(p, c, r, rect, state)  the cell's background is already painted; the base draws
//                          the text, so an override can paint before and after it
//   CellTextColour(c, r, state)  the colour the base draws a cell's text in: an override that
//                          fills cells with colours of its own keeps their text readable
//                          (VxTextColourOn)
//   ColSized(c)            the user dragged a column's border (goColSizing) and let it go
//   CellTextChanged(c, r)  a cell's text changed (setCells, typing): a column may widen to it
// Structural changes (counts, fixed counts) that leave the cursor outside the data cells move
// it without asking SelectCell.

#include "platform/vxexception.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFlags>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class QPainter;
class VxInplaceEdit;

// Black or white, whichever reads better on the fill (white on dark green, black on yellow).
QColor VxTextColourOn(const QColor &fill);

// Base of the records that hang on grid cells. Several grids and windows may hold the same
// record; it lives as long as its last holder.
class TVxGridObject
{
public:
    virtual ~TVxGridObject() = default;
};

// A move or a count outside the grid: callers that walk the cells catch it to wrap.
class EInvalidGridOperation : public EVxException
{
public:
    using EVxException::EVxException;
};

enum TGridDrawStateFlag { gdSelected = 0x1, gdFocused = 0x2, gdFixed = 0x4 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

class TVxStringGrid : public QAbstractScrollArea
{
    Q_OBJECT
public:
    // goFixedColsFocus: the cursor may also stand on the fixed columns, which then hold data
    // that stays in view while the rest scrolls sideways (a name column); fixed rows stay
    // headers the cursor never enters. goTabLeaves: Tab on the last cell (Shift+Tab on the
    // first) takes the keyboard on to the next (previous) control, once the cell is left as any
    // move leaves it: a grid with controls beside it that the keyboard must reach.
    enum TGridOption {
        goEditing = 0x1,
        goColSizing = 0x2,
        goFixedColsFocus = 0x4,
        goTabLeaves = 0x8
    };
    Q_DECLARE_FLAGS(TGridOptions, TGridOption)

    explicit TVxStringGrid(QWidget *parent = nullptr);
    ~TVxStringGrid() override;

    int ColCount() const { return m_colCount; }
    void setColCount(int count);
    int RowCount() const { return m_rowCount; }
    void setRowCount(int count);
    // At least one data column and row stay: a fixed count reaching the count raises.
    int FixedCols() const { return m_fixedCols; }
    void setFixedCols(int count);
    int FixedRows() const { return m_fixedRows; }
    void setFixedRows(int count);

    QString Cells(int col, int row) const;
    void setCells(int col, int row, const QString &text);
    std::shared_ptr<TVxGridObject> Objects(int col, int row) const;
    void setObjects(int col, int row, std::shared_ptr<TVxGridObject> object);
    template <typename T> std::shared_ptr<T> ObjectAs(int col, int row) const
    {
        return std::dynamic_pointer_cast<T>(Objects(col, row));
    }

    int Col() const { return m_col; }
    void setCol(int col);
    int Row() const { return m_row; }
    void setRow(int row);
    // Moves the cursor to a data cell in one step, asking SelectCell once (setCol then setRow
    // would ask for the cell in between too): false when refused. Outside the data cells raises.
    bool MoveCursor(int col, int row);

    int DefaultColWidth() const { return m_defaultColWidth; }
    void setDefaultColWidth(int width); // every column
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int height); // every row
    int ColWidths(int col) const;
    void setColWidths(int col, int width);
    int RowHeights(int row) const;
    void setRowHeights(int row, int height);

    TGridOptions Options() const { return m_options; }
    void setOptions(TGridOptions options);
    QColor FontColor() const;
    void setFontColor(const QColor &color);

    // First data row and column in view, and how many data rows and columns fit whole.
    int TopRow() const { return m_topRow; }
    void setTopRow(int row);
    int LeftCol() const { return m_leftCol; }
    void setLeftCol(int col);
    int VisibleRowCount() const;
    int VisibleColCount() const;
    // The cell's rectangle in the viewport, or an empty one when it is scrolled out of view.
    QRect CellRect(int col, int row) const;
    // The cell under a viewport point: false outside every cell.
    bool MouseToCell(const QPoint &point, int &col, int &row) const;

    bool EditorMode() const { return m_editing; }
    void setEditorMode(bool on);
    void InvalidateCell(int col, int row);
    void Invalidate();

    std::function<void(int col, int row, bool &canSelect)> OnSelectCell;
    std::function<void(int col, int row, const QString &value)> OnSetEditText;
    std::function<void(QChar &key)> OnKeyPress;
    std::function<void(QPainter &painter, int col, int row, const QRect &rect,
                       TGridDrawState state)>
        OnDrawCell;
    std::function<void(Qt::MouseButton button, const QPoint &point)> OnMouseUp;
    // Editing asked (a typed character, F2, a double click) of a grid without goEditing.
    std::function<void()> OnEditRefused;

protected:
    virtual bool SelectCell(int col, int row);
    virtual void SetEditText(int col, int row, const QString &value);
    virtual void KeyPress(QChar &key);
    virtual void DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                          TGridDrawState state);
    virtual QColor CellTextColour(int col, int row, TGridDrawState state) const;
    virtual void ColSized(int col) { Q_UNUSED(col); }
    virtual void CellTextChanged(int col, int row)
    {
        Q_UNUSED(col);
        Q_UNUSED(row);
    }

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;
    bool viewportEvent(QEvent *event) override;

private:
    friend class VxInplaceEdit;

    struct Cell
    {
        QString text;
        std::shared_ptr<TVxGridObject> object;
    };

    void checkCell(int col, int row) const;
    bool isDataCell(int col, int row) const;
    // Tab past the last cell, Shift+Tab before the first: the next or previous control.
    void leave(bool next);
    int firstCursorCol() const;
    void resizeCells(int cols, int rows);
    void keepCursorInData();
    // Asks SelectCell, closes the editor and moves; false when refused.
    bool moveTo(int col, int row);
    void scrollInView(int col, int row);
    void updateScrollBars();
    int rowRoom() const;
    int colRoom() const;
    int colAtBorder(const QPoint &point) const;

    void gridKey(QKeyEvent *event);
    void editorKey(QKeyEvent *event);
    // Runs KeyPress and the grid's own handling of a typed character.
    void typed(QChar key, QKeyEvent *event);
    bool navigate(QKeyEvent *event);
    void showEditor(const QString &text);
    void hideEditor();
    void cancelEdit();
    // Delete, or Backspace outside the editor: KeyPress sees Backspace, then the cell empties.
    void emptyCurrentCell();
    void placeEditor();

    int m_colCount = 5;
    int m_rowCount = 5;
    int m_fixedCols = 1;
    int m_fixedRows = 1;
    std::vector<Cell> m_cells; // row by row
    std::vector<int> m_colWidths;
    std::vector<int> m_rowHeights;
    int m_defaultColWidth = 64;
    int m_defaultRowHeight = 24;
    int m_col = 1;
    int m_row = 1;
    int m_topRow = 1;
    int m_leftCol = 1;
    TGridOptions m_options;

    VxInplaceEdit *m_editor = nullptr;
    bool m_editing = false;
    int m_editCol = -1;
    int m_editRow = -1;
    QString m_textBeforeEdit;

    int m_sizingCol = -1;
    int m_sizingStartX = 0;
    int m_sizingStartWidth = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TVxStringGrid::TGridOptions)
