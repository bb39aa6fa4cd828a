#include "gradeentry/qevfselcarcls.h"

#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevrselro.h"
#include "platform/datasetmodel.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TfmQevSelCarCls::TfmQevSelCarCls(QWidget *parent)
    : TfmqevAnsSesDwgBs(parent), m_frame(new TfrqevSelRO), m_model(new TVxClientDataSetModel(this))
{
    setObjectName(QStringLiteral("fmQevSelCarCls"));
    setWindowTitle(QStringLiteral("Seleziona Classe"));
    resize(482, 353);
    cbAnsSesDwg()->setMinimumWidth(166);
    m_frame->setObjectName(QStringLiteral("frqevSelCls"));
    static_cast<QVBoxLayout *>(ClientArea()->layout())->addWidget(m_frame, 1);
    m_model->SetDataSet(&dmqevDataSets->scdClsSes);
    m_frame->SetDataSource(m_model);
    // A double click chooses the class, as OK does.
    connect(m_frame->grGrid(), &QTableView::doubleClicked, buOk(), &QPushButton::click);
    CaricaAnni();
    CaricaSessioni();
}

TfmQevSelCarCls::~TfmQevSelCarCls()
{
    m_model->SetDataSet(nullptr);
    // What OK copied stays in the module; the list itself is not kept open.
    dmqevDataSets->scdClsSes.Close();
}

void TfmQevSelCarCls::cbAnsSesDwgChange()
{
    TSQLClientDataSet &list = dmqevDataSets->scdClsSes;
    list.Close();
    list.Params().setValue(QStringLiteral("iAnsSesDwgId"), GetAnsSesDwgId());
    try {
        list.Open();
    } catch (const EVxException &e) {
        VxMessageDlg(e.message(), mtError, mbOK);
    }
    m_model->Reload();
    m_frame->ImpostaColonneSelRO(QStringLiteral("ClsSes"));
    m_frame->SetCurrentSourceRow(0);
    buOk()->setEnabled(ClassiCount() > 0);
}

void TfmQevSelCarCls::showEvent(QShowEvent *event)
{
    TfmqevAnsSesDwgBs::showEvent(event);
    m_frame->grGrid()->setFocus();
}

int TfmQevSelCarCls::ClassiCount() const
{
    return m_frame->Righe();
}

bool TfmQevSelCarCls::SelezionaClsSes(int iClsSesId)
{
    return m_frame->Seleziona("iClsSesId", iClsSesId);
}

void TfmQevSelCarCls::OkClick()
{
    if (m_frame->ValoreCorrente("iClsSesId").isNull()) {
        // Nothing to open: the office stays in the dialog to choose another session.
        SetModalResult(mrNone);
        return;
    }
    const int iAnsId = m_frame->ValoreCorrente("iAnsId").toInt();
    const int iAnsSesDwgId = m_frame->ValoreCorrente("iAnsSesDwgId").toInt();
    const int iClsSesId = m_frame->ValoreCorrente("iClsSesId").toInt();
    TdmqevDataSets &dm = *dmqevDataSets;
    // Restored when the class session cannot be opened: a refused choice changes nothing.
    const int prima[] = {dm.iAnsId, dm.iAnsIdSel, dm.iAnsSesDwgId, dm.iClsSesMatId};
    dm.iAnsId = iAnsId;
    dm.iAnsIdSel = iAnsId;
    dm.iAnsSesDwgId = iAnsSesDwgId;
    dm.iClsSesMatId = MateriaScelta();
    try {
        dm.ApriClsSes(iClsSesId);
    } catch (const EVxException &e) {
        dm.iAnsId = prima[0];
        dm.iAnsIdSel = prima[1];
        dm.iAnsSesDwgId = prima[2];
        dm.iClsSesMatId = prima[3];
        VxMessageDlg(e.message(), mtError, mbOK);
        SetModalResult(mrNone);
        // The module read the list for itself and closed it: the dialog's list opens again.
        cbAnsSesDwgChange();
        return;
    }
    m_model->Reload();
}
