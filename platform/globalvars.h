#pragma once

// The global values kept between runs, and the working context typed over them.
//
//   TVxWorkingContext::schoolYear()        // iAnsId of the working year; 0 when not chosen
//   TVxWorkingContext::setSession(392)     // stored at once
//   xgvmGlobalVar.GetValues(name)          // any other value: a text, invalid when unset
//   xgvmGlobalVar.SetValues(name, value)   // stored now; an invalid QVariant removes it
//   xgvmGlobalVar.SetValues({{a, 1}, {b, QVariant()}})   // several at once: all or none
//
// The values live in ETC/VxGlobVar.ini, section [GlobalVar], under the suite's own names, so
// that its other programs find the working context the office chose here. Names match
// case-insensitively. Every read goes to the file (no cache of our own), so two programs of the
// suite, or two windows, never disagree about the working context.

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

class TVxGlobalVar
{
public:
    QVariant GetValues(const QString &name) const;
    // Dates are stored as ISO text, numbers in decimal, anything else as its text. Throws
    // EVxException when the file cannot be written.
    void SetValues(const QString &name, const QVariant &value);
    // Stores every value in one replacement of the file: when it cannot be written, none of
    // them is, and EVxException says why.
    void SetValues(const QList<QPair<QString, QVariant>> &values);

    static QString fileName();
    static QString section();
};

extern TVxGlobalVar xgvmGlobalVar;

QVariant GetVxuParamValue(const QString &name);

// The working context the office chose: institute, school year, working session and the date
// printed on reports. Typed, so that a misspelt name cannot silently mean "not chosen". An id
// that is unset, blank or not a number reads as 0 (not chosen), so a damaged file never raises
// here; a negative number reads as itself. The school year is a key (38 is 2007/2008), never a
// calendar year.
class TVxWorkingContext
{
public:
    static int institute();  // iDwgId
    static int schoolYear(); // iAnsId
    static int session();    // iAnsSesDwgId; 0 (also stored as "0") means none
    static QDate reportDate();

    static void setInstitute(int iDwgId);
    static void setSchoolYear(int iAnsId);
    static void setSession(int iAnsSesDwgId);
    static void setReportDate(const QDate &date);

    // The names the suite stores them under, for the parameter dialog's definitions.
    static QString instituteKey() { return QStringLiteral("VXUP_DwgId"); }
    static QString schoolYearKey() { return QStringLiteral("VXUP_AnsId"); }
    static QString sessionKey() { return QStringLiteral("QELP_AnsSesDwgId"); }
    static QString reportDateKey() { return QStringLiteral("QELP_ReportDate"); }
    static QString reportDateFormatKey() { return QStringLiteral("QELP_ReportDateFormat"); }

    // A stored id as the context reads it: 0 when invalid, blank or not a number.
    static int idOf(const QVariant &value);
};

// This suite keeps one data owner per institute, so an institute's data is under its own key.
inline int AggregateiDwgId(int iDwgId)
{
    return iDwgId;
}
