#pragma once

#include "makeup/qelmakeuprecords.h"
#include "platform/childforms.h"

class QAction;
class QComboBox;
class QLabel;
class QTableWidget;
class QToolBar;
class QToolButton;
class TfrQelDettRec;
class TfrQelGrigliaRec;
class TqelLegendaRec;

// "Recuperi": the office assigns a make-up type to each pupil and subject of the class
// session chosen before it opened, in one make-up phase, by typing the type's weight on the
// cell (keypad or main keyboard), or by choosing it in the detail panel and double-clicking the
// cell or pressing "Assegna recupero". Every assignment and deletion is written at once, so
// closing asks nothing.
//
// The window keeps the class session it was opened on: grade entry may open another one in
// the grade data module meanwhile, and a reload or "Cancella tutti i recuperi" must never
// reach a class other than the one its title shows.
class TfmQelRec : public TfmVxChildBase
{
    Q_OBJECT
public:
    explicit TfmQelRec(QWidget *parent = nullptr);

    TfrQelDettRec *frQelDettRec1() const { return m_dett; }
    TfrQelGrigliaRec *frQelGrigliaRec1() const { return m_griglia; }
    QLabel *lblCLasse() const { return m_lblClasse; }
    QToolBar *ToolBar1() const { return m_toolBar; }
    QAction *tbDelete() const { return m_tbDelete; }
    QAction *tbDeleteAll() const { return m_tbDeleteAll; }
    QComboBox *cboFasi() const { return m_cboFasi; }
    QComboBox *cboTipoVoto() const { return m_cboTipoVoto; }
    QToolButton *sbuLegenda() const { return m_sbuLegenda; }
    QWidget *pnlLegenda() const;
    QTableWidget *dbgLegenda() const;

    const MakeupClass &Classe() const { return m_classe; }
    int AnsFreDwgId() const { return m_ansFreDwgId; }

protected:
    void FormCreate() override;
    void FormShow() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void disable();
    void cboTipoVotoChange();
    void cboFasiChange();
    void followCell();
    void digitTyped(int digit);
    void assignFocusedCell();
    void passFocusedCell();
    void recordWritten(int iSitId, int iMatId, int iRecId, int peso);
    void tbDeleteClick();
    void tbDeleteAllClick();
    void sbuLegendaClick();

    MakeupRecords m_data;
    MakeupClass m_classe;
    QList<MakeupPhase> m_fasi;
    int m_ansFreDwgId = 0;
    // Set while the combo boxes are filled: their change handlers load nothing then.
    bool m_filling = false;

    QLabel *m_lblClasse;
    QToolBar *m_toolBar;
    QAction *m_tbDelete;
    QAction *m_tbDeleteAll;
    QComboBox *m_cboFasi;
    QComboBox *m_cboTipoVoto;
    QToolButton *m_sbuLegenda;
    TfrQelDettRec *m_dett;
    TfrQelGrigliaRec *m_griglia;
    TqelLegendaRec *m_legenda;
};
