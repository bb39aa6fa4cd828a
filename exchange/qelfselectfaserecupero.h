#pragma once

// "Scelta fase di recupero": the make-up phase whose results the web collection brings back,
// among the phases of the working school year common to every institute. With no phase in
// the year the list is empty and the phase is 0, which the command refuses.

#include "platform/dialogs.h"
#include "shell/qelformcalls.h"

class QComboBox;

class TfmqelSelectFaseRecupero : public TfmVxOkCancDlg, public QelMakeupPhaseChooser
{
    Q_OBJECT
    Q_INTERFACES(QelMakeupPhaseChooser)
public:
    explicit TfmqelSelectFaseRecupero(QWidget *owner = nullptr);

    QComboBox *cbFaseRec() const { return m_phases; }
    int GetFaseRecId() const override;

private:
    QComboBox *m_phases;
};
