#pragma once

// TfmVxuSelRptAnnoScol: the selection window a report shows before it prints: a school year,
// then the rows of the window's list to print, several at once. The caller gives the list its
// statement and the grid its columns (frSelect(): AddColumn, the sort index, OnDrawCell); the
// report reads the chosen rows (SelectedValues) and the year (GetSelectediAnsId).
//
//   TfmVxuSelRptAnnoScol form;
//   form.ListDataSet()->setCommandText("SELECT ... WHERE ... = :iAnsId");
//   form.frSelect()->AddColumn("sClsDesc", "Classe", 350);
//   if (VxExecModal(&form) == mrOk) keys = form.SelectedValues("iClsSesId");
//
// The years are listed, the working one chosen, when the window is first shown (FormShow),
// after its caller has set it up; a derived window lists what depends on them there too.
// OK stays disabled while no row is chosen.

#include "platform/datasetmodel.h"
#include "platform/multiselect.h"
#include "platform/sqlclientdataset.h"

class QComboBox;
class QHBoxLayout;

class TfmVxuSelRptAnnoScol : public TfmVxMultiSelect
{
    Q_OBJECT
public:
    explicit TfmVxuSelRptAnnoScol(QWidget *parent = nullptr);

    // The rows offered for choice; the grid follows OpenList and CloseList.
    TSQLClientDataSet *ListDataSet() { return &m_list; }
    // Reads the list again with its statement and parameters; raises EVxException with the
    // database's message, the list then closed.
    void OpenList();
    void CloseList();

    // The chosen school year's key; 0 when none is chosen.
    int GetSelectediAnsId() const;
    QComboBox *cbAnnoScol() const { return m_cbAnnoScol; }

    // The stored filter definition of the list. What such a definition holds is not known
    // here: it is kept, and filters nothing.
    void SetXMLFilter(const QString &xml) { m_xmlFilter = xml; }
    QString XMLFilter() const { return m_xmlFilter; }

protected:
    // The top row, where a derived window adds its choices after the year.
    QHBoxLayout *paTop() const { return m_top; }
    // The first showing: the years, with the working one chosen.
    virtual void FormShow();
    // A new year: a list whose statement reads :iAnsId is read again for it.
    virtual void cbAnnoScolChange();

    void showEvent(QShowEvent *event) override;
    void OkClick() override;

private:
    void updateOk();

    QComboBox *m_cbAnnoScol;
    QHBoxLayout *m_top;
    TSQLClientDataSet m_list;
    TVxClientDataSetModel m_model;
    QString m_xmlFilter;
    bool m_shown = false;
};

// Whether the statement has the parameter (":name", any case).
bool VxStatementHasParam(const QString &sql, const QString &name);
