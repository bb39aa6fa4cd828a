#pragma once

// TfrqevCarNot: the grade frame of notes (kind 5). A note belongs to a pupil and a subject of
// the class session and has a date, the teacher who gives it and a free text (TNOT_NOTE,
// through TqevNotStore). Notes are never typed: their values come from the pick dialog
// ("Selezione dati..."); Backspace clears the part of the note the cell shows, "Cancella nota"
// the whole note.
//
//   frame->TipoCar = tcClasse;     // or tcAlunno, tcMateria
//   frame->InitTipoDati(tdNote);   // lays out the grid and loads it (Carica)
//
// Layout:
//   per class    rows the pupils (TRecAna), columns the class session's subjects (TRecMat): a
//                note per cell, the cell showing the part ModoNota chooses (the "Carica" menu:
//                0 "Data nota", 1 "Docente nota", 2 "Nota", shown as "Sì"); a subject off the
//                pupil's plan of studies is a locked, empty note
//   per pupil    rows the pupil's subjects (TRecMat), columns 1 "Data", 2 "Docente", 3 "Nota"
//   per subject  rows the pupils, the same columns; the subject's TRecMat on cell (0, 0)
// outside class mode the row's note hangs on column 1.
//
// SaveDataDb writes the notes changed since loading through the one save routine, each checked
// against what was read (TqevNotStore::Righe): an emptied stored note is deleted (its record
// forgets the key, so a note entered there again is one new row), a new note inserted once a
// note another writer holds in the cell is waited for, a changed one updated; a note another
// office changed is told and left as typed. A per-pupil frame beside the class
// window reads its notes from the class window's notes grid and writes back its saved notes.

#include "gradeentry/qevnotstore.h"
#include "gradeentry/qevrcarbs.h"

class QMenu;

class TfrqevCarNot : public TfrqevCarBs
{
    Q_OBJECT
public:
    explicit TfrqevCarNot(QWidget *parent = nullptr);

    // Which part the per-class grid shows: 0 the date, 1 the teacher, 2 the text.
    int ModoNota = 2;

    QAction *aDataNota = nullptr; // "Data nota"
    QAction *aDocNome = nullptr;  // "Docente nota"
    QAction *aNota = nullptr;     // "Nota"
    QAction *aDel = nullptr;      // "Cancella nota"
    QAction *tbSelCar = nullptr;  // the "Carica" menu button (per class only)
    QMenu *pmNote = nullptr;
    QLabel *laVoti = nullptr;

    void InitTipoDati(int TipoDati) override;
    void LoadData() override;
    bool SaveDataDb() override;
    void LoadFromClassForm() override;
    void UpdateClassForm() override;
    void SetReadOnly(bool value) override;
    bool CellaDiversa(int col, int row) const override;
    void aFormSelExecute() override;
    void grGridSelectCell(int col, int row, bool &canSelect) override;

    // The three display actions of the "Carica" menu.
    void aDataNotaExecute(QAction *action);
    // "Cancella nota": empties the current note after asking; the next save deletes it.
    void aDelExecute();
    // Rewrites every cell's text from its note for the part to show.
    void MostraNote(int modo);

protected:
    void grGridKeyPress(QChar &key) override;

private:
    void layoutNote();
    // The part of the note the current cell stands for: 0 date, 1 teacher, 2 text; -1 none.
    int parteCorrente() const;
    std::shared_ptr<TRecNot> notaCorrente() const;
    // The subject and the pupil situation a note of the grid belongs to.
    std::shared_ptr<TRecMat> materiaDi(int col, int row) const;
    int situazioneDi(int row) const;
    void mostraRiga(int row);
    // The class window's notes frame and the column of a subject in its grid.
    TfrqevCarNot *frameClasse() const;
    int colonnaClasse(const TfrqevCarNot &cls, int iClsSesMatId) const;

    TqevNotStore m_store;
    bool m_readOnly = false;
};
