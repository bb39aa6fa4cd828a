#pragma once

// The one font family of reports, Liberation Sans (Debian's fonts-liberation2, metric twin of
// the Arial that school forms are drawn in), read from the package's own files and never from
// whatever the desktop offers; and, for the characters it lacks, the installed fonts that have
// them (DejaVu Sans, Debian's fonts-dejavu-core, first).
//
//   const TfrFontMetrics &m = TfrFontMetrics::of(TfrFontSpec{9, true, false});
//   double w = m.width("Rossi Mario");     // millimetres, at that font's size
//   QFont f = frQFont(spec);               // what a renderer draws the same text with
//   if (!m.simple(text))                   // a line drawn through Qt's shaping:
//       const TfrShapedText &s = *frShapeText(text, spec);   // its glyphs and their faces
//
// Layout and rendering use the same numbers: widths are the font's design advances, without
// hinting and without kerning, scaled linearly by the size; frQFont turns hinting and kerning
// off too, so a text drawn at a layout's origin ends where the layout measured it, on screen,
// paper and PDF alike. Sizes are in points, lengths in millimetres.
//
// A text is simple when the report's face has a glyph for each of its characters and none is
// written right to left or sits on the letter before it: it is drawn one glyph per character,
// which is most of a school's texts and the fast way. Any other is shaped by Qt as its script
// writes it (joined letters, marks on their letters, right-to-left words in visual order within
// the left-to-right line), each character the report's face lacks taken from an installed font
// that has it (where Qt takes none, as for a script whose face only positions its marks, shaped
// by HarfBuzz in the face fontconfig finds); its width is the width of that shaping. What no
// installed font can print (a script no font has, such as Devanagari or Thaana on Debian's fonts,
// or a letter only a colour font has) prints as empty boxes and is recorded (missing): no script
// stops a print.

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>
#include <optional>
#include <span>
#include <vector>

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
    // The width of one UTF-16 unit that a simple text (below) may hold, in millimetres; a
    // negative number for any other (shaped, or half of a surrogate pair).
    double unitWidth(char16_t u) const { return advance(u) * m_em; }
    // The width of a simple text (below); none for another.
    std::optional<double> simpleWidth(QStringView text) const;
    double ascent() const { return m_ascent; }
    // From one line's top to the next: ascent, descent and the face's leading.
    double lineHeight() const { return m_lineHeight; }

    // Whether the text is drawn one glyph of the report's face per character (above).
    bool simple(QStringView text) const;
    // The characters of the text that no installed font has, each once: they print as empty
    // boxes.
    QString missing(QStringView text) const;

    struct Face;
    static Face &faceOf(const TfrFontSpec &spec);

    // By UTF-16 unit, the advance in ems of the face's glyph, or one of these: the layout asks
    // for every character of every text, so the lookup stays inline.
    static constexpr float kUnmeasured = -1.0f;
    static constexpr float kShaped = -2.0f; // only shaping measures it

private:
    float advance(char16_t u) const
    {
        const float a = m_advances[u];
        return a != kUnmeasured ? a : measure(u);
    }
    float measure(char16_t u) const;

    TfrFontMetrics(Face *face, double em);
    Face *m_face;            // lives as long as the program
    const float *m_advances; // the face's, by UTF-16 unit
    double m_em;             // millimetres per em at the size
    double m_ascent;
    double m_lineHeight;
};

// A glyph of a shaped text: where it stands, in ems of the font's size from the text's origin
// (the left end of its baseline), y growing downwards; and what it stands for, for copying and
// searching, [First, End) of the text. The glyphs of a cluster (a letter and its marks, a
// ligature) stand for its characters in their order, one each, the last glyph for those left; a
// glyph left over for none. Small, since a run keeps the lines of a whole school's reports.
struct TfrShapedGlyph
{
    quint16 Glyph;
    quint16 First, End; // a line is shorter than 65,536 characters
    float X, Y;
};

// One face's glyphs of a shaped text. The face is one a PDF embeds: what shaping found in no
// such face is drawn as the report face's empty box (glyph 0).
struct TfrGlyphRun
{
    QRawFont Font;                          // the face, at 1000 pixels per em
    std::span<const TfrShapedGlyph> Glyphs; // the shaped text's
    bool RightToLeft = false;               // its glyphs in the text's order, right to left
    // A stretch drawn as a simple text is (one glyph of the report's face per character, each at
    // the advances before it), most of a line that has a word in another script: its glyphs are
    // not kept, its one entry gives its characters and where the first stands.
    bool Plain = false;
};

struct TfrShapedText
{
    QString Text;
    std::vector<TfrGlyphRun> Runs;
    std::vector<TfrShapedGlyph> Glyphs; // those of every run, in one block
    double Width = 0;                   // ems

    QStringView textOf(const TfrShapedGlyph &g) const
    {
        return QStringView(Text).mid(g.First, g.End - g.First);
    }
};

// A text shaped as above, in the face its font names (bold, italic; its size aside). Kept for
// the next asking, within a bound in bytes (the least recently asked goes first): the layout
// measures a line, the preview and the PDF draw the same line.
std::shared_ptr<const TfrShapedText> frShapeText(const QString &text, const TfrFontSpec &spec);
// How many texts frShapeText has shaped since the program started (not those it kept).
qint64 frShapedTexts();

// Whether a PDF can carry the face: one with outlines, TrueType or CFF (the PDF draws these).
// A character only another kind of face has (a colour one, of pictures) counts as missing, as
// does one Qt draws as an empty box from a face of its own (one with no tables, and no name to
// ask).
bool frEmbeddable(const QRawFont &face);

// Text as it is laid out: in its composed form, so that a letter stored with its marks apart
// (as some keyboards and systems store them) is the one letter the font draws.
QString frComposed(QString text);

QString frFontFamily();
// The file of a face: bold and italic pick among the family's four.
QString frFontFile(bool bold, bool italic);
// A font for QPainter with the metrics of the layout (registered from the files once).
QFont frQFont(const TfrFontSpec &spec);
