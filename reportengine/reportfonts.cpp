#include "reportengine/reportfonts.h"

#include "platform/vxexception.h"

#include <QFontDatabase>
#include <QRawFont>

#include <memory>
#include <vector>

namespace {

const char *const kFontDir = "/usr/share/fonts/truetype/liberation2/";
// Advances are read at this many pixels per em, where they are the design values.
constexpr double kRawSize = 1000.0;
constexpr double kMmPerPoint = 25.4 / 72.0;

} // namespace

// One face: its vertical metrics in ems and the advances of the characters met so far.
struct TfrFontMetrics::Face
{
    QRawFont raw;
    double ascent = 0;
    double lineHeight = 0;
    // By UTF-16 unit; a negative value is not yet measured. Surrogate pairs are measured
    // together, each time, as they are rare in a school's texts.
    std::vector<float> advance = std::vector<float>(0x10000, -1.0f);

    double measure(const QString &text) const
    {
        const QList<quint32> glyphs = raw.glyphIndexesForString(text);
        const QList<QPointF> advances =
            raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
        double total = 0;
        for (const QPointF &a : advances)
            total += a.x();
        return total / kRawSize;
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

TfrFontMetrics TfrFontMetrics::of(const TfrFontSpec &spec)
{
    static std::unique_ptr<Face> faces[4];
    const int index = (spec.Bold ? 2 : 0) + (spec.Italic ? 1 : 0);
    if (!faces[index]) {
        const QString file = frFontFile(spec.Bold, spec.Italic);
        auto face = std::make_unique<Face>();
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
    return TfrFontMetrics(faces[index].get(), spec.Size * kMmPerPoint);
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
        const char16_t u = p[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            total += m_face->measure(QString(p + i, 2));
            ++i;
            continue;
        }
        float &a = m_face->advance[u];
        if (a < 0)
            a = float(m_face->measure(QString(QChar(u))));
        total += a;
    }
    return total * m_em;
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
