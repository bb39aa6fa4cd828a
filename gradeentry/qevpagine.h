#pragma once

// TqevPagine: the pages of a grade-entry window (per class, per pupil, per subject), each
// hosting the grade frame of one data kind or, on a shared page, two (the pupil's "Finale":
// judgment above final outcome). A window describes its pages in a table, in tab order; the
// pages are built with the frames CreaFrameGrado gives, every tab hidden until loaded.
//
//   static const TqevDefPagina kPagine[] = {
//       {"tsVot", "Voti", {{"frqevCarSngVot", tdVoti}}},
//       {"tsGdzFin", "Finale", {{"frqevCarSngGdz", tdGiudizio}, {"frqevCarSngFin", tdEsito}}},
//   };
//   m_pagine = new TqevPagine(this, kPagine, tdProposti);  // pcMain(): into the layout
//   m_pagine->Carica(tcAlunno, kTipi);   // the kinds to load, in order, after the choice
//   m_pagine->ChiediSalvataggio()       // before closing or moving to other data
//
// (The grade-entry windows hold it through their base, TfmqevCarBase.) A frame added to
// CreaFrameGrado appears on its page by itself; a window hands the frames of the window it
// works beside through QevGradeWindow::FrameDi.
//
// A frame is set up (TipoCar, InitTipoDati) and shown when the class session enters its kind
// and this version has a frame for it; a page shows when one of its frames does. While a typed
// page (votes to aids, credits) holds a refused cell, the page does not change and the window
// does not close. A per-class judgments page is saved, without asking, when the office leaves
// it, and read again when the office comes back to it. The save question offers every modified
// page and saves the ticked ones in the fixed order votes, proposed votes, taxonomies, absences,
// aids, notes, debts, final outcome, credits, judgments. A page saved by itself has the pages
// that depend on what it stores read again, where nothing typed is unsaved (an outcome saved on
// the pupil's "Finale" opens that year's row on "Crediti"). Ctrl+Tab and Ctrl+PgDn
// (Ctrl+Shift+Tab, Ctrl+PgUp) change the page from anywhere in the window.

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <span>

class QPainter;
class QRect;
class QTabWidget;
class QWidget;
class TfrqevCarBs;
class TqelStringGrid;

struct TqevDefFrame
{
    const char *name = nullptr; // the frame's object name ("frqevCarClsVot")
    int TipoDati = -1;
};

struct TqevDefPagina
{
    const char *tab;     // "tsVot"
    const char *caption; // "Voti"
    TqevDefFrame frames[2];
};

class TqevPagine : public QObject
{
    Q_OBJECT
public:
    // The page of the kind tipoIniziale is the active one until the pages load.
    TqevPagine(QWidget *window, std::span<const TqevDefPagina> pagine, int tipoIniziale);

    QTabWidget *pcMain() const { return m_pcMain; }

    // The frame of a data kind (none when this version has none), the page it stands on.
    TfrqevCarBs *Frame(int TipoDati) const;
    QWidget *Pagina(int TipoDati) const;
    // Whether the kind's frame is set up and shown on a shown page.
    bool Visibile(int TipoDati) const;
    // The first shown frame of the active page.
    TfrqevCarBs *FrameAttivo() const;
    QString PaginaAttiva() const;
    // Makes the shown page of a caption active; false when there is none or the current
    // page holds a refused cell.
    bool MostraPagina(const QString &caption);

    // Sets up and shows every listed kind the class session enters (in the list's order; the
    // frame loads itself), hides the others and every page left without a shown frame. The
    // active page stays when it shows, else the first shown page becomes active. After each
    // kind, passo runs (a wait window's progress).
    void Carica(int TipoCar, std::span<const int> tipi, const std::function<void()> &passo = {});
    // The shown frames in the save order.
    QList<TfrqevCarBs *> FrameVisibili() const;

    // Checks the current cell of each shown typed page; the first refusal shows the frame's
    // warning built on the message ("%1" takes the page's name, "dei voti" ...) and answers
    // false.
    bool ValidaPagine(const QString &messaggio);
    // Before the window's data goes: the current cells, then the save question for the
    // modified pages. False when a cell was refused, the office cancelled or a save failed:
    // every edit stays.
    bool ChiediSalvataggio();
    // Whether a frame's grid holds unsaved changes.
    bool Modificato() const;
    // Every frame, while a pupil window opened from this window is open.
    void SetReadOnly(bool value);

    // "Passaggio voti proposti a voti" in the scope of the window (PassaVotiProposti's Modo:
    // 0 the class, 1 the pupil, 2 the subject): the proposed votes, then the votes typed and
    // not saved are saved first (with their question; a page left unsaved stops it with its
    // message), then the question; only Yes transfers and reloads the votes page, also after
    // a transfer that failed half-way.
    void PassaVotiProposti(int Modo, const QString &domanda);

    // The next (or previous) shown page becomes the active one, the keyboard in its grid: Ctrl+Tab
    // and Ctrl+PgDn, Ctrl+Shift+Tab and Ctrl+PgUp, wherever the focus is in the window.
    void PaginaSeguente(bool avanti);

private:
    struct Ospite
    {
        TfrqevCarBs *frame = nullptr;
        int TipoDati = -1;
        int pagina = 0; // index in pcMain
    };
    const Ospite *ospiteDi(int tipoDati) const;
    void paginaCambiata(int index);
    // After a page of the kind was saved, the pages that follow what it stores read again.
    void rileggiSeguenti(int tipoDati);

    QWidget *m_window;
    QTabWidget *m_pcMain;
    QList<Ospite> m_ospiti; // in save order
    QSet<int> m_mostrati;   // the kinds set up and shown by the last load
    int m_paginaCorrente = 0;
    // Page changes go unchecked while the pages load and while a refused change is undone.
    bool m_senzaControllo = false;
    bool m_inUscita = false; // saving before the window's data goes
};

// The votes grid's outline of a vote that differs from the proposal in the same cell of the
// proposed-votes grid (both grids are laid out alike in every window): drawn when both hold a
// value and the values differ.
void DisegnaContrasto(QPainter &painter, const TqelStringGrid &voti, const TqelStringGrid *proposti,
                      int col, int row, const QRect &rect);
