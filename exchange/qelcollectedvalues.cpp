#include "exchange/qelcollectedvalues.h"

#include "gradeentry/qevregolevalori.h"

#include <limits>

QelCollectedValues::QelCollectedValues() = default;

QelCollectedValues::~QelCollectedValues() = default;

TqevValStore &QelCollectedValues::levels(int kind)
{
    std::unique_ptr<TqevValStore> &store = m_levels.at(std::size_t(kind));
    if (!store) {
        store = std::make_unique<TqevValStore>(kind);
        store->CaricaLivelli();
    }
    return *store;
}

QString QelCollectedValues::Refusal(int kind, int iCmpScaId, const QVariant &value)
{
    if (kind == 3) {
        bool number = false;
        const qint64 hours = value.toString().trimmed().toLongLong(&number);
        return number && TqevRegoleValori::OreValide(hours)
                   ? QString()
                   : QStringLiteral("le ore di assenza \"%1\" non sono valide: %2")
                         .arg(value.toString(), TqevRegoleValori::MotivoOre());
    }
    if (kind == 4)
        return TqevRegoleValori::AiutoValido(value.toString())
                   ? QString()
                   : QStringLiteral("l'aiuto \"%1\" non è valido: %2")
                         .arg(value.toString(), TqevRegoleValori::MotivoAiuto());
    static const char *const kinds[] = {"voti", "voti proposti", "tassonomie"};
    const TqevValStore &store = levels(kind);
    if (!store.ScalaDelTipo(iCmpScaId))
        return QStringLiteral("il componente (iCmpScaId %1) non prende %2.")
            .arg(iCmpScaId)
            .arg(QLatin1String(kinds[kind]));
    bool number = false;
    const qint64 level = value.toString().trimmed().toLongLong(&number);
    if (number && store.LivelloDellaScala(iCmpScaId, level))
        return QString();
    QStringList offered;
    for (const TqevLivello &l : store.Livelli(iCmpScaId))
        offered << l.sValSDesc;
    return (value.isNull() ? QStringLiteral("il livello manca")
                           : QStringLiteral("il livello %1 non è della scala del componente")
                                 .arg(value.toString())) +
           (offered.isEmpty() ? QStringLiteral(".")
                              : QStringLiteral(" (accetta %1).").arg(offered.join(u", ")));
}

QString QelCollectedValues::CreditRefusal(const QVariant &credit, int creMin, int creMax,
                                          const QVariant &outOfBand)
{
    if (credit.isNull() || TqevRegoleValori::CreditoNellaBanda(credit.toLongLong(), creMin, creMax,
                                                               outOfBand.toLongLong()))
        return QString();
    return QStringLiteral("il credito %1 è fuori dalla sua banda: %2")
        .arg(credit.toLongLong())
        .arg(TqevRegoleValori::MotivoCredito(creMin, creMax));
}

bool QelCollectedValues::FitsKey(const QVariant &value)
{
    if (value.isNull())
        return true;
    bool number = false;
    const qint64 key = value.toString().trimmed().toLongLong(&number);
    // A text that is no number is the caller's to refuse, by the column's own rule.
    return !number ||
           (key >= std::numeric_limits<qint32>::min() && key <= std::numeric_limits<qint32>::max());
}
