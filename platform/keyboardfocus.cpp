#include "platform/keyboardfocus.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include <utility>

namespace {

// The application's style, with a tool button that has the keyboard framed.
class FramedFocusStyle : public QProxyStyle
{
public:
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        if (control == CC_ToolButton && (option->state & State_HasFocus))
            VxDrawKeyboardFrame(*painter, option->rect, option->palette);
    }
};

class FocusRepaint : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            static_cast<QAbstractScrollArea *>(watched)->viewport()->update();
        return false;
    }
};

QStyle *framedFocusStyle()
{
    static QPointer<FramedFocusStyle> style;
    if (!style) {
        style = new FramedFocusStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

void VxDrawKeyboardFrame(QPainter &painter, const QRect &rect, const QPalette &palette)
{
    painter.save();
    QPen pen(palette.color(QPalette::Highlight));
    pen.setWidth(2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    painter.restore();
}

void VxRepaintOnFocusChange(QAbstractScrollArea *area)
{
    area->installEventFilter(new FocusRepaint(area));
}

void VxTabStop(QToolButton *button)
{
    button->setFocusPolicy(Qt::TabFocus);
    button->setStyle(framedFocusStyle());
}

void VxTabStops(QToolBar *bar)
{
    for (QAction *action : bar->actions()) {
        if (auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action)))
            VxTabStop(button);
    }
}

void VxSetTabOrder(const QList<QWidget *> &order)
{
    QWidget *previous = nullptr;
    for (QWidget *w : order) {
        if (!w)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

QWidget *VxFirstField(QWidget *area)
{
    if (!area)
        return nullptr;
    if (QLayout *layout = area->window()->layout())
        layout->activate();
    // The first as the office reads the window: on the topmost line, the leftmost; fields
    // beside one another share a line however their heights differ. The tab order may differ
    // (widgets join it as they are made, the bottom buttons often first).
    QWidget *first = nullptr;
    QRect firstAt;
    for (QWidget *w : area->findChildren<QWidget *>()) {
        // A page's tabs lead to fields, and Ctrl+Tab turns them from anywhere: not a field.
        if (w->focusProxy() || !w->isEnabled() || !w->isVisibleTo(area) ||
            (w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || qobject_cast<QTabBar *>(w))
            continue;
        const QRect at(w->mapTo(area, QPoint()), w->size());
        const bool above = at.bottom() < firstAt.top();
        const bool sameLine = !above && firstAt.bottom() >= at.top();
        if (!first || above || (sameLine && at.left() < firstAt.left())) {
            first = w;
            firstAt = at;
        }
    }
    return first;
}

bool VxFocusFirstField(QWidget *area)
{
    QWidget *field = VxFirstField(area);
    if (!field)
        return false;
    field->setFocus(Qt::TabFocusReason);
    // The style frames the field with the keyboard once the keyboard has moved in the window:
    // opened on its first field, the window shows where typing goes before the first key.
    field->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    // A list stands on its first item, as when Tab enters it, so that Space ticks that item;
    // nothing is chosen by it.
    auto *view = qobject_cast<QAbstractItemView *>(field);
    if (view && view->model() && view->selectionModel() && !view->currentIndex().isValid() &&
        view->model()->rowCount(view->rootIndex()) > 0)
        view->selectionModel()->setCurrentIndex(view->model()->index(0, 0, view->rootIndex()),
                                                QItemSelectionModel::NoUpdate);
    return true;
}

bool TVxTableView::focusNextPrevChild(bool next)
{
    // A list of rows is one field: its rows are chosen by the arrows, Tab goes on to the next
    // field at once (from a list of classes to the list of its pupils).
    if (selectionBehavior() == SelectRows)
        return QAbstractScrollArea::focusNextPrevChild(next);
    // QTableView goes round, from the last cell to the first and back: where it would, the
    // keyboard goes on along the window's tab order instead.
    const QModelIndex current = currentIndex();
    if (tabKeyNavigation() && current.isValid()) {
        const QModelIndex moved = moveCursor(next ? MoveNext : MovePrevious, Qt::NoModifier);
        const auto place = [this](const QModelIndex &index) {
            return std::pair(verticalHeader()->visualIndex(index.row()),
                             horizontalHeader()->visualIndex(index.column()));
        };
        if (!moved.isValid() ||
            (next ? place(moved) <= place(current) : place(moved) >= place(current)))
            return QAbstractScrollArea::focusNextPrevChild(next);
    }
    return QTableView::focusNextPrevChild(next);
}

QModelIndex TVxTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // A table's Home and End are the row's first and last cell; a list's, its first and last
    // row, as Ctrl+Home and Ctrl+End are.
    if (selectionBehavior() == SelectRows && (cursorAction == MoveHome || cursorAction == MoveEnd))
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(cursorAction, modifiers);
}

void TVxTableView::initViewItemOption(QStyleOptionViewItem *option) const
{
    QTableView::initViewItemOption(option);
    if (hasFocus())
        return;
    // The chosen row of a list without the keyboard, grey as a file chooser draws it (the view
    // draws its viewport again itself as the keyboard comes or goes).
    option->palette.setColor(QPalette::Highlight, option->palette.color(QPalette::Midlight));
    option->palette.setColor(QPalette::HighlightedText, option->palette.color(QPalette::Text));
}
