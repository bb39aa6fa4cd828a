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

#include <functional>

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

    const struct
    {
        QToolBar *bar;
        const char *name;
        const char *caption;
        int image;
        const char *hint;
        std::function<void()> run;
    } actions[] = {
        {m_tbDoc, "aDocSelAll", "Seleziona tutti", imgSelectAll, "Seleziona tutti i docenti",
         [this] { m_lvDoc->selectAll(); }},
        {m_tbDoc, "aDocSelDel", "Deseleziona tutti", imgDeselectAll, "Deseleziona tutti i docenti",
         [this] { m_lvDoc->clearSelection(); }},
        {m_tbDoc, "aDocSelInv", "Inverti selezione", imgInvertSelect,
         "Inverte la selezione dei docenti",
         [this] {
             for (int i = 0; i < m_lvDoc->count(); ++i)
                 m_lvDoc->item(i)->setSelected(!m_lvDoc->item(i)->isSelected());
         }},
        {m_tbTree, "acExpandNode", "&Espandi nodo", imgExpandNode, "Espande il nodo selezionato",
         [this] { expandNode(true); }},
        {m_tbTree, "acCollapseNode", "&Comprimi nodo", imgCollapseNode,
         "Comprime il nodo selezionato", [this] { expandNode(false); }},
        {m_tbTree, "acExpandAll", "Espandi al&bero", imgExpandAll, "Espande l'intero albero",
         [this] { expandTree(true); }},
        {m_tbTree, "acCollapseAll", "Comprimi &albero", imgCollapseAll, "Comprime l'intero albero",
         [this] { expandTree(false); }},
        {m_tbTree, "acRefreshTree", "Aggiorna albero", imgRefreshTree,
         "Aggiorna il contenuto dell'albero",
         [this] {
             RunShowingErrors([this] { LoadTree(); });
             m_tvDocInv->viewport()->update();
         }},
    };
    for (const auto &a : actions) {
        auto *action = new QAction(ilFrame().icon(a.image), QString::fromUtf8(a.caption), this);
        action->setObjectName(QString::fromLatin1(a.name));
        action->setToolTip(QString::fromUtf8(a.hint));
        a.bar->addAction(action);
        connect(action, &QAction::triggered, this, a.run);
    }
    m_acExpandNode =
        findChild<QAction *>(QStringLiteral("acExpandNode"), Qt::FindDirectChildrenOnly);
    m_acCollapseNode =
        findChild<QAction *>(QStringLiteral("acCollapseNode"), Qt::FindDirectChildrenOnly);

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
        TVxHourglass hourglass;
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
    if (VxMessageDlg(text, mtInformation, mbYesNo, 0, mrNo) != mrYes)
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

void TfrqelDocInv::expandNode(bool expand)
{
    if (QTreeWidgetItem *node = selectedNode())
        setExpandedBelow(node, expand);
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
