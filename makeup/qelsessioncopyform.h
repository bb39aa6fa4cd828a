#pragma once

// What the two session-copy windows share: their warning panel, their session lists, the two
// questions before a copy and the office's words for a step that failed.

#include "makeup/qelsessioncopy.h"

#include <QString>

#include <optional>

class QBoxLayout;
class QComboBox;
class QVBoxLayout;
class QWidget;

struct QelSessionCopyHeader
{
    QVBoxLayout *layout;
    QComboBox *source; // cboSessione
    QComboBox *target;
};

// Adds the red panel with a warning in white bold, centred.
void addCopyWarningPanel(QBoxLayout *layout, QWidget *parent, const QString &text);

// Lays out the window's client area from the top: the red warning panel, then a titled group
// with the source session list ("Sessione Finale") and one with the target list.
QelSessionCopyHeader addSessionCopyHeader(QWidget *client, const QString &warning,
                                          const QString &sourceTitle, const QString &targetTitle,
                                          const QString &targetLabel, const QString &targetName);

// Fills the two lists with the sessions of their kinds and selects the first of each. When a
// list stays empty, says that the sessions are missing and answers false: the window then
// offers no OK. A refusal of the database is shown instead, with the same answer.
bool loadSessionLists(QComboBox *source, int sourceKind, QComboBox *target, int targetKind);

// The key of the session chosen in a list; 0 for none.
int chosenSession(const QComboBox *list);

// Asks whether to copy from one session into the other, then whether to replace the target's
// data; true only when both answers are Yes.
bool confirmSessionCopy(const QComboBox *source, const QComboBox *target);

// A step as its window shows it.
struct QelCopyStepTexts
{
    QelCopyKind kind;
    const char *operation;     // while it runs
    const char *nothingToCopy; // the warning when the source has no row
    const char *what;          // "dei voti": the failure message's words
};

// Runs the step on the shared connection. Nothing to copy: its warning. A failure: tells the
// office which step failed and that its kind of data was left as it was; no result then.
std::optional<QelCopyResult> runCopyStep(const QelCopyStepTexts &step, int iSourceId, int iTargetId,
                                         int minimumVote = 0, const QelCopyProgress &progress = {});

// "Classe: 3C ..., Materia: ITA": the log line of a row without place.
QString rowWithoutPlaceLine(const QelRowWithoutPlace &row);
