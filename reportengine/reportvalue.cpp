#include "reportengine/reportvalue.h"

#include "platform/helpers.h"

#include <QDateTime>
#include <QLocale>
#include <QTime>

#include <cmath>
#include <limits>

namespace {

// The office reads reports in Italian whatever the desktop's locale is.
const QLocale &italian()
{
    static const QLocale locale = [] {
        QLocale l(QLocale::Italian, QLocale::Italy);
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    return locale;
}

QString quoted(const QVariant &value)
{
    if (frValueKind(value) == vkNull)
        return QStringLiteral("un valore nullo");
    return QStringLiteral("«%1»").arg(frDisplayText(value));
}

[[noreturn]] void cannotConvert(const QVariant &value, const QString &kind)
{
    throw EfrConversionError(
        QStringLiteral("Impossibile convertire %1 in %2.").arg(quoted(value), kind));
}

// 2^63: the first double that no 64-bit integer holds.
constexpr double int64Limit = 9223372036854775808.0;

bool fitsInteger(double value)
{
    return value >= -int64Limit && value < int64Limit;
}

} // namespace

TfrValueKind frValueKind(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return vkNull;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return vkBoolean;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return vkInteger;
    case QMetaType::Double:
    case QMetaType::Float:
        return vkFloat;
    case QMetaType::QDate:
        return value.toDate().isNull() ? vkNull : vkDate;
    case QMetaType::QDateTime:
        return value.toDateTime().isNull() ? vkNull : vkDate;
    case QMetaType::QTime:
        return value.toTime().isNull() ? vkNull : vkDate;
    default:
        return vkText;
    }
}

bool frParseNumber(const QString &text, QVariant *number)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        ++i;
    const qsizetype digitsStart = i;
    while (i < n && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'))
        ++i;
    if (i == digitsStart)
        return false;
    bool decimals = false;
    if (i < n && (t[i] == QLatin1Char('.') || t[i] == QLatin1Char(','))) {
        const qsizetype fractionStart = ++i;
        while (i < n && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'))
            ++i;
        if (i == fractionStart)
            return false;
        decimals = true;
    }
    if (i != n)
        return false;
    QString c = t;
    c.replace(QLatin1Char(','), QLatin1Char('.'));
    if (!decimals) {
        bool ok = false;
        const qlonglong whole = c.toLongLong(&ok);
        if (ok) {
            *number = whole;
            return true;
        }
    }
    bool ok = false;
    const double d = c.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    *number = d;
    return true;
}

qint64 frToInteger(const QVariant &value)
{
    switch (frValueKind(value)) {
    case vkInteger: {
        if (value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong) {
            if (value.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
                cannotConvert(value, QStringLiteral("numero intero"));
        }
        return value.toLongLong();
    }
    case vkFloat: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            cannotConvert(value, QStringLiteral("numero intero"));
        // Halves go to the even neighbour, as the suite's runtime rounds.
        const double r = std::nearbyint(d);
        if (!fitsInteger(r))
            cannotConvert(value, QStringLiteral("numero intero"));
        return qint64(r);
    }
    case vkText: {
        QVariant number;
        if (!frParseNumber(frDisplayText(value), &number))
            cannotConvert(value, QStringLiteral("numero intero"));
        return frToInteger(number);
    }
    case vkBoolean:
        return value.toBool() ? 1 : 0;
    case vkNull:
    case vkDate:
        break;
    }
    cannotConvert(value, QStringLiteral("numero intero"));
}

double frToFloat(const QVariant &value)
{
    switch (frValueKind(value)) {
    case vkInteger:
        return double(frToInteger(value));
    case vkFloat:
        return value.toDouble();
    case vkText: {
        QVariant number;
        if (!frParseNumber(frDisplayText(value), &number))
            cannotConvert(value, QStringLiteral("numero"));
        return number.toDouble();
    }
    case vkBoolean:
        return value.toBool() ? 1.0 : 0.0;
    case vkNull:
    case vkDate:
        break;
    }
    cannotConvert(value, QStringLiteral("numero"));
}

bool frToBoolean(const QVariant &value)
{
    switch (frValueKind(value)) {
    case vkNull:
        return false;
    case vkBoolean:
        return value.toBool();
    case vkInteger:
        return frToInteger(value) != 0;
    case vkFloat:
        return value.toDouble() != 0.0;
    case vkText:
    case vkDate:
        break;
    }
    cannotConvert(value, QStringLiteral("valore logico (vero o falso)"));
}

QDate frToDate(const QVariant &value)
{
    switch (frValueKind(value)) {
    case vkDate:
        if (value.typeId() == QMetaType::QDate)
            return value.toDate();
        if (value.typeId() == QMetaType::QDateTime)
            return value.toDateTime().date();
        break;
    case vkText: {
        const QString t = frDisplayText(value).trimmed();
        QDate d = QDate::fromString(t, QStringLiteral("d/M/yyyy"));
        if (!d.isValid())
            d = QDate::fromString(t, Qt::ISODate);
        if (d.isValid())
            return d;
        break;
    }
    default:
        break;
    }
    cannotConvert(value, QStringLiteral("data"));
}

QString frDisplayText(const QVariant &value)
{
    switch (frValueKind(value)) {
    case vkNull:
        return QString();
    case vkBoolean:
        return value.toBool() ? QStringLiteral("Vero") : QStringLiteral("Falso");
    case vkInteger:
        if (value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong)
            return QString::number(value.toULongLong());
        return QString::number(value.toLongLong());
    case vkFloat: {
        const double d = value.toDouble();
        // -0 prints as 0: a rounded negative fraction is no negative amount.
        return italian().toString(d == 0.0 ? 0.0 : d, 'f', QLocale::FloatingPointShortest);
    }
    case vkDate:
        if (value.typeId() == QMetaType::QTime)
            return value.toTime().toString(QStringLiteral("hh:mm:ss"));
        if (value.typeId() == QMetaType::QDateTime) {
            const QDateTime dt = value.toDateTime();
            if (dt.time() == QTime(0, 0))
                return dt.date().toString(QStringLiteral("dd/MM/yyyy"));
            return dt.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
        }
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case vkText:
        if (value.typeId() == QMetaType::QByteArray)
            return QString::fromUtf8(value.toByteArray());
        if (const TfrPageCountText *counted = frPageCountText(value))
            return counted->Text;
        return value.toString();
    }
    return QString();
}

const TfrPageCountText *frPageCountText(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<TfrPageCountText>()
               ? static_cast<const TfrPageCountText *>(value.constData())
               : nullptr;
}

QVariant frJoinText(const QVariant &a, const QVariant &b)
{
    const TfrPageCountText *left = frPageCountText(a);
    const TfrPageCountText *right = frPageCountText(b);
    if (!left && !right)
        return QString(frDisplayText(a) + frDisplayText(b));
    TfrPageCountText joined{frDisplayText(a), left ? left->At : QList<qsizetype>()};
    const qsizetype shift = joined.Text.size();
    joined.Text += frDisplayText(b);
    if (right)
        for (const qsizetype at : right->At)
            joined.At.append(shift + at);
    return QVariant::fromValue(joined);
}

double frRoundTo(double value, int digits)
{
    if (digits < -37 || digits > 37)
        throw EfrRoundingError(
            QStringLiteral("Arrotondamento non valido: %1 cifre (ammesse da -37 a 37).")
                .arg(digits));
    if (!std::isfinite(value))
        throw EfrRoundingError(QStringLiteral("Arrotondamento non valido: il valore non è un "
                                              "numero finito."));
    // The suite's runtime counts the units of 10^digits in a 64-bit integer.
    if (!fitsInteger(value / std::pow(10.0, digits)))
        throw EfrRoundingError(
            QStringLiteral("Arrotondamento non valido: %1 è troppo grande per %2 cifre.")
                .arg(frDisplayText(value))
                .arg(digits));
    // The one rounding of the program: a report prints the average grade entry shows.
    return RoundTo(value, digits);
}
