#pragma once

// TfmQevSelCarCls ("Seleziona Classe"): the choice of school year, session and class session
// before "Caricamento per classe" and the make-up windows. Values in, values out:
//
//   std::unique_ptr<QWidget> w(FormRegistry::create("TfmQevSelCarCls"));
//   if (VxExecModal(qobject_cast<QDialog *>(w.get())) == mrOk) ...   // dmqevDataSets holds it
//
// OK stores the chosen row's year (iAnsId and iAnsIdSel) and session (iAnsSesDwgId) in the
// grade data module, opens the class session there (ApriClsSes) and clears the subject filter
// (iClsSesMatId; the subject dialog sets it to its choice). OK is refused while the list is empty;
// Cancel changes nothing. The class list (the module's scdClsSes) is open while the dialog lives
// and closed with it.

#include "gradeentry/qevfansbs.h"

class TVxClientDataSetModel;
class TfrqevSelRO;

class TfmQevSelCarCls : public TfmqevAnsSesDwgBs
{
    Q_OBJECT
public:
    explicit TfmQevSelCarCls(QWidget *parent = nullptr);
    ~TfmQevSelCarCls() override;

    TfrqevSelRO *frqevSelCls() const { return m_frame; }
    // The class sessions listed, and choosing one by its key (false when not listed).
    int ClassiCount() const;
    bool SelezionaClsSes(int iClsSesId);

protected:
    void cbAnsSesDwgChange() override;
    void OkClick() override;
    // The class list takes the keyboard: arrows choose, Enter opens.
    void showEvent(QShowEvent *event) override;
    // The subject the class session opens with (the subject dialog's choice); none here.
    virtual int MateriaScelta() const { return 0; }

private:
    TfrqevSelRO *m_frame;
    TVxClientDataSetModel *m_model;
};
