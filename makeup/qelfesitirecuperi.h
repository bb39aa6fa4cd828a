#pragma once

#include "gradeentry/qevsalva.h"
#include "makeup/qelmakeupwindow.h"
#include "platform/clientdataset.h"

#include <QStringList>

class QAction;
class QLabel;
class TVxStringGrid;
class TqelGrigliaEsiti;

// "Esiti Recuperi": the office records the outcomes of the make-up courses already assigned to
// the pupils of the class session chosen before it opened, in one make-up phase, by typing the
// outcome's weight on the numeric keypad. A cell with a record is filled with its outcome's
// colour (silver: no outcome yet); every change is written at once, so closing asks nothing.
//
// cdsEsiti holds one row per pupil: iSitId, "Cognome Nome", then one field per subject named
// by its iMatId: NULL without record, -1 for a record without outcome, else the outcome's
// weight. The database is written first and the cell changed after: a refused write leaves
// the cell as it was, and says why. A cell's outcome goes to every record of its pupil and
// subject in the phase row, through grade entry's one save routine, only while each of them
// (and their number) is as the window read it: another office's change to any of them is told
// and shown, not written over, and typing again writes.
class TfmQelEsitiRecuperi : public TfmQelMakeupClassWindow
{
    Q_OBJECT
public:
    explicit TfmQelEsitiRecuperi(QWidget *parent = nullptr);
    ~TfmQelEsitiRecuperi() override;

    QAction *tbDelSng() const { return m_deleteOne; }
    QAction *tbDelAll() const { return m_deleteAll; }
    QLabel *lblTipo() const { return m_lblTipo; }
    QLabel *lblEsito() const { return m_lblEsito; }
    TVxStringGrid *dbgEsiti() const;
    const TClientDataSet &cdsEsiti() const { return m_cdsEsiti; }

    // The grid's row of a pupil situation and column of a subject; -1 when it has none.
    int RowOfPupil(int iSitId) const;
    int ColOfSubject(int iMatId) const;

protected:
    void FormCreate() override;
    void FormShow() override;
    void cboFasiChange() override;
    QList<MakeupLegendRow> legendRows() const override;

private:
    friend class TqelGrigliaEsiti;

    void defineFields();
    void loadGrid();
    void showFocusedCell(int col, int row);
    // The cell's value in cdsEsiti (grid coordinates); invalid on the name column.
    QVariant value(int col, int row) const;
    void setValue(int col, int row, const QVariant &value);
    // The write of an outcome (0: none) to every record of a cell as read, for the one save
    // routine.
    TqevScrittura scrittura(int col, int row, int iEreId, const QVariant &shown);
    // The cell's records as stored now, shown.
    void rereadCell(int col, int row);
    // Writes the outcome of a weight (none: clears it) to the focused cell's records.
    void writeOutcome(std::optional<int> weight);
    void digitTyped(int digit);
    void tbDelSngClick();
    void tbDelAllClick();

    // Every record of each cell as the window read it, or last wrote it.
    QHash<MakeupCell, QList<MakeupRecord>> m_letti;
    // The subjects' iMatId as text (the field names) and short texts, in subject order.
    QStringList m_materie;
    QStringList m_titoli;
    TClientDataSet m_cdsEsiti;

    QLabel *m_lblTipo;
    QLabel *m_lblEsito;
    TqelGrigliaEsiti *m_grid;
};
