#pragma once

// TfmqevQualifField ("Campo da riempire"): which career field the subject window's score
// transfer writes ("Esporta a carriera") or, captioned "Campo da cui prelevare", reads
// ("Importa da carriera"). Values in, values out:
//
//   TfmqevQualifField dialog(window);
//   dialog.PerImportazione();                  // the licence has nothing to read back
//   if (VxExecModal(&dialog) == mrOk) campo = dialog.Campo();

#include "gradeentry/qevqualifica.h"
#include "platform/dialogs.h"

class QRadioButton;

class TfmqevQualifField : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqevQualifField(QWidget *parent = nullptr);

    QRadioButton *rbQuaAmmissione; // "Qualifica: punteggio di ammissione", checked at first
    QRadioButton *rbQuaFinale;     // "Qualifica: punteggio finale"
    QRadioButton *rbLicenza;       // "Licenza: punteggio secondaria I grado"

    // Captioned for the import, whose source has no licence score: that choice is disabled.
    void PerImportazione();
    // The field of the checked button.
    TqevCampoQualifica Campo() const;
};
