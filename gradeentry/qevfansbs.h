#pragma once

// The bases of the grade-entry selection dialogs: an OK/Cancel dialog with the school year
// (TfmQevAnsBs), then with the sessions of that year for the working institute
// (TfmqevAnsSesDwgBs). Each combo item shows its text and carries its key; the working year
// and session are preselected. Nothing creates these by themselves: the concrete dialog loads
// them in its constructor (CaricaAnni, then CaricaSessioni), so that a dialog run by a script
// without being shown holds the same lists as one the office sees.

#include "platform/dialogs.h"

class QComboBox;
class QHBoxLayout;

class TfmQevAnsBs : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmQevAnsBs(QWidget *parent = nullptr);

    // Fills the years, in their order, and selects the working year; a working year not in
    // the list selects none.
    virtual void CaricaAnni();
    // The selected year's key; 0 when none is selected.
    int GetAnsId() const;

    QComboBox *cbAns() const { return m_cbAns; }

protected:
    // The top row (Panel2) where the combo boxes stand.
    QHBoxLayout *Panel2() const { return m_panel2; }
    virtual void cbAnsChange() {}

private:
    QComboBox *m_cbAns;
    QHBoxLayout *m_panel2;
};

class TfmqevAnsSesDwgBs : public TfmQevAnsBs
{
    Q_OBJECT
public:
    explicit TfmqevAnsSesDwgBs(QWidget *parent = nullptr);

    // Fills the sessions of the working institute in the selected year and selects the
    // working session (else the first), then runs cbAnsSesDwgChange.
    virtual void CaricaSessioni();
    // The selected session's key; 0 when the list is empty.
    int GetAnsSesDwgId() const;

    QComboBox *cbAnsSesDwg() const { return m_cbAnsSesDwg; }

protected:
    // A new year reloads its sessions (and, through them, what depends on the session).
    void cbAnsChange() override { CaricaSessioni(); }
    virtual void cbAnsSesDwgChange() {}

private:
    QComboBox *m_cbAnsSesDwg;
};
