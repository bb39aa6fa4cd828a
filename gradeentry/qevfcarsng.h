#pragma once

// TfmqevCarSng ("Caricamento per singolo"): one pupil's end-of-term data, one page per data
// kind, the subjects as rows. It opens from the launcher (after "Seleziona alunno") or from a
// grade frame's "Singolo alunno..." in the class or subject window; beside that window its
// frames take the pupil's values from it and give their saved values back, and that window's
// frames stay read-only until this one closes. Two buttons move to the next or previous pupil
// of the class, asking first to save what is modified.
//
//   launcher: xafCarSng -> TfmqevCarSng -> CaricaFrames(), then the page of the window it came
//   from; every later pupil: CaricaFrames() again
//
// Pages, in tab order: "Voti" tsVot / frqevCarSngVot, "Voti proposti" tsVtp, "Tassonomie"
// tsTas, "Assenze" tsAss, "Aiuti" tsAiu, "Note" tsNot / frqevCarSngNot, "Finale" tsGdzFin
// (judgment frqevCarSngGdz above final outcome frqevCarSngFin), "Crediti" tsCre /
// frqevCarSngCre, "Debiti" tsDeb (never shown). A page shows when the class session enters
// its kind and the kind has a frame in this version (CreaFrameGrado).

#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfparvis.h"
#include "gradeentry/qevpagine.h"
#include "platform/childforms.h"
#include "shell/qelformcalls.h"

class QAction;
class QTabWidget;
class QToolBar;
class TfrqevCarVot;

class TfmqevCarSng : public TfmVxChildBase,
                     public QelContextForm,
                     public QevEvidenzeHost,
                     public QevGradeWindow
{
    Q_OBJECT
    Q_INTERFACES(QelContextForm QevEvidenzeHost QevGradeWindow)
public:
    explicit TfmqevCarSng(QWidget *parent = nullptr);
    ~TfmqevCarSng() override;

    QTabWidget *pcMain() const { return m_pagine->pcMain(); }
    TqevPagine *Pagine() const { return m_pagine; }
    TfrqevCarVot *frqevCarSngVot() const;
    TfrqevCarVot *frqevCarSngVtp() const;

    // The tool bar "Barra degli Strumenti" (xoaCustom) with tbPrior and tbNext.
    QToolBar *xoaCustom() const { return m_xoaCustom; }
    QAction *aNextSit; // "Alunno successivo"
    QAction *aPrevSit; // "Alunno precedente"

    // Outline vote cells that differ from the proposed vote (display parameter xpbContr).
    bool EvContrasto = false;

    // QevGradeWindow. CaricaFrames loads every page for the data module's pupil and makes the
    // frames of the window beside read-only; ChiediSalvataggio is asked before the window
    // closes and before it moves to another pupil.
    void CaricaFrames() override;
    bool ChiediSalvataggio() override;
    TfrqevCarBs *FrameAttivo() const override;
    TfrqevCarBs *FrameDi(int TipoDati) const override;
    void SetRigaSng(int, int) override {} // rows here are subjects: no pupil row to remember
    QString PaginaAttiva() const override;
    bool MostraPagina(const QString &caption) override;
    // QelContextForm: the caption and every shown page's display parameters again.
    void CaricaDati() override;
    // QevEvidenzeHost
    void SetEvContrasto(bool evContrasto, bool evMatDeb) override;

    // "Alunno successivo" (true) and "Alunno precedente": the next or previous pupil of the
    // class, once what is modified was saved or dropped on the office's answer. At either
    // end the pupil stays and the button is disabled.
    void CambiaAlunno(bool avanti);
    // "Passaggio voti proposti a voti" for this pupil.
    void aPassExecute();

protected:
    void FormShow() override { ShowMaximized(); }
    // Asks to save; then the window beside is editable again.
    void FormClose(TCloseAction &action) override;

private:
    // Moves the cursor of every grid of the window beside to the pupil's row.
    static void allineaOrigine(int iSitId);

    TqevPagine *m_pagine;
    QToolBar *m_xoaCustom;
};

// The open pupil window; none when it is closed.
TfmqevCarSng *fmqevCarSng();
