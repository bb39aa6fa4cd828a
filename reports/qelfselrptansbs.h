#pragma once

// The selection dialogs of the class and pupil reports, created by the report engine when
// frdClsSes or frdAlunni asks for "TfmqelSelRptAnsSesBs" and set up by the report data module
// (qelrptselect.cpp) for the kind of report:
// - TfmqelSelRptAnsBs: the school year and the rows of its list, with select all, invert
//   (hourglass, the current row kept) and none;
// - TfmqelSelRptAnsSesBs: also the session of the year and, for pupils, the filters by class,
//   final outcome and suspension, applied to the list by "Applica" (buCls).
//
// On creation the data module's qquClsSes gets back its statement, and the dialog's list
// starts as the class list (:iAnsSesDwgId). When the dialog is first shown it lists the years
// and the sessions (the working one chosen, else the first); each change of session lists the
// classes of the session again and, for pupils, reads the pupil list with every filter back to
// "[Tutte]"/"[Tutti]", so that the list always shows what the combos say.
//
// Controls (by objectName): cbAnnoScol, cbAnsSesDwg, laCls/cbCls, laPosFin/cbPosFin,
// Label2/cbStato, buCls ("Applica").

#include "platform/selrptannoscol.h"

class QComboBox;
class QLabel;
class QPushButton;

class TfmqelSelRptAnsBs : public TfmVxuSelRptAnnoScol
{
    Q_OBJECT
public:
    explicit TfmqelSelRptAnsBs(QWidget *parent = nullptr);
    void InvertSelection() override;

protected:
    // The base's reaction; a database error of it is ignored, the list staying as it was.
    void cbAnnoScolChange() override;
};

class TfmqelSelRptAnsSesBs : public TfmqelSelRptAnsBs
{
    Q_OBJECT
public:
    explicit TfmqelSelRptAnsSesBs(QWidget *parent = nullptr);

    // The chosen year-session; 0 when the year has none.
    int GetSelectedAnsSesDwgId() const;

    QComboBox *cbAnsSesDwg() const { return m_cbAnsSesDwg; }
    QLabel *laCls() const { return m_laCls; }
    QComboBox *cbCls() const { return m_cbCls; }
    QPushButton *buCls() const { return m_buCls; }
    QLabel *laPosFin() const { return m_laPosFin; }
    QComboBox *cbPosFin() const { return m_cbPosFin; }
    QLabel *Label2() const { return m_label2; }
    QComboBox *cbStato() const { return m_cbStato; }

    // "Applica": the pupil list read again with the year, the institute and the filters chosen.
    void ApplicaClick();

protected:
    void FormShow() override;
    void cbAnnoScolChange() override;

private:
    void CaricaSessioni();
    void cbAnsSesDwgChange();

    QComboBox *m_cbAnsSesDwg;
    QLabel *m_laCls;
    QComboBox *m_cbCls;
    QPushButton *m_buCls;
    QLabel *m_laPosFin;
    QComboBox *m_cbPosFin;
    QLabel *m_label2;
    QComboBox *m_cbStato;
};
