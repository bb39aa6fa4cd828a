#pragma once

// TfrqevCarCre: the "Crediti" page of the class window (tcClasse) and of the pupil window
// (tcAlunno): each pupil's school credit in each course year that has a credit-band table,
// one TCRE_CREDITI row per situation, with its band chosen from the average of the final
// votes, the credit by average, the credit attributed, the regained credit ("Integrazione"),
// the commendation and the note; beside the grid, the check lists of school and training
// credits of the credit under the cursor (TfrqevCreLista).
//
//   frame->grVoti = votesFrame->grGrid;   // the host's votes grid, when it has one
//   frame->TipoCar = tcClasse;
//   frame->InitTipoDati(tdCrediti);       // the course years (ListaAnni), the grid, the load
//
// Layout. Per class: column 0 the pupils, one column per course year of ListaAnni ("3 Anno",
// ...), one credit record (TRecCre) per cell, the cell showing the value of the display mode
// (ModoCre: credit by average, training-and-school credit, suspended, regained, credit,
// commendation, note; chosen from the menu of tbSelCar). Per pupil: one row per course year,
// its record on column 1, columns "Anno", "Classe", "Media", "Banda", "Min-Max", "Cr. media",
// "Credito", "Integrazione", "Nota". A record without a situation (the pupil was not in that
// course year) is drawn black and never entered or written.
//
// Typing changes the text; the record takes the number when the cursor leaves the cell. The
// credit attributed goes through the credit rule (TqevRegoleValori::CreditoNellaBanda) against
// the bands of the row's course year as the database holds them, the other values must be whole
// numbers from 0 that the column holds: a refused text keeps the cursor in its cell, the reason
// on the help line, and nothing is taken. The
// commendation and the note come from the pick dialog; Backspace clears them. "Calcola credito
// per media" (and "Credito minimo", "Credito massimo") takes the band of the average on the
// last course year: its minimum as credit by average, its maximum (display parameter
// SetMaxCre) or minimum as credit.
//
// Entering the page the first time after a load stores an empty row for every situation
// without one, so that the check lists can mark it; a row another office stored meanwhile is
// taken, not stored again. SaveDataDb writes first the check lists' ticks the database refused
// when they were made, then only the rows changed since loading (of a stored row, the values
// changed, and only where they still hold what the window read: another office's credit is
// told, and saving again writes over it), in the one transaction of the one save routine. A
// per-pupil frame beside the class window takes the pupil's records from that window's grid and
// gives them back after its save.

#include "gradeentry/qevcrestore.h"
#include "gradeentry/qevrcarbs.h"

#include <QStringList>

class QMenu;
class QPainter;
class QRect;
class QSplitter;
class QToolButton;
class TfrqevCreLista;
class TqelStringGrid;

class TfrqevCarCre : public TfrqevCarBs
{
    Q_OBJECT
public:
    explicit TfrqevCarCre(QWidget *parent = nullptr);
    ~TfrqevCarCre() override;

    // Display modes of the class grid: what each cell shows and takes.
    enum TModoCre {
        mcPerMedia = 0,
        mcFrmSco = 1,
        mcSosp = 2,
        mcRecup = 3,
        mcCredito = 4,
        mcEncomio = 5,
        mcNota = 6
    };

    // The course years shown: item 0 empty, then "<n> Anno" with the band type as its number.
    QStringList ListaAnni;
    QList<int> TipiBanda; // parallel with ListaAnni (0 for item 0)
    int ModoCre = mcCredito;
    int iCreIdCorrente = 0;           // the credit the check lists show
    TqelStringGrid *grVoti = nullptr; // the host's votes grid; none without a votes page

    QWidget *paFrmSco;           // the two check lists
    TfrqevCreLista *frqevCreSco; // "Crediti scolastici"
    TfrqevCreLista *frqevCreFrm; // "Crediti formativi"
    QAction *aCalcCreMed;        // "Calcola credito per media" (tbCalc)
    QAction *aCreMin;            // "Credito minimo" (tbCreMin)
    QAction *aCreMax;            // "Credito massimo" (tbCreMax)
    QToolButton *tbSelCar;       // the display modes' menu
    QMenu *pmCrediti;            // aCrePerMedia ... aCreNota, in mode order
    QList<QAction *> AzioniModo; // the seven mode actions, by mode

    void InitTipoDati(int TipoDati) override;
    void LoadData() override;
    bool SaveDataDb() override;
    void LoadFromClassForm() override;
    void UpdateClassForm() override;
    void SetReadOnly(bool value) override;
    bool CellaDiversa(int col, int row) const override;
    // A year's row opens to a credit, or closes, with the final outcome stored.
    bool Segue(int tipoDati) const override;
    bool Rileggi() override;
    void aFormSelExecute() override;
    void grGridSelectCell(int col, int row, bool &canSelect) override;
    void FrameEnter() override;

    // Shows every cell in the display mode.
    void VisualizzaModo(int modo);
    // The calculation on the current cell's record; massimo chooses the band's maximum as
    // the credit.
    void CalcolaCredito(bool massimo);
    // The band of the record's average: the average stored into the record, the band's
    // fields copied (cleared when no band holds it). Gives the band's credit range.
    void CalcolaBanda(TRecCre &rec, int &creMin, int &creMax);
    // Stores an empty row for every situation without one; true when nothing failed.
    bool CreaRigheVuote();

    // The record of a position: the cell per class, column 1 per pupil.
    std::shared_ptr<TRecCre> RecordDi(int col, int row) const;

protected:
    void grGridKeyPress(QChar &key) override;

private:
    void aggiornaCella();
    void layoutPerAlunni();
    void layoutPerAnni();
    void leggiAnni();
    void mostraRiga(int row);
    QString testoModo(const TRecCre &rec, int modo) const;
    // Takes the number typed into the cell being left; false with the reason a text is refused
    // for (the cursor then stays, the text in the cell).
    bool prendiDigitato(int col, int row, QString &motivo);
    bool modificabile(int col, int row) const;
    bool ultimaColonna(int col, int row) const;
    QString descriviCella(const TRecCre &rec, int row) const;
    // The class window's credits frame, when this per-pupil frame works beside it.
    TfrqevCarCre *frameClasse() const;
    // Both lists at the record's credit (after asking about unsaved ticks); false: stay.
    bool puntaListe(const std::shared_ptr<TRecCre> &rec, bool chiedi);
    void disegna(QPainter &painter, int col, int row, const QRect &rect);
    // A written row into its record: the key, the values as stored, the cell shown again.
    void prendiSalvata(TRecCre &rec, int iCreId, const TValCredito &salvati, int col, int row);
    // A row another office changed since it was read, into its record: its values, but those
    // this office changed; the cell shown again.
    void prendiCambiata(TRecCre &rec, const TVxRiga &ora, int col, int row);
    // The writes through the one save routine; then the check lists follow the cursor's
    // credit again. True when every write was saved.
    bool scrivi(const QList<TqevScrittura> &scritture, const TqevVerifica &verifica);

    QSplitter *m_divisore;
    QSplitter *m_liste;
    QList<TqevBanda> m_bande;
    QHash<int, QList<TqevBanda>> m_bandeCorsi; // every course year's bands, by iAcsId
    bool m_readOnly = false;
    bool m_righeCreate = false; // the empty rows of this load are stored
};
