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
// subject the pupil does not take is locked. Per pupil: column 0 the pupil's subjects, row 0
// his components (absences and aids: one column, "Assenze" or "Aiuti"); a component the
// pupil's plan does not give the subject is locked.
//
// A per-pupil frame beside the class or subject window (TdmqevActivations::FinestraOrigine)
// takes that window's values for the pupil, typed and unsaved ones included, and gives its
// own back: each saved cell at once (its new key, so that the other window's save updates the
// row instead of inserting it again), every cell after a whole save (UpdateClassForm).
//
// Typing changes only the text; the record follows when the cursor leaves the cell, through
// grGridSelectCell: a level's short text of the column's scale (exact, case counts), a whole
// number of hours from 0, an aid of at most 4 characters. A refused text keeps the cursor; the
// warning comes from ValidaCella. A text equal to the record's stored one is accepted as it is,
// so a vote whose level was deleted since can still be left, saved and closed.
//
// SaveDataDb writes only the cells changed since loading (text emptied: delete; a value with no
// row: insert with a new key; a changed value: update) through the one save routine, each
// checked against what its row holds now (TqevValStore::Righe).

#include "gradeentry/qevrcarbs.h"
#include "gradeentry/qevvalstore.h"

class QPoint;
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
    // "Importa da carriera" and "Esporta a carriera" (buttons tbImportQualif, tbExportQualif):
    // hidden and disabled unless the subject window binds them.
    QAction *aImpQualif = nullptr;
    QAction *aExpQualif = nullptr;

    // The kind's values and levels.
    TqevValStore &Store() { return m_store; }

    // Writes a value into a data cell as if typed and accepted: the level of the column's scale
    // whose short text it is (vote kinds), the hours, the aid's text; an empty text empties
    // the cell. False, the cell unchanged, for a locked cell or a text the cell refuses.
    bool ScriviCella(int col, int row, const QString &text);

    void InitTipoDati(int TipoDati) override;
    void LoadData() override;
    bool SaveDataDb() override;
    void LoadFromClassForm() override;
    void UpdateClassForm() override;
    void SetReadOnly(bool value) override;
    bool CellaDiversa(int col, int row) const override;
    void aFormSelExecute() override;
    void grGridSelectCell(int col, int row, bool &canSelect) override;

protected:
    void grGridKeyPress(QChar &key) override;
    void grGridSetEditText(int col, int row, const QString &value) override;

private:
    void layoutPerAlunni();
    void layoutPerMaterie();
    // Per pupil: every cell from the stored values and, beside the class or subject window,
    // from that window's row of the pupil.
    void caricaPerMaterie(const QHash<TqevChiaveVal, TqevValore> &stored);
    // The stored value a data cell stands for; false for a cell without subject or pupil.
    bool chiaveDi(int col, int row, TqevChiaveVal &key) const;
    // Brings the record into line with the cell's text: false when the text is refused, with
    // the refused value and what the cell takes in motivo; aggiornata tells whether the record
    // took a value.
    bool accetta(int col, int row, bool &aggiornata, QString &motivo);
    // Backspace that left the cell empty: the record forgets its level at once.
    void azzera(int col, int row);
    // Per-pupil cells into the same cells of the window the frame works beside.
    void riporta(const QList<QPoint> &celle);
    QString descriviCella(int col, int row) const;

    TqevValStore m_store;
    bool m_backspace = false;
    int m_iSitId = 0; // per pupil: the pupil loaded, whom the save writes for
};
