#include "exchange/qelfpagelleweb.h"

#include "exchange/qelportalselection.h"
#include "platform/checklist.h"
#include "platform/globalvars.h"
#include "platform/messagedlg.h"
#include "platform/waitwindow.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kGenerate = QStringLiteral("Genera");
const QString kClear = QStringLiteral("Cancella");

const char kDone[] = "Operazione conclusa correttamente.";

} // namespace

TfmqelPagelleWeb::TfmqelPagelleWeb(QWidget *parent)
    : TfmVxWizard(parent), m_selection(new QelPortalSelection(this, QStringLiteral("Istituto"),
                                                              QStringLiteral(" Operazione "))),
      m_toolBar(new QToolBar(this)), m_classes(new QListWidget(this)),
      m_wait(std::make_unique<TfmVxWait>(this))
{
    setObjectName(QStringLiteral("fmqelPagelleWeb"));
    resize(520, 460);
    m_wait->SetTitle(QStringLiteral("Pagelle Web"));

    auto *main = new QWidget;
    main->setObjectName(QStringLiteral("tsMain"));
    auto *mainLayout = new QVBoxLayout(main);
    mainLayout->addLayout(m_selection->contextRows());
    mainLayout->addWidget(m_selection->rgOperazione());
    mainLayout->addWidget(m_selection->rgSospesi());
    mainLayout->addStretch();

    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    AddCheckListTools(m_toolBar, m_classes);
    m_classes->setObjectName(QStringLiteral("clbClassi"));
    connect(m_classes, &QListWidget::itemChanged, this, [this] { updateNext(); });
    auto *classes = new QWidget;
    classes->setObjectName(QStringLiteral("tsClassi"));
    auto *classesLayout = new QVBoxLayout(classes);
    classesLayout->addWidget(m_toolBar);
    classesLayout->addWidget(m_classes, 1);

    auto *options = new QWidget;
    options->setObjectName(QStringLiteral("tsOpzioni"));
    auto *group = new QGroupBox(QStringLiteral(" Opzioni per esportazione "), options);
    group->setObjectName(QStringLiteral("gbOpzioni"));
    auto *groupLayout = new QVBoxLayout(group);
    const struct
    {
        const char *name;
        const char *caption;
        bool ticked;
    } boxes[] = {{"cbVoti", "Voti", true},
                 {"cbVotiProposti", "Voti proposti", false},
                 {"cbTassonomie", "Tassonomie", true},
                 {"cbAssenze", "Assenze", false},
                 {"cbNote", "Note", false},
                 {"cbEsitoFinale", "Esito finale", false},
                 {"cbCrediti", "Crediti", false},
                 {"cbGiudizio", "Giudizio", false}};
    for (int i = 0; i < 8; ++i) {
        m_options[i] = new QCheckBox(QString::fromLatin1(boxes[i].caption), group);
        m_options[i]->setObjectName(QString::fromLatin1(boxes[i].name));
        m_options[i]->setChecked(boxes[i].ticked);
        groupLayout->addWidget(m_options[i]);
    }
    // Exactly one of the votes and the proposed votes goes to the portal.
    connect(cbVoti(), &QCheckBox::clicked, this,
            [this](bool on) { cbVotiProposti()->setChecked(!on); });
    connect(cbVotiProposti(), &QCheckBox::clicked, this,
            [this](bool on) { cbVoti()->setChecked(!on); });
    auto *optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(group);
    optionsLayout->addStretch();

    AddPage(main);
    AddPage(classes);
    AddPage(options);
    AddPath(kGenerate, QStringLiteral("0;1;2"));
    AddPath(kClear, QStringLiteral("0;1"));
    SetActivePath(kGenerate);
    connect(m_selection->rbCancella(), &QRadioButton::toggled, this,
            [this](bool on) { SetActivePath(on ? kClear : kGenerate); });

    RunShowingErrors([this] { m_selection->load(); });
    GoToPage(0);
}

TfmqelPagelleWeb::~TfmqelPagelleWeb() = default;

QelPortalOptions TfmqelPagelleWeb::options() const
{
    QelPortalOptions o;
    o.votes = cbVoti()->isChecked();
    o.proposed = cbVotiProposti()->isChecked();
    o.taxonomies = cbTassonomie()->isChecked();
    o.absences = cbAssenze()->isChecked();
    o.notes = cbNote()->isChecked();
    o.finalOutcome = cbEsitoFinale()->isChecked();
    o.credits = cbCrediti()->isChecked();
    o.judgment = cbGiudizio()->isChecked();
    o.suspended = m_selection->suspended();
    return o;
}

QList<int> TfmqelPagelleWeb::checkedClassSessions() const
{
    return CheckedIds(m_classes);
}

bool TfmqelPagelleWeb::anyChecked() const
{
    return !CheckedItems(m_classes).isEmpty();
}

// Building needs a class session; clearing none may end the wizard.
bool TfmqelPagelleWeb::CanGoNext(int page)
{
    return page != 1 || anyChecked();
}

void TfmqelPagelleWeb::updateNext()
{
    if (CurrentPage() == 1 && !IsLastPage())
        buNext()->setEnabled(anyChecked());
}

void TfmqelPagelleWeb::PageShown(int page)
{
    static const char *const titles[] = {"Pagelle Web - Operazione", "Pagelle Web - Classi",
                                         "Pagelle Web - Opzioni di esportazione"};
    setWindowTitle(QString::fromLatin1(titles[qBound(0, page, 2)]));
    if (page != 1)
        return;
    // Rebuilt on every entry: the choices of the first page may have changed.
    m_classes->clear();
    RunShowingErrors([this] {
        const TVxEnumItems classSessions = QelPortalLists::ClassSessions(
            m_selection->iDwgId(), TVxWorkingContext::schoolYear(), m_selection->iAnsSesDwgId());
        for (const TVxEnumItem &classSession : classSessions)
            AddCheckItem(m_classes, classSession.text, classSession.id);
    });
    updateNext();
}

bool TfmqelPagelleWeb::Finish()
{
    if (m_selection->rbCancella()->isChecked())
        CancellaSessione();
    else
        GeneraSessione();
    return true;
}

void TfmqelPagelleWeb::CancellaSessione()
{
    const QList<QListWidgetItem *> items = CheckedItems(m_classes);
    m_wait->InitProgressBar(0, int(items.size()));
    m_wait->ShowWait();
    const auto closeWait = qScopeGuard([this] { m_wait->CloseWait(); });
    // Nothing is cleared after Cancel, so nothing is said to be done.
    if (VxMessageDlg(QelPortalSelection::clearQuestion(), mtWarning, mbOKCancel) != mrOk)
        return;
    const bool done = RunShowingErrors([&] {
        for (const QListWidgetItem *item : items) {
            ClearPortalPackage(CheckItemId(item));
            m_wait->StepProgressBar();
            m_wait->SetOperation(QStringLiteral("Cancellazione relativi alla classe: ") +
                                 item->text());
        }
    });
    if (done)
        VxMessageDlg(QString::fromLatin1(kDone), mtInformation, mbOK);
}

void TfmqelPagelleWeb::GeneraSessione()
{
    m_wait->ShowWait();
    const auto closeWait = qScopeGuard([this] { m_wait->CloseWait(); });
    if (RunShowingErrors([this] { BuildPortalPackages(); }))
        VxMessageDlg(QString::fromLatin1(kDone), mtInformation, mbOK);
}

void TfmqelPagelleWeb::BuildPortalPackages()
{
    const QList<QListWidgetItem *> items = CheckedItems(m_classes);
    m_wait->InitProgressBar(0, int(items.size()));
    PortalPackageBuilder builder(PortalPackageBuilder::PortalPackages, options(),
                                 m_selection->iAnsSesDwgId());
    for (const QListWidgetItem *item : items) {
        m_wait->SetOperation(QStringLiteral("Esportazione dati per la classe: ") + item->text());
        builder.Build(CheckItemId(item));
        m_wait->StepProgressBar();
    }
    builder.Finish();
}
