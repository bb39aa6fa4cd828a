#pragma once

#include "makeup/qelmakeuprecords.h"
#include "makeup/qevrdettrec.h"

// The detail panel over TRec_Recuperi. Every assignment and deletion is written at once; the
// host's grid learns the result through recuperoScritto, and only after the statement
// succeeded, so that a refused write leaves the grid showing what the database holds.
//
// Two offices: a write goes through grade entry's one save routine, only where the cell's
// first record still holds what this panel read (CaricaRecupero; none for a cell shown empty),
// in the columns it changes, every one for a deletion. Another office's record, change or
// deletion since is told by pupil and subject; the panel then shows the stored record with what
// this office chose over it, and assigning (or deleting) again writes.
class TfrQelDettRec : public TfrQevDettRec
{
    Q_OBJECT
public:
    explicit TfrQelDettRec(QWidget *parent = nullptr);

    // The phase as the grid reads its cells: the school year and the phase's iFreId.
    void SetFase(int iAnsId, int iFreId)
    {
        m_iAnsId = iAnsId;
        m_iFreId = iFreId;
    }

    // Saves an outcome or a calendar date of a shown record at once.
    void SegnaModifica() override;
    // The lists of types and outcomes read anew, then the record of RecId shown.
    void Inizializza() override;
    // Inserts a record for the cell, or (after asking, the question naming every value it
    // changes) rewrites what differs in the cell's record, with the panel's type, outcome and
    // dates (empty dates as NULL). Nothing that differs: nothing is asked or written.
    void AssegnaRecupero() override;
    void CancellaRecupero() override;
    bool SelezionaTipoDaPeso(int weight) override;
    // The pupil and subject of the cell, as messages name it.
    void SetNomi(const QString &alunno, const QString &materia)
    {
        m_alunno = alunno;
        m_materia = materia;
    }

    // Shows the record (type, outcome, dates); a key below 1 or a record that is gone leaves
    // no type, no outcome and no dates.
    void CaricaRecupero(int iRecId);

signals:
    // The cell's record now is iRecId (0: none) with the type weight peso.
    void recuperoScritto(int iSitId, int iMatId, int iRecId, int peso);
    // The cell's record went away under the grid: the host reads the cell again.
    void cellaDaRicaricare(int iSitId, int iMatId);

private:
    MakeupRecord choices() const;
    void written(int iRecId);
    // The record RecId as this panel read it (none: the cell was shown empty).
    std::optional<MakeupRecord> letto();
    // The write through the one save routine; true when it was made.
    bool scrivi(const std::optional<MakeupRecord> &letto, const MakeupRecord *nuovo);
    // Another office changed the cell: the panel shows its record, with what this office
    // chose in place of the values it changed (its type alone over a record found in an empty
    // cell).
    void prendiSalvato(const std::optional<MakeupRecord> &letto, const MakeupRecord &scelto,
                       bool assegnato);
    // The question before rewriting a record: every value it changes, from and to.
    QString domanda(const MakeupRecord &letto, const MakeupRecord &nuovo) const;

    MakeupRecords m_data;
    std::optional<MakeupRecord> m_letto;
    QString m_alunno;
    QString m_materia;
    int m_iAnsId = 0;
    int m_iFreId = 0;
    // Set while the panel fills its controls, whose change signals then save nothing.
    bool m_loading = false;
};
