#pragma once

// The report module of the report command: a stored report loaded, prepared with the report
// component's events, then previewed, printed or exported. One report at a time.
//
//   TdmVxRptFR &rpt = tree->RptFR();
//   rpt.AddDataModuleFilter("dmqelDataSets*");       // the modules whose datasets templates
//   rpt.RegisterDataModule("dmqelRptDataSets");      // read (reportengine.h)
//   rpt.OnRefresh = [] { ... };                      // before each preparation
//   rpt.OnGetValue = [](const QString &name, QVariant &value) { ... };  // during it
//   rpt.OnEndReport = [] { ... };                    // after it, whether it failed or not
//
//   rpt.SetDataStampe(date);                         // DATE of the next reports
//   rpt.PreviewReportFromVxDB(16005, 4);             // the preview window, command image 4
//
//   rpt.PDFExport.Title = "Registro";                // a register volume
//   rpt.PDFExport.Resolution = 600;
//   rpt.LoadReportFromVxDB(16169);
//   if (rpt.PrepareReport())
//       rpt.ExportTo(rpt.PDFExport, folder + stem + ".pdf");
//
// Failures raise EVxException: a template the store refuses, a run that fails (naming its band
// or object), a file that cannot be written.

#include "reportengine/reportengine.h"

#include <QDate>
#include <QString>
#include <QVariant>

#include <functional>

class QWidget;
class TfrPreviewForm;

// Writes prepared pages to a file.
class TfrExportFilter
{
public:
    virtual ~TfrExportFilter() = default;
    virtual void Export(const TfrDisplayList &pages, const QString &fileName) = 0;
};

// A PDF with every font embedded, so that its text can be copied and searched; written beside
// its final name and renamed, so that a failed export leaves no file under the name.
class TfrPDFExportFilter : public TfrExportFilter
{
public:
    QString Title;        // in the document's properties; the report's own when empty
    int Resolution = 600; // dots per inch the drawing is placed at
    void Export(const TfrDisplayList &pages, const QString &fileName) override;
};

class TdmVxRptFR
{
public:
    TdmVxRptFR();
    TdmVxRptFR(const TdmVxRptFR &) = delete;
    TdmVxRptFR &operator=(const TdmVxRptFR &) = delete;

    TfrReport &Report() { return m_report; }

    // The report component: where templates read, and its three events.
    void AddDataModuleFilter(const QString &pattern) { m_report.AddDataModuleFilter(pattern); }
    QStringList DataModuleFilter() const { return m_report.DataModuleFilter(); }
    void RegisterDataModule(const QString &moduleName) { m_report.RegisterDataModule(moduleName); }
    std::function<void()> OnRefresh;
    std::function<void(const QString &name, QVariant &value)> OnGetValue;
    std::function<void()> OnEndReport;

    // The command image of the preview window.
    void SetRptImageIndex(int index) { m_imageIndex = index; }
    int RptImageIndex() const { return m_imageIndex; }
    // The print date, the engine's DATE.
    void SetDataStampe(const QDate &date) { m_report.PrintDate = date; }

    void LoadReportFromVxDB(int id) { m_report.LoadReportFromVxDB(id); }
    // Refresh, then one run: true when it built pages.
    bool PrepareReport();
    const TfrDisplayList &Pages() const { return m_report.Pages(); }
    // Writes the prepared pages; raises when there are none.
    void ExportTo(TfrExportFilter &filter, const QString &fileName);

    // Loads and prepares a stored report: false, and the office told so, when it has no pages;
    // false without a word when the office cancelled its selection.
    bool PrepareStoredReport(int id);
    // Loads, prepares and shows the report in a preview window (the window, or none when the
    // report has no pages: the office is told so).
    TfrPreviewForm *PreviewReportFromVxDB(int id, int imageIndex);
    // The prepared report in a new preview window.
    TfrPreviewForm *ShowPreparedReport();

    // The PDF filter of the register volumes.
    TfrPDFExportFilter PDFExport;

private:
    TfrReport m_report;
    int m_imageIndex = -1;
};
