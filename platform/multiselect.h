#pragma once

#include "platform/dialogs.h"

#include <QList>

class QAbstractItemModel;
class QTableView;
class QToolBar;

// Picks several rows of a dataset: a grid over the model with whole-row selection and the
// tools "Seleziona tutto", "Annulla selezione", "Inverti selezione". The selection is the
// list of chosen rows (the suite's bookmarks), in row order.
class TfmVxMultiSelect : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmVxMultiSelect(QWidget *parent = nullptr);

    void SetDataSet(QAbstractItemModel *model);
    QTableView *grSelect() const { return m_grid; }
    QToolBar *tbSelect() const { return m_tools; }

    QList<int> SelectedRows() const;
    void SetSelectedRows(const QList<int> &rows);
    void SelectAll();
    void SelectNone();
    void InvertSelection();

private:
    QTableView *m_grid;
    QToolBar *m_tools;
};
