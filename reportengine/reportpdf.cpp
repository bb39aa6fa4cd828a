#include "reportengine/reportpdf.h"

#include "platform/vxexception.h"
#include "platform/waitwindow.h"
#include "reportengine/reportrender.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
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
struct FontFile
{
    QRawFont raw;
    QByteArray name; // PostScript name
    QHash<QByteArray, QByteArray> tables;
    int unitsPerEm = 1000;
    int glyphCount = 0;
    int hMetricCount = 0;
    bool longLoca = false;
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
    for (const char *needed : {"head", "hhea", "maxp", "hmtx", "loca", "glyf"})
        if (!file->tables.contains(needed))
            throw EVxException(QStringLiteral("Il carattere %1 %2 non si può incorporare nel "
                                              "PDF: non è un carattere TrueType.")
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
    if (file->table("loca").size() < (file->glyphCount + 1) * (file->longLoca ? 4 : 2) ||
        file->table("hmtx").size() < 4 * file->hMetricCount)
        throw damaged();
    if (const QByteArrayView post = file->table("post"); post.size() >= 8)
        file->italicAngle = qint16(be16(post.data() + 4)) + be16(post.data() + 6) / 65536.0;
    f = std::move(file);
    return *f;
}

// What one document uses of a face: its glyphs and the text each stands for.
struct FaceUse
{
    FontFile *file = nullptr;
    std::vector<bool> used;      // by glyph
    std::vector<QString> textOf; // by glyph: the text it was drawn for
    int object = 0;              // the Type 0 font, once used

    double width(int glyph) const { return file->advance(glyph) * 1000.0 / file->unitsPerEm; }

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

        QByteArray newGlyf, newLoca(4 * (f.glyphCount + 1), '\0');
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
        put32(newLoca.data() + 4 * f.glyphCount, quint32(newGlyf.size()));
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

    // The widths of the glyphs used, in runs of consecutive glyphs.
    QByteArray widths() const
    {
        QByteArray out = "[";
        for (size_t g = 0; g < used.size();) {
            if (!used[g]) {
                ++g;
                continue;
            }
            appendNumber(out, double(g), 0);
            out += '[';
            for (; g < used.size() && used[g]; ++g) {
                appendNumber(out, width(int(g)), 3);
                out += ' ';
            }
            out += "]\n";
        }
        return out + ']';
    }

    QByteArray toUnicode() const
    {
        QByteArray entries;
        int inBlock = 0;
        QByteArray out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                         "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> "
                         "def\n/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                         "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
        const auto flush = [&] {
            if (inBlock)
                out += QByteArray::number(inBlock) + " beginbfchar\n" + entries + "endbfchar\n";
            entries.clear();
            inBlock = 0;
        };
        for (size_t g = 1; g < textOf.size(); ++g) {
            if (textOf[g].isEmpty())
                continue;
            entries += '<';
            appendHex4(entries, quint32(g));
            entries += "> <";
            for (const QChar c : textOf[g])
                appendHex4(entries, c.unicode());
            entries += ">\n";
            if (++inBlock == 100)
                flush();
        }
        flush();
        return out + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    }
};

// The faces one document uses, numbered in the order met (/F0, /F1, ...).
struct Faces
{
    std::vector<FaceUse> uses;
    std::map<const FontFile *, int> numbers;
    int ofSpec[4] = {-1, -1, -1, -1};

    int number(FontFile &file)
    {
        const auto [it, added] = numbers.emplace(&file, int(uses.size()));
        if (added) {
            FaceUse &use = uses.emplace_back();
            use.file = &file;
            use.used.resize(size_t(file.glyphCount));
            use.textOf.resize(size_t(file.glyphCount));
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

    // The font a text is set in, stated when it changes.
    void font(int face, double size)
    {
        if (face == m_font && size == m_size)
            return;
        m_font = face;
        m_size = size;
        m_out += "/F" + QByteArray::number(face) + ' ';
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
            font(face, item.Font.Size);
            m_out += "BT ";
            point(item.Origin);
            m_out += "Td <" + m_glyphs + "> Tj ET\n";
        });
    }

    // The glyphs of a simple text (reportfonts.h), one of the face's character map for each
    // character, inside a string being shown.
    static void plainGlyphs(FaceUse &use, QStringView text, QByteArray &out)
    {
        const char16_t *units = text.utf16();
        for (qsizetype i = 0; i < text.size(); ++i) {
            quint32 g = use.file->glyph(units + i, 1);
            if (g >= use.used.size())
                g = 0;
            use.used[g] = true;
            if (g > 0) {
                QString &stands = use.textOf[g];
                if (stands.isEmpty()) {
                    stands = QChar(units[i]);
                } else if (stands.size() != 1 || stands.front() != QChar(units[i])) {
                    // a glyph the font draws for two characters gives back the other one here
                    out += "> Tj " + actualText(text.mid(i, 1)) + '<';
                    appendHex4(out, g);
                    out += "> Tj EMC <";
                    continue;
                }
            }
            appendHex4(out, g);
        }
    }

    // Marked content that a reader copies and searches as the text given, whatever the glyphs
    // inside it stand for: up to its EMC.
    static QByteArray actualText(QStringView text)
    {
        return "/Span<</ActualText" + textString(text) + ">>BDC ";
    }

    // A right-to-left word as a span gives it: a reader (poppler's pdftotext) lays a span's
    // characters out from left to right over its glyphs, as it does drawn characters, and then
    // reads each right-to-left stretch of a line from its right end, where a mark counts as of
    // neither direction. So the span holds the word's characters as drawn, from left to right,
    // after a right-to-left mark (U+200F, invisible) where the word ends in a mark: otherwise
    // that mark, leftmost, would be read as the end of the text before the word.
    static QString asDrawn(QStringView word)
    {
        QList<uint> chars = word.toUcs4();
        std::reverse(chars.begin(), chars.end());
        QString drawn =
            QString::fromUcs4(reinterpret_cast<const char32_t *>(chars.constData()), chars.size());
        if (!chars.isEmpty() && QChar::isMark(chars.front()))
            drawn.prepend(QChar(0x200F));
        return drawn;
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
    void show(Shown &shown, FaceUse &use, quint32 glyph, const QPointF &at, double em)
    {
        use.used[glyph] = true;
        if (!shown.open || std::abs(at.x() - shown.pen.x()) > 0.001 ||
            std::abs(at.y() - shown.pen.y()) > 0.001) {
            endString(shown);
            m_out += "1 0 0 1 ";
            point(at, 3);
            m_out += "Tm <";
            shown.open = true;
        }
        appendHex4(m_out, glyph);
        shown.pen = at + QPointF(use.width(int(glyph)) / 1000.0 * em, 0);
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
                endString(shown);
                font(face, item.Font.Size);
                if (run.Plain) {
                    const TfrShapedGlyph &stretch = run.Glyphs.front();
                    m_out += "1 0 0 1 ";
                    point(item.Origin + QPointF(stretch.X, 0) * em, 3);
                    m_out += "Tm <";
                    plainGlyphs(m_faces.uses[size_t(face)], shaped->textOf(stretch), m_out);
                    m_out += "> Tj ";
                } else {
                    shapedRun(item, *shaped, run, m_faces.uses[size_t(face)], shown);
                }
            }
            endString(shown);
            m_out += "ET\n";
        });
    }

    // What a run's glyphs stand for, as a reader copies them: a glyph through the font's map
    // where it stands for one character, the one it stands for throughout the document;
    // otherwise (an empty box, a glyph that stands for other characters elsewhere, or for none
    // here) through a span of its own, so that the map never gives a glyph characters it does
    // not stand for where it is drawn. A reader joins a mark to the letter before it, as a
    // left-to-right script draws them, not to one it reads right to left: such a word with marks
    // is one span, its glyphs drawn from left to right as a reader lays out its characters.
    void shapedRun(const TfrDisplayItem &item, const TfrShapedText &shaped, const TfrGlyphRun &run,
                   FaceUse &use, Shown &shown)
    {
        const double em = item.Font.Size * 25.4 / 72.0;
        const auto glyphAt = [&](size_t i) -> quint32 {
            return run.Glyphs[i].Glyph < use.used.size() ? run.Glyphs[i].Glyph : 0;
        };
        const auto draw = [&](size_t i) {
            show(shown, use, glyphAt(i),
                 item.Origin + QPointF(run.Glyphs[i].X, run.Glyphs[i].Y) * em, em);
        };
        // the font's map gives back the glyph's text where it is the first to give the glyph
        // one, or the one it gave
        const auto mapped = [&](size_t i) {
            const quint32 g = glyphAt(i);
            const QStringView text = shaped.textOf(run.Glyphs[i]);
            const QList<uint> chars = text.toUcs4();
            QString &stands = use.textOf[g];
            if (g == 0 || chars.size() != 1 || (!stands.isEmpty() && stands != text) ||
                (run.RightToLeft && QChar::isMark(chars.front())))
                return false;
            if (stands.isEmpty())
                stands = text.toString();
            return true;
        };
        // what is given back together: a glyph, or a right-to-left word (up to a blank)
        const auto blank = [&](size_t i) { return shaped.textOf(run.Glyphs[i]) == u" "; };
        const size_t count = run.Glyphs.size();
        std::vector<size_t> order;
        for (size_t i = 0, end = 0; i < count; i = end) {
            end = i + 1;
            while (run.RightToLeft && end < count && !blank(end - 1) && !blank(end))
                ++end;
            bool plain = true;
            for (size_t k = i; k < end && plain; ++k)
                plain = mapped(k);
            if (plain) {
                for (size_t k = i; k < end; ++k)
                    draw(k);
                continue;
            }
            order.clear();
            int first = int(shaped.Text.size()), last = 0;
            for (size_t k = i; k < end; ++k) {
                first = std::min(first, int(run.Glyphs[k].First));
                last = std::max(last, int(run.Glyphs[k].End));
                order.push_back(k);
            }
            std::stable_sort(order.begin(), order.end(),
                             [&](size_t a, size_t b) { return run.Glyphs[a].X < run.Glyphs[b].X; });
            const QStringView text = QStringView(shaped.Text).mid(first, std::max(0, last - first));
            endString(shown);
            m_out += actualText(run.RightToLeft ? asDrawn(text) : text.toString());
            for (const size_t k : order)
                draw(k);
            endString(shown);
            m_out += "EMC ";
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
    for (size_t i = 0; i < faces.uses.size(); ++i) {
        FaceUse &use = faces.uses[i];
        const FontFile &f = *use.file;
        const double em = 1000.0 / f.unitsPerEm;
        const char *head = f.table("head").data();
        const char *hhea = f.table("hhea").data();
        const QByteArray name = "/" + use.baseFont();
        const QByteArray file = use.subset();
        use.object = pdf.reserve();
        const int cidFont = pdf.reserve(), descriptor = pdf.reserve(), program = pdf.reserve(),
                  unicode = pdf.reserve();
        pdf.object(use.object, "<</Type/Font/Subtype/Type0/BaseFont" + name +
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
        pdf.stream(unicode, QByteArray(), use.toUnicode());
        fonts += "/F" + QByteArray::number(i) + ' ' + QByteArray::number(use.object) + " 0 R";
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
