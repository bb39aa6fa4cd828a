#include "reportengine/reportlayout.h"

#include "platform/waitwindow.h"
#include "reportengine/reportengine.h"

#include <QScopeGuard>
#include <QVarLengthArray>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace {

// Between a text box's sides and its text.
constexpr double kPadX = 0.5;
constexpr double kPadY = 0.3;
constexpr double kEps = 1e-6;

// TOTALPAGES while pages are still being made stands in a line as a noncharacter, which Unicode
// keeps for a program's own use, replaced by the page count once the last page is known; lines
// are broken as if it were this sample. Only the places the variable filled get the count (the
// text's item keeps them): a text of the data that holds the same character (Unicode lets
// exchanged text hold one) stands in the layout as another noncharacter it does not hold, and
// prints as stored.
constexpr char16_t kTotalPagesMark = u'\uFDD0';
const QString kTotalPagesSample = QStringLiteral("999");

// One line of a text and its width.
struct Line
{
    QString text;
    double width;
};
// A text's lines: most texts are one, kept without an allocation of its own.
using Lines = QVarLengthArray<Line, 1>;

// The width of one character (a surrogate pair counts as one), the mark as its sample.
double charWidth(const TfrFontMetrics &m, QStringView c)
{
    if (const double w = m.unitWidth(c[0].unicode()); w >= 0)
        return w;
    if (c.size() == 1 && c[0].unicode() == kTotalPagesMark)
        return m.width(kTotalPagesSample);
    return m.width(c);
}

qsizetype charLength(QStringView text, qsizetype i)
{
    return (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
}

double textWidth(const TfrFontMetrics &m, QStringView text)
{
    if (!text.contains(QChar(kTotalPagesMark)))
        return m.width(text);
    double w = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = charLength(text, i);
        w += charWidth(m, text.mid(i, len));
        i += len;
    }
    return w;
}

// Where a text that cannot fit ends: what fits of it, then this.
const QString kEllipsis = QStringLiteral("\u2026");

// The longest start of the text that fits within the width with the ellipsis after it.
Line withEllipsis(QStringView text, const TfrFontMetrics &m, double width)
{
    const double mark = m.width(kEllipsis);
    qsizetype end = 0;
    double w = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = charLength(text, i);
        const double cw = charWidth(m, text.mid(i, len));
        if (w + cw + mark > width + kEps)
            break;
        w += cw;
        i += len;
        end = i;
    }
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        w -= charWidth(m, text.mid(--end, 1));
    const QString line = text.left(end).toString() + kEllipsis;
    return {line, m.simple(line) ? w + mark : textWidth(m, line)};
}

// How a text was broken: `wordCut` tells that a word (with wrap) or a line (without) was wider
// than the width; with `ellipsis` such a word or line ends in "…" at the width instead of
// going on on the next line or past the box.
struct Breaking
{
    bool ellipsis = false;
    bool wordCut = false;
    bool shaped = false; // the text is not simple (reportfonts.h)
};

// A paragraph's lines: with word wrap, each as long as fits within the width, broken at the
// last blank that fits; a word longer than a whole line is broken inside, or cut. The blanks
// at a break belong to neither line.
void wrapParagraph(QStringView p, const TfrFontMetrics &m, double width, bool wrap, Lines &lines,
                   Breaking &how, const QString *whole = nullptr)
{
    // A shaped text is broken by the widths of its characters alone, and its lines then
    // measured as they are drawn, joined letters and all.
    const qsizetype first = lines.size();
    const auto shapedWidths = qScopeGuard([&] {
        if (!how.shaped || m.simple(p))
            return;
        for (qsizetype i = first; i < lines.size(); ++i)
            lines[i].width = textWidth(m, lines[i].text);
    });
    const qsizetype n = p.size();
    qsizetype start = 0;
    do {
        double w = 0;
        double widthAtSpace = 0;  // of the text before the last run of blanks
        qsizetype spaceRun = -1;  // where that run starts
        qsizetype lastSpace = -1; // and its last blank
        qsizetype i = start;
        while (i < n) {
            qsizetype len = 1; // most characters are one unit the face measured
            double cw = m.unitWidth(p[i].unicode());
            if (cw < 0) {
                len = charLength(p, i);
                cw = charWidth(m, p.mid(i, len));
            }
            if (p[i] == QLatin1Char(' ')) {
                if (lastSpace != i - 1) {
                    widthAtSpace = w;
                    spaceRun = i;
                }
                lastSpace = i;
            } else if (wrap && w + cw > width + kEps && i > start) {
                break;
            }
            w += cw;
            i += len;
        }
        if (i >= n) {
            qsizetype end = n;
            while (end > start && p[end - 1] == QLatin1Char(' '))
                --end;
            const QStringView last = p.mid(start, end - start);
            const double lastWidth = end == n ? w : textWidth(m, last);
            if (!wrap && lastWidth > width + kEps) {
                how.wordCut = true;
                if (how.ellipsis) {
                    lines.push_back(withEllipsis(last, m, width));
                    return;
                }
            }
            // most texts are one line: it shares the text's characters
            lines.push_back({whole && last.size() == n ? *whole : last.toString(), lastWidth});
            return;
        }
        if (spaceRun > start) {
            lines.push_back({p.mid(start, spaceRun - start).toString(), widthAtSpace});
            start = lastSpace + 1;
        } else {
            how.wordCut = true;
            if (how.ellipsis) {
                qsizetype end = i;
                while (end < n && p[end] != QLatin1Char(' '))
                    ++end;
                lines.push_back(withEllipsis(p.mid(start, end - start), m, width));
                start = end;
            } else {
                lines.push_back({p.mid(start, i - start).toString(), w});
                start = i;
            }
        }
        while (start < n && p[start] == QLatin1Char(' '))
            ++start;
    } while (start < n);
}

// The lines of a text: its own line breaks always (CR LF, LF or CR), and the breaks of word
// wrap.
Lines breakLines(const QString &text, const TfrFontMetrics &m, double width, bool wrap,
                 Breaking &how)
{
    Lines lines;
    const QStringView t(text);
    // Most texts are a simple text of one line that fits: measured in one pass.
    double w = 0, toEnd = 0; // to the last character but blanks
    qsizetype end = 0;
    bool plain = true;
    for (qsizetype i = 0; i < t.size() && plain; ++i) {
        const char16_t u = t[i].unicode();
        const double cw = m.unitWidth(u);
        plain = cw >= 0 && u != u'\n' && u != u'\r';
        w += cw;
        if (u != u' ') {
            end = i + 1;
            toEnd = w;
        }
    }
    if (plain && toEnd <= width + kEps) {
        if (end == t.size())
            lines.push_back({text, toEnd});
        else
            lines.push_back({text.left(end), textWidth(m, t.left(end))});
        return lines;
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i <= t.size(); ++i) {
        if (i < t.size() && t[i] != QLatin1Char('\n') && t[i] != QLatin1Char('\r'))
            continue;
        if (i == start)
            lines.push_back({QString(), 0});
        else
            wrapParagraph(t.mid(start, i - start), m, width, wrap, lines, how,
                          i - start == t.size() ? &text : nullptr);
        if (i + 1 < t.size() && t[i] == QLatin1Char('\r') && t[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    return lines;
}

// The template ready to run: expressions parsed, fonts resolved, bands sorted by role.
struct CObject
{
    const TfrObject *o;
    TfrText text;
    TfrFormat format;
    TfrFontSpec font;
    TfrFontMetrics metrics;
};

struct CBand
{
    const TfrBand *b = nullptr;
    QString name;
    bool hasVisible = false;
    TfrExpression visible;
    std::vector<CObject> objects;
    std::vector<CBand> across;
    std::vector<CBand> data;
    std::unique_ptr<CBand> header;
    std::unique_ptr<CBand> continued;
    std::unique_ptr<CBand> footer;
};

CBand compile(const TfrTemplate &t, const TfrBand &b)
{
    CBand c;
    c.b = &b;
    c.name = b.displayName();
    c.hasVisible = !b.Visible.isEmpty();
    if (c.hasVisible)
        c.visible = TfrExpression::parse(b.Visible);
    for (const TfrObject &o : b.Objects) {
        const TfrFontSpec font{o.FontSize.value_or(t.FontSize), o.Bold.value_or(t.Bold),
                               o.Italic.value_or(t.Italic)};
        c.objects.push_back({&o, o.Kind == TfrObjectKind::Text ? TfrText::parse(o.Memo) : TfrText(),
                             TfrFormat::parse(o.Format), font, TfrFontMetrics::of(font)});
    }
    for (const TfrBand &child : b.Bands) {
        switch (child.Kind) {
        case TfrBandKind::Header:
            c.header = std::make_unique<CBand>(compile(t, child));
            break;
        case TfrBandKind::Continued:
            c.continued = std::make_unique<CBand>(compile(t, child));
            break;
        case TfrBandKind::Footer:
            c.footer = std::make_unique<CBand>(compile(t, child));
            break;
        case TfrBandKind::Across:
            c.across.push_back(compile(t, child));
            break;
        default:
            c.data.push_back(compile(t, child));
            break;
        }
    }
    return c;
}

// What heads the pages a row, or a band's rows, go on to: the row's continued band or the
// band's repeated header, with the row numbers (LINE#) of the bands walked when it was first
// printed. It is evaluated anew atop each such page, so that what it calls (a register's page
// count and page texts) follows the pages.
struct Heading
{
    const CBand *band;
    std::vector<int> lines;
};
using Headings = std::vector<std::shared_ptr<const Heading>>;

// A band instance, evaluated and measured: items with y from the instance's top.
struct Instance
{
    double height = 0;
    const CBand *band = nullptr;
    bool leads = false; // a title, header or continued band, which the band after it stays with
    bool newPageBefore = false;
    bool newPageAfter = false;
    bool shaped = false; // a text of it is not simple (reportfonts.h): its page holds its lines
    std::vector<TfrDisplayItem> items;
    Headings headings;                  // of the rows it is printed within, the outermost first
    std::shared_ptr<const Heading> own; // its own row's, where the instance itself goes on

    bool blank() const { return items.empty() && height <= kEps; }
};

// Band instances of a group kept together, and groups nested in it.
struct Block
{
    struct Part
    {
        std::optional<Instance> instance;
        std::unique_ptr<Block> block;
    };
    std::vector<Part> parts;

    Instance *first()
    {
        for (Part &p : parts) {
            if (Instance *i = p.instance ? &*p.instance : p.block->first())
                return i;
        }
        return nullptr;
    }

    double height() const
    {
        double h = 0;
        for (const Part &p : parts)
            h += p.instance ? p.instance->height : p.block->height();
        return h;
    }
};

// An object of an instance in template order, its text evaluated and broken into lines,
// waiting for the band's height.
struct Measured
{
    Measured(const CObject &object, const CBand &from, double columnLeft)
        : c(&object), band(&from), x0(columnLeft), left(object.o->Left), width(object.o->Width),
          font(object.font), metrics(object.metrics)
    {
    }
    const CObject *c;
    const CBand *band; // the across band of a column's object
    double x0;
    double left, width; // the object's, narrowed in a shrunk across band
    double row = 0;     // below the first row of a wrapped across band
    double shift = 0;   // moved down under a text of its band that grew
    QString text;
    TfrFontSpec font; // the object's, or smaller where the text fits only so
    TfrFontMetrics metrics;
    Lines lines;
    double height = 0;      // text: the lines and the padding
    bool cut = false;       // ends in an ellipsis
    bool shaped = false;    // not a simple text (reportfonts.h)
    QChar standIn;          // of the data's own page count marks (placeCounts)
    bool pageCount = false; // the page count goes in it

    double top() const { return c->o->Top + row + shift; }
};

void shiftItem(TfrDisplayItem &item, double dy)
{
    item.Box.translate(0, dy);
    item.Line.translate(0, dy);
    item.Origin.ry() += dy;
}

// Splits an instance at a height where no line of text is cut: the part above stays in the
// instance, the part below is returned, starting at 0. Frames, fills and lines that cross
// the cut are cut in two.
Instance splitAt(Instance &inst, double cut)
{
    Instance rest;
    rest.height = inst.height - cut;
    rest.newPageAfter = inst.newPageAfter;
    rest.shaped = inst.shaped;
    // the rest goes on within its own row too
    rest.headings = inst.headings;
    if (inst.own)
        rest.headings.push_back(inst.own);
    inst.newPageAfter = false;
    inst.height = cut;
    std::vector<TfrDisplayItem> above;
    for (TfrDisplayItem &item : inst.items) {
        if (item.Kind == TfrItemKind::Line) {
            QLineF l = item.Line;
            const double top = std::min(l.y1(), l.y2());
            const double bottom = std::max(l.y1(), l.y2());
            if (bottom <= cut + kEps) {
                above.push_back(item);
            } else if (top >= cut - kEps) {
                shiftItem(item, -cut);
                rest.items.push_back(item);
            } else {
                if (l.y1() > l.y2())
                    l = QLineF(l.p2(), l.p1());
                const double x = l.x1() + (l.x2() - l.x1()) * (cut - l.y1()) / (l.y2() - l.y1());
                TfrDisplayItem upper = item;
                upper.Line = QLineF(l.p1(), QPointF(x, cut));
                above.push_back(upper);
                item.Line = QLineF(QPointF(x, 0), QPointF(l.x2(), l.y2() - cut));
                rest.items.push_back(item);
            }
            continue;
        }
        if (item.Box.bottom() <= cut + kEps) {
            above.push_back(item);
        } else if (item.Box.top() >= cut - kEps) {
            shiftItem(item, -cut);
            rest.items.push_back(item);
        } else {
            // only boxes cross the cut: text lines never do
            TfrDisplayItem upper = item;
            upper.Box.setBottom(cut);
            above.push_back(upper);
            item.Box = QRectF(item.Box.left(), 0, item.Box.width(), item.Box.bottom() - cut);
            rest.items.push_back(item);
        }
    }
    inst.items = std::move(above);
    return rest;
}

// Whether a line of text of the instance lies wholly above the cut.
bool textAbove(const Instance &inst, double cut)
{
    return std::any_of(inst.items.begin(), inst.items.end(), [cut](const TfrDisplayItem &item) {
        return item.Kind == TfrItemKind::Text && item.Box.bottom() <= cut + kEps;
    });
}

// The lowest cut at most `room` high that crosses no line of text.
double cutHeight(const Instance &inst, double room)
{
    double cut = room;
    for (bool moved = true; moved;) {
        moved = false;
        for (const TfrDisplayItem &item : inst.items) {
            if (item.Kind == TfrItemKind::Text && item.Box.top() < cut - kEps &&
                item.Box.bottom() > cut + kEps) {
                cut = item.Box.top();
                moved = true;
            }
        }
    }
    return cut;
}

} // namespace

class TfrLayout
{
public:
    explicit TfrLayout(TfrReport &report) : m_report(report), m_t(report.m_template)
    {
        const QSizeF page = m_t.pageSize();
        m_pageSize = page;
        m_left = m_t.MarginLeft;
        m_width = page.width() - m_t.MarginLeft - m_t.MarginRight;
        for (const TfrBand &b : m_t.Bands) {
            switch (b.Kind) {
            case TfrBandKind::ReportTitle:
                m_title = std::make_unique<CBand>(compile(m_t, b));
                break;
            case TfrBandKind::PageHeader:
                m_pageHeader = std::make_unique<CBand>(compile(m_t, b));
                break;
            case TfrBandKind::PageFooter:
                m_pageFooter = std::make_unique<CBand>(compile(m_t, b));
                break;
            case TfrBandKind::Summary:
                m_summary = std::make_unique<CBand>(compile(m_t, b));
                break;
            default:
                m_data.push_back(compile(m_t, b));
                break;
            }
        }
        m_footerHeight = m_pageFooter ? m_pageFooter->b->Height : 0;
        m_report.m_layout = this;
    }

    ~TfrLayout() { m_report.m_layout = nullptr; }

    TfrDisplayList run()
    {
        m_pages.Title = m_report.Title;
        if (m_title)
            print(*m_title);
        for (const CBand &band : m_data)
            walk(band);
        if (m_summary)
            print(*m_summary);
        // A new page asked after the last band has nothing to go on: the open page is the
        // last, and its footer numbers it as such.
        m_breakPending = false;
        if (m_open)
            closePage();
        resolveTotalPages();
        return std::move(m_pages);
    }

    bool value(const QString &name, QVariant &value) const
    {
        if (name.compare(QLatin1String("PAGE#"), Qt::CaseInsensitive) == 0) {
            value = pageNumber();
            return true;
        }
        if (name.compare(QLatin1String("TOTALPAGES"), Qt::CaseInsensitive) == 0) {
            value = QVariant::fromValue(TfrPageCountText{QString(QChar(kTotalPagesMark)), {0}});
            return true;
        }
        if (name.compare(QLatin1String("LINE#"), Qt::CaseInsensitive) == 0) {
            value = m_lines.empty() ? 0 : m_lines.back();
            return true;
        }
        return false;
    }

private:
    // The page a band being evaluated starts on: the open page, or the next one when the open
    // page is closed or to be left.
    int pageNumber() const
    {
        const int pages = int(m_pages.Pages.size());
        return (m_open && !m_breakPending) ? pages : pages + 1;
    }

    [[noreturn]] void bandFailure(const CBand &band, const QString &cause) const
    {
        throw EfrError(QStringLiteral("Errore nella preparazione del report «%1».\r\rBanda: "
                                      "%2\r\r%3")
                           .arg(m_report.Title, band.name, cause));
    }

    TfrDataSet *dataSet(const CBand &band) const
    {
        TfrDataSet *ds = m_report.FindDataSet(band.b->DataSet);
        if (!ds)
            bandFailure(
                band,
                QStringLiteral("Il report non conosce il dataset «%1».").arg(band.b->DataSet));
        return ds;
    }

    template <class Move> void move(const CBand &band, Move &&step) const
    {
        try {
            step();
        } catch (const EfrRunError &) {
            throw; // an object's failure inside a scroll handler's reopening names itself
        } catch (const EVxException &e) {
            bandFailure(band, e.message());
        }
    }

    // Opens the band's dataset when it is closed (with the parameters the data module's chain
    // gave it), else goes back to its first row: either way AfterScroll runs on that row.
    TfrDataSet *first(const CBand &band) const
    {
        TfrDataSet *ds = dataSet(band);
        move(band, [ds] {
            if (ds->Active())
                ds->First();
            else
                ds->Open();
        });
        return ds;
    }

    // The header leads into the first row that prints, kept with it, and, repeated, heads each
    // page the rows go on to; a band none of whose rows print prints neither header nor
    // footer. A row's continued band heads each page its details go on to.
    void walk(const CBand &band)
    {
        TfrDataSet *ds = first(band);
        const bool empty = ds->Eof();
        if (empty && !band.b->PrintWhenEmpty)
            return;
        m_lines.push_back(0);
        if (band.b->KeepWhole)
            m_keep.push_back(std::make_unique<Block>());
        bool led = false;
        bool repeated = false;
        // Prints the current row when visible, its header first; false when not visible.
        const auto row = [&] {
            if (!visible(band))
                return false;
            if (!led && band.header) {
                const int line = std::exchange(m_lines.back(), 0); // as before the first row
                print(*band.header);
                if (band.header->b->Repeat) {
                    m_headings.push_back(
                        std::make_shared<const Heading>(Heading{band.header.get(), m_lines}));
                    repeated = true;
                }
                m_lines.back() = line;
            }
            led = true;
            std::shared_ptr<const Heading> heading;
            if (band.continued)
                heading = std::make_shared<const Heading>(Heading{band.continued.get(), m_lines});
            print(band, heading, false);
            if (heading)
                m_headings.push_back(std::move(heading));
            return true;
        };
        if (empty) {
            m_lines.back() = 1;
            row();
        }
        while (!ds->Eof()) {
            ++m_lines.back();
            if (band.b->KeepTogether)
                m_keep.push_back(std::make_unique<Block>());
            const bool headed = row() && band.continued;
            for (const CBand &detail : band.data)
                walk(detail);
            if (headed)
                m_headings.pop_back();
            if (band.b->KeepTogether)
                closeBlock();
            move(band, [ds] { ds->Next(); });
        }
        if (repeated)
            m_headings.pop_back();
        if (band.footer && led)
            print(*band.footer);
        if (band.b->KeepWhole)
            closeBlock();
        m_lines.pop_back();
    }

    void print(const CBand &band, std::shared_ptr<const Heading> own = {}, bool checkVisible = true)
    {
        std::optional<Instance> inst = evaluate(band, checkVisible);
        if (!inst)
            return;
        inst->own = std::move(own);
        if (!m_keep.empty())
            m_keep.back()->parts.push_back({std::move(inst), nullptr});
        else
            place(std::move(*inst));
    }

    bool visible(const CBand &band)
    {
        return !band.hasVisible || frToBoolean(m_report.Evaluate(band.name, band.visible));
    }

    // Evaluates every expression of one instance of the band once, with its across columns,
    // and lays the result out at the band's height; nothing when the band is not visible.
    std::optional<Instance> evaluate(const CBand &band, bool checkVisible = true)
    {
        if (checkVisible && !visible(band))
            return std::nullopt;
        std::vector<Measured> objects;
        objects.reserve(band.objects.size());
        measure(band, m_left, objects);
        for (const CBand &across : band.across)
            walkAcross(across, objects);

        const bool stretches = band.b->Stretch;
        bool grew = false;
        for (Measured &m : objects) {
            if (m.c->o->Kind != TfrObjectKind::Text)
                continue;
            fit(m, stretches && m.c->o->Stretch);
            grew = grew || (stretches && m.c->o->Stretch && m.height > m.c->o->Height + kEps);
        }
        if (grew) {
            moveBelowGrown(band, objects);
            spaceWrappedRows(band, objects);
        }

        const double declared = band.b->Height;
        double height = declared;
        for (const Measured &m : objects) {
            const TfrObject &o = *m.c->o;
            if (m.row > kEps)
                height = std::max(height, m.top() + o.Height);
            if (m.shift > kEps)
                height = std::max(height, declared + m.shift);
            if (stretches && o.Stretch)
                height = std::max(height, m.top() + m.height);
        }
        Instance inst;
        inst.items.reserve(objects.size() * 2);
        inst.height = height;
        inst.band = &band;
        inst.newPageBefore = band.b->NewPageBefore;
        inst.leads = band.b->Kind == TfrBandKind::ReportTitle ||
                     band.b->Kind == TfrBandKind::Header || band.b->Kind == TfrBandKind::Continued;
        inst.newPageAfter = band.b->NewPageAfter;
        inst.headings = m_headings;
        const double grown = height - declared;
        for (Measured &m : objects) {
            if (m.c->o->Kind == TfrObjectKind::Text)
                placeText(inst, band, m, declared, grown);
            else
                placeShape(inst, m, declared, grown);
        }
        return inst;
    }

    void measure(const CBand &band, double x0, std::vector<Measured> &objects)
    {
        for (const CObject &c : band.objects) {
            Measured &m = objects.emplace_back(c, band, x0);
            if (c.o->Kind != TfrObjectKind::Text)
                continue;
            QString text;
            std::vector<qsizetype> counts; // where the page count goes
            for (const TfrText::Segment &s : c.text.segments()) {
                QList<qsizetype> at;
                QString part = !s.isExpression ? s.literal : segmentText(c, s.expression, at);
                for (const qsizetype a : std::as_const(at))
                    counts.push_back(text.size() + a);
                if (text.isEmpty())
                    text = std::move(part);
                else
                    text += part;
            }
            m.pageCount = !counts.empty();
            m.text = placeCounts(std::move(text), counts, m.standIn);
        }
    }

    // The text composed (frComposed), its page counts at the places given and nowhere else:
    // the data's own marks stand in as another noncharacter (standIn), none when it holds none.
    static QString placeCounts(QString text, const std::vector<qsizetype> &counts, QChar &standIn)
    {
        if (text.count(QChar(kTotalPagesMark)) > qsizetype(counts.size())) {
            standIn = QChar(kTotalPagesMark + 1);
            while (text.contains(standIn) && standIn.unicode() < 0xFDEF)
                standIn = QChar(standIn.unicode() + 1);
            text.replace(QChar(kTotalPagesMark), standIn);
            for (const qsizetype at : counts)
                text[at] = QChar(kTotalPagesMark);
        }
        if (counts.empty())
            return frComposed(std::move(text));
        // the mark composes with nothing: the pieces around it are composed alone
        QString composed;
        qsizetype from = 0;
        for (const qsizetype at : counts) {
            composed += frComposed(text.mid(from, at - from)) + QChar(kTotalPagesMark);
            from = at + 1;
        }
        return composed + frComposed(text.mid(from));
    }

    // A text as stored, the page count's places empty: what the office is told of.
    static QString stored(QString text, QChar standIn)
    {
        text.remove(QChar(kTotalPagesMark));
        return standIn.isNull() ? text : text.replace(standIn, QChar(kTotalPagesMark));
    }

    // A text broken into lines within its box: a text that does not fit shrinks, where its
    // object allows, down to the object's smallest font; then it wraps at blanks (inside a word
    // wider than the box), its box growing where it may. A line wider than a box without wrap,
    // or lines below a box that cannot grow, are cut with an ellipsis, and the report records
    // the cut.
    void fit(Measured &m, bool grows)
    {
        const TfrObject &o = *m.c->o;
        const double room = m.width - 2 * kPadX;
        const bool shaped = !m.metrics.simple(m.text);
        m.shaped = shaped;
        Breaking how{false, false, shaped};
        m.lines = breakLines(m.text, m.metrics, room, o.WordWrap, how);
        const auto tooTall = [&m, &o] {
            return double(m.lines.size()) * m.metrics.lineHeight() > o.Height + kEps;
        };
        if (o.MinFontSize && (how.wordCut || tooTall())) {
            while (m.font.Size > *o.MinFontSize + kEps) {
                m.font.Size = std::max(*o.MinFontSize, m.font.Size - 0.5);
                m.metrics = TfrFontMetrics::of(m.font);
                how = {false, false, shaped};
                m.lines = breakLines(m.text, m.metrics, room, o.WordWrap, how);
                if (!how.wordCut && !tooTall())
                    break;
            }
        }
        // With wrap, a word wider than the box even at the smallest font goes on on the next
        // line, broken between two of its characters: every character stays on the page.
        if (how.wordCut && !o.WordWrap) {
            how = {true, false, shaped};
            m.lines = breakLines(m.text, m.metrics, room, o.WordWrap, how);
            m.cut = true;
        }
        const double lineHeight = m.metrics.lineHeight();
        if (!grows) {
            const qsizetype shown = std::max<qsizetype>(1, qsizetype(o.Height / lineHeight + kEps));
            if (m.lines.size() > shown) {
                const bool hidden = std::any_of(m.lines.begin() + shown, m.lines.end(),
                                                [](const Line &l) { return !l.text.isEmpty(); });
                m.lines.resize(shown);
                if (hidden) {
                    m.lines.back() = withEllipsis(m.lines.back().text, m.metrics, room);
                    m.cut = true;
                }
            }
        }
        m.height = double(m.lines.size()) * lineHeight + 2 * kPadY;
        const QString text = m.cut || shaped ? stored(m.text, m.standIn) : QString();
        if (m.cut)
            m_pages.Cut << QStringLiteral("%1 %2 \u00ab%3\u00bb").arg(m.band->name, o.Name, text);
        const QString missing = shaped ? m.metrics.missing(text) : QString();
        if (!missing.isEmpty())
            m_pages.Cut << QStringLiteral("%1 %2 \u00ab%3\u00bb: nessun carattere installato può "
                                          "stampare \u00ab%4\u00bb")
                               .arg(m.band->name, o.Name, text, missing);
    }

    // Objects of the band below a text that grew move down with it, so that the text pushes
    // what follows it instead of printing over it.
    static void moveBelowGrown(const CBand &band, std::vector<Measured> &objects)
    {
        std::vector<Measured *> own;
        for (Measured &m : objects) {
            if (m.band == &band)
                own.push_back(&m);
        }
        std::stable_sort(own.begin(), own.end(), [](const Measured *a, const Measured *b) {
            return a->c->o->Top < b->c->o->Top;
        });
        for (size_t i = 0; i < own.size(); ++i) {
            const TfrObject &below = *own[i]->c->o;
            for (size_t j = 0; j < i; ++j) {
                const TfrObject &above = *own[j]->c->o;
                if (above.Top + above.Height > below.Top + kEps)
                    continue;
                const double growth = above.Kind == TfrObjectKind::Text && above.Stretch
                                          ? std::max(0.0, own[j]->height - above.Height)
                                          : 0;
                own[i]->shift = std::max(own[i]->shift, own[j]->shift + growth);
            }
        }
    }

    // The rows of a wrapped across band stand one under the other: a row whose text grew
    // pushes the rows below it down by as much.
    static void spaceWrappedRows(const CBand &band, std::vector<Measured> &objects)
    {
        const bool stretches = band.b->Stretch;
        for (const CBand &across : band.across) {
            if (across.b->Overflow != TfrAcrossOverflow::Wrap)
                continue;
            std::map<double, double> growth; // by row, the most a text of it grew
            for (const Measured &m : objects) {
                const TfrObject &o = *m.c->o;
                if (m.band != &across)
                    continue;
                double &g = growth[m.row];
                if (o.Kind == TfrObjectKind::Text && stretches && o.Stretch)
                    g = std::max(g, m.height - o.Height);
            }
            std::map<double, double> shift;
            double below = 0;
            for (const auto &[row, grown] : growth) {
                shift[row] = below;
                below += std::max(0.0, grown);
            }
            for (Measured &m : objects) {
                if (m.band == &across)
                    m.row += shift[m.row];
            }
        }
    }

    // An expression's text, and where the page count goes in it (counts).
    QString segmentText(const CObject &c, const TfrExpression &expression, QList<qsizetype> &counts)
    {
        const QVariant value = m_report.Evaluate(c.o->Name, expression);
        QString text = c.format.isEmpty() ? frDisplayText(value) : c.format.apply(value);
        if (const TfrPageCountText *counted = frPageCountText(value);
            counted && text == counted->Text)
            counts = counted->At;
        return text;
    }

    // Columns left to right from the across band's left, each its width wide. Those that would
    // pass the right margin are not printed, or all are narrowed to fit, or they go on in rows
    // below, as the band's overflow says.
    void walkAcross(const CBand &across, std::vector<Measured> &objects)
    {
        TfrDataSet *ds = first(across);
        m_lines.push_back(0);
        const TfrAcrossOverflow overflow = across.b->Overflow;
        const double start = m_left + across.b->Left;
        const double right = m_left + m_width;
        const double width = across.b->Width;
        double rowHeight = 0;
        if (overflow == TfrAcrossOverflow::Wrap && !across.objects.empty()) {
            double top = across.objects.front().o->Top, bottom = top;
            for (const CObject &c : across.objects) {
                top = std::min(top, c.o->Top);
                bottom = std::max(bottom, c.o->Top + c.o->Height);
            }
            rowHeight = bottom - top;
        }
        const size_t first = objects.size();
        double x0 = start;
        double row = 0;
        int columns = 0;
        while (!ds->Eof()) {
            if (x0 + width > right + kEps) {
                if (overflow == TfrAcrossOverflow::Clip)
                    break;
                if (overflow == TfrAcrossOverflow::Wrap && x0 > start + kEps) {
                    x0 = start;
                    row += rowHeight;
                }
            }
            ++m_lines.back();
            if (visible(across)) {
                const size_t from = objects.size();
                measure(across, x0, objects);
                for (size_t i = from; i < objects.size(); ++i)
                    objects[i].row = row;
                x0 += width;
                ++columns;
            }
            move(across, [ds] { ds->Next(); });
        }
        m_lines.pop_back();
        if (overflow == TfrAcrossOverflow::Shrink && start + columns * width > right + kEps) {
            const double factor = std::max(0.0, right - start) / (columns * width);
            for (size_t i = first; i < objects.size(); ++i) {
                Measured &m = objects[i];
                const double column = std::round((m.x0 - start) / width);
                m.x0 = start + column * width * factor;
                m.left *= factor;
                m.width *= factor;
            }
        }
    }

    // An object whose bottom lies on the band's bottom follows it when the band grows: the
    // frames and lines of a table row stay closed around the tallest cell.
    static bool followsBottom(double bottom, double declared) { return bottom >= declared - kEps; }

    void placeShape(Instance &inst, const Measured &s, double declared, double grown)
    {
        const TfrObject &o = *s.c->o;
        TfrDisplayItem item;
        item.Band = s.band->name;
        item.Object = o.Name;
        item.LineWidth = o.LineWidth;
        // what the object already moved down it no longer has to grow by
        const double follow = grown - s.row - s.shift;
        if (o.Kind == TfrObjectKind::Line) {
            double top = s.top();
            double height = o.Height;
            if (follow > kEps && followsBottom(o.Top + o.Height, declared)) {
                if (o.Height < kEps)
                    top += follow; // a rule under the row moves down with it
                else
                    height += follow;
            }
            item.Kind = TfrItemKind::Line;
            item.Line = QLineF(s.x0 + s.left, top, s.x0 + s.left + s.width, top + height);
        } else {
            double height = o.Height;
            if (follow > kEps && followsBottom(o.Top + o.Height, declared))
                height += follow;
            item.Kind = TfrItemKind::Rect;
            item.Box = QRectF(s.x0 + s.left, s.top(), s.width, height);
            item.Fill = o.Fill;
            item.Stroke = o.LineWidth > 0;
        }
        inst.items.push_back(std::move(item));
    }

    // The lines' texts move into the items.
    void placeText(Instance &inst, const CBand &band, Measured &m, double declared, double grown)
    {
        const CObject &c = *m.c;
        const TfrObject &o = *c.o;
        double height = o.Height;
        if (o.Stretch && band.b->Stretch)
            height = std::max(height, m.height);
        const double follow = grown - m.row - m.shift;
        if (follow > kEps && followsBottom(o.Top + o.Height, declared))
            height = std::max(height, o.Height + follow);
        const QRectF box(m.x0 + m.left, m.top(), m.width, height);

        TfrDisplayItem base;
        base.Band = m.band->name;
        base.Object = o.Name;
        if (o.Fill.isValid()) {
            TfrDisplayItem fill = base;
            fill.Kind = TfrItemKind::Rect;
            fill.Box = box;
            fill.Fill = o.Fill;
            inst.items.push_back(std::move(fill));
        }
        const double lineHeight = m.metrics.lineHeight();
        const double ascent = m.metrics.ascent();
        inst.shaped = inst.shaped || m.shaped;
        for (qsizetype i = 0; i < m.lines.size(); ++i) {
            const double top = box.top() + kPadY + i * lineHeight;
            if (top >= box.bottom() - kEps)
                break; // clipped
            if (m.lines[i].text.isEmpty())
                continue;
            TfrDisplayItem line = base;
            line.Kind = TfrItemKind::Text;
            line.Box =
                QRectF(box.left(), top, box.width(), std::min(lineHeight, box.bottom() - top));
            line.Text = std::move(m.lines[i].text);
            if (m.pageCount && line.Text.contains(QChar(kTotalPagesMark))) {
                std::vector<qsizetype> &at = m_pageCounts.emplace_back();
                for (qsizetype k = 0; k < line.Text.size(); ++k)
                    if (line.Text[k] == QChar(kTotalPagesMark))
                        at.push_back(k);
                line.PageCounts = quint32(m_pageCounts.size());
            }
            if (!m.standIn.isNull())
                line.Text.replace(m.standIn, QChar(kTotalPagesMark));
            line.Font = m.font;
            line.Align = o.Align;
            line.Origin = QPointF(alignedX(line.Box, o.Align, m.lines[i].width), top + ascent);
            inst.items.push_back(std::move(line));
        }
        if (o.Frame == fsAll) {
            TfrDisplayItem frame = base;
            frame.Kind = TfrItemKind::Rect;
            frame.Box = box;
            frame.Stroke = true;
            frame.LineWidth = o.LineWidth;
            inst.items.push_back(std::move(frame));
        } else if (o.Frame != fsNone) {
            const QLineF sides[] = {{box.topLeft(), box.bottomLeft()},
                                    {box.topLeft(), box.topRight()},
                                    {box.topRight(), box.bottomRight()},
                                    {box.bottomLeft(), box.bottomRight()}};
            for (int side = 0; side < 4; ++side) {
                if (!(o.Frame & (1 << side)))
                    continue;
                TfrDisplayItem edge = base;
                edge.Kind = TfrItemKind::Line;
                edge.Line = sides[side];
                edge.LineWidth = o.LineWidth;
                inst.items.push_back(std::move(edge));
            }
        }
    }

    static double alignedX(const QRectF &box, TfrAlign align, double width)
    {
        const double left = box.left() + kPadX;
        const double room = box.width() - 2 * kPadX;
        switch (align) {
        case TfrAlign::Center:
            return left + (room - width) / 2;
        case TfrAlign::Right:
            return left + room - width;
        case TfrAlign::Left:
            break;
        }
        return left;
    }

    // --- pages ---------------------------------------------------------------------------

    void closeBlock()
    {
        std::unique_ptr<Block> block = std::move(m_keep.back());
        m_keep.pop_back();
        if (!m_keep.empty())
            m_keep.back()->parts.push_back({std::nullopt, std::move(block)});
        else
            place(*block);
    }

    // A group kept together starts on a new page when it does not fit in what is left of this
    // one but fits on a page of its own; a group taller than a page is placed band by band.
    void place(Block &block)
    {
        Instance *first = block.first();
        if (!first)
            return;
        breakIfPending();
        // a new page the group's first band asks for starts it afresh, with no continued band
        if (first->newPageBefore && m_open && !m_led)
            newPage();
        if (!m_open)
            openPage();
        const double height = block.height();
        if (!bare() && height > m_bottom - m_y + kEps && height <= m_bottom - m_top + kEps)
            moveOn(first->headings);
        for (Block::Part &p : block.parts) {
            if (p.instance)
                place(std::move(*p.instance));
            else
                place(*p.block);
        }
    }

    // An instance goes on the open page when it fits; else on a new page, whole, when it fits
    // on an empty one; else it continues page by page, cut between lines of text. A band
    // that moves keeps the values it was evaluated with. A new page before a band is not
    // started on a page that holds only the titles and headers leading into it. An instance
    // that prints nothing and takes no room opens no page: its new pages wait for what
    // follows, so that a band with nothing under it leaves no empty page.
    void place(Instance inst)
    {
        if (inst.blank()) {
            if ((inst.newPageBefore && m_open && !m_led) || inst.newPageAfter)
                m_breakPending = true;
            return;
        }
        breakIfPending();
        if (inst.newPageBefore && m_open && !m_led)
            newPage();
        if (!m_open)
            openPage();
        for (;;) {
            const double room = m_bottom - m_y;
            if (inst.height <= room + kEps) {
                put(inst);
                break;
            }
            if (!bare() && inst.height <= m_bottom - m_top + kEps) {
                moveOn(inst.headings);
                continue;
            }
            double cut = cutHeight(inst, room);
            // a slice with no line of text on it would leave the headings above alone
            if (cut <= kEps || (!m_empty && !textAbove(inst, cut))) {
                if (!m_empty) {
                    moveOn(inst.headings);
                    continue;
                }
                cut = room; // a single line taller than the page: cut through it
            }
            Instance rest = splitAt(inst, cut);
            put(inst);
            inst = std::move(rest);
            continueOnNewPage(inst.headings);
        }
        if (inst.newPageAfter)
            m_breakPending = true;
    }

    void breakIfPending()
    {
        if (m_breakPending) {
            m_breakPending = false;
            if (m_open)
                newPage();
        }
    }

    // Whether the page holds nothing yet, or only the headers leading into what comes next, at
    // its top: what does not fit under them is cut there rather than leaving them alone.
    bool bare() const
    {
        return m_empty || (!m_leading.bands.empty() && m_leading.y <= m_top + kEps);
    }

    // The page that what did not fit goes on to, as continueOnNewPage; the headers that lead
    // into it go along when something else stands above them, so that no heading is left at
    // the foot of a page with nothing under it. A header that goes along heads the new page
    // itself, not repeated.
    void moveOn(const Headings &headings)
    {
        if (m_leading.bands.empty() || m_leading.y <= m_top + kEps) {
            continueOnNewPage(headings);
            return;
        }
        std::vector<TfrDisplayItem> &items = m_pages.Pages.back().Items;
        std::vector<TfrDisplayItem> moved(
            std::make_move_iterator(items.begin() + qsizetype(m_leading.item)),
            std::make_move_iterator(items.end()));
        items.erase(items.begin() + qsizetype(m_leading.item), items.end());
        const double from = m_leading.y;
        const double height = m_y - from;
        std::vector<const CBand *> bands = std::move(m_leading.bands);
        Headings outer;
        for (const std::shared_ptr<const Heading> &h : headings) {
            if (std::find(bands.begin(), bands.end(), h->band) == bands.end())
                outer.push_back(h);
        }
        continueOnNewPage(outer);
        std::vector<TfrDisplayItem> &page = m_pages.Pages.back().Items;
        m_leading = {page.size(), m_y, std::move(bands)};
        for (TfrDisplayItem &item : moved) {
            shiftItem(item, m_y - from);
            holdShaped(m_pages.Pages.back(), item); // a few headings, seldom
            page.push_back(std::move(item));
        }
        m_y += height;
        m_empty = false;
    }

    // The page that what did not fit goes on to: after its page header, what heads the rows it
    // belongs to, outermost first, each evaluated there with its row's line numbers. What is
    // placed next counts their room as taken.
    void continueOnNewPage(const Headings &headings)
    {
        newPage();
        for (const std::shared_ptr<const Heading> &h : headings) {
            std::vector<int> lines = h->lines;
            std::swap(m_lines, lines);
            const auto restore = qScopeGuard([&] { std::swap(m_lines, lines); });
            putHeading(evaluate(*h->band));
        }
        leaveRoomBelow(QStringLiteral("Le intestazioni delle pagine di seguito"));
    }

    // Something that heads the page, above what the page holds.
    void putHeading(std::optional<Instance> heading)
    {
        if (heading) {
            putAt(*heading, m_y);
            m_y += heading->height;
        }
    }

    // What heads the page leaves the page its room below.
    void leaveRoomBelow(const QString &headings)
    {
        m_top = m_y;
        if (m_bottom - m_top < 1)
            throw EfrError(QStringLiteral("Errore nella preparazione del report «%1».\r\r%2 non "
                                          "lasciano spazio sulla pagina %3.")
                               .arg(m_report.Title, headings)
                               .arg(m_pages.Pages.size()));
    }

    // Moves the instance's items onto the open page, its top at y.
    void putAt(Instance &inst, double y)
    {
        TfrPage &page = m_pages.Pages.back();
        for (TfrDisplayItem &item : inst.items) {
            shiftItem(item, y);
            if (inst.shaped)
                holdShaped(page, item);
            page.Items.push_back(std::move(item));
        }
    }

    void put(Instance &inst)
    {
        if (!inst.band || inst.band->b->Kind != TfrBandKind::Header) {
            m_leading.bands.clear();
        } else {
            if (m_leading.bands.empty())
                m_leading = {m_pages.Pages.back().Items.size(), m_y, {}};
            m_leading.bands.push_back(inst.band);
        }
        putAt(inst, m_y);
        m_y += inst.height;
        m_empty = false;
        m_led = m_led && inst.leads;
    }

    void openPage()
    {
        const size_t previous = m_pages.Pages.empty() ? 0 : m_pages.Pages.back().Items.size();
        m_pages.Pages.push_back(TfrPage{m_pageSize, {}, {}});
        m_pages.Pages.back().Items.reserve(previous + previous / 4);
        m_open = true;
        m_empty = true;
        m_led = true;
        m_leading = {};
        m_y = m_t.MarginTop;
        m_bottom = m_pageSize.height() - m_t.MarginBottom - m_footerHeight;
        if (m_pageHeader)
            putHeading(evaluate(*m_pageHeader));
        leaveRoomBelow(QStringLiteral("L'intestazione e il piè di pagina"));
    }

    void closePage()
    {
        if (m_pageFooter) {
            if (std::optional<Instance> footer = evaluate(*m_pageFooter))
                putAt(*footer, m_pageSize.height() - m_t.MarginBottom - m_footerHeight);
        }
        // A page was given room for a quarter more than the one before: a whole school's pages
        // stay in memory until they are printed, so what a page did not use is given back.
        m_pages.Pages.back().Items.shrink_to_fit();
        m_open = false;
        if (m_progress.due())
            m_progress.show(QStringLiteral("Pagine preparate: %1").arg(m_pages.Pages.size()));
    }

    void newPage()
    {
        closePage();
        openPage();
    }

    void resolveTotalPages()
    {
        const QString total = QString::number(m_pages.Pages.size());
        for (TfrPage &page : m_pages.Pages) {
            for (TfrDisplayItem &item : page.Items) {
                if (!item.PageCounts)
                    continue;
                const std::vector<qsizetype> &at = m_pageCounts[item.PageCounts - 1];
                for (auto it = at.rbegin(); it != at.rend(); ++it)
                    item.Text.replace(*it, 1, total);
                item.PageCounts = 0;
                item.Origin.setX(
                    alignedX(item.Box, item.Align, TfrFontMetrics::of(item.Font).width(item.Text)));
                holdShaped(page, item);
            }
        }
        m_pageCounts = {};
    }

    // The page holds the shaped line of a text that is not simple: it lives as long as the page.
    // A page count's text is known at the end (resolveTotalPages).
    static void holdShaped(TfrPage &page, const TfrDisplayItem &item)
    {
        if (item.Kind == TfrItemKind::Text && !item.PageCounts &&
            !TfrFontMetrics::of(item.Font).simple(item.Text))
            page.Shaped.push_back(frShapeText(item.Text, item.Font));
    }

    TfrReport &m_report;
    const TfrTemplate &m_t;
    QSizeF m_pageSize;
    double m_left = 0;
    double m_width = 0;
    double m_footerHeight = 0;
    std::unique_ptr<CBand> m_title, m_pageHeader, m_pageFooter, m_summary;
    std::vector<CBand> m_data;

    TfrDisplayList m_pages;
    std::vector<std::vector<qsizetype>> m_pageCounts; // by item (TfrDisplayItem::PageCounts)
    bool m_open = false;
    bool m_empty = true;
    bool m_led = true; // the page holds nothing but titles and headers
    bool m_breakPending = false;
    // The headers put last on the open page, nothing put under them yet: where their items
    // start on the page, their top, and their bands (none: there are none).
    struct Leading
    {
        size_t item = 0;
        double y = 0;
        std::vector<const CBand *> bands;
    } m_leading;
    double m_y = 0;
    double m_top = 0;
    double m_bottom = 0;
    std::vector<int> m_lines; // LINE# of each data band being walked, the innermost last
    Headings m_headings;      // of the rows being walked, the outermost first
    std::vector<std::unique_ptr<Block>> m_keep;
    // Pages built, in the wait window.
    TVxProgress m_progress{m_report.Title};
};

TfrDisplayList frLayOut(TfrReport &report)
{
    TfrLayout layout(report);
    return layout.run();
}

bool frLayoutValue(const TfrLayout &layout, const QString &name, QVariant &value)
{
    return layout.value(name, value);
}

namespace {

QString mm(double v)
{
    return QString::number(v, 'f', 2);
}

} // namespace

QString TfrDisplayList::cutNotice() const
{
    if (Cut.isEmpty())
        return QString();
    constexpr int kShown = 10;
    QString text = QStringLiteral("Nel report \"%1\" alcuni testi non sono stampati per intero "
                                  "(non entrano nel loro spazio, o nessun carattere installato "
                                  "può stampare le loro lettere):\r\r%2")
                       .arg(Title, Cut.mid(0, kShown).join(QLatin1Char('\r')));
    if (Cut.size() > kShown)
        text += QStringLiteral("\r... e altri %1.").arg(Cut.size() - kShown);
    return text;
}

QString TfrDisplayList::dump() const
{
    QString out;
    for (size_t p = 0; p < Pages.size(); ++p) {
        const TfrPage &page = Pages[p];
        const QString n = QString::number(p + 1);
        out += QStringLiteral("page %1 %2x%3\n")
                   .arg(n, QString::number(page.Size.width()), QString::number(page.Size.height()));
        for (const TfrDisplayItem &item : page.Items) {
            out += n + QLatin1Char(' ') + item.Band + QLatin1Char(' ') +
                   (item.Object.isEmpty() ? QStringLiteral("-") : item.Object);
            switch (item.Kind) {
            case TfrItemKind::Text: {
                QString font = QString::number(item.Font.Size);
                if (item.Font.Bold)
                    font += QLatin1Char('b');
                if (item.Font.Italic)
                    font += QLatin1Char('i');
                out += QStringLiteral(" text %1 %2 %3 %4 @%5 %6 \"%7\"")
                           .arg(mm(item.Box.x()), mm(item.Box.y()), mm(item.Box.width()),
                                mm(item.Box.height()), mm(item.Origin.x()), font, item.Text);
                break;
            }
            case TfrItemKind::Line:
                out += QStringLiteral(" line %1 %2 %3 %4 w%5")
                           .arg(mm(item.Line.x1()), mm(item.Line.y1()), mm(item.Line.x2()),
                                mm(item.Line.y2()), mm(item.LineWidth));
                break;
            case TfrItemKind::Rect:
                out += QStringLiteral(" rect %1 %2 %3 %4")
                           .arg(mm(item.Box.x()), mm(item.Box.y()), mm(item.Box.width()),
                                mm(item.Box.height()));
                if (item.Stroke)
                    out += QStringLiteral(" w%1 stroke").arg(mm(item.LineWidth));
                if (item.Fill.isValid())
                    out += QStringLiteral(" fill") + item.Fill.name().toUpper();
                break;
            }
            out += QLatin1Char('\n');
        }
    }
    return out;
}
