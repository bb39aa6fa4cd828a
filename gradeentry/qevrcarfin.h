#pragma once

// TfrqevCarFin: the grade frame of the final outcome (kind 9), one value per pupil situation:
// the position iPosFinId of the pupil's situation row (through TqevFinStore).
//
//   per class (tcClasse, page "Esito finale")  a grid: the pupils and one column "Esito
//       finale" whose TRecFin on (1, r) holds the outcome; filled through the pick dialog
//       (also for the whole column at once), emptied with Backspace
//   per pupil (tcAlunno, page "Finale")       the drop-down cbEsito of every outcome; the
//       TRecFin hangs on (0, 0) of the hidden grid, beside the class window the class
//       window's own record
//
// SaveDataDb writes only the outcomes changed since loading, in the one transaction of the one
// save routine, and only where the stored outcome is still the one the window read (another
// office's is told, and saving again writes over it); an emptied outcome is stored as none
// (NULL). In the pupil window a drop-down with nothing chosen keeps the stored outcome.

#include "gradeentry/qevfinalestore.h"
#include "gradeentry/qevrcarbs.h"

class QComboBox;

class TfrqevCarFin : public TfrqevCarBs
{
    Q_OBJECT
public:
    explicit TfrqevCarFin(QWidget *parent = nullptr);

    QComboBox *cbEsito = nullptr; // per pupil: text sStaFinDettSDesc, data iPosFinId; "Esito
                                  // finale:" (Alt+E) before it

    void InitTipoDati(int TipoDati) override;
    void LoadData() override;
    bool SaveDataDb() override;
    void LoadFromClassForm() override;
    void UpdateClassForm() override;
    void SetReadOnly(bool value) override;
    bool CellaDiversa(int col, int row) const override;
    void aFormSelExecute() override;

protected:
    void grGridKeyPress(QChar &key) override;

private:
    void selezionaEsito(int iPosFinId);

    TqevFinStore m_store;
    bool m_readOnly = false;
    QWidget *m_riga = nullptr; // the drop-down with its label
};
