#include "platform/globalvars.h"

#include "platform/inifile.h"

#include <QDate>
#include <QDateTime>

TVxGlobalVar xgvmGlobalVar;

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
    TVxINIFile ini(fileName());
    if (!value.isValid() || value.isNull()) {
        ini.DeleteKey(section(), name);
        return;
    }
    QString text;
    switch (value.typeId()) {
    case QMetaType::QDate:
        text = value.toDate().toString(Qt::ISODate);
        break;
    case QMetaType::QDateTime:
        text = value.toDateTime().toString(Qt::ISODate);
        break;
    default:
        text = value.toString();
    }
    ini.WriteString(section(), name, text);
}

QVariant GetVxuParamValue(const QString &name)
{
    return xgvmGlobalVar.GetValues(name);
}
