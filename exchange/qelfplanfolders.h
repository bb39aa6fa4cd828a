#pragma once

#include "platform/datasetmodel.h"
#include "platform/multiselect.h"
#include "platform/sqlclientdataset.h"

#include <memory>

class QCheckBox;
class QLabel;
class TdmqelExportPst;
class TdmqelXML;
class TVxDirectoryEdit;

// "Invio" by study plan: each chosen class of the working session goes out as one sub-folder
// per plan of the class under base folder + class folder, each written by the class export
// restricted to that plan. The class's and the plan's names are made safe as folder names.
class TfmqelSendCPst : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmqelSendCPst(QWidget *parent = nullptr);
    ~TfmqelSendCPst() override;

    TdmqelXML &engine() const { return *m_xml; }
    TVxDirectoryEdit *eDir() const { return m_dir; }
    QCheckBox *cbStorico() const { return m_storico; }
    QLabel *laAvviso() const { return m_notice; }
    // The deferred-session panel, shown only in a deferred session.
    QLabel *pnDifferita() const { return m_deferred; }

    void done(int result) override;

protected:
    void OkClick() override;

private:
    void Send();

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

// "Raccolta" by study plan: the class on the grid's current row is collected from the plan
// sub-folders of the class folder in "Percorso classe:" (TdmqelExportPst). It ends with no
// closing message; the rows not written are shown.
class TfmqelRiceCPst : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmqelRiceCPst(QWidget *parent = nullptr);
    ~TfmqelRiceCPst() override;

    TdmqelExportPst &importer() const { return *m_importer; }
    TVxDirectoryEdit *eDir() const { return m_dir; }
    // Makes the class of that id the current row.
    void SetCurrentClass(int iClsId);

    void done(int result) override;

protected:
    void OkClick() override;

private:
    void Collect();

    std::unique_ptr<TdmqelExportPst> m_importer;
    std::unique_ptr<TdmqelXML> m_xml; // for the last base folder only
    TSQLClientDataSet m_list;
    TVxClientDataSetModel m_model;
    TVxDirectoryEdit *m_dir;
    bool m_running = false;
};

void registerPlanFolderForms();
