#include "reportengine/reporttemplate.h"

#include "platform/xmldoc.h"
#include "reportengine/reportexpr.h"
#include "reportengine/reportvalue.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringConverter>
#include <QXmlStreamReader>

#include <cmath>

namespace {

// Every length, from a band's height to a margin, stays within an A3 sheet's size many times
// over: a larger one is a typing error, not a report.
constexpr double kMaxLength = 5000;
constexpr double kMaxFontSize = 200;

struct BandSpec
{
    TfrBandKind kind;
    const char *element;
    QStringList attributes;
};

const QStringList kBandCommon = {"name",           "height", "stretch", "new-page-before",
                                 "new-page-after", "visible"};

const std::vector<BandSpec> &bandSpecs()
{
    static const std::vector<BandSpec> specs = {
        {TfrBandKind::ReportTitle, "report-title", kBandCommon},
        {TfrBandKind::PageHeader, "page-header", {"name", "height", "stretch", "visible"}},
        // The footer's place is reserved on every page before the page's bands are known: it
        // cannot grow.
        {TfrBandKind::PageFooter, "page-footer", {"name", "height", "visible"}},
        {TfrBandKind::Data, "data",
         kBandCommon + QStringList{"dataset", "print-when-empty", "keep-together", "keep-whole"}},
        {TfrBandKind::Header, "header", kBandCommon + QStringList{"repeat"}},
        // Printed where the report goes on, not where it chooses a new page: no page breaks.
        {TfrBandKind::Continued, "continued", {"name", "height", "stretch", "visible"}},
        {TfrBandKind::Footer, "footer", kBandCommon},
        {TfrBandKind::Across,
         "across",
         {"name", "dataset", "left", "width", "overflow", "visible"}},
        {TfrBandKind::Summary, "summary", kBandCommon},
    };
    return specs;
}

const BandSpec *bandSpec(const QString &element)
{
    for (const BandSpec &s : bandSpecs()) {
        if (element == QLatin1String(s.element))
            return &s;
    }
    return nullptr;
}

const BandSpec &bandSpec(TfrBandKind kind)
{
    for (const BandSpec &s : bandSpecs()) {
        if (s.kind == kind)
            return s;
    }
    Q_UNREACHABLE();
}

const QStringList kTextAttributes = {
    "name",   "left",  "top",  "width",    "height", "font-size",  "min-font-size", "bold",
    "italic", "align", "wrap", "overflow", "frame",  "line-width", "fill",          "format"};
const QStringList kLineAttributes = {"name", "left", "top", "width", "height", "line-width"};
const QStringList kRectAttributes = {"name",   "left",       "top", "width",
                                     "height", "line-width", "fill"};
const QStringList kReportAttributes = {"version",     "title",      "paper",        "orientation",
                                       "margin-left", "margin-top", "margin-right", "margin-bottom",
                                       "font-size",   "bold",       "italic"};

const char *const kSides[] = {"left", "top", "right", "bottom"};

QString number(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

class Reader
{
public:
    // The text is read as characters, so that positions count characters, not bytes.
    explicit Reader(const QString &text) : m_text(text), m_xml(text) {}

    TfrTemplate read()
    {
        while (!m_xml.atEnd()) {
            const auto token = next();
            if (token == QXmlStreamReader::StartElement)
                return readReport();
            if (token == QXmlStreamReader::DTD)
                fail(QStringLiteral("il modello non può dichiarare un DTD."));
        }
        failXml(QStringLiteral("il modello è vuoto."));
    }

private:
    // Reads the next token. A fault is reported where the element it concerns starts (a
    // start tag, found back from the parser's position, which is past it), columns counted
    // from 1; any other token's where the parser stands.
    QXmlStreamReader::TokenType next()
    {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        qsizetype at = m_xml.characterOffset();
        if (token == QXmlStreamReader::StartElement)
            at = m_text.lastIndexOf(QLatin1Char('<'), at - 1);
        locate(at);
        return token;
    }

    // Line and column of a character offset; offsets only grow, so lines are counted once.
    void locate(qsizetype at)
    {
        at = qBound(qsizetype(0), at, m_text.size());
        if (at < m_counted) {
            m_counted = 0;
            m_countedLine = 1;
            m_lineStart = 0;
        }
        for (; m_counted < at; ++m_counted) {
            if (m_text[m_counted] == QLatin1Char('\n')) {
                ++m_countedLine;
                m_lineStart = m_counted + 1;
            }
        }
        m_line = m_countedLine;
        m_column = at - m_lineStart + 1;
    }

    [[noreturn]] void fail(const QString &what) { throw EfrTemplateError(m_line, m_column, what); }

    // A fault of the XML itself, where the parser found it, in its words when it has some.
    [[noreturn]] void failXml(const QString &fallback)
    {
        locate(m_xml.characterOffset());
        if (m_xml.hasError())
            fail(QStringLiteral("XML non valido: %1").arg(m_xml.errorString()));
        fail(fallback);
    }

    QString name() const { return m_xml.name().toString(); }

    void checkAttributes(const QStringList &allowed)
    {
        for (const QXmlStreamAttribute &a : m_xml.attributes()) {
            if (!a.namespaceUri().isEmpty() || !allowed.contains(a.name().toString()))
                fail(QStringLiteral("attributo sconosciuto «%1» in <%2>.")
                         .arg(a.qualifiedName().toString(), name()));
        }
    }

    std::optional<QString> attribute(const char *key)
    {
        const QXmlStreamAttributes attrs = m_xml.attributes();
        if (!attrs.hasAttribute(QLatin1String(key)))
            return std::nullopt;
        return attrs.value(QLatin1String(key)).toString();
    }

    QString required(const char *key)
    {
        const std::optional<QString> v = attribute(key);
        if (!v || v->trimmed().isEmpty())
            fail(QStringLiteral("manca l'attributo «%1» in <%2>.").arg(QLatin1String(key), name()));
        return *v;
    }

    double length(const QString &text, const char *key, double max = kMaxLength)
    {
        static const QRegularExpression decimal(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
        if (!decimal.match(text).hasMatch())
            fail(QStringLiteral("«%1» non è un numero valido per «%2» (millimetri o punti, con "
                                "il punto decimale).")
                     .arg(text, QLatin1String(key)));
        const double v = text.toDouble();
        if (!std::isfinite(v) || v > max)
            fail(QStringLiteral("«%1» è fuori misura per «%2» (al massimo %3).")
                     .arg(text, QLatin1String(key), number(max)));
        return v;
    }

    void readLength(const char *key, double &target, double max = kMaxLength)
    {
        if (const std::optional<QString> v = attribute(key))
            target = length(*v, key, max);
    }

    double requiredLength(const char *key) { return length(required(key), key); }

    bool boolean(const QString &text, const char *key)
    {
        if (text == QLatin1String("true"))
            return true;
        if (text == QLatin1String("false"))
            return false;
        fail(QStringLiteral("«%1» non vale per «%2»: true o false.").arg(text, QLatin1String(key)));
    }

    void readBool(const char *key, bool &target)
    {
        if (const std::optional<QString> v = attribute(key))
            target = boolean(*v, key);
    }

    template <class E>
    E choice(const char *key, const std::vector<std::pair<const char *, E>> &values, E fallback)
    {
        const std::optional<QString> v = attribute(key);
        if (!v)
            return fallback;
        QStringList names;
        for (const auto &[text, value] : values) {
            if (*v == QLatin1String(text))
                return value;
            names << QString::fromLatin1(text);
        }
        fail(QStringLiteral("«%1» non vale per «%2»: %3.")
                 .arg(*v, QLatin1String(key), names.join(QStringLiteral(", "))));
    }

    QColor color(const char *key)
    {
        const std::optional<QString> v = attribute(key);
        if (!v)
            return QColor();
        static const QRegularExpression rgb(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
        if (!rgb.match(*v).hasMatch())
            fail(QStringLiteral("«%1» non è un colore per «%2»: #RRGGBB.")
                     .arg(*v, QLatin1String(key)));
        return QColor(*v);
    }

    // Expressions are checked here, so that a run never meets one that does not parse.
    void checkExpression(const QString &text, bool isMemo)
    {
        try {
            if (isMemo)
                TfrText::parse(text);
            else
                TfrExpression::parse(text);
        } catch (const EVxException &e) {
            fail(e.message());
        }
    }

    TfrTemplate readReport()
    {
        if (name() != QLatin1String("report") || !m_xml.namespaceUri().isEmpty())
            fail(QStringLiteral("elemento sconosciuto <%1>: un modello comincia con <report>.")
                     .arg(m_xml.qualifiedName().toString()));
        checkAttributes(kReportAttributes);
        const QString version = required("version");
        if (version != QString::number(TfrTemplate::Version))
            fail(QStringLiteral("versione %1 del formato sconosciuta: questo programma legge la "
                                "versione %2.")
                     .arg(version)
                     .arg(TfrTemplate::Version));
        TfrTemplate t;
        t.Title = attribute("title").value_or(QString());
        t.Paper =
            choice<TfrPaper>("paper", {{"A4", TfrPaper::A4}, {"A3", TfrPaper::A3}}, TfrPaper::A4);
        t.Orientation = choice<TfrOrientation>(
            "orientation",
            {{"portrait", TfrOrientation::Portrait}, {"landscape", TfrOrientation::Landscape}},
            TfrOrientation::Portrait);
        readLength("margin-left", t.MarginLeft);
        readLength("margin-top", t.MarginTop);
        readLength("margin-right", t.MarginRight);
        readLength("margin-bottom", t.MarginBottom);
        readLength("font-size", t.FontSize, kMaxFontSize);
        if (t.FontSize <= 0)
            fail(QStringLiteral("la dimensione del carattere deve essere maggiore di zero."));
        readBool("bold", t.Bold);
        readBool("italic", t.Italic);
        const QSizeF page = t.pageSize();
        if (t.MarginLeft + t.MarginRight >= page.width() ||
            t.MarginTop + t.MarginBottom >= page.height())
            fail(QStringLiteral("i margini non lasciano spazio sulla pagina."));

        // report-title?, page-header?, page-footer?, data*, summary?
        static const std::vector<TfrBandKind> order = {
            TfrBandKind::ReportTitle, TfrBandKind::PageHeader, TfrBandKind::PageFooter,
            TfrBandKind::Data, TfrBandKind::Summary};
        int last = -1;
        while (nextChild()) {
            const BandSpec *spec = bandSpec(name());
            if (!spec)
                unknownElement();
            const int at = int(std::find(order.begin(), order.end(), spec->kind) - order.begin());
            if (at == int(order.size()) || at < last ||
                (at == last && spec->kind != TfrBandKind::Data))
                misplaced();
            last = at;
            t.Bands.push_back(readBand(*spec));
        }
        // Anything after the document element is the parser's to refuse.
        while (!m_xml.atEnd()) {
            if (next() == QXmlStreamReader::StartElement)
                fail(QStringLiteral("un solo elemento <report> per modello."));
        }
        if (m_xml.hasError())
            failXml(QString());
        return t;
    }

    [[noreturn]] void unknownElement()
    {
        fail(QStringLiteral("elemento sconosciuto <%1>.").arg(m_xml.qualifiedName().toString()));
    }

    [[noreturn]] void misplaced()
    {
        fail(QStringLiteral("l'elemento <%1> non è ammesso in questa posizione.").arg(name()));
    }

    // Moves to the next child element of the current one; false at its end. Text between
    // elements may only be blank.
    bool nextChild()
    {
        while (!m_xml.atEnd()) {
            switch (next()) {
            case QXmlStreamReader::StartElement:
                if (!m_xml.namespaceUri().isEmpty())
                    unknownElement();
                return true;
            case QXmlStreamReader::EndElement:
                return false;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace())
                    fail(QStringLiteral("testo fuori da un oggetto: «%1».")
                             .arg(m_xml.text().toString().trimmed().left(40)));
                break;
            case QXmlStreamReader::ProcessingInstruction:
            case QXmlStreamReader::EntityReference:
            case QXmlStreamReader::DTD:
                fail(QStringLiteral("contenuto non ammesso in un modello."));
            default:
                break;
            }
        }
        failXml(QStringLiteral("il modello finisce prima di chiudere i suoi elementi."));
    }

    TfrBand readBand(const BandSpec &spec)
    {
        checkAttributes(spec.attributes);
        TfrBand b;
        b.Kind = spec.kind;
        b.Name = attribute("name").value_or(QString());
        if (spec.kind == TfrBandKind::Data || spec.kind == TfrBandKind::Across) {
            b.Name = required("name");
            b.DataSet = required("dataset");
        }
        if (spec.kind == TfrBandKind::Across) {
            b.Left = requiredLength("left");
            b.Width = requiredLength("width");
            if (b.Width <= 0)
                fail(QStringLiteral("le colonne di <across> devono avere una larghezza."));
            b.Overflow = choice<TfrAcrossOverflow>("overflow",
                                                   {{"clip", TfrAcrossOverflow::Clip},
                                                    {"shrink", TfrAcrossOverflow::Shrink},
                                                    {"wrap", TfrAcrossOverflow::Wrap}},
                                                   TfrAcrossOverflow::Clip);
        } else {
            b.Height = requiredLength("height");
        }
        readBool("stretch", b.Stretch);
        readBool("new-page-before", b.NewPageBefore);
        readBool("new-page-after", b.NewPageAfter);
        readBool("print-when-empty", b.PrintWhenEmpty);
        readBool("keep-together", b.KeepTogether);
        readBool("keep-whole", b.KeepWhole);
        readBool("repeat", b.Repeat);
        b.Visible = attribute("visible").value_or(QString());
        if (!b.Visible.isEmpty())
            checkExpression(b.Visible, false);

        // header?, continued?, objects*, across*, data*, footer? (only data bands take header,
        // continued, footer and data; page bands and across bands take no across band)
        enum Stage { AtHeader, AtContinued, AtObjects, AtAcross, AtData, AtFooter };
        int stage = -1;
        const bool isData = spec.kind == TfrBandKind::Data;
        const bool takesAcross = spec.kind != TfrBandKind::Across &&
                                 spec.kind != TfrBandKind::PageHeader &&
                                 spec.kind != TfrBandKind::PageFooter;
        while (nextChild()) {
            const QString element = name();
            int at;
            if (element == QLatin1String("text") || element == QLatin1String("line") ||
                element == QLatin1String("rect"))
                at = AtObjects;
            else if (const BandSpec *child = bandSpec(element)) {
                if (child->kind == TfrBandKind::Header && isData)
                    at = AtHeader;
                else if (child->kind == TfrBandKind::Continued && isData)
                    at = AtContinued;
                else if (child->kind == TfrBandKind::Across && takesAcross)
                    at = AtAcross;
                else if (child->kind == TfrBandKind::Data && isData)
                    at = AtData;
                else if (child->kind == TfrBandKind::Footer && isData)
                    at = AtFooter;
                else
                    misplaced();
            } else {
                unknownElement();
            }
            if (at < stage ||
                (at == stage && (at == AtHeader || at == AtContinued || at == AtFooter)))
                misplaced();
            stage = at;
            if (at == AtObjects)
                b.Objects.push_back(readObject(element));
            else
                b.Bands.push_back(readBand(*bandSpec(element)));
        }
        return b;
    }

    TfrObject readObject(const QString &element)
    {
        const qint64 line = m_line, column = m_column;
        TfrObject o;
        if (element == QLatin1String("text")) {
            o.Kind = TfrObjectKind::Text;
            checkAttributes(kTextAttributes);
            o.Name = required("name");
        } else {
            o.Kind = element == QLatin1String("line") ? TfrObjectKind::Line : TfrObjectKind::Rect;
            checkAttributes(o.Kind == TfrObjectKind::Line ? kLineAttributes : kRectAttributes);
            o.Name = attribute("name").value_or(QString());
        }
        o.Left = requiredLength("left");
        o.Top = requiredLength("top");
        o.Width = requiredLength("width");
        o.Height = requiredLength("height");
        readLength("line-width", o.LineWidth, 10);
        o.Fill = color("fill");
        if (o.Kind == TfrObjectKind::Text) {
            if (const std::optional<QString> v = attribute("font-size")) {
                o.FontSize = length(*v, "font-size", kMaxFontSize);
                if (*o.FontSize <= 0)
                    fail(QStringLiteral("la dimensione del carattere deve essere maggiore di "
                                        "zero."));
            }
            if (const std::optional<QString> v = attribute("min-font-size")) {
                o.MinFontSize = length(*v, "min-font-size", kMaxFontSize);
                if (*o.MinFontSize <= 0)
                    fail(QStringLiteral("la dimensione minima del carattere deve essere maggiore "
                                        "di zero."));
            }
            if (const std::optional<QString> v = attribute("bold"))
                o.Bold = boolean(*v, "bold");
            if (const std::optional<QString> v = attribute("italic"))
                o.Italic = boolean(*v, "italic");
            o.Align = choice<TfrAlign>("align",
                                       {{"left", TfrAlign::Left},
                                        {"center", TfrAlign::Center},
                                        {"right", TfrAlign::Right}},
                                       TfrAlign::Left);
            readBool("wrap", o.WordWrap);
            o.Stretch = choice<bool>("overflow", {{"clip", false}, {"stretch", true}}, false);
            o.Frame = frame();
            o.Format = attribute("format").value_or(QString());
            if (!o.Format.isEmpty()) {
                try {
                    TfrFormat::parse(o.Format);
                } catch (const EVxException &e) {
                    fail(e.message());
                }
            }
            o.Memo = readMemo();
            m_line = line; // a fault of the text is the element's
            m_column = column;
            checkExpression(o.Memo, true);
        } else if (nextChild()) {
            fail(QStringLiteral("<%1> non contiene altri elementi.").arg(element));
        }
        return o;
    }

    int frame()
    {
        const std::optional<QString> v = attribute("frame");
        if (!v)
            return fsNone;
        if (*v == QLatin1String("all"))
            return fsAll;
        int sides = fsNone;
        const QStringList words = v->split(QLatin1Char(' '));
        for (const QString &w : words) {
            int side = 0;
            for (int i = 0; i < 4; ++i) {
                if (w == QLatin1String(kSides[i]))
                    side = 1 << i;
            }
            if (!side || (sides & side))
                fail(QStringLiteral("«%1» non vale per «frame»: all, oppure i lati tra left, top, "
                                    "right e bottom separati da uno spazio.")
                         .arg(*v));
            sides |= side;
        }
        return sides;
    }

    QString readMemo()
    {
        QString memo;
        while (!m_xml.atEnd()) {
            switch (next()) {
            case QXmlStreamReader::Characters:
                memo += m_xml.text();
                break;
            case QXmlStreamReader::EndElement:
                return memo;
            case QXmlStreamReader::StartElement:
                fail(QStringLiteral("<text> contiene solo testo, non l'elemento <%1>.")
                         .arg(m_xml.qualifiedName().toString()));
            case QXmlStreamReader::Comment:
                break;
            default:
                fail(QStringLiteral("contenuto non ammesso in un modello."));
            }
        }
        failXml(QStringLiteral("il modello finisce dentro un <text>."));
    }

    QString m_text;
    QXmlStreamReader m_xml;
    qint64 m_line = 1;
    qint64 m_column = 1;
    qsizetype m_counted = 0;
    qint64 m_countedLine = 1;
    qsizetype m_lineStart = 0;
};

// The offset of the first byte that is not UTF-8, or -1.
qsizetype invalidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const uchar c = p[i];
        const int extra = c < 0x80             ? 0
                          : (c & 0xE0) == 0xC0 ? 1
                          : (c & 0xF0) == 0xE0 ? 2
                          : (c & 0xF8) == 0xF0 ? 3
                                               : -1;
        if (extra < 0 || (extra == 1 && c < 0xC2) || (extra > 0 && i + extra >= n))
            return i;
        for (int k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
        }
        i += extra + 1;
    }
    return -1;
}

// Writes the form the committed templates are kept in: two blanks of indent per level, one
// element per line, attributes in the reader's order, and text escaped only where XML needs
// it, so that the expressions' quotes and comparisons stay readable.
class Writer
{
public:
    QByteArray write(const TfrTemplate &t)
    {
        m_out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        open("report");
        attribute("version", QString::number(TfrTemplate::Version));
        text("title", t.Title);
        attribute("paper", t.Paper == TfrPaper::A3 ? QStringLiteral("A3") : QStringLiteral("A4"));
        if (t.Orientation == TfrOrientation::Landscape)
            attribute("orientation", QStringLiteral("landscape"));
        const TfrTemplate d;
        length("margin-left", t.MarginLeft, d.MarginLeft);
        length("margin-top", t.MarginTop, d.MarginTop);
        length("margin-right", t.MarginRight, d.MarginRight);
        length("margin-bottom", t.MarginBottom, d.MarginBottom);
        length("font-size", t.FontSize, d.FontSize);
        flag("bold", t.Bold);
        flag("italic", t.Italic);
        for (const TfrBand &b : t.Bands)
            band(b);
        close();
        return m_out.toUtf8();
    }

private:
    // Starts an element; its start tag is finished by its first child or by close().
    void open(const char *element)
    {
        finishStartTag();
        m_out += QString(m_open.size() * 2, QLatin1Char(' ')) + QLatin1Char('<') +
                 QLatin1String(element);
        m_open.push_back({QLatin1String(element), false});
        m_tagOpen = true;
    }

    void finishStartTag()
    {
        if (!m_tagOpen)
            return;
        m_out += QStringLiteral(">\n");
        m_open.back().second = true;
        m_tagOpen = false;
    }

    void close()
    {
        const auto [element, hasChildren] = m_open.back();
        m_open.pop_back();
        if (!hasChildren && m_tagOpen) {
            m_out += QStringLiteral("/>\n");
        } else {
            m_out += QString(m_open.size() * 2, QLatin1Char(' ')) + QStringLiteral("</") + element +
                     QStringLiteral(">\n");
        }
        m_tagOpen = false;
    }

    void attribute(const char *key, const QString &value)
    {
        QString escaped;
        for (QChar c : value) {
            switch (c.unicode()) {
            case '&':
                escaped += QStringLiteral("&amp;");
                break;
            case '<':
                escaped += QStringLiteral("&lt;");
                break;
            case '>':
                escaped += QStringLiteral("&gt;");
                break;
            case '"':
                escaped += QStringLiteral("&quot;");
                break;
            case '\n':
                escaped += QStringLiteral("&#10;");
                break;
            case '\r':
                escaped += QStringLiteral("&#13;");
                break;
            case '\t':
                escaped += QStringLiteral("&#9;");
                break;
            default:
                escaped += c;
            }
        }
        m_out += QLatin1Char(' ') + QLatin1String(key) + QStringLiteral("=\"") + escaped +
                 QLatin1Char('"');
    }

    // Text content: "&" and "<" always, ">" only where it would close "]]>", and a carriage
    // return as a reference, since XML reads a bare one as a line feed.
    static QString content(const QString &text)
    {
        QString escaped;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c == QLatin1Char('&'))
                escaped += QStringLiteral("&amp;");
            else if (c == QLatin1Char('<'))
                escaped += QStringLiteral("&lt;");
            else if (c == QLatin1Char('>') && escaped.endsWith(QLatin1String("]]")))
                escaped += QStringLiteral("&gt;");
            else if (c == QLatin1Char('\r'))
                escaped += QStringLiteral("&#13;");
            else
                escaped += c;
        }
        return escaped;
    }

    void length(const char *key, double value, std::optional<double> fallback = std::nullopt)
    {
        if (!fallback || value != *fallback)
            attribute(key, number(value));
    }

    void flag(const char *key, bool value)
    {
        if (value)
            attribute(key, QStringLiteral("true"));
    }

    void text(const char *key, const QString &value)
    {
        if (!value.isEmpty())
            attribute(key, value);
    }

    void band(const TfrBand &b)
    {
        const QByteArray element = frBandElement(b.Kind).toLatin1();
        open(element.constData());
        text("name", b.Name);
        text("dataset", b.DataSet);
        if (b.Kind == TfrBandKind::Across) {
            length("left", b.Left);
            length("width", b.Width);
            if (b.Overflow != TfrAcrossOverflow::Clip)
                attribute("overflow", b.Overflow == TfrAcrossOverflow::Shrink
                                          ? QStringLiteral("shrink")
                                          : QStringLiteral("wrap"));
        } else {
            length("height", b.Height);
        }
        flag("stretch", b.Stretch);
        flag("new-page-before", b.NewPageBefore);
        flag("new-page-after", b.NewPageAfter);
        flag("print-when-empty", b.PrintWhenEmpty);
        flag("keep-together", b.KeepTogether);
        flag("keep-whole", b.KeepWhole);
        flag("repeat", b.Repeat);
        text("visible", b.Visible);
        // The reader's order: header, continued, objects, across, data, footer.
        for (TfrBandKind kind : {TfrBandKind::Header, TfrBandKind::Continued}) {
            for (const TfrBand &c : b.Bands) {
                if (c.Kind == kind)
                    band(c);
            }
        }
        for (const TfrObject &o : b.Objects)
            object(o);
        for (TfrBandKind kind : {TfrBandKind::Across, TfrBandKind::Data, TfrBandKind::Footer}) {
            for (const TfrBand &c : b.Bands) {
                if (c.Kind == kind)
                    band(c);
            }
        }
        close();
    }

    void object(const TfrObject &o)
    {
        static const char *const elements[] = {"text", "line", "rect"};
        const bool isText = o.Kind == TfrObjectKind::Text;
        open(elements[int(o.Kind)]);
        text("name", o.Name);
        length("left", o.Left);
        length("top", o.Top);
        length("width", o.Width);
        length("height", o.Height);
        const TfrObject d;
        if (isText) {
            if (o.FontSize)
                length("font-size", *o.FontSize);
            if (o.MinFontSize)
                length("min-font-size", *o.MinFontSize);
            if (o.Bold)
                attribute("bold", *o.Bold ? QStringLiteral("true") : QStringLiteral("false"));
            if (o.Italic)
                attribute("italic", *o.Italic ? QStringLiteral("true") : QStringLiteral("false"));
            if (o.Align != TfrAlign::Left)
                attribute("align", o.Align == TfrAlign::Center ? QStringLiteral("center")
                                                               : QStringLiteral("right"));
            if (!o.WordWrap)
                attribute("wrap", QStringLiteral("false"));
            if (o.Stretch)
                attribute("overflow", QStringLiteral("stretch"));
            if (o.Frame == fsAll) {
                attribute("frame", QStringLiteral("all"));
            } else if (o.Frame != fsNone) {
                QStringList sides;
                for (int i = 0; i < 4; ++i) {
                    if (o.Frame & (1 << i))
                        sides << QLatin1String(kSides[i]);
                }
                attribute("frame", sides.join(QLatin1Char(' ')));
            }
        }
        length("line-width", o.LineWidth, d.LineWidth);
        if (o.Fill.isValid())
            attribute("fill", o.Fill.name().toUpper());
        if (isText) {
            text("format", o.Format);
            m_out += QLatin1Char('>') + content(o.Memo) + QStringLiteral("</text>\n");
            m_open.pop_back();
            m_tagOpen = false;
            return;
        }
        close();
    }

    QString m_out;
    std::vector<std::pair<QString, bool>> m_open; // element, has child elements
    bool m_tagOpen = false;
};

} // namespace

TfrFormat TfrFormat::parse(const QString &text)
{
    TfrFormat f;
    if (text.isEmpty())
        return f;
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const QString kind = text.left(colon);
    const QString rest = colon < 0 ? QString() : text.mid(colon + 1);
    bool ok = false;
    if (kind == QLatin1String("number")) {
        f.m_kind = Number;
        f.m_decimals = rest.toInt(&ok);
        if (!ok || f.m_decimals < 0 || f.m_decimals > 10 || rest != QString::number(f.m_decimals))
            throw EfrError(QStringLiteral("il formato «%1» non vale: number:N, con N decimali da "
                                          "0 a 10.")
                               .arg(text));
    } else if (kind == QLatin1String("date") && !rest.trimmed().isEmpty()) {
        f.m_kind = Date;
        f.m_pattern = rest;
        f.m_dates = std::make_shared<QHash<qint64, QString>>();
    } else {
        throw EfrError(QStringLiteral("il formato «%1» non vale: number:N oppure date:schema "
                                      "(per esempio date:dd/MM/yyyy).")
                           .arg(text));
    }
    return f;
}

QString TfrFormat::apply(const QVariant &value) const
{
    const TfrValueKind kind = frValueKind(value);
    if (m_kind == Number) {
        QVariant n = value;
        if (kind == vkText && !frParseNumber(value.toString(), &n))
            return frDisplayText(value);
        if (kind == vkInteger || kind == vkFloat || kind == vkText) {
            QString s = QString::number(frToFloat(n), 'f', m_decimals);
            if (s.startsWith(QLatin1Char('-')) &&
                s.count(QLatin1Char('0')) == s.size() - 1 - (m_decimals > 0))
                s.remove(0, 1); // no "-0,00"
            return s.replace(QLatin1Char('.'), QLatin1Char(','));
        }
    } else if (m_kind == Date && (kind == vkDate || kind == vkText)) {
        try {
            static const QLocale italian(QLocale::Italian, QLocale::Italy);
            const QDate date = frToDate(value);
            const auto known = m_dates->constFind(date.toJulianDay());
            if (known != m_dates->constEnd())
                return *known;
            if (m_dates->size() > 4096)
                m_dates->clear();
            return *m_dates->insert(date.toJulianDay(), italian.toString(date, m_pattern));
        } catch (const EfrConversionError &) {
            // a text that is no date prints as it is
        }
    }
    return frDisplayText(value);
}

EfrTemplateError::EfrTemplateError(qint64 line, qint64 column, const QString &what)
    : EVxException(QStringLiteral("Modello di report non valido (riga %1, colonna %2): %3")
                       .arg(line)
                       .arg(column)
                       .arg(what)),
      m_line(line), m_column(column), m_what(what)
{
}

const TfrBand *TfrBand::child(TfrBandKind kind) const
{
    for (const TfrBand &b : Bands) {
        if (b.Kind == kind)
            return &b;
    }
    return nullptr;
}

QString TfrBand::displayName() const
{
    return Name.isEmpty() ? frBandElement(Kind) : Name;
}

QSizeF TfrTemplate::pageSize() const
{
    const QSizeF portrait = Paper == TfrPaper::A3 ? QSizeF(297, 420) : QSizeF(210, 297);
    return Orientation == TfrOrientation::Landscape ? portrait.transposed() : portrait;
}

const TfrBand *TfrTemplate::band(TfrBandKind kind) const
{
    for (const TfrBand &b : Bands) {
        if (b.Kind == kind)
            return &b;
    }
    return nullptr;
}

QString frBandElement(TfrBandKind kind)
{
    return QString::fromLatin1(bandSpec(kind).element);
}

TfrTemplate frReadTemplate(const QByteArray &xml)
{
    // Told where it stands, as the reader tells its own refusals.
    if (const auto tag = VxFindOversizedStartTag(xml))
        throw EfrTemplateError(tag->line, tag->column,
                               QStringLiteral("il modello ha %1.").arg(tag->what));
    VxCheckXmlLimits(xml, QStringLiteral("del modello del report"));
    // A template saved in UTF-16 (or UTF-32) is this program's in another encoding: said as such,
    // not taken for another program's.
    if (const auto encoding = QStringConverter::encodingForData(xml, u'<');
        encoding && *encoding != QStringConverter::Utf8)
        throw EfrTemplateError(
            1, 1,
            QStringLiteral("il modello è scritto nella codifica %1, non in "
                           "UTF-8: salvarlo in UTF-8.")
                .arg(QString::fromLatin1(QStringConverter::nameForEncoding(*encoding))));
    // A body of another report program is not XML at all: say so rather than what the XML
    // parser makes of its first byte.
    qsizetype first = xml.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (first < xml.size() && QChar::isSpace(uchar(xml[first])))
        ++first;
    if (first >= xml.size() || xml[first] != '<')
        throw EfrTemplateError(1, 1,
                               QStringLiteral("il contenuto non è un modello XML di questo "
                                              "programma (forse è un modello di un altro "
                                              "programma di stampa)."));
    const qsizetype bad = invalidUtf8(xml);
    if (bad >= 0) {
        const QByteArray before = xml.left(bad);
        const qsizetype lineStart = before.lastIndexOf('\n') + 1;
        throw EfrTemplateError(before.count('\n') + 1,
                               QString::fromUtf8(before.mid(lineStart)).size() + 1,
                               QStringLiteral("il modello non è scritto in UTF-8."));
    }
    return Reader(QString::fromUtf8(xml)).read();
}

QByteArray frWriteTemplate(const TfrTemplate &report)
{
    return Writer().write(report);
}
