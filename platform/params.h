#pragma once

// Typed parameters: each one is a key of an INI file, read and written at once.
//
//   TVxParString xpsDirWeb("ParGen.ini", "Send-Qed", "Web", QString());
//   xpsDirWeb.GetValore()        // the stored value, the Default when the key is absent
//   xpsDirWeb.SetValore(text)    // writes the key now; throws EVxException when it cannot
//   xpsDirWeb.Scrivi()           // writes the current value (the default when absent)
//   setINIFile(ini)              // binds the parameter to an INI component (file and ScriviSempre)
//   setCached(true)              // for a value read on every paint (below)
//
// TVxParString, TVxParInteger (a text that is not a number reads as the default), TVxParBool
// ("1"/"0") and TVxParFont (a font with its colour: Qt's font description text, ";" and the
// colour in the suite's form). CFGFile is a bare name in the main ETC folder or a full path
// (see TVxINIFile).
//
// A cached parameter reads its file once and keeps the value until the framework writes any
// INI file (or the parameter's file, section, key or default change). A file rewritten by
// another program is seen at the next write through the framework: cache only values that a
// window reads while it paints, never those another program hands over.
//
// Colours as the suite's INI files hold them: ColorToString gives the colour's name when it
// has one ("clYellow"), else "$00BBGGRR" (blue, green, red bytes); StringToColor also reads
// the system colour names ("clWindowText", as the current palette shows them) and decimal
// numbers, and gives the caller's fallback for a text it cannot read.

#include "platform/inifile.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

QString ColorToString(const QColor &color);
QColor StringToColor(const QString &text, const QColor &fallback);

// A font with its colour, as the grids draw their text.
struct TVxFont
{
    QFont font;
    QColor color = Qt::black;

    bool operator==(const TVxFont &other) const
    {
        return font == other.font && color == other.color;
    }
};

template <typename T> class TVxPar
{
public:
    TVxPar() = default;
    TVxPar(const QString &cfgFile, const QString &section, const QString &ident,
           const T &defaultValue = T())
        : m_ini(cfgFile), m_section(section), m_ident(ident), m_default(defaultValue)
    {
    }

    QString CFGFile() const { return m_ini.FileName(); }
    void setCFGFile(const QString &fileName)
    {
        m_ini.setFileName(fileName);
        m_cached.reset();
    }
    void setINIFile(const TVxINIFile &ini)
    {
        m_ini = ini;
        m_cached.reset();
    }
    const TVxINIFile &INIFile() const { return m_ini; }

    QString Section() const { return m_section; }
    void setSection(const QString &section)
    {
        m_section = section;
        m_cached.reset();
    }
    QString Ident() const { return m_ident; }
    void setIdent(const QString &ident)
    {
        m_ident = ident;
        m_cached.reset();
    }
    T Default() const { return m_default; }
    void setDefault(const T &value)
    {
        m_default = value;
        m_cached.reset();
    }
    bool Cached() const { return m_cache; }
    void setCached(bool on)
    {
        m_cache = on;
        m_cached.reset();
    }

    T GetValore() const
    {
        if (!m_cache)
            return read();
        if (!m_cached || m_generation != iniWriteGeneration()) {
            m_generation = iniWriteGeneration();
            m_cached = read();
        }
        return *m_cached;
    }
    void SetValore(const T &value);
    void Scrivi() { SetValore(GetValore()); }

private:
    T read() const;

    TVxINIFile m_ini;
    QString m_section;
    QString m_ident;
    T m_default{};
    bool m_cache = false;
    mutable std::optional<T> m_cached;
    mutable quint64 m_generation = 0;
};

using TVxParString = TVxPar<QString>;
using TVxParInteger = TVxPar<int>;
using TVxParBool = TVxPar<bool>;
using TVxParFont = TVxPar<TVxFont>;

template <> QString TVxPar<QString>::read() const;
template <> void TVxPar<QString>::SetValore(const QString &value);
template <> int TVxPar<int>::read() const;
template <> void TVxPar<int>::SetValore(const int &value);
template <> bool TVxPar<bool>::read() const;
template <> void TVxPar<bool>::SetValore(const bool &value);
template <> TVxFont TVxPar<TVxFont>::read() const;
template <> void TVxPar<TVxFont>::SetValore(const TVxFont &value);
