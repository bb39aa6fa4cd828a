#include "platform/fieldvalue.h"

#include <QtGlobal>

#include <cmath>

QString fieldTypeName(TFieldType type)
{
    switch (type) {
    case ftInteger:
        return QStringLiteral("intero");
    case ftString:
        return QStringLiteral("testo");
    case ftMemo:
        return QStringLiteral("memo");
    case ftDate:
        return QStringLiteral("data");
    case ftDateTime:
        return QStringLiteral("data e ora");
    case ftFloat:
        return QStringLiteral("numero");
    case ftBlob:
        return QStringLiteral("blob");
    case ftBoolean:
        return QStringLiteral("logico");
    }
    return QString();
}

static bool isBlankText(const QVariant &v)
{
    return v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty();
}

QDate parseFieldDate(const QString &text)
{
    const QString t = text.trimmed();
    QDate d = QDate::fromString(t, Qt::ISODate);
    if (!d.isValid())
        d = QDate::fromString(t, QStringLiteral("dd/MM/yyyy"));
    return d;
}

QDateTime parseFieldDateTime(const QString &text)
{
    const QString t = text.trimmed();
    QDateTime d = QDateTime::fromString(t, Qt::ISODate);
    if (!d.isValid())
        d = QDateTime::fromString(t, QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    if (!d.isValid()) {
        const QDate day = parseFieldDate(t);
        if (day.isValid())
            d = day.startOfDay();
    }
    return d;
}

// The one representation of each type, so that locate and the indexes compare like with like.
QVariant normalizeFieldValue(TFieldType type, const QVariant &v, bool *ok)
{
    *ok = true;
    if (!v.isValid() || v.isNull())
        return QVariant();
    const int id = v.typeId();
    switch (type) {
    case ftInteger: {
        if (isBlankText(v))
            return QVariant();
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double d = v.toDouble();
            if (d != std::trunc(d) || std::fabs(d) > 9.0e18) {
                *ok = false;
                return QVariant();
            }
            return qlonglong(d);
        }
        if (id == QMetaType::Bool)
            return qlonglong(v.toBool() ? 1 : 0);
        const qlonglong n =
            id == QMetaType::QString ? v.toString().trimmed().toLongLong(ok) : v.toLongLong(ok);
        return *ok ? QVariant(n) : QVariant();
    }
    case ftString:
    case ftMemo:
        if (id == QMetaType::QByteArray)
            return QString::fromUtf8(v.toByteArray());
        if (id == QMetaType::QDate)
            return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
        return v.toString();
    case ftFloat: {
        if (isBlankText(v))
            return QVariant();
        const double d =
            id == QMetaType::QString ? v.toString().trimmed().toDouble(ok) : v.toDouble(ok);
        return *ok ? QVariant(d) : QVariant();
    }
    case ftDate: {
        if (isBlankText(v))
            return QVariant();
        QDate d;
        if (id == QMetaType::QDate)
            d = v.toDate();
        else if (id == QMetaType::QDateTime)
            d = v.toDateTime().date();
        else if (id == QMetaType::QString)
            d = parseFieldDate(v.toString());
        *ok = d.isValid();
        return *ok ? QVariant(d) : QVariant();
    }
    case ftDateTime: {
        if (isBlankText(v))
            return QVariant();
        QDateTime d;
        if (id == QMetaType::QDateTime)
            d = v.toDateTime();
        else if (id == QMetaType::QDate)
            d = v.toDate().startOfDay();
        else if (id == QMetaType::QString)
            d = parseFieldDateTime(v.toString());
        *ok = d.isValid();
        return *ok ? QVariant(d) : QVariant();
    }
    case ftBlob:
        if (id == QMetaType::QString)
            return v.toString().toUtf8();
        return v.toByteArray();
    case ftBoolean:
        if (id == QMetaType::QString) {
            const QString t = v.toString().trimmed();
            if (t.isEmpty())
                return QVariant();
            if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                return true;
            if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
                return false;
            const qlonglong n = t.toLongLong(ok);
            return *ok ? QVariant(n != 0) : QVariant();
        }
        if (!v.canConvert<bool>()) {
            *ok = false;
            return QVariant();
        }
        return v.toBool();
    }
    *ok = false;
    return QVariant();
}

size_t hashFieldValue(const QVariant &v)
{
    if (v.isNull())
        return 0x9e3779b9u;
    switch (v.typeId()) {
    case QMetaType::LongLong:
        return qHash(v.toLongLong());
    case QMetaType::Double:
        return qHash(v.toDouble());
    case QMetaType::QString:
        return qHash(v.toString());
    case QMetaType::QDate:
        return qHash(v.toDate().toJulianDay());
    case QMetaType::QDateTime:
        return qHash(v.toDateTime().toMSecsSinceEpoch());
    case QMetaType::QByteArray:
        return qHash(v.toByteArray());
    case QMetaType::Bool:
        return v.toBool() ? 1 : 2;
    default:
        return qHash(v.toString());
    }
}

template <typename T> static int threeWay(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Index order: nulls first, then by value.
int compareFieldValues(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    switch (a.typeId()) {
    case QMetaType::LongLong:
        return threeWay(a.toLongLong(), b.toLongLong());
    case QMetaType::Double:
        return threeWay(a.toDouble(), b.toDouble());
    case QMetaType::QDate:
        return threeWay(a.toDate(), b.toDate());
    case QMetaType::QDateTime:
        return threeWay(a.toDateTime(), b.toDateTime());
    case QMetaType::QByteArray:
        return threeWay(a.toByteArray(), b.toByteArray());
    case QMetaType::Bool:
        return threeWay(a.toBool(), b.toBool());
    default:
        return threeWay(QStringView(a.toString()).compare(b.toString()), 0);
    }
}
