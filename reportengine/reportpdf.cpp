#include "reportengine/reportpdf.h"

#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "reportengine/reportrender.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QPainterPath>
#include <QRawFont>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr double kPtPerMm = 72.0 / 25.4;

quint16 be16(const char *p)
{
    return quint16((uchar(p[0]) << 8) | uchar(p[1]));
}

quint32 be32(const char *p)
{
    return (quint32(be16(p)) << 16) | be16(p + 2);
}

void put16(char *p, quint32 v)
{
    p[0] = char(v >> 8);
    p[1] = char(v);
}

void put32(char *p, quint32 v)
{
    put16(p, v >> 16);
    put16(p + 2, v);
}

// A number as content streams and dictionaries hold it: at most `decimals` decimals, no
// trailing zeros, no exponent.
void appendNumber(QByteArray &out, double v, int decimals = 2)
{
    static constexpr long long kScale[] = {1, 10, 100, 1000};
    long long n = std::llround(v * double(kScale[decimals]));
    if (n < 0) {
        out += '-';
        n = -n;
    }
    char digits[24];
    int len = 0;
    do {
        digits[len++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0 || len <= decimals);
    int last = 0; // the lowest decimal that is not a zero
    while (last < decimals && digits[last] == '0')
        ++last;
    for (int i = len - 1; i >= decimals; --i)
        out += digits[i];
    if (last < decimals) {
        out += '.';
        for (int i = decimals - 1; i >= last; --i)
            out += digits[i];
    }
}

QByteArray number(double v, int decimals = 2)
{
    QByteArray out;
    appendNumber(out, v, decimals);
    return out;
}

void appendHex4(QByteArray &out, quint32 v)
{
    static const char hex[] = "0123456789ABCDEF";
    const char digits[4] = {hex[(v >> 12) & 15], hex[(v >> 8) & 15], hex[(v >> 4) & 15],
                            hex[v & 15]};
    out.append(digits, 4);
}

// A text string of the document's properties and of marked content: UTF-16 with its byte order
// mark.
QByteArray textString(QStringView text)
{
    QByteArray out = "<FEFF";
    for (const QChar c : text)
        appendHex4(out, c.unicode());
    return out + '>';
}

// One face, read once for the life of the program: its TrueType tables and a
// character-to-glyph cache. The report's own faces and those shaping took characters from.
// A face whose outlines are not TrueType (CFF, as OpenType fonts of Chinese, Japanese and
// Korean are) is drawn from its outlines: a PDF font of drawn glyphs (Type 3).
struct FontFile
{
    QRawFont raw;
    QByteArray name; // PostScript name
    QHash<QByteArray, QByteArray> tables;
    int unitsPerEm = 1000;
    int glyphCount = 0;
    int hMetricCount = 0;
    bool longLoca = false;
    bool drawn = false; // its glyphs drawn from their outlines
    double italicAngle = 0;
    std::vector<qint32> glyphOfUnit = std::vector<qint32>(0x10000, -1);

    QByteArrayView table(const char *tag) const
    {
        const auto it = tables.find(tag);
        return it == tables.end() ? QByteArrayView() : QByteArrayView(*it);
    }

    quint32 glyphOffset(int glyph) const
    {
        const char *loca = table("loca").data();
        return longLoca ? be32(loca + 4 * glyph) : 2u * be16(loca + 2 * glyph);
    }

    int advance(int glyph) const // font units
    {
        return be16(table("hmtx").data() + 4 * std::min(glyph, hMetricCount - 1));
    }

    quint32 glyph(const char16_t *units, int count)
    {
        if (count == 1 && glyphOfUnit[units[0]] >= 0)
            return quint32(glyphOfUnit[units[0]]);
        quint32 glyphs[2] = {0, 0};
        int n = 2;
        if (!raw.glyphIndexesForChars(reinterpret_cast<const QChar *>(units), count, glyphs, &n))
            glyphs[0] = 0;
        if (count == 1)
            glyphOfUnit[units[0]] = qint32(glyphs[0]);
        return glyphs[0];
    }

    static FontFile &of(const TfrFontSpec &spec);
    static FontFile &of(const QRawFont &face);
};

FontFile &FontFile::of(const TfrFontSpec &spec)
{
    static FontFile *faces[4] = {};
    const int index = (spec.Bold ? 2 : 0) + (spec.Italic ? 1 : 0);
    if (faces[index])
        return *faces[index];
    TfrFontMetrics::of(spec); // raises, naming the package, when the file is missing
    QFile file(frFontFile(spec.Bold, spec.Italic));
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    QRawFont raw;
    raw.loadFromData(data, 1000, QFont::PreferNoHinting);
    if (!raw.isValid())
        throw EVxException(
            QStringLiteral("Il carattere dei report %1 è danneggiato.").arg(file.fileName()));
    faces[index] = &of(raw);
    return *faces[index];
}

// By family and style: the report's face and the same face met in a shaped line are one.
FontFile &FontFile::of(const QRawFont &face)
{
    static std::map<QString, std::unique_ptr<FontFile>> files;
    const QString key = face.familyName() + QLatin1Char('|') + face.styleName();
    std::unique_ptr<FontFile> &f = files[key];
    if (f)
        return *f;
    auto file = std::make_unique<FontFile>();
    file->raw = face;
    file->raw.setPixelSize(1000);
    for (const char *tag :
         {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "cvt ", "fpgm", "prep", "post"}) {
        const QByteArray t = face.fontTable(tag);
        if (!t.isEmpty())
            file->tables.insert(tag, t);
    }
    file->drawn = !file->tables.contains("glyf") || !file->tables.contains("loca");
    for (const char *needed : {"head", "hhea", "maxp", "hmtx"})
        if (!file->tables.contains(needed) || !frEmbeddable(face))
            throw EVxException(QStringLiteral("Il carattere %1 %2 non si può incorporare nel "
                                              "PDF: non ha i contorni delle lettere.")
                                   .arg(face.familyName(), face.styleName()));
    // "Liberation Sans" "Bold Italic": LiberationSans-BoldItalic
    QString name = face.familyName().remove(QLatin1Char(' '));
    const QString style = face.styleName().remove(QLatin1Char(' '));
    if (style != QLatin1String("Regular") && style != QLatin1String("Book") && !style.isEmpty())
        name += QLatin1Char('-') + style;
    for (const QChar c : std::as_const(name))
        if (c.unicode() > ' ' && c.unicode() < 0x7F &&
            !QByteArrayView("()<>[]{}/%#").contains(char(c.unicode())))
            file->name += char(c.unicode());
    const auto damaged = [&face] {
        return EVxException(QStringLiteral("Il carattere %1 %2 è danneggiato.")
                                .arg(face.familyName(), face.styleName()));
    };
    if (file->table("head").size() < 54 || file->table("hhea").size() < 36 ||
        file->table("maxp").size() < 6)
        throw damaged();
    const char *head = file->table("head").data();
    file->unitsPerEm = be16(head + 18);
    file->longLoca = be16(head + 50) != 0;
    file->glyphCount = be16(file->table("maxp").data() + 4);
    file->hMetricCount = std::max(1, int(be16(file->table("hhea").data() + 34)));
    if ((!file->drawn &&
         file->table("loca").size() < (file->glyphCount + 1) * (file->longLoca ? 4 : 2)) ||
        file->table("hmtx").size() < 4 * file->hMetricCount)
        throw damaged();
    if (const QByteArrayView post = file->table("post"); post.size() >= 8)
        file->italicAngle = qint16(be16(post.data() + 4)) + be16(post.data() + 6) / 65536.0;
    f = std::move(file);
    return *f;
}

// What one document uses of a face: its glyphs, each under a code that a reader copies as the
// text it stands for, at the width the line gives it. A glyph's code is its number where it
// stands for the same text at its own width throughout the document; where it stands for other
// text (a glyph the font draws for two characters, the empty box of each letter no font has)
// or the line advances past it by another width (a mark, that the line places on its letter),
// or it is shown away from where it draws (a right-to-left run's, PageContent::rightToLeftRun),
// it gets a code of its own above the face's glyphs, drawing the same glyph: every code its
// own text, width and shift, so that a reader that reads the glyphs alone gets the letters, and
// no gap or overlap between them. A drawn face (FontFile::drawn) has codes of its own only, 255
// to a PDF font.
struct FaceUse
{
    FontFile *file = nullptr;
    std::vector<bool> used;      // by glyph
    std::vector<QString> textOf; // by glyph: the text its own code stands for
    struct Variant
    {
        quint32 glyph;
        QString text;
        double width; // thousandths of an em
        QPoint shift; // font units, y upwards: where the glyph draws from the code's origin
    };
    std::vector<Variant> variants; // the codes from firstVariant() on
    QHash<QString, quint32> variantCode;

    static constexpr quint32 kDrawnBlock = 255; // and a code for poppler (frWritePdf)
    quint32 firstVariant() const { return file->drawn ? 0 : quint32(file->glyphCount); }
    // Of a drawn face, the codes of each PDF font; one font else.
    quint32 block(quint32 code) const { return file->drawn ? code / kDrawnBlock : 0; }

    double width(int glyph) const { return file->advance(glyph) * 1000.0 / file->unitsPerEm; }
    double widthOfCode(quint32 code) const
    {
        return code >= firstVariant() ? variants[code - firstVariant()].width : width(int(code));
    }
    quint32 glyphOfCode(quint32 code) const
    {
        return code >= firstVariant() ? variants[code - firstVariant()].glyph : code;
    }
    QPoint shiftOfCode(quint32 code) const
    {
        return code >= firstVariant() ? variants[code - firstVariant()].shift : QPoint();
    }
    // A drawn face's code as it draws, in thousandths of an em, y downwards.
    QPainterPath pathOfCode(quint32 code) const
    {
        const QPoint shift = shiftOfCode(code);
        return file->raw.pathForGlyph(glyphOfCode(code))
            .translated(shift.x() * 1000.0 / file->unitsPerEm,
                        -shift.y() * 1000.0 / file->unitsPerEm);
    }

    // The code of a glyph standing for the text at the width (thousandths of an em), drawn
    // shifted from its origin by `shift` (ems, y downwards).
    quint32 code(quint32 glyph, QStringView text, double advance, QPointF shift = {})
    {
        if (glyph >= used.size())
            glyph = 0;
        used[glyph] = true;
        const qint64 units = std::llround(advance * 10);
        const QPoint moved(int(std::lround(shift.x() * file->unitsPerEm)),
                           int(std::lround(-shift.y() * file->unitsPerEm)));
        if (!file->drawn && !text.isEmpty() && moved.isNull() &&
            units == std::llround(width(int(glyph)) * 10)) {
            QString &stands = textOf[glyph];
            if (stands.isEmpty())
                stands = text.toString();
            if (stands == text)
                return glyph;
        }
        QString key = text.toString();
        key += QChar(0) + QString::number(glyph) + QChar(0) + QString::number(units);
        if (!moved.isNull())
            key += QChar(0) + QString::number(moved.x()) + QChar(0) + QString::number(moved.y());
        const auto it = variantCode.constFind(key);
        if (it != variantCode.constEnd())
            return *it;
        const quint32 next = firstVariant() + quint32(variants.size());
        variants.push_back({glyph, text.toString(), double(units) / 10, moved});
        return *variantCode.insert(key, next);
    }

    // The glyphs of the codes above the face's own: each a glyph made of the one it draws, at
    // its width and shift (a reader that takes widths from the font, as MuPDF does, finds the
    // same); the metrics then one advance a glyph.
    void addVariants(QByteArray &glyf, QByteArray &loca, QByteArray &hmtx, QByteArray &hhea,
                     QByteArray &maxp) const
    {
        const FontFile &f = *file;
        const QByteArrayView source = f.table("glyf");
        const int total = f.glyphCount + int(variants.size());
        const auto lsb = [&f](int g) -> quint16 {
            const QByteArrayView h = f.table("hmtx");
            const qsizetype at =
                g < f.hMetricCount ? 4 * g + 2 : 4 * f.hMetricCount + 2 * (g - f.hMetricCount);
            return at + 2 <= h.size() ? be16(h.data() + at) : 0;
        };
        QByteArray metrics(4 * total, '\0');
        for (int g = 0; g < f.glyphCount; ++g) {
            put16(metrics.data() + 4 * g,
                  g < f.hMetricCount ? be16(hmtx.data() + 4 * g) : f.advance(g));
            put16(metrics.data() + 4 * g + 2, lsb(g));
        }
        for (size_t v = 0; v < variants.size(); ++v) {
            const int g = int(variants[v].glyph), n = f.glyphCount + int(v);
            put32(loca.data() + 4 * n, quint32(glyf.size()));
            const quint32 start = f.glyphOffset(g), end = f.glyphOffset(g + 1);
            if (end > start + 10 && end <= quint32(source.size())) {
                const QPoint shift = variants[v].shift;
                QByteArray composite(20, '\0');
                put16(composite.data(), 0xFFFF); // contours: -1, a composite
                for (int i = 0; i < 4; ++i)      // its box, shifted
                    put16(composite.data() + 2 + 2 * i,
                          quint16(qint16(be16(source.data() + start + 2 + 2 * i)) +
                                  (i % 2 ? shift.y() : shift.x())));
                put16(composite.data() + 10, 0x0003); // offsets as words, x and y
                put16(composite.data() + 12, quint32(g));
                put16(composite.data() + 14, quint16(qint16(shift.x())));
                put16(composite.data() + 16, quint16(qint16(shift.y())));
                glyf += composite;
            }
            put16(metrics.data() + 4 * n,
                  quint32(std::lround(variants[v].width * f.unitsPerEm / 1000.0)));
            put16(metrics.data() + 4 * n + 2, quint16(qint16(lsb(g)) + variants[v].shift.x()));
        }
        hmtx = metrics;
        put16(hhea.data() + 34, quint32(total));
        put16(maxp.data() + 4, quint32(total));
        if (maxp.size() >= 32) { // TrueType's maximums: room for a composite of one part
            put16(maxp.data() + 10, std::max(be16(maxp.data() + 10), be16(maxp.data() + 6)));
            put16(maxp.data() + 12, std::max(be16(maxp.data() + 12), be16(maxp.data() + 8)));
            put16(maxp.data() + 28, std::max<quint16>(be16(maxp.data() + 28), 1));
            put16(maxp.data() + 30, quint32(be16(maxp.data() + 30) + 1));
        }
    }

    // The subset: every glyph the document uses and the parts of the composite ones, at their
    // own numbers (so the content streams' codes stay the font's glyph numbers), the others
    // empty; the tables a PDF reader draws with, nothing else.
    QByteArray subset() const
    {
        const FontFile &f = *file;
        std::vector<bool> kept(size_t(f.glyphCount), false);
        std::vector<int> pending{0};
        for (int g = 1; g < f.glyphCount; ++g)
            if (used[size_t(g)])
                pending.push_back(g);
        const QByteArrayView glyf = f.table("glyf");
        while (!pending.empty()) {
            const int g = pending.back();
            pending.pop_back();
            if (g >= f.glyphCount || kept[size_t(g)])
                continue;
            kept[size_t(g)] = true;
            const quint32 start = f.glyphOffset(g), end = f.glyphOffset(g + 1);
            if (end <= start + 10 || end > quint32(glyf.size()) ||
                qint16(be16(glyf.data() + start)) >= 0)
                continue;
            // A composite glyph: its parts follow the header, each with its flags.
            quint32 at = start + 10;
            for (bool more = true; more && at + 4 <= end;) {
                const quint16 flags = be16(glyf.data() + at);
                pending.push_back(be16(glyf.data() + at + 2));
                at += 4 + ((flags & 0x0001) ? 4 : 2) +
                      ((flags & 0x0008)   ? 2
                       : (flags & 0x0040) ? 4
                       : (flags & 0x0080) ? 8
                                          : 0);
                more = flags & 0x0020;
            }
        }

        const int total = f.glyphCount + int(variants.size());
        QByteArray newGlyf, newLoca(4 * (total + 1), '\0');
        QByteArray hmtx = f.table("hmtx").toByteArray();
        for (int g = 0; g < f.glyphCount; ++g) {
            put32(newLoca.data() + 4 * g, quint32(newGlyf.size()));
            if (kept[size_t(g)]) {
                const quint32 start = f.glyphOffset(g), end = f.glyphOffset(g + 1);
                if (start < end && end <= quint32(glyf.size()))
                    newGlyf += glyf.sliced(start, end - start);
                newGlyf.append((4 - newGlyf.size() % 4) % 4, '\0');
            } else if (g < f.hMetricCount && 4 * g + 4 <= hmtx.size()) {
                put32(hmtx.data() + 4 * g, 0); // its width lives in the PDF's own table
            }
        }
        QByteArray hhea = f.table("hhea").toByteArray(), maxp = f.table("maxp").toByteArray();
        if (!variants.empty())
            addVariants(newGlyf, newLoca, hmtx, hhea, maxp);
        put32(newLoca.data() + 4 * total, quint32(newGlyf.size()));
        QByteArray head = f.table("head").toByteArray();
        put32(head.data() + 8, 0);  // the file's checksum adjustment, set at the end
        put16(head.data() + 50, 1); // long offsets in loca

        struct Out
        {
            const char *tag;
            QByteArray bytes;
        };
        std::vector<Out> tables;
        for (const char *tag :
             {"cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"}) {
            const QByteArray t = QByteArray(tag) == "glyf"   ? newGlyf
                                 : QByteArray(tag) == "loca" ? newLoca
                                 : QByteArray(tag) == "head" ? head
                                 : QByteArray(tag) == "hmtx" ? hmtx
                                 : QByteArray(tag) == "hhea" ? hhea
                                 : QByteArray(tag) == "maxp" ? maxp
                                                             : f.table(tag).toByteArray();
            if (!t.isEmpty())
                tables.push_back({tag, t});
        }
        const int count = int(tables.size());
        int power = 1, log2 = 0;
        while (power * 2 <= count) {
            power *= 2;
            ++log2;
        }
        QByteArray out(12 + 16 * count, '\0');
        put32(out.data(), 0x00010000);
        put16(out.data() + 4, quint32(count));
        put16(out.data() + 6, quint32(power * 16));
        put16(out.data() + 8, quint32(log2));
        put16(out.data() + 10, quint32(count * 16 - power * 16));
        const auto checksum = [](const QByteArray &b) {
            quint32 sum = 0;
            QByteArray padded = b;
            padded.append((4 - padded.size() % 4) % 4, '\0');
            for (qsizetype i = 0; i < padded.size(); i += 4)
                sum += be32(padded.constData() + i);
            return sum;
        };
        qsizetype headAt = 0;
        for (int i = 0; i < count; ++i) {
            char *rec = out.data() + 12 + 16 * i;
            memcpy(rec, tables[size_t(i)].tag, 4);
            put32(rec + 4, checksum(tables[size_t(i)].bytes));
            put32(rec + 8, quint32(out.size()));
            put32(rec + 12, quint32(tables[size_t(i)].bytes.size()));
            if (!strcmp(tables[size_t(i)].tag, "head"))
                headAt = out.size();
            out += tables[size_t(i)].bytes;
            out.append((4 - out.size() % 4) % 4, '\0');
        }
        put32(out.data() + headAt + 8, 0xB1B0AFBAu - checksum(out));
        return out;
    }

    // The subset's name: six capitals that differ with the glyphs kept, then the face's.
    QByteArray baseFont() const
    {
        QCryptographicHash hash(QCryptographicHash::Md5);
        for (size_t g = 0; g < used.size(); ++g)
            if (used[g])
                hash.addData(QByteArrayView(reinterpret_cast<const char *>(&g), sizeof g));
        const QByteArray digest = hash.result();
        QByteArray tag;
        for (int i = 0; i < 6; ++i)
            tag += char('A' + uchar(digest[i]) % 26);
        return tag + '+' + file->name;
    }

    // The codes of a block that are used, in order.
    std::vector<quint32> codes(quint32 block) const
    {
        std::vector<quint32> out;
        if (!file->drawn) // a glyph's own code is used once it stands for a text
            for (quint32 g = 0; g < textOf.size(); ++g)
                if (!textOf[g].isEmpty())
                    out.push_back(g);
        const quint32 from = file->drawn ? block * kDrawnBlock : firstVariant();
        const quint32 to = file->drawn ? std::min(from + kDrawnBlock, quint32(variants.size()))
                                       : firstVariant() + quint32(variants.size());
        for (quint32 c = from; c < to; ++c)
            out.push_back(c);
        return out;
    }

    // The widths of the codes used, in runs of consecutive codes.
    QByteArray widths() const
    {
        QByteArray out = "[";
        const std::vector<quint32> all = codes(0);
        for (size_t i = 0; i < all.size();) {
            appendNumber(out, double(all[i]), 0);
            out += '[';
            do {
                appendNumber(out, widthOfCode(all[i]), 3);
                out += ' ';
                ++i;
            } while (i < all.size() && all[i] == all[i - 1] + 1);
            out += "]\n";
        }
        return out + ']';
    }

    QByteArray toUnicode(quint32 block) const
    {
        const bool drawnCodes = file->drawn;
        QByteArray entries;
        int inBlock = 0;
        QByteArray out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                         "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> "
                         "def\n/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 "
                         "begincodespacerange\n";
        out += drawnCodes ? "<00> <FF>" : "<0000> <FFFF>";
        out += "\nendcodespacerange\n";
        const auto flush = [&] {
            if (inBlock)
                out += QByteArray::number(inBlock) + " beginbfchar\n" + entries + "endbfchar\n";
            entries.clear();
            inBlock = 0;
        };
        for (const quint32 c : codes(block)) {
            const QString &text =
                c >= firstVariant() ? variants[c - firstVariant()].text : textOf[c];
            if (text.isEmpty())
                continue;
            entries += '<';
            if (drawnCodes)
                entries += QByteArray::number(c % kDrawnBlock, 16).rightJustified(2, '0');
            else
                appendHex4(entries, c);
            entries += "> <";
            for (const QChar ch : text)
                appendHex4(entries, ch.unicode());
            entries += ">\n";
            if (++inBlock == 100)
                flush();
        }
        flush();
        return out + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    }
};

// A glyph's outline as PDF path operators, y upwards, in the units of the raw font's size.
void appendOutline(QByteArray &out, const QPainterPath &path)
{
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const int points = e.isCurveTo() ? 3 : 1;
        for (int k = 0; k < points; ++k) {
            const QPainterPath::Element p = path.elementAt(i + k);
            appendNumber(out, p.x, 1);
            out += ' ';
            appendNumber(out, -p.y, 1);
            out += ' ';
        }
        out += e.isMoveTo() ? "m\n" : e.isLineTo() ? "l\n" : "c\n";
        i += points - 1;
    }
    if (!path.isEmpty())
        out += "f\n";
}

// A glyph drawn from its outline, in thousandths of an em, y upwards: a Type 3 glyph's
// procedure (its width and box, then its outline filled).
QByteArray drawnGlyph(const QPainterPath &path, double width)
{
    const QRectF box = path.boundingRect();
    QByteArray out;
    appendNumber(out, width, 1);
    out += " 0 ";
    for (const double v : {box.left(), -box.bottom(), box.right(), -box.top()}) {
        appendNumber(out, v, 1);
        out += ' ';
    }
    out += "d1\n";
    appendOutline(out, path);
    return out;
}

// The faces one document uses, and the PDF fonts it names them by (/F0, /F1, ...: a face's, or
// of a drawn face a block's of its codes), numbered in the order met.
struct Faces
{
    std::vector<FaceUse> uses;
    std::map<const FontFile *, int> numbers;
    int ofSpec[4] = {-1, -1, -1, -1};
    std::map<std::pair<int, quint32>, int> resourceOf; // by face and block
    std::vector<std::pair<int, quint32>> resources;

    int number(FontFile &file)
    {
        const auto [it, added] = numbers.emplace(&file, int(uses.size()));
        if (added) {
            FaceUse &use = uses.emplace_back();
            use.file = &file;
            use.used.resize(size_t(file.glyphCount));
            use.textOf.resize(file.drawn ? 0 : size_t(file.glyphCount));
        }
        return it->second;
    }
    int number(const TfrFontSpec &spec)
    {
        int &n = ofSpec[(spec.Bold ? 2 : 0) + (spec.Italic ? 1 : 0)];
        if (n < 0)
            n = number(FontFile::of(spec));
        return n;
    }
    int resource(int face, quint32 block)
    {
        const auto [it, added] = resourceOf.emplace(std::pair(face, block), int(resources.size()));
        if (added)
            resources.emplace_back(face, block);
        return it->second;
    }
};

// The file being written: objects numbered as they are reserved, their offsets for the
// cross-reference table.
class PdfFile
{
public:
    explicit PdfFile(QIODevice &device) : m_device(device) {}

    bool ok() const { return m_ok; }
    int reserve()
    {
        m_offsets.push_back(-1);
        return int(m_offsets.size());
    }
    void write(const char *data, qint64 size)
    {
        if (m_ok && m_device.write(data, size) != size)
            m_ok = false;
        m_pos += size;
    }
    void write(const QByteArray &b) { write(b.constData(), b.size()); }
    void object(int n, const QByteArray &body)
    {
        m_offsets[size_t(n - 1)] = m_pos;
        write(QByteArray::number(n) + " 0 obj\n" + body + "\nendobj\n");
    }
    // A stream, compressed; `dict` holds the entries beside its length and filter.
    void stream(int n, const QByteArray &dict, const QByteArray &data)
    {
        const QByteArray packed = qCompress(data); // a zlib stream behind four bytes of length
        m_offsets[size_t(n - 1)] = m_pos;
        write(QByteArray::number(n) + " 0 obj\n<<" + dict + "/Length " +
              QByteArray::number(packed.size() - 4) + "/Filter/FlateDecode>>\nstream\n");
        write(packed.constData() + 4, packed.size() - 4);
        write("\nendstream\nendobj\n", 18);
    }
    void finish(int root, int info, const QByteArray &id)
    {
        const qint64 xref = m_pos;
        QByteArray table =
            "xref\n0 " + QByteArray::number(m_offsets.size() + 1) + "\n0000000000 65535 f \n";
        char line[21];
        for (const qint64 offset : m_offsets) {
            snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(offset));
            table.append(line, 20);
        }
        write(table + "trailer\n<</Size " + QByteArray::number(m_offsets.size() + 1) + "/Root " +
              QByteArray::number(root) + " 0 R/Info " + QByteArray::number(info) + " 0 R/ID[<" +
              id + "><" + id + ">]>>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
    }

private:
    QIODevice &m_device;
    qint64 m_pos = 0;
    bool m_ok = true;
    std::vector<qint64> m_offsets;
};

// The drawing of one page in PDF operators, in points from the paper's bottom-left corner.
class PageContent
{
public:
    PageContent(Faces &faces, double height) : m_faces(faces), m_height(height)
    {
        m_out.reserve(1 << 16);
        m_out += "2 J 0 j\n"; // square caps and mitred corners, as the screen draws frames
    }

    const QByteArray &bytes() const { return m_out; }

    void add(const TfrDisplayItem &item)
    {
        switch (item.Kind) {
        case TfrItemKind::Text:
            if (!item.Text.isEmpty())
                text(item);
            break;
        case TfrItemKind::Line:
            lineWidth(item.LineWidth);
            point(item.Line.p1());
            m_out += "m ";
            point(item.Line.p2());
            m_out += "l S\n";
            break;
        case TfrItemKind::Rect:
            if (item.Fill.isValid()) {
                for (const double c : {item.Fill.redF(), item.Fill.greenF(), item.Fill.blueF()}) {
                    appendNumber(m_out, c, 3);
                    m_out += ' ';
                }
                m_out += "rg ";
                rect(item.Box);
                m_out += "f 0 g\n";
            }
            if (item.Stroke) {
                lineWidth(item.LineWidth);
                rect(item.Box);
                m_out += "S\n";
            }
            break;
        }
    }

private:
    void coordinate(double v, int decimals = 2)
    {
        appendNumber(m_out, v, decimals);
        m_out += ' ';
    }
    void point(const QPointF &mm, int decimals = 2)
    {
        coordinate(mm.x() * kPtPerMm, decimals);
        coordinate(m_height - mm.y() * kPtPerMm, decimals);
    }
    void rect(const QRectF &mm)
    {
        coordinate(mm.x() * kPtPerMm);
        coordinate(m_height - mm.bottom() * kPtPerMm);
        coordinate(mm.width() * kPtPerMm);
        coordinate(mm.height() * kPtPerMm);
        m_out += "re ";
    }
    void lineWidth(double mm)
    {
        if (mm == m_lineWidth)
            return;
        m_lineWidth = mm;
        coordinate(mm * kPtPerMm); // 0 is the thinnest line the device draws
        m_out += "w\n";
    }

    // The PDF font a text is set in (Faces::resource), stated when it changes.
    void font(int resource, double size)
    {
        if (resource == m_font && size == m_size)
            return;
        m_font = resource;
        m_size = size;
        m_out += "/F" + QByteArray::number(resource) + ' ';
        coordinate(m_size);
        m_out += "Tf\n";
    }

    // A line's glyphs, clipped to its box when they leave it.
    template <typename Draw> void clipped(const TfrDisplayItem &item, double width, Draw draw)
    {
        const bool clip = frTextLeavesBox(item, width);
        const int fontBefore = m_font;
        const double sizeBefore = m_size;
        if (clip) {
            m_out += "q ";
            rect(item.Box);
            m_out += "W n\n";
        }
        draw();
        if (clip) {
            m_out += "Q\n"; // back to the font before the clip
            m_font = fontBefore;
            m_size = sizeBefore;
        }
    }

    void text(const TfrDisplayItem &item)
    {
        const TfrFontMetrics metrics = TfrFontMetrics::of(item.Font);
        const QString &t = item.Text;
        const std::optional<double> width = metrics.simpleWidth(t);
        if (!width) {
            shapedText(item);
            return;
        }
        const int face = m_faces.number(item.Font);
        m_glyphs.clear();
        plainGlyphs(m_faces.uses[size_t(face)], t, m_glyphs);
        clipped(item, *width, [&] {
            font(m_faces.resource(face, 0), item.Font.Size);
            m_out += "BT ";
            point(item.Origin);
            m_out += "Td <" + m_glyphs + "> Tj ET\n";
        });
    }

    // The codes of a simple text (reportfonts.h), each character the glyph of the face's
    // character map at its own width, inside a string being shown.
    static void plainGlyphs(FaceUse &use, QStringView text, QByteArray &out)
    {
        const char16_t *units = text.utf16();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const quint32 g = use.file->glyph(units + i, 1);
            const QString *stands = g < use.textOf.size() ? &use.textOf[g] : nullptr;
            if (stands && stands->size() == 1 && stands->front() == QChar(units[i]))
                appendHex4(out, g); // the glyph's own code, marked used when it got it
            else
                appendHex4(out, use.code(g, text.mid(i, 1), use.width(int(g))));
        }
    }

    // The glyphs of a text object, shown a string at a time: a glyph placed anew only where the
    // one before does not leave the pen there (a mark on its letter, a right-to-left word).
    struct Shown
    {
        bool open = false;
        QPointF pen;
    };
    void endString(Shown &shown)
    {
        if (shown.open)
            m_out += "> Tj ";
        shown.open = false;
    }
    void show(Shown &shown, int face, quint32 code, const QPointF &at, double size)
    {
        const FaceUse &use = m_faces.uses[size_t(face)];
        const int resource = m_faces.resource(face, use.block(code));
        if (resource != m_font || size != m_size) {
            endString(shown);
            font(resource, size);
        }
        if (!shown.open || std::abs(at.x() - shown.pen.x()) > 0.001 ||
            std::abs(at.y() - shown.pen.y()) > 0.001) {
            endString(shown);
            m_out += "1 0 0 1 ";
            point(at, 3);
            m_out += "Tm <";
            shown.open = true;
        }
        if (use.file->drawn)
            m_out += QByteArray::number(code % FaceUse::kDrawnBlock, 16).rightJustified(2, '0');
        else
            appendHex4(m_out, code);
        const double em = size * 25.4 / 72.0;
        shown.pen = at + QPointF(use.widthOfCode(code) / 1000.0 * em, 0);
    }

    // A glyph that stands for no character (the second glyph of a letter drawn in two) drawn
    // from its outline, not as text: a reader that reads glyphs alone finds nothing there.
    void outline(Shown &shown, const FontFile &file, quint32 glyph, const QPointF &at, double size)
    {
        const QPainterPath path = file.raw.pathForGlyph(glyph);
        if (path.isEmpty())
            return;
        endString(shown);
        m_out += "ET q ";
        coordinate(size / 1000.0, 5);
        m_out += "0 0 ";
        coordinate(size / 1000.0, 5);
        point(at, 3);
        m_out += "cm\n";
        appendOutline(m_out, path);
        m_out += "Q BT ";
    }

    // A shaped line in one text object, each run in its face.
    void shapedText(const TfrDisplayItem &item)
    {
        const std::shared_ptr<const TfrShapedText> shaped = frShapeText(item.Text, item.Font);
        const double em = item.Font.Size * 25.4 / 72.0; // millimetres
        clipped(item, shaped->Width * em, [&] {
            Shown shown;
            m_out += "BT ";
            for (const TfrGlyphRun &run : shaped->Runs) {
                const int face = m_faces.number(FontFile::of(run.Font));
                if (run.Plain) {
                    endString(shown);
                    font(m_faces.resource(face, 0), item.Font.Size);
                    const TfrShapedGlyph &stretch = run.Glyphs.front();
                    m_out += "1 0 0 1 ";
                    point(item.Origin + QPointF(stretch.X, 0) * em, 3);
                    m_out += "Tm <";
                    plainGlyphs(m_faces.uses[size_t(face)], shaped->textOf(stretch), m_out);
                    m_out += "> Tj ";
                } else {
                    shapedRun(item, *shaped, run, face, shown);
                }
            }
            endString(shown);
            m_out += "ET\n";
        });
    }

    // A left-to-right run's glyphs in the text's order, each under a code that gives back what
    // it stands for at the width the line gives it (FaceUse): up to the next glyph, so that a
    // reader that reads the glyphs alone (MuPDF, pdfminer) gets the letters in order, with no gap
    // between a letter and its mark nor one over the next.
    void shapedRun(const TfrDisplayItem &item, const TfrShapedText &shaped, const TfrGlyphRun &run,
                   int face, Shown &shown)
    {
        if (run.RightToLeft) {
            rightToLeftRun(item, shaped, run, face, shown);
            return;
        }
        const double em = item.Font.Size * 25.4 / 72.0;
        const size_t count = run.Glyphs.size();
        FaceUse &use = m_faces.uses[size_t(face)];
        const auto advance = [&](size_t i) {
            const TfrShapedGlyph &g = run.Glyphs[i];
            if (i + 1 < count && run.Glyphs[i + 1].X > g.X + 1e-4)
                return (run.Glyphs[i + 1].X - g.X) * 1000.0;
            return use.width(int(g.Glyph < use.used.size() ? g.Glyph : 0));
        };
        // A format character (a joiner, a non-joiner, a direction mark) draws nothing: its
        // text goes with the glyph before it, so that no reader finds an empty glyph apart.
        std::vector<QString> texts(count);
        std::vector<bool> hidden(count, false);
        QString pending;
        for (size_t k = 0; k < count; ++k) {
            const QStringView t = shaped.textOf(run.Glyphs[k]);
            hidden[k] = !t.isEmpty() && std::all_of(t.begin(), t.end(), [](QChar c) {
                return c.category() == QChar::Other_Format;
            });
            size_t before = k;
            while (hidden[k] && before > 0 && hidden[before - 1])
                --before;
            if (hidden[k] && before > 0)
                texts[before - 1] += t;
            else if (hidden[k])
                pending += t;
            else
                texts[k] = std::exchange(pending, QString()) + t.toString();
        }
        for (size_t k = 0; k < count; ++k) {
            const TfrShapedGlyph &g = run.Glyphs[k];
            const QPointF at = item.Origin + QPointF(g.X, g.Y) * em;
            if (hidden[k])
                continue;
            if (texts[k].isEmpty())
                outline(shown, *use.file, g.Glyph, at, item.Font.Size);
            else
                show(shown, face, use.code(g.Glyph, texts[k], advance(k)), at, item.Font.Size);
        }
    }

    // A right-to-left run's characters in the text's order, each its own code: a glyph drawn for
    // several stands for the first (unless all are right-to-left letters: lam-alef), empty glyphs
    // after it for the others (a second mark, a non-joiner). Each is shown on the baseline a step
    // left of every one before it, ending where the one before begins, and drawn shifted back
    // where shaping put it (FaceUse). MuPDF reads glyphs in the order shown, each ending where
    // the one before begins; poppler reads a line's glyphs from left to right and turns each
    // stretch that begins with a right-to-left letter round (a code's right-to-left letters
    // too): both read a mark after its letter, which poppler, were it shown on its letter, would
    // read before it, or above or below it as a line of its own. So no span holds the text apart
    // from the glyphs. A run ending in a character of neither direction (a mark) ends with a
    // right-to-left mark (U+200F), drawing nothing: poppler would read that mark, leftmost,
    // with the text before the word.
    void rightToLeftRun(const TfrDisplayItem &item, const TfrShapedText &shaped,
                        const TfrGlyphRun &run, int face, Shown &shown)
    {
        constexpr double kStep = 0.002; // ems: invisible, above the rounding of the positions
        const double em = item.Font.Size * 25.4 / 72.0;
        FaceUse &use = m_faces.uses[size_t(face)];
        const quint32 empty = use.file->glyph(u" ", 1);
        const auto rightToLeft = [](char32_t c) {
            return QChar::direction(c) == QChar::DirR || QChar::direction(c) == QChar::DirAL;
        };
        std::optional<double> left; // where the last code shown begins, ems from the origin
        // The glyph drawn where shaping put it, or (draws false) an empty glyph.
        const auto place = [&](quint32 glyph, QStringView text, QPointF drawn, bool draws) {
            const double at = left ? std::min(drawn.x(), *left - kStep) : drawn.x();
            const double width =
                left ? (*left - at) * 1000 : use.width(int(glyph < use.used.size() ? glyph : 0));
            left = at;
            show(shown, face,
                 use.code(draws ? glyph : empty, text, width,
                          draws ? drawn - QPointF(at, 0) : QPointF()),
                 item.Origin + QPointF(at, 0) * em, item.Font.Size);
        };
        char32_t last = 0; // the run's last character but blanks
        size_t lastShown = run.Glyphs.size();
        for (size_t k = run.Glyphs.size(); k-- > 0;)
            if (const QStringView t = shaped.textOf(run.Glyphs[k]); !t.trimmed().isEmpty()) {
                lastShown = k;
                last = t.toUcs4().back();
                break;
            }
        for (size_t k = 0; k < run.Glyphs.size(); ++k) {
            const TfrShapedGlyph &g = run.Glyphs[k];
            const QStringView text = shaped.textOf(g);
            const QPointF drawn(g.X, g.Y);
            if (text.isEmpty()) {
                outline(shown, *use.file, g.Glyph, item.Origin + drawn * em, item.Font.Size);
                continue;
            }
            const QList<uint> chars = text.toUcs4();
            const qsizetype own = std::all_of(chars.begin(), chars.end(), rightToLeft)
                                      ? text.size()
                                      : (QChar::requiresSurrogates(chars.front()) ? 2 : 1);
            place(g.Glyph, text.first(own), drawn,
                  QChar::category(chars.front()) != QChar::Other_Format);
            for (qsizetype i = own; i < text.size();) {
                const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
                place(empty, text.mid(i, n), drawn, false);
                i += n;
            }
            if (k == lastShown && !rightToLeft(last))
                place(empty, u"\u200F", drawn, false);
        }
    }

    Faces &m_faces;
    double m_height;
    QByteArray m_out;
    QByteArray m_glyphs;
    double m_lineWidth = 25.4 / 72.0; // a PDF page starts with lines a point wide
    int m_font = -1;
    double m_size = 0;
};

} // namespace

bool frWritePdf(QIODevice &device, const TfrDisplayList &pages, const QString &title)
{
    PdfFile pdf(device);
    pdf.write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    const int catalog = pdf.reserve();
    const int pageTree = pdf.reserve();
    const int resources = pdf.reserve();
    const int info = pdf.reserve();
    Faces faces;

    TVxProgress progress(title);
    const int count = int(pages.Pages.size());
    QByteArray kids;
    for (int i = 0; i < count && pdf.ok(); ++i) {
        if (progress.due())
            progress.show(QStringLiteral("Pagina %1 di %2").arg(i + 1).arg(count));
        const TfrPage &page = pages.Pages[size_t(i)];
        const QRectF paper = frPageLayout(page).fullRect(QPageLayout::Point);
        PageContent content(faces, paper.height());
        for (const TfrDisplayItem &item : page.Items)
            content.add(item);
        const int pageObject = pdf.reserve();
        const int contentObject = pdf.reserve();
        pdf.object(pageObject, "<</Type/Page/Parent " + QByteArray::number(pageTree) +
                                   " 0 R/MediaBox[0 0 " + number(paper.width()) + ' ' +
                                   number(paper.height()) + "]/Resources " +
                                   QByteArray::number(resources) + " 0 R/Contents " +
                                   QByteArray::number(contentObject) + " 0 R>>");
        pdf.stream(contentObject, QByteArray(), content.bytes());
        kids += QByteArray::number(pageObject) + " 0 R ";
    }

    QByteArray fonts;
    std::map<std::pair<int, QByteArray>, int> procs; // a drawn glyph's, by face, glyph and width
    int emptyGlyph = 0;
    for (size_t r = 0; r < faces.resources.size(); ++r) {
        const auto [face, block] = faces.resources[r];
        FaceUse &use = faces.uses[size_t(face)];
        const FontFile &f = *use.file;
        const int object = pdf.reserve(), unicode = pdf.reserve();
        fonts += "/F" + QByteArray::number(r) + ' ' + QByteArray::number(object) + " 0 R";
        pdf.stream(unicode, QByteArray(), use.toUnicode(block));
        if (f.drawn) {
            if (!emptyGlyph) {
                emptyGlyph = pdf.reserve();
                pdf.stream(emptyGlyph, QByteArray(), "600 0 0 0 0 0 d1\n");
            }
            QByteArray names, widths, glyphs;
            const std::vector<quint32> codes = use.codes(block);
            QRectF box;
            for (const quint32 c : codes) {
                const QPoint shift = use.shiftOfCode(c);
                const QByteArray key =
                    QByteArray::number(use.glyphOfCode(c)) + '/' + number(use.widthOfCode(c), 1) +
                    '/' + QByteArray::number(shift.x()) + '/' + QByteArray::number(shift.y());
                const QPainterPath path = use.pathOfCode(c);
                int &proc = procs[{face, key}];
                if (!proc) {
                    proc = pdf.reserve();
                    pdf.stream(proc, QByteArray(), drawnGlyph(path, use.widthOfCode(c)));
                }
                box |= path.boundingRect();
                const QByteArray name = "/g" + QByteArray::number(c % FaceUse::kDrawnBlock);
                names += name + ' ';
                glyphs += name + ' ' + QByteArray::number(proc) + " 0 R";
                widths += number(use.widthOfCode(c), 1) + ' ';
            }
            // Poppler guesses a drawn font's size from the width of its glyph named "m" (a
            // generic 0.6 em), else of its first glyph (0.5): a glyph "m" of that width, which
            // nothing draws, gives it the size the text is set in.
            names += "/m";
            widths += "600";
            QByteArray bbox;
            for (const double v : {box.left(), -box.bottom(), box.right(), -box.top()})
                bbox += number(v, 1) + ' ';
            pdf.object(object, "<</Type/Font/Subtype/Type3/FontBBox[" + bbox.trimmed() +
                                   "]/FontMatrix[0.001 0 0 0.001 0 0]/CharProcs<<" + glyphs +
                                   "/m " + QByteArray::number(emptyGlyph) +
                                   " 0 R>>/Encoding<</Type/Encoding/Differences[0 " + names +
                                   "]>>/FirstChar 0/LastChar " +
                                   QByteArray::number(qsizetype(codes.size())) + "/Widths[" +
                                   widths + "]/ToUnicode " + QByteArray::number(unicode) +
                                   " 0 R/Resources<<>>>>");
            continue;
        }
        const double em = 1000.0 / f.unitsPerEm;
        const char *head = f.table("head").data();
        const char *hhea = f.table("hhea").data();
        const QByteArray name = "/" + use.baseFont();
        const QByteArray file = use.subset();
        const int cidFont = pdf.reserve(), descriptor = pdf.reserve(), program = pdf.reserve();
        pdf.object(object, "<</Type/Font/Subtype/Type0/BaseFont" + name +
                               "/Encoding/Identity-H/DescendantFonts[" +
                               QByteArray::number(cidFont) + " 0 R]/ToUnicode " +
                               QByteArray::number(unicode) + " 0 R>>");
        pdf.object(cidFont, "<</Type/Font/Subtype/CIDFontType2/BaseFont" + name +
                                "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement "
                                "0>>/FontDescriptor " +
                                QByteArray::number(descriptor) +
                                " 0 R/CIDToGIDMap/Identity/DW 0/W" + use.widths() + ">>");
        QByteArray box;
        for (int at : {36, 38, 40, 42})
            box += number(qint16(be16(head + at)) * em, 3) + ' ';
        const QByteArray ascent = number(qint16(be16(hhea + 4)) * em, 3);
        pdf.object(descriptor, "<</Type/FontDescriptor/FontName" + name + "/Flags " +
                                   ((f.italicAngle != 0) ? "68" : "4") + "/FontBBox[" +
                                   box.trimmed() + "]/ItalicAngle " + number(f.italicAngle) +
                                   "/Ascent " + ascent + "/Descent " +
                                   number(qint16(be16(hhea + 6)) * em, 3) + "/CapHeight " + ascent +
                                   "/StemV 80/FontFile2 " + QByteArray::number(program) + " 0 R>>");
        pdf.stream(program, "/Length1 " + QByteArray::number(file.size()), file);
    }
    pdf.object(resources, "<</Font<<" + fonts + ">>>>");
    pdf.object(pageTree, "<</Type/Pages/Count " + QByteArray::number(count) + "/Kids[" +
                             kids.trimmed() + "]>>");
    pdf.object(catalog, "<</Type/Catalog/Pages " + QByteArray::number(pageTree) + " 0 R>>");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray date = now.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    pdf.object(info, "<</Title" + textString(title) + "/Creator(Tavrin)/Producer(Tavrin)" +
                         "/CreationDate(D:" + date + "Z)>>");
    const QByteArray id =
        QCryptographicHash::hash(title.toUtf8() + date + QByteArray::number(count) + kids,
                                 QCryptographicHash::Md5)
            .toHex();
    pdf.finish(catalog, info, id);
    return pdf.ok();
}
