#pragma once

// TfrqevCarBs: the base of every grade frame (votes and the other vote kinds, notes, credits,
// debts, judgment, final outcome). It owns the grade grid with its help panel and summary
// label, the frame's tool bar and actions, and the protocol a host window drives:
//
//   frame->TipoCar = tcClasse;        // the entry mode, before anything else
//   frame->InitTipoDati(tdVoti);      // lays the grid out for the kind and loads it (Carica)
//   frame->ApplicaParVis();           // the grid's display parameters (the host, after loading)
//   frame->ValidaCella(message)       // before leaving: the current cell, with its warning
//   frame->Salva()                    // writes every cell changed since loading
//   frame->SetReadOnly(true)          // while a pupil window opened from this one is open
//
// A descendant implements the virtual protocol (InitTipoDati calling the base first, LoadData,
// SaveDataDb, SetReadOnly, and for per-pupil and per-subject frames LoadFromClassForm and
// UpdateClassForm) and the grid's cell check, grGridSelectCell. The frame holds no SQL: each
// data kind reads and writes through its store class, and every save goes through the one save
// routine (qevsalva.h), so a failed save leaves the grid modified and says why.
//
// Modes and kinds are those of the grid (qevparvis.h: tcClasse 0, tcAlunno 1, tcMateria 2;
// tdVoti 0 ... tdEsito 9). Rows are pupils in modes 0 and 2 (their TRecAna in column 0),
// subjects in mode 1.

#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevrecords.h"
#include "platform/frames.h"

#include <QString>

#include <functional>
#include <initializer_list>

class QAction;
class QLabel;
class QWidget;
class TqelStringGrid;
struct TqevScrittura;
struct TqevVerifica;

class TfrqevCarBs : public TfrVxBase
{
    Q_OBJECT
public:
    explicit TfrqevCarBs(QWidget *parent = nullptr);
    ~TfrqevCarBs() override;

    // ---- Fields --------------------------------------------------------------------------
    int TipoDati = 0; // the data kind, set by InitTipoDati
    int TipoCar = 0;  // the entry mode, set by the host window before InitTipoDati
    // The question asked before a save from the tool bar ("Confermi il salvataggio dei voti?").
    QString TestoConferma;
    // The current pupil's row in the class window's grids with two header rows (subject,
    // component) and with one; set by LoadFromClassForm.
    int RigaCls2 = 0;
    int RigaCls1 = 0;
    // Working lists of a per-pupil frame loaded from the class window: that window's column
    // subjects and components, and its grid row of the pupil (records as objects).
    TqevStringList ListaMat;
    TqevStringList ListaCmp;
    TqevStringList ListaRiga;
    // The pupil's own (subject, component) pairs, as the grade data module reads them;
    // emptied by InitTipoDati.
    TqevListaFiltro ListaMatAlu;
    double Media = 0;      // the pupil's average last computed by AggiornaMedia
    QString MotivoRifiuto; // why the cell check last refused the current cell

    // ---- Controls -----------------------------------------------------------------------
    TqelStringGrid *const grGrid;
    QLabel *const PanelHelp;     // the grid's help text, under the grid
    QWidget *const paName;       // top panel with laNameCaption (the pupil, per-pupil mode)
    QLabel *const laNameCaption; // kept hidden
    QWidget *const paMedia;      // on the tool bar row, right of the buttons
    QLabel *const laMedia;       // the summary label: average, totals, counts
    // The frame's actions, with their tool buttons tbSave, tbSelDati, tbSing, tbParVis,
    // tbStorico (the separator before "Parametri visualizzazione" is "tb2").
    QAction *aSave = nullptr;    // "Salva griglia"
    QAction *aFormSel = nullptr; // "Selezione dati..." (the pick dialog)
    QAction *aSingolo = nullptr; // "Singolo alunno..."
    QAction *aParVis = nullptr;  // "Parametri visualizzazione"
    QAction *aStorico = nullptr; // the pupil's history: always disabled here

    // ---- Protocol -----------------------------------------------------------------------
    // Overrides call it first: stores the kind, empties ListaMatAlu, tells the grid its mode
    // and kind, empties every cell and sets the actions visible for the kind and mode.
    virtual void InitTipoDati(int TipoDati);
    // Fills every data cell from the database; the grid is clean afterwards.
    virtual void LoadData() = 0;
    // Writes every cell changed since loading through the one save routine. False after the
    // office was told why; the grid then stays modified.
    virtual bool SaveDataDb() = 0;
    // Per-pupil frame while the class window is open: fills from that window's grid row
    // instead of the database. The base sets RigaCls2 and RigaCls1; overrides call it first.
    virtual void LoadFromClassForm();
    // Per-pupil frame, after its save: copies its values into the grid of the same kind of the
    // window it works beside (TdmqevActivations::FinestraOrigine: the class window, else the
    // subject window), so that window's later save finds them stored. A frame with nothing
    // to copy back copies nothing.
    virtual void UpdateClassForm() {}
    // True makes the grid read-only and disables the frame's saving commands; false undoes it.
    virtual void SetReadOnly(bool value) = 0;
    // Whether a cell edited since loading differs from what was read (the window is
    // "modified" only then): the record against what it last read or wrote; the base compares
    // the cell's text.
    virtual bool CellaDiversa(int col, int row) const;
    // Whether what the frame shows depends on what a page of the kind stores (the credits on
    // the final outcome, which opens or closes a year's row); the base depends on none.
    virtual bool Segue(int tipoDati) const
    {
        Q_UNUSED(tipoDati);
        return false;
    }
    // After such a page of the same window was saved: the frame reads its data again from the
    // database, and beside the class window gives that window's row of the pupil the same. False,
    // reading nothing, when that row holds what the office typed and has not saved.
    virtual bool Rileggi();

    // Loads: from the class window (per-pupil frame while it is open) or the database. Then
    // "Selezione dati..." is enabled when the grid has a data column.
    void Carica();
    // Saves: the current cell is checked first (kinds 0-4 and 6), then SaveDataDb, then a
    // per-pupil frame brings the window it works beside up to date (UpdateClassForm). False
    // when a cell was refused or the save failed (the office was told).
    bool Salva();
    // Checks the current cell through the grid's cell check; a refusal shows a warning naming
    // the cell after the caller's message ("Impossibile eseguire il salvataggio dei dati.")
    // and why the cell's text was refused.
    bool ValidaCella(const QString &messaggio);
    // The grid's display parameters of (kind, mode); the cursor on the first data cell.
    void ApplicaParVis();
    // The summary label for a pupil row (the whole grid in per-pupil mode): the pupil's stored
    // average for the vote kinds, else the absence total, the counts or the credit total.
    void AggiornaMedia(int row);

    // A pupil's display name in messages and captions: "Surname Name".
    static QString NomeAlunno(const TRecAna &ana);

    // ---- Handlers ------------------------------------------------------------------------
    // "Salva griglia": the current cell (kinds 0-4 and 6), the question TestoConferma, Salva.
    virtual void aSaveExecute();
    // "Selezione dati...": opens the pick dialog on the current cell; the base does nothing.
    virtual void aFormSelExecute() {}
    // "Singolo alunno...": opens (or reloads) the pupil window on the current row's pupil.
    void aSingoloExecute();
    // "Parametri visualizzazione": the display-parameter dialog of this grid.
    void aParVisExecute();
    // The grid's cell check: col and row are the target, the cell checked is the current one.
    // The base writes the selected pupil's caption in per-pupil mode and refuses nothing.
    virtual void grGridSelectCell(int col, int row, bool &canSelect);
    // The frame becomes the working one: the open pick dialog follows it or hides.
    void FrameEnter() override;

signals:
    // Salva stored every change.
    void salvata();

protected:
    // The grid's key and mouse hooks, for descendants that follow them.
    virtual void grGridKeyPress(QChar &key);
    virtual void grGridSetEditText(int col, int row, const QString &value);
    virtual void grGridMouseUp();
    // A character typed, F2 or a double click on a grid that takes no typing: the help line
    // says which command writes the cell, with its key.
    void grGridEditRefused();
    // The grid's cell check refused the current cell: the help panel says why (the refused
    // value and what the cell takes), and so does ValidaCella's warning.
    void Rifiuta(const QString &motivo);

    // The pupil of a row (rows are pupils).
    std::shared_ptr<TRecAna> AlunnoDi(int row) const;
    // A command of the frame's tool bar, before "Parametri visualizzazione", its button named.
    QAction *AzioneStrumenti(const char *name, const char *button, const char *caption,
                             const char *hint, int image);
    // Clears every cell's text and record and leaves a 1 x 1 grid.
    void SvuotaGriglia();
    // Every command of the frame gets its key, shown in its tooltip (InitTipoDati).
    void AssegnaTasti();
    // A per-pupil frame beside the class window: that window's frame of the same kind, when
    // its page is loaded and its row RigaCls1 is the selected pupil's; none otherwise (the
    // frame then reads the database).
    TfrqevCarBs *FrameClasseAlunno() const;

    // Frames of one datum per pupil (judgment, final outcome), from InitTipoDati: nothing is
    // typed into the grid and no summary shows. Per class: the pupils, and one data column
    // with its caption and width whose record hangs on (1, r). Per pupil the grid is hidden
    // with the named tool-bar actions, and the record hangs on (0, 0) of the hidden grid,
    // beside the class window that window's own.
    void LayoutColonnaAlunni(const QString &intestazione, int larghezza,
                             std::initializer_list<const char *> nascostePerAlunno);
    // Every pupil of the frame: where his record hangs, his situation and his name.
    void PerAlunno(
        const std::function<void(int col, int row, int iSitId, const QString &nome)> &visita) const;
    // LoadData of a frame of one datum per pupil, in one reading transaction: the read (of the
    // whole class, iSitId 0, or of the pupil), then PerAlunno; the grid clean afterwards.
    void CaricaPerAlunno(
        const std::function<void(int iSitId)> &leggi,
        const std::function<void(int col, int row, int iSitId, const QString &nome)> &visita);
    // Every data position in save order: per class each cell, column by column; else column 1
    // of each row.
    void PerCella(const std::function<void(int col, int row)> &visita) const;
    // The end of SaveDataDb: the writes through the one save routine, checked as the kind says;
    // the grid is clean once every one was saved. False after the office was told why.
    bool SalvaGriglia(const QList<TqevScrittura> &scritture, const TqevVerifica &verifica);
    // The class window's record of the selected pupil; none when there is none to share.
    std::shared_ptr<TVxGridObject> RecordClasse() const;
    // After a save: the class window's cell of the pupil shows the text, when that window
    // holds this frame's own record.
    void MostraInClasse(const QString &testo);
};

// Whether rows are pupils in an entry mode (class and subject modes).
inline bool RighePerAlunno(int tipoCar)
{
    return tipoCar == 0 || tipoCar == 2;
}
