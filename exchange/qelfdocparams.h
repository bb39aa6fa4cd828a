#pragma once

#include "platform/dialogs.h"

#include <memory>

class QCheckBox;
class QLabel;
class QTabWidget;
class TVxDirectoryEdit;
class TdmqelParGen;

// "Docenti: parametri Invio/Raccolta": the folder of each send mode and the kinds of data
// exchanged with the teachers, kept in the general parameters (ETC\ParGen.ini, sections
// "Send-Qed" and "ExpDoc"). OK stores every value shown, the hidden ones (floppy folder,
// password, debts) as they were loaded, so that confirming never changes what the office
// cannot see; a file that cannot be written keeps the dialog open.
class TfmqelDocParams : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    // The program's general parameters (dmqelParGen), or a set of its own when there are none.
    explicit TfmqelDocParams(QWidget *parent = nullptr);
    ~TfmqelDocParams() override;

    QTabWidget *pcParams() const { return m_pages; }
    TVxDirectoryEdit *deFloppy() const { return m_deFloppy; }
    TVxDirectoryEdit *deRete() const { return m_deRete; }
    TVxDirectoryEdit *deUSB() const { return m_deUSB; }
    TVxDirectoryEdit *deWeb() const { return m_deWeb; }
    QCheckBox *cbAskPasswd() const { return m_cbAskPasswd; }
    QCheckBox *cbVot() const { return m_cbVot; }
    QCheckBox *cbVtp() const { return m_cbVtp; }
    QCheckBox *cbTas() const { return m_cbTas; }
    QCheckBox *cbAss() const { return m_cbAss; }
    QCheckBox *cbAiu() const { return m_cbAiu; }
    QCheckBox *cbNot() const { return m_cbNot; }
    QCheckBox *cbDeb() const { return m_cbDeb; }

    void LoadParams();
    void SaveParams();

protected:
    void OkClick() override;

private:
    std::unique_ptr<TdmqelParGen> m_ownParams;
    TdmqelParGen *m_params;
    QTabWidget *m_pages;
    QLabel *m_laFloppy;
    TVxDirectoryEdit *m_deFloppy;
    TVxDirectoryEdit *m_deRete;
    TVxDirectoryEdit *m_deUSB;
    TVxDirectoryEdit *m_deWeb;
    QCheckBox *m_cbAskPasswd;
    QCheckBox *m_cbVot;
    QCheckBox *m_cbVtp;
    QCheckBox *m_cbTas;
    QCheckBox *m_cbAss;
    QCheckBox *m_cbAiu;
    QCheckBox *m_cbNot;
    QCheckBox *m_cbDeb;
};
