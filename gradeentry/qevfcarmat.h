#pragma once

// TfmqevCarMat ("Caricamento per materia"): one subject of a class session, the pupils as
// rows and the subject's components as columns, one page per data kind. Besides the grade
// pages, its votes page carries the transfers of a qualification or school-leaving score
// between the first column and the pupils' careers: "Esporta a carriera" and "Importa da
// carriera" (qevqualifica.h).
//
//   launcher: xafCarMat -> ("Seleziona materia") -> TfmqevCarMat -> CaricaFrames()
//
// Pages, in tab order: "Voti" tsVot / frqevCarMatVot, "Voti proposti" tsVtp, "Tassonomie"
// tsTas, "Assenze" tsAss, "Aiuti" tsAiu, "Note" tsNot / frqevCarMatNot, "Debiti" tsDeb /
// frqevCarMatDeb. A page shows when the class session enters its kind and the kind has a
// frame in this version. Closing asks what to save as the class window does, after closing a
// pupil window opened from here.

#include "gradeentry/qevactivations.h"
#include "gradeentry/qevfparvis.h"
#include "gradeentry/qevpagine.h"
#include "platform/childforms.h"

class QTabWidget;
class TfrqevCarVot;

class TfmqevCarMat : public TfmVxChildBase, public QevEvidenzeHost, public QevGradeWindow
{
    Q_OBJECT
    Q_INTERFACES(QevEvidenzeHost QevGradeWindow)
public:
    explicit TfmqevCarMat(QWidget *parent = nullptr);
    ~TfmqevCarMat() override;

    QTabWidget *pcMain() const { return m_pagine->pcMain(); }
    TqevPagine *Pagine() const { return m_pagine; }
    TfrqevCarVot *frqevCarMatVot() const;
    TfrqevCarVot *frqevCarMatVtp() const;

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
    // QevEvidenzeHost
    void SetEvContrasto(bool evContrasto, bool evMatDeb) override;
    // The caption and every shown page's display parameters again.
    void CaricaDatiMat();

    // "Passaggio voti proposti a voti" for this subject.
    void aPassExecute();
    // "Esporta a carriera": the first votes column into the career field chosen, for every
    // pupil who takes the subject, after a confirmation, in one transaction.
    void EsportaQualifica();
    // "Importa da carriera": the career field chosen into the first votes column, each score
    // as a level of the column's scale; the scores the scale does not have are listed and
    // leave their cell as it was. The values reach the database with the page's save.
    void ImportaQualifica();

protected:
    void FormShow() override { ShowMaximized(); }
    // A pupil window opened from this one closes first, with its own protocol; if it stays
    // open, so does this window.
    void FormClose(TCloseAction &action) override;

private:
    TqevPagine *m_pagine;
};

// The open subject window; none when it is closed.
TfmqevCarMat *fmqevCarMat();
