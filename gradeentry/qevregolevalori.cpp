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

// The credit points a band, or a course year's bands together, allow.
struct Limiti
{
    int creMin = 0;
    int creMax = 0;
    bool conBanda = false;
};

// The limits of the row's band among the course year's; the reason when the band is no band of
// that year, or the year has none and something (cosa, of punti points) is given.
QString limitiDi(const QList<TqevBanda> &bandeAnno, const QVariant &iBndId, const QString &cosa,
                 qint64 punti, Limiti &limiti)
{
    qint64 banda = 0;
    const Numero chiave = numeroDi(iBndId, banda);
    limiti.conBanda = chiave != Numero::Vuoto && !(chiave == Numero::Intero && banda == 0);
    if (bandeAnno.isEmpty() && !limiti.conBanda && punti == 0)
        return {};
    if (bandeAnno.isEmpty())
        return QStringLiteral("l'anno di corso dell'alunno non ha bande del credito: %1 non si "
                              "può dare.")
            .arg(limiti.conBanda ? QStringLiteral("la banda %1").arg(iBndId.toString().trimmed())
                                 : cosa);
    const auto trovata =
        std::find_if(bandeAnno.cbegin(), bandeAnno.cend(), [&](const TqevBanda &b) {
            return chiave == Numero::Intero && b.iBndId == banda;
        });
    if (limiti.conBanda && trovata == bandeAnno.cend())
        return QStringLiteral("la banda %1 non è una banda dell'anno di corso dell'alunno.")
            .arg(iBndId.toString().trimmed());
    if (limiti.conBanda) {
        limiti.creMin = trovata->iBndCreMin;
        limiti.creMax = trovata->iBndCreMax;
        return {};
    }
    limiti.creMin = std::min_element(bandeAnno.cbegin(), bandeAnno.cend(),
                                     [](const TqevBanda &a, const TqevBanda &b) {
                                         return a.iBndCreMin < b.iBndCreMin;
                                     })
                        ->iBndCreMin;
    limiti.creMax = std::max_element(bandeAnno.cbegin(), bandeAnno.cend(),
                                     [](const TqevBanda &a, const TqevBanda &b) {
                                         return a.iBndCreMax < b.iBndCreMax;
                                     })
                        ->iBndCreMax;
    return {};
}

// A whole number from 0 the column holds: why not, naming it (nome and its text); empty when it
// is one (punti), or no number at all (empty, null).
QString numeroCredito(const QString &nome, const QVariant &valore, qint64 &punti)
{
    const QString testo = valore.toString().trimmed();
    const QString negativo =
        QStringLiteral("%1 %2 è negativo: un credito va da 0 punti in su.").arg(nome, testo);
    switch (numeroDi(valore, punti)) {
    case Numero::NonIntero:
        return QStringLiteral("%1 \"%2\" non è un numero intero.").arg(nome, testo);
    case Numero::Grande:
        if (testo.startsWith(QLatin1Char('-')))
            return negativo;
        return QStringLiteral("%1 %2 è più grande di quanto il database possa contenere "
                              "(al più %3).")
            .arg(nome, testo)
            .arg(std::numeric_limits<qint32>::max());
    case Numero::Intero:
        if (punti < 0)
            return negativo;
        break;
    case Numero::Vuoto:
        break;
    }
    return {};
}

} // namespace

QString TqevRegoleValori::CreditoNellaBanda(const QList<TqevBanda> &bandeAnno,
                                            const QVariant &iBndId, const QVariant &iCreOutBanda,
                                            const QVariant &credito)
{
    qint64 punti = 0;
    if (QString perche = numeroCredito(QStringLiteral("il credito"), credito, punti);
        !perche.isEmpty())
        return perche;
    qint64 oltre = 0;
    if (const Numero flag = numeroDi(iCreOutBanda, oltre);
        flag != Numero::Vuoto && !(flag == Numero::Intero && (oltre == 0 || oltre == 1)))
        return QStringLiteral("il credito fuori banda è segnato con %1: il segno è 0 oppure 1 "
                              "(un punto oltre la banda).")
            .arg(iCreOutBanda.toString().trimmed());
    Limiti limiti;
    if (QString perche =
            limitiDi(bandeAnno, iBndId, QStringLiteral("il credito %1").arg(punti), punti, limiti);
        !perche.isEmpty())
        return perche;
    if (punti == 0 || bandeAnno.isEmpty())
        return QString();
    if (punti >= limiti.creMin - oltre && punti <= limiti.creMax + oltre)
        return QString();
    return (limiti.conBanda
                ? QStringLiteral("il credito %1 è fuori dalla sua banda: la banda va da %2 a "
                                 "%3 punti")
                : QStringLiteral("il credito %1 è fuori dalle bande del suo anno di corso, "
                                 "che vanno da %2 a %3 punti"))
               .arg(punti)
               .arg(limiti.creMin)
               .arg(limiti.creMax) +
           oltreBanda(oltre);
}

QString TqevRegoleValori::ParteDelCredito(const QList<TqevBanda> &bandeAnno, const QVariant &iBndId,
                                          const QString &nome, const QVariant &valore,
                                          bool nellaBanda)
{
    qint64 punti = 0;
    if (QString perche = numeroCredito(nome, valore, punti); !perche.isEmpty())
        return perche;
    Limiti limiti;
    if (QString perche = limitiDi(bandeAnno, iBndId, QStringLiteral("%1 %2").arg(nome).arg(punti),
                                  punti, limiti);
        !perche.isEmpty())
        return perche;
    if (punti == 0 || bandeAnno.isEmpty())
        return QString();
    if (nellaBanda && (punti < limiti.creMin || punti > limiti.creMax))
        return QStringLiteral("%1 %2 è fuori dalla %3: %4 da %5 a %6 punti.")
            .arg(nome)
            .arg(punti)
            .arg(limiti.conBanda ? QStringLiteral("sua banda")
                                 : QStringLiteral("bande del suo anno di corso"),
                 limiti.conBanda ? QStringLiteral("la banda va") : QStringLiteral("che vanno"))
            .arg(limiti.creMin)
            .arg(limiti.creMax);
    if (punti > limiti.creMax)
        return QStringLiteral("%1 %2 supera %3: al più %4 punti.")
            .arg(nome)
            .arg(punti)
            .arg(limiti.conBanda ? QStringLiteral("la sua banda")
                                 : QStringLiteral("le bande del suo anno di corso"))
            .arg(limiti.creMax);
    return QString();
}

QString TqevRegoleValori::CreditoRifiutato(const QList<TqevBanda> &bandeAnno,
                                           const TValCredito &valori, const TValCredito *salvato)
{
    const auto cambiato = [salvato](int TValCredito::*campo, const TValCredito &v) {
        return !salvato || v.*campo != salvato->*campo;
    };
    const bool bandaCambiata =
        cambiato(&TValCredito::iBndId, valori) || cambiato(&TValCredito::iCreOutBanda, valori);
    if (bandaCambiata || cambiato(&TValCredito::iCreCredito, valori)) {
        if (QString perche = CreditoNellaBanda(bandeAnno, valori.iBndId, valori.iCreOutBanda,
                                               valori.iCreCredito);
            !perche.isEmpty())
            return perche;
    }
    for (const ParteCredito &parte : Parti()) {
        if (!bandaCambiata && !cambiato(parte.campo, valori))
            continue;
        if (QString perche = ParteDelCredito(bandeAnno, valori.iBndId, parte.nome,
                                             valori.*parte.campo, parte.nellaBanda);
            !perche.isEmpty())
            return perche;
    }
    return QString();
}

const QList<TqevRegoleValori::ParteCredito> &TqevRegoleValori::Parti()
{
    static const QList<ParteCredito> parti{
        {&TValCredito::iCrePerMedia, QStringLiteral("il credito per media"), true},
        {&TValCredito::iCreFrmSco, QStringLiteral("il credito formativo e scolastico"), false},
        {&TValCredito::iCreSosp, QStringLiteral("il credito sospeso"), false},
        {&TValCredito::iCreRecup, QStringLiteral("il credito di integrazione"), false},
    };
    return parti;
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
