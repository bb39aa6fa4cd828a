#pragma once

#include "exports/qelpupilsummary.h"
#include "platform/dialogs.h"

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class TfmVxWait;

// "Esportazione dati a programma Alunni": writes, for a school year and a session, the summary
// values the pupils-records program reads into every pupil's situation (PupilSummaryExport),
// one check box per value, all ticked when the window opens. OK is refused until a year and a
// session are chosen, then asks for confirmation (No by default).
class TfmqelExpMediaAlunni : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelExpMediaAlunni(QWidget *owner = nullptr);
    ~TfmqelExpMediaAlunni() override;

    QComboBox *cbAns() const { return m_cbAns; }
    QComboBox *cbSes() const { return m_cbSes; }
    QCheckBox *box(TPupilSummaryValue value) const { return m_boxes[value]; }
    // The id of the chosen item; 0 when none is chosen.
    int SelectedAnsId() const;
    int SelectedAnsSesDwgId() const;
    // Made with the window and kept while it lives: its texts and counts stay readable.
    TfmVxWait *WaitForm() const { return m_wait.get(); }

protected:
    void OkClick() override;

private:
    void cbAnsChange();
    bool choicesComplete() const;
    void ExportMedie();

    int WorkingDwgId = 0;
    QComboBox *m_cbAns;
    QComboBox *m_cbSes;
    std::array<QCheckBox *, psValueCount> m_boxes{};
    std::unique_ptr<TfmVxWait> m_wait;
};
