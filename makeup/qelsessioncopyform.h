#pragma once

// What the two session-copy windows share: their warning panel, their session lists, the two
// questions before a copy and the office's words for a step that failed.

#include "makeup/qelsessioncopy.h"
#include "platform/dialogs.h"
#include "platform/stepwise.h"

#include <QString>

#include <optional>

class QBoxLayout;
class QComboBox;
class QVBoxLayout;
class QWidget;

// Adds the red panel with a warning in white bold, centred.
void addCopyWarningPanel(QBoxLayout *layout, QWidget *parent, const QString &text);

// The names and texts of a session-copy window's top.
struct QelSessionCopyTexts
{
    const char *objectName;
    const char *title;
    const char *warning;
    const char *sourceTitle; // the group of the source list ("Sessione Finale")
    const char *targetTitle; // the group of the target list
    const char *targetLabel;
    const char *targetName;
};

// A window that copies a session's data into another: its client area starts with the red
// warning panel and the two session lists; what the window adds goes below, in
// clientLayout().
class QelSessionCopyForm : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    QComboBox *cboSessione() const { return m_source; }

protected:
    QelSessionCopyForm(const QelSessionCopyTexts &texts, QWidget *owner);

    QVBoxLayout *clientLayout() const { return m_layout; }

    // Fills the two lists with the sessions of their kinds and selects the first of each.
    // When a list stays empty, says that the sessions are missing and offers no OK; a refusal
    // of the database is shown instead, with the same effect.
    void loadSessions(int sourceKind, int targetKind);

    // The keys of the sessions chosen; 0 for none.
    int sourceSession() const;
    int targetSession() const;

    // Asks whether to copy from one session into the other, then whether to replace the
    // target's data; true only when both answers are Yes.
    bool confirmCopy() const;

    QComboBox *m_source;
    QComboBox *m_target;

private:
    QVBoxLayout *m_layout;
};

// A step as its window shows it.
struct QelCopyStepTexts
{
    QelCopyKind kind;
    const char *operation;     // while it runs
    const char *nothingToCopy; // the warning when the source has no row
    const char *what;          // "dei voti": the words of a message that names the step
};

// The run of a copy's steps: each step commits alone, and a failure names the steps already
// copied (platform/stepwise.h).
TVxStepwiseRun copyRun();

// Runs the step on the shared connection as a step of the run. Nothing to copy: its warning. A
// failure: tells the office which step failed and that its kind of data was left as it was,
// which steps before it were copied, and that copying again completes the work; no result then.
std::optional<QelCopyResult> runCopyStep(TVxStepwiseRun &run, const QelCopyStepTexts &step,
                                         int iSourceId, int iTargetId, int minimumVote = 0,
                                         const QelCopyProgress &progress = {});

// "Classe: 3C ..., Materia: ITA": the log line of a row without place.
QString rowWithoutPlaceLine(const QelRowWithoutPlace &row);
