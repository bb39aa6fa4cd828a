#pragma once

// TqelStringGrid: the grid every grade frame places on its page. Its cells carry, beside the
// text, a record (qevrecords.h) describing the stored datum; the grid knows the frame's data
// kind (TipoDati) and entry mode (TipoCar) and from them where the records hang, which cells
// the cursor skips, how cells are coloured and what the help panel says. It loads and saves
// nothing: frames fill it and read it back.
//
//   grid.setTipoCar(tcClasse); grid.setTipoDati(tdVoti);
//   grid.setObjects(c, r, rec); grid.setCells(c, r, rec->sValSDesc);
//   grid.setPanelHlp(label);               // the help text of the selected cell goes there
//   grid.setModificato(false);             // after loading or saving: no cell changed
//   grid.CellaModificata(c, r)             // typed into (or SegnaModificata) since then
//
// The cursor: Enter moves to the next data cell (right, or down with ScorrOrizz off),
// wrapping at the edges and skipping locked cells; typing on a locked cell moves on and
// starts the next cell with the character. When every data cell is locked the cursor stays.
// A cell the frame's OnSelectCell refuses keeps the cursor where it is, and the help panel
// what the frame wrote there: why.

#include "gradeentry/qevrecords.h"
#include "platform/stringgrid.h"

#include <QLabel>
#include <QPointer>

#include <functional>
#include <map>
#include <utility>

class TqelStringGrid : public TVxStringGrid
{
    Q_OBJECT
public:
    explicit TqelStringGrid(QWidget *parent = nullptr);

    // Header rows and columns: the first data row and column.
    int nRowIntest() const { return m_nRowIntest; }
    void setnRowIntest(int rows) { m_nRowIntest = rows; }
    int nColIntest() const { return m_nColIntest; }
    void setnColIntest(int cols) { m_nColIntest = cols; }
    // Enter moves right (true) or down (false).
    bool ScorrOrizz() const { return m_scorrOrizz; }
    void setScorrOrizz(bool on) { m_scorrOrizz = on; }
    QLabel *PanelHlp() const { return m_panelHlp; }
    void setPanelHlp(QLabel *panel) { m_panelHlp = panel; }

    int TipoCar() const { return m_tipoCar; }
    void setTipoCar(int tipoCar) { m_tipoCar = tipoCar; }
    int TipoDati() const { return m_tipoDati; }
    void setTipoDati(int tipoDati) { m_tipoDati = tipoDati; }

    // Which subject text the headers show: 0 user code, 1 abbreviation, 2 description. Not
    // for credits, judgments, outcomes and per-subject notes, which have no subject headers.
    int DescrRow1() const { return m_descrRow1; }
    void setDescrRow1(int which);
    // Which component text the headers show (vote kinds 0-2): 0 abbreviation, 1 description.
    int DescrRow2() const { return m_descrRow2; }
    void setDescrRow2(int which);
    // Width of every data column (judgment columns keep theirs), height of every row, width
    // of column 0. Widths are the stored ones, which the grid scales (LarghezzaScalata).
    int nColDim() const { return m_nColDim; }
    void setnColDim(int width);
    int nRowDim() const { return m_nRowDim; }
    void setnRowDim(int height);
    int nNomeDim() const { return m_nNomeDim; }
    void setnNomeDim(int width);
    // Outline the selected cell's row and column; fill insufficient votes.
    bool EvRowCol() const { return m_evRowCol; }
    void setEvRowCol(bool on);
    bool EvInsuff() const { return m_evInsuff; }
    void setEvInsuff(bool on);
    // A column's width as the display parameters and the frames give it: measured for an
    // 8-point system font of 96-dpi screens, it is scaled by the grid font's average character
    // width, and scaled again when the font changes.
    void setLarghezza(int col, int width);
    int LarghezzaScalata(int width) const;
    // What each data column may hold (a vote column its scale's levels): no column is narrower
    // than the widest of those texts, of what its cells hold now, or of the first word of its
    // headers (the whole header in its tooltip), in the grid's font; where the grid has room
    // to spare, the headers read whole. The frames call it once the grid is loaded; a value
    // written afterwards widens its column at once. A width the user drags (the border of a
    // header) is kept as it is.
    void AdattaLarghezze(const std::function<QStringList(int col)> &valori = {});
    // The last column takes the room the others leave (the judgments' text).
    void setUltimaEstesa(bool on);
    // Widths the office dragged: what names a column among the grid's (its headers: subject
    // code and component, else the caption; "#0" the names' column), a width given back in the
    // stored unit, told as the office lets the border go; and forgotten.
    QString ChiaveColonna(int col) const;
    void setLarghezzaTrascinata(int col, int width);
    std::function<void(int col, int width)> OnLarghezzaTrascinata;
    void DimenticaTrascinate();

    // Whether a cell marked since loading differs from what was loaded: a text typed and
    // refused, then put back with Esc, leaves the grid unmodified. Whether a cell differs asks
    // OnDiversa (the frame compares the record with what it read), else compares the cell's text
    // with the one it had when first marked. Clearing the flag clears every cell's mark, so a
    // frame clears it after loading and after saving; setting it marks the grid modified
    // whatever its cells hold (an edit that no cell shows).
    bool Modificato() const;
    void setModificato(bool on);
    // Whether the cell was marked and differs from what was loaded.
    bool CellaModificata(int col, int row) const;
    // Marks a cell changed: every edit does; values written by code too, such as the pick
    // dialog's choice.
    void SegnaModificata(int col, int row);
    // Whether the cell's text differs from the one it had when first marked.
    bool TestoCambiato(int col, int row) const;
    std::function<bool(int col, int row)> OnDiversa;

    // Move the cursor one data cell forward or back (by ScorrOrizz), wrapping at the edges
    // and skipping locked cells; false when the cursor did not move (refused, or every other
    // cell locked).
    bool NextCell();
    bool PrevCell();

    // The record of a position by the kind's rule: notes, debts and credits hang one record
    // per row on column 1 outside class mode, every other kind on its own cell. Null outside
    // the grid or when the cell has none.
    std::shared_ptr<TVxGridObject> RecordOf(int col, int row) const;
    // Whether the cursor may not enter the position (vote kinds, notes, debts, and credits
    // without a situation).
    bool Bloccata(int col, int row) const;
    // A cell's record, null outside the grid: reads past the end are not errors here.
    template <typename T> std::shared_ptr<T> RecordAt(int col, int row) const
    {
        return std::dynamic_pointer_cast<T>(objectAt(col, row));
    }

protected:
    bool SelectCell(int col, int row) override;
    void SetEditText(int col, int row, const QString &value) override;
    void KeyPress(QChar &key) override;
    void DrawCell(QPainter &painter, int col, int row, const QRect &rect,
                  TGridDrawState state) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void ColSized(int col) override;
    void CellTextChanged(int col, int row) override;

private:
    std::shared_ptr<TVxGridObject> objectAt(int col, int row) const;
    bool stepCursor(bool forward);
    void advance(int &col, int &row) const;
    void retreat(int &col, int &row) const;
    QString helpText(int col, int row) const;
    // Gives a column the width it should have: the dragged one, else the stored one scaled and
    // widened to its texts (the last one stretched when it takes the room left).
    void applicaLarghezza(int col);
    // The width the column needs: the stored one scaled, widened to its texts.
    int larghezzaAdattata(int col) const;
    // Shares the room the columns leave among the headers cut to their first word.
    void distribuisciAgio();
    void estendiUltima();

    int m_nRowIntest = 1;
    int m_nColIntest = 1;
    bool m_scorrOrizz = true;
    QPointer<QLabel> m_panelHlp;
    int m_descrRow1 = 0;
    int m_descrRow2 = 0;
    int m_nColDim = 18;
    int m_nRowDim = 18;
    int m_nNomeDim = 150;
    int m_tipoCar = 0;
    int m_tipoDati = 0;
    bool m_evRowCol = false;
    bool m_evInsuff = false;
    bool m_modificato = false;                        // set whatever the cells hold
    std::map<std::pair<int, int>, QString> m_changed; // the cells marked, with their first text
    std::map<int, int> m_larghezze;                   // unscaled, by column
    std::map<int, QStringList> m_testi;               // what each column must show whole
    // What each cell holds now, where it changed since the columns were fitted (typed, chosen):
    // a text put back (Esc) takes back the room its longer one had.
    std::map<int, std::map<int, QString>> m_scritti;
    // Pixels beyond its fitted width that a column takes from the grid's spare room, so that
    // its headers read whole rather than by their first word.
    std::map<int, int> m_agio;
    std::map<int, int> m_trascinate; // pixels, the columns the user sized
    bool m_ultimaEstesa = false;
    int m_selCol = -1;
    int m_selRow = -1;
};
