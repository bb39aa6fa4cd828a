#include "platform/multiselect.h"

#include "platform/dbgridframes.h"
#include "platform/frames.h"
#include "platform/images.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

TfmVxMultiSelect::TfmVxMultiSelect(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_frame(new TfrVxDBROGrid), m_grid(m_frame->grGrid()),
      m_tools(new QToolBar)
{
    setObjectName(QStringLiteral("fmVxMultiSelect"));
    setWindowTitle(QStringLiteral("Selezione"));
    m_frame->setObjectName(QStringLiteral("frSelect"));
    m_frame->orFrame()->hide();
    m_grid->setObjectName(QStringLiteral("grSelect"));
    m_grid->setSelectionMode(QAbstractItemView::MultiSelection);
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
    QList<QAction *> actions;
    for (const ActionDef &def : defs) {
        QAction *action = m_tools->addAction(VxImage(QString::fromLatin1(def.image)),
                                             QString::fromUtf8(def.caption));
        action->setObjectName(QString::fromLatin1(def.name));
        connect(action, &QAction::triggered, this, def.slot);
        // The keyboard goes to the rows the tool chose: Return then runs OK with them, never a
        // button that had the keyboard before (an "Applica" that would list them again).
        connect(action, &QAction::triggered, m_grid,
                [this] { m_grid->setFocus(Qt::OtherFocusReason); });
        actions << action;
    }
    VxSetSelectionShortcuts(this, actions.at(0), actions.at(1), actions.at(2));
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tools);
    layout->addWidget(m_frame, 1);
    resize(520, 420);
}

void TfmVxMultiSelect::SetDataSet(QAbstractItemModel *model)
{
    m_frame->SetDataSource(model);
    m_grid->clearSelection(); // the frame stands on the first row: nothing is chosen yet
}

QAbstractItemModel *TfmVxMultiSelect::DataSet() const
{
    return m_frame->DataSource();
}

QList<int> TfmVxMultiSelect::SelectedRows() const
{
    QList<int> rows;
    if (QItemSelectionModel *selection = m_grid->selectionModel()) {
        for (const QModelIndex &index : selection->selectedRows())
            rows.append(m_frame->SourceRowAt(index.row()));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TfmVxMultiSelect::SetSelectedRows(const QList<int> &rows)
{
    QItemSelectionModel *selection = m_grid->selectionModel();
    auto *proxy = qobject_cast<QAbstractProxyModel *>(m_grid->model());
    if (!selection || !proxy || !DataSet())
        return;
    QItemSelection chosen;
    for (int row : rows) {
        const QModelIndex index = proxy->mapFromSource(DataSet()->index(row, 0));
        if (index.isValid())
            chosen.select(index, index);
    }
    selection->select(chosen, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QVariantList TfmVxMultiSelect::SelectedValues(const QString &field) const
{
    QAbstractItemModel *model = DataSet();
    QVariantList values;
    for (int column = 0; model && column < model->columnCount(); ++column) {
        if (model->headerData(column, Qt::Horizontal)
                .toString()
                .compare(field, Qt::CaseInsensitive) != 0)
            continue;
        for (int row : SelectedRows())
            values.append(model->index(row, column).data(Qt::EditRole));
        break;
    }
    return values;
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
    if (!DataSet())
        return;
    std::vector<bool> chosen(DataSet()->rowCount());
    for (int row : SelectedRows())
        chosen[row] = true;
    QList<int> inverted;
    for (int row = 0; row < int(chosen.size()); ++row) {
        if (!chosen[row])
            inverted.append(row);
    }
    SetSelectedRows(inverted);
}
