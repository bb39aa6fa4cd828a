#include "platform/savecheck.h"

namespace {

// A blob column comes back as bytes, a text as a string: the same text either way.
QVariant comparabile(const QVariant &v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v;
}

bool stessoValore(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return comparabile(a) == comparabile(b);
}

} // namespace

bool VxRigaComeLetta(const TVxRiga &letta, const TVxRiga &ora)
{
    if (letta.chiave != ora.chiave)
        return false;
    for (auto it = letta.valori.cbegin(); it != letta.valori.cend(); ++it) {
        if (!stessoValore(ora.valori.value(it.key()), it.value()))
            return false;
    }
    return true;
}

TVxRiga VxRigaLetta(int chiave, const TVxFieldValues &salvati, const TVxFieldValues *nuovi)
{
    TVxRiga riga;
    riga.chiave = chiave;
    if (chiave == 0)
        return riga;
    for (int i = 0; i < salvati.size(); ++i) {
        const QString nome = salvati.name(i);
        if (!nuovi || nuovi->value(nome) != salvati.value(i))
            riga.valori.insert(nome, salvati.value(i));
    }
    return riga;
}

namespace {

QString conSeguito(const QString &motivo, const QString &diNuovo)
{
    return diNuovo.isEmpty() ? motivo : motivo + QStringLiteral("\r\r") + diNuovo;
}

QString motivo(TVxCambio cambio, const TVxDiNuovo &d)
{
    switch (cambio) {
    case TVxCambio::Cancellato:
        return QStringLiteral("Il dato è stato cancellato da un'altra postazione dopo l'apertura "
                              "della finestra: la modifica non è stata salvata.");
    case TVxCambio::GiaCancellato:
        return QStringLiteral("Il dato era già stato cancellato da un'altra postazione dopo "
                              "l'apertura della finestra: la cancellazione non è stata eseguita.");
    case TVxCambio::Inserito:
        return QStringLiteral("Il dato è stato inserito da un'altra postazione dopo l'apertura "
                              "della finestra: %1 non è stato salvato, per non sostituire senza "
                              "avviso quello dell'altra postazione.")
            .arg(d.dato);
    case TVxCambio::Sostituito:
        return QStringLiteral("Il dato è stato sostituito da un'altra postazione, o da un "
                              "passaggio di dati, dopo l'apertura della finestra: la "
                              "cancellazione non è stata eseguita, per non cancellare senza "
                              "avviso il dato nuovo.");
    case TVxCambio::Modificato:
        return QStringLiteral("Il dato è stato modificato da un'altra postazione dopo l'apertura "
                              "della finestra: %1 non è stato salvato, per non sostituire senza "
                              "avviso quello dell'altra postazione.")
            .arg(d.dato);
    case TVxCambio::ModificatoPrimaDellaCancellazione:
        return QStringLiteral("Il dato è stato modificato da un'altra postazione dopo l'apertura "
                              "della finestra: la cancellazione non è stata eseguita, per non "
                              "cancellare senza avviso il dato nuovo.");
    }
    return {};
}

QString diNuovo(TVxCambio cambio, const TVxDiNuovo &d)
{
    switch (cambio) {
    case TVxCambio::Cancellato:
        return d.inserisce;
    case TVxCambio::GiaCancellato:
        return d.resta;
    case TVxCambio::Inserito:
    case TVxCambio::Modificato:
        return d.sostituisce;
    case TVxCambio::Sostituito:
    case TVxCambio::ModificatoPrimaDellaCancellazione:
        return d.cancella;
    }
    return {};
}

} // namespace

QString VxMotivo(TVxCambio cambio, const TVxDiNuovo &d)
{
    return conSeguito(motivo(cambio, d), diNuovo(cambio, d));
}

TVxCambio VxCambio(const TVxRiga &letta, const TVxRiga &ora, bool cancella)
{
    if (letta.chiave == 0)
        return TVxCambio::Inserito;
    if (ora.chiave == 0)
        return cancella ? TVxCambio::GiaCancellato : TVxCambio::Cancellato;
    if (cancella)
        return ora.chiave != letta.chiave ? TVxCambio::Sostituito
                                          : TVxCambio::ModificatoPrimaDellaCancellazione;
    return TVxCambio::Modificato;
}

QString VxMotivoCambiata(const TVxRiga &letta, const TVxRiga &ora, bool cancella,
                         const TVxDiNuovo &diNuovo)
{
    return VxMotivo(VxCambio(letta, ora, cancella), diNuovo);
}
