#include "exchange/qelwebteachergrid.h"

#include "exchange/qelsendbookkeeping.h"
#include "platform/dbgridframes.h"

#include <QDateTime>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>

QelWebTeacherGrid::QelWebTeacherGrid(TfrVxDBROGrid *grid, const QString &markField,
                                     const QColor &markColour, const QList<Column> &columns)
    : m_grid(grid), m_markField(markField), m_markColour(markColour), m_columns(columns)
{
    m_data.setCommandText(SendBookkeeping::teachersOfModeSql());
    m_model.SetDataSet(&m_data);
    QTableView *view = grid->grGrid();
    grid->OnDrawCell = [this, view](QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) {
        const TField *mark = m_data.Active() ? m_data.FindField(m_markField) : nullptr;
        if (!mark)
            return false;
        QStyleOptionViewItem cell(option);
        cell.features |= QStyleOptionViewItem::HasDisplay;
        cell.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        const QVariant value = m_data.Value(index.row(), index.column());
        cell.text = value.typeId() == QMetaType::QDateTime
                        ? value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"))
                        : value.toString().trimmed();
        if (m_data.Value(index.row(), mark->Index()).toInt() == 1)
            cell.palette.setColor(QPalette::Text, m_markColour);
        view->style()->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
        return true;
    };
}

QelWebTeacherGrid::~QelWebTeacherGrid()
{
    // The grid may outlive the list it paints.
    m_grid->OnDrawCell = nullptr;
}

void QelWebTeacherGrid::Open(int iAnsSesDwgId, int iModId)
{
    m_data.Close();
    m_data.Params() = valuesOf({{"iAnsSesDwgId", iAnsSesDwgId}, {"iModId", iModId}});
    m_data.Open();
    showColumns();
}

void QelWebTeacherGrid::Close()
{
    m_data.Close();
    m_model.Reload();
}

QVariant QelWebTeacherGrid::Value(int row, const QString &field) const
{
    const TField *f = m_data.Active() ? m_data.FindField(field) : nullptr;
    if (!f || row < 0 || row >= m_data.RecordCount())
        return QVariant();
    return m_data.Value(row, f->Index());
}

void QelWebTeacherGrid::showColumns()
{
    // A new source resets the columns, their titles and the sort: set them again.
    m_model.Reload();
    m_grid->SetDataSource(&m_model);
    m_grid->HideAllColumns();
    for (const Column &c : std::as_const(m_columns))
        m_grid->ShowColumn(QLatin1String(c.field), QString::fromUtf8(c.title), c.width);
    m_grid->SortColumnBy(QStringLiteral("sDocNome"), QStringLiteral("sAnaCognomeNomeIdx"));
}
