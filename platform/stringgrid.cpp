#include "platform/stringgrid.h"

#include "platform/keyboardfocus.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolTip>

#include <algorithm>
#include <utility>

// The in-cell editor: every key goes to the grid first, which decides what the editor sees.
class VxInplaceEdit : public QLineEdit
{
public:
    explicit VxInplaceEdit(TVxStringGrid *grid) : QLineEdit(grid->viewport()), m_grid(grid)
    {
        setFrame(false);
        setObjectName(QStringLiteral("InplaceEdit"));
    }

    void editorKeyPress(QKeyEvent *event) { QLineEdit::keyPressEvent(event); }

protected:
    void keyPressEvent(QKeyEvent *event) override { m_grid->editorKey(event); }
    // Tab is the grid's: it moves inside it, and leaves it only at its ends.
    bool focusNextPrevChild(bool) override { return false; }

private:
    TVxStringGrid *m_grid;
};

namespace {

constexpr int LineWidth = 1;
constexpr int TextMargin = 2;
constexpr int SizingGrip = 3;
constexpr int MinimumColWidth = 4;

const QChar Enter(13);
const QChar Escape(27);
const QChar Backspace(8);

[[noreturn]] void outOfRange()
{
    throw EInvalidGridOperation(QStringLiteral("Indice della griglia fuori dai limiti."));
}

// Enter, Esc and Backspace by key code: their text depends on the platform's key map.
QChar characterOf(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Enter;
    case Qt::Key_Escape:
        return Escape;
    case Qt::Key_Backspace:
        return Backspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return {};
    default:
        break;
    }
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return {};
    const QString text = event->text();
    // Control characters (DEL included) never reach a cell: they would be stored unseen.
    if (text.size() != 1 || (text.at(0).category() == QChar::Other_Control && text.at(0) != Enter))
        return {};
    return text.at(0);
}

} // namespace

TVxStringGrid::TVxStringGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setSingleStep(1);
    resizeCells(m_colCount, m_rowCount);
    // The current cell is framed in the highlight colour only while the grid has the keyboard.
    VxRepaintOnFocusChange(this);
}

TVxStringGrid::~TVxStringGrid() = default;

// ---- Cells and counts ---------------------------------------------------------------------

void TVxStringGrid::checkCell(int col, int row) const
{
    if (col < 0 || row < 0 || col >= m_colCount || row >= m_rowCount)
        outOfRange();
}

bool TVxStringGrid::isDataCell(int col, int row) const
{
    return col >= firstCursorCol() && row >= m_fixedRows && col < m_colCount && row < m_rowCount;
}

int TVxStringGrid::firstCursorCol() const
{
    return (m_options & goFixedColsFocus) ? 0 : m_fixedCols;
}

QString TVxStringGrid::Cells(int col, int row) const
{
    checkCell(col, row);
    return m_cells[size_t(row) * m_colCount + col].text;
}

void TVxStringGrid::setCells(int col, int row, const QString &text)
{
    checkCell(col, row);
    QString &cell = m_cells[size_t(row) * m_colCount + col].text;
    const bool changed = cell != text;
    cell = text;
    if (m_editing && col == m_editCol && row == m_editRow && m_editor->text() != text)
        m_editor->setText(text);
    if (changed)
        CellTextChanged(col, row);
    viewport()->update();
}

std::shared_ptr<TVxGridObject> TVxStringGrid::Objects(int col, int row) const
{
    checkCell(col, row);
    return m_cells[size_t(row) * m_colCount + col].object;
}

void TVxStringGrid::setObjects(int col, int row, std::shared_ptr<TVxGridObject> object)
{
    checkCell(col, row);
    m_cells[size_t(row) * m_colCount + col].object = std::move(object);
    viewport()->update();
}

void TVxStringGrid::resizeCells(int cols, int rows)
{
    if (cols != m_colCount || rows != m_rowCount || m_cells.empty()) {
        std::vector<Cell> cells(size_t(cols) * rows);
        const int keepCols = std::min(cols, m_colCount);
        const int keepRows = m_cells.empty() ? 0 : std::min(rows, m_rowCount);
        for (int r = 0; r < keepRows; ++r)
            for (int c = 0; c < keepCols; ++c)
                cells[size_t(r) * cols + c] = std::move(m_cells[size_t(r) * m_colCount + c]);
        m_cells.swap(cells);
    }
    m_colCount = cols;
    m_rowCount = rows;
    m_colWidths.resize(size_t(cols), m_defaultColWidth);
    m_rowHeights.resize(size_t(rows), m_defaultRowHeight);
    keepCursorInData();
}

void TVxStringGrid::setColCount(int count)
{
    count = std::max(count, 1);
    if (count <= m_fixedCols)
        m_fixedCols = count - 1;
    resizeCells(count, m_rowCount);
}

void TVxStringGrid::setRowCount(int count)
{
    count = std::max(count, 1);
    if (count <= m_fixedRows)
        m_fixedRows = count - 1;
    resizeCells(m_colCount, count);
}

void TVxStringGrid::setFixedCols(int count)
{
    if (count < 0 || count >= m_colCount)
        throw EInvalidGridOperation(
            QStringLiteral("Il numero di colonne fisse deve essere minore delle colonne."));
    m_fixedCols = count;
    keepCursorInData();
}

void TVxStringGrid::setFixedRows(int count)
{
    if (count < 0 || count >= m_rowCount)
        throw EInvalidGridOperation(
            QStringLiteral("Il numero di righe fisse deve essere minore delle righe."));
    m_fixedRows = count;
    keepCursorInData();
}

void TVxStringGrid::keepCursorInData()
{
    const int col = std::clamp(m_col, firstCursorCol(), m_colCount - 1);
    const int row = std::clamp(m_row, m_fixedRows, m_rowCount - 1);
    if (col != m_col || row != m_row)
        hideEditor();
    m_col = col;
    m_row = row;
    updateScrollBars();
}

// ---- Sizes --------------------------------------------------------------------------------

void TVxStringGrid::setDefaultColWidth(int width)
{
    m_defaultColWidth = width;
    std::fill(m_colWidths.begin(), m_colWidths.end(), width);
    updateScrollBars();
}

void TVxStringGrid::setDefaultRowHeight(int height)
{
    m_defaultRowHeight = height;
    std::fill(m_rowHeights.begin(), m_rowHeights.end(), height);
    updateScrollBars();
}

int TVxStringGrid::ColWidths(int col) const
{
    checkCell(col, 0);
    return m_colWidths[size_t(col)];
}

void TVxStringGrid::setColWidths(int col, int width)
{
    checkCell(col, 0);
    m_colWidths[size_t(col)] = std::max(width, 0);
    updateScrollBars();
}

int TVxStringGrid::RowHeights(int row) const
{
    checkCell(0, row);
    return m_rowHeights[size_t(row)];
}

void TVxStringGrid::setRowHeights(int row, int height)
{
    checkCell(0, row);
    m_rowHeights[size_t(row)] = std::max(height, 0);
    updateScrollBars();
}

void TVxStringGrid::setOptions(TGridOptions options)
{
    m_options = options;
    if (!(options & goEditing))
        hideEditor();
    keepCursorInData();
}

QColor TVxStringGrid::FontColor() const
{
    return palette().color(QPalette::Text);
}

void TVxStringGrid::setFontColor(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::ButtonText, color);
    setPalette(pal);
    viewport()->update();
}

// ---- Geometry and scrolling ---------------------------------------------------------------
//
// Rows and columns follow the same rules, each along its own axis: the fixed ones first, then
// the data ones from the first in view (TopRow, LeftCol); "room" is what the fixed ones leave.

namespace {

int extent(const std::vector<int> &sizes, int from, int to)
{
    int total = 0;
    for (int i = from; i < to; ++i)
        total += sizes[size_t(i)] + LineWidth;
    return total;
}

// The first data index in view that still shows the last one whole.
int lastFirst(const std::vector<int> &sizes, int fixed, int room)
{
    int first = int(sizes.size()) - 1;
    int used = sizes[size_t(first)] + LineWidth;
    while (first - 1 >= fixed && used + sizes[size_t(first - 1)] + LineWidth <= room)
        used += sizes[size_t(--first)] + LineWidth;
    return std::max(first, fixed);
}

int wholeCount(const std::vector<int> &sizes, int first, int room)
{
    int used = 0;
    int count = 0;
    for (int i = first; i < int(sizes.size()); ++i) {
        used += sizes[size_t(i)] + LineWidth;
        if (used > room)
            break;
        ++count;
    }
    return count;
}

// The first data index in view once index shows whole (or at the start, when it cannot).
int firstShowing(const std::vector<int> &sizes, int fixed, int first, int index, int room)
{
    if (index < fixed)
        return first;
    if (index < first)
        return index;
    int used = extent(sizes, first, index + 1);
    while (first < index && used > room)
        used -= sizes[size_t(first++)] + LineWidth;
    return first;
}

// The start of index in the viewport, -1 when it is scrolled out of view.
int startOf(const std::vector<int> &sizes, int fixed, int first, int index, int length)
{
    if (index < fixed)
        return extent(sizes, 0, index);
    if (index < first)
        return -1;
    const int pos = extent(sizes, 0, fixed) + extent(sizes, first, index);
    return pos < length ? pos : -1;
}

// The indexes in view with their starts, the fixed ones first.
std::vector<std::pair<int, int>> inView(const std::vector<int> &sizes, int fixed, int first,
                                        int length)
{
    std::vector<std::pair<int, int>> spans;
    int pos = 0;
    for (int i = 0; i < int(sizes.size()) && pos < length; ++i) {
        if (i == fixed)
            i = first;
        if (i >= int(sizes.size()))
            break;
        spans.emplace_back(i, pos);
        pos += sizes[size_t(i)] + LineWidth;
    }
    return spans;
}

int indexAt(const std::vector<int> &sizes, int fixed, int first, int length, int coord)
{
    if (coord < 0)
        return -1;
    for (const auto &[index, start] : inView(sizes, fixed, first, length)) {
        if (coord < start + sizes[size_t(index)] + LineWidth)
            return index;
    }
    return -1;
}

} // namespace

int TVxStringGrid::rowRoom() const
{
    return viewport()->height() - extent(m_rowHeights, 0, m_fixedRows);
}

int TVxStringGrid::colRoom() const
{
    return viewport()->width() - extent(m_colWidths, 0, m_fixedCols);
}

int TVxStringGrid::VisibleRowCount() const
{
    return wholeCount(m_rowHeights, m_topRow, rowRoom());
}

int TVxStringGrid::VisibleColCount() const
{
    return wholeCount(m_colWidths, m_leftCol, colRoom());
}

void TVxStringGrid::updateScrollBars()
{
    const int lastTop = lastFirst(m_rowHeights, m_fixedRows, rowRoom());
    const int lastLeft = lastFirst(m_colWidths, m_fixedCols, colRoom());
    m_topRow = std::clamp(m_topRow, m_fixedRows, lastTop);
    m_leftCol = std::clamp(m_leftCol, m_fixedCols, lastLeft);
    // Blocked: the values are already ours, the scroll area need not be told back. Its range
    // is told afterwards: by it the scroll area hides a bar that has nothing left to scroll
    // (a grid that fits once the window grew).
    const auto set = [](QScrollBar *bar, int min, int max, int page, int value) {
        {
            const QSignalBlocker block(bar);
            bar->setRange(min, max);
            bar->setPageStep(std::max(1, page));
            bar->setValue(value);
        }
        emit bar->rangeChanged(min, max);
    };
    set(verticalScrollBar(), m_fixedRows, lastTop, VisibleRowCount(), m_topRow);
    set(horizontalScrollBar(), m_fixedCols, lastLeft, VisibleColCount(), m_leftCol);
    placeEditor();
    viewport()->update();
}

void TVxStringGrid::setTopRow(int row)
{
    m_topRow = row;
    updateScrollBars();
}

void TVxStringGrid::setLeftCol(int col)
{
    m_leftCol = col;
    updateScrollBars();
}

void TVxStringGrid::scrollContentsBy(int, int)
{
    m_topRow = verticalScrollBar()->value();
    m_leftCol = horizontalScrollBar()->value();
    placeEditor();
    viewport()->update();
}

void TVxStringGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

QRect TVxStringGrid::CellRect(int col, int row) const
{
    checkCell(col, row);
    const int x = startOf(m_colWidths, m_fixedCols, m_leftCol, col, viewport()->width());
    const int y = startOf(m_rowHeights, m_fixedRows, m_topRow, row, viewport()->height());
    if (x < 0 || y < 0)
        return {};
    return QRect(x, y, m_colWidths[size_t(col)], m_rowHeights[size_t(row)]);
}

bool TVxStringGrid::MouseToCell(const QPoint &point, int &col, int &row) const
{
    col = indexAt(m_colWidths, m_fixedCols, m_leftCol, viewport()->width(), point.x());
    row = indexAt(m_rowHeights, m_fixedRows, m_topRow, viewport()->height(), point.y());
    return col >= 0 && row >= 0;
}

void TVxStringGrid::scrollInView(int col, int row)
{
    const int left = firstShowing(m_colWidths, m_fixedCols, m_leftCol, col, colRoom());
    const int top = firstShowing(m_rowHeights, m_fixedRows, m_topRow, row, rowRoom());
    if (left != m_leftCol || top != m_topRow) {
        m_leftCol = left;
        m_topRow = top;
        updateScrollBars();
    }
}

// ---- Cursor -------------------------------------------------------------------------------

void TVxStringGrid::setCol(int col)
{
    if (!isDataCell(col, m_row))
        outOfRange();
    moveTo(col, m_row);
}

void TVxStringGrid::setRow(int row)
{
    if (!isDataCell(m_col, row))
        outOfRange();
    moveTo(m_col, row);
}

bool TVxStringGrid::MoveCursor(int col, int row)
{
    if (!isDataCell(col, row))
        outOfRange();
    return moveTo(col, row);
}

bool TVxStringGrid::moveTo(int col, int row)
{
    if (col == m_col && row == m_row)
        return true;
    if (!SelectCell(col, row))
        return false;
    // The text already went into the cell keystroke by keystroke.
    hideEditor();
    InvalidateCell(m_col, m_row);
    m_col = col;
    m_row = row;
    scrollInView(col, row);
    InvalidateCell(col, row);
    return true;
}

bool TVxStringGrid::SelectCell(int col, int row)
{
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(col, row, canSelect);
    return canSelect;
}

void TVxStringGrid::InvalidateCell(int col, int row)
{
    if (col < 0 || row < 0 || col >= m_colCount || row >= m_rowCount)
        return;
    const QRect rect = CellRect(col, row);
    if (!rect.isEmpty())
        viewport()->update(rect.adjusted(-2, -2, 2, 2));
}

void TVxStringGrid::Invalidate()
{
    viewport()->update();
}

// ---- Editing ------------------------------------------------------------------------------

void TVxStringGrid::SetEditText(int col, int row, const QString &value)
{
    setCells(col, row, value);
    if (OnSetEditText)
        OnSetEditText(col, row, value);
}

void TVxStringGrid::KeyPress(QChar &key)
{
    if (OnKeyPress)
        OnKeyPress(key);
}

void TVxStringGrid::setEditorMode(bool on)
{
    if (on && !m_editing && (m_options & goEditing))
        showEditor(Cells(m_col, m_row));
    else if (on && !m_editing && OnEditRefused)
        OnEditRefused();
    else if (!on)
        hideEditor();
}

void TVxStringGrid::emptyCurrentCell()
{
    const int col = m_col;
    const int row = m_row;
    QChar key = Backspace;
    KeyPress(key);
    // Swallowed, or the hook moved the cursor off a cell that may not be entered: the cell the
    // cursor now stands on was not the one asked to be emptied.
    if (key.isNull() || col != m_col || row != m_row || m_editing || !(m_options & goEditing))
        return;
    if (!Cells(col, row).isEmpty())
        SetEditText(col, row, QString());
}

void TVxStringGrid::showEditor(const QString &text)
{
    if (!m_editor) {
        m_editor = new VxInplaceEdit(this);
        connect(m_editor, &QLineEdit::textEdited, this,
                [this](const QString &value) { SetEditText(m_editCol, m_editRow, value); });
    }
    m_editCol = m_col;
    m_editRow = m_row;
    m_textBeforeEdit = Cells(m_col, m_row);
    m_editing = true;
    m_editor->setFont(font());
    m_editor->setText(text);
    m_editor->end(false);
    placeEditor();
    m_editor->show();
    m_editor->setFocus();
    if (text != m_textBeforeEdit)
        SetEditText(m_editCol, m_editRow, text);
}

void TVxStringGrid::hideEditor()
{
    if (!m_editing)
        return;
    m_editing = false;
    const bool hadFocus = m_editor->hasFocus();
    m_editor->hide();
    if (hadFocus)
        setFocus();
    InvalidateCell(m_editCol, m_editRow);
}

void TVxStringGrid::cancelEdit()
{
    if (!m_editing)
        return;
    if (Cells(m_editCol, m_editRow) != m_textBeforeEdit)
        SetEditText(m_editCol, m_editRow, m_textBeforeEdit);
    hideEditor();
}

void TVxStringGrid::placeEditor()
{
    if (!m_editing)
        return;
    const QRect rect = CellRect(m_editCol, m_editRow);
    // Scrolled out of view, the editor waits outside the viewport and keeps the focus.
    m_editor->setGeometry(rect.isEmpty() ? QRect(-1000, -1000, 10, 10) : rect);
}

// ---- Keyboard -----------------------------------------------------------------------------

void TVxStringGrid::keyPressEvent(QKeyEvent *event)
{
    if (m_editing)
        editorKey(event);
    else
        gridKey(event);
}

bool TVxStringGrid::focusNextPrevChild(bool)
{
    return false;
}

bool TVxStringGrid::navigate(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int lastCol = m_colCount - 1;
    const int lastRow = m_rowCount - 1;
    switch (event->key()) {
    case Qt::Key_Left:
        moveTo(std::max(m_col - 1, firstCursorCol()), m_row);
        return true;
    case Qt::Key_Right:
        moveTo(std::min(m_col + 1, lastCol), m_row);
        return true;
    case Qt::Key_Up:
        moveTo(m_col, std::max(m_row - 1, m_fixedRows));
        return true;
    case Qt::Key_Down:
        moveTo(m_col, std::min(m_row + 1, lastRow));
        return true;
    case Qt::Key_Home:
        moveTo(firstCursorCol(), ctrl ? m_fixedRows : m_row);
        return true;
    case Qt::Key_End:
        moveTo(lastCol, ctrl ? lastRow : m_row);
        return true;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = std::max(1, VisibleRowCount());
        const int step = event->key() == Qt::Key_PageUp ? -page : page;
        const int top = m_topRow;
        if (moveTo(m_col, std::clamp(m_row + step, m_fixedRows, lastRow)))
            setTopRow(top + step);
        return true;
    }
    case Qt::Key_Tab:
        if (m_col < lastCol)
            moveTo(m_col + 1, m_row);
        else if (m_row < lastRow)
            moveTo(firstCursorCol(), m_row + 1);
        else
            leave(true);
        return true;
    case Qt::Key_Backtab:
        if (m_col > firstCursorCol())
            moveTo(m_col - 1, m_row);
        else if (m_row > m_fixedRows)
            moveTo(lastCol, m_row - 1);
        else
            leave(false);
        return true;
    default:
        return false;
    }
}

void TVxStringGrid::leave(bool next)
{
    // The cell is checked as a move checks it: a refused one keeps the keyboard.
    if (!(m_options & goTabLeaves) || !SelectCell(m_col, m_row))
        return;
    hideEditor();
    QWidget::focusNextPrevChild(next);
}

void TVxStringGrid::gridKey(QKeyEvent *event)
{
    if (navigate(event))
        return;
    if (event->key() == Qt::Key_F2) {
        setEditorMode(true);
        return;
    }
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        emptyCurrentCell();
        return;
    }
    const QChar key = characterOf(event);
    if (key.isNull()) {
        event->ignore();
        return;
    }
    typed(key, event);
    // With no edit to cancel, Esc belongs to the window (a dialog closes on it).
    if (key == Escape && !m_editing)
        event->ignore();
}

void TVxStringGrid::editorKey(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // At the start or the end of the text the arrow goes on to the neighbouring cell, as
        // in every spreadsheet; inside the text, or extending a selection, it stays in it.
        const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
        const int edge = event->key() == Qt::Key_Left ? 0 : int(m_editor->text().size());
        if (plain && !m_editor->hasSelectedText() && m_editor->cursorPosition() == edge) {
            navigate(event);
            return;
        }
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        navigate(event);
        return;
    default:
        break;
    }
    const QChar key = characterOf(event);
    if (key.isNull())
        m_editor->editorKeyPress(event);
    else
        typed(key, event);
}

void TVxStringGrid::typed(QChar key, QKeyEvent *event)
{
    const QChar original = key;
    KeyPress(key);
    if (key.isNull())
        return;
    if (m_editing) {
        if (key == Enter) {
            hideEditor();
        } else if (key == Escape) {
            cancelEdit();
        } else if (key == original) {
            m_editor->editorKeyPress(event);
        } else {
            // The hook changed the key: the editor sees the new one.
            QKeyEvent changed(QEvent::KeyPress, key == Backspace ? Qt::Key_Backspace : 0,
                              Qt::NoModifier, key == Backspace ? QString() : QString(key));
            m_editor->editorKeyPress(&changed);
        }
        return;
    }
    // The hook may have moved the cursor (a locked cell): the key then starts the new cell.
    if (key < QChar(32))
        return;
    if (m_options & goEditing)
        showEditor(QString(key));
    else if (OnEditRefused)
        OnEditRefused();
}

// ---- Mouse --------------------------------------------------------------------------------

int TVxStringGrid::colAtBorder(const QPoint &point) const
{
    if (point.y() >= extent(m_rowHeights, 0, m_fixedRows))
        return -1;
    for (int c = 0; c < m_colCount; ++c) {
        const QRect rect = CellRect(c, 0);
        if (rect.isEmpty()) {
            if (c >= m_leftCol)
                break;
            continue;
        }
        if (std::abs(point.x() - (rect.right() + 1)) <= SizingGrip)
            return c;
    }
    return -1;
}

void TVxStringGrid::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton && (m_options & goColSizing)) {
        m_sizingCol = colAtBorder(point);
        if (m_sizingCol >= 0) {
            m_sizingStartX = point.x();
            m_sizingStartWidth = m_colWidths[size_t(m_sizingCol)];
            viewport()->setCursor(Qt::SplitHCursor);
            return;
        }
    }
    int col = -1;
    int row = -1;
    if (!MouseToCell(point, col, row) || !isDataCell(col, row))
        return;
    moveTo(col, row);
    if (m_editing)
        m_editor->setFocus();
    else
        setFocus();
}

void TVxStringGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (m_sizingCol < 0)
        return;
    const int dx = event->position().toPoint().x() - m_sizingStartX;
    setColWidths(m_sizingCol, std::max(MinimumColWidth, m_sizingStartWidth + dx));
}

void TVxStringGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_sizingCol >= 0) {
        const int sized = std::exchange(m_sizingCol, -1);
        viewport()->unsetCursor();
        if (m_colWidths[size_t(sized)] != m_sizingStartWidth)
            ColSized(sized);
    }
    if (OnMouseUp)
        OnMouseUp(event->button(), event->position().toPoint());
}

void TVxStringGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    int col = -1;
    int row = -1;
    if (MouseToCell(event->position().toPoint(), col, row) && col == m_col && row == m_row)
        setEditorMode(true);
}

bool TVxStringGrid::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(event);
    // A text cut by its column shows whole under the mouse; a text that fits needs no tip.
    const auto *help = static_cast<QHelpEvent *>(event);
    int col = -1;
    int row = -1;
    QString text;
    if (MouseToCell(help->pos(), col, row)) {
        const QString &cell = m_cells[size_t(row) * m_colCount + col].text;
        if (QFontMetrics(font()).horizontalAdvance(cell) >
            m_colWidths[size_t(col)] - 2 * TextMargin)
            text = cell;
    }
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, viewport(), CellRect(col, row));
    }
    return true;
}

// ---- Painting -----------------------------------------------------------------------------

void TVxStringGrid::DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                             TGridDrawState state)
{
    const QString &text = m_cells[size_t(row) * m_colCount + col].text;
    if (!text.isEmpty()) {
        painter.setPen(CellTextColour(col, row, state));
        painter.drawText(rect.adjusted(TextMargin, 0, -TextMargin, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
    if (OnDrawCell)
        OnDrawCell(painter, col, row, rect, state);
}

QColor TVxStringGrid::CellTextColour(int col, int row, TGridDrawState state) const
{
    Q_UNUSED(col);
    Q_UNUSED(row);
    return palette().color((state & gdFixed) ? QPalette::ButtonText : QPalette::Text);
}

QColor VxTextColourOn(const QColor &fill)
{
    // The relative luminance the eye sees (ITU-R BT.709), against the middle grey.
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    return luminance < 0.45 ? QColor(Qt::white) : QColor(Qt::black);
}

void TVxStringGrid::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const int width = viewport()->width();
    const int height = viewport()->height();

    const auto cols = inView(m_colWidths, m_fixedCols, m_leftCol, width);
    const auto rows = inView(m_rowHeights, m_fixedRows, m_topRow, height);

    painter.fillRect(dirty, palette().color(QPalette::Window));
    const QColor base = palette().color(QPalette::Base);
    const QColor button = palette().color(QPalette::Button);
    const QColor line = palette().color(QPalette::Mid);
    const bool focused = hasFocus() || (m_editor && m_editor->hasFocus());

    for (const auto &[row, y] : rows) {
        const int h = m_rowHeights[size_t(row)];
        if (y > dirty.bottom() || y + h + LineWidth <= dirty.top())
            continue;
        for (const auto &[col, x] : cols) {
            const int w = m_colWidths[size_t(col)];
            if (x > dirty.right() || x + w + LineWidth <= dirty.left())
                continue;
            const QRect rect(x, y, w, h);
            TGridDrawState state;
            const bool fixed = col < m_fixedCols || row < m_fixedRows;
            if (fixed)
                state |= gdFixed;
            if (col == m_col && row == m_row)
                state |= focused ? (gdSelected | gdFocused) : gdSelected;
            painter.fillRect(rect, fixed ? button : base);
            painter.save();
            DrawCell(painter, col, row, rect, state);
            painter.restore();
            painter.fillRect(QRect(x + w, y, LineWidth, h + LineWidth), line);
            painter.fillRect(QRect(x, y + h, w, LineWidth), line);
        }
    }

    // The current cell framed after its own drawing, so that a cell's colour stays visible.
    const QRect current = CellRect(m_col, m_row);
    if (!current.isEmpty() && !m_editing) {
        QPen pen(palette().color(focused ? QPalette::Highlight : QPalette::Dark));
        pen.setWidth(2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(current.adjusted(1, 1, -1, -1));
    }
}
