#pragma once

#include "makeup/qelmakeuprecords.h"
#include "platform/childforms.h"
#include "platform/clientdataset.h"

#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QTableWidget;
class QToolBar;
class QToolButton;
class TVxStringGrid;
class TqelGrigliaEsiti;
class TqelLegendaRec;

// "Esiti Recuperi": the office records the outcomes of the make-up courses already assigned to
// the pupils of the class session chosen before it opened, in one make-up phase, by typing the
// outcome's weight on the numeric keypad. A cell with a record is filled with its outcome's
// colour (silver: no outcome yet); every change is written at once, so closing asks nothing.
//
// cdsEsiti holds one row per pupil: iSitId, "Cognome Nome", then one field per subject named
// by its iMatId: NULL without record, -1 for a record without outcome, else the outcome's
// weight. The database is written first and the cell changed after: a refused write leaves
// the cell as it was, and says why.
class TfmQelEsitiRecuperi : public TfmVxChildBase
{
    Q_OBJECT
public:
    explicit TfmQelEsitiRecuperi(QWidget *parent = nullptr);
    ~TfmQelEsitiRecuperi() override;

    QLabel *lblCLasse() const { return m_lblClasse; }
    QToolBar *ToolBar1() const { return m_toolBar; }
    QAction *tbDelSng() const { return m_tbDelSng; }
    QAction *tbDelAll() const { return m_tbDelAll; }
    QComboBox *cboFasi() const { return m_cboFasi; }
    QToolButton *sbuLegenda() const { return m_sbuLegenda; }
    QLabel *lblTipo() const { return m_lblTipo; }
    QLabel *lblEsito() const { return m_lblEsito; }
    TVxStringGrid *dbgEsiti() const;
    QWidget *pnlLegenda() const;
    QTableWidget *dbgLegenda() const;
    const TClientDataSet &cdsEsiti() const { return m_cdsEsiti; }

    const MakeupClass &Classe() const { return m_classe; }
    int AnsFreDwgId() const { return m_ansFreDwgId; }

    // The grid's row of a pupil situation and column of a subject; -1 when it has none.
    int RowOfPupil(int iSitId) const;
    int ColOfSubject(int iMatId) const;

protected:
    void FormCreate() override;
    void FormShow() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class TqelGrigliaEsiti;

    void disable();
    void defineFields();
    void cboFasiChange();
    void loadGrid();
    void showFocusedCell(int col, int row);
    // The cell's value in cdsEsiti (grid coordinates); invalid on the name column.
    QVariant value(int col, int row) const;
    void setValue(int col, int row, const QVariant &value);
    // Writes the outcome of a weight (none: clears it) to the focused cell's records.
    void writeOutcome(std::optional<int> weight);
    void digitTyped(int digit);
    void tbDelSngClick();
    void tbDelAllClick();
    void sbuLegendaClick();

    MakeupRecords m_data;
    MakeupClass m_classe;
    QList<MakeupPhase> m_fasi;
    int m_ansFreDwgId = 0;
    // The subjects' iMatId as text (the field names) and short texts, in subject order.
    QStringList m_materie;
    QStringList m_titoli;
    TClientDataSet m_cdsEsiti;
    bool m_filling = false;

    QLabel *m_lblClasse;
    QToolBar *m_toolBar;
    QAction *m_tbDelSng;
    QAction *m_tbDelAll;
    QComboBox *m_cboFasi;
    QToolButton *m_sbuLegenda;
    QLabel *m_lblTipo;
    QLabel *m_lblEsito;
    TqelGrigliaEsiti *m_grid;
    TqelLegendaRec *m_legenda;
};
