#pragma once

// Where the keyboard goes inside a window: the fields in the order the office reads them, a
// window or a wizard page opening on its first field, tool buttons reached by Tab and framed,
// and grids that give the keyboard on at their ends.
//
//   VxSetTabOrder({cboFasi, cboTipoVoto, legend, grid});   // Tab walks them in this order
//   VxFocusFirstField(page);                               // the page's first field takes it
//   VxTabStops(toolBar);                                   // its commands too, framed
//   auto *grid = new TVxTableView;                          // Tab leaves it at its last cell
//
// A grid's Tab walks its cells; at the last cell Tab, at the first Shift+Tab, hand the keyboard
// to the window's next or previous control, as any field does, never going round the grid
// again nor staying on its last cell; a list of rows (whole rows selected) hands it on at once.
// TVxStringGrid does the same for the grids it draws with goTabLeaves.
//
// A list of rows is a list as in a file chooser: Home and End go to its first and last row, and
// while another control has the keyboard its chosen row is drawn grey, so that of two lists the
// one the keyboard is in shows it.

#include <QList>
#include <QTableView>

class QAbstractScrollArea;
class QPainter;
class QPalette;
class QRect;
class QToolBar;
class QToolButton;
class QWidget;

// The tab order of the widgets, one after the other. A composite field is named by its parts
// (a date edit's edit, then its buttons), each of which takes the keyboard.
void VxSetTabOrder(const QList<QWidget *> &order);

// The first field inside area as the office reads it (the topmost, then the leftmost) among
// those Tab gives the keyboard to: shown, enabled, taking the focus by Tab. None when area
// holds no such widget.
QWidget *VxFirstField(QWidget *area);
// Gives the keyboard to area's first field, framed as after a Tab; false when it has none.
bool VxFocusFirstField(QWidget *area);

// The frame of a control with the keyboard, two pixels of the highlight inside rect: a mark the
// office sees at a glance, as the style's own faint one is not.
void VxDrawKeyboardFrame(QPainter &painter, const QRect &rect, const QPalette &palette);
// The area's viewport drawn again whenever the keyboard comes or goes, for an area that draws
// itself otherwise while it has it (that frame, a grid's framed cell): a scroll area does not
// (an item view does, by itself).
void VxRepaintOnFocusChange(QAbstractScrollArea *area);

// A tool button the keyboard reaches by Tab (a click leaves the keyboard where it was), framed in
// the highlight colour while it has it: the style's own mark on a flat button is a faint tint.
void VxTabStop(QToolButton *button);
// Every command the tool bar shows now, the same.
void VxTabStops(QToolBar *bar);

class TVxTableView : public QTableView
{
    Q_OBJECT
public:
    using QTableView::QTableView;

protected:
    bool focusNextPrevChild(bool next) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void initViewItemOption(QStyleOptionViewItem *option) const override;
};
