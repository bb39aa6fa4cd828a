#include "platform/checklist.h"

#include <QAction>
#include <QListWidget>
#include <QToolBar>

#include <gtest/gtest.h>

// The three tools set the check marks of every item, each change told to the list's
// listeners; the checked ids come back in list order.
TEST(CheckList, ToolsSetTheMarksAndTellEachChange)
{
    QListWidget list;
    QToolBar tools;
    AddCheckListTools(&tools, &list);
    for (int id : {30, 10, 20})
        AddCheckItem(&list, QString::number(id), id);
    int changes = 0;
    QObject::connect(&list, &QListWidget::itemChanged, [&changes] { ++changes; });
    const auto trigger = [&tools](const char *name) {
        tools.findChild<QAction *>(QString::fromLatin1(name))->trigger();
    };
    EXPECT_TRUE(CheckedIds(&list).isEmpty());
    list.item(1)->setCheckState(Qt::Checked);
    trigger("tbInvert");
    EXPECT_EQ(CheckedIds(&list), QList<int>({30, 20}));
    trigger("tbSelectAll");
    EXPECT_EQ(CheckedIds(&list), QList<int>({30, 10, 20}));
    trigger("tcUnselectAll");
    EXPECT_TRUE(CheckedItems(&list).isEmpty());
    EXPECT_EQ(changes, 1 + 3 + 1 + 3);
}
