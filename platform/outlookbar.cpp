#include "platform/outlookbar.h"

#include "platform/attivazioni.h"
#include "platform/images.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char *const kBarStyle = R"(
QToolBox#tbxOutlookPages { background: #5b6f8f; }
QToolBox#tbxOutlookPages::tab {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f4f6fa, stop:1 #c9d2e0);
    border: 1px solid #8c9ab0; border-radius: 2px;
    color: #1d2b44; font-weight: bold; padding-left: 6px; min-height: 24px;
}
QToolBox#tbxOutlookPages::tab:selected {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffe9b0, stop:1 #f7c85f);
}
QScrollArea { background: #5b6f8f; border: none; }
QWidget#outlookPageContent { background: #5b6f8f; }
QToolButton { color: white; border: 2px solid transparent; border-radius: 4px; padding: 3px; }
QToolButton:hover { background: rgba(255, 255, 255, 40); border-color: #d8e0ee; }
QToolButton:pressed { background: rgba(0, 0, 0, 50); }
QToolButton:disabled { color: #b0b8c8; }
QToolButton:focus { background: rgba(255, 255, 255, 80); border-color: #ffd24a; }
)";

QWidget *pageContent(QToolBox *box, int page)
{
    auto *area = qobject_cast<QScrollArea *>(box->widget(page));
    return area ? area->widget() : nullptr;
}

// The widget that takes the keyboard for w: its focus proxy, when it has one.
QWidget *keyboardTaker(QWidget *w)
{
    while (w->focusProxy())
        w = w->focusProxy();
    return w;
}

} // namespace

TVxOutlookBar::TVxOutlookBar(QWidget *parent) : QWidget(parent), m_box(new QToolBox(this))
{
    m_box->setObjectName(QStringLiteral("tbxOutlookPages"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_box);
    setStyleSheet(QString::fromLatin1(kBarStyle));
    setMinimumWidth(120);
}

void TVxOutlookBar::fitWidestEntry(QWidget *content)
{
    // Never narrower than an entry beside its page's scroll bar: every caption stays whole.
    auto *area = qobject_cast<QScrollArea *>(content->parentWidget()->parentWidget());
    if (!area)
        return;
    const int needed = content->minimumSizeHint().width() +
                       area->verticalScrollBar()->sizeHint().width() + 2 * area->frameWidth();
    if (needed > minimumWidth())
        setMinimumWidth(needed);
}

TVxOutlookBar::~TVxOutlookBar()
{
    releaseTrees();
}

void TVxOutlookBar::releaseTrees()
{
    for (const QPointer<QWidget> &tree : std::as_const(m_trees)) {
        if (tree) {
            for (QWidget *w : tree->findChildren<QWidget *>())
                w->removeEventFilter(this);
            tree->hide();
            tree->setParent(nullptr);
        }
    }
    m_trees.clear();
}

void TVxOutlookBar::Clear()
{
    releaseTrees();
    while (m_box->count() > 0) {
        QWidget *page = m_box->widget(0);
        m_box->removeItem(0);
        // A page may be cleared by one of its own entries: delete it once that returns.
        page->hide();
        page->setParent(nullptr);
        page->deleteLater();
    }
}

int TVxOutlookBar::AddPage(const QString &name, const QString &caption)
{
    auto *area = new QScrollArea;
    area->setObjectName(QStringLiteral("page_") + name);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The entries take the keyboard, not the page around them, which would show no mark of it.
    area->setFocusPolicy(Qt::NoFocus);
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("outlookPageContent"));
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(4, 8, 4, 8);
    layout->setSpacing(6);
    layout->addStretch();
    area->setWidget(content);
    const int page = m_box->addItem(area, caption);
    // The tool box wraps each page in a scrolling frame of its own: no stop either.
    for (QWidget *w = area->parentWidget(); w && w != m_box; w = w->parentWidget())
        if (qobject_cast<QScrollArea *>(w))
            w->setFocusPolicy(Qt::NoFocus);
    return page;
}

QWidget *TVxOutlookBar::AddEntry(int page, TVxAttItem *entry)
{
    QWidget *content = pageContent(m_box, page);
    if (!content || !entry)
        return nullptr;
    auto *layout = static_cast<QVBoxLayout *>(content->layout());
    if (auto *report = qobject_cast<TVxAttReport *>(entry)) {
        if (QWidget *tree = report->GetRptTreeView()) {
            // The tree fills the page: the stretch that centres buttons goes.
            if (QLayoutItem *stretch = layout->takeAt(layout->count() - 1))
                delete stretch;
            layout->addWidget(tree, 1);
            tree->show();
            // The keys reach the tree's list and buttons, not the tree itself.
            for (QWidget *w : tree->findChildren<QWidget *>()) {
                if (w->focusPolicy() != Qt::NoFocus)
                    w->installEventFilter(this);
            }
            m_trees.append(tree);
            return tree;
        }
    }
    auto *button = new QToolButton(content);
    button->setObjectName(entry->objectName());
    button->setText(entry->Caption.trimmed());
    button->setToolTip(entry->Caption.trimmed());
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setIconSize(QSize(32, 32));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setEnabled(entry->Enabled);
    button->setFocusPolicy(Qt::StrongFocus);
    button->installEventFilter(this);
    QIcon icon = m_images ? m_images->icon(entry->ImageIndex) : QIcon();
    // An entry whose number has no image still shows one, never a blank button.
    button->setIcon(icon.isNull() ? VxImage(QStringLiteral("VXAPP")) : icon);
    QPointer<TVxAttItem> guard(entry);
    connect(button, &QToolButton::clicked, this, [this, guard] {
        if (!guard)
            return;
        const bool ran = RunCommandShowingErrors(guard);
        emit entryExecuted(guard, ran);
    });
    if (layout->count() > 0 && layout->itemAt(layout->count() - 1)->spacerItem())
        layout->insertWidget(layout->count() - 1, button);
    else
        layout->addWidget(button);
    fitWidestEntry(content);
    return button;
}

int TVxOutlookBar::PageCount() const
{
    return m_box->count();
}

QString TVxOutlookBar::PageCaption(int page) const
{
    return m_box->itemText(page);
}

void TVxOutlookBar::ActivatePage(int page)
{
    if (page >= 0 && page < m_box->count())
        m_box->setCurrentIndex(page);
}

int TVxOutlookBar::ActivePage() const
{
    return m_box->currentIndex();
}

QToolButton *TVxOutlookBar::EntryButton(const QString &name) const
{
    return findChild<QToolButton *>(name);
}

QStringList TVxOutlookBar::EntryCaptions(int page) const
{
    QStringList captions;
    if (QWidget *content = pageContent(m_box, page)) {
        QLayout *layout = content->layout();
        for (int i = 0; i < layout->count(); ++i) {
            if (auto *button = qobject_cast<QToolButton *>(layout->itemAt(i)->widget()))
                captions << button->text();
        }
    }
    return captions;
}

QList<QWidget *> TVxOutlookBar::pageWidgets(int page) const
{
    QList<QWidget *> widgets;
    if (QWidget *content = pageContent(m_box, page)) {
        QLayout *layout = content->layout();
        for (int i = 0; i < layout->count(); ++i) {
            if (QWidget *w = layout->itemAt(i)->widget())
                widgets << w;
        }
    }
    return widgets;
}

void TVxOutlookBar::FocusBar()
{
    for (QWidget *w : pageWidgets(ActivePage())) {
        if (w->isEnabled() && keyboardTaker(w)->focusPolicy() != Qt::NoFocus) {
            w->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    }
}

void TVxOutlookBar::keepInSight(QWidget *w)
{
    // The entry with the keyboard is always in sight: the page scrolls to it once laid out (a
    // page just opened is laid out by a posted event).
    QPointer<QWidget> guard(w);
    QMetaObject::invokeMethod(
        this,
        [this, guard] {
            auto *area = qobject_cast<QScrollArea *>(m_box->currentWidget());
            if (guard && area && area->isAncestorOf(guard))
                area->ensureWidgetVisible(guard, 0, 0);
        },
        Qt::QueuedConnection);
}

void TVxOutlookBar::openPage(int page)
{
    if (page < 0 || page >= m_box->count())
        return;
    ActivatePage(page);
    FocusBar();
}

void TVxOutlookBar::FillMenu(QMenu *menu)
{
    for (int page = 0; page < m_box->count(); ++page) {
        QMenu *sub = menu->addMenu(m_box->itemText(page));
        sub->setObjectName(QStringLiteral("miPage%1").arg(page));
        for (QWidget *w : pageWidgets(page)) {
            auto *button = qobject_cast<QToolButton *>(w);
            if (!button) {
                QAction *open = sub->addAction(QStringLiteral("Mostra l'elenco"));
                connect(open, &QAction::triggered, this, [this, page] { openPage(page); });
                continue;
            }
            QAction *action = sub->addAction(button->icon(), button->text());
            action->setObjectName(QStringLiteral("mi") + button->objectName());
            action->setEnabled(button->isEnabled());
            QPointer<QToolButton> guard(button);
            connect(action, &QAction::triggered, this, [guard] {
                if (guard)
                    guard->click();
            });
        }
    }
}

bool TVxOutlookBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        keepInSight(qobject_cast<QWidget *>(watched));
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    // Page Up and Down open the page before or after from anywhere in the bar, the report list
    // too (with Ctrl as well): a list moves by its arrows, Home and End.
    if (key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown) {
        openPage(ActivePage() + (key->key() == Qt::Key_PageUp ? -1 : 1));
        return true;
    }
    auto *button = qobject_cast<QToolButton *>(watched);
    if (!button)
        return QWidget::eventFilter(watched, event);
    QList<QWidget *> entries;
    for (QWidget *w : pageWidgets(ActivePage())) {
        if (w->isEnabled() && qobject_cast<QToolButton *>(w))
            entries << w;
    }
    const qsizetype at = entries.indexOf(button);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        button->click();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End: {
        if (at < 0)
            return true;
        qsizetype to = key->key() == Qt::Key_Home  ? 0
                       : key->key() == Qt::Key_End ? entries.size() - 1
                       : key->key() == Qt::Key_Up  ? at - 1
                                                   : at + 1;
        to = std::clamp<qsizetype>(to, 0, entries.size() - 1);
        entries.at(to)->setFocus(Qt::OtherFocusReason);
        keepInSight(entries.at(to));
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}
