#include "platform/multiselect.h"

#include "platform/images.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

TfmVxMultiSelect::TfmVxMultiSelect(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_grid(new QTableView), m_tools(new QToolBar)
{
    setObjectName(QStringLiteral("fmVxMultiSelect"));
    setWindowTitle(QStringLiteral("Selezione"));
    m_grid->setObjectName(QStringLiteral("grSelect"));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::MultiSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_tools->setObjectName(QStringLiteral("tbSelect"));
    m_tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    struct ActionDef
    {
        const char *name;
        const char *caption;
        const char *image;
        void (TfmVxMultiSelect::*slot)();
    };
    const ActionDef defs[] = {
        {"acSelectAll", "Seleziona tutto", "SELECTALL", &TfmVxMultiSelect::SelectAll},
        {"acSelectNone", "&Annulla selezione", "DESELECTALL", &TfmVxMultiSelect::SelectNone},
        {"acSelectInvert", "&Inverti selezione", "INVERTISELECT",
         &TfmVxMultiSelect::InvertSelection},
    };
    for (const ActionDef &def : defs) {
        QAction *action = m_tools->addAction(VxImage(QString::fromLatin1(def.image)),
                                             QString::fromUtf8(def.caption));
        action->setObjectName(QString::fromLatin1(def.name));
        connect(action, &QAction::triggered, this, def.slot);
    }
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tools);
    layout->addWidget(m_grid, 1);
    resize(520, 420);
}

void TfmVxMultiSelect::SetDataSet(QAbstractItemModel *model)
{
    m_grid->setModel(model);
}

QList<int> TfmVxMultiSelect::SelectedRows() const
{
    QList<int> rows;
    if (QItemSelectionModel *selection = m_grid->selectionModel()) {
        for (const QModelIndex &index : selection->selectedRows())
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TfmVxMultiSelect::SetSelectedRows(const QList<int> &rows)
{
    QItemSelectionModel *selection = m_grid->selectionModel();
    if (!selection)
        return;
    selection->clearSelection();
    for (int row : rows) {
        selection->select(m_grid->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TfmVxMultiSelect::SelectAll()
{
    m_grid->selectAll();
}

void TfmVxMultiSelect::SelectNone()
{
    m_grid->clearSelection();
}

void TfmVxMultiSelect::InvertSelection()
{
    QAbstractItemModel *model = m_grid->model();
    if (!model)
        return;
    const QList<int> selected = SelectedRows();
    QList<int> inverted;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (!selected.contains(row))
            inverted.append(row);
    }
    SetSelectedRows(inverted);
}
