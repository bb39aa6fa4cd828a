#pragma once

#include "makeup/qelsessioncopyform.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;

// Copies the final session's votes, proposed votes, judgments, notes and absences of the
// suspended pupils into the deferred session, replacing what the deferred session holds of
// each kind. Classes whose deferred session lacks a subject or component are logged; while
// the log holds lines the window stays open, and Cancel clears it.
class TfmQelPassaVoti : public QelSessionCopyForm
{
    Q_OBJECT
public:
    explicit TfmQelPassaVoti(QWidget *owner = nullptr);

    QComboBox *cboSessioneDiff() const { return m_target; }
    QPlainTextEdit *mmoLog() const { return m_log; }
    QPushButton *buLog() const { return m_showLog; }

    // Closing is refused while a copy runs or the log holds lines.
    void done(int result) override;

protected:
    void OkClick() override;

private:
    // Runs the steps; false when one failed and the run stopped.
    bool runSteps();
    void buLogClick();
    void buCancelClick();
    bool logHasLines() const;

    QCheckBox *m_votes;
    QCheckBox *m_proposed;
    QCheckBox *m_notes;
    QCheckBox *m_judgments;
    QPlainTextEdit *m_log;
    QPushButton *m_showLog;
    bool m_running = false;
};
