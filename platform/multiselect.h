#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QVariantList>

class QAbstractItemModel;
class QTableView;
class QToolBar;
class TfrVxDBROGrid;

// Picks several rows of a dataset: a grid over the model with whole-row selection and the
// tools "Seleziona tutto", "Annulla selezione", "Inverti selezione" (Ctrl+A, Ctrl+Shift+A,
// Ctrl+I anywhere in the window, each giving the keyboard to the grid). The selection is the
// list of chosen rows of the model (the suite's bookmarks), in the model's row order, however
// the grid sorts them.
class TfmVxMultiSelect : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmVxMultiSelect(QWidget *parent = nullptr);

    void SetDataSet(QAbstractItemModel *model);
    QAbstractItemModel *DataSet() const;
    // The grid frame (columns, sort index, draw-cell hook) and its table.
    TfrVxDBROGrid *frSelect() const { return m_frame; }
    QTableView *grSelect() const { return m_grid; }
    QToolBar *tbSelect() const { return m_tools; }

    QList<int> SelectedRows() const;
    void SetSelectedRows(const QList<int> &rows);
    // The values of a field (the model's column of that title, any case) in the chosen rows,
    // in row order; empty when the model has no such field.
    QVariantList SelectedValues(const QString &field) const;
    void SelectAll();
    void SelectNone();
    virtual void InvertSelection();

private:
    TfrVxDBROGrid *m_frame;
    QTableView *m_grid;
    QToolBar *m_tools;
};
