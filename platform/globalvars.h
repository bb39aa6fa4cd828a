#pragma once

// The working context and the other global values, kept between runs.
//
//   xgvmGlobalVar.GetValues("VXUP_AnsId")      // QVariant (a text); invalid when unset or empty
//   xgvmGlobalVar.SetValues("VXUP_AnsId", 38)  // stored now; an invalid QVariant removes it
//   GetVxuParamValue("VXUP_DwgId")             // the same store, as the parameter manager gives it
//   AggregateiDwgId(iDwgId)                    // the data owner that holds an institute's data
//
// Names used: "VXUP_DwgId" (institute), "VXUP_AnsId" (school-year key), "QELP_AnsSesDwgId"
// (working session, "0" meaning none), "QELP_ReportDate" (ISO date text: QVariant::toDate reads
// it), "QELP_ReportDateFormat", and any other name a caller stores. Names match
// case-insensitively.
//
// The values live in ETC/VxGlobVar.ini, section [GlobalVar]: the office sets its working year once
// and every later run finds it. Every read goes to the file (no cache), so two programs of
// the suite, or two windows, never disagree about the working context.

#include <QString>
#include <QVariant>

class TVxGlobalVar
{
public:
    QVariant GetValues(const QString &name) const;
    // Dates are stored as ISO text, numbers in decimal, anything else as its text.
    void SetValues(const QString &name, const QVariant &value);

    static QString fileName();
    static QString section();
};

extern TVxGlobalVar xgvmGlobalVar;

QVariant GetVxuParamValue(const QString &name);

// This suite keeps one data owner per institute, so an institute's data is under its own key.
inline int AggregateiDwgId(int iDwgId)
{
    return iDwgId;
}
