#pragma once

#include "makeup/qelmakeupwindow.h"

class QAction;
class QComboBox;
class TfrQelDettRec;
class TfrQelGrigliaRec;

// "Recuperi": the office assigns a make-up type to each pupil and subject of the class
// session chosen before it opened, in one make-up phase, by typing the type's weight on the
// cell (keypad or main keyboard), or by choosing it in the detail panel and double-clicking the
// cell or pressing "Assegna recupero". Every assignment and deletion is written at once, so
// closing asks nothing.
class TfmQelRec : public TfmQelMakeupClassWindow
{
    Q_OBJECT
public:
    explicit TfmQelRec(QWidget *parent = nullptr);

    TfrQelDettRec *frQelDettRec1() const { return m_dett; }
    TfrQelGrigliaRec *frQelGrigliaRec1() const { return m_griglia; }
    QAction *tbDelete() const { return m_deleteOne; }
    QAction *tbDeleteAll() const { return m_deleteAll; }
    QComboBox *cboTipoVoto() const { return m_cboTipoVoto; }

protected:
    void FormCreate() override;
    void FormShow() override;
    void disable() override;
    void cboFasiChange() override;
    QList<MakeupLegendRow> legendRows() const override;

private:
    void cboTipoVotoChange();
    void followCell();
    void digitTyped(int digit);
    void assignFocusedCell();
    void passFocusedCell();
    void recordWritten(int iSitId, int iMatId, int iRecId, int peso);
    void tbDeleteClick();
    void tbDeleteAllClick();

    QComboBox *m_cboTipoVoto;
    TfrQelDettRec *m_dett;
    TfrQelGrigliaRec *m_griglia;
};
