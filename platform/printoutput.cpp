#include "platform/printoutput.h"

#include "platform/fileaccess.h"
#include "platform/vxexception.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

TVxPrintOutput::TVxPrintOutput(const QPageLayout &layout, const QString &title)
    : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    if (layout.isValid()) {
        m_printer->setPageLayout(layout);
        m_printer->setFullPage(true);
    }
    m_printer->setDocName(title);
}

TVxPrintOutput::~TVxPrintOutput() = default;

void TVxPrintOutput::setFile(const QString &path)
{
    m_file = path;
}

void TVxPrintOutput::setPages(int from, int to)
{
    m_printer->setPrintRange(QPrinter::PageRange);
    m_printer->setFromTo(from, to);
}

QString TVxPrintOutput::file() const
{
    // Qt's dialog names the file on the printer, which would write it itself if painted on.
    return m_file.isEmpty() && m_printer->outputFormat() == QPrinter::PdfFormat
               ? m_printer->outputFileName()
               : m_file;
}

int TVxPrintOutput::fromPage() const
{
    return m_printer->printRange() == QPrinter::PageRange ? m_printer->fromPage() : 0;
}

int TVxPrintOutput::toPage() const
{
    return m_printer->printRange() == QPrinter::PageRange ? m_printer->toPage() : 0;
}

void TVxPrintOutput::begin(QPainter &painter)
{
    const QString path = file();
    if (path.isEmpty()) {
        if (!painter.begin(m_printer.get()))
            throw EVxException(QStringLiteral("La stampante %1 non ha accettato la stampa.")
                                   .arg(m_printer->printerName()));
        return;
    }
    m_out = std::make_unique<TVxFileReplacement>(path);
    if (!m_out->open())
        throw m_out->failure();
    m_pdf = std::make_unique<QPdfWriter>(m_out.get());
    m_pdf->setPageLayout(m_printer->pageLayout());
    m_pdf->setResolution(m_printer->resolution());
    m_pdf->setTitle(m_printer->docName());
    m_pdf->setCreator(QStringLiteral("Tavrin"));
    if (!painter.begin(m_pdf.get()))
        throw m_out->failed()
            ? m_out->failure()
            : EVxException(
                  QStringLiteral("Impossibile scrivere il file PDF %1.").arg(m_out->path()));
}

void TVxPrintOutput::newPage()
{
    if (m_pdf)
        m_pdf->newPage();
    else
        m_printer->newPage();
}

double TVxPrintOutput::dotsPerMm() const
{
    return (m_pdf ? m_pdf->resolution() : m_printer->resolution()) / 25.4;
}

void TVxPrintOutput::end(QPainter &painter)
{
    painter.end();
    if (!m_out)
        return;
    m_pdf.reset();
    m_out->commit();
}
