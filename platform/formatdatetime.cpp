#include "platform/formatdatetime.h"

#include <QLocale>

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString number(int value, int run)
{
    return run >= 2 ? twoDigits(value) : QString::number(value);
}

} // namespace

QString FormatDateTime(const QString &format, const QDateTime &value)
{
    static const QLocale italian(QLocale::Italian, QLocale::Italy);
    const QString pattern = format.isEmpty() ? QStringLiteral("dd/mm/yyyy") : format;
    const QDate date = value.date();
    const QTime time = value.time();
    QString out;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype end = pattern.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? pattern.size() : end;
            out += pattern.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        const QChar letter = c.toLower();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern.at(i + run).toLower() == letter)
            ++run;
        switch (letter.unicode()) {
        case 'd':
            out += run <= 2   ? number(date.day(), int(run))
                   : run == 3 ? italian.dayName(date.dayOfWeek(), QLocale::ShortFormat)
                              : italian.dayName(date.dayOfWeek(), QLocale::LongFormat);
            break;
        case 'm':
            out += run <= 2   ? number(date.month(), int(run))
                   : run == 3 ? italian.monthName(date.month(), QLocale::ShortFormat)
                              : italian.monthName(date.month(), QLocale::LongFormat);
            break;
        case 'y':
            out += run <= 2 ? twoDigits(date.year() % 100) : QString::number(date.year());
            break;
        case 'h':
            out += number(time.hour(), int(run));
            break;
        case 'n':
            out += number(time.minute(), int(run));
            break;
        case 's':
            out += number(time.second(), int(run));
            break;
        default:
            out += pattern.mid(i, run);
        }
        i += run;
    }
    return out;
}
