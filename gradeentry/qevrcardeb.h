#pragma once

// TfrqevCarDeb: the "Debiti" page: the subjects in which a pupil ends the year with a debt,
// each with its dates of assignment and verification, its type, its outcome, the teachers who
// assign and verify it and a note (TDEB_DEBITI, one row per pupil situation and subject, in
// the school year of the open class session).
//
//   frame->grVoti = votes->grGrid; frame->grProposti = proposals->grGrid;   // when present
//   frame->TipoCar = tcMateria;          // the subject window: one row per pupil
//   frame->InitTipoDati(tdDebiti);
//
// Per subject (tcMateria), per pupil (tcAlunno) and in the debts window (tcDebiti) the rows
// are the class's pupils or the pupil's subjects, with columns 0 the pupil (or the subject),
// 1 "Voto prop.", 2 "Voto" (the averages in the subject), 3 "Data attr.", 4 "Debito",
// 5 "Data Ver.", 6 "Esito", 7 "Docente attr.", 8 "Docente ver.", 9 "Nota"; one debt record
// (TRecDeb) per row on column 1. Per class (tcClasse) the class's pupils by the class's
// subjects, one record per cell showing the debt's type ("Sì" for a debt without one): there
// the commands work on the type, and the other attributes are entered per pupil or per
// subject. A pupil window beside the class window takes the pupil's debts from it, unsaved
// ones too, and gives them back after its save. A subject the pupil does not take locks its
// position: no command touches it and no save writes it.
//
// Nothing is typed into a debt: its attributes come from the pick dialog ("Selezione
// dati..."), from "Assegna debito" (the defaults of the global values QELP_CarDeb_dAttr,
// QELP_CarDeb_dVer, QELP_CarDeb_Dtd, QELP_CarDeb_Ded and the subject's teacher in the class),
// Backspace clears the attribute of the current column, "Cancella" empties the debt after a
// question. In the subject window of the final session the averages follow the votes and
// proposals pages, unsaved changes included; elsewhere they come from what is stored.
//
// SaveDataDb writes only the debts changed since loading (emptied: deleted; new: inserted;
// else their changed attributes updated) through the one save routine, in its one transaction,
// and only where the stored debt still holds what the window read: a debt another office
// changed (the same attribute, or any, for a deletion), deleted or stored meanwhile is told and
// left as it stands, and saving again writes what the window shows.

#include "gradeentry/qevrcarbs.h"

#include <QPoint>

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
    void UpdateClassForm() override;
    void SetReadOnly(bool value) override;
    bool CellaDiversa(int col, int row) const override;
    void aFormSelExecute() override;
    void grGridSelectCell(int col, int row, bool &canSelect) override;
    void FrameEnter() override;

    // "Assegna debito" on the current row.
    void aDebDefExecute();
    // "Cancella" on the current row, after the question.
    void aDelExecute();
    // Both average columns of every row from the host's votes and proposals grids.
    void AggiornaMedieDaGriglie();
    // The debt of a position (per class the cell, else the row's); none on a header. A subject
    // the pupil does not take has a locked record.
    std::shared_ptr<TRecDeb> DebitoDi(int col, int row) const;
    std::shared_ptr<TRecDeb> DebitoCorrente() const;
    // The positions that hold a debt, in save order.
    QList<QPoint> Posizioni() const;

    // A pupil's average over a grid whose rows are pupils: the cells that hold a value that
    // counts in averages, are not locked and whose component counts; empty when none does.
    static QString MediaGriglia(const TqelStringGrid &grid, int iAnaId);

protected:
    void grGridKeyPress(QChar &key) override;

private:
    // The class window's debts frame, beside a pupil window (the pupil's row is RigaCls1).
    TfrqevCarDeb *frameClasse() const;
    // The row of a subject in a per-pupil grid; -1 without one.
    int rigaMateria(int iMatId) const;
    void layoutRighe();
    void layoutClasse();
    // The pupil and the subject of a position.
    bool chiaveDi(int col, int row, int &iAnaId, int &iMatId) const;
    // The column of the attribute a command works on.
    int colonnaAttributo() const;
    void mostra(int col, int row);
    // A debt the office changed: shown, marked for the save, the summary brought up to date.
    void cambiata(int col, int row);
    void mostraRiga(int row);
    bool medieDaGriglie() const;
    QString descrivi(int col, int row) const;

    bool m_readOnly = false;
};
