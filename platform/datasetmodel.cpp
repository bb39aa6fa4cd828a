#include "platform/datasetmodel.h"

#include "platform/clientdataset.h"

TVxClientDataSetModel::TVxClientDataSetModel(QObject *parent) : QAbstractTableModel(parent) {}

void TVxClientDataSetModel::SetDataSet(TClientDataSet *dataSet)
{
    beginResetModel();
    m_dataSet = dataSet;
    endResetModel();
}

void TVxClientDataSetModel::Reload()
{
    beginResetModel();
    endResetModel();
}

int TVxClientDataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_dataSet || !m_dataSet->Active() ? 0 : m_dataSet->RecordCount();
}

int TVxClientDataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_dataSet || !m_dataSet->Active() ? 0 : m_dataSet->FieldCount();
}

QVariant TVxClientDataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_dataSet || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QVariant value = m_dataSet->Value(index.row(), index.column());
    if (role == Qt::DisplayRole && value.typeId() == QMetaType::QString)
        return value.toString().trimmed();
    // Dates as the office writes them, with the whole year: the locale's short form would
    // give "08/12/26".
    if (role == Qt::DisplayRole && value.typeId() == QMetaType::QDate)
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    if (role == Qt::DisplayRole && value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    return value;
}

QVariant TVxClientDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_dataSet)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section < m_dataSet->FieldDefs().size() ? m_dataSet->FieldDefs().at(section).Name
                                                   : QVariant();
}
