#pragma once

// TfmqevCarSave ("Salva"): the question a grade-entry window asks before it closes with
// modified pages. One check box per page kind, ticked and enabled for each modified grid;
// the office may untick a page. Values in, values out:
//
//   TfmqevCarSave dialog(window);
//   dialog.Casella(tdVoti)->setChecked(true); dialog.Casella(tdVoti)->setEnabled(true);
//   VxExecModal(&dialog);
//   switch (dialog.Esito()) { case TfmqevCarSave::esSalva: ... }
//
// "Salva" (buOk, the default button: Enter) saves the ticked pages, "Non salvare" (buEsc)
// closes without saving, the cancel button (Esc, and the close box) keeps the window open.

#include "platform/dialogs.h"

class QCheckBox;

class TfmqevCarSave : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    enum TEsito { esSalva = 0, esNonSalvare = 1, esNonChiudere = 2 };

    explicit TfmqevCarSave(QWidget *parent = nullptr);

    // The check box of a data kind (votes "cbVot" ... judgments "cbGdz"); none for a kind
    // without one.
    QCheckBox *Casella(int TipoDati) const;
    QPushButton *buEsc() const { return m_esc; }
    // The outcome of the last run.
    TEsito Esito() const;

private:
    QList<QCheckBox *> m_caselle; // by kind 0-9
    QPushButton *m_esc;
};
