#include "reportengine/reportfonts.h"

#include "platform/vxexception.h"

#include <QFontDatabase>
#include <QHash>
#include <QTextLayout>

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
// The advance of a UTF-16 unit not yet measured, and of one that only shaping measures.
constexpr float kUnmeasured = -1.0f;
constexpr float kShaped = -2.0f;

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

} // namespace

// One face: its vertical metrics in ems and the advances of the characters met so far.
struct TfrFontMetrics::Face
{
    int index = 0;
    QRawFont raw;
    double ascent = 0;
    double lineHeight = 0;
    // By UTF-16 unit: kUnmeasured, kShaped, or the advance in ems.
    std::vector<float> advance = std::vector<float>(0x10000, kUnmeasured);
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
        if (a != kUnmeasured)
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
            a = kShaped;
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
            const ShapedLine shaped(QString::fromUcs4(&c, 1), index);
            Alone a{shaped.line.naturalTextWidth() / kRawSize, true};
            for (const QGlyphRun &run : shaped.line.glyphRuns())
                for (const quint32 g : run.glyphIndexes())
                    a.missing = a.missing && (g == 0 || !frEmbeddable(run.rawFont()));
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
        if ((n == 2 || face.advanceOf(text[i].unicode()) == kShaped) &&
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
    : m_face(face), m_em(em), m_ascent(face->ascent * em), m_lineHeight(face->lineHeight * em)
{
}

double TfrFontMetrics::width(QStringView text) const
{
    double total = 0;
    const QChar *p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const float a = m_face->advanceOf(p[i].unicode());
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

bool TfrFontMetrics::simple(QStringView text) const
{
    for (const QChar c : text) {
        if (m_face->advanceOf(c.unicode()) == kShaped)
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
        if ((c > 0xFFFF || m_face->advanceOf(char16_t(c)) == kShaped) && !invisible(c) &&
            m_face->drawn(c).missing) {
            const QString s = QString::fromUcs4(&c, 1);
            if (!found.contains(s))
                found += s;
        }
    }
    return found;
}

std::shared_ptr<const TfrShapedText> frShapeText(const QString &text, const TfrFontSpec &spec)
{
    // The lines of a page or two: the layout measures them, the preview and the PDF draw them.
    static QHash<QString, std::shared_ptr<const TfrShapedText>> kept;
    const int index = faceIndex(spec);
    const QString key = QChar(u'0' + index) + text;
    if (const auto it = kept.constFind(key); it != kept.constEnd())
        return *it;
    if (kept.size() >= 4096)
        kept.clear();

    const ShapedLine shaped(text, index, uprightRanges(text, index));
    const double baseline = shaped.line.ascent();
    auto result = std::make_shared<TfrShapedText>();
    result->Width = shaped.line.naturalTextWidth() / kRawSize;
    // What each glyph stands for: the characters whose clusters hold it, by face, glyph and
    // place (the same glyph twice on a line stands for its own character each time).
    const auto glyphKey = [](const QGlyphRun &run, qsizetype i) {
        const QPointF p = run.positions().at(i);
        return run.rawFont().familyName() + QLatin1Char('|') + run.rawFont().styleName() +
               QLatin1Char('|') + QString::number(run.glyphIndexes().at(i)) + QLatin1Char('|') +
               QString::number(qRound(p.x() * 16)) + QLatin1Char('|') +
               QString::number(qRound(p.y() * 16));
    };
    QHash<QString, std::pair<QString, qsizetype>> textOf; // and the last character's index
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        for (const QGlyphRun &run : shaped.layout.glyphRuns(int(i), int(n))) {
            for (qsizetype g = 0; g < run.glyphIndexes().size(); ++g) {
                auto &[chars, last] = textOf[glyphKey(run, g)];
                if (chars.isEmpty() || last != i)
                    chars += text.mid(i, n);
                last = i;
            }
        }
        i += n;
    }
    for (const QGlyphRun &run : shaped.line.glyphRuns()) {
        TfrGlyphRun out;
        out.Font = run.rawFont();
        out.Glyphs = run.glyphIndexes();
        for (qsizetype g = 0; g < out.Glyphs.size(); ++g) {
            const QPointF p = run.positions().at(g);
            out.Positions.append(QPointF(p.x() / kRawSize, (p.y() - baseline) / kRawSize));
            out.Texts.append(textOf.value(glyphKey(run, g)).first);
        }
        result->Runs.push_back(std::move(out));
    }
    kept.insert(key, result);
    return result;
}

bool frEmbeddable(const QRawFont &face)
{
    static QHash<QString, bool> known;
    const QString key = face.familyName() + QLatin1Char('|') + face.styleName();
    auto it = known.find(key);
    if (it == known.end())
        it = known.insert(key, !face.fontTable("glyf").isEmpty());
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
