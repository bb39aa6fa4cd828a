// Reading the XML form of a packet (the layout is shown in datapacketxmlwriter.cpp). Reading
// is tolerant of what other writers of the layout do: names in any letter case, no encoding
// declaration over Windows-1252 bytes, a change log.
#include "platform/datapacket.h"

#include "platform/cp1252.h"
#include "platform/helpers.h"
#include "platform/xmldoc.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <optional>

namespace {

const QString kRowState = QStringLiteral("RowState");

// Row states of a change log, as bits.
enum RowStateBit { rsOriginal = 1, rsDeleted = 2, rsInserted = 4, rsModified = 8, rsDetail = 64 };

// Whether Windows-1252 bytes hold what can only be a UTF-8 character of that code page's
// range (U+00A0 to U+00FF: "è" as "Ã¨") or a UTF-8 quote or dash ("â€™"): no Italian text
// writes those pairs, and a file that holds them beside bytes that are no UTF-8 mixes two
// encodings, which no reading of it can undo.
bool holdsUtf8Pairs(QByteArrayView bytes)
{
    const auto tail = [&](qsizetype i) {
        return i < bytes.size() && (uchar(bytes[i]) & 0xC0) == 0x80;
    };
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        const uchar lead = uchar(bytes[i]), next = uchar(bytes[i + 1]);
        if ((lead == 0xC3 && tail(i + 1)) || (lead == 0xC2 && next >= 0xA0 && tail(i + 1)) ||
            (lead == 0xE2 && next == 0x80 && tail(i + 2)))
            return true;
    }
    return false;
}

// The text of the file: the declared encoding, else UTF-8, else Windows-1252 (a file of a
// Windows program that declares nothing) unless it mixes in UTF-8.
QString decodeXmlText(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                          : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        QString text = utf16.decode(QByteArrayView(bytes).sliced(2));
        if (utf16.hasError())
            refuseDataPacket(fileName, QStringLiteral("il testo UTF-16 non è valido"));
        return text;
    }
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = QByteArrayView(bytes).sliced(bom ? 3 : 0);
    QString encoding;
    if (body.startsWith("<?xml")) {
        const qsizetype end = body.indexOf("?>");
        static const QRegularExpression declared(
            QStringLiteral("encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"));
        const auto match =
            declared.match(QString::fromLatin1(body.first(end < 0 ? 0 : end).toByteArray()));
        if (match.hasMatch())
            encoding = match.captured(1).toLower();
    }
    const auto utf8 = [&](QString *text) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        *text = decoder.decode(body);
        return !decoder.hasError();
    };
    QString text;
    if (encoding.isEmpty()) {
        if (utf8(&text))
            return text;
        if (holdsUtf8Pairs(body))
            refuseDataPacket(fileName, QStringLiteral("non dichiara la codifica e mescola testo "
                                                      "UTF-8 e Windows-1252"));
        return decodeCp1252(body.toByteArray());
    }
    if (encoding == QLatin1String("utf-8") || encoding == QLatin1String("utf8")) {
        if (!utf8(&text))
            refuseDataPacket(fileName, QStringLiteral("dichiara la codifica UTF-8 ma contiene "
                                                      "byte che non lo sono"));
        return text;
    }
    // Latin-1 and ASCII as Windows-1252, as Windows programs mean them.
    static const QStringList kCp1252Names = {
        QStringLiteral("windows-1252"), QStringLiteral("cp1252"), QStringLiteral("iso-8859-1"),
        QStringLiteral("iso8859-1"),    QStringLiteral("latin1"), QStringLiteral("latin-1"),
        QStringLiteral("us-ascii"),     QStringLiteral("ascii")};
    if (kCp1252Names.contains(encoding))
        return decodeCp1252(body.toByteArray());
    refuseDataPacket(fileName, QStringLiteral("la codifica \"%1\" non è gestita").arg(encoding));
}

std::optional<QStringView> attributeOf(const QXmlStreamAttributes &attributes, QStringView name)
{
    for (const QXmlStreamAttribute &a : attributes)
        if (a.name().compare(name, Qt::CaseInsensitive) == 0)
            return a.value();
    return std::nullopt;
}

bool readDigits(QStringView s, qsizetype from, qsizetype count, int *value)
{
    if (from + count > s.size())
        return false;
    int v = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = s.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    *value = v;
    return true;
}

// yyyymmdd as the layout writes it, or yyyy-mm-dd; *end is where the date stops.
QDate parseDate(QStringView s, qsizetype *end)
{
    int y = 0, m = 0, d = 0;
    if (readDigits(s, 0, 4, &y) && readDigits(s, 4, 2, &m) && readDigits(s, 6, 2, &d)) {
        *end = 8;
        return QDate(y, m, d);
    }
    if (readDigits(s, 0, 4, &y) && s.size() >= 10 && s.at(4) == u'-' && s.at(7) == u'-' &&
        readDigits(s, 5, 2, &m) && readDigits(s, 8, 2, &d)) {
        *end = 10;
        return QDate(y, m, d);
    }
    return QDate();
}

// The layout's yyyymmddThh:mm:sszzz (milliseconds right after the seconds); a fraction after
// "." or "," and a date alone are accepted too.
QDateTime parseDateTime(QStringView s)
{
    qsizetype at = 0;
    const QDate date = parseDate(s, &at);
    if (!date.isValid())
        return QDateTime();
    if (at == s.size())
        return date.startOfDay();
    int h = 0, mi = 0, sec = 0;
    if ((s.at(at) != u'T' && s.at(at) != u' ') || !readDigits(s, at + 1, 2, &h) ||
        s.size() < at + 9 || s.at(at + 3) != u':' || !readDigits(s, at + 4, 2, &mi) ||
        s.at(at + 6) != u':' || !readDigits(s, at + 7, 2, &sec))
        return QDateTime();
    at += 9;
    int ms = 0;
    if (at < s.size()) {
        const bool fraction = s.at(at) == u'.' || s.at(at) == u',';
        const QStringView digits = s.mid(at + (fraction ? 1 : 0));
        int all = 0;
        if (digits.isEmpty() || digits.size() > 9 || (!fraction && digits.size() != 3) ||
            !readDigits(digits, 0, digits.size(), &all))
            return QDateTime();
        for (qsizetype i = 0; i < 3; ++i)
            ms = ms * 10 + (i < digits.size() ? digits.at(i).unicode() - u'0' : 0);
    }
    const QTime time(h, mi, sec, ms);
    return time.isValid() ? QDateTime(date, time) : QDateTime();
}

class XmlPacketReader
{
public:
    XmlPacketReader(const QString &text, const QString &fileName)
        : m_xml(text), m_name(fileName), m_textChars(text.size())
    {
    }

    TDataPacket read()
    {
        while (!m_xml.atEnd() && next() != QXmlStreamReader::StartElement) {
        }
        checkSyntax();
        if (m_xml.tokenType() != QXmlStreamReader::StartElement)
            refuse(QStringLiteral("non contiene l'elemento <DATAPACKET>"));
        if (m_xml.name().compare(QLatin1String("DATAPACKET"), Qt::CaseInsensitive) != 0)
            refuse(QStringLiteral("l'elemento principale è <%1> e non <DATAPACKET>")
                       .arg(m_xml.name()));
        while (nextStartElement()) {
            if (isElement("METADATA"))
                readMetadata();
            else if (isElement("ROWDATA"))
                readRows();
            else
                skip(2);
        }
        while (!m_xml.atEnd())
            next();
        checkSyntax();
        if (m_packet.defs.isEmpty())
            refuse(QStringLiteral("non ha colonne"));
        applyChangeLog();
        return std::move(m_packet);
    }

private:
    [[noreturn]] void refuse(const QString &why) const { refuseDataPacket(m_name, why); }

    void checkSyntax() const
    {
        if (m_xml.hasError())
            refuseDataPacket(m_name,
                             QStringLiteral("XML non valido alla riga %1, colonna %2")
                                 .arg(m_xml.lineNumber())
                                 .arg(m_xml.columnNumber()),
                             m_xml.errorString());
    }

    // Every token goes through here. A DTD is refused wherever it stands (the parser takes one
    // inside an element too) before any of its entities could expand: a few hundred KB of them
    // make gigabytes of one value.
    QXmlStreamReader::TokenType next()
    {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::DTD)
            refuse(QStringLiteral("dichiara un DTD, che non è ammesso in un pacchetto"));
        return token;
    }

    // QXmlStreamReader::readNextStartElement through next(): true at the next child element,
    // false at the end of the current one.
    bool nextStartElement()
    {
        while (!m_xml.atEnd()) {
            const QXmlStreamReader::TokenType token = next();
            if (token == QXmlStreamReader::StartElement)
                return true;
            if (token == QXmlStreamReader::EndElement)
                return false;
        }
        return false;
    }

    bool isElement(const char *name) const
    {
        return m_xml.name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    }

    // Skips the current element, whose depth is given, without following a deep nest.
    void skip(int depth)
    {
        int inner = 0;
        while (!m_xml.atEnd()) {
            const auto token = next();
            if (token == QXmlStreamReader::StartElement) {
                if (depth + ++inner > kVxXmlMaxDepth)
                    refuse(QStringLiteral("gli elementi sono annidati oltre %1 livelli")
                               .arg(kVxXmlMaxDepth));
            } else if (token == QXmlStreamReader::EndElement) {
                if (inner-- == 0)
                    return;
            }
        }
        checkSyntax();
    }

    void readMetadata()
    {
        while (nextStartElement()) {
            if (isElement("FIELDS")) {
                if (m_fieldsRead)
                    refuse(QStringLiteral("ha due elenchi di colonne"));
                m_fieldsRead = true;
                while (nextStartElement()) {
                    if (isElement("FIELD"))
                        readField();
                    skip(4);
                }
            } else if (isElement("PARAMS")) {
                if (const auto log = attributeOf(m_xml.attributes(), u"CHANGE_LOG"))
                    m_changeLog = log->toString();
                skip(3);
            } else {
                skip(3);
            }
        }
        checkSyntax();
    }

    void readField()
    {
        const QXmlStreamAttributes attributes = m_xml.attributes();
        const auto attrName = attributeOf(attributes, u"attrname");
        const auto fieldName = attributeOf(attributes, u"fieldname");
        const auto fieldType = attributeOf(attributes, u"fieldtype");
        const int number = int(m_packet.defs.size()) + 1;
        if (!attrName || attrName->trimmed().isEmpty())
            refuse(QStringLiteral("la colonna %1 non ha nome").arg(number));
        TFieldDef def;
        def.Name = (fieldName && !fieldName->trimmed().isEmpty() ? *fieldName : *attrName)
                       .trimmed()
                       .toString();
        if (!fieldType)
            refuse(QStringLiteral("la colonna \"%1\" non ha tipo").arg(def.Name));
        const QString type = fieldType->trimmed().toString().toLower();
        const QString subtype =
            attributeOf(attributes, u"SUBTYPE").value_or(QStringView()).trimmed().toString();
        int width = 0;
        if (const auto w = attributeOf(attributes, u"WIDTH")) {
            bool ok = false;
            width = w->trimmed().toInt(&ok);
            if (!ok || width < 0)
                refuse(QStringLiteral("la colonna \"%1\" ha una larghezza non valida (\"%2\")")
                           .arg(def.Name, *w));
        }
        static const QStringList kIntegers = {QStringLiteral("i1"),  QStringLiteral("i2"),
                                              QStringLiteral("i4"),  QStringLiteral("ui1"),
                                              QStringLiteral("ui2"), QStringLiteral("ui4")};
        if (kIntegers.contains(type)) {
            def.DataType = ftInteger;
        } else if (type == QLatin1String("i8") || type == QLatin1String("ui8")) {
            def.DataType = ftInteger;
            def.Size = 8;
        } else if (type == QLatin1String("r8") || type == QLatin1String("fixed") ||
                   type == QLatin1String("fixedfmt")) {
            def.DataType = ftFloat;
        } else if (type == QLatin1String("string")) {
            def.DataType = ftString;
            def.Size = width;
        } else if (type == QLatin1String("string.uni")) {
            def.DataType = ftString; // its width counts bytes, two a character
            def.Size = (width + 1) / 2;
        } else if (type == QLatin1String("boolean")) {
            def.DataType = ftBoolean;
        } else if (type == QLatin1String("date")) {
            def.DataType = ftDate;
        } else if (type == QLatin1String("datetime") || type == QLatin1String("sqldatetime")) {
            def.DataType = ftDateTime;
        } else if (type == QLatin1String("bin.hex")) {
            def.DataType =
                subtype.compare(QLatin1String("Text"), Qt::CaseInsensitive) == 0 ||
                        subtype.compare(QLatin1String("WideText"), Qt::CaseInsensitive) == 0
                    ? ftMemo
                    : ftBlob;
        } else {
            refuse(QStringLiteral("la colonna \"%1\" ha un tipo non gestito (\"%2\")")
                       .arg(def.Name, *fieldType));
        }
        addPacketColumn(m_packet, def, m_name);
        for (const QString &other : std::as_const(m_attributes))
            if (other.compare(*attrName, Qt::CaseInsensitive) == 0)
                refuse(QStringLiteral("il nome \"%1\" è ripetuto").arg(*attrName));
        m_attributes.append(attrName->trimmed().toString());
    }

    // The column of a row attribute. The layout writes values in column order, so the search
    // starts after the previous one; the letter case of the name does not matter.
    int columnOf(QStringView name, int *next) const
    {
        const int count = int(m_attributes.size());
        for (int c = *next; c < count; ++c)
            if (m_attributes.at(c) == name) {
                *next = c + 1;
                return c;
            }
        for (int c = 0; c < count; ++c)
            if (name.compare(m_attributes.at(c), Qt::CaseInsensitive) == 0)
                return c;
        return -1;
    }

    void readRows()
    {
        if (!m_fieldsRead)
            refuse(QStringLiteral("le righe vengono prima delle colonne"));
        const int columns = int(m_packet.defs.size());
        m_lastDateTimes.resize(size_t(columns));
        while (nextStartElement()) {
            if (!isElement("ROW")) {
                skip(3);
                continue;
            }
            const int number = int(m_packet.rows.size()) + 1;
            QList<QVariant> values(columns);
            QList<bool> present(columns, false);
            int state = 0;
            int next = 0;
            for (const QXmlStreamAttribute &a : m_xml.attributes()) {
                if (a.name().size() == kRowState.size() &&
                    a.name().compare(kRowState, Qt::CaseInsensitive) == 0) {
                    bool ok = false;
                    state = a.value().trimmed().toInt(&ok);
                    if (!ok || state < 0 ||
                        (state & ~(rsOriginal | rsDeleted | rsInserted | rsModified | rsDetail)))
                        refuse(QStringLiteral("la riga %1 ha uno stato non valido (\"%2\")")
                                   .arg(number)
                                   .arg(a.value()));
                    continue;
                }
                const int c = columnOf(a.name(), &next);
                if (c < 0)
                    refuse(QStringLiteral("la riga %1 ha un valore per \"%2\", che non è una "
                                          "colonna del pacchetto")
                               .arg(number)
                               .arg(a.name()));
                if (present[c])
                    refuse(QStringLiteral("la riga %1 ha due valori per \"%2\"")
                               .arg(number)
                               .arg(m_packet.defs.at(c).Name));
                present[c] = true;
                values[c] = parseValue(c, a.value(), number);
                m_valueChars += a.value().size();
            }
            // Without a DTD no value is longer than the text it came from: the whole packet's
            // are held to it all the same, before its rows could fill the memory.
            if (m_valueChars > m_textChars)
                refuse(QStringLiteral("i suoi valori sono più lunghi del testo del file"));
            m_packet.rows.push_back(std::move(values));
            m_present.push_back(std::move(present));
            m_states.append(state & ~rsDetail);
            skip(3);
        }
        checkSyntax();
    }

    QVariant parseValue(int column, QStringView text, int row) const
    {
        const TFieldDef &def = m_packet.defs.at(column);
        const QStringView t = text.trimmed();
        bool ok = true;
        QVariant v;
        switch (def.DataType) {
        case ftString:
        case ftMemo:
            return text.toString();
        case ftBlob: {
            QByteArray base64 = text.toLatin1();
            base64.replace(' ', QByteArray()).replace('\t', QByteArray());
            base64.replace('\r', QByteArray()).replace('\n', QByteArray());
            auto decoded =
                QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            ok = bool(decoded);
            v = decoded.decoded;
            break;
        }
        case ftInteger:
            v = qlonglong(t.toLongLong(&ok));
            break;
        case ftFloat:
            v = t.toDouble(&ok);
            // A decimal comma from a program that wrote its locale's numbers.
            if (!ok && !t.contains(u'.'))
                v = t.toString().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
            break;
        case ftDate: {
            qsizetype end = 0;
            const QDate d = parseDate(t, &end);
            ok = d.isValid() && end == t.size();
            v = d;
            break;
        }
        case ftDateTime: {
            // Building a local date-time asks the system's time zone each time, and a
            // column's stamps mostly repeat.
            LastDateTime &last = m_lastDateTimes[size_t(column)];
            if (!last.value.isNull() && t == last.text)
                return last.value;
            const QDateTime d = parseDateTime(t);
            ok = d.isValid();
            v = d;
            if (ok)
                last = {t.toString(), v};
            break;
        }
        case ftBoolean:
            if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t == u"1")
                v = true;
            else if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || t == u"0")
                v = false;
            else
                ok = false;
            break;
        }
        // Blank is null for the types without an empty value.
        if (t.isEmpty() && def.DataType != ftBlob)
            return QVariant();
        if (!ok)
            refuse(QStringLiteral("alla riga %1 il valore \"%2\" di \"%3\" non è un valore "
                                  "di tipo %4")
                       .arg(row)
                       .arg(text.left(40))
                       .arg(def.Name, fieldTypeName(def.DataType)));
        return v;
    }

    // A packet saved with its change log holds originals, deleted rows and new versions side
    // by side; what the office means is its current rows. A modified row lists the values it
    // changed and takes the rest from its original, and it stands where its original stood.
    // A log that does not fit its rows refuses the packet: reading it any other way would
    // import stale or doubled rows.
    void applyChangeLog()
    {
        const qsizetype count = qsizetype(m_packet.rows.size());
        const bool anyState =
            std::any_of(m_states.cbegin(), m_states.cend(), [](int s) { return s != 0; });
        const QStringList numbers = m_changeLog.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!anyState && numbers.isEmpty())
            return;
        const auto refuseLog = [&](const QString &why) {
            refuse(
                QStringLiteral("il registro delle modifiche non si può applicare (%1)").arg(why));
        };
        if (numbers.size() % 3 != 0)
            refuseLog(QStringLiteral("CHANGE_LOG non è fatto di terne di numeri"));

        std::vector<qsizetype> successor(size_t(count), -1);
        std::vector<qsizetype> predecessor(size_t(count), -1);
        std::vector<bool> logged(size_t(count), false);
        for (qsizetype i = 0; i < numbers.size(); i += 3) {
            bool ok1 = false, ok2 = false, ok3 = false;
            const qlonglong r = numbers.at(i).toLongLong(&ok1);
            const qlonglong o = numbers.at(i + 1).toLongLong(&ok2);
            const int s = numbers.at(i + 2).toInt(&ok3) & ~rsDetail;
            if (!ok1 || !ok2 || !ok3)
                refuseLog(QStringLiteral("CHANGE_LOG contiene \"%1 %2 %3\"")
                              .arg(numbers.at(i), numbers.at(i + 1), numbers.at(i + 2)));
            if (r < 1 || r > count || o < 0 || o > count)
                refuseLog(
                    QStringLiteral("la modifica %1 indica una riga che non esiste").arg(i / 3 + 1));
            const qsizetype row = qsizetype(r - 1);
            if (m_states.at(row) != s)
                refuseLog(
                    QStringLiteral("lo stato della riga %1 non è quello del registro").arg(r));
            logged[size_t(row)] = true;
            if (s & rsModified) {
                const qsizetype original = qsizetype(o - 1);
                if (o == 0 || original >= row || !(m_states.at(original) & rsOriginal))
                    refuseLog(
                        QStringLiteral("la riga modificata %1 non ha la sua originale").arg(r));
                if (successor[size_t(original)] >= 0)
                    refuseLog(QStringLiteral("la riga %1 è modificata due volte").arg(o));
                if (predecessor[size_t(row)] >= 0)
                    refuseLog(
                        QStringLiteral("la riga modificata %1 ha più di un'originale").arg(r));
                successor[size_t(original)] = row;
                predecessor[size_t(row)] = original;
                logged[size_t(original)] = true;
            }
        }
        for (qsizetype row = 0; row < count; ++row) {
            const int s = m_states.at(row);
            if (s != 0 && !logged[size_t(row)])
                refuseLog(
                    QStringLiteral("la riga %1 ha uno stato ma non è nel registro").arg(row + 1));
            if ((s & rsOriginal) && !(s & rsDeleted) && successor[size_t(row)] < 0)
                refuseLog(QStringLiteral("la riga originale %1 non ha la sua versione nuova")
                              .arg(row + 1));
        }

        std::vector<QList<QVariant>> current;
        current.reserve(size_t(count));
        for (qsizetype row = 0; row < count; ++row) {
            if (predecessor[size_t(row)] >= 0)
                continue; // stands where its original stood
            QList<QVariant> values = m_packet.rows[size_t(row)];
            bool deleted = m_states.at(row) & rsDeleted;
            for (qsizetype v = successor[size_t(row)]; v >= 0; v = successor[size_t(v)]) {
                const QList<QVariant> &changed = m_packet.rows[size_t(v)];
                for (int c = 0; c < values.size(); ++c)
                    if (m_present[size_t(v)].at(c))
                        values[c] = changed.at(c);
                deleted = deleted || (m_states.at(v) & rsDeleted);
            }
            if (!deleted)
                current.push_back(std::move(values));
        }
        m_packet.rows = std::move(current);
    }

    struct LastDateTime
    {
        QString text;
        QVariant value;
    };
    mutable std::vector<LastDateTime> m_lastDateTimes; // by column

    QXmlStreamReader m_xml;
    QString m_name;
    qsizetype m_textChars;
    qsizetype m_valueChars = 0;
    TDataPacket m_packet;
    QStringList m_attributes; // attribute name of each column
    bool m_fieldsRead = false;
    QString m_changeLog;
    QList<int> m_states;
    std::vector<QList<bool>> m_present;
};

} // namespace

void refuseXmlPacketSize(const QString &fileName)
{
    refuseDataPacket(
        fileName,
        QStringLiteral("come documento XML supera il limite di %1").arg(SizeText(kVxXmlMaxBytes)));
}

TDataPacket readXmlPacket(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.size() > kVxXmlMaxBytes)
        refuseXmlPacketSize(fileName);
    const QString text = decodeXmlText(bytes, fileName);
    if (const auto tag = VxFindOversizedStartTag(text))
        refuseDataPacket(fileName,
                         QStringLiteral("ha alla riga %1 %2").arg(tag->line).arg(tag->what));
    return XmlPacketReader(text, fileName).read();
}
