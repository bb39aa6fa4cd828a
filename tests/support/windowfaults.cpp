#include "tests/support/windowfaults.h"

#include "platform/keys.h"
#include "platform/stringgrid.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>

namespace {

QString nameOf(const QWidget *w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// The widest line of a text as the widget draws it (a mnemonic's "&" not drawn).
int textWidth(const QWidget *w, QString text)
{
    text.replace(QLatin1String("&&"), QLatin1String("\x01")).remove(QLatin1Char('&'));
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, w->fontMetrics().horizontalAdvance(line));
    return widest;
}

// The room the widget leaves its text, or -1 for a widget whose text is not checked here.
int roomForText(const QWidget *w, QString &text)
{
    if (auto *label = qobject_cast<const QLabel *>(w)) {
        text = label->text();
        if (label->wordWrap() || Qt::mightBeRichText(text))
            return -1;
        return label->contentsRect().width() - 2 * label->margin() - std::max(0, label->indent());
    }
    if (auto *box = qobject_cast<const QGroupBox *>(w)) {
        text = box->title();
        return box->width() - 16;
    }
    auto *button = qobject_cast<const QAbstractButton *>(w);
    if (button)
        text = button->text();
    if (!button || !(qobject_cast<const QPushButton *>(w) || qobject_cast<const QCheckBox *>(w) ||
                     qobject_cast<const QRadioButton *>(w)))
        return -1;
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    const int indicator =
        qobject_cast<const QPushButton *>(w)
            ? 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w)
            : w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                  w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
    return button->width() - icon - indicator;
}

} // namespace

QStringList windowFaults(QWidget *window)
{
    QStringList faults = VxKeyClashes(window);
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        QString text;
        const int room = roomForText(w, text);
        if (room >= 0 && !text.isEmpty() && textWidth(w, text) > room)
            faults << QStringLiteral("cut: \"%1\" (%2, %3 of %4 pixels)")
                          .arg(text, nameOf(w))
                          .arg(room)
                          .arg(textWidth(w, text));
        auto *label = qobject_cast<QLabel *>(w);
        if (((label && label->buddy()) || qobject_cast<QCheckBox *>(w) ||
             qobject_cast<QRadioButton *>(w)) &&
            QKeySequence::mnemonic(text).isEmpty())
            faults << QStringLiteral("no letter: \"%1\" (%2)").arg(text, nameOf(w));
        auto *plain = qobject_cast<QPlainTextEdit *>(w);
        auto *rich = qobject_cast<QTextEdit *>(w);
        // Read-only now, a form's box may be edited later: Tab leaves it either way.
        if ((plain && !plain->tabChangesFocus()) || (rich && !rich->tabChangesFocus()))
            faults << QStringLiteral("Tab stays in %1").arg(nameOf(w));
        if (auto *grid = qobject_cast<TVxStringGrid *>(w)) {
            // Its headers, in the columns shown, whole up to their first word at least (the
            // grade grids give the rest the room there is, the whole text in the tooltip).
            for (int r = 0; r < grid->FixedRows(); ++r)
                for (int c = 0; c < grid->ColCount(); ++c)
                    if (grid->ColWidths(c) > 0 &&
                        grid->fontMetrics().horizontalAdvance(
                            grid->Cells(c, r).section(QLatin1Char(' '), 0, 0)) +
                                4 >
                            grid->ColWidths(c))
                        faults << QStringLiteral("cut: \"%1\" (%2, column %3)")
                                      .arg(grid->Cells(c, r), nameOf(grid))
                                      .arg(c);
        }
        if (auto *view = qobject_cast<QAbstractItemView *>(w);
            view && view->horizontalScrollBar()->maximum() > 0)
            faults << QStringLiteral("cut: %1 wider than its room").arg(nameOf(w));
        if (auto *header = qobject_cast<QHeaderView *>(w);
            header && header->orientation() == Qt::Horizontal && header->model()) {
            const int margins = 2 * w->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, w);
            for (int c = 0; c < header->count(); ++c) {
                const QString title = header->model()->headerData(c, Qt::Horizontal).toString();
                if (!header->isSectionHidden(c) && header->sectionSize(c) > 0 &&
                    header->fontMetrics().horizontalAdvance(title) + margins >
                        header->sectionSize(c))
                    faults << QStringLiteral("cut: \"%1\" (%2)").arg(title, nameOf(w));
            }
        }
        if (auto *bar = qobject_cast<QToolBar *>(w)) {
            for (QAction *a : bar->actions()) {
                QWidget *button = bar->widgetForAction(a);
                if (a->isVisible() && !a->isSeparator() && button && !button->isVisible())
                    faults << QStringLiteral("folded: \"%1\" (%2)").arg(a->text(), nameOf(bar));
            }
        }
    }
    return faults;
}
