#pragma once

#include "platform/datasetmodel.h"
#include "platform/multiselect.h"
#include "platform/sqlclientdataset.h"

#include <memory>

class TdmqelXML;
struct TqelClassRow;
class TVxDirectoryEdit;

// "Raccolta" of the scrutiny page: the class folder a coordinator returned, collected into the
// class on the grid's current row once it proves to be that class's, then the rows the database
// refused. Choosing a class offers the folder the send wrote for it; a refused folder is told
// with the one expected. The folder's parent becomes the base folder the class windows propose.
class TfmqelRiceC : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmqelRiceC(QWidget *parent = nullptr);
    ~TfmqelRiceC() override;

    TdmqelXML &engine() const { return *m_xml; }
    TVxDirectoryEdit *eDir() const { return m_dir; }
    // Makes the class of that id the current row, its folder under the base folder offered.
    void SetCurrentClass(int iClsId);
    // The folder the send wrote for the class: the base folder and the class's folder name.
    QString ExpectedFolder(const TqelClassRow &row) const;

    void done(int result) override;

protected:
    void OkClick() override;
    virtual void Collect();
    // The class on the current row, refused when there is none; the folder's parent becomes the
    // base folder the class windows propose.
    TqelClassRow TakeCurrentClass();

    std::unique_ptr<TdmqelXML> m_xml;
    TSQLClientDataSet m_list;
    TVxClientDataSetModel m_model;
    TVxDirectoryEdit *m_dir;
    bool m_running = false;
};
