#include "gradeentry/qevfselcarclsdett.h"

#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevrselro.h"
#include "platform/datasetmodel.h"
#include "platform/messagedlg.h"
#include "platform/vxexception.h"

#include <QItemSelectionModel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

TfmqevSelCarClsDett::TfmqevSelCarClsDett(QWidget *parent, const char *frameName,
                                         const char *colonne, TSQLClientDataSet &elenco,
                                         Parametri parametri)
    : TfmQevSelCarCls(parent), m_dettaglio(new TfrqevSelRO),
      m_model(new TVxClientDataSetModel(this)), m_elenco(elenco), m_parametri(std::move(parametri)),
      m_colonne(QString::fromLatin1(colonne))
{
    m_dettaglio->setObjectName(QString::fromLatin1(frameName));
    // The class list above, the second list below; the office drags the line between.
    auto *layout = static_cast<QVBoxLayout *>(ClientArea()->layout());
    layout->removeWidget(frqevSelCls());
    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->addWidget(frqevSelCls());
    splitter->addWidget(m_dettaglio);
    layout->addWidget(splitter, 1);
    m_model->SetDataSet(&m_elenco);
    m_dettaglio->SetDataSource(m_model);
    connect(m_dettaglio->grGrid(), &QTableView::doubleClicked, buOk(), &QPushButton::click);
    connect(frqevSelCls()->grGrid()->selectionModel(), &QItemSelectionModel::currentRowChanged,
            this, [this] { ricarica(); });
}

TfmqevSelCarClsDett::~TfmqevSelCarClsDett()
{
    m_model->SetDataSet(nullptr);
    m_elenco.Close();
}

void TfmqevSelCarClsDett::cbAnsSesDwgChange()
{
    TfmQevSelCarCls::cbAnsSesDwgChange();
    ricarica();
}

void TfmqevSelCarClsDett::ricarica()
{
    m_elenco.Close();
    const QVariant iClsId = frqevSelCls()->ValoreCorrente("iClsId");
    if (!iClsId.isNull()) {
        m_parametri(m_elenco.Params(), iClsId.toInt());
        try {
            m_elenco.Open();
        } catch (const EVxException &e) {
            VxMessageDlg(e.message(), mtError, mbOK);
        }
    }
    m_model->Reload();
    m_dettaglio->ImpostaColonneSelRO(m_colonne);
    m_dettaglio->SetCurrentSourceRow(0);
    buOk()->setEnabled(m_dettaglio->Righe() > 0);
}

// ---- Pupil ------------------------------------------------------------------------------

TfmQevSelCarClsAlu::TfmQevSelCarClsAlu(QWidget *parent)
    : TfmqevSelCarClsDett(parent, "frqevSelClsAlu", "ClsAlu", dmqevDataSets->scdClsAlu,
                          [](TVxFieldValues &params, int iClsId) {
                              params.setValue(QStringLiteral("iClsId"), iClsId);
                          })
{
    setObjectName(QStringLiteral("fmQevSelCarClsAlu"));
    setWindowTitle(QStringLiteral("Seleziona alunno"));
    resize(463, 425);
    ricarica();
}

bool TfmQevSelCarClsAlu::SelezionaAlunno(int iSitId)
{
    return frDettaglio()->Seleziona("iSitId", iSitId);
}

void TfmQevSelCarClsAlu::OkClick()
{
    // The pupil's keys are read before the class session opens: opening reads the class's
    // pupils again into the same list.
    const QVariant iSitId = frDettaglio()->ValoreCorrente("iSitId");
    if (iSitId.isNull()) {
        SetModalResult(mrNone);
        return;
    }
    const int iAnaId = frDettaglio()->ValoreCorrente("iAnaId").toInt();
    const int iPstId = frDettaglio()->ValoreCorrente("iPstId").toInt();
    TfmQevSelCarCls::OkClick();
    if (ModalResult() != mrOk) {
        ricarica();
        return;
    }
    TdmqevDataSets &dm = *dmqevDataSets;
    dm.iAnaId = iAnaId;
    dm.iPstIdSel = iPstId;
    try {
        dm.SelezionaAlunno(iSitId.toInt());
    } catch (const EVxException &e) {
        VxMessageDlg(e.message(), mtError, mbOK);
        SetModalResult(mrNone);
    }
    ricarica();
}

// ---- Subject ----------------------------------------------------------------------------

TfmqevSelCarClsMat::TfmqevSelCarClsMat(QWidget *parent)
    : TfmqevSelCarClsDett(parent, "frqevSelClsMat", "ClsMat", dmqevDataSets->scdClsMat_Sel,
                          [this](TVxFieldValues &params, int iClsId) {
                              params.setValue(QStringLiteral("iClsId"), iClsId);
                              params.setValue(QStringLiteral("iAnsSesDwgId"), GetAnsSesDwgId());
                          })
{
    setObjectName(QStringLiteral("fmqevSelCarClsMat"));
    setWindowTitle(QStringLiteral("Seleziona materia"));
    resize(width(), 409);
    ricarica();
}

bool TfmqevSelCarClsMat::SelezionaMateria(int iClsSesMatId)
{
    return frDettaglio()->Seleziona("iClsSesMatId", iClsSesMatId);
}

int TfmqevSelCarClsMat::MateriaScelta() const
{
    return frDettaglio()->ValoreCorrente("iClsSesMatId").toInt();
}

void TfmqevSelCarClsMat::OkClick()
{
    if (MateriaScelta() == 0) {
        SetModalResult(mrNone);
        return;
    }
    TfmQevSelCarCls::OkClick();
    ricarica();
}
