#pragma once

#include "makeup/qelmakeuprecords.h"
#include "makeup/qevrdettrec.h"

// The detail panel over TRec_Recuperi. Every assignment and deletion is written at once; the
// host's grid learns the result through recuperoScritto, and only after the statement
// succeeded, so that a refused write leaves the grid showing what the database holds.
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
    // Inserts a record for the cell, or (after asking) rewrites the cell's record, with the
    // panel's type, outcome and dates (empty dates as NULL).
    void AssegnaRecupero() override;
    void CancellaRecupero() override;
    bool SelezionaTipoDaPeso(int weight) override;

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

    MakeupRecords m_data;
    int m_iAnsId = 0;
    int m_iFreId = 0;
    // Set while the panel fills its controls, whose change signals then save nothing.
    bool m_loading = false;
};
