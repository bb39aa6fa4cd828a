#include "platform/helpers.h"

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
