#pragma once

#include "platform/dialogs.h"

#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// "Rilevazione integrativa esiti scrutinio" (command "Rilevazione integrativa", modal): the
// counts of the scrutiny outcomes of the working session, by year of course, for all pupils
// and for girls, written into the Excel template of the chosen school type and saved under a
// name the user chooses. "Esegui" runs it; the window stays open for another run.
class TfmQelRilIntegr : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmQelRilIntegr(QWidget *parent = nullptr);

    QRadioButton *rbPrimoGrado() const { return m_primoGrado; }
    QRadioButton *rbSecondoGrado() const { return m_secondoGrado; }
    QLineEdit *edSalvaIn() const { return m_salvaIn; }
    QPushButton *btnOdSalva() const { return m_odSalva; }
    QComboBox *cbxSedi() const { return m_sedi; }
    QPushButton *btnSelCls() const { return m_selCls; }
    QCheckBox *cbMateriePrincipali() const { return m_materiePrincipali; }
    QLabel *lbSessione() const { return m_sessione; }
    QLabel *lbDescrOperaz() const { return m_descrOperaz; }
    QProgressBar *pbProgresso() const { return m_progresso; }

    // The classes the run counts: the picker's last choice; empty for every class.
    const QList<int> &Classi() const { return m_classi; }
    // The selected site's id, 0 for "TUTTE".
    int SelectedSede() const;

protected:
    // The run; the window stays open whatever its outcome.
    void OkClick() override;

private:
    void FormCreate();
    void actsdFileExecute();
    void btnSelClsClick();
    void buOkClick();

    QRadioButton *m_primoGrado;
    QRadioButton *m_secondoGrado;
    QLineEdit *m_salvaIn;
    QPushButton *m_odSalva;
    QComboBox *m_sedi;
    QPushButton *m_selCls;
    QCheckBox *m_materiePrincipali;
    QLabel *m_sessione;
    QLabel *m_descrOperaz;
    QProgressBar *m_progresso;
    QString m_outputName;
    QList<int> m_classi;
};
