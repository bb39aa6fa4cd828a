#include "platform/params.h"

template <> QString TVxPar<QString>::GetValore() const
{
    return m_ini.ReadString(m_section, m_ident, m_default);
}

template <> void TVxPar<QString>::SetValore(const QString &value)
{
    m_ini.WriteString(m_section, m_ident, value);
}

template <> int TVxPar<int>::GetValore() const
{
    return m_ini.ReadInteger(m_section, m_ident, m_default);
}

template <> void TVxPar<int>::SetValore(const int &value)
{
    m_ini.WriteInteger(m_section, m_ident, value);
}

template <> bool TVxPar<bool>::GetValore() const
{
    return m_ini.ReadBool(m_section, m_ident, m_default);
}

template <> void TVxPar<bool>::SetValore(const bool &value)
{
    m_ini.WriteBool(m_section, m_ident, value);
}

template <> QFont TVxPar<QFont>::GetValore() const
{
    const QString text = m_ini.ReadString(m_section, m_ident, QString());
    QFont font;
    if (text.isEmpty() || !font.fromString(text))
        return m_default;
    return font;
}

template <> void TVxPar<QFont>::SetValore(const QFont &value)
{
    m_ini.WriteString(m_section, m_ident, value.toString());
}
