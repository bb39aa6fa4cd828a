#include "exports/qelfexpmediaalunni.h"

#include "platform/enumvalues.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"
#include "shell/qeldatasets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace {

void fill(QComboBox *combo, const TVxEnumItems &items)
{
    combo->clear();
    for (const TVxEnumItem &item : items)
        combo->addItem(item.text, item.id);
}

} // namespace

TfmqelExpMediaAlunni::TfmqelExpMediaAlunni(QWidget *owner)
    : TfmVxOkCancDlg(owner), WorkingDwgId(TVxWorkingContext::institute())
{
    setObjectName(QStringLiteral("fmqelExpMediaAlunni"));
    setWindowTitle(QStringLiteral("Esportazione dati a programma Alunni"));

    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    auto *form = new QFormLayout;
    layout->addLayout(form);
    m_cbAns = new QComboBox(ClientArea());
    m_cbAns->setObjectName(QStringLiteral("cbAns"));
    m_cbAns->setMinimumWidth(240);
    form->addRow(QStringLiteral("Anno scolastico"), m_cbAns);
    m_cbSes = new QComboBox(ClientArea());
    m_cbSes->setObjectName(QStringLiteral("cbSes"));
    form->addRow(QStringLiteral("Sessione"), m_cbSes);
    for (int v = 0; v < psValueCount; ++v) {
        const PupilSummaryBox &b = pupilSummaryBoxes()[v];
        m_boxes[v] = new QCheckBox(QString::fromUtf8(b.caption), ClientArea());
        m_boxes[v]->setObjectName(QString::fromLatin1(b.name));
        m_boxes[v]->setChecked(true);
        layout->addWidget(m_boxes[v]);
    }
    layout->addStretch();

    connect(m_cbAns, &QComboBox::currentIndexChanged, this,
            [this] { RunShowingErrors([this] { cbAnsChange(); }); });
    RunShowingErrors([this] {
        const QSignalBlocker blocker(m_cbAns);
        fill(m_cbAns, PupilSummaryExport().schoolYears());
        m_cbAns->setCurrentIndex(m_cbAns->findData(TVxWorkingContext::schoolYear()));
    });
    if (m_cbAns->currentIndex() >= 0)
        RunShowingErrors([this] { cbAnsChange(); });
}

TfmqelExpMediaAlunni::~TfmqelExpMediaAlunni() = default;

int TfmqelExpMediaAlunni::SelectedAnsId() const
{
    return enumItemId(m_cbAns, m_cbAns->currentIndex());
}

int TfmqelExpMediaAlunni::SelectedAnsSesDwgId() const
{
    return enumItemId(m_cbSes, m_cbSes->currentIndex());
}

void TfmqelExpMediaAlunni::cbAnsChange()
{
    m_cbSes->clear();
    fill(m_cbSes, TdmqelDataSets::YearSessions(WorkingDwgId, SelectedAnsId()));
    // The working session when it is one of the year's, else none.
    m_cbSes->setCurrentIndex(m_cbSes->findData(TVxWorkingContext::session()));
}

bool TfmqelExpMediaAlunni::choicesComplete() const
{
    // Without either the export would find no pupil and still say it was done.
    if (SelectedAnsId() <= 0) {
        VxMessageDlg(QStringLiteral("Selezionare l'anno scolastico."), mtWarning, mbOK);
        return false;
    }
    if (SelectedAnsSesDwgId() <= 0) {
        VxMessageDlg(QStringLiteral("Selezionare la sessione."), mtWarning, mbOK);
        return false;
    }
    return true;
}

void TfmqelExpMediaAlunni::OkClick()
{
    if (!choicesComplete()) {
        SetModalResult(mrNone);
        return;
    }
    if (VxMessageDlg(QStringLiteral("Conferma esportazione?"), mtConfirmation, mbYesNo, 0, mrNo) !=
        mrYes)
        return;
    m_wait = std::make_unique<TfmVxWait>(this);
    m_wait->SetTitle(windowTitle());
    m_wait->ShowWait();
    const bool done = RunShowingErrors([this] { ExportMedie(); });
    m_wait->CloseWait();
    if (done)
        VxMessageDlg(QStringLiteral("Operazione completata"), mtInformation, mbOK);
}

void TfmqelExpMediaAlunni::ExportMedie()
{
    PupilSummaryRequest request;
    request.iAnsId = SelectedAnsId();
    request.iAnsSesDwgId = SelectedAnsSesDwgId();
    request.iDwgId = WorkingDwgId;
    for (int v = 0; v < psValueCount; ++v)
        request.wanted[v] = m_boxes[v]->isChecked();
    TfmVxWait *wait = m_wait.get();
    PupilSummaryExport().run(request, {[wait](const QString &operation, int count) {
                                           wait->SetOperation(operation);
                                           wait->InitProgressBar(0, count);
                                       },
                                       [wait] { wait->StepProgressBar(1); }});
}
