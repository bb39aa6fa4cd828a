#pragma once

// TfmqevParVis ("Parametri/Impostazioni"): the display parameters of one grade grid, opened
// by a frame's "Parametri visualizzazione". Values in, values out:
//
//   TfmqevParVis dialog;
//   dialog.SetGriglia(&frame->grGrid());     // loads the grid's own (kind, mode) section
//   dialog.ShowModal();
//
// Apply puts the values on the grid (and the host window's highlights) without writing them;
// OK writes them into the grid's section, then applies; Cancel writes nothing.

#include "platform/dialogs.h"

#include <QColor>
#include <QFont>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class TqelStringGrid;

// A grade-entry window whose own highlights the dialog switches: votes that differ from the
// proposed votes and (class window) subjects with a debt. Found among the grid's parents.
class QevEvidenzeHost
{
public:
    virtual ~QevEvidenzeHost() = default;
    virtual void SetEvContrasto(bool EvContrasto, bool EvMatDeb) = 0;
};
Q_DECLARE_INTERFACE(QevEvidenzeHost, "it.vexto.tavrin.QevEvidenzeHost")

class TfmqevParVis : public TfmVxOkCancApplyDlg
{
    Q_OBJECT
public:
    explicit TfmqevParVis(QWidget *parent = nullptr);

    // Binds the dialog to a grid: the controls show its section and only those that apply to
    // its kind and mode are enabled.
    void SetGriglia(TqelStringGrid *grid);

protected:
    bool Apply() override;
    void OkClick() override;

private:
    void writeParameters();
    void changed();
    void chooseFont();
    void chooseColor(QLabel *swatch, QColor &color);
    void paintSwatch(QLabel *swatch, const QColor &color);

    QPointer<TqelStringGrid> m_grid;
    int m_tipoDati = 0;
    int m_tipoCar = 0;
    QFont m_font;
    QColor m_fontColor;
    QColor m_colorInsuf;
    QColor m_colorTraccia;

    QSpinBox *m_fCol;
    QSpinBox *m_col;
    QSpinBox *m_row;
    QRadioButton *m_orizzontale;
    QRadioButton *m_verticale;
    QComboBox *m_desMat;
    QLabel *m_desCmpLabel;
    QComboBox *m_desCmp;
    QCheckBox *m_rowCol;
    QCheckBox *m_insuff;
    QCheckBox *m_contr;
    QCheckBox *m_matDeb;
    QLabel *m_swatchInsuf;
    QLabel *m_swatchTraccia;
};
