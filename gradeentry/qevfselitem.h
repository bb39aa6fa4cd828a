#pragma once

// TfmqevSelItem: the one pick dialog of grade entry, a small tool window on top of the grade
// windows that fills the current cell of a grade grid without typing: a list to pick from
// (levels, teachers, debt types and outcomes, commendations, final outcomes), a calendar for
// dates or a memo for free text. "Assegna" writes the choice into the record behind the cell
// and into the cell, then walks to the next cell (locked cells skipped) and prepares itself for
// the value found there; "Precedente" and "Successiva" walk without writing. Not modal, one
// instance at a time, shared by every frame. Its caption names what it writes and whose cell
// it is ("Seleziona Livello - Rossi Mario, Italiano"), and it stands beside that cell's row,
// never over it, as the walk goes on.
//
// How a frame opens it (its "Selezione dati..."):
//
//   TfmqevSelItem *pick = TfmqevSelItem::Apri(this, grGrid);   // created, or the open one
//   pick->ValIdCorrente = rec->iValId;       // or pick->SetDataSelItem(date),
//                                            // or pick->SetTestoNota(text)
//   pick->PreparaSelItem(TfmqevSelItem::skVoto);
//   pick->Mostra();
//
// The kind tells the dialog what to show and where the choice goes (the record column is 1
// for per-pupil and per-subject grids, where notes, debts and credits hang one record per row;
// the current cell for per-class grids):
//
//   0 1 2   level of a vote / proposed vote / taxonomy   TRecVal of the cell: the level
//   8 9     teacher of a note (class / institute)        TRecNot iAnaId, sDocNome
//   10      date of a note                               TRecNot dNotData
//   13      text of a note ("Sì" in the cell)            TRecNot bNotNota
//   11 12   debt dates of assignment / verification      TRecDeb dDebAttr / dDebVer
//   14 15   debt type / debt outcome                     TRecDeb iDtpDtdId+sDtdLDesc /
//                                                                 iDesDedId+sDedLDesc
//   16 18   assigning teacher (class / institute)        TRecDeb iAnaId_Attr, sDocAttr
//   17 19   verifying teacher (class / institute)        TRecDeb iAnaId_Ver, sDocVer
//   20      note of a debt ("Sì" in the cell)            TRecDeb slNota
//   21      commendation of a credit row                 TRecCre iEncId, sEncSDesc
//   22      note of a credit row ("Sì" in the cell)      TRecCre lsNota
//   23      judgment text (trimmed in the cell)          TRecGdz of column 1: bGdzGiudizio
//   25      final outcome ("Applica a tutta la colonna"  TRecFin of column 1: iPosFinId,
//           in a per-class grid)                                  sStaFinDettSDesc
//
// After a walk on a per-pupil or per-subject grid of notes (columns 1 date, 2 teacher, 3 text)
// or of debts (columns 3 to 9: 11, 14, 12, 15, 16, 17, 20) the dialog prepares itself for the
// new cell's column; on a per-pupil credits grid it walks from row to row on column 8, the
// note (22).
//
// Every written cell is marked changed in the grid (SegnaModificata), so the frame's save
// writes it. Choosing with no current data cell, or on a locked cell, writes nothing. Lists are
// read when the kind changes (levels once per kind, whatever the column's scale); walking
// along cells of one kind only moves the selection. The dialog closes itself ("Chiudi", the
// close box), the grade windows close it when they close, and it dies with the frame that
// owns it: the launcher's guarded pointer (SelItemAperto) never outlives it.

#include "gradeentry/qevmemo.h"
#include "gradeentry/qevvalstore.h"
#include "platform/dialogs.h"

#include <QDate>
#include <QPointer>

class QAction;
class QCalendarWidget;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class TqelStringGrid;
struct TRecCmp;
struct TRecDeb;
struct TRecNot;

class TfmqevSelItem : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    enum TTipoSel {
        skVoto = 0,
        skProposto = 1,
        skTassonomia = 2,
        skDocenteNota = 8,
        skDocenteNotaIstituto = 9,
        skDataNota = 10,
        skDataAttr = 11,
        skDataVer = 12,
        skTestoNota = 13,
        skTipoDebito = 14,
        skEsitoDebito = 15,
        skDocAttr = 16,
        skDocVer = 17,
        skDocAttrIstituto = 18,
        skDocVerIstituto = 19,
        skNotaDebito = 20,
        skEncomio = 21,
        skNotaCredito = 22,
        skGiudizio = 23,
        skEsito = 25,
    };

    explicit TfmqevSelItem(QWidget *owner = nullptr);
    ~TfmqevSelItem() override;

    // The open dialog, else a new one owned by the frame (it closes with the frame's window);
    // either way serving the grid.
    static TfmqevSelItem *Apri(QWidget *owner, TqelStringGrid *grid);
    // Shows it, not modal, on top, with the keyboard in its list, calendar or memo.
    void Mostra();
    // While one lives, Mostra shows the dialog following the grid without taking the keyboard
    // from it: a click in the grid, a page entered.
    struct Seguendo
    {
        Seguendo() { ++s_seguendo; }
        ~Seguendo() { --s_seguendo; }
        Seguendo(const Seguendo &) = delete;
        Seguendo &operator=(const Seguendo &) = delete;
    };

    int TipoSel = -1;      // the kind prepared for; -1 until the first
    int ScaIdCorrente = 0; // the grading scale of the level list
    int ValIdCorrente = 0; // the key to preselect in the list
    QPointer<TqelStringGrid> Griglia;

    // Prepares for a kind: caption, list, calendar or memo; the list read only when the kind
    // (for levels: the column's scale) changed. Then selects ValIdCorrente in the list.
    void PreparaSelItem(int kind);
    // The calendar's date; an invalid date shows today.
    void SetDataSelItem(const QDate &date);
    // The memo's text (a note, a judgment). A text given back unchanged keeps its line breaks
    // as they were stored.
    void SetTestoNota(const QString &text);
    // Prepares for a part of a note (none: an empty one): 0 its date, 1 its teacher, 2 its
    // text; another part prepares nothing.
    void PreparaNota(const TRecNot *nota, int parte);
    // Prepares for the attribute of a debt that a column of the debts grid shows: 3 the date
    // of assignment, 4 the type, 5 the date of verification, 6 the outcome, 7 and 8 the
    // teachers, 9 the note; another column prepares nothing.
    void PreparaDebito(const TRecDeb &deb, int colonna);
    // Selects the item with the key; when none has it, the item selected before (or the
    // first) stays selected.
    void SelezionaItem(int id);
    // Writes the choice into the current cell (with assegna) and walks to the next (avanti)
    // or previous cell.
    void AssegnaCella(bool assegna, bool avanti);

    // The key of the selected item; 0 when none is selected.
    int ItemSelezionato() const;

    QPushButton *buDocIst = nullptr; // "Doc. istituto": a teacher list of the institute
    QWidget *pSearch = nullptr;      // "Cerca" with eFind
    QLineEdit *eFind = nullptr;
    QCalendarWidget *mcData = nullptr;
    QPlainTextEdit *meNota = nullptr;
    QTreeWidget *lvItems = nullptr;
    QAction *tbPrior = nullptr; // "Precedente"
    QAction *tbNext = nullptr;  // "Successiva"
    QCheckBox *cbAll = nullptr; // "Applica a tutta la colonna" (final outcome, per class)

protected:
    // "Assegna" assigns and stays open.
    void OkClick() override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chiuso();
    void buOkClick();
    void buDocIstClick();
    void eFindChange(const QString &text);
    void ricostruisci(int kind);
    void riempiLista(int kind);
    // The component header of the grid's current column (its scale decides the level list).
    std::shared_ptr<TRecCmp> componenteCorrente() const;
    // After a walk on per-pupil and per-subject grids: the kind of the new cell's column.
    void preparaDaCella();
    void muovi(bool avanti);
    void muoviRiga(bool avanti);
    // The caption names what is written and whose cell it is (the pupil, the subject); the
    // dialog stands beside the cell's row. After every preparation and walk.
    void seguiCella();
    QString cellaServita() const;
    QTreeWidgetItem *scelto() const;
    QString testoMemo() const;
    QStringList righeMemo() const;
    QString testoData() const;
    bool lista() const;

    static inline int s_seguendo = 0;
    TqevValStore m_livelli;
    int m_livelliTipo = -1; // the kind whose levels m_livelli holds
    TqevTestoMemo m_memo;
};
