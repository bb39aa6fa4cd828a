#pragma once

// Draws the pages of a prepared report (reportpages.h) on a paint device at any resolution:
// the preview's images and the printer share this one drawing; the PDF export writes the same
// items itself (reportpdf.h), with the same fonts, positions and clips.
//
//   TfrPageRenderer renderer;                          // keeps the fonts it sized
//   QImage image = renderer.pageImage(page, 4.0);      // 4 pixels per millimetre, white page
//   renderer.drawPage(painter, page, printer.resolution() / 25.4);
//
//   frExportPdf(report.Pages(), "/cartella/registro.pdf", "Registro", 600);
//   frPrintPages(report.Pages(), output);              // the range the print dialog chose
//
// Text is drawn glyph by glyph where the layout measured it: each character at the sum of
// the design advances before it, with no shaping (no ligature, no kerning) and a font sized in
// the device's own pixels. Drawing a font by its point size would scale it by the device's
// idea of an inch, and shaping would join "fi" into one narrower glyph: either moves the end
// of a line away from where the layout broke it. The font is the one registered from its file,
// so that a PDF embeds it and its text can be copied and searched. A line that is not simple
// (reportfonts.h: another script, a mark on its letter, a character the face lacks) is drawn
// as the layout measured it too: shaped, each run of glyphs in the face that has them.

#include "reportengine/reportpages.h"

#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QRawFont>
#include <QString>

class QPainter;
class TVxPrintOutput;

class TfrPageRenderer
{
public:
    // Draws the page with its top-left corner at the device's origin (the painter's transform
    // is left as it is), pixelsPerMm device pixels to the millimetre.
    void drawPage(QPainter &painter, const TfrPage &page, double pixelsPerMm);
    // The page as an image on white paper.
    QImage pageImage(const TfrPage &page, double pixelsPerMm);

private:
    QRawFont rawFont(const TfrFontSpec &spec, double pixelSize);
    QRawFont sized(const QRawFont &face, double pixelSize);
    // A simple text's glyphs (reportfonts.h) at x millimetres on, x moved past them.
    static QGlyphRun plainRun(const QRawFont &raw, const TfrFontMetrics &metrics, QStringView text,
                              double pixelsPerMm, double &x);
    void drawText(QPainter &painter, const TfrDisplayItem &item, double pixelsPerMm);
    void drawShapedText(QPainter &painter, const TfrDisplayItem &item, double pixelsPerMm);

    QHash<QString, QRawFont> m_fonts;
};

// Whether a line of text whose glyphs span `width` millimetres must be clipped to its box: only
// one that leaves it is.
bool frTextLeavesBox(const TfrDisplayItem &item, double width);

// The paper of a page: its size (A4 and A3 by name) and orientation, no margins (the
// template's margins are in the page already).
QPageLayout frPageLayout(const TfrPage &page);

// Writes the pages as a PDF (reportpdf.h): the title in the document's properties. The
// resolution, the export filter's setting, changes nothing: the PDF holds no pixels, and its
// positions are finer than any printer's dot. The file is written beside its final name and
// renamed at the end (TVxFileReplacement), so that a failure leaves no file under the name
// (and an earlier file whole); a failure raises EVxException naming the file and its cause.
// Progress goes to the wait window.
void frExportPdf(const TfrDisplayList &pages, const QString &fileName, const QString &title,
                 int resolution);

// Prints the pages (the chosen range, else all) where the print dialog sent them, a printer or
// a PDF file (printoutput.h); the paper is the one the output holds (frPageLayout before the
// print dialog offers the report's). Raises EVxException when the printer cannot start or the
// file cannot be written.
void frPrintPages(const TfrDisplayList &pages, TVxPrintOutput &output);
