#pragma once

// TfmqevCarCls ("Caricamento per classe"): the window where the office enters and checks the
// end-of-term data of one class session, one page per data kind, pupils as rows. It stores
// nothing itself: each page hosts the grade frame of its kind (qevframes.h), told its mode
// (class) and kind; the window decides which pages show, keeps page changes and closing
// behind a valid current cell, paints the votes grid's cross-page highlights, runs the
// transfer of proposed votes into votes and asks what to save when it closes.
//
//   launcher: xafCarCls -> (selection dialog) -> TfmqevCarCls -> CaricaFrames()
//   main window, after the display parameters changed: CaricaDati()
//
// Pages, in tab order, with their frame and save-dialog box: "Voti" tsVot / frqevCarClsVot,
// "Voti proposti" tsVtp, "Tassonomie" tsTas, "Assenze" tsAss, "Aiuti" tsAiu, "Note" tsNot,
// "Debiti" tsDeb (never shown), "Esito finale" tsFin, "Crediti" tsCre, "Giudizio" tsGdz,
// "Competenze" tsCompetenze (never shown). A page shows when the class session enters its
// kind and the kind has a frame in this version. Saves run in the fixed order votes, proposed
// votes, taxonomies, absences, aids, notes, debts, final outcome, credits, judgments.

#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfparvis.h"
#include "gradeentry/qevpagine.h"
#include "platform/childforms.h"
#include "shell/qelformcalls.h"

#include <QList>
#include <QString>

class QTabWidget;
class TfrqevCarBs;
class TfrqevCarVot;

class TfmqevCarCls : public TfmVxChildBase,
                     public QelContextForm,
                     public QevEvidenzeHost,
                     public QevGradeWindow
{
    Q_OBJECT
    Q_INTERFACES(QelContextForm QevEvidenzeHost QevGradeWindow)
public:
    explicit TfmqevCarCls(QWidget *parent = nullptr);
    ~TfmqevCarCls() override;

    QTabWidget *pcMain() const;
    // The page (tab widget page, "tsVot" ...) of a data kind; none for a kind without one.
    QWidget *Pagina(int TipoDati) const;
    // Whether the page of a data kind is shown.
    bool PaginaVisibile(int TipoDati) const;
    // The votes frames of the first five pages.
    TfrqevCarVot *frqevCarClsVot() const;
    TfrqevCarVot *frqevCarClsVtp() const;

    // Outline vote cells that differ from the proposed vote (display parameter xpbContr).
    bool EvContrasto = false;
    // The pupil row and data kind a frame's "Singolo alunno..." came from.
    int RigaSng = 0;
    int TipoDatiSng = 0;

    // QevGradeWindow
    void CaricaFrames() override;
    bool ChiediSalvataggio() override;
    TfrqevCarBs *FrameAttivo() const override;
    TfrqevCarBs *FrameDi(int TipoDati) const override;
    void SetRigaSng(int row, int tipoDati) override;
    QString PaginaAttiva() const override;
    bool MostraPagina(const QString &caption) override;
    // QelContextForm: the caption and every shown page's display parameters again.
    void CaricaDati() override;
    // QevEvidenzeHost
    void SetEvContrasto(bool evContrasto, bool evMatDeb) override;

    // "Passaggio voti proposti a voti" of the votes page: saves the proposed votes first when
    // they are modified, asks, copies them over the class's votes and reloads the votes.
    void aPassExecute();

protected:
    void FormShow() override { ShowMaximized(); }
    // A pupil window opened from this one closes first, with its own protocol; if it stays
    // open, so does this window.
    void FormClose(TCloseAction &action) override;

private:
    void disegnaVoti(QPainter &painter, int col, int row, const QRect &rect);

    TqevPagine *m_pagine;
};

// The open class window; none when it is closed.
TfmqevCarCls *fmqevCarCls();
