#include "gradeentry/qevregolevalori.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

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

namespace {

// A whole number as a packet or a typed text holds it.
enum class Numero { Vuoto, Intero, NonIntero, Grande };

Numero numeroDi(const QVariant &value, qint64 &n)
{
    const QString text = value.toString().trimmed();
    if (value.isNull() || text.isEmpty())
        return Numero::Vuoto;
    bool ok = false;
    n = text.toLongLong(&ok);
    if (!ok) {
        // Digits beyond what a 64-bit number holds are still a whole number, only too large.
        static const QRegularExpression cifre(QStringLiteral("^[+-]?[0-9]+$"));
        return cifre.match(text).hasMatch() ? Numero::Grande : Numero::NonIntero;
    }
    return n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max()
               ? Numero::Grande
               : Numero::Intero;
}

QString oltreBanda(qint64 oltre)
{
    return oltre > 0 ? QStringLiteral(", un punto in più o in meno se il credito è fuori banda.")
                     : QStringLiteral(".");
}

} // namespace

QString TqevRegoleValori::CreditoNellaBanda(const QList<TqevBanda> &bandeAnno,
                                            const QVariant &iBndId, const QVariant &iCreOutBanda,
                                            const QVariant &credito)
{
    qint64 punti = 0;
    const QString testo = credito.toString().trimmed();
    const QString negativo =
        QStringLiteral("il credito %1 è negativo: un credito va da 0 punti in su.").arg(testo);
    switch (numeroDi(credito, punti)) {
    case Numero::NonIntero:
        return QStringLiteral("il credito \"%1\" non è un numero intero.").arg(testo);
    case Numero::Grande:
        if (testo.startsWith(QLatin1Char('-')))
            return negativo;
        return QStringLiteral("il credito %1 è più grande di quanto il database possa contenere "
                              "(al più %2).")
            .arg(testo)
            .arg(std::numeric_limits<qint32>::max());
    case Numero::Intero:
        if (punti < 0)
            return negativo;
        break;
    case Numero::Vuoto:
        break;
    }
    qint64 oltre = 0;
    if (const Numero flag = numeroDi(iCreOutBanda, oltre);
        flag != Numero::Vuoto && !(flag == Numero::Intero && (oltre == 0 || oltre == 1)))
        return QStringLiteral("il credito fuori banda è segnato con %1: il segno è 0 oppure 1 "
                              "(un punto oltre la banda).")
            .arg(iCreOutBanda.toString().trimmed());
    qint64 banda = 0;
    const Numero chiave = numeroDi(iBndId, banda);
    const bool conBanda = chiave != Numero::Vuoto && !(chiave == Numero::Intero && banda == 0);
    if (bandeAnno.isEmpty()) {
        if (conBanda || punti != 0)
            return QStringLiteral("l'anno di corso dell'alunno non ha bande del credito: %1 non "
                                  "si può dare.")
                .arg(conBanda ? QStringLiteral("la banda %1").arg(iBndId.toString().trimmed())
                              : QStringLiteral("il credito %1").arg(punti));
        return QString();
    }
    const auto trovata =
        std::find_if(bandeAnno.cbegin(), bandeAnno.cend(), [&](const TqevBanda &b) {
            return chiave == Numero::Intero && b.iBndId == banda;
        });
    if (conBanda && trovata == bandeAnno.cend())
        return QStringLiteral("la banda %1 non è una banda dell'anno di corso dell'alunno.")
            .arg(iBndId.toString().trimmed());
    if (punti == 0)
        return QString();
    int creMin = 0;
    int creMax = 0;
    if (conBanda) {
        creMin = trovata->iBndCreMin;
        creMax = trovata->iBndCreMax;
    } else {
        creMin = std::min_element(bandeAnno.cbegin(), bandeAnno.cend(),
                                  [](const TqevBanda &a, const TqevBanda &b) {
                                      return a.iBndCreMin < b.iBndCreMin;
                                  })
                     ->iBndCreMin;
        creMax = std::max_element(bandeAnno.cbegin(), bandeAnno.cend(),
                                  [](const TqevBanda &a, const TqevBanda &b) {
                                      return a.iBndCreMax < b.iBndCreMax;
                                  })
                     ->iBndCreMax;
    }
    if (punti >= creMin - oltre && punti <= creMax + oltre)
        return QString();
    return (conBanda ? QStringLiteral("il credito %1 è fuori dalla sua banda: la banda va da %2 a "
                                      "%3 punti")
                     : QStringLiteral("il credito %1 è fuori dalle bande del suo anno di corso, "
                                      "che vanno da %2 a %3 punti"))
               .arg(punti)
               .arg(creMin)
               .arg(creMax) +
           oltreBanda(oltre);
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
