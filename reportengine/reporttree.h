#pragma once

// The report tree of a report command: the stored reports of the command's application code,
// by description, with preview, print and PDF of the chosen one, and the report module that
// runs them (reportmodule.h). It stands in the command's page of the command bar
// (TVxAttReport::SetRptTreeView before the bar is filled).
//
// Each run is the command's: its BeforeExecute first (which may refuse, or pass the print
// date), then the work, then its AfterExecute; a failure is shown once.
//
// Controls (by objectName): the list tvReports, the buttons buAnteprima, buStampa, buPdf. The
// list is the tree's focus proxy: Up and Down choose a report, Return previews it.

#include "reportengine/reportmodule.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QPushButton;
class QTreeWidget;
class TVxAttReport;

class TVxRptTreeView : public QWidget
{
    Q_OBJECT
public:
    explicit TVxRptTreeView(TVxAttReport *command, QWidget *parent = nullptr);

    TdmVxRptFR &RptFR() { return m_rpt; }

    // Reads the list again from the report store.
    void Reload();
    // The chosen report's id, 0 when none.
    int SelectedReportId() const;
    // Chooses a listed report; false when it is not in the list.
    bool SelectReport(int id);
    QTreeWidget *tvReports() const { return m_list; }

    // A report of the list that another command prints (a register, whose volumes a wizard
    // prepares): the sentence telling where, shown instead of running it; empty runs it here.
    std::function<QString(int id, const QString &description)> OnPrintedElsewhere;

    // The three runs of the chosen report; each returns whether it did its work.
    bool Preview();
    bool Print();
    bool ExportPdf();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool run(const std::function<bool(int id)> &work);

    QPointer<TVxAttReport> m_command;
    TdmVxRptFR m_rpt;
    QTreeWidget *m_list;
    QPushButton *m_preview;
    QPushButton *m_print;
    QPushButton *m_pdf;
};
