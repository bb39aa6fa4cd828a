#pragma once

#include <QDialog>
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
    void StepProgressBar(int steps = 1);
    int Position() const;
    int Maximum() const;

    void SetCancelVisible(bool visible);
    // Set when "Annulla" was pressed; the working loop stops when it sees it.
    bool Cancelled() const { return m_cancelled; }
    void ResetCancel() { m_cancelled = false; }

    // Shows the window (not in scripted runs) and lets it paint.
    void ShowWait();
    // Runs pending window events (paint, the cancel button).
    void Refresh();
    // Ends the wait before the window is freed: hidden, the cursor given back; title,
    // operation and counts stay readable (a dialog that keeps its wait window for its life).
    void CloseWait();

    QPushButton *buAnnulla() const { return m_cancel; }

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
};

// The wait window in use, or none (cleared when it is freed).
extern QPointer<TfmVxWait> fmVxWait;
