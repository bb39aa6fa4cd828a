#include "exchange/qelwebteachergrid.h"

#include "exchange/qelsendbookkeeping.h"
#include "platform/dbgridframes.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyleOptionViewItem>

QelWebTeacherGrid::QelWebTeacherGrid(TfrVxDBROGrid *grid, const QString &markField,
                                     const QColor &markColour, const QList<Column> &columns)
    : m_grid(grid), m_markField(markField), m_markColour(markColour)
{
    m_data.setCommandText(SendBookkeeping::teachersOfModeSql());
    m_model.SetDataSet(&m_data);
    grid->SetDataSource(&m_model);
    for (const Column &c : columns)
        grid->AddColumn(QLatin1String(c.field), QString::fromUtf8(c.title), c.width);
    grid->ClearSortColumns();
    grid->AddSortColumn(0, QStringLiteral("sAnaCagCode"));
    grid->AddSortColumn(1, QStringLiteral("sAnaCognomeNomeIdx"));
    grid->OnDrawCell = [this](QPainter *, QStyleOptionViewItem &option, const QModelIndex &index) {
        const TField *mark = m_data.Active() ? m_data.FindField(m_markField) : nullptr;
        if (!mark)
            return false;
        const QVariant value = m_data.Value(index.row(), index.column());
        if (value.typeId() == QMetaType::QDateTime)
            option.text = value.toDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
        if (m_data.Value(index.row(), mark->Index()).toInt() != 1)
            return false;
        if (m_markBackground) {
            option.backgroundBrush = m_markColour;
            option.palette.setColor(QPalette::Text, Qt::black);
            option.palette.setColor(QPalette::HighlightedText, Qt::black);
        } else {
            option.palette.setColor(QPalette::Text, m_markColour);
        }
        return false;
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
    m_model.Reload();
}

void QelWebTeacherGrid::Open(const QString &sql, const TVxFieldValues &params)
{
    m_data.Close();
    m_data.setCommandText(sql);
    m_data.Params() = params;
    m_data.Open();
    m_model.Reload();
}

void QelWebTeacherGrid::Show(const QString &filter)
{
    m_data.setFilter(filter);
    m_data.setFiltered(!filter.isEmpty());
    m_model.Reload();
}

void QelWebTeacherGrid::Update(const QString &keyField, const QVariant &key,
                               const TVxFieldValues &values)
{
    if (!m_data.Locate(keyField, key))
        return;
    m_data.Edit();
    for (int i = 0; i < values.size(); ++i)
        if (TField *field = m_data.FindField(values.name(i)))
            field->setValue(values.value(i));
    m_data.Post();
    m_model.Reload();
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

void AddSendModeControls(QVBoxLayout *layout, QComboBox *mode, TfrVxDBROGrid *grid, QLabel *legend,
                         const QColor &markColour)
{
    auto *modeRow = new QHBoxLayout;
    auto *modeLabel = new QLabel(QStringLiteral("&Modalità di invio"));
    modeLabel->setBuddy(mode);
    mode->setObjectName(QStringLiteral("cbSendMode"));
    modeRow->addWidget(modeLabel);
    modeRow->addWidget(mode, 1);
    layout->addLayout(modeRow);
    grid->setObjectName(QStringLiteral("frDocenti"));
    grid->SetMultiSelect(true);
    layout->addWidget(grid, 1);
    legend->setObjectName(QStringLiteral("laLegend"));
    QPalette palette = legend->palette();
    palette.setColor(QPalette::WindowText, markColour);
    legend->setPalette(palette);
    layout->addWidget(legend);
}
