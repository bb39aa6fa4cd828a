#include "platform/checklist.h"

#include "platform/frames.h"
#include "platform/images.h"

#include <QAction>
#include <QListWidget>
#include <QToolBar>

#include <functional>

QListWidgetItem *AddCheckItem(QListWidget *list, const QString &text, int id)
{
    auto *item = new QListWidgetItem(text, list);
    item->setData(Qt::UserRole, id);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    return item;
}

void AddCheckListTools(QToolBar *toolBar, QListWidget *list)
{
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const struct
    {
        const char *name;
        const char *caption;
        const char *image;
        std::function<void()> run;
    } tools[] = {
        {"tbSelectAll", "Seleziona tutto", "SELECTALL", [list] { CheckAll(list, true); }},
        {"tcUnselectAll", "&Annulla selezione", "DESELECTALL", [list] { CheckAll(list, false); }},
        {"tbInvert", "&Inverti selezione", "INVERTISELECT", [list] { InvertChecks(list); }},
    };
    QList<QAction *> actions;
    for (const auto &tool : tools) {
        QAction *action = toolBar->addAction(VxImage(QString::fromLatin1(tool.image)),
                                             QString::fromLatin1(tool.caption));
        action->setObjectName(QString::fromLatin1(tool.name));
        QObject::connect(action, &QAction::triggered, list, tool.run);
        actions << action;
    }
    // The keys work in the list, wherever the window puts it.
    VxSetSelectionShortcuts(list, actions.at(0), actions.at(1), actions.at(2));
}

void CheckAll(QListWidget *list, bool checked)
{
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void InvertChecks(QListWidget *list)
{
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

QList<QListWidgetItem *> CheckedItems(const QListWidget *list)
{
    QList<QListWidgetItem *> items;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            items << list->item(i);
    }
    return items;
}

QList<int> CheckedIds(const QListWidget *list)
{
    QList<int> ids;
    for (const QListWidgetItem *item : CheckedItems(list))
        ids << CheckItemId(item);
    return ids;
}

int CheckItemId(const QListWidgetItem *item)
{
    return item->data(Qt::UserRole).toInt();
}
