#include "makeup/qelfpassavoti.h"

#include "platform/messagedlg.h"
#include "platform/waitwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int kFinalSessions = 2;
constexpr int kDeferredSessions = 3;
constexpr int kHeightWithLog = 438;

// In the order they run. The absences have no check box: they are always copied.
const QelCopyStepTexts kVotes = {QelCopyKind::DeferredVotes, "Passaggio dei voti...",
                                 "Nessun voto da copiare presente nella sezione selezionata",
                                 "dei voti"};
const QelCopyStepTexts kProposed = {
    QelCopyKind::DeferredProposedVotes, "Passaggio dei voti proposti...",
    "Nessun voto proposto da copiare presente nella sezione selezionata", "dei voti proposti"};
const QelCopyStepTexts kJudgments = {
    QelCopyKind::DeferredJudgments, "Passaggio dei Giudizi...",
    "Nessun giudizio da copiare presente nella sezione selezionata", "dei giudizi"};
const QelCopyStepTexts kNotes = {QelCopyKind::DeferredNotes, "Passaggio delle Note...",
                                 "Nessuna nota da copiare presente nella sezione selezionata",
                                 "delle note"};
const QelCopyStepTexts kAbsences = {QelCopyKind::DeferredAbsences, "Passaggio delle Assenze...",
                                    "Nessuna assenza da copiare presente nella sezione selezionata",
                                    "delle assenze"};

QCheckBox *makeCheck(const char *name, const char *text, QWidget *parent, QBoxLayout *layout)
{
    auto *check = new QCheckBox(QString::fromUtf8(text), parent);
    check->setObjectName(QString::fromLatin1(name));
    check->setChecked(true);
    layout->addWidget(check);
    return check;
}

const QelSessionCopyTexts kTexts = {
    "fmQelPassaVoti",
    "Copia i dati nella sessione differita",
    "ATTENZIONE!\nQuesta operazione copierà i dati selezionati nella Sessione Differita.",
    "Sessione di origine",
    "Sessione di destinazione",
    "Sessione Differita",
    "cboSessioneDiff"};

} // namespace

TfmQelPassaVoti::TfmQelPassaVoti(QWidget *owner) : QelSessionCopyForm(kTexts, owner)
{
    QVBoxLayout *layout = clientLayout();
    // Every kind is always copied: the choice is kept, but not offered.
    auto *kinds = new QGroupBox(QStringLiteral("Dati da copiare"), ClientArea());
    kinds->setObjectName(QStringLiteral("gbDati"));
    auto *kindsLayout = new QHBoxLayout(kinds);
    m_votes = makeCheck("chkVoti", "Voti", kinds, kindsLayout);
    m_proposed = makeCheck("chkVtp", "Voti Proposti", kinds, kindsLayout);
    m_notes = makeCheck("chkNote", "Note", kinds, kindsLayout);
    m_judgments = makeCheck("chkGiudizio", "Giudizio finale", kinds, kindsLayout);
    kinds->setVisible(false);
    layout->addWidget(kinds);

    m_log = new QPlainTextEdit(ClientArea());
    m_log->setObjectName(QStringLiteral("mmoLog"));
    m_log->setReadOnly(true);
    m_log->setTabChangesFocus(true);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setVisible(false);
    layout->addWidget(m_log, 1);
    layout->addStretch();

    m_showLog = new QPushButton(QStringLiteral("Visualizza errori"), this);
    m_showLog->setObjectName(QStringLiteral("buLog"));
    m_showLog->setVisible(false);
    ButtonRow()->insertWidget(0, m_showLog);
    connect(m_showLog, &QPushButton::clicked, this, &TfmQelPassaVoti::buLogClick);

    // Cancel empties the log before the window closes.
    disconnect(buCancel(), &QPushButton::clicked, this, nullptr);
    connect(buCancel(), &QPushButton::clicked, this, &TfmQelPassaVoti::buCancelClick);

    resize(520, 250);
    loadSessions(kFinalSessions, kDeferredSessions);
}

bool TfmQelPassaVoti::logHasLines() const
{
    return !m_log->document()->isEmpty();
}

void TfmQelPassaVoti::done(int result)
{
    if (m_running)
        return;
    // The OK button decides in OkClick whether the window may close.
    if (result != mrOk && logHasLines())
        return;
    QelSessionCopyForm::done(result);
}

void TfmQelPassaVoti::buCancelClick()
{
    if (m_running)
        return;
    m_log->clear();
    done(mrCancel);
}

void TfmQelPassaVoti::buLogClick()
{
    m_log->setVisible(true);
    resize(width(), kHeightWithLog);
}

void TfmQelPassaVoti::OkClick()
{
    SetModalResult(mrNone);
    if (m_running || !confirmCopy())
        return;
    const bool completed = runSteps();
    if (logHasLines())
        m_showLog->setVisible(true);
    if (!completed)
        return;
    if (logHasLines()) {
        VxMessageDlg(QStringLiteral("Si sono verificati degli errori. Cliccare su \"Visualizza "
                                    "errori\" per vedere in quali Classi/Materie la configurazione "
                                    "è errata."),
                     mtWarning, mbOK);
        return;
    }
    VxMessageDlg(QStringLiteral("Operazione completata!"), mtInformation, mbOK);
    SetModalResult(mrOk);
}

bool TfmQelPassaVoti::runSteps()
{
    QList<const QelCopyStepTexts *> steps;
    if (m_votes->isChecked())
        steps << &kVotes;
    if (m_proposed->isChecked())
        steps << &kProposed;
    if (m_judgments->isChecked())
        steps << &kJudgments;
    if (m_notes->isChecked())
        steps << &kNotes;
    steps << &kAbsences;

    const int source = sourceSession();
    const int target = targetSession();
    m_running = true;
    const auto finished = qScopeGuard([this] { m_running = false; });
    auto wait = std::make_unique<TfmVxWait>(this);
    wait->SetTitle(QStringLiteral("Passaggio dei dati in corso"));
    wait->SetOperation(QStringLiteral("L'operazione potrebbe richiedere qualche minuto.."));
    wait->InitProgressBar(0, int(steps.size()));
    wait->ShowWait();
    TVxStepwiseRun run = copyRun();
    for (const QelCopyStepTexts *step : steps) {
        wait->SetOperation(QString::fromUtf8(step->operation));
        wait->StepProgressBar(1);
        const std::optional<QelCopyResult> result = runCopyStep(run, *step, source, target);
        if (!result)
            return false;
        for (const QelRowWithoutPlace &row : std::as_const(result->withoutPlace))
            m_log->appendPlainText(rowWithoutPlaceLine(row));
    }
    return true;
}
