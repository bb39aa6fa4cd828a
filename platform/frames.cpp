#include "platform/frames.h"

#include <QAbstractButton>
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TfrVxVuoto::TfrVxVuoto(QWidget *parent)
    : QFrame(parent), m_captionLabel(new QLabel), m_layout(new QVBoxLayout(this))
{
    initPlatformResources();
    m_captionLabel->setObjectName(QStringLiteral("laFrameCaption"));
    m_captionLabel->setStyleSheet(QStringLiteral(
        "QLabel { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #2e5d8a,"
        " stop:1 #7ea4c9); color: white; font-weight: bold; padding: 4px 8px; }"));
    m_captionLabel->setVisible(false);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_captionLabel);
}

void TfrVxVuoto::RefreshFrameCaption()
{
    const QString text = m_caption.isEmpty() ? toolTip() : m_caption;
    m_captionLabel->setText(text);
    m_captionLabel->setVisible(!text.isEmpty());
}

TfrVxBase::TfrVxBase(QWidget *parent)
    : TfrVxGen(parent), m_controlBar(new QWidget), m_toolBar(new QToolBar)
{
    m_controlBar->setObjectName(QStringLiteral("orFrame"));
    m_toolBar->setObjectName(QStringLiteral("xoaCustom"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto *bar = new QHBoxLayout(m_controlBar);
    bar->setContentsMargins(2, 2, 2, 2);
    bar->addWidget(m_toolBar);
    bar->addStretch();
    FrameLayout()->addWidget(m_controlBar);
    m_controlBar->installEventFilter(this);
    m_toolBar->installEventFilter(this);
}

bool TfrVxBase::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // A summary beside the bar that grows asks the row for its layout again: the bar gives it
    // room by its captions, never by hiding a command behind "»".
    if ((watched == m_controlBar &&
         (type == QEvent::Resize || type == QEvent::Show || type == QEvent::LayoutRequest)) ||
        (watched == m_toolBar && (type == QEvent::ActionAdded || type == QEvent::ActionChanged ||
                                  type == QEvent::ActionRemoved)))
        FitToolBar();
    return TfrVxGen::eventFilter(watched, event);
}

void TfrVxBase::FitToolBar()
{
    if (!m_controlBar->isVisible())
        return;
    QList<QToolButton *> buttons;
    for (QAction *action : m_toolBar->actions()) {
        auto *button = qobject_cast<QToolButton *>(m_toolBar->widgetForAction(action));
        if (button && action->isVisible())
            buttons << button;
    }
    // What the row leaves the bar: its width less the least the others beside it need.
    auto *row = m_controlBar->layout();
    int room = m_controlBar->contentsRect().width() - row->contentsMargins().left() -
               row->contentsMargins().right();
    for (int i = 0; i < row->count(); ++i) {
        QWidget *w = row->itemAt(i)->widget();
        if (w && w != m_toolBar && w->isVisibleTo(m_controlBar))
            room -= w->minimumSizeHint().width() + row->spacing();
    }
    // Every caption shown, then images alone from the last button until the bar fits. Widths
    // are the buttons' own, summed as the bar lays them out: the bar's own hint misses what
    // changed in a button it has folded.
    const Qt::ToolButtonStyle whole = m_toolBar->toolButtonStyle();
    const QMargins margins = m_toolBar->layout()->contentsMargins();
    int needed = margins.left() + margins.right() - m_toolBar->layout()->spacing();
    for (QAction *action : m_toolBar->actions()) {
        QWidget *w = m_toolBar->widgetForAction(action);
        if (!action->isVisible() || !w)
            continue;
        auto *b = qobject_cast<QToolButton *>(w);
        needed +=
            m_toolBar->layout()->spacing() + (b ? buttonWidth(b, whole) : w->sizeHint().width());
    }
    QList<Qt::ToolButtonStyle> styles(buttons.size(), whole);
    for (qsizetype i = buttons.size() - 1; i >= 0 && needed > room; --i) {
        if (buttons.at(i)->icon().isNull())
            continue;
        needed -=
            buttonWidth(buttons.at(i), whole) - buttonWidth(buttons.at(i), Qt::ToolButtonIconOnly);
        styles[i] = Qt::ToolButtonIconOnly;
    }
    bool changed = false;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (buttons.at(i)->toolButtonStyle() != styles.at(i)) {
            buttons.at(i)->setToolButtonStyle(styles.at(i));
            changed = true;
        }
    }
    // A button folded behind "»" is hidden: its new width does not reach the bar by itself.
    if (changed)
        m_toolBar->layout()->invalidate();
}

int TfrVxBase::buttonWidth(QToolButton *button, Qt::ToolButtonStyle style)
{
    // Measured on the button itself, once for each caption, font and style: a style changed
    // only to measure asks the row for its layout again, which would fit the bar again.
    const QString key =
        QStringLiteral("%1|%2|%3").arg(int(style)).arg(button->text(), button->font().key());
    QVariantMap widths = button->property("vxWidths").toMap();
    if (const auto found = widths.constFind(key); found != widths.constEnd())
        return found->toInt();
    const Qt::ToolButtonStyle shown = button->toolButtonStyle();
    button->setToolButtonStyle(style);
    const int width = button->sizeHint().width();
    button->setToolButtonStyle(shown);
    widths.insert(key, width);
    button->setProperty("vxWidths", widths);
    return width;
}

QList<QAction *> TfrVxBase::alFrame() const
{
    return m_toolBar->actions();
}

QAction *TfrVxBase::AddFrameAction(const QString &name, const QString &caption, int imageIndex,
                                   const QString &hint)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(name);
    action->setToolTip(hint.isEmpty() ? caption : hint);
    SetImageIndex(action, imageIndex);
    m_toolBar->addAction(action);
    if (QWidget *button = m_toolBar->widgetForAction(action))
        button->setObjectName(QStringLiteral("tb") + name);
    return action;
}

QAction *TfrVxBase::FrameAction(const QString &name) const
{
    for (QAction *action : m_toolBar->actions()) {
        if (action->objectName() == name)
            return action;
    }
    return nullptr;
}

void TfrVxBase::SetImageIndex(QAction *action, int imageIndex)
{
    action->setIcon(m_images.icon(imageIndex));
}

namespace {

// The list with its three selection buttons under it (buLeftSelectAll, buRightInvert, ...).
QVBoxLayout *selectionColumn(QListWidget *list, const QString &side)
{
    struct ButtonDef
    {
        const char *name;
        const char *image;
        const char *hint;
        void (*select)(QListWidget *);
    };
    const ButtonDef defs[] = {
        {"SelectAll", "SELECTALL", "Seleziona tutto", &TfrVxDoubleListView::SelectAll},
        {"Invert", "INVERTISELECT", "Inverti selezione", &TfrVxDoubleListView::InvertSelection},
        {"SelectNone", "DESELECTALL", "Annulla selezione", &TfrVxDoubleListView::SelectNone},
    };
    auto *buttons = new QHBoxLayout;
    for (const ButtonDef &def : defs) {
        auto *button = new QToolButton;
        button->setObjectName(QStringLiteral("bu") + side + QString::fromLatin1(def.name));
        button->setIcon(VxImage(QString::fromLatin1(def.image)));
        button->setIconSize(QSize(16, 16));
        button->setToolTip(QString::fromUtf8(def.hint));
        QObject::connect(button, &QToolButton::clicked, list, [list, def] { def.select(list); });
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto *column = new QVBoxLayout;
    column->addWidget(list, 1);
    column->addLayout(buttons);
    return column;
}

} // namespace

TfrVxDoubleListView::TfrVxDoubleListView(QWidget *parent)
    : TfrVxBase(parent), m_left(new QListWidget), m_right(new QListWidget)
{
    m_left->setObjectName(QStringLiteral("lvLeft"));
    m_right->setObjectName(QStringLiteral("lvRight"));
    for (QListWidget *list : {m_left, m_right}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setSortingEnabled(false);
    }
    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    struct ButtonDef
    {
        const char *name;
        const char *image;
        const char *hint;
        void (TfrVxDoubleListView::*slot)();
    };
    const ButtonDef defs[] = {
        {"buRight", "VXMOVERIGHT", "Sposta a destra gli elementi selezionati",
         &TfrVxDoubleListView::MoveSelectedRight},
        {"buAllRight", "VXMOVEALLRIGHT", "Sposta a destra tutti gli elementi",
         &TfrVxDoubleListView::MoveAllRight},
        {"buLeft", "VXMOVELEFT", "Sposta a sinistra gli elementi selezionati",
         &TfrVxDoubleListView::MoveSelectedLeft},
        {"buAllLeft", "VXMOVEALLLEFT", "Sposta a sinistra tutti gli elementi",
         &TfrVxDoubleListView::MoveAllLeft},
    };
    for (const ButtonDef &def : defs) {
        auto *button = new QToolButton;
        button->setObjectName(QString::fromLatin1(def.name));
        button->setIcon(VxImage(QString::fromLatin1(def.image)));
        button->setIconSize(QSize(16, 16));
        button->setToolTip(QString::fromUtf8(def.hint));
        connect(button, &QToolButton::clicked, this, def.slot);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto *row = new QHBoxLayout;
    row->addLayout(selectionColumn(m_left, QStringLiteral("Left")), 1);
    row->addLayout(buttons);
    row->addLayout(selectionColumn(m_right, QStringLiteral("Right")), 1);
    FrameLayout()->addLayout(row, 1);
    connect(m_left, &QListWidget::itemDoubleClicked, this, &TfrVxDoubleListView::MoveSelectedRight);
    connect(m_right, &QListWidget::itemDoubleClicked, this, &TfrVxDoubleListView::MoveSelectedLeft);
}

namespace {

QListWidgetItem *addItem(QListWidget *list, const QString &text, const QVariant &data)
{
    auto *item = new QListWidgetItem(text, list);
    item->setData(Qt::UserRole, data);
    return item;
}

} // namespace

QListWidgetItem *TfrVxDoubleListView::AddLeft(const QString &text, const QVariant &data)
{
    return addItem(m_left, text, data);
}

QListWidgetItem *TfrVxDoubleListView::AddRight(const QString &text, const QVariant &data)
{
    return addItem(m_right, text, data);
}

void TfrVxDoubleListView::move(QListWidget *from, QListWidget *to, bool all)
{
    bool moved = false;
    for (int row = 0; row < from->count();) {
        QListWidgetItem *item = from->item(row);
        if (all || item->isSelected()) {
            from->takeItem(row);
            item->setSelected(false);
            to->addItem(item);
            moved = true;
        } else {
            ++row;
        }
    }
    if (moved)
        emit itemsMoved();
}

void TfrVxDoubleListView::MoveSelectedRight()
{
    move(m_left, m_right, false);
}

void TfrVxDoubleListView::MoveSelectedLeft()
{
    move(m_right, m_left, false);
}

void TfrVxDoubleListView::MoveAllRight()
{
    move(m_left, m_right, true);
}

void TfrVxDoubleListView::MoveAllLeft()
{
    move(m_right, m_left, true);
}

void TfrVxDoubleListView::SelectAll(QListWidget *list)
{
    list->selectAll();
}

void TfrVxDoubleListView::InvertSelection(QListWidget *list)
{
    for (int row = 0; row < list->count(); ++row)
        list->item(row)->setSelected(!list->item(row)->isSelected());
}

void TfrVxDoubleListView::SelectNone(QListWidget *list)
{
    list->clearSelection();
}
