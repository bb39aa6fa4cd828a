#pragma once

// The one font family of reports, Liberation Sans (Debian's fonts-liberation2, metric twin of
// the Arial that school forms are drawn in), read from the package's own files and never from
// whatever the desktop offers.
//
//   const TfrFontMetrics &m = TfrFontMetrics::of(TfrFontSpec{9, true, false});
//   double w = m.width("Rossi Mario");     // millimetres, at that font's size
//   QFont f = frQFont(spec);               // what a renderer draws the same text with
//
// Layout and rendering use the same numbers: widths are the font's design advances, without
// hinting and without kerning, scaled linearly by the size; frQFont turns hinting and kerning
// off too, so a text drawn at a layout's origin ends where the layout measured it, on screen,
// paper and PDF alike. Sizes are in points, lengths in millimetres.

#include <QFont>
#include <QString>
#include <QStringView>

struct TfrFontSpec
{
    double Size = 9; // points
    bool Bold = false;
    bool Italic = false;
    bool operator==(const TfrFontSpec &) const = default;
};

class TfrFontMetrics
{
public:
    // The metrics of the face a TfrFontSpec names, at its size. Raises EVxException naming the
    // package when the font files are missing.
    static TfrFontMetrics of(const TfrFontSpec &spec);

    double width(QStringView text) const; // millimetres
    double ascent() const { return m_ascent; }
    // From one line's top to the next: ascent, descent and the face's leading.
    double lineHeight() const { return m_lineHeight; }

    struct Face;

private:
    TfrFontMetrics(Face *face, double em);
    Face *m_face; // lives as long as the program
    double m_em;  // millimetres per em at the size
    double m_ascent;
    double m_lineHeight;
};

QString frFontFamily();
// The file of a face: bold and italic pick among the family's four.
QString frFontFile(bool bold, bool italic);
// A font for QPainter with the metrics of the layout (registered from the files once).
QFont frQFont(const TfrFontSpec &spec);
