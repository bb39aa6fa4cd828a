#pragma once

// TfrqevCarVot: the grade frame of the five vote kinds, which share one cell record (TRecVal)
// and one store (TqevValStore): votes (tdVoti), proposed votes (tdProposti), taxonomies
// (tdTassonomie), absence hours (tdAssenze) and aids (tdAiuti).
//
//   frame->TipoCar = tcClasse;
//   frame->InitTipoDati(tdVoti);   // lays out pupils x (subject, component), loads, levels
//
// Layout in class and subject mode: column 0 the pupils (TRecAna), row 0 the subjects
// (TRecMat) and, for the kinds with levels, row 1 the components (TRecCmp); a cell of a
// subject the pupil does not take is locked. (The per-pupil layout comes with the pupil
// window.)
//
// Typing changes only the text; the record follows when the cursor leaves the cell, through
// grGridSelectCell: a level's short text of the column's scale (exact, case counts), a whole
// number of hours from 0, an aid of at most 4 characters. A refused text keeps the cursor; the
// warning comes from ValidaCella. A text equal to the record's stored one is accepted as it is,
// so a vote whose level was deleted since can still be left, saved and closed.
//
// SaveDataDb writes only the cells changed since loading (text emptied: delete; a value with no
// row: insert with a new key; a changed value: update), each in its own transaction through the
// one save routine.

#include "gradeentry/qevrcarbs.h"
#include "gradeentry/qevvalstore.h"

class TfrqevEsMeCr;

class TfrqevCarVot : public TfrqevCarBs
{
    Q_OBJECT
public:
    explicit TfrqevCarVot(QWidget *parent = nullptr);

    // "Passaggio voti proposti a voti" (button tbPassaggio): shown on the votes page when the
    // class session enters both votes and proposed votes; the host window binds it.
    QAction *aPass = nullptr;
    // The outcome, average and credit side frame: never filled here, kept hidden.
    TfrqevEsMeCr *frqevEsMeCr1 = nullptr;

    // The kind's values and levels.
    TqevValStore &Store() { return m_store; }

    void InitTipoDati(int TipoDati) override;
    void LoadData() override;
    bool SaveDataDb() override;
    void SetReadOnly(bool value) override;
    void aFormSelExecute() override;
    void grGridSelectCell(int col, int row, bool &canSelect) override;

protected:
    void grGridKeyPress(QChar &key) override;
    void grGridSetEditText(int col, int row, const QString &value) override;

private:
    void layoutPerAlunni();
    // Backspace that left the cell empty: the record forgets its level at once.
    void azzera(int col, int row);
    QString descriviCella(int col, int row) const;

    TqevValStore m_store;
    bool m_backspace = false;
};
