#include "platform/xmldoc.h"

#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/vxexception.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>

namespace {

EVxException tooLarge(const QString &what)
{
    return EVxException(QStringLiteral("Il documento XML %1 supera il limite di %2.")
                            .arg(what, SizeText(kVxXmlMaxBytes)));
}

// The text as characters, whatever its form: bytes of an 8-bit or UTF-8 text, or UTF-16.
char16_t charAt(QStringView text, qsizetype i)
{
    return text.at(i).unicode();
}

char16_t charAt(QByteArrayView text, qsizetype i)
{
    return uchar(text.at(i));
}

qsizetype find(QStringView text, const char *what, qsizetype from)
{
    return text.indexOf(QLatin1StringView(what), from);
}

qsizetype find(QByteArrayView text, const char *what, qsizetype from)
{
    return text.indexOf(QByteArrayView(what), from);
}

bool startsAt(QStringView text, qsizetype at, const char *what)
{
    return text.sliced(at).startsWith(QLatin1StringView(what));
}

bool startsAt(QByteArrayView text, qsizetype at, const char *what)
{
    return text.sliced(at).startsWith(QByteArrayView(what));
}

template <typename View> TVxXmlTagFault faultAt(View xml, qsizetype at, const QString &what)
{
    TVxXmlTagFault f;
    qsizetype lineStart = 0;
    f.line = 1;
    for (qsizetype i = 0; i < at; ++i) {
        if (charAt(xml, i) == u'\n') {
            ++f.line;
            lineStart = i + 1;
        }
    }
    f.column = at - lineStart + 1;
    f.what = what;
    return f;
}

// A declaration as text: its characters are ASCII whatever the encoding it names.
QString asText(QStringView text)
{
    return text.toString();
}

QString asText(QByteArrayView text)
{
    return QString::fromLatin1(text);
}

// A declared encoding other than UTF-8 or UTF-16 (UTF-7 writes "=" and quotes as other bytes,
// which no count below would see), read from the whole declaration however many blanks it
// holds; a declaration with no end is no document any parser reads.
template <typename View> std::optional<TVxXmlTagFault> refusedEncoding(View xml)
{
    qsizetype at = 0;
    if (startsAt(xml, 0, "\xEF\xBB\xBF"))
        at = 3;
    else if (!xml.isEmpty() && charAt(xml, 0) == 0xFEFF)
        at = 1;
    if (!startsAt(xml, at, "<?xml") || xml.size() <= at + 5 || !QChar::isSpace(charAt(xml, at + 5)))
        return std::nullopt;
    const qsizetype end = find(xml, "?>", at);
    if (end < 0)
        return std::nullopt;
    static const QRegularExpression encoding(
        QStringLiteral("\\sencoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QRegularExpressionMatch declared = encoding.match(asText(xml.sliced(at, end - at)));
    static const QStringList allowed{QStringLiteral("utf-8"), QStringLiteral("utf8"),
                                     QStringLiteral("utf-16"), QStringLiteral("utf-16le"),
                                     QStringLiteral("utf-16be")};
    if (!declared.hasMatch() || allowed.contains(declared.captured(1).toLower()))
        return std::nullopt;
    return faultAt(xml, at + declared.capturedStart(1),
                   QStringLiteral("la codifica «%1», che non è ammessa (solo UTF-8 o UTF-16)")
                       .arg(declared.captured(1)));
}

template <typename View> std::optional<TVxXmlTagFault> oversizedStartTag(View xml)
{
    // Comments, character data, processing instructions and declarations are stepped over
    // whole; what a declaration holds is the parser's to refuse.
    const struct
    {
        const char *open;
        const char *close;
    } skipped[] = {{"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!", ">"}, {"</", ">"}};
    for (qsizetype i = find(xml, "<", 0); i >= 0; i = find(xml, "<", i)) {
        const auto skip = std::find_if(std::begin(skipped), std::end(skipped),
                                       [&](const auto &s) { return startsAt(xml, i, s.open); });
        if (skip != std::end(skipped)) {
            const qsizetype end = find(xml, skip->close, i + qsizetype(strlen(skip->open)));
            if (end < 0)
                return std::nullopt;
            i = end + 1;
            continue;
        }
        // A start tag: every attribute has one "=" outside the quoted values.
        int attributes = 0;
        char16_t quote = 0;
        qsizetype j = i + 1;
        for (; j < xml.size(); ++j) {
            const char16_t c = charAt(xml, j);
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'>' || c == u'<') {
                break;
            } else if (c == u'=' && ++attributes > kVxXmlMaxAttributes) {
                return faultAt(
                    xml, i,
                    QStringLiteral("un elemento con più di %1 attributi").arg(kVxXmlMaxAttributes));
            }
            if (j - i >= kVxXmlMaxTagLength)
                return faultAt(
                    xml, i,
                    QStringLiteral("un elemento di più di %1").arg(SizeText(kVxXmlMaxTagLength)));
        }
        i = j;
    }
    return std::nullopt;
}

// The document's size and start tags, then its depth in one streaming pass; a DTD ends the
// pass, refused or left to the caller's reader.
template <typename Text> void checkText(const Text &xml, const QString &what, bool refuseDtd)
{
    if (xml.size() > kVxXmlMaxBytes)
        throw tooLarge(what);
    if (const auto tag = VxFindOversizedStartTag(xml))
        throw EVxException(QStringLiteral("Il documento XML %1 ha alla riga %2 %3.")
                               .arg(what)
                               .arg(tag->line)
                               .arg(tag->what));
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kVxXmlMaxDepth)
            throw EVxException(QStringLiteral("Il documento XML %1 ha più di %2 livelli di "
                                              "elementi annidati.")
                                   .arg(what)
                                   .arg(kVxXmlMaxDepth));
        if (token == QXmlStreamReader::EndElement)
            --depth;
        if (token == QXmlStreamReader::DTD) {
            if (refuseDtd)
                throw EVxException(QStringLiteral("Il documento XML %1 dichiara un DTD, che non "
                                                  "è ammesso.")
                                       .arg(what));
            return; // read no further: its entities would expand
        }
    }
}

} // namespace

void VxCheckXmlLimits(const QByteArray &xml, const QString &what)
{
    checkText(xml, what, false);
}

void VxCheckXmlLimits(const QString &xml, const QString &what)
{
    checkText(xml, what, false);
}

std::optional<TVxXmlTagFault> VxFindOversizedStartTag(QStringView xml)
{
    return oversizedStartTag(xml);
}

std::optional<TVxXmlTagFault> VxFindOversizedStartTag(QByteArrayView xml)
{
    // Counted in the characters the parser reads. A text marked as UTF-16 or UTF-32 is
    // decoded first; one that declares another form than UTF-8 or UTF-16 is refused before any
    // parser would decode it.
    if (const auto encoding = QStringConverter::encodingForData(xml, u'<');
        encoding && *encoding != QStringConverter::Utf8) {
        QStringDecoder decoder(*encoding);
        const QString text = decoder.decode(xml);
        if (const auto refused = refusedEncoding(QStringView(text)))
            return refused;
        return oversizedStartTag(QStringView(text));
    }
    if (const auto refused = refusedEncoding(xml))
        return refused;
    return oversizedStartTag(xml);
}

void VxXmlDocument::loadText(const QString &text, const QString &what)
{
    checkText(text, what, true);
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    // The reader's own text (English) goes under the details.
    if (!doc.setContent(text, &error, &line, &column))
        throw EVxException(
            QStringLiteral("Documento XML non valido (riga %1, colonna %2).").arg(line).arg(column),
            EVxException::Error, error);
    m_doc = doc;
}

void VxXmlDocument::loadFile(const QString &path)
{
    QFile file;
    if (!VxOpenRegularFile(file, path))
        throw EVxException(
            QStringLiteral("Impossibile leggere il file %1: %2").arg(path, VxFileErrorText(file)));
    if (file.size() > kVxXmlMaxBytes)
        throw tooLarge(path);
    const QByteArray bytes = file.read(kVxXmlMaxBytes + 1);
    checkText(bytes, path, true);
    QDomDocument doc;
    QString error;
    int line = 0;
    int column = 0;
    // From the bytes, so that the declared encoding is honoured.
    if (!doc.setContent(bytes, &error, &line, &column))
        throw EVxException(QStringLiteral("Il file %1 non è un documento XML valido "
                                          "(riga %2, colonna %3).")
                               .arg(path)
                               .arg(line)
                               .arg(column),
                           EVxException::Error, error);
    m_doc = doc;
}

QDomElement VxXmlDocument::element(const QDomNode &parent, const QString &name)
{
    return parent.isNull() ? QDomElement() : parent.firstChildElement(name);
}

std::optional<QString> VxXmlDocument::attribute(const QDomElement &element, const QString &name)
{
    if (element.isNull() || !element.hasAttribute(name))
        return std::nullopt;
    return element.attribute(name);
}

QDomElement VxXmlDocument::createRoot(const QString &name)
{
    m_doc = QDomDocument();
    m_doc.appendChild(m_doc.createProcessingInstruction(
        QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement rootElement = m_doc.createElement(name);
    m_doc.appendChild(rootElement);
    return rootElement;
}

QDomElement VxXmlDocument::addElement(QDomElement &parent, const QString &name, const QString &text)
{
    QDomElement child = m_doc.createElement(name);
    if (!text.isEmpty())
        child.appendChild(m_doc.createTextNode(text));
    parent.appendChild(child);
    return child;
}

void VxXmlDocument::saveToFile(const QString &path) const
{
    VxReplaceFile(path, m_doc.toByteArray(2));
}
