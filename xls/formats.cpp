#include "xls/formats.h"

#include "xls/xlsmessages.h"
#include "xls/xlsstrings.h"

namespace xls {

QString TFontRecord::fontName() const
{
    RecordCursor cur(this, 14);
    return TExcelString::CreateFromRecord(1, cur).Value();
}

QString TFormatRecord::formatString() const
{
    RecordCursor cur(this, 2);
    return TExcelString::CreateFromRecord(2, cur).Value();
}

quint32 defaultPaletteColor(int index)
{
    static const quint32 colors[56] = {
        0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00,
        0x000080, 0x008000, 0x800000, 0x008080, 0x800080, 0x808000, 0xC0C0C0, 0x808080,
        0xFF9999, 0x663399, 0xCCFFFF, 0xFFFFCC, 0x660066, 0x8080FF, 0xCC6600, 0xFFCCCC,
        0x800000, 0xFF00FF, 0x00FFFF, 0xFFFF00, 0x800080, 0x000080, 0x808000, 0xFF0000,
        0xFFCC00, 0xFFFFCC, 0xCCFFCC, 0x99FFFF, 0xFFCC99, 0xCC99FF, 0xFF99CC, 0x99CCFF,
        0xFF6633, 0xCCCC33, 0x00CC99, 0x00CCFF, 0x0099FF, 0x0066FF, 0x996666, 0x969696,
        0x663300, 0x669933, 0x003300, 0x003333, 0x003399, 0x663399, 0x993333, 0x333333,
    };
    return (index >= 0 && index < 56) ? colors[index] : 0;
}

std::unique_ptr<TPaletteRecord> TPaletteRecord::CreateDefault()
{
    auto p = std::make_unique<TPaletteRecord>(RID_PALETTE, QByteArray(226, '\0'));
    p->setWord(0, 56);
    for (int i = 0; i < 56; ++i)
        p->setDWord(2 + 4 * i, defaultPaletteColor(i));
    return p;
}

QString builtInFormat(int index)
{
    switch (index) {
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 12:
        return QStringLiteral("?/?");
    case 13:
        return QStringLiteral("# ?\?/?\?"); // "# ??/??"
    case 14:
        return QStringLiteral("DD.MM.YY");
    case 15:
        return QStringLiteral("DD. MMM YY");
    case 16:
        return QStringLiteral("DD. MMM");
    case 17:
        return QStringLiteral("MMM YY");
    case 18:
        return QStringLiteral("h:mm AM/PM");
    case 19:
        return QStringLiteral("h:mm:ss AM/PM");
    case 20:
        return QStringLiteral("hh:mm");
    case 21:
        return QStringLiteral("hh:mm:ss");
    case 22:
        return QStringLiteral("DD.MM.YYYY hh:mm");
    case 37:
        return QStringLiteral("\"#,##0 _$;-#,##0 _$\"");
    case 38:
        return QStringLiteral("\"#,##0 _$;[Red]-#,##0 _$\"");
    case 39:
        return QStringLiteral("\"#,##0.00 _$;-#,##0.00 _$\"");
    case 40:
        return QStringLiteral("\"#,##0.00 _$;[Red]-#,##0.00 _$\"");
    case 45:
        return QStringLiteral("\"mm:ss\"");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mm:ss,0");
    case 48:
        return QStringLiteral("\"##0.0E+0\"");
    case 49:
        return QStringLiteral("@");
    default:
        return QString();
    }
}

int TSheetNameList::find(const QString &name, bool &found) const
{
    auto less = [](const QString &a, const QString &b) {
        if (a.size() != b.size())
            return a.size() < b.size();
        return QStringView(a).compare(QStringView(b)) < 0;
    };
    auto it = std::lower_bound(m_items.begin(), m_items.end(), name,
                               [&](const Entry &e, const QString &n) { return less(e.name, n); });
    found = it != m_items.end() && it->name == name;
    return int(it - m_items.begin());
}

void TSheetNameList::Add(const QString &name)
{
    bool found = false;
    const int i = find(name, found);
    if (found)
        raiseXls(SheetNameExists, {name});
    m_items.insert(m_items.begin() + i, Entry{name, 0});
}

QString TSheetNameList::AddUnique(const QString &name)
{
    bool found = false;
    int i = find(name, found);
    if (!found) {
        m_items.insert(m_items.begin() + i, Entry{name, 0});
        return name;
    }
    int suffix = m_items[size_t(i)].suffix + 1;
    QString candidate = name + QString::number(suffix);
    while (contains(candidate))
        candidate = name + QString::number(++suffix);
    m_items[size_t(i)].suffix = suffix;
    i = find(candidate, found);
    m_items.insert(m_items.begin() + i, Entry{candidate, 0});
    return candidate;
}

void TSheetNameList::Remove(const QString &name)
{
    bool found = false;
    const int i = find(name, found);
    if (found)
        m_items.erase(m_items.begin() + i);
}

bool TSheetNameList::contains(const QString &name) const
{
    bool found = false;
    find(name, found);
    return found;
}

} // namespace xls
