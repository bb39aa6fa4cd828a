#pragma once

// TfrqevCarDeb: the "Debiti" page: the subjects in which a pupil ends the year with a debt,
// each with its dates of assignment and verification, its type, its outcome, the teachers who
// assign and verify it and a note (TDEB_DEBITI, one row per pupil situation and subject, in
// the school year of the open class session).
//
//   frame->grVoti = votes->grGrid; frame->grProposti = proposals->grGrid;   // when present
//   frame->TipoCar = tcMateria;          // the subject window: one row per pupil
//   frame->InitTipoDati(tdDebiti);       // or tcDebiti: one pupil, one row per subject
//
// Columns: 0 the pupil (or the subject), 1 "Voto prop.", 2 "Voto" (the averages in the
// subject), 3 "Data attr.", 4 "Debito", 5 "Data Ver.", 6 "Esito", 7 "Docente attr.",
// 8 "Docente ver.", 9 "Nota"; one debt record (TRecDeb) per row on column 1. A subject the
// pupil does not take locks its row: no command touches it and no save writes it.
//
// Nothing is typed into a debt: its attributes come from the pick dialog ("Selezione
// dati..."), from "Assegna debito" (the defaults of the global values QELP_CarDeb_dAttr,
// QELP_CarDeb_dVer, QELP_CarDeb_Dtd, QELP_CarDeb_Ded and the subject's teacher in the class),
// Backspace clears the attribute of the current column, "Cancella" empties the debt after a
// question. In the subject window of the final session the averages follow the votes and
// proposals pages, unsaved changes included; elsewhere they come from what is stored.
//
// SaveDataDb writes only the debts changed since loading (emptied: deleted; new: inserted;
// else updated), each in its own transaction through the one save routine.

#include "gradeentry/qevrcarbs.h"

class TqelStringGrid;

class TfrqevCarDeb : public TfrqevCarBs
{
    Q_OBJECT
public:
    explicit TfrqevCarDeb(QWidget *parent = nullptr);

    // The host's votes and proposed-votes grids (subject window), each only when its page is
    // entered for the class session.
    TqelStringGrid *grVoti = nullptr;
    TqelStringGrid *grProposti = nullptr;

    QAction *aDebDef; // "Assegna debito" (ToolButton2)
    QAction *aDel;    // "Cancella" (tbDel)

    void InitTipoDati(int TipoDati) override;
    void LoadData() override;
    bool SaveDataDb() override;
    void LoadFromClassForm() override;
    void SetReadOnly(bool value) override;
    void aFormSelExecute() override;
    void grGridSelectCell(int col, int row, bool &canSelect) override;
    void FrameEnter() override;

    // "Assegna debito" on the current row.
    void aDebDefExecute();
    // "Cancella" on the current row, after the question.
    void aDelExecute();
    // Both average columns of every row from the host's votes and proposals grids.
    void AggiornaMedieDaGriglie();
    // The debt of a row; none on a header row. A locked row's record is locked.
    std::shared_ptr<TRecDeb> DebitoDi(int row) const;

    // A pupil's average over a grid whose rows are pupils: the cells that hold a value that
    // counts in averages, are not locked and whose component counts; empty when none does.
    static QString MediaGriglia(const TqelStringGrid &grid, int iAnaId);

protected:
    void grGridKeyPress(QChar &key) override;

private:
    // The pupil and the subject of a row.
    bool chiaveDi(int row, int &iAnaId, int &iMatId) const;
    void mostraRiga(int row);
    bool medieDaGriglie() const;
    QString descriviRiga(int row) const;

    bool m_readOnly = false;
};
