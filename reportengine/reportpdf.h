#pragma once

// The PDF the export writes, straight from the display list (reportpages.h): each line of text
// one string of glyphs at its origin, frames and fills as paths, in points on the report's
// paper. The faces used are embedded as TrueType subsets (Type 0 fonts, Identity-H, widths the
// fonts' design advances, a ToUnicode map so that the text can be copied and searched), every
// stream compressed.
//
//   TVxFileReplacement file(name); file.open();                 // platform/fileaccess.h
//   if (!frWritePdf(file, report.Pages(), "Registro")) ...   // the device refused a write
//
// A general painter-based PDF engine places every glyph on its own and restates the pen, the
// colour and the clip around each item: on a register of thousands of pages that is most of
// the file and most of the time. Here a glyph stands where the font's advance puts it, which is
// where the layout measured it, so a line needs one position only.

#include "reportengine/reportpages.h"

#include <QString>

class QIODevice;

// Writes the pages (at least one) to the device; the title goes to the document's properties.
// Progress goes to the wait window under the title. False when the device refused a write;
// raises EVxException when a font file is missing.
bool frWritePdf(QIODevice &device, const TfrDisplayList &pages, const QString &title);
