#include "platform/helpers.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

QString LongDir(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString ShortDir(const QString &path)
{
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // The root keeps its separator: without it the text would name no folder at all.
    while (result.size() > 1 && result.endsWith(QLatin1Char('/')))
        result.chop(1);
    return result;
}

QString PadL(const QString &text, QChar ch, int width)
{
    return text.rightJustified(width, ch, false);
}

QString OneLine(const QString &text)
{
    return text.simplified();
}

QString CountText(int count, const QString &one, const QString &many)
{
    return (count == 1 ? one : many).arg(count);
}

QString CutLine(const QString &text, int maxChars)
{
    if (text.size() <= maxChars)
        return text;
    qsizetype end = maxChars - 1;
    // Never half of a character outside the basic plane.
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

namespace {

// One decimal with the Italian comma, none when it is zero.
QString decimal(double value)
{
    QString text = QLocale(QLocale::Italian).toString(value, 'f', 1);
    if (text.endsWith(QLatin1String(",0")))
        text.chop(2);
    return text;
}

} // namespace

QString SizeText(qint64 bytes)
{
    constexpr qint64 kKB = 1024, kMB = kKB * 1024, kGB = kMB * 1024;
    if (bytes < kKB)
        return QStringLiteral("%1 byte").arg(bytes);
    if (bytes < kMB)
        return decimal(double(bytes) / kKB) + QStringLiteral(" KB");
    if (bytes < kGB)
        return decimal(double(bytes) / kMB) + QStringLiteral(" MB");
    return decimal(double(bytes) / kGB) + QStringLiteral(" GB");
}

QString DurationText(qint64 milliseconds)
{
    if (milliseconds >= 60000 && milliseconds % 60000 == 0) {
        const qint64 minutes = milliseconds / 60000;
        return QStringLiteral("%1 %2").arg(minutes).arg(minutes == 1 ? QStringLiteral("minuto")
                                                                     : QStringLiteral("minuti"));
    }
    return decimal(milliseconds / 1000.0) +
           (milliseconds == 1000 ? QStringLiteral(" secondo") : QStringLiteral(" secondi"));
}

QString TKIENormalizeString(const QString &text)
{
    // Letters lose their accents ("è" -> "e") so that the name reads the same on every file
    // system; anything that could end or escape a path component becomes "_".
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString result;
    result.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        const ushort u = c.unicode();
        const bool safe = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                          (u >= '0' && u <= '9') || u == ' ' || u == '-' || u == '_' || u == '.';
        result += safe ? c : QLatin1Char('_');
    }
    result = result.trimmed();
    // A name of dots alone ("." or "..") would point at a folder instead of naming one.
    while (result.startsWith(QLatin1Char('.')))
        result[0] = QLatin1Char('_');
    if (result.isEmpty())
        result = QStringLiteral("_");
    return result;
}

namespace {

// Rounds on the shortest decimal text of the value; a half goes to the even neighbour or away
// from zero.
double roundDecimal(double value, int digits, bool halfToEven)
{
    if (!std::isfinite(value) || value == 0)
        return value;
    // The shortest text that reads back as the value: the decimal number the user wrote.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::scientific);
    const std::string text(buffer, written.ptr);
    const size_t e = text.find('e');
    std::string mantissa = text.substr(0, e);
    mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
    const int exponent = std::stoi(text.substr(e + 1));
    // Mantissa digit i weighs 10^(exponent - i); the kept ones weigh at least 10^digits.
    const int kept = exponent - digits + 1;
    if (kept >= int(mantissa.size()))
        return value;
    std::string whole = kept > 0 ? mantissa.substr(0, size_t(kept)) : std::string("0");
    const char first = kept >= 0 ? mantissa[size_t(kept)] : '0';
    const bool restNonZero =
        kept >= 0 && mantissa.find_first_not_of('0', size_t(kept) + 1) != std::string::npos;
    const bool lastOdd = (whole.back() - '0') % 2 == 1;
    if (first > '5' || (first == '5' && (restNonZero || lastOdd || !halfToEven))) {
        int i = int(whole.size()) - 1;
        while (i >= 0 && whole[size_t(i)] == '9')
            whole[size_t(i--)] = '0';
        if (i < 0)
            whole.insert(whole.begin(), '1');
        else
            ++whole[size_t(i)];
    }
    const std::string rounded = whole + "e" + std::to_string(digits);
    double result = 0;
    std::from_chars(rounded.data(), rounded.data() + rounded.size(), result);
    return value < 0 ? -result : result;
}

} // namespace

double RoundTo(double value, int digits)
{
    return roundDecimal(value, digits, true);
}

double RoundHalfAway(double value, int digits)
{
    return roundDecimal(value, digits, false);
}
