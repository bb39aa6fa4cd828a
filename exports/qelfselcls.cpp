#include "exports/qelfselcls.h"

#include "exports/qelexpscru.h"
#include "platform/checklist.h"
#include "platform/globalvars.h"

#include <QListWidget>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

TfmQelSelCls::TfmQelSelCls(QWidget *parent)
    : TfmVxOkCancDlg(parent), m_toolBar(new QToolBar(this)), m_classes(new QListWidget(this))
{
    setObjectName(QStringLiteral("fmQelSelCls"));
    setWindowTitle(QStringLiteral("Selezione classi"));
    resize(440, 420);
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_classes->setObjectName(QStringLiteral("clClsSes"));
    AddCheckListTools(m_toolBar, m_classes);
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_classes, 1);
    connect(m_classes, &QListWidget::itemChanged, this, &TfmQelSelCls::UpdateOk);
}

QList<int> TfmQelSelCls::ClassiSelezionate() const
{
    return CheckedIds(m_classes);
}

void TfmQelSelCls::LoadClassi(int iDwgSedId)
{
    m_classes->clear();
    for (const TVxEnumItem &cls : TdmQelExpScru::Classi(TVxWorkingContext::schoolYear(),
                                                        TVxWorkingContext::institute(), iDwgSedId))
        AddCheckItem(m_classes, cls.text, cls.id);
    CheckAll(m_classes, true);
    UpdateOk();
}

void TfmQelSelCls::UpdateOk()
{
    buOk()->setEnabled(!CheckedItems(m_classes).isEmpty());
}
