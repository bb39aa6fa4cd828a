#pragma once

// Typed parameters: each one is a key of an INI file, read and written at once (no cache).
//
//   TVxParString xpsDirWeb("ParGen.ini", "Send-Qed", "Web", QString());
//   xpsDirWeb.GetValore()        // the stored value, the Default when the key is absent
//   xpsDirWeb.SetValore(text)    // writes the key now; throws EVxException when it cannot
//   xpsDirWeb.Scrivi()           // writes the current value (the default when absent)
//   setINIFile(ini)              // binds the parameter to an INI component (file and ScriviSempre)
//
// TVxParString, TVxParInteger (a text that is not a number reads as the default), TVxParBool
// ("1"/"0") and TVxParFont (Qt's font description text). CFGFile is a bare name in the main
// ETC folder or a full path (see TVxINIFile).

#include "platform/inifile.h"

#include <QFont>
#include <QString>

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
    void setCFGFile(const QString &fileName) { m_ini.setFileName(fileName); }
    void setINIFile(const TVxINIFile &ini) { m_ini = ini; }
    const TVxINIFile &INIFile() const { return m_ini; }

    QString Section() const { return m_section; }
    void setSection(const QString &section) { m_section = section; }
    QString Ident() const { return m_ident; }
    void setIdent(const QString &ident) { m_ident = ident; }
    T Default() const { return m_default; }
    void setDefault(const T &value) { m_default = value; }

    T GetValore() const;
    void SetValore(const T &value);
    void Scrivi() { SetValore(GetValore()); }

private:
    TVxINIFile m_ini;
    QString m_section;
    QString m_ident;
    T m_default{};
};

using TVxParString = TVxPar<QString>;
using TVxParInteger = TVxPar<int>;
using TVxParBool = TVxPar<bool>;
using TVxParFont = TVxPar<QFont>;

template <> QString TVxPar<QString>::GetValore() const;
template <> void TVxPar<QString>::SetValore(const QString &value);
template <> int TVxPar<int>::GetValore() const;
template <> void TVxPar<int>::SetValore(const int &value);
template <> bool TVxPar<bool>::GetValore() const;
template <> void TVxPar<bool>::SetValore(const bool &value);
template <> QFont TVxPar<QFont>::GetValore() const;
template <> void TVxPar<QFont>::SetValore(const QFont &value);
