#pragma once

#include "exchange/qelsendassignments.h"
#include "exchange/qelsendbookkeeping.h"
#include "platform/frames.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// The assignment of the working session's teachers to send modes: the free teachers on the
// left, the modes in the middle, the assignments as a tree of mode and teacher on the right.
// "Applica >>" assigns the selected teachers to the selected mode (one transaction each);
// "Cancella nodo" on the tree gives a mode's teachers, or one teacher, back to the left list.
// Both work on the working year-session only.
class TfrqelDocInv : public TfrVxBase
{
    Q_OBJECT
public:
    // Positions of the frame's images (ilFrame).
    enum Image {
        imgExpandNode,
        imgCollapseNode,
        imgExpandAll,
        imgCollapseAll,
        imgRefreshTree,
        imgPallinoRosso, // a teacher
        imgPallino,      // a mode
        imgPallinoGrigio,
        imgSelectAll,
        imgDeselectAll,
        imgInvertSelect,
    };
    static QStringList imageNames();

    explicit TfrqelDocInv(QWidget *parent = nullptr);

    QListWidget *lvDoc() const { return m_lvDoc; }
    QListWidget *lvModInv() const { return m_lvModInv; }
    QTreeWidget *tvDocInv() const { return m_tvDocInv; }
    QPushButton *buApply() const { return m_buApply; }
    QToolBar *tbDoc() const { return m_tbDoc; }
    QToolBar *tbTree() const { return m_tbTree; }

    void LoadFreeTeachers();
    void LoadModes();
    void LoadTree();

    void buApplyClick();
    void acDelNodeExecute();

private:
    QTreeWidgetItem *selectedNode() const;
    void updateTreeActions();
    // The selected node and all below it.
    void expandNode(bool expand);
    // The whole tree, repainted once.
    void expandTree(bool expand);

    SendBookkeeping m_book;
    SendAssignments m_data;
    QListWidget *m_lvDoc;
    QListWidget *m_lvModInv;
    QTreeWidget *m_tvDocInv;
    QPushButton *m_buApply;
    QToolBar *m_tbDoc;
    QToolBar *m_tbTree;
    QAction *m_acExpandNode = nullptr;
    QAction *m_acCollapseNode = nullptr;
    QAction *m_acDelNode = nullptr;
};
