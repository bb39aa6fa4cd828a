#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

// The wait window of long operations: a title, the current operation, a progress bar and,
// when asked for, an "Annulla" button whose flag the working loop polls. While it lives the
// cursor is the hourglass; every step lets pending window events run, so the window paints
// and the button answers. Made and freed by its caller; the latest one is fmVxWait.
// In scripted runs it stays invisible but works the same.
class TfmVxWait : public QDialog
{
    Q_OBJECT
public:
    explicit TfmVxWait(QWidget *parent = nullptr, bool withCancel = false);
    ~TfmVxWait() override;

    void SetTitle(const QString &text);
    QString Title() const;
    void SetOperation(const QString &text);
    QString Operation() const;

    void InitProgressBar(int minimum, int maximum);
    // Moves the bar; the window paints and its events run (Refresh) when the last did a
    // twentieth of a second ago or more, or when the bar is full.
    void StepProgressBar(int steps = 1);
    int Position() const;
    int Maximum() const;

    void SetCancelVisible(bool visible);
    // Whether "Annulla" is offered (shown whenever the window is).
    bool CancelOffered() const;
    // Set when "Annulla" was pressed; the working loop stops when it sees it.
    bool Cancelled() const { return m_cancelled; }
    void ResetCancel() { m_cancelled = false; }
    // Raises EVxCancelled once "Annulla" was pressed: for work that waits on a server or a
    // pause, which ends at once rather than at the next step of a loop.
    void CheckCancelled() const;
    // Whether the office can press "Annulla" now: offered, and the window up. The window is
    // application-modal, so a wait that lets user input through reaches no other window.
    bool TakesInput() const;

    // Shows the window (not in scripted runs) and lets it paint.
    void ShowWait();
    // Runs pending window events (paint, the cancel button).
    void Refresh();
    // Ends the wait before the window is freed: hidden, the cursor given back; title,
    // operation and counts stay readable (a dialog that keeps its wait window for its life).
    void CloseWait();

    QPushButton *buAnnulla() const { return m_cancel; }

signals:
    // "Annulla" was pressed (or Escape, while it is offered).
    void cancelRequested();

protected:
    // Escape cancels like "Annulla" when it is offered; the window never closes by itself.
    void reject() override;

private:
    QLabel *m_title;
    QLabel *m_operation;
    QProgressBar *m_progress;
    QPushButton *m_cancel;
    bool m_cancelled = false;
    bool m_cursorSet = false;
    static constexpr int kRefreshMs = 50;
    QElapsedTimer m_refreshed; // since the last Refresh
};

// The wait window in use, or none (cleared when it is freed).
extern QPointer<TfmVxWait> fmVxWait;

// Where a long piece of work stands, told in the caller's wait window when one is up, else in
// one of its own, shown only once the work has taken long enough to be noticed; at most ten
// times a second, so that it costs nothing when called at every step.
//
//   TVxProgress progress(report.Title);
//   for (...) if (progress.due()) progress.show(QStringLiteral("Pagina %1 di %2").arg(i).arg(n));
class TVxProgress
{
public:
    explicit TVxProgress(const QString &title);
    ~TVxProgress();
    TVxProgress(const TVxProgress &) = delete;
    TVxProgress &operator=(const TVxProgress &) = delete;

    bool due() const;
    void show(const QString &operation);

private:
    QString m_title;
    qint64 m_started;
    qint64 m_shown = -1000;
    QPointer<TfmVxWait> m_own;
};

// The hourglass cursor for the length of a scope, for short work that needs no wait window;
// the cursor comes back however the scope ends.
class TVxHourglass
{
public:
    TVxHourglass();
    ~TVxHourglass();
    TVxHourglass(const TVxHourglass &) = delete;
    TVxHourglass &operator=(const TVxHourglass &) = delete;
};
