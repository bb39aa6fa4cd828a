#include "makeup/qelfpassavotiqual.h"

#include "platform/messagedlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kFinalSessions = 2;

const QelCopyStepTexts kSteps[] = {
    {QelCopyKind::QualificationVotes, "Passaggio voti in corso...",
     "Nessun voto da copiare presente nella sessione selezionata", "dei voti"},
    {QelCopyKind::QualificationJudgments, "Passaggio giudizi in corso...",
     "Nessun giudizio da copiare presente nella sessione selezionata", "dei giudizi"},
};

void showRowsWithoutPlace(const QList<QelRowWithoutPlace> &rows)
{
    QStringList lines;
    for (const QelRowWithoutPlace &row : rows)
        lines << rowWithoutPlaceLine(row);
    VxMessageDlg(QStringLiteral("Impossibile copiare i voti di ammissione: nella sessione di "
                                "destinazione manca la configurazione di\r\r%1\r\rConfigurare la "
                                "sessione e ripetere l'operazione. La sessione di destinazione "
                                "non è stata modificata.")
                     .arg(lines.join(QLatin1Char('\r'))),
                 mtError, mbOK);
}

const QelSessionCopyTexts kTexts = {
    "fmqelPassaVotiQual",
    "Copia i dati per l'esame di qualifica",
    "ATTENZIONE!\nQuesta operazione copierà i dati selezionati \nnella sessione dell'esame di "
    "qualifica.",
    " Sessione di origine ",
    " Sessione di destinazione ",
    "Esame di qualifica",
    "cboSessioneQual"};

} // namespace

TfmqelPassaVotiQual::TfmqelPassaVotiQual(QWidget *owner) : QelSessionCopyForm(kTexts, owner)
{
    QVBoxLayout *layout = clientLayout();

    auto *grid = new QGridLayout;
    auto *minimumLabel = new QLabel(
        QStringLiteral("Voto minimo per l'ammissione \nall'esame di qualifica"), ClientArea());
    m_minimum = new QSpinBox(ClientArea());
    m_minimum->setObjectName(QStringLiteral("seVotoMin"));
    m_minimum->setRange(0, 100);
    m_minimum->setValue(60);
    minimumLabel->setBuddy(m_minimum);
    grid->addWidget(minimumLabel, 0, 0);
    grid->addWidget(m_minimum, 0, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("Operazione in corso:"), ClientArea()), 1, 0);
    m_operation = new QLabel(QStringLiteral("Imposta parametri"), ClientArea());
    m_operation->setObjectName(QStringLiteral("laOperation"));
    grid->addWidget(m_operation, 1, 1);
    layout->addLayout(grid);
    m_progress = new QProgressBar(ClientArea());
    m_progress->setObjectName(QStringLiteral("pbProgress"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    layout->addWidget(m_progress);
    layout->addStretch();

    resize(460, 330);
    loadSessions(kFinalSessions, kFinalSessions);
}

void TfmqelPassaVotiQual::InitOperazione(const QString &text, int maximum, int minimum)
{
    m_operation->setText(text);
    m_progress->setValue(0);
    m_progress->setRange(minimum, qMax(minimum, maximum));
}

void TfmqelPassaVotiQual::StepOperazione(int n)
{
    m_progress->setValue(qMin(m_progress->maximum(), m_progress->value() + n));
    QApplication::processEvents();
}

void TfmqelPassaVotiQual::setRunning(bool running)
{
    m_running = running;
    buOk()->setEnabled(!running);
    buCancel()->setEnabled(!running);
}

void TfmqelPassaVotiQual::done(int result)
{
    if (m_running)
        return;
    QelSessionCopyForm::done(result);
    // Shown inside the main window, the window's frame goes with it.
    if (result != mrOk)
        if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
            frame->close();
}

void TfmqelPassaVotiQual::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    QelSessionCopyForm::closeEvent(event);
}

void TfmqelPassaVotiQual::OkClick()
{
    // The window stays open after a run.
    SetModalResult(mrNone);
    if (m_running)
        return;
    const int source = sourceSession();
    const int target = targetSession();
    if (source == target) {
        VxMessageDlg(QStringLiteral("La sessione di origine e la sessione di destinazione "
                                    "coincidono: scegliere come destinazione la sessione "
                                    "dell'esame di qualifica."),
                     mtWarning, mbOK);
        return;
    }
    if (!confirmCopy())
        return;
    bool completed = false;
    {
        setRunning(true);
        const auto finished = qScopeGuard([this] { setRunning(false); });
        completed = runSteps(source, target);
    }
    if (completed)
        VxMessageDlg(QStringLiteral("Operazione conclusa."), mtInformation, mbOK);
}

bool TfmqelPassaVotiQual::runSteps(int source, int target)
{
    const int minimum = m_minimum->value();
    TVxStepwiseRun run = copyRun();
    for (const QelCopyStepTexts &step : kSteps) {
        const QString operation = QString::fromUtf8(step.operation);
        const QelCopyProgress progress = [this, &operation](int done, int total) {
            if (done == 0)
                InitOperazione(operation, total, 0);
            else
                StepOperazione(1);
        };
        const std::optional<QelCopyResult> result =
            runCopyStep(run, step, source, target, minimum, progress);
        if (!result)
            return false;
        if (result->sourceRows == 0)
            continue;
        if (!result->changed) {
            showRowsWithoutPlace(result->withoutPlace);
            return false;
        }
    }
    return true;
}
