#pragma once

#include "makeup/qelsessioncopyform.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QSpinBox;

// Copies into the qualification-exam session the admission votes of a final session that
// reach a minimum, and the judgments of the pupils who have such a vote; the exam session's
// votes and judgments are replaced. Not modal: it stays open after a run and can run again.
class TfmqelPassaVotiQual : public QelSessionCopyForm
{
    Q_OBJECT
public:
    explicit TfmqelPassaVotiQual(QWidget *owner = nullptr);

    QComboBox *cboSessioneQual() const { return m_target; }
    QSpinBox *seVotoMin() const { return m_minimum; }
    QLabel *laOperation() const { return m_operation; }
    QProgressBar *pbProgress() const { return m_progress; }

    // The running step: its text, and the bar from minimum to maximum at its start.
    void InitOperazione(const QString &text, int maximum, int minimum);
    // Advances the bar and lets the window paint and answer while the step goes on.
    void StepOperazione(int n);

    // While a copy runs the window neither closes nor starts another one.
    void done(int result) override;

protected:
    void OkClick() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setRunning(bool running);
    // Runs the steps; false when one failed or could not place its rows.
    bool runSteps(int source, int target);

    QSpinBox *m_minimum;
    QLabel *m_operation;
    QProgressBar *m_progress;
    bool m_running = false;
};
