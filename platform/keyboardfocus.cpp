#include "platform/keyboardfocus.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLayout>
#include <QTabBar>
#include <QWidget>

#include <utility>

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
