#pragma once

#include <QDialog>

class QBoxLayout;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;
class QWidget;

// Base of the modal dialogs. Results keep the suite's numbers (OK 1, Cancel 2, ...).
// ShowModal goes through the dialog seam, so scripted tests never block on it.
class TfmVxDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TfmVxDialog(QWidget *parent = nullptr);

    // With AutoDestroy the dialog frees itself once its modal run ends: the caller must not
    // free it then. Without (the default) the caller reads its values and frees it.
    void SetAutoDestroy(bool on) { m_autoDestroy = on; }
    bool AutoDestroy() const { return m_autoDestroy; }

    int ShowModal();

    // The result being set while a button's handler runs; a handler may clear it (mrNone)
    // to keep the dialog open.
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result) { m_modalResult = result; }

    // Ends the dialog with a result; an OK result passes through OkClick first.
    void done(int result) override;
    void reject() override;

protected:
    // Called when OK is pressed, with ModalResult = mrOk; clear it to stay open.
    virtual void OkClick() {}
    // First shown, every field gets its letter (VxGiveMnemonics).
    void showEvent(QShowEvent *event) override;

private:
    bool m_autoDestroy = false;
    bool m_shown = false;
    int m_modalResult = 0;
};

// OK and Cancel on a bottom row (buOk, buCancel); the dialog's own controls go in
// ClientArea().
class TfmVxOkCancDlg : public TfmVxDialog
{
    Q_OBJECT
public:
    explicit TfmVxOkCancDlg(QWidget *parent = nullptr);

    QWidget *ClientArea() const { return m_client; }
    QPushButton *buOk() const { return m_ok; }
    QPushButton *buCancel() const { return m_cancel; }
    QHBoxLayout *ButtonRow() const { return m_buttons; }

protected:
    // The dialog opens on its first field: the keyboard is never left on OK or "Annulla",
    // unless the dialog placed it on a field of its own before showing.
    void showEvent(QShowEvent *event) override;

private:
    bool m_opened = false;
    QWidget *m_client;
    QHBoxLayout *m_buttons;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

// OK, Cancel and Apply: Apply runs the apply step and stays open; OK runs it and closes
// unless it fails.
class TfmVxOkCancApplyDlg : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmVxOkCancApplyDlg(QWidget *parent = nullptr);
    QPushButton *buApply() const { return m_apply; }

protected:
    // Returns whether the changes were applied.
    virtual bool Apply() { return true; }
    void OkClick() override;

private:
    QPushButton *m_apply;
};
