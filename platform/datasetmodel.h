#pragma once

#include <QAbstractTableModel>

class TClientDataSet;

// Shows an in-memory dataset in the grids (read-only grid frame, multi-select): one column
// per field, one row per visible record in the dataset's current order and filter. The
// dataset tells nobody when it changes: whoever changes it calls Reload.
class TVxClientDataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TVxClientDataSetModel(QObject *parent = nullptr);

    void SetDataSet(TClientDataSet *dataSet);
    TClientDataSet *DataSet() const { return m_dataSet; }
    void Reload();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    TClientDataSet *m_dataSet = nullptr;
};
