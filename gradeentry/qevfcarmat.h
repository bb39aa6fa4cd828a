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
// pupil window opened from here. Alt+PgUp and Alt+PgDown walk the subjects of the class.

#include "gradeentry/qevfcarbase.h"

class TfmqevCarMat : public TfmqevCarBase
{
    Q_OBJECT
public:
    explicit TfmqevCarMat(QWidget *parent = nullptr);
    ~TfmqevCarMat() override;

    TfrqevCarVot *frqevCarMatVot() const { return Voti(); }
    TfrqevCarVot *frqevCarMatVtp() const { return Proposti(); }

    QAction *aNextMat; // "Materia successiva"
    QAction *aPrevMat; // "Materia precedente"

    // QevGradeWindow
    void CaricaFrames() override;
    // The caption and every shown page's display parameters again.
    void CaricaDatiMat();

    // "Esporta a carriera": the first votes column into the career field chosen, for every
    // pupil who takes the subject, after a confirmation, in one transaction.
    void EsportaQualifica();
    // "Importa da carriera": the career field chosen into the first votes column, each score
    // as a level of the column's scale; the scores the scale does not have are listed and
    // leave their cell as it was. The values reach the database with the page's save.
    void ImportaQualifica();

    // "Materia successiva" (true) and "Materia precedente": the next or previous subject of the
    // class session, in the order of the selection dialog, once what is modified was saved or
    // dropped on the office's answer. At either end the subject stays and the button is
    // disabled.
    void CambiaMateria(bool avanti);
};

// The open subject window; none when it is closed.
TfmqevCarMat *fmqevCarMat();
