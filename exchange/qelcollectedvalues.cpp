#include "exchange/qelcollectedvalues.h"

#include "gradeentry/qevregolevalori.h"
#include "platform/connection.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <limits>
#include <utility>

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

QString QelCollectedValues::componentName(int iCmpScaId)
{
    if (!std::exchange(m_componentsRead, true))
        VxEachRow(qqoVxGlobConn(),
                  QStringLiteral("SELECT CmpSca.iCmpScaId, Cmp.sCmpLDesc FROM TCmpSca CmpSca "
                                 "JOIN TCmp_Componenti Cmp ON Cmp.iCmpId = CmpSca.iCmpId"),
                  {}, [this](const QSqlQuery &q, const QSqlRecord &) {
                      m_components.insert(q.value(0).toInt(), q.value(1).toString().trimmed());
                  });
    return m_components.value(iCmpScaId);
}

QString QelCollectedValues::Refusal(int kind, int iCmpScaId, const QVariant &value,
                                    const QVariant &stored)
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
    if (!store.ScalaDelTipo(iCmpScaId)) {
        const QString name = componentName(iCmpScaId);
        return name.isEmpty()
                   ? QStringLiteral("il componente (iCmpScaId %1) non c'è in questo archivio.")
                         .arg(iCmpScaId)
                   : QStringLiteral("il componente \"%1\" non prende %2.")
                         .arg(name, QLatin1String(kinds[kind]));
    }
    bool number = false;
    const qint64 level = value.toString().trimmed().toLongLong(&number);
    const bool ofScale = number && store.LivelloDellaScala(iCmpScaId, level);
    // A level taken off the scale stays where it is stored, as the grid keeps it.
    if (ofScale && (store.LivelloOfferto(iCmpScaId, level) ||
                    (!stored.isNull() && stored.toString().trimmed() == QString::number(level))))
        return QString();
    QStringList offered;
    for (const TqevLivello &l : store.Livelli(iCmpScaId))
        offered << l.sValSDesc;
    const QString name = componentName(iCmpScaId);
    const QString component = name.isEmpty() ? QStringLiteral("del componente")
                                             : QStringLiteral("del componente \"%1\"").arg(name);
    return (value.isNull() ? QStringLiteral("il livello manca")
            : ofScale      ? QStringLiteral("il livello %1 è stato tolto dalla scala %2")
                            .arg(value.toString(), component)
                      : QStringLiteral("il livello %1 non è della scala %2")
                            .arg(value.toString(), component)) +
           (offered.isEmpty() ? QStringLiteral(".")
                              : QStringLiteral(" (accetta %1).").arg(offered.join(u", ")));
}

bool QelCollectedValues::LevelRetired(int kind, int iCmpScaId, const QVariant &value)
{
    bool number = false;
    const qint64 level = value.toString().trimmed().toLongLong(&number);
    const TqevValStore &store = levels(kind);
    return number && store.LivelloDellaScala(iCmpScaId, level) &&
           !store.LivelloOfferto(iCmpScaId, level);
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
