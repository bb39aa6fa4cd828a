#pragma once

#include "makeup/qelmakeupconversion.h"
#include "platform/dialogs.h"

#include <memory>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QRadioButton;
class TVxDateEdit;
class TfmVxWait;

// "Tipi/Esiti recuperi": turns the make-up types, or outcomes, that teachers entered as
// taxonomy grades of a session into the make-up records of a phase common to every institute.
// Converting types replaces every record of the phase, in all classes, hand-made ones too (the
// red warning says so); converting outcomes only sets the outcome of records that exist.
// OK is refused until a year, a session and a phase are chosen. A conversion either completes
// or, when the database refuses a statement, changes nothing and says why.
class TfmqelRecuperiConvert : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelRecuperiConvert(QWidget *owner = nullptr);
    ~TfmqelRecuperiConvert() override;

    QComboBox *cbAns() const { return m_cbAns; }
    QComboBox *cbSes() const { return m_cbSes; }
    QComboBox *cbFaseRec() const { return m_cbFaseRec; }
    TVxDateEdit *deDataEsito() const { return m_deDataEsito; }
    QGroupBox *rgTipoEsito() const { return m_rgTipoEsito; }
    // The chosen item of rgTipoEsito: 0 "Tipo Recupero", 1 "Esito Recupero".
    int TipoEsito() const;
    void SetTipoEsito(int index);

    // The wait window of the last conversion (its position and maximum stay readable after
    // it closed); none before the first.
    TfmVxWait *fmWait() const { return m_wait.get(); }

protected:
    void OkClick() override;

private:
    void cbAnsChange();
    // Says what is missing; true when year, session and phase are all chosen.
    bool choicesComplete() const;
    void run(bool outcomes);

    MakeupConversion m_conversion;
    int m_iDwgId = 0;
    QComboBox *m_cbAns;
    QComboBox *m_cbSes;
    QComboBox *m_cbFaseRec;
    TVxDateEdit *m_deDataEsito;
    QGroupBox *m_rgTipoEsito;
    QButtonGroup *m_tipoEsito;
    std::unique_ptr<TfmVxWait> m_wait;
};
