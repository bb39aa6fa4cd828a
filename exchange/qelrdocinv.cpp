#include "exchange/qelrdocinv.h"

#include "platform/connection.h"
#include "platform/globalvars.h"
#include "platform/images.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QWidget *column(const QString &caption, QToolBar *bar, QWidget *list, QWidget *below = nullptr)
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(new QLabel(caption));
    if (bar)
        layout->addWidget(bar);
    layout->addWidget(list, 1);
    if (below)
        layout->addWidget(below);
    return box;
}

QToolBar *toolBar(const char *name, const QString &title)
{
    auto *bar = new QToolBar(title);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setIconSize(QSize(16, 16));
    return bar;
}

void fill(QListWidget *list, const TVxEnumItems &items, const QIcon &icon = {})
{
    list->clear();
    for (const TVxEnumItem &item : items) {
        auto *entry = new QListWidgetItem(item.text, list);
        entry->setData(Qt::UserRole, item.id);
        entry->setIcon(icon);
    }
    if (list->count() > 0) {
        list->setCurrentRow(0);
        list->item(0)->setSelected(true);
    }
}

void setExpandedBelow(QTreeWidgetItem *node, bool expand)
{
    node->setExpanded(expand);
    for (int i = 0; i < node->childCount(); ++i)
        setExpandedBelow(node->child(i), expand);
}

QString takenMessage(const QStringList &names)
{
    return QStringLiteral("Assegnazione non eseguita: un'altra postazione ha già assegnato una "
                          "modalità di invio a questi docenti nella sessione:\r\r") +
           names.join(QLatin1Char('\r')) + QStringLiteral("\r\rGli elenchi sono stati aggiornati.");
}

} // namespace

QStringList TfrqelDocInv::imageNames()
{
    return {QStringLiteral("EXPANDNODE"),   QStringLiteral("COLLAPSENODE"),
            QStringLiteral("EXPANDALL"),    QStringLiteral("COLLAPSEALL"),
            QStringLiteral("REFRTREE"),     QStringLiteral("PALLINOROSSO"),
            QStringLiteral("PALLINO"),      QStringLiteral("PALLINOGRIGIO"),
            QStringLiteral("SELECTALL"),    QStringLiteral("DESELECTALL"),
            QStringLiteral("INVERTISELECT")};
}

TfrqelDocInv::TfrqelDocInv(QWidget *parent)
    : TfrVxBase(parent), m_book(qqoVxGlobConn()), m_data(qqoVxGlobConn()), m_lvDoc(new QListWidget),
      m_lvModInv(new QListWidget), m_tvDocInv(new QTreeWidget),
      m_buApply(new QPushButton(QStringLiteral("Applica >>"))),
      m_tbDoc(toolBar("tbDoc", QStringLiteral("Barra delle classi"))),
      m_tbTree(toolBar("tbTree", QStringLiteral("Barra dell'albero")))
{
    setObjectName(QStringLiteral("frqelDocInv"));
    orFrame()->hide();
    LoadDefaultImages(ilFrame(), imageNames());

    m_lvDoc->setObjectName(QStringLiteral("lvDoc"));
    m_lvDoc->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvDoc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvModInv->setObjectName(QStringLiteral("lvModInv"));
    m_lvModInv->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lvModInv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvModInv->setIconSize(QSize(16, 16));
    m_tvDocInv->setObjectName(QStringLiteral("tvDocInv"));
    m_tvDocInv->setHeaderHidden(true);
    m_tvDocInv->setSelectionMode(QAbstractItemView::SingleSelection);
    m_buApply->setObjectName(QStringLiteral("buApply"));

    QAction *selAll = addAction(m_tbDoc, "aDocSelAll", QStringLiteral("Seleziona tutti"),
                                imgSelectAll, QStringLiteral("Seleziona tutti i docenti"));
    QAction *selDel = addAction(m_tbDoc, "aDocSelDel", QStringLiteral("Deseleziona tutti"),
                                imgDeselectAll, QStringLiteral("Deseleziona tutti i docenti"));
    QAction *selInv =
        addAction(m_tbDoc, "aDocSelInv", QStringLiteral("Inverti selezione"), imgInvertSelect,
                  QStringLiteral("Inverte la selezione dei docenti"));
    connect(selAll, &QAction::triggered, m_lvDoc, &QListWidget::selectAll);
    connect(selDel, &QAction::triggered, m_lvDoc, &QListWidget::clearSelection);
    connect(selInv, &QAction::triggered, this, [this] {
        for (int i = 0; i < m_lvDoc->count(); ++i)
            m_lvDoc->item(i)->setSelected(!m_lvDoc->item(i)->isSelected());
    });

    m_acExpandNode = addAction(m_tbTree, "acExpandNode", QStringLiteral("&Espandi nodo"),
                               imgExpandNode, QStringLiteral("Espande il nodo selezionato"));
    m_acCollapseNode = addAction(m_tbTree, "acCollapseNode", QStringLiteral("&Comprimi nodo"),
                                 imgCollapseNode, QStringLiteral("Comprime il nodo selezionato"));
    QAction *expandAll = addAction(m_tbTree, "acExpandAll", QStringLiteral("Espandi al&bero"),
                                   imgExpandAll, QStringLiteral("Espande l'intero albero"));
    QAction *collapseAll = addAction(m_tbTree, "acCollapseAll", QStringLiteral("Comprimi &albero"),
                                     imgCollapseAll, QStringLiteral("Comprime l'intero albero"));
    QAction *refresh =
        addAction(m_tbTree, "acRefreshTree", QStringLiteral("Aggiorna albero"), imgRefreshTree,
                  QStringLiteral("Aggiorna il contenuto dell'albero"));
    connect(m_acExpandNode, &QAction::triggered, this, [this] {
        if (QTreeWidgetItem *node = selectedNode())
            setExpandedBelow(node, true);
    });
    connect(m_acCollapseNode, &QAction::triggered, this, [this] {
        if (QTreeWidgetItem *node = selectedNode())
            setExpandedBelow(node, false);
    });
    connect(expandAll, &QAction::triggered, this, [this] { expandTree(true); });
    connect(collapseAll, &QAction::triggered, this, [this] { expandTree(false); });
    connect(refresh, &QAction::triggered, this, [this] {
        RunShowingErrors([this] { LoadTree(); });
        m_tvDocInv->viewport()->update();
    });

    m_acDelNode = new QAction(QStringLiteral("Cancella nodo"), this);
    m_acDelNode->setObjectName(QStringLiteral("acDelNode"));
    m_tvDocInv->addAction(m_acDelNode);
    m_tvDocInv->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_acDelNode, &QAction::triggered, this, &TfrqelDocInv::acDelNodeExecute);

    connect(m_buApply, &QPushButton::clicked, this, &TfrqelDocInv::buApplyClick);
    connect(m_tvDocInv, &QTreeWidget::itemSelectionChanged, this, &TfrqelDocInv::updateTreeActions);
    connect(m_tvDocInv, &QTreeWidget::itemExpanded, this, &TfrqelDocInv::updateTreeActions);
    connect(m_tvDocInv, &QTreeWidget::itemCollapsed, this, &TfrqelDocInv::updateTreeActions);

    auto *row = new QHBoxLayout;
    row->addWidget(column(QStringLiteral("Docenti"), m_tbDoc, m_lvDoc), 1);
    row->addWidget(column(QStringLiteral("Modalità di invio"), nullptr, m_lvModInv, m_buApply));
    row->addWidget(column(QString(), m_tbTree, m_tvDocInv), 1);
    FrameLayout()->addLayout(row, 1);

    RunShowingErrors([this] {
        LoadFreeTeachers();
        LoadModes();
        LoadTree();
    });
    updateTreeActions();
}

QAction *TfrqelDocInv::addAction(QToolBar *bar, const char *name, const QString &caption, int image,
                                 const QString &hint)
{
    auto *action = new QAction(ilFrame().icon(image), caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(hint);
    bar->addAction(action);
    return action;
}

void TfrqelDocInv::LoadFreeTeachers()
{
    fill(m_lvDoc,
         m_data.freeTeachers(TVxWorkingContext::institute(), TVxWorkingContext::schoolYear(),
                             TVxWorkingContext::session()));
}

void TfrqelDocInv::LoadModes()
{
    fill(m_lvModInv, m_data.offeredModes(), ilFrame().icon(imgPallino));
}

void TfrqelDocInv::LoadTree()
{
    BuildTree(m_tvDocInv,
              m_data.treeRows(TVxWorkingContext::schoolYear(), TVxWorkingContext::session()));
    for (int i = 0; i < m_tvDocInv->topLevelItemCount(); ++i) {
        QTreeWidgetItem *mode = m_tvDocInv->topLevelItem(i);
        mode->setIcon(0, ilFrame().icon(imgPallino));
        for (int t = 0; t < mode->childCount(); ++t)
            mode->child(t)->setIcon(0, ilFrame().icon(imgPallinoRosso));
    }
    updateTreeActions();
}

void TfrqelDocInv::buApplyClick()
{
    QList<QListWidgetItem *> teachers;
    for (int i = 0; i < m_lvDoc->count(); ++i) {
        if (m_lvDoc->item(i)->isSelected())
            teachers << m_lvDoc->item(i);
    }
    const QList<QListWidgetItem *> modes = m_lvModInv->selectedItems();
    if (teachers.isEmpty()) {
        VxMessageDlg(QStringLiteral("Nessun docente selezionato."), mtError, mbOK);
        return;
    }
    if (modes.isEmpty()) {
        VxMessageDlg(QStringLiteral("Nessuna modalità di invio selezionata."), mtError, mbOK);
        return;
    }
    const int iModId = modes.first()->data(Qt::UserRole).toInt();
    const int session = TVxWorkingContext::session();
    // One transaction per teacher: a refusal stops the run there, and the teachers assigned
    // before it stay assigned.
    QStringList taken;
    const bool allSaved = RunShowingErrors([&] {
        TVxWaitCursor wait;
        for (QListWidgetItem *item : std::as_const(teachers)) {
            if (!m_book.assign(item->data(Qt::UserRole).toInt(), iModId, session))
                taken << item->text();
        }
    });
    if (!taken.isEmpty())
        VxMessageDlg(takenMessage(taken), mtWarning, mbOK);
    if (allSaved && taken.isEmpty()) {
        qDeleteAll(teachers);
        RunShowingErrors([this] { LoadTree(); });
    } else {
        // What the database holds now, whoever wrote it.
        RunShowingErrors([this] {
            LoadFreeTeachers();
            LoadTree();
        });
    }
}

void TfrqelDocInv::acDelNodeExecute()
{
    QTreeWidgetItem *node = selectedNode();
    if (!node)
        return;
    const bool modeNode = node->parent() == nullptr;
    const QString text =
        (modeNode ? QStringLiteral("Confermi la cancellazione dei docenti con modalità di invio: ")
                  : QStringLiteral("Confermi la cancellazione del docente: ")) +
        QStringLiteral(" ") + node->text(0) + QStringLiteral("?") + QStringLiteral("\r\r") +
        QStringLiteral(
            "Confermando la cancellazione i dati eventualmente già inviati non potranno ") +
        QStringLiteral("\r") +
        QStringLiteral("più essere utilizzati e occorrerà inviarli nuovamente.");
    if (VxMessageDlg(text, mtInformation, mbYesNo) != mrYes)
        return;
    const int id = node->data(0, Qt::UserRole).toInt();
    const int session = TVxWorkingContext::session();
    RunShowingErrors([&] {
        if (modeNode)
            m_book.unassignMode(id, session);
        else
            m_book.unassignTeacher(id, session);
    });
    // Also after a refusal or a node another office had already deleted: the lists show what
    // the database holds.
    RunShowingErrors([this] {
        LoadTree();
        LoadFreeTeachers();
    });
}

QTreeWidgetItem *TfrqelDocInv::selectedNode() const
{
    const QList<QTreeWidgetItem *> selected = m_tvDocInv->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TfrqelDocInv::updateTreeActions()
{
    QTreeWidgetItem *node = selectedNode();
    m_acExpandNode->setEnabled(node && !node->isExpanded() && node->childCount() > 0);
    m_acCollapseNode->setEnabled(node && node->isExpanded());
    m_acDelNode->setEnabled(node != nullptr);
}

void TfrqelDocInv::expandTree(bool expand)
{
    // One repaint for the whole tree, not one per node.
    m_tvDocInv->setUpdatesEnabled(false);
    if (expand)
        m_tvDocInv->expandAll();
    else
        m_tvDocInv->collapseAll();
    m_tvDocInv->setUpdatesEnabled(true);
    updateTreeActions();
}
