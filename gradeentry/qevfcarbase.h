#pragma once

// TfmqevCarBase: what the three grade-entry windows (per class, per pupil, per subject) share:
// their pages (TqevPagine), shown maximised, and what the launcher and the grade frames call on
// a grade window (QevGradeWindow). A window gives its page table and first page, and loads its
// pages in CaricaFrames.
//
// Closing: a pupil window opened from this window closes first, with its own protocol (its
// save gives its new keys back to this window's records); if it stays open, so does this
// window. Then the save question of the modified pages; then the pick dialog goes.

#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfparvis.h"
#include "gradeentry/qevpagine.h"
#include "platform/childforms.h"

class QAction;
class QTabWidget;
class QToolBar;
class QVBoxLayout;
class TfrqevCarVot;

class TfmqevCarBase : public TfmVxChildBase, public QevEvidenzeHost, public QevGradeWindow
{
    Q_OBJECT
    Q_INTERFACES(QevEvidenzeHost QevGradeWindow)
public:
    ~TfmqevCarBase() override;

    QTabWidget *pcMain() const { return m_pagine->pcMain(); }
    TqevPagine *Pagine() const { return m_pagine; }
    // The page (tab widget page, "tsVot" ...) of a data kind; none for a kind without one.
    QWidget *Pagina(int TipoDati) const { return m_pagine->Pagina(TipoDati); }
    // Whether the kind's frame is set up and shown.
    bool PaginaVisibile(int TipoDati) const { return m_pagine->Visibile(TipoDati); }

    // Outline vote cells that differ from the proposed vote (display parameter xpbContr).
    bool EvContrasto = false;
    // The pupil row and data kind a frame's "Singolo alunno..." came from.
    int RigaSng = 0;
    int TipoDatiSng = 0;

    // QevGradeWindow
    bool ChiediSalvataggio() override { return m_pagine->ChiediSalvataggio(); }
    TfrqevCarBs *FrameAttivo() const override { return m_pagine->FrameAttivo(); }
    TfrqevCarBs *FrameDi(int TipoDati) const override { return m_pagine->Frame(TipoDati); }
    void SetRigaSng(int row, int tipoDati) override;
    QString PaginaAttiva() const override { return m_pagine->PaginaAttiva(); }
    bool MostraPagina(const QString &caption) override { return m_pagine->MostraPagina(caption); }
    // QevEvidenzeHost: the outline, on the votes and proposed-votes pages.
    void SetEvContrasto(bool evContrasto, bool evMatDeb) override;

protected:
    TfmqevCarBase(QWidget *parent, std::span<const TqevDefPagina> pagine, int tipoIniziale);

    // The frames of the votes and proposed-votes pages (none in the debts window).
    TfrqevCarVot *Voti() const;
    TfrqevCarVot *Proposti() const;
    // Whether the class session enters votes, so that the votes page will load: the frames
    // that average a pupil's votes then read them from its grid.
    bool PaginaVotiAttiva() const;
    // The window's layout: the pages, under what the window puts above them.
    QVBoxLayout *Layout() const { return m_layout; }
    // "Passaggio voti proposti a voti" of the votes page in the window's scope (0 the class,
    // 1 the pupil, 2 the subject), with the window's question.
    void CollegaPassaggio(int Modo, const QString &domanda);
    // The outline of a vote that differs from its proposal, on the votes page and, where the
    // window shows it there too, on the proposed-votes page.
    void MostraContrasto(bool ancheProposti);
    // The caption, every shown page's display parameters (after prima, per frame), the
    // outline; then a repaint.
    void ApplicaParVis(const QString &caption,
                       const std::function<void(TfrqevCarBs *)> &prima = {});

    // The tool bar "Barra degli Strumenti" (xoaCustom) above the pages, with the two commands
    // (tbPrior, tbNext) that walk to the previous and the next pupil or subject: aPrev<kind>
    // Alt+PgUp and aNext<kind> Alt+PgDown, their keys in their captions and tooltips;
    // cambia(true) goes on.
    struct Scorrimento
    {
        QToolBar *barra;
        QAction *precedente;
        QAction *successivo;
    };
    Scorrimento AggiungiScorrimento(const char *tipo, const QString &precedente,
                                    const QString &successivo,
                                    const std::function<void(bool avanti)> &cambia);
    // The position the walk goes to from corrente among quanti, the two commands enabled as far
    // as there is somewhere to go; -1 at either end, or from no position (-1).
    qsizetype Passo(qsizetype corrente, qsizetype quanti, bool avanti);

    void FormShow() override { ShowMaximized(); }
    void FormClose(TCloseAction &action) override;
    // Once the window let its data go, before it is freed.
    virtual void Chiusa() {}

private:
    TqevPagine *m_pagine;
    QVBoxLayout *m_layout;
    Scorrimento m_scorrimento{};
};
