#include "platform/selrptannoscol.h"

#include "platform/connection.h"
#include "platform/dbgridframes.h"
#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/keyboardfocus.h"
#include "platform/messagedlg.h"
#include "platform/parammanager.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

bool VxStatementHasParam(const QString &sql, const QString &name)
{
    return toPositional(sql).names.contains(name, Qt::CaseInsensitive);
}

TfmVxuSelRptAnnoScol::TfmVxuSelRptAnnoScol(QWidget *parent)
    : TfmVxMultiSelect(parent), m_cbAnnoScol(new QComboBox), m_top(new QHBoxLayout)
{
    setObjectName(QStringLiteral("fmVxuSelRptAnnoScol"));
    m_cbAnnoScol->setObjectName(QStringLiteral("cbAnnoScol"));
    m_cbAnnoScol->setMinimumWidth(100);
    auto *label = new QLabel(QStringLiteral("&Anno scolastico:"));
    label->setObjectName(QStringLiteral("laAnnoScol"));
    label->setBuddy(m_cbAnnoScol);
    m_top->addWidget(label);
    m_top->addWidget(m_cbAnnoScol);
    m_top->addStretch();
    static_cast<QVBoxLayout *>(ClientArea()->layout())->insertLayout(0, m_top);

    m_model.SetDataSet(&m_list);
    SetDataSet(&m_model);
    connect(m_cbAnnoScol, &QComboBox::currentIndexChanged, this,
            [this] { RunShowingErrors([this] { cbAnnoScolChange(); }); });
    connect(grSelect()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfmVxuSelRptAnnoScol::updateOk);
    connect(grSelect()->model(), &QAbstractItemModel::modelReset, this,
            &TfmVxuSelRptAnnoScol::updateOk);
    updateOk();
    // The year, then the rows, then OK and "Annulla": the order the office reads them in.
    VxSetTabOrder({m_cbAnnoScol, grSelect(), buOk(), buCancel()});
    resize(700, 500);
}

void TfmVxuSelRptAnnoScol::OpenList()
{
    const auto show = qScopeGuard([this] { m_model.Reload(); });
    m_list.Open();
}

void TfmVxuSelRptAnnoScol::CloseList()
{
    m_list.Close();
    m_model.Reload();
}

int TfmVxuSelRptAnnoScol::GetSelectediAnsId() const
{
    return enumItemId(m_cbAnnoScol, m_cbAnnoScol->currentIndex());
}

void TfmVxuSelRptAnnoScol::FormShow()
{
    const QSignalBlocker blocker(m_cbAnnoScol);
    LoadEnumValues(qqoVxGlobConn(), m_cbAnnoScol, VxSchoolYearsSql());
    m_cbAnnoScol->setCurrentIndex(m_cbAnnoScol->findData(TVxWorkingContext::schoolYear()));
}

void TfmVxuSelRptAnnoScol::cbAnnoScolChange()
{
    if (!m_list.Active() || !VxStatementHasParam(m_list.CommandText(), QStringLiteral("iAnsId")))
        return;
    m_list.Params().setValue(QStringLiteral("iAnsId"), GetSelectediAnsId());
    OpenList();
}

void TfmVxuSelRptAnnoScol::showEvent(QShowEvent *event)
{
    TfmVxMultiSelect::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    RunShowingErrors([this] { FormShow(); });
}

void TfmVxuSelRptAnnoScol::OkClick()
{
    // A report of nothing: OK answers only with a row chosen.
    if (SelectedRows().isEmpty())
        SetModalResult(mrNone);
}

void TfmVxuSelRptAnnoScol::updateOk()
{
    buOk()->setEnabled(!SelectedRows().isEmpty());
}
