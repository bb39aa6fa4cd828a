#include "platform/attivazioni.h"
#include "platform/childforms.h"
#include "platform/dialogseam.h"
#include "platform/formregistry.h"
#include "platform/frames.h"
#include "platform/mdimain.h"
#include "platform/messagedlg.h"
#include "platform/multiselect.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardItemModel>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

TEST(DoubleListView, ButtonsMoveSelectedOrAllItemsWithTheirData)
{
    TfrVxDoubleListView frame;
    frame.AddLeft(QStringLiteral("1A"), 11);
    frame.AddLeft(QStringLiteral("2B"), 22);
    frame.AddLeft(QStringLiteral("3C"), 33);
    int moves = 0;
    QObject::connect(&frame, &TfrVxDoubleListView::itemsMoved, [&moves] { ++moves; });

    frame.lvLeft()->item(1)->setSelected(true);
    frame.findChild<QToolButton *>(QStringLiteral("buRight"))->click();
    ASSERT_EQ(frame.lvRight()->count(), 1);
    EXPECT_EQ(frame.lvRight()->item(0)->text(), QStringLiteral("2B"));
    EXPECT_EQ(frame.lvRight()->item(0)->data(Qt::UserRole).toInt(), 22);
    EXPECT_EQ(frame.lvLeft()->count(), 2);

    // Nothing selected: nothing moves and nobody is told.
    frame.findChild<QToolButton *>(QStringLiteral("buLeft"))->click();
    EXPECT_EQ(moves, 1);

    frame.findChild<QToolButton *>(QStringLiteral("buAllRight"))->click();
    EXPECT_EQ(frame.lvLeft()->count(), 0);
    EXPECT_EQ(frame.lvRight()->count(), 3);
    frame.findChild<QToolButton *>(QStringLiteral("buAllLeft"))->click();
    EXPECT_EQ(frame.lvLeft()->count(), 3);
    EXPECT_EQ(moves, 3);
    for (const char *name : {"buRight", "buAllRight", "buLeft", "buAllLeft"})
        EXPECT_FALSE(frame.findChild<QToolButton *>(QString::fromLatin1(name))->icon().isNull());
}

TEST(FrameBase, CaptionActionsAndImages)
{
    TfrVxBase frame;
    frame.setToolTip(QStringLiteral("Bande per l'attribuzione del credito per media"));
    frame.RefreshFrameCaption();
    EXPECT_EQ(frame.laFrameCaption()->text(),
              QStringLiteral("Bande per l'attribuzione del credito per media"));
    frame.SetCaption(QStringLiteral("Encomio"));
    frame.RefreshFrameCaption();
    EXPECT_EQ(frame.laFrameCaption()->text(), QStringLiteral("Encomio"));

    LoadDefaultImages(frame.ilFrame(), {QStringLiteral("CARSAVE"), QStringLiteral("VXDELETE")});
    QAction *save = frame.AddFrameAction(QStringLiteral("aSave"), QStringLiteral("Salva"), 0);
    frame.AddFrameAction(QStringLiteral("aDel"), QStringLiteral("Cancella"), 1);
    EXPECT_EQ(frame.alFrame().size(), 2);
    EXPECT_EQ(frame.FrameAction(QStringLiteral("aSave")), save);
    EXPECT_FALSE(save->icon().isNull());
    EXPECT_NE(frame.findChild<QToolButton *>(QStringLiteral("tbaSave")), nullptr);
}

TEST(MultiSelect, SelectionIsTheListOfChosenRows)
{
    QStandardItemModel model(5, 1);
    for (int i = 0; i < 5; ++i)
        model.setItem(i, 0, new QStandardItem(QStringLiteral("Classe %1").arg(i)));
    TfmVxMultiSelect dialog;
    dialog.SetDataSet(&model);
    dialog.SetSelectedRows({3, 1});
    EXPECT_EQ(dialog.SelectedRows(), (QList<int>{1, 3}));
    dialog.InvertSelection();
    EXPECT_EQ(dialog.SelectedRows(), (QList<int>{0, 2, 4}));
    dialog.findChild<QAction *>(QStringLiteral("acSelectAll"))->trigger();
    EXPECT_EQ(dialog.SelectedRows().size(), 5);
    dialog.findChild<QAction *>(QStringLiteral("acSelectNone"))->trigger();
    EXPECT_TRUE(dialog.SelectedRows().isEmpty());
}

// A child that keeps itself open while it has unsaved work.
class TfmBusyChild : public TfmVxChildBase
{
public:
    using TfmVxChildBase::TfmVxChildBase;
    bool busy = true;
    int closes = 0;

protected:
    void FormClose(TCloseAction &action) override
    {
        TfmVxChildBase::FormClose(action);
        ++closes;
        if (busy)
            action = caNone;
    }
};

class TestMain : public TfmVxMDIMain
{
public:
    int activations = 0;

protected:
    void FormActivate() override
    {
        TfmVxMDIMain::FormActivate();
        ++activations;
    }
};

TEST(MainWindow, ChildThatRefusesToCloseKeepsTheProgramOpen)
{
    ScriptedDialogs scripted;
    FormRegistry::registerClass(QStringLiteral("TfmBusyChild"),
                                [](QWidget *p) { return new TfmBusyChild(p); });
    TestMain main;
    TdmVxAttivazioni table;
    TVxAttForm *command = table.AddForm(QStringLiteral("xafBusy"), QStringLiteral("Occupata"),
                                        QStringLiteral("TfmBusyChild"), nullptr, 0, 0);
    command->MultipleInstance = true;
    ASSERT_TRUE(command->Execute());
    auto *busy = static_cast<TfmBusyChild *>(command->LastForm());
    ASSERT_TRUE(command->Execute());
    auto *idle = static_cast<TfmBusyChild *>(command->LastForm());
    idle->busy = false;
    EXPECT_EQ(main.MDIChildren(), (QList<QWidget *>{busy, idle}));

    EXPECT_FALSE(main.close());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.MDIChildren(), QList<QWidget *>{busy});
    EXPECT_EQ(FormRegistry::instances(QStringLiteral("TfmBusyChild")).size(), 1);

    busy->busy = false;
    EXPECT_TRUE(main.close());

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&main, &activate);
    QApplication::sendEvent(&main, &activate);
    EXPECT_EQ(main.activations, 2);
}

} // namespace
