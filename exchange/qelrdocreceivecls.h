#pragma once

// The classes of a session to collect, for the web collections and the binary folder
// collection: every class with a class session in the working session's number and school
// year, whatever the institute, several rows selectable, and below them the log "Docenti
// importati".
//
//   frame.SetAnsSesDwgId(TVxWorkingContext::session());
//   frame.OpenList();
//   frame.BuildClsFilter()      // "(iClsId = 4) OR (iClsId = 9)"; "1 = 0" when none is selected

#include "platform/datasetmodel.h"
#include "platform/dbgridframes.h"
#include "platform/sqlclientdataset.h"

class QPlainTextEdit;
class QTabWidget;
class QVBoxLayout;

class TfrqelDocReceiveCls : public TfrVxDBROGrid
{
    Q_OBJECT
public:
    explicit TfrqelDocReceiveCls(QWidget *parent = nullptr);

    void SetAnsSesDwgId(int iAnsSesDwgId) { m_iAnsSesDwgId = iAnsSesDwgId; }
    void OpenList();
    void CloseList();
    bool IsOpen() const { return m_data.Active(); }
    TSQLClientDataSet &Data() { return m_data; }

    QString BuildClsFilter() const;
    QPlainTextEdit *meLog() const { return m_log; }

private:
    int m_iAnsSesDwgId = 0;
    TSQLClientDataSet m_data;
    TVxClientDataSetModel m_model;
    QPlainTextEdit *m_log;
};

// The pages "Singolo" and "Classe" of a teacher collection window, the teacher frame on the
// first and this class frame on the second, filling the window's client area, whose layout it
// gives back for what goes below them.
QVBoxLayout *AddTeacherCollectionPages(QWidget *clientArea, QTabWidget *pages,
                                       QWidget *singlePage, QWidget *single, QWidget *classPage,
                                       TfrqelDocReceiveCls *classes);
