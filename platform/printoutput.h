#pragma once

// Where a print goes once the print dialog has chosen: a printer, or a PDF file. A file is
// written as every file of the program (TVxFileReplacement, fileaccess.h): under a fresh name,
// never through a link or into a FIFO standing at its name, and put in place only when whole,
// so that a full disk or a size limit leaves the old file and is told in Italian. The printer
// never writes a file itself: it is the one object of the program that holds a QPrinter to
// paint on.
//
//   TVxPrintOutput out(frPageLayout(page), title);
//   if (!VxPrintDialog(parent, out, caption, pageCount))   // messagedlg.h
//       return;
//   QPainter painter;
//   out.begin(painter);          // on the printer, or on a PDF writer into the file
//   ... out.newPage(); ...
//   out.end(painter);            // painting ended, the file put in place; or throws

#include <QPageLayout>
#include <QString>

#include <memory>

class QPainter;
class QPdfWriter;
class QPrinter;
class TVxFileReplacement;

class TVxPrintOutput
{
public:
    // At high resolution, titled; on the paper given, whole (the page holds its own margins),
    // else the printer's with its margins.
    explicit TVxPrintOutput(const QPageLayout &layout = QPageLayout(),
                            const QString &title = QString());
    ~TVxPrintOutput();
    TVxPrintOutput(const TVxPrintOutput &) = delete;
    TVxPrintOutput &operator=(const TVxPrintOutput &) = delete;

    // The printer the print dialog sets up (QPrintDialog's own "print to file" included).
    QPrinter &printer() { return *m_printer; }
    // Into this PDF file, as the dialog's file output does; the pages 1-based, 0 for all.
    void setFile(const QString &path);
    void setPages(int from, int to);
    // The file chosen, empty for a printer.
    QString file() const;
    // The pages chosen, 1-based: 0, 0 for all.
    int fromPage() const;
    int toPage() const;

    // Starts the painter on the printer or the file's PDF; throws EVxException naming the
    // printer, or the file and the cause.
    void begin(QPainter &painter);
    void newPage();
    double dotsPerMm() const;
    // Ends the painter; a file is then put in place whole, or EVxException says why and that the
    // old file is as it was.
    void end(QPainter &painter);

private:
    std::unique_ptr<QPrinter> m_printer;
    QString m_file;
    std::unique_ptr<TVxFileReplacement> m_out;
    std::unique_ptr<QPdfWriter> m_pdf;
};
