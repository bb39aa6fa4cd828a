#pragma once

#include "platform/datasetmodel.h"
#include "platform/dialogs.h"
#include "platform/sqlclientdataset.h"

#include <memory>

class QAction;
class QCheckBox;
class QListWidget;
class QToolBar;
class TdmqelXML;
class TVxDirectoryEdit;

// "Invio" of the scrutiny page: the ticked classes of the working session, each into a folder of
// its own under the base folder, for the class coordinators' grade-entry program, optionally
// with the pupils' history and protected by the teachers' passwords.
class TfmqelSendScrutinio : public TfmVxOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmqelSendScrutinio(QWidget *parent = nullptr);
    ~TfmqelSendScrutinio() override;

    TdmqelXML &engine() const { return *m_xml; }
    TVxDirectoryEdit *eDir() const { return m_dir; }
    QCheckBox *cbStorico() const { return m_storico; }
    QCheckBox *cbPassword() const { return m_password; }
    QToolBar *tbClassi() const { return m_tools; }
    QListWidget *clClsSes() const { return m_list; }
    // Ticks the class of that id.
    void SetClassTicked(int iClsId, bool ticked);

    void tbSelectAllMatClsClick();
    void tbSelectDelMatClsClick();
    void tbSelectInvMatClsClick();

    void done(int result) override;

protected:
    // Sends and stays open; the controls are off while the send runs, so that a second OK
    // cannot start a send inside the first.
    void OkClick() override;

private:
    void UpdateOkButton();
    void SetAllTicked(bool ticked);
    void Send();

    std::unique_ptr<TdmqelXML> m_xml;
    TSQLClientDataSet m_xqcCls;
    TVxDirectoryEdit *m_dir = nullptr;
    QCheckBox *m_storico;
    QCheckBox *m_password;
    QToolBar *m_tools;
    QListWidget *m_list;
    bool m_overwriteAlways = false;
    bool m_running = false;
};
