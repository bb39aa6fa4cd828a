#include "reportengine/reportfonts.h"

#include "platform/vxexception.h"

#include <QCache>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>

#include <fontconfig/fontconfig.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace {

const char *const kFontDir = "/usr/share/fonts/truetype/liberation2/";
// What a character the report's face lacks is taken from first, before any other installed
// font: it covers the scripts of a school's names (Arabic, Hebrew, Cyrillic, Greek, ...).
const char *const kFallbackFamily = "DejaVu Sans";
// Advances are read at this many pixels per em, where they are the design values.
constexpr double kRawSize = 1000.0;
constexpr double kMmPerPoint = 25.4 / 72.0;

int faceIndex(const TfrFontSpec &spec)
{
    return (spec.Bold ? 2 : 0) + (spec.Italic ? 1 : 0);
}

// The face's family first, then the fallback; Qt goes on to the other installed fonts.
QFont shapingFont(int index)
{
    frQFont(TfrFontSpec{});
    QFont font(frFontFamily());
    font.setFamilies({frFontFamily(), QString::fromLatin1(kFallbackFamily)});
    font.setPixelSize(int(kRawSize));
    font.setBold(index >= 2);
    font.setItalic(index % 2 == 1);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

// The layout of one line, left to right whatever its first letter (a right-to-left name inside
// an Italian line keeps the line's order), without wrap.
struct ShapedLine
{
    ShapedLine(const QString &text, int index, const QList<QTextLayout::FormatRange> &upright = {})
        : layout(text, shapingFont(index))
    {
        layout.setFormats(upright);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setTextDirection(Qt::LeftToRight);
        option.setUseDesignMetrics(true);
        layout.setTextOption(option);
        layout.setCacheEnabled(true);
        layout.beginLayout();
        line = layout.createLine();
        line.setLineWidth(1e7);
        layout.endLayout();
    }
    QTextLayout layout;
    QTextLine line;
};

bool invisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// Qt shapes a script that needs OpenType (Thaana, the Indic scripts, ...) only in a face whose
// substitutions (GSUB) name it, and draws empty boxes else, even in a face named for it: one that
// positions its marks alone (GPOS), as Noto Sans Thaana, is refused. Such a stretch is shaped here
// by HarfBuzz, Qt's own shaper, in an installed face that fontconfig says has its letters.

// A glyph shaped by HarfBuzz, in the order drawn (left to right): the character its cluster starts
// at, where it stands from the stretch's left end and its advance, in ems, y downwards.
struct FaceGlyph
{
    quint32 glyph;
    int cluster;
    double x, y, advance;
};

// HarfBuzz reads the face's tables through Qt: a face of a font collection too.
hb_blob_t *faceTable(hb_face_t *, hb_tag_t tag, void *face)
{
    const char name[5] = {char(tag >> 24), char(tag >> 16), char(tag >> 8), char(tag), 0};
    auto *bytes = new QByteArray(static_cast<const QRawFont *>(face)->fontTable(name));
    return hb_blob_create(bytes->constData(), unsigned(bytes->size()), HB_MEMORY_MODE_READONLY,
                          bytes, [](void *b) { delete static_cast<QByteArray *>(b); });
}

// text[from, to) shaped in the face, in the direction given.
std::vector<FaceGlyph> shapeInFace(const QString &text, int from, int to, bool rightToLeft,
                                   const QRawFont &face)
{
    struct Shaper
    {
        QRawFont face;
        hb_font_t *font = nullptr;
        double unitsPerEm = 1000;
    };
    static std::map<QString, std::unique_ptr<Shaper>> shapers; // by family and style, for good
    std::unique_ptr<Shaper> &shaper = shapers[face.familyName() + '|' + face.styleName()];
    if (!shaper) {
        shaper = std::make_unique<Shaper>();
        shaper->face = face;
        hb_face_t *hbFace = hb_face_create_for_tables(faceTable, &shaper->face, nullptr);
        shaper->unitsPerEm = std::max(1u, hb_face_get_upem(hbFace));
        shaper->font = hb_font_create(hbFace);
        hb_face_destroy(hbFace);
        hb_font_set_scale(shaper->font, int(shaper->unitsPerEm), int(shaper->unitsPerEm));
    }
    hb_buffer_t *buffer = hb_buffer_create();
    hb_buffer_add_utf16(buffer, reinterpret_cast<const uint16_t *>(text.utf16()), int(text.size()),
                        unsigned(from), to - from);
    hb_buffer_set_direction(buffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    // the script's own forms, not the machine's language's
    hb_buffer_set_language(buffer, hb_language_from_string("und", -1));
    hb_buffer_guess_segment_properties(buffer);
    hb_shape(shaper->font, buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t *info = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t *at = hb_buffer_get_glyph_positions(buffer, &count);
    std::vector<FaceGlyph> glyphs;
    double pen = 0;
    const double em = shaper->unitsPerEm;
    for (unsigned i = 0; i < count; ++i) {
        glyphs.push_back({info[i].codepoint, int(info[i].cluster), pen + at[i].x_offset / em,
                          -at[i].y_offset / em, at[i].x_advance / em});
        pen += at[i].x_advance / em;
    }
    hb_buffer_destroy(buffer);
    return glyphs;
}

bool hasAll(const QRawFont &face, const QList<uint> &chars)
{
    return face.isValid() && std::all_of(chars.begin(), chars.end(),
                                         [&face](uint c) { return face.supportsCharacter(c); });
}

// An installed face with outlines a PDF carries (TrueType or CFF) that has every character of
// the text, in the style of the face index (bold, italic), as fontconfig finds it; invalid where
// none has them all.
QRawFont searchFace(const QString &text, int index)
{
    const QList<uint> wanted = text.toUcs4();
    FcCharSet *chars = FcCharSetCreate();
    for (const uint c : wanted)
        FcCharSetAddChar(chars, c);
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddCharSet(pattern, FC_CHARSET, chars);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcPatternAddInteger(pattern, FC_WEIGHT, index >= 2 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, index % 2 ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet *fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    QRawFont face;
    for (int i = 0; fonts && i < fonts->nfont && !face.isValid(); ++i) {
        FcCharSet *has = nullptr;
        FcChar8 *family = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &has) != FcResultMatch ||
            !FcCharSetIsSubset(chars, has) ||
            FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch)
            continue;
        QFont font(QString::fromUtf8(reinterpret_cast<const char *>(family)));
        font.setBold(index >= 2);
        font.setItalic(index % 2 == 1);
        QRawFont raw = QRawFont::fromFont(font, QFontDatabase::Latin); // its face, not a fallback
        raw.setPixelSize(kRawSize);
        if (frEmbeddable(raw) && hasAll(raw, wanted))
            face = raw;
    }
    if (fonts)
        FcFontSetDestroy(fonts);
    FcPatternDestroy(pattern);
    FcCharSetDestroy(chars);
    return face;
}

// As searchFace, the face found for the first character first: the letters of a script are
// mostly in one face, and a search costs a few milliseconds.
QRawFont faceWith(const QString &text, int index)
{
    static QHash<QString, QRawFont> found; // by style and characters
    const auto cached = [](const QString &chars, int index) {
        const QString key = QString::number(index) + chars;
        auto it = found.find(key);
        if (it == found.end())
            it = found.insert(key, searchFace(chars, index));
        return *it;
    };
    const QList<uint> chars = text.toUcs4();
    if (chars.isEmpty())
        return QRawFont();
    const QString first =
        QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData()), 1);
    if (const QRawFont face = cached(first, index); hasAll(face, chars))
        return face;
    return cached(text, index);
}

// The visible characters of a text: what a face must have to print it.
QString visibleOf(QStringView text)
{
    QString out;
    for (const char32_t c : text.toUcs4())
        if (!invisible(c))
            out += QString::fromUcs4(&c, 1);
    return out;
}

} // namespace

// One face: its vertical metrics in ems and the advances of the characters met so far.
struct TfrFontMetrics::Face
{
    int index = 0;
    QRawFont raw;
    double ascent = 0;
    double lineHeight = 0;
    // By UTF-16 unit: kUnmeasured, kShaped, or the advance in ems.
    std::vector<float> advance = std::vector<float>(0x10000, TfrFontMetrics::kUnmeasured);
    // Of the characters that only shaping measures: alone, their advance and whether any
    // installed font has them.
    struct Alone
    {
        double advance = 0;
        bool missing = false;
    };
    QHash<char32_t, Alone> alone;

    float advanceOf(char16_t u)
    {
        float &a = advance[u];
        if (a != TfrFontMetrics::kUnmeasured)
            return a;
        const QChar c(u);
        quint32 glyph = 0;
        int n = 1;
        const bool complex = c.isSurrogate() || !raw.glyphIndexesForChars(&c, 1, &glyph, &n) ||
                             glyph == 0 || c.isMark() || c.direction() == QChar::DirR ||
                             c.direction() == QChar::DirAL || c.direction() == QChar::DirAN ||
                             (c.direction() >= QChar::DirLRE && c.direction() != QChar::DirNSM &&
                              c.direction() != QChar::DirBN);
        if (complex) {
            a = TfrFontMetrics::kShaped;
        } else {
            const QList<QPointF> advances =
                raw.advancesForGlyphIndexes(QList<quint32>{glyph}, QRawFont::UseDesignMetrics);
            a = float(advances.value(0).x() / kRawSize);
        }
        return a;
    }

    // As the character prints: a slanted face's fallback may lack what its upright one has
    // (DejaVu's Arabic is upright only), and then the upright one draws it, as a hand writes
    // a script that has no italic.
    const Alone &drawn(char32_t c);

    const Alone &aloneOf(char32_t c)
    {
        auto it = alone.find(c);
        if (it == alone.end()) {
            const QString text = QString::fromUcs4(&c, 1);
            const ShapedLine shaped(text, index);
            Alone a{shaped.line.naturalTextWidth() / kRawSize, true};
            for (const QGlyphRun &run : shaped.line.glyphRuns())
                for (const quint32 g : run.glyphIndexes())
                    a.missing = a.missing && (g == 0 || !frEmbeddable(run.rawFont()));
            if (const QRawFont face =
                    a.missing && !invisible(c) ? faceWith(text, index) : QRawFont();
                face.isValid()) {
                a = {0, false};
                for (const FaceGlyph &g : shapeInFace(text, 0, int(text.size()), false, face))
                    a.advance += g.advance;
            }
            it = alone.insert(c, a);
        }
        return *it;
    }
};

QString frFontFamily()
{
    return QStringLiteral("Liberation Sans");
}

QString frFontFile(bool bold, bool italic)
{
    static const char *const names[] = {"LiberationSans-Regular.ttf", "LiberationSans-Italic.ttf",
                                        "LiberationSans-Bold.ttf", "LiberationSans-BoldItalic.ttf"};
    return QString::fromLatin1(kFontDir) +
           QString::fromLatin1(names[(bold ? 2 : 0) + (italic ? 1 : 0)]);
}

namespace {

TfrFontMetrics::Face &faceAt(int index)
{
    return TfrFontMetrics::faceOf(TfrFontSpec{1, index >= 2, index % 2 == 1});
}

// The ranges of a slanted text whose characters print upright (Face::drawn).
QList<QTextLayout::FormatRange> uprightRanges(const QString &text, int index)
{
    QList<QTextLayout::FormatRange> ranges;
    if (index % 2 == 0)
        return ranges;
    TfrFontMetrics::Face &face = faceAt(index);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const char32_t c =
            n == 2 ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        if ((n == 2 || face.advanceOf(text[i].unicode()) == TfrFontMetrics::kShaped) &&
            &face.drawn(c) != &face.aloneOf(c)) {
            if (!ranges.isEmpty() && ranges.back().start + ranges.back().length == i) {
                ranges.back().length += n;
            } else {
                QTextLayout::FormatRange range{int(i), int(n), {}};
                range.format.setFont(shapingFont(index - 1));
                ranges.append(range);
            }
        }
        i += n;
    }
    return ranges;
}

} // namespace

const TfrFontMetrics::Face::Alone &TfrFontMetrics::Face::drawn(char32_t c)
{
    const Alone &own = aloneOf(c);
    if (!own.missing || index % 2 == 0)
        return own;
    const Alone &upright = faceAt(index - 1).aloneOf(c);
    return upright.missing ? own : upright;
}

TfrFontMetrics TfrFontMetrics::of(const TfrFontSpec &spec)
{
    return TfrFontMetrics(&faceOf(spec), spec.Size * kMmPerPoint);
}

TfrFontMetrics::Face &TfrFontMetrics::faceOf(const TfrFontSpec &spec)
{
    static std::unique_ptr<Face> faces[4];
    const int index = faceIndex(spec);
    if (!faces[index]) {
        const QString file = frFontFile(spec.Bold, spec.Italic);
        auto face = std::make_unique<Face>();
        face->index = index;
        face->raw = QRawFont(file, kRawSize, QFont::PreferNoHinting);
        if (!face->raw.isValid())
            throw EVxException(QStringLiteral("Il carattere dei report non è installato: manca "
                                              "%1 (pacchetto fonts-liberation2).")
                                   .arg(file));
        face->ascent = face->raw.ascent() / kRawSize;
        face->lineHeight =
            (face->raw.ascent() + face->raw.descent() + face->raw.leading()) / kRawSize;
        faces[index] = std::move(face);
    }
    return *faces[index];
}

TfrFontMetrics::TfrFontMetrics(Face *face, double em)
    : m_face(face), m_advances(face->advance.data()), m_em(em), m_ascent(face->ascent * em),
      m_lineHeight(face->lineHeight * em)
{
}

float TfrFontMetrics::measure(char16_t u) const
{
    return m_face->advanceOf(u);
}

double TfrFontMetrics::width(QStringView text) const
{
    double total = 0;
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const float a = advance(p[i].unicode());
        if (a == kShaped) {
            // one character alone, as the layout measures before it breaks a line, or the
            // whole text shaped
            const QList<uint> ucs4 = text.toUcs4();
            if (ucs4.size() == 1)
                return m_face->drawn(ucs4[0]).advance * m_em;
            const TfrFontSpec spec{1, m_face->index >= 2, m_face->index % 2 == 1};
            return frShapeText(text.toString(), spec)->Width * m_em;
        }
        total += a;
    }
    return total * m_em;
}

std::optional<double> TfrFontMetrics::simpleWidth(QStringView text) const
{
    double total = 0;
    for (const QChar c : text) {
        const float a = advance(c.unicode());
        if (a == kShaped)
            return std::nullopt;
        total += a;
    }
    return total * m_em;
}

bool TfrFontMetrics::simple(QStringView text) const
{
    for (const QChar c : text) {
        if (advance(c.unicode()) == kShaped)
            return false;
    }
    return true;
}

QString TfrFontMetrics::missing(QStringView text) const
{
    QString found;
    if (simple(text))
        return found;
    for (const char32_t c : text.toUcs4()) {
        if ((c > 0xFFFF || advance(char16_t(c)) == kShaped) && !invisible(c) &&
            m_face->drawn(c).missing) {
            const QString s = QString::fromUcs4(&c, 1);
            if (!found.contains(s))
                found += s;
        }
    }
    return found;
}

namespace {

// A glyph of a shaped line where it stands: the same glyph twice on a line stands for its own
// characters each time.
struct PlacedGlyph
{
    size_t face;
    quint32 glyph;
    qint64 x, y; // in 1/16 of the shaping's pixels

    bool operator==(const PlacedGlyph &) const = default;
};

size_t qHash(const PlacedGlyph &g, size_t seed = 0)
{
    return qHashMulti(seed, g.face, g.glyph, g.x, g.y);
}

PlacedGlyph placed(const QGlyphRun &run, qsizetype i)
{
    const QPointF p = run.positions().at(i);
    return {qHash(run.rawFont()), run.glyphIndexes().at(i), qRound64(p.x() * 16),
            qRound64(p.y() * 16)};
}

// The clusters of a shaped line, each [first, end) of the text: the characters whose glyphs
// overlap (a letter and the marks drawn on it, the letters of a ligature) are one; and the
// cluster of each glyph, that of the characters that drew it first. Qt gives the glyphs of a
// range of characters, not their clusters.
std::vector<std::pair<int, int>> findClusters(const QString &text, const QTextLayout &layout,
                                              QHash<PlacedGlyph, int> &clusterOf)
{
    std::vector<int> starts;
    QHash<PlacedGlyph, int> startOf; // the character where each glyph was met first
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        int start = int(i);
        const QList<QGlyphRun> runs = layout.glyphRuns(int(i), int(n));
        for (const QGlyphRun &run : runs)
            for (qsizetype g = 0; g < run.glyphIndexes().size(); ++g)
                if (const auto it = startOf.constFind(placed(run, g)); it != startOf.constEnd())
                    start = std::min(start, *it);
        if (runs.isEmpty() && !starts.empty())
            start = starts.back(); // a character without a glyph of its own
        while (!starts.empty() && starts.back() > start)
            starts.pop_back();
        if (starts.empty() || starts.back() < start)
            starts.push_back(start);
        for (const QGlyphRun &run : runs)
            for (qsizetype g = 0; g < run.glyphIndexes().size(); ++g)
                startOf.insert(placed(run, g), start);
        i += n;
    }
    std::vector<std::pair<int, int>> clusters;
    for (size_t c = 0; c < starts.size(); ++c)
        clusters.emplace_back(starts[c], c + 1 < starts.size() ? starts[c + 1] : int(text.size()));
    for (auto it = startOf.cbegin(); it != startOf.cend(); ++it)
        clusterOf.insert(it.key(),
                         int(std::upper_bound(starts.begin(), starts.end(), *it) - starts.begin()) -
                             1);
    return clusters;
}

// Gives each glyph of a cluster, in drawing order, a character of the cluster in the text's
// order, the last glyph those left: a reader that copies the glyphs one by one (a mark after
// its letter) gives back the text.
void standFor(const QString &text, std::pair<int, int> cluster,
              const std::vector<TfrShapedGlyph *> &glyphs)
{
    int at = cluster.first;
    for (size_t k = 0; k < glyphs.size(); ++k) {
        const int n =
            at < cluster.second && text[at].isHighSurrogate() && at + 1 < cluster.second ? 2 : 1;
        const int end = k + 1 == glyphs.size() ? cluster.second : std::min(at + n, cluster.second);
        glyphs[k]->First = quint16(std::min(at, 0xFFFF));
        glyphs[k]->End = quint16(std::min(end, 0xFFFF));
        at = end;
    }
}

// What a kept shaped text costs, near enough: its characters and glyphs, and what the
// containers and the keeping add.
qsizetype bytesOf(const TfrShapedText &t)
{
    return 160 + qsizetype(sizeof(TfrShapedText)) + 2 * t.Text.size() +
           qsizetype(t.Runs.size() * sizeof(TfrGlyphRun) +
                     t.Glyphs.size() * sizeof(TfrShapedGlyph));
}

// A text in a face: the text shares its characters with the one kept.
struct ShapedKey
{
    int face;
    QString text;
    bool operator==(const ShapedKey &) const = default;
};

size_t qHash(const ShapedKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.face, key.text);
}

// The shaped lines kept: those the pages laid out hold (TfrPage::Shaped), while they live, and
// the last asked within a bound in bytes, the least recently asked first out: the lines of a band
// or two at least, which the layout measures before a page holds them. So a run shapes each line
// once, the preview and the PDF draw the pages' own, and no line outlives the pages that print it
// by more than the bound.
constexpr qsizetype kShapedBound = 1 << 20;
struct ShapedLines
{
    QCache<ShapedKey, std::shared_ptr<const TfrShapedText>> last{kShapedBound};
    QHash<ShapedKey, std::weak_ptr<const TfrShapedText>> alive;
    qsizetype swept = 64; // what `alive` held after its last sweep, at least 64

    std::shared_ptr<const TfrShapedText> find(const ShapedKey &key)
    {
        if (const auto *found = last.object(key))
            return *found;
        const auto it = alive.constFind(key);
        std::shared_ptr<const TfrShapedText> held = it == alive.cend() ? nullptr : it->lock();
        if (held)
            last.insert(key, new std::shared_ptr<const TfrShapedText>(held), bytesOf(*held));
        return held;
    }

    void keep(const ShapedKey &key, const std::shared_ptr<const TfrShapedText> &shaped)
    {
        last.insert(key, new std::shared_ptr<const TfrShapedText>(shaped), bytesOf(*shaped));
        alive.insert(key, shaped);
        if (alive.size() > 2 * swept) { // the lines of pages let go
            alive.removeIf([](decltype(alive)::iterator it) { return it->expired(); });
            swept = std::max<qsizetype>(64, alive.size());
        }
    }
};

qint64 g_shaped = 0;

// Whether a run is drawn as a simple text would draw it: in the face, left to right, each
// character one glyph of the face's character map, at the advances before it, on the baseline.
bool drawnPlain(const TfrGlyphRun &run, const std::vector<TfrShapedGlyph> &glyphs,
                const QString &text, TfrFontMetrics::Face &face)
{
    if (run.RightToLeft || glyphs.empty() || run.Font.familyName() != face.raw.familyName() ||
        run.Font.styleName() != face.raw.styleName())
        return false;
    double x = glyphs.front().X;
    int at = glyphs.front().First;
    for (const TfrShapedGlyph &g : glyphs) {
        if (g.First != at || g.End != at + 1 || std::abs(g.Y) > 1e-4 || std::abs(g.X - x) > 1e-4)
            return false;
        const QChar c = text[at];
        const float advance = face.advanceOf(c.unicode());
        quint32 glyph = 0;
        int n = 1;
        if (advance == TfrFontMetrics::kShaped ||
            !face.raw.glyphIndexesForChars(&c, 1, &glyph, &n) || glyph != g.Glyph)
            return false;
        x += advance;
        ++at;
    }
    return true;
}

// The runs' glyphs kept in one block, a plain run's as its one entry.
void keepCompact(TfrShapedText &shaped, std::vector<std::vector<TfrShapedGlyph>> &glyphsOfRun,
                 TfrFontMetrics::Face &face)
{
    size_t count = 0;
    for (size_t r = 0; r < shaped.Runs.size(); ++r) {
        std::vector<TfrShapedGlyph> &glyphs = glyphsOfRun[r];
        if (drawnPlain(shaped.Runs[r], glyphs, shaped.Text, face)) {
            glyphs = {{0, glyphs.front().First, glyphs.back().End, glyphs.front().X, 0}};
            shaped.Runs[r].Plain = true;
        }
        count += glyphs.size();
    }
    shaped.Glyphs.reserve(count);
    for (size_t r = 0; r < shaped.Runs.size(); ++r) {
        const size_t first = shaped.Glyphs.size();
        shaped.Glyphs.insert(shaped.Glyphs.end(), glyphsOfRun[r].begin(), glyphsOfRun[r].end());
        shaped.Runs[r].Glyphs =
            std::span<const TfrShapedGlyph>(shaped.Glyphs.data() + first, glyphsOfRun[r].size());
    }
}

} // namespace

std::shared_ptr<const TfrShapedText> frShapeText(const QString &text, const TfrFontSpec &spec)
{
    static ShapedLines kept;
    const int index = faceIndex(spec);
    if (std::shared_ptr<const TfrShapedText> found = kept.find({index, text}))
        return found;

    ++g_shaped;
    const ShapedLine shaped(text, index, uprightRanges(text, index));
    const double baseline = shaped.line.ascent();
    auto result = std::make_shared<TfrShapedText>();
    result->Text = text;
    result->Width = shaped.line.naturalTextWidth() / kRawSize;
    QHash<PlacedGlyph, int> clusterOf;
    const std::vector<std::pair<int, int>> clusters = findClusters(text, shaped.layout, clusterOf);
    std::vector<std::vector<TfrShapedGlyph *>> glyphsOf(clusters.size());
    const QRawFont &box = faceAt(index).raw;
    const QList<QGlyphRun> runs = shaped.line.glyphRuns();
    result->Runs.resize(size_t(runs.size()));
    std::vector<std::vector<TfrShapedGlyph>> glyphsOfRun(size_t(runs.size()));
    // Where each run begins, in ems: the runs abut, each ending where the next begins.
    std::vector<double> lefts(size_t(runs.size()), std::numeric_limits<double>::max());
    for (qsizetype r = 0; r < runs.size(); ++r)
        for (const QPointF &p : runs[r].positions())
            lefts[size_t(r)] = std::min(lefts[size_t(r)], p.x() / kRawSize);
    struct Widened
    {
        size_t run;
        double right, by; // where it ended, how much wider it is (ems)
    };
    std::vector<Widened> widened;
    for (qsizetype r = 0; r < runs.size(); ++r) {
        const QGlyphRun &run = runs[r];
        TfrGlyphRun &out = result->Runs[size_t(r)];
        const bool embeddable = frEmbeddable(run.rawFont());
        out.RightToLeft = run.isRightToLeft();
        std::vector<TfrShapedGlyph> &outGlyphs = glyphsOfRun[size_t(r)];
        // Qt's empty boxes: the run's stretch shaped anew in a face that has its letters (the
        // report's own for blanks alone, that Qt gave the script of the letters before them)
        int first = int(text.size()), end = 0;
        for (qsizetype g = 0; !embeddable && g < run.glyphIndexes().size(); ++g)
            if (const int c = clusterOf.value(placed(run, g), -1); c >= 0) {
                first = std::min(first, clusters[size_t(c)].first);
                end = std::max(end, clusters[size_t(c)].second);
            }
        const QString letters = visibleOf(QStringView(text).mid(first, end - first));
        const QRawFont face = first >= end        ? QRawFont()
                              : letters.isEmpty() ? box
                                                  : faceWith(letters, index);
        if (face.isValid()) {
            const std::vector<FaceGlyph> drawn =
                shapeInFace(text, first, end, out.RightToLeft, face);
            out.Font = face;
            outGlyphs.resize(drawn.size());
            double right = result->Width, width = 0;
            for (const double left : lefts)
                if (left > lefts[size_t(r)] + 1e-6)
                    right = std::min(right, left);
            for (size_t i = 0; i < drawn.size(); ++i) {
                // a right-to-left run's glyphs in the text's order
                const FaceGlyph &g = drawn[out.RightToLeft ? drawn.size() - 1 - i : i];
                TfrShapedGlyph &glyph = outGlyphs[i];
                glyph.Glyph = g.glyph <= 0xFFFF ? quint16(g.glyph) : 0;
                glyph.X = float(lefts[size_t(r)] + g.x);
                glyph.Y = float(g.y);
                width += g.advance;
                const auto cluster = std::upper_bound(
                    clusters.begin(), clusters.end(), g.cluster,
                    [](int at, const std::pair<int, int> &c) { return at < c.first; });
                if (cluster != clusters.begin())
                    glyphsOf[size_t(cluster - clusters.begin() - 1)].push_back(&glyph);
            }
            widened.push_back({size_t(r), right, width - (right - lefts[size_t(r)])});
            continue;
        }
        // what no embeddable face has prints as the report face's empty box, as the layout
        // recorded it
        out.Font = embeddable ? run.rawFont() : box;
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        outGlyphs.resize(size_t(glyphs.size()));
        for (qsizetype g = 0; g < glyphs.size(); ++g) {
            TfrShapedGlyph &glyph = outGlyphs[size_t(g)];
            glyph.Glyph = embeddable && glyphs[g] <= 0xFFFF ? quint16(glyphs[g]) : 0;
            glyph.X = float(positions[g].x() / kRawSize);
            glyph.Y = float((positions[g].y() - baseline) / kRawSize);
            if (const int c = clusterOf.value(placed(run, g), -1); c >= 0)
                glyphsOf[size_t(c)].push_back(&glyph); // else it stands for nothing
        }
    }
    // the runs after one shaped anew move by what it grew
    for (const Widened &w : widened) {
        result->Width += w.by;
        for (size_t r = 0; r < glyphsOfRun.size(); ++r)
            if (r != w.run && lefts[r] >= w.right - 1e-6)
                for (TfrShapedGlyph &g : glyphsOfRun[r])
                    g.X += float(w.by);
    }
    for (size_t c = 0; c < clusters.size(); ++c)
        standFor(text, clusters[c], glyphsOf[c]);
    keepCompact(*result, glyphsOfRun, faceAt(index));
    kept.keep({index, result->Text}, result);
    return result;
}

qint64 frShapedTexts()
{
    return g_shaped;
}

bool frEmbeddable(const QRawFont &face)
{
    // Qt's face of empty boxes has no family: asking its name ends the program inside Qt.
    if (face.fontTable("head").isEmpty())
        return false;
    static QHash<QString, bool> known;
    const QString key = face.familyName() + QLatin1Char('|') + face.styleName();
    auto it = known.find(key);
    if (it == known.end())
        it = known.insert(key, !face.fontTable("glyf").isEmpty() ||
                                   !face.fontTable("CFF ").isEmpty() ||
                                   !face.fontTable("CFF2").isEmpty());
    return *it;
}

QString frComposed(QString text)
{
    // Below the first combining mark every text is composed already.
    for (const QChar c : std::as_const(text)) {
        if (c.unicode() >= 0x300)
            return text.normalized(QString::NormalizationForm_C);
    }
    return text;
}

QFont frQFont(const TfrFontSpec &spec)
{
    static const bool registered = [] {
        for (int i = 0; i < 4; ++i)
            QFontDatabase::addApplicationFont(frFontFile(i >= 2, i % 2 == 1));
        return true;
    }();
    Q_UNUSED(registered);
    QFont font(frFontFamily());
    font.setPointSizeF(spec.Size);
    font.setBold(spec.Bold);
    font.setItalic(spec.Italic);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}
