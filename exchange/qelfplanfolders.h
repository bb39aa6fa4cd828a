#pragma once

#include "exchange/qelexportpst.h"
#include "exchange/qelxml.h"
#include "platform/datasetmodel.h"
#include "platform/multiselect.h"
#include "platform/sqlclientdataset.h"

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// "Invio" by study plan: each chosen class of the working session goes out as one sub-folder
// per plan of the class under base folder + class folder, each written by the class export
// restricted to that plan. The class's and the plan's names are made safe as folder names.
class TfmqelSendCPst : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmqelSendCPst(QWidget *parent = nullptr);
    ~TfmqelSendCPst() override;

    QLineEdit *eDir() const { return m_dir; }
    QToolButton *SpeedButton1() const { return m_pick; }
    QCheckBox *cbStorico() const { return m_storico; }
    QLabel *laCheck() const { return m_check; }
    QLabel *paDeferred() const { return m_deferred; }
    TdmqelXML *Engine() const { return m_xml.get(); }

protected:
    void OkClick() override;

private:
    void send();

    QLineEdit *m_dir;
    QToolButton *m_pick;
    QCheckBox *m_storico;
    QLabel *m_check;
    QLabel *m_deferred;
    TSQLClientDataSet m_classes;
    TVxClientDataSetModel m_model;
    std::unique_ptr<TdmqelXML> m_xml;
    bool m_overwriteAlways = false;
};

// "Raccolta" by study plan: the class on the grid's current row is collected from the plan
// sub-folders of the class folder in "Percorso classe:" (TdmqelExportPst). It ends with no
// closing message; rows not written are shown.
class TfmqelRiceCPst : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmqelRiceCPst(QWidget *parent = nullptr);
    ~TfmqelRiceCPst() override;

    QLineEdit *eDir() const { return m_dir; }
    QToolButton *SpeedButton1() const { return m_pick; }
    TdmqelExportPst *Importer() const { return m_importer.get(); }

protected:
    void OkClick() override;

private:
    QLineEdit *m_dir;
    QToolButton *m_pick;
    TSQLClientDataSet m_classes;
    TVxClientDataSetModel m_model;
    std::unique_ptr<TdmqelExportPst> m_importer;
    std::unique_ptr<TdmqelXML> m_xml; // for the last base folder only
};

void registerPlanFolderForms();
