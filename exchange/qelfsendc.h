#pragma once

#include "platform/datasetmodel.h"
#include "platform/multiselect.h"
#include "platform/sqlclientdataset.h"

#include <memory>

class QCheckBox;
class QLabel;
class TdmqelXML;
class TVxDirectoryEdit;

// The second class send ("Invio"): the chosen classes of the working session, each into a folder
// of its own under the base folder, with a reminder of what to check first. No password and
// no coordinator test here; "Sovrascrivi" deletes only the class folder's own files. No command
// opens it: it is opened by its class name.
class TfmqelSendC : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmqelSendC(QWidget *parent = nullptr);
    ~TfmqelSendC() override;

    TdmqelXML &engine() const { return *m_xml; }
    TVxDirectoryEdit *eDir() const { return m_dir; }
    QCheckBox *cbStorico() const { return m_storico; }
    QLabel *laAvviso() const { return m_notice; }
    // The deferred-session panel, shown only in a deferred session.
    QLabel *pnDifferita() const { return m_deferred; }

    void done(int result) override;

protected:
    void OkClick() override;
    virtual void Send();

    std::unique_ptr<TdmqelXML> m_xml;
    TSQLClientDataSet m_list;
    TVxClientDataSetModel m_model;
    TVxDirectoryEdit *m_dir;
    QCheckBox *m_storico;
    QLabel *m_notice;
    QLabel *m_deferred;
    bool m_overwriteAlways = false;
    bool m_running = false;
};
