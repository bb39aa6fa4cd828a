#pragma once

#include "platform/frames.h"

class QComboBox;
class QGridLayout;
class QToolButton;
class TVxDateEdit;

// The detail panel of one make-up record: type, assignment date, outcome, verification date
// and the button "Assegna recupero". It shows the record RecId (-1: the focused cell is no
// subject cell, 0: the cell has no record) of the pupil SitId and subject MatId in the phase
// AnsFreDwgId; Peso is the weight of the record's type. The derived panel reads and writes
// the records; this base holds the controls and the state.
class TfrQevDettRec : public TfrVxGen
{
    Q_OBJECT
public:
    explicit TfrQevDettRec(QWidget *parent = nullptr);

    int RecId() const { return m_recId; }
    virtual void SetRecId(int value) { m_recId = value; }
    int SitId() const { return m_sitId; }
    void SetSitId(int value) { m_sitId = value; }
    int MatId() const { return m_matId; }
    void SetMatId(int value) { m_matId = value; }
    int AnsFreDwgId() const { return m_ansFreDwgId; }
    void SetAnsFreDwgId(int value) { m_ansFreDwgId = value; }
    int Peso() const { return m_peso; }
    void SetPeso(int value) { m_peso = value; }

    // A change the office made to the shown record (an outcome, a date from the calendar).
    virtual void SegnaModifica() {}
    // Ready for a new phase: the assignment date today, no verification date.
    virtual void Inizializza();
    virtual void AssegnaRecupero() {}
    virtual void CancellaRecupero() {}
    // Selects the type of the weight in cboTipo; false, after saying so, when there is none.
    virtual bool SelezionaTipoDaPeso(int weight);

    QComboBox *cboTipo() const { return m_cboTipo; }
    QComboBox *cboEsito() const { return m_cboEsito; }
    TVxDateEdit *deAssegna() const { return m_deAssegna; }
    TVxDateEdit *deVerifica() const { return m_deVerifica; }
    QToolButton *buSave() const { return m_buSave; }

signals:
    // "Assegna recupero" was pressed: the host passes the focused cell and assigns.
    void assegnaRichiesto();

protected:
    // Says that no type has the weight and clears the type; returns found.
    bool TipoTrovato(bool found);
    QGridLayout *fields() const { return m_fields; }

private:
    int m_recId = -1;
    int m_sitId = -1;
    int m_matId = -1;
    int m_ansFreDwgId = 0;
    int m_peso = 0;

    QGridLayout *m_fields;
    QComboBox *m_cboTipo;
    TVxDateEdit *m_deAssegna;
    QComboBox *m_cboEsito;
    TVxDateEdit *m_deVerifica;
    QToolButton *m_buSave;
};
