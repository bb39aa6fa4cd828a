#include "platform/params.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace {

// A Windows colour value: 00BBGGRR, or 800000nn for system colour nn.
quint32 colorValue(const QColor &color)
{
    return quint32(color.blue()) << 16 | quint32(color.green()) << 8 | quint32(color.red());
}

QColor fromValue(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

struct NamedColor
{
    const char *name;
    quint32 value;
};

// The names the suite writes, in the order it looks them up (the first match names a value).
constexpr std::array<NamedColor, 22> NamedColors{{
    {"clBlack", 0x000000},  {"clMaroon", 0x000080},     {"clGreen", 0x008000},
    {"clOlive", 0x008080},  {"clNavy", 0x800000},       {"clPurple", 0x800080},
    {"clTeal", 0x808000},   {"clGray", 0x808080},       {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},    {"clLime", 0x00FF00},       {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF},    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},  {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},  {"clMedGray", 0xA4A0A0},    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080},
}};

struct SystemColor
{
    const char *name;
    QPalette::ColorRole role;
    QPalette::ColorGroup group = QPalette::Active;
};

// System colours by their index (the low byte of 800000nn), shown as the palette shows them.
constexpr std::array<SystemColor, 25> SystemColors{{
    {"clScrollBar", QPalette::Button},
    {"clBackground", QPalette::Window},
    {"clActiveCaption", QPalette::Highlight},
    {"clInactiveCaption", QPalette::Mid},
    {"clMenu", QPalette::Window},
    {"clWindow", QPalette::Base},
    {"clWindowFrame", QPalette::Shadow},
    {"clMenuText", QPalette::WindowText},
    {"clWindowText", QPalette::Text},
    {"clCaptionText", QPalette::HighlightedText},
    {"clActiveBorder", QPalette::Button},
    {"clInactiveBorder", QPalette::Button},
    {"clAppWorkSpace", QPalette::Mid},
    {"clHighlight", QPalette::Highlight},
    {"clHighlightText", QPalette::HighlightedText},
    {"clBtnFace", QPalette::Button},
    {"clBtnShadow", QPalette::Dark},
    {"clGrayText", QPalette::Text, QPalette::Disabled},
    {"clBtnText", QPalette::ButtonText},
    {"clInactiveCaptionText", QPalette::Text},
    {"clBtnHighlight", QPalette::Light},
    {"cl3DDkShadow", QPalette::Shadow},
    {"cl3DLight", QPalette::Midlight},
    {"clInfoText", QPalette::ToolTipText},
    {"clInfoBk", QPalette::ToolTipBase},
}};

QColor systemColor(const SystemColor &color)
{
    return QGuiApplication::palette().color(color.group, color.role);
}

} // namespace

QString ColorToString(const QColor &color)
{
    const quint32 value = colorValue(color);
    for (const NamedColor &named : NamedColors) {
        if (named.value == value)
            return QLatin1String(named.name);
    }
    return QStringLiteral("$%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

QColor StringToColor(const QString &text, const QColor &fallback)
{
    const QString t = text.trimmed();
    for (const NamedColor &named : NamedColors) {
        if (t.compare(QLatin1String(named.name), Qt::CaseInsensitive) == 0)
            return fromValue(named.value);
    }
    for (const SystemColor &system : SystemColors) {
        if (t.compare(QLatin1String(system.name), Qt::CaseInsensitive) == 0)
            return systemColor(system);
    }
    bool ok = false;
    qint64 number = 0;
    if (t.startsWith(QLatin1Char('$')))
        number = t.mid(1).toLongLong(&ok, 16);
    else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        number = t.mid(2).toLongLong(&ok, 16);
    else
        number = t.toLongLong(&ok, 10);
    if (!ok || number < 0 || number > 0xFFFFFFFFLL)
        return fallback;
    const auto value = quint32(number);
    switch (value >> 24) {
    case 0x00: // a plain colour
    case 0x01: // a palette entry, the value keeps its colour
    case 0x02:
        return fromValue(value & 0xFFFFFF);
    case 0x80:
        if ((value & 0xFFFFFF) < SystemColors.size())
            return systemColor(SystemColors[value & 0xFF]);
        return fallback;
    default: // "no colour", "default colour" and the unknown: the caller's choice
        return fallback;
    }
}

template <> QString TVxPar<QString>::read() const
{
    return m_ini.ReadString(m_section, m_ident, m_default);
}

template <> void TVxPar<QString>::SetValore(const QString &value)
{
    m_ini.WriteString(m_section, m_ident, value);
}

template <> int TVxPar<int>::read() const
{
    return m_ini.ReadInteger(m_section, m_ident, m_default);
}

template <> void TVxPar<int>::SetValore(const int &value)
{
    m_ini.WriteInteger(m_section, m_ident, value);
}

template <> bool TVxPar<bool>::read() const
{
    return m_ini.ReadBool(m_section, m_ident, m_default);
}

template <> void TVxPar<bool>::SetValore(const bool &value)
{
    m_ini.WriteBool(m_section, m_ident, value);
}

// "<font description>;<colour>": the colour after the last ";", which no colour text holds.
// A text without one (written before the colour was kept) keeps the default colour.
template <> TVxFont TVxPar<TVxFont>::read() const
{
    const QString text = m_ini.ReadString(m_section, m_ident, QString());
    const qsizetype split = text.lastIndexOf(QLatin1Char(';'));
    TVxFont value;
    if (text.isEmpty() || !value.font.fromString(split < 0 ? text : text.left(split)))
        return m_default;
    value.color = split < 0 ? m_default.color : StringToColor(text.mid(split + 1), m_default.color);
    return value;
}

template <> void TVxPar<TVxFont>::SetValore(const TVxFont &value)
{
    m_ini.WriteString(m_section, m_ident,
                      value.font.toString() + QLatin1Char(';') + ColorToString(value.color));
}
