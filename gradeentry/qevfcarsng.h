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
// frqevCarSngCre, "Debiti" tsDeb. A page shows when the class session enters
// its kind and the kind has a frame in this version (CreaFrameGrado).

#include "gradeentry/qevfcarbase.h"
#include "shell/qelformcalls.h"

class QAction;
class QToolBar;

class TfmqevCarSng : public TfmqevCarBase, public QelContextForm
{
    Q_OBJECT
    Q_INTERFACES(QelContextForm)
public:
    explicit TfmqevCarSng(QWidget *parent = nullptr);
    ~TfmqevCarSng() override;

    TfrqevCarVot *frqevCarSngVot() const { return Voti(); }
    TfrqevCarVot *frqevCarSngVtp() const { return Proposti(); }

    // The tool bar "Barra degli Strumenti" (xoaCustom) with tbPrior and tbNext.
    QToolBar *xoaCustom() const { return m_xoaCustom; }
    QAction *aNextSit; // "Alunno successivo"
    QAction *aPrevSit; // "Alunno precedente"

    // QevGradeWindow: every page for the data module's pupil; the frames of the window beside
    // become read-only.
    void CaricaFrames() override;
    // QelContextForm: the caption and every shown page's display parameters again.
    void CaricaDati() override;

    // "Alunno successivo" (true) and "Alunno precedente": the next or previous pupil of the
    // class, once what is modified was saved or dropped on the office's answer. At either
    // end the pupil stays and the button is disabled.
    void CambiaAlunno(bool avanti);

protected:
    // The window beside is editable again.
    void Chiusa() override;

private:
    // Moves the cursor of every grid of the window beside to the pupil's row.
    static void allineaOrigine(int iSitId);

    QToolBar *m_xoaCustom;
};

// The open pupil window; none when it is closed.
TfmqevCarSng *fmqevCarSng();
