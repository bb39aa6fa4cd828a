#include "reportengine/reportmodule.h"

#include "platform/attivazioni.h"
#include "platform/messagedlg.h"
#include "reportengine/reportpreview.h"
#include "reportengine/reportrender.h"

void TfrPDFExportFilter::Export(const TfrDisplayList &pages, const QString &fileName)
{
    frExportPdf(pages, fileName, Title.isEmpty() ? pages.Title : Title, Resolution);
}

TdmVxRptFR::TdmVxRptFR()
{
    m_report.OnGetValue = [this](const QString &name, QVariant &value) {
        if (OnGetValue)
            OnGetValue(name, value);
    };
    m_report.OnEndReport = [this] {
        if (OnEndReport)
            OnEndReport();
    };
}

bool TdmVxRptFR::PrepareReport()
{
    if (OnRefresh)
        OnRefresh();
    return m_report.PrepareReport();
}

void TdmVxRptFR::ExportTo(TfrExportFilter &filter, const QString &fileName)
{
    filter.Export(m_report.Pages(), fileName);
}

bool TdmVxRptFR::PrepareStoredReport(int id)
{
    LoadReportFromVxDB(id);
    if (PrepareReport()) {
        // before the office prints what does not show the data whole
        if (const QString notice = m_report.Pages().cutNotice(); !notice.isEmpty())
            VxMessageDlg(notice, mtWarning, mbOK);
        return true;
    }
    if (m_report.Cancelled())
        return false;
    VxMessageDlg(QStringLiteral("Il report \"%1\" non ha pagine: non ci sono dati da stampare.")
                     .arg(m_report.Title),
                 mtInformation, mbOK);
    return false;
}

TfrPreviewForm *TdmVxRptFR::PreviewReportFromVxDB(int id, int imageIndex)
{
    SetRptImageIndex(imageIndex);
    return PrepareStoredReport(id) ? ShowPreparedReport() : nullptr;
}

TfrPreviewForm *TdmVxRptFR::ShowPreparedReport()
{
    auto *preview =
        new TfrPreviewForm(m_report.Pages(), TdmVxAttivazioni::CommandImage(m_imageIndex));
    TdmVxAttivazioni::ShowChild(preview);
    preview->ShowMaximized();
    return preview;
}
