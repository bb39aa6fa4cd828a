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
// "Debiti" tsDeb, "Esito finale" tsFin, "Crediti" tsCre, "Giudizio" tsGdz,
// "Competenze" tsCompetenze (never shown). A page shows when the class session enters its
// kind and the kind has a frame in this version. Saves run in the fixed order votes, proposed
// votes, taxonomies, absences, aids, notes, debts, final outcome, credits, judgments.

#include "gradeentry/qevfcarbase.h"
#include "shell/qelformcalls.h"

class QColor;
class TfrqevCarVot;
class TqelStringGrid;

class TfmqevCarCls : public TfmqevCarBase, public QelContextForm
{
    Q_OBJECT
    Q_INTERFACES(QelContextForm)
public:
    explicit TfmqevCarCls(QWidget *parent = nullptr);
    ~TfmqevCarCls() override;

    // The votes frames of the first two pages.
    TfrqevCarVot *frqevCarClsVot() const { return Voti(); }
    TfrqevCarVot *frqevCarClsVtp() const { return Proposti(); }

    // QevGradeWindow
    void CaricaFrames() override;
    // QelContextForm: the caption and every shown page's display parameters again.
    void CaricaDati() override;

private:
    void disegnaVoti(QPainter &painter, int col, int row, const QRect &rect);
    void disegnaProposti(QPainter &painter, int col, int row, const QRect &rect);
    // Whether the pupil of a vote grid's row has a debt in the column's subject.
    bool conDebito(const TqelStringGrid &grid, int col, int row) const;
    QColor coloreDebiti() const;
    static void evidenzia(QPainter &painter, const QRect &rect, const QColor &colore,
                          const TqelStringGrid &grid, const QString &testo);
};

// The open class window; none when it is closed.
TfmqevCarCls *fmqevCarCls();
