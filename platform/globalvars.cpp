#include "platform/globalvars.h"

#include "platform/inifile.h"

#include <QDate>
#include <QDateTime>

TVxGlobalVar xgvmGlobalVar;

namespace {

std::optional<QString> storedText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    default:
        return value.toString();
    }
}

} // namespace

QString TVxGlobalVar::fileName()
{
    return QStringLiteral("VxGlobVar.ini");
}

QString TVxGlobalVar::section()
{
    return QStringLiteral("GlobalVar");
}

QVariant TVxGlobalVar::GetValues(const QString &name) const
{
    const TVxINIFile ini(fileName());
    const QString text = ini.ReadString(section(), name, QString());
    if (text.isEmpty())
        return QVariant();
    return QVariant(text);
}

void TVxGlobalVar::SetValues(const QString &name, const QVariant &value)
{
    SetValues({{name, value}});
}

void TVxGlobalVar::SetValues(const QList<QPair<QString, QVariant>> &values)
{
    QList<QPair<QString, std::optional<QString>>> texts;
    for (const auto &[name, value] : values)
        texts.append({name, storedText(value)});
    TVxINIFile ini(fileName());
    ini.WriteValues(section(), texts);
}

QVariant GetVxuParamValue(const QString &name)
{
    return xgvmGlobalVar.GetValues(name);
}

int TVxWorkingContext::idOf(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    bool ok = false;
    const int id = value.toString().trimmed().toInt(&ok);
    return ok ? id : 0;
}

int TVxWorkingContext::institute()
{
    return idOf(xgvmGlobalVar.GetValues(instituteKey()));
}

int TVxWorkingContext::schoolYear()
{
    return idOf(xgvmGlobalVar.GetValues(schoolYearKey()));
}

int TVxWorkingContext::session()
{
    return idOf(xgvmGlobalVar.GetValues(sessionKey()));
}

QDate TVxWorkingContext::reportDate()
{
    return QDate::fromString(xgvmGlobalVar.GetValues(reportDateKey()).toString().left(10),
                             Qt::ISODate);
}

void TVxWorkingContext::setInstitute(int iDwgId)
{
    xgvmGlobalVar.SetValues(instituteKey(), iDwgId);
}

void TVxWorkingContext::setSchoolYear(int iAnsId)
{
    xgvmGlobalVar.SetValues(schoolYearKey(), iAnsId);
}

void TVxWorkingContext::setSession(int iAnsSesDwgId)
{
    xgvmGlobalVar.SetValues(sessionKey(), iAnsSesDwgId);
}

void TVxWorkingContext::setReportDate(const QDate &date)
{
    xgvmGlobalVar.SetValues(reportDateKey(), date.isValid() ? QVariant(date) : QVariant());
}
