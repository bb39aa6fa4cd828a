#include "reportengine/reportrender.h"

#include "platform/fileaccess.h"
#include "platform/printoutput.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "reportengine/reportpdf.h"

#include <QDir>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;
constexpr double kEps = 0.01; // millimetres

QRectF toDevice(const QRectF &mm, double s)
{
    return QRectF(mm.x() * s, mm.y() * s, mm.width() * s, mm.height() * s);
}

QPen pen(double lineWidthMm, double s)
{
    // A width of 0 is the thinnest line the device draws.
    QPen p(Qt::black, lineWidthMm * s);
    p.setCapStyle(Qt::SquareCap);
    p.setJoinStyle(Qt::MiterJoin);
    return p;
}

} // namespace

QRawFont TfrPageRenderer::rawFont(const TfrFontSpec &spec, double pixelSize)
{
    const QString key = QStringLiteral("%1%2%3")
                            .arg(spec.Bold ? 'b' : 'r')
                            .arg(spec.Italic ? 'i' : 'r')
                            .arg(pixelSize, 0, 'g', 10);
    auto it = m_fonts.find(key);
    if (it == m_fonts.end()) {
        QRawFont raw = QRawFont::fromFont(frQFont(spec));
        raw.setPixelSize(pixelSize);
        it = m_fonts.insert(key, raw);
    }
    return *it;
}

QRawFont TfrPageRenderer::sized(const QRawFont &face, double pixelSize)
{
    const QString key = face.familyName() + QLatin1Char('|') + face.styleName() + QLatin1Char('|') +
                        QString::number(pixelSize, 'g', 10);
    auto it = m_fonts.find(key);
    if (it == m_fonts.end()) {
        QRawFont raw = face;
        raw.setPixelSize(pixelSize);
        it = m_fonts.insert(key, raw);
    }
    return *it;
}

QGlyphRun TfrPageRenderer::plainRun(const QRawFont &raw, const TfrFontMetrics &metrics,
                                    QStringView text, double s, double &x)
{
    // One glyph per character, straight from the font's character map.
    const QList<quint32> glyphs = raw.glyphIndexesForString(text.toString());
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    for (qsizetype i = 0; i < text.size() && positions.size() < glyphs.size();) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        positions.append(QPointF(x * s, 0));
        x += metrics.width(text.mid(i, n));
        i += n;
    }
    QGlyphRun run;
    run.setRawFont(raw);
    run.setGlyphIndexes(glyphs.mid(0, positions.size()));
    run.setPositions(positions);
    return run;
}

void TfrPageRenderer::drawText(QPainter &painter, const TfrDisplayItem &item, double s)
{
    const TfrFontMetrics metrics = TfrFontMetrics::of(item.Font);
    const QString &text = item.Text;
    if (!metrics.simple(text)) {
        drawShapedText(painter, item, s);
        return;
    }
    double x = 0;
    const QGlyphRun run =
        plainRun(rawFont(item.Font, item.Font.Size * kMmPerPoint * s), metrics, text, s, x);
    if (run.glyphIndexes().isEmpty())
        return;

    // Only a line that leaves its box is clipped: a clip costs every device something.
    const QRectF &box = item.Box;
    const bool clip = frTextLeavesBox(item, x);
    if (clip) {
        painter.save();
        painter.setClipRect(toDevice(box, s), Qt::IntersectClip);
    }
    painter.setPen(Qt::black);
    painter.drawGlyphRun(item.Origin * s, run);
    if (clip)
        painter.restore();
}

void TfrPageRenderer::drawShapedText(QPainter &painter, const TfrDisplayItem &item, double s)
{
    const std::shared_ptr<const TfrShapedText> shaped = frShapeText(item.Text, item.Font);
    const double em = item.Font.Size * kMmPerPoint * s; // pixels
    const bool clip = frTextLeavesBox(item, shaped->Width * item.Font.Size * kMmPerPoint);
    if (clip) {
        painter.save();
        painter.setClipRect(toDevice(item.Box, s), Qt::IntersectClip);
    }
    painter.setPen(Qt::black);
    const TfrFontMetrics metrics = TfrFontMetrics::of(item.Font);
    for (const TfrGlyphRun &r : shaped->Runs) {
        if (r.Plain) {
            const TfrShapedGlyph &stretch = r.Glyphs.front();
            double x = stretch.X * item.Font.Size * kMmPerPoint;
            painter.drawGlyphRun(item.Origin * s, plainRun(sized(r.Font, em), metrics,
                                                           shaped->textOf(stretch), s, x));
            continue;
        }
        QList<quint32> glyphs;
        QList<QPointF> positions;
        glyphs.reserve(qsizetype(r.Glyphs.size()));
        positions.reserve(qsizetype(r.Glyphs.size()));
        for (const TfrShapedGlyph &g : r.Glyphs) {
            glyphs.append(g.Glyph);
            positions.append(QPointF(g.X, g.Y) * em);
        }
        QGlyphRun run;
        run.setRawFont(sized(r.Font, em));
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.drawGlyphRun(item.Origin * s, run);
    }
    if (clip)
        painter.restore();
}

void TfrPageRenderer::drawPage(QPainter &painter, const TfrPage &page, double s)
{
    for (const TfrDisplayItem &item : page.Items) {
        switch (item.Kind) {
        case TfrItemKind::Text:
            if (!item.Text.isEmpty())
                drawText(painter, item, s);
            break;
        case TfrItemKind::Line:
            painter.setPen(pen(item.LineWidth, s));
            painter.drawLine(QLineF(item.Line.p1() * s, item.Line.p2() * s));
            break;
        case TfrItemKind::Rect: {
            const QRectF box = toDevice(item.Box, s);
            if (item.Fill.isValid())
                painter.fillRect(box, item.Fill);
            if (item.Stroke) {
                painter.setPen(pen(item.LineWidth, s));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(box);
            }
            break;
        }
        }
    }
}

QImage TfrPageRenderer::pageImage(const TfrPage &page, double s)
{
    const QSize size(qMax(1, qRound(page.Size.width() * s)),
                     qMax(1, qRound(page.Size.height() * s)));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawPage(painter, page, s);
    return image;
}

bool frTextLeavesBox(const TfrDisplayItem &item, double width)
{
    const QRectF &box = item.Box;
    return item.Origin.x() < box.left() - kEps || item.Origin.x() + width > box.right() + kEps ||
           box.height() < TfrFontMetrics::of(item.Font).lineHeight() - kEps;
}

QPageLayout frPageLayout(const TfrPage &page)
{
    const double w = page.Size.width();
    const double h = page.Size.height();
    const QPageSize size(QSizeF(std::min(w, h), std::max(w, h)), QPageSize::Millimeter, QString(),
                         QPageSize::FuzzyMatch);
    return QPageLayout(size, w > h ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

namespace {

// Draws the pages from first to last (indexes) on a device whose painter is open.
template <typename NewPage>
void drawPages(const TfrDisplayList &pages, int first, int last, QPainter &painter, double s,
               const QString &title, NewPage newPage)
{
    TfrPageRenderer renderer;
    TVxProgress progress(title);
    const int count = last - first + 1;
    for (int i = first; i <= last; ++i) {
        if (i > first)
            newPage(pages.Pages[size_t(i)]);
        if (progress.due())
            progress.show(QStringLiteral("Pagina %1 di %2").arg(i - first + 1).arg(count));
        renderer.drawPage(painter, pages.Pages[size_t(i)], s);
    }
}

} // namespace

void frExportPdf(const TfrDisplayList &pages, const QString &fileName, const QString &title,
                 int resolution)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    if (pages.Pages.empty())
        throw EVxException(
            QStringLiteral("Il report non ha pagine: il file PDF %1 non è stato scritto.")
                .arg(shown),
            EVxException::Warning);
    const auto failed = [&shown](const QString &reason) {
        return EVxException(QStringLiteral("Impossibile esportare il report nel file PDF %1.\r\r"
                                           "Verificare che la cartella esista e si possa scrivere.")
                                .arg(shown),
                            EVxException::Error, reason);
    };
    Q_UNUSED(resolution);
    TVxFileReplacement file(fileName);
    if (!file.open())
        throw file.failure();
    if (!frWritePdf(file, pages, title))
        throw file.failed() ? file.failure() : failed(file.errorString());
    file.commit();
}

void frPrintPages(const TfrDisplayList &pages, TVxPrintOutput &output)
{
    if (pages.Pages.empty())
        return;
    const int count = int(pages.Pages.size());
    int first = 0;
    int last = count - 1;
    if (output.fromPage() > 0) {
        first = std::clamp(output.fromPage(), 1, count) - 1;
        last = std::clamp(output.toPage() > 0 ? output.toPage() : count, first + 1, count) - 1;
    }
    QPainter painter;
    output.begin(painter);
    drawPages(pages, first, last, painter, output.dotsPerMm(), pages.Title,
              [&output](const TfrPage &) { output.newPage(); });
    output.end(painter);
}
