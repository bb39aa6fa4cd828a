#include "gradeentry/qevregolevalori.h"

#include <algorithm>

int TqevRegoleValori::OreDigitate(const QString &text)
{
    const bool cifre = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar ch) {
        return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    });
    return cifre && text.size() <= 9 ? text.toInt() : -1;
}

bool TqevRegoleValori::ConControllo(const QString &text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool TqevRegoleValori::CreditoNellaBanda(qint64 credito, int creMin, int creMax, qint64 fuoriBanda)
{
    const qint64 oltre = std::max<qint64>(fuoriBanda, 0);
    return credito >= 0 && credito >= creMin - oltre && credito <= creMax + oltre;
}

QString TqevRegoleValori::MotivoOre()
{
    return QStringLiteral("le assenze sono ore intere, scritte in cifre, da 0 a %1.")
        .arg(kMaxOreAssenza);
}

QString TqevRegoleValori::MotivoAiuto()
{
    return QStringLiteral("l'aiuto è un codice di al più %1 caratteri, senza caratteri di "
                          "controllo.")
        .arg(kMaxAiuto);
}

QString TqevRegoleValori::MotivoCredito(int creMin, int creMax)
{
    return QStringLiteral("la banda del credito va da %1 a %2 punti.").arg(creMin).arg(creMax);
}
