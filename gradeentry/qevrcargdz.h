#pragma once

// TfrqevCarGdz: the grade frame of the judgment (kind 8), a free text per pupil situation and
// year-session (TGDZ_GIUDIZI, through TqevGdzStore).
//
//   per class (tcClasse, page "Giudizio")  a grid: the pupils, and one column "Giudizio"
//       (300 wide whatever the display parameters say) whose TRecGdz on (1, r) holds the text;
//       texts come from the pick dialog's memo, Backspace or "Cancella Giudizio" empty one
//   per pupil (tcAlunno, page "Finale")   the memo meGiudizio with the pupil's text; the
//       TRecGdz hangs on (0, 0) of the hidden grid. Beside the class window it is the class
//       window's own record, so a save shows at once in the class window's cell.
//
// SaveDataDb writes only the judgments whose text changed since loading, each in its own
// transaction through the one save routine: a text left empty (blanks count as empty) deletes
// the stored judgment and the record forgets its key, a new text is inserted, a changed one
// updated. The text is stored exactly as typed.

#include "gradeentry/qevfinalestore.h"
#include "gradeentry/qevmemo.h"
#include "gradeentry/qevrcarbs.h"

class QPlainTextEdit;

class TfrqevCarGdz : public TfrqevCarBs
{
    Q_OBJECT
public:
    explicit TfrqevCarGdz(QWidget *parent = nullptr);

    QPlainTextEdit *meGiudizio = nullptr;
    QAction *tbCancella = nullptr; // "Cancella Giudizio"

    void InitTipoDati(int TipoDati) override;
    void LoadData() override;
    bool SaveDataDb() override;
    void LoadFromClassForm() override;
    void UpdateClassForm() override;
    void SetReadOnly(bool value) override;
    bool CellaDiversa(int col, int row) const override;
    void aFormSelExecute() override;
    // "Cancella Giudizio": after asking, empties the current pupil's judgment (the row's, or
    // the memo); the next save deletes it.
    void tbCancellaClick();

protected:
    void grGridKeyPress(QChar &key) override;
    // The class grid takes no typing: the help panel says where a judgment is written.

private:
    void mostraMemo(const QString &text);
    void svuotaRiga(int row);

    TqevGdzStore m_store;
    TqevTestoMemo m_memo;
    bool m_readOnly = false;
    bool m_caricando = false;
};
