#include "tests/support/windowfaults.h"

#include "platform/keys.h"
#include "platform/stringgrid.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>

#include <algorithm>

namespace {

QString nameOf(const QWidget *w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

} // namespace

QStringList keyFaults(QWidget *window)
{
    QStringList faults = VxKeyClashes(window);
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        // A field's label, a check box, a radio button, a button: each reached by its letter
        // (a button of arrows has none to give).
        auto *label = qobject_cast<QLabel *>(w);
        const QString named = label && label->buddy() ? label->text()
                              : qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w) ||
                                      qobject_cast<QPushButton *>(w)
                                  ? static_cast<QAbstractButton *>(w)->text()
                                  : QString();
        const bool letters =
            std::any_of(named.begin(), named.end(), [](QChar c) { return c.isLetter(); });
        if (letters && QKeySequence::mnemonic(named).isEmpty())
            faults << QStringLiteral("no letter: \"%1\" (%2)").arg(named, nameOf(w));
    }
    return faults;
}

QStringList windowFaults(QWidget *window)
{
    QStringList faults = keyFaults(window);
    // A text cut where it has less room than its widest line needs (a mnemonic's "&" undrawn).
    const auto cut = [&](const QWidget *w, const QString &text, int room) {
        for (QString line : text.split(QLatin1Char('\n')))
            if (w->fontMetrics().horizontalAdvance(line.remove(QLatin1Char('&'))) > room)
                faults << QStringLiteral("cut: \"%1\" (%2)").arg(text, nameOf(w));
    };
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible())
            continue;
        auto *label = qobject_cast<QLabel *>(w);
        if (label && !label->wordWrap() && !Qt::mightBeRichText(label->text()))
            cut(label, label->text(), label->contentsRect().width() - 2 * label->margin());
        // Read-only now, a form's box may be edited later: Tab leaves it either way.
        if (auto *box = qobject_cast<QPlainTextEdit *>(w); box && !box->tabChangesFocus())
            faults << QStringLiteral("Tab stays in %1").arg(nameOf(w));
        // Headers whole; a grade grid's up to their first word at least (it gives the rest the
        // room there is, the whole text in the tooltip).
        if (auto *grid = qobject_cast<TVxStringGrid *>(w))
            for (int r = 0; r < grid->FixedRows(); ++r)
                for (int c = 0; c < grid->ColCount(); ++c)
                    if (grid->ColWidths(c) > 0)
                        cut(grid, grid->Cells(c, r).section(QLatin1Char(' '), 0, 0),
                            grid->ColWidths(c) - 4);
        if (auto *header = qobject_cast<QHeaderView *>(w);
            header && header->orientation() == Qt::Horizontal && header->model())
            for (int c = 0; c < header->count(); ++c)
                if (!header->isSectionHidden(c) && header->sectionSize(c) > 0)
                    cut(header, header->model()->headerData(c, Qt::Horizontal).toString(),
                        header->sectionSize(c) -
                            2 * w->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, w));
        if (auto *view = qobject_cast<QAbstractScrollArea *>(w);
            view && qobject_cast<QAbstractItemView *>(w) &&
            view->horizontalScrollBar()->maximum() > 0)
            faults << QStringLiteral("cut: %1 wider than its room").arg(nameOf(w));
        if (auto *bar = qobject_cast<QToolBar *>(w))
            for (QAction *a : bar->actions())
                if (QWidget *button = bar->widgetForAction(a);
                    a->isVisible() && button && !button->isVisible())
                    faults << QStringLiteral("folded: \"%1\" (%2)").arg(a->text(), nameOf(bar));
    }
    return faults;
}
