#pragma once

// The display list: what a prepared report prints, page by page, already placed. A renderer
// (preview, printer, PDF) draws it item by item at any resolution and never measures or
// breaks text itself: every line of text was measured, broken and positioned by the layout.
//
//   const TfrDisplayList &pages = report.Pages();
//   for (const TfrPage &page : pages.Pages)             // page.Size in millimetres
//       for (const TfrDisplayItem &item : page.Items)   // in drawing order
//           switch (item.Kind) { ... }
//
// Coordinates are millimetres from the page's top-left corner, y growing downwards.
//   Text  one line of text: draw Text with frQFont(Font) starting at Origin (the left end of
//         its baseline), clipped to Box. Align says how the layout aligned it inside Box;
//         Origin already holds the result.
//   Line  a segment from Line.p1() to Line.p2(), LineWidth thick (black).
//   Rect  Box filled with Fill when Fill is valid, and outlined LineWidth thick when Stroke.
// Band and Object name where an item comes from (an object without a name has an empty one):
// for dumps and messages, not for drawing.

#include "reportengine/reportfonts.h"
#include "reportengine/reporttemplate.h"

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

enum class TfrItemKind : quint8 { Text, Line, Rect };

// The small members stand together, with no padding between them: a whole school's pages stay
// in memory until they are printed.
struct TfrDisplayItem
{
    QColor Fill;
    // While the layout runs, a text that holds the page count where the layout cannot know it
    // yet: the number of the list of its places (from 1; 0: none).
    quint32 PageCounts = 0;
    TfrItemKind Kind = TfrItemKind::Text;
    TfrAlign Align = TfrAlign::Left;
    bool Stroke = false;
    QString Band;
    QString Object;
    QRectF Box;
    QLineF Line;
    QString Text;
    TfrFontSpec Font;
    QPointF Origin;
    double LineWidth = 0;
};

struct TfrPage
{
    QSizeF Size; // millimetres
    std::vector<TfrDisplayItem> Items;
    // The shaped lines of its texts that are not simple (reportfonts.h), held while the page
    // lives: the preview and the PDF draw them as the layout measured them, shaped once.
    std::vector<std::shared_ptr<const TfrShapedText>> Shaped;
};

struct TfrDisplayList
{
    QString Title;
    std::vector<TfrPage> Pages;
    // Each text printed shortened, ending in "…" because it could not fit its box even at its
    // smallest font: its band, its object and its whole text ("Alunni Giudizio «...»"); and
    // each printed with characters that no installed font has, as empty boxes ("Alunni Cognome
    // «...»: nessun carattere installato può stampare «...»").
    QStringList Cut;

    // One line per item, in page and drawing order, with a line per page before its items:
    //   page 1 210x297
    //   1 Alunni Cognome text 10.00 45.00 49.00 4.14 @10.50 9b "ROSSI MARIO"
    //   1 Alunni - line 10.00 49.14 200.00 49.14 w0.20
    //   1 Alunni - rect 10.00 45.00 190.00 4.14 w0.20 stroke fill#EEEEEE
    // Lengths in millimetres with two decimals; text with its font size, b for bold, i for
    // italic. Golden tests compare it as text.
    QString dump() const;

    // What the office is told of the texts that do not print whole (Cut), empty when all do.
    QString cutNotice() const;
};
