// Writing the XML form of a packet: the published client-dataset layout.
//   <DATAPACKET Version="2.0">
//     <METADATA><FIELDS><FIELD attrname="iClsId" fieldtype="i4"/>...</FIELDS><PARAMS/></METADATA>
//     <ROWDATA><ROW iClsId="5" sClsDesc="5A"/>...</ROWDATA>
//   </DATAPACKET>
// A null is an absent attribute. A column whose name is no XML name (or is "RowState", the
// layout's own attribute) is written under an attribute name of its own, with its real name
// in "fieldname".
#include "platform/datapacket.h"

#include <limits>

namespace {

const QString kRowState = QStringLiteral("RowState");

bool isXmlName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const bool start = c.isLetter() || c == QLatin1Char('_');
        const bool inner = start || c.isDigit() || c == QLatin1Char('.') || c == QLatin1Char('-');
        if (!(i == 0 ? start : inner))
            return false;
    }
    return !name.startsWith(QLatin1String("xml"), Qt::CaseInsensitive);
}

// One attribute name per column: the column's own name where XML allows it.
QStringList attributeNames(const QList<TFieldDef> &defs)
{
    QStringList names;
    const auto taken = [&](const QString &candidate) {
        if (candidate.compare(kRowState, Qt::CaseInsensitive) == 0)
            return true;
        for (const QString &n : std::as_const(names))
            if (n.compare(candidate, Qt::CaseInsensitive) == 0)
                return true;
        for (const TFieldDef &d : defs)
            if (d.Name.compare(candidate, Qt::CaseInsensitive) == 0 && isXmlName(d.Name))
                return true;
        return false;
    };
    for (const TFieldDef &def : defs) {
        if (isXmlName(def.Name) && def.Name.compare(kRowState, Qt::CaseInsensitive) != 0) {
            names << def.Name;
            continue;
        }
        QString base;
        for (const QChar c : def.Name)
            base += (c.isLetterOrNumber() && c.unicode() < 0x80) ? c : QLatin1Char('_');
        base.prepend(QLatin1Char('_'));
        QString candidate = base;
        for (int n = 1; taken(candidate); ++n)
            candidate = base + QLatin1Char('_') + QString::number(n);
        names << candidate;
    }
    return names;
}

// Escaped for a double-quoted attribute. Line breaks and tabs become character references,
// since a parser turns raw ones into blanks; the other control characters have no form in
// XML 1.0 and are written as blanks.
void appendEscaped(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const char *p = utf8.constData();
    const qsizetype n = utf8.size();
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        const char *escape = nullptr;
        switch (b) {
        case '&':
            escape = "&amp;";
            break;
        case '<':
            escape = "&lt;";
            break;
        case '>':
            escape = "&gt;";
            break;
        case '"':
            escape = "&quot;";
            break;
        case '\'':
            escape = "&apos;";
            break;
        case '\t':
            escape = "&#9;";
            break;
        case '\n':
            escape = "&#10;";
            break;
        case '\r':
            escape = "&#13;";
            break;
        default:
            if (b < 0x20) {
                escape = " ";
            } else if (b == 0xEF && i + 2 < n && static_cast<unsigned char>(p[i + 1]) == 0xBF &&
                       (static_cast<unsigned char>(p[i + 2]) & 0xFE) == 0xBE) {
                // U+FFFE and U+FFFF, not characters of XML either.
                out.append(p + run, i - run);
                out.append(' ');
                i += 2;
                run = i + 1;
                continue;
            } else {
                continue;
            }
        }
        out.append(p + run, i - run);
        out.append(escape);
        run = i + 1;
    }
    out.append(p + run, n - run);
}

void appendAttribute(QByteArray &out, const QString &name, const QByteArray &value)
{
    out += ' ';
    out += name.toUtf8();
    out += "=\"";
    out += value;
    out += '"';
}

const char *layoutFieldType(TFieldType type, bool sixtyFourBits)
{
    switch (type) {
    case ftInteger:
        return sixtyFourBits ? "i8" : "i4";
    case ftString:
        return "string";
    case ftMemo:
    case ftBlob:
        return "bin.hex"; // told apart by SUBTYPE
    case ftDate:
        return "date";
    case ftDateTime:
        return "dateTime";
    case ftFloat:
        return "r8";
    case ftBoolean:
        return "boolean";
    }
    return "";
}

bool needsSixtyFourBits(const TClientDataSet &ds, int column)
{
    if (ds.FieldDefs().at(column).DataType != ftInteger)
        return false;
    if (ds.FieldDefs().at(column).Size == 8)
        return true;
    for (int r = 0; r < ds.StoredRecordCount(); ++r) {
        const QVariant &v = ds.StoredRecord(r).at(column);
        if (!v.isNull() && (v.toLongLong() > std::numeric_limits<qint32>::max() ||
                            v.toLongLong() < std::numeric_limits<qint32>::min()))
            return true;
    }
    return false;
}

void appendDigits(QByteArray &out, int value, int width)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0 || n < width);
    while (n > 0)
        out += digits[--n];
}

void appendDate(QByteArray &out, QDate date)
{
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    appendDigits(out, y, 4);
    appendDigits(out, m, 2);
    appendDigits(out, d, 2);
}

void appendValue(QByteArray &out, TFieldType type, const QVariant &v)
{
    switch (type) {
    case ftInteger:
        out += QByteArray::number(v.toLongLong());
        break;
    case ftString:
    case ftMemo:
        appendEscaped(out, v.toString());
        break;
    case ftDate:
        appendDate(out, v.toDate());
        break;
    case ftDateTime: {
        const QDateTime dt = v.toDateTime();
        const QTime t = dt.time();
        appendDate(out, dt.date());
        out += 'T';
        appendDigits(out, t.hour(), 2);
        out += ':';
        appendDigits(out, t.minute(), 2);
        out += ':';
        appendDigits(out, t.second(), 2);
        appendDigits(out, t.msec(), 3);
        break;
    }
    case ftFloat:
        // The shortest text that reads back to the same double, with "." whatever the locale.
        out += QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest).toLatin1();
        break;
    case ftBlob:
        out += v.toByteArray().toBase64();
        break;
    case ftBoolean:
        out += v.toBool() ? "TRUE" : "FALSE";
        break;
    }
}

} // namespace

QByteArray writeXmlPacket(const TClientDataSet &ds)
{
    const QList<TFieldDef> &defs = ds.FieldDefs();
    const QStringList names = attributeNames(defs);
    QByteArray out;
    out.reserve(256 + qsizetype(ds.StoredRecordCount()) * defs.size() * 16);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    for (int c = 0; c < defs.size(); ++c) {
        const TFieldDef &def = defs.at(c);
        out += "<FIELD";
        QByteArray escaped;
        appendEscaped(escaped, names.at(c));
        appendAttribute(out, QStringLiteral("attrname"), escaped);
        if (names.at(c) != def.Name) {
            escaped.clear();
            appendEscaped(escaped, def.Name);
            appendAttribute(out, QStringLiteral("fieldname"), escaped);
        }
        appendAttribute(out, QStringLiteral("fieldtype"),
                        layoutFieldType(def.DataType, needsSixtyFourBits(ds, c)));
        if (def.DataType == ftString && def.Size > 0)
            appendAttribute(out, QStringLiteral("WIDTH"), QByteArray::number(def.Size));
        if (def.DataType == ftMemo || def.DataType == ftBlob)
            appendAttribute(out, QStringLiteral("SUBTYPE"),
                            def.DataType == ftMemo ? "Text" : "Binary");
        out += "/>";
    }
    out += "</FIELDS><PARAMS/></METADATA><ROWDATA>\n";
    QList<QByteArray> prefixes;
    for (const QString &name : names)
        prefixes << (' ' + name.toUtf8() + "=\"");
    for (int r = 0; r < ds.StoredRecordCount(); ++r) {
        const QList<QVariant> &values = ds.StoredRecord(r);
        out += "<ROW";
        for (int c = 0; c < defs.size(); ++c) {
            if (!values.at(c).isValid())
                continue;
            out += prefixes.at(c);
            appendValue(out, defs.at(c).DataType, values.at(c));
            out += '"';
        }
        out += "/>\n";
    }
    out += "</ROWDATA></DATAPACKET>\n";
    return out;
}
