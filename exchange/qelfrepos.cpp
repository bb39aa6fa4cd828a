#include "exchange/qelfrepos.h"

#include "exchange/qelportalpackages.h"
#include "exchange/qelportalselection.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QScopeGuard>
#include <QVBoxLayout>

TfmqelRepos::TfmqelRepos(QWidget *parent)
    : TfmVxOkCancDlg(parent),
      m_selection(new QelPortalSelection(this, QStringLiteral("istituto"),
                                         QStringLiteral(" Tipologia Operazione "))),
      m_wait(std::make_unique<TfmVxWait>(this))
{
    setObjectName(QStringLiteral("fmqelRepos"));
    setWindowTitle(QStringLiteral("Crea Repository"));
    m_wait->SetTitle(QStringLiteral("Crea Repository"));

    auto *boxes = new QHBoxLayout;
    const struct
    {
        const char *name;
        const char *caption;
        bool ticked;
    } captions[] = {{"cbVoti", "Voti", true},
                    {"cbVotiProposti", "Voti proposti", false},
                    {"cbNote", "Note", false},
                    {"cbTassonomie", "Tassonomie", false}};
    for (int i = 0; i < 4; ++i) {
        m_boxes[i] = new QCheckBox(QString::fromLatin1(captions[i].caption), this);
        m_boxes[i]->setObjectName(QString::fromLatin1(captions[i].name));
        m_boxes[i]->setChecked(captions[i].ticked);
        boxes->addWidget(m_boxes[i]);
    }
    auto *layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_selection->contextRows());
    layout->addWidget(m_selection->rgOperazione());
    layout->addWidget(m_selection->rgSospesi());
    layout->addLayout(boxes);
    layout->addStretch();
    connect(m_selection->rbCancella(), &QRadioButton::toggled, this, [this] { OperationChange(); });

    RunShowingErrors([this] { m_selection->load(); });
}

TfmqelRepos::~TfmqelRepos() = default;

void TfmqelRepos::showEvent(QShowEvent *event)
{
    m_selection->rbGenera()->setChecked(true);
    TfmVxOkCancDlg::showEvent(event);
}

// Clearing reads none of the options.
void TfmqelRepos::OperationChange()
{
    const bool generate = !m_selection->rbCancella()->isChecked();
    for (QCheckBox *box : m_boxes)
        box->setEnabled(generate);
    m_selection->rgSospesi()->setEnabled(generate);
}

void TfmqelRepos::OkClick()
{
    m_wait->ShowWait();
    const auto closeWait = qScopeGuard([this] { m_wait->CloseWait(); });
    const bool done = RunShowingErrors([this] {
        const QList<int> classSessions = QelPortalLists::RepositoryClassSessions(
            m_selection->iDwgId(), TVxWorkingContext::schoolYear(), m_selection->iAnsSesDwgId());
        if (!m_selection->rbCancella()->isChecked()) {
            BuildRepository(classSessions);
        } else if (VxMessageDlg(QelPortalSelection::clearQuestion(), mtWarning, mbOKCancel) ==
                   mrOk) {
            for (int iClsSesId : classSessions)
                ClearPortalPackage(iClsSesId);
        }
    });
    if (!done)
        SetModalResult(mrNone);
}

void TfmqelRepos::BuildRepository(const QList<int> &classSessions)
{
    m_wait->InitProgressBar(0, int(classSessions.size()) - 1);
    QelPortalOptions options;
    options.votes = cbVoti()->isChecked();
    options.proposed = cbVotiProposti()->isChecked();
    options.notes = cbNote()->isChecked();
    options.taxonomies = cbTassonomie()->isChecked();
    options.suspended = m_selection->suspended();
    PortalPackageBuilder builder(PortalPackageBuilder::Repository, options,
                                 m_selection->iAnsSesDwgId());
    for (int iClsSesId : classSessions) {
        builder.Build(iClsSesId);
        m_wait->StepProgressBar();
    }
    builder.Finish();
}
