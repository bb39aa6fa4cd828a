#include "platform/engineerrors.h"

#include "platform/lockwait.h"
#include "platform/sqlparams.h"

#include <QSqlError>
#include <QStringList>

namespace {

// Firebird's SQLCODE of deadlocks and update conflicts, which the driver gives as the native
// error code.
const QString kUpdateConflict = QStringLiteral("-913");

bool mentions(const QString &text, const QStringList &phrases)
{
    for (const QString &phrase : phrases) {
        if (text.contains(phrase, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

bool isConnectionLost(const QSqlError &error)
{
    // The client library's own texts: the SQLCODE (-902) covers other failures as well.
    static const QStringList phrases{
        QStringLiteral("Error writing data to the connection"),
        QStringLiteral("Error reading data from the connection"),
        QStringLiteral("Unable to complete network request"),
        QStringLiteral("connection shutdown"),
        QStringLiteral("Connection lost to database"),
        QStringLiteral("invalid database handle"),
    };
    return error.type() != QSqlError::NoError && mentions(error.text(), phrases);
}

EVxException connectionLostError()
{
    return EVxException(
        QStringLiteral("La connessione al database si è interrotta: il server non risponde o la "
                       "rete non è raggiungibile.\r\rQuanto non era ancora stato confermato non è "
                       "stato salvato. Ripetere l'operazione quando il server è di nuovo in "
                       "funzione: Tavrin si ricollega da solo."));
}

QString lockWaitQuestion()
{
    return QStringLiteral(
               "I dati da salvare sono bloccati da un'altra postazione o da un altro programma, "
               "che li sta modificando e non li ha ancora confermati (attesa di %1 secondi).\r\r"
               "Attendere ancora?")
        .arg(lockWaitTimeout() / 1000.0, 0, 'f', lockWaitTimeout() % 1000 ? 1 : 0);
}

EVxException lockWaitRefused()
{
    return EVxException(
        QStringLiteral("Salvataggio annullato: i dati sono bloccati da un'altra postazione o da "
                       "un altro programma.\r\rRiprovare più tardi; se il blocco resta, chiudere "
                       "il programma che tiene aperti i dati sulle altre postazioni."),
        EVxException::Warning);
}

EVxException rowGoneError()
{
    return EVxException(QStringLiteral("La riga non è più nell'archivio: forse è stata cancellata "
                                       "da un'altra postazione. Aggiornare l'elenco."));
}

EVxException statementRefused(const QSqlError &error, const TVxFieldValues &values)
{
    Q_UNUSED(values);
    const QString engineText = error.text();
    if (isConnectionLost(error))
        return connectionLostError();
    if (error.nativeErrorCode() == kUpdateConflict)
        return EVxException(QStringLiteral(
            "Un'altra postazione ha modificato gli stessi dati nello stesso momento: la modifica "
            "non è stata salvata, per non cancellare quella dell'altra postazione.\r\rAggiornare i "
            "dati e ripetere la modifica."));
    return EVxException(QStringLiteral("Errore del database:\r%1").arg(engineText));
}
