#include "platform/engineerrors.h"

#include "platform/lockwait.h"
#include "platform/sqlparams.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QStringList>

namespace {

// Firebird's SQLCODEs, which the driver gives as the native error code.
const QString kForeignKey = QStringLiteral("-530");
const QString kUniqueKey = QStringLiteral("-803");
const QString kArithmetic = QStringLiteral("-802");
const QString kUpdateConflict = QStringLiteral("-913"); // and deadlocks
const QString kRaisedException = QStringLiteral("-836"); // by a trigger or procedure

// The engine says how long the column is, not which column it is: the field is the bound
// text longer than that (the one exactly as long as the engine counted, when several are).
QString overlongField(const QString &engineText, const TVxFieldValues &values, int *maxLength)
{
    static const QRegularExpression lengths(
        QStringLiteral("expected length (\\d+), actual (\\d+)"));
    const QRegularExpressionMatch m = lengths.match(engineText);
    if (!m.hasMatch())
        return {};
    *maxLength = m.captured(1).toInt();
    const int actual = m.captured(2).toInt();
    QString longer;
    for (int i = 0; i < values.size(); ++i) {
        const QVariant value = values.value(i);
        if (value.typeId() != QMetaType::QString)
            continue;
        const int length = int(value.toString().size());
        if (length == actual)
            return values.name(i);
        if (length > *maxLength && longer.isEmpty())
            longer = values.name(i);
    }
    return longer;
}

const QString kConcurrentChange = QStringLiteral(
    "Un'altra postazione ha modificato gli stessi dati nello stesso momento: la modifica non è "
    "stata salvata, per non cancellare quella dell'altra postazione.\r\rAggiornare i dati e "
    "ripetere la modifica.");
const QString kDuplicateEntry = QStringLiteral("Esiste già una voce con questi dati.");

// A trigger's or procedure's exception carries the words of whoever wrote the database's rules:
// "exception 1 - E_NAME - its text - At trigger 'T' line: 1, col: 9".
QString raisedText(const QString &engineText)
{
    QStringList parts = engineText.split(QStringLiteral(" - "));
    if (parts.size() < 3 || !parts[0].startsWith(QLatin1String("exception")))
        return {};
    parts = parts.mid(2);
    while (parts.size() > 1 && parts.last().startsWith(QLatin1String("At ")))
        parts.removeLast();
    return parts.join(QStringLiteral(" - ")).trimmed();
}

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
    // The client library's own texts: their SQLCODE (-902) covers other failures as well.
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

namespace {

bool isStorageFailure(const QSqlError &error)
{
    static const QStringList phrases{
        QStringLiteral("I/O error during"),
        QStringLiteral("Error while trying to write to file"),
        QStringLiteral("No space left on device"),
    };
    return error.type() != QSqlError::NoError && mentions(error.text(), phrases);
}

} // namespace

EVxException databaseStorageError(const QString &engineText)
{
    return EVxException(
        QStringLiteral("Il database non riesce a scrivere nel suo file: il disco del database è "
                       "pieno o non accetta scritture.\r\rQuanto non era ancora stato confermato "
                       "non è stato salvato. Liberare spazio sul disco del database (o chiedere "
                       "al tecnico di farlo) e ripetere l'operazione."),
        EVxException::Error, engineText);
}

bool isDatabaseStorageFailure(const EVxException &e)
{
    return e.message() == databaseStorageError().message();
}

bool endsTheWork(const EVxException &e)
{
    return isConnectionLost(e) || isDatabaseStorageFailure(e) || isLockWaitRefused(e);
}

EVxException connectionLostError(const QString &engineText)
{
    return EVxException(
        QStringLiteral("La connessione al database si è interrotta: il server non risponde o la "
                       "rete non è raggiungibile.\r\rQuanto non era ancora stato confermato non è "
                       "stato salvato. Ripetere l'operazione quando il server è di nuovo in "
                       "funzione: Tavrin si ricollega da solo."),
        EVxException::Error, engineText);
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

bool isLockWaitRefused(const EVxException &e)
{
    return e.message() == lockWaitRefused().message();
}

EVxException rowGoneError()
{
    return EVxException(QStringLiteral("La riga non è più nell'archivio: forse è stata cancellata "
                                       "da un'altra postazione. Aggiornare l'elenco."));
}

EVxException concurrentChangeError(const QString &engineText)
{
    return EVxException(kConcurrentChange, EVxException::Error, engineText);
}

bool isConcurrentChange(const EVxException &e)
{
    return e.message() == kConcurrentChange;
}

bool isDuplicateEntry(const EVxException &e)
{
    return e.message() == kDuplicateEntry;
}

QString textTooLongMessage(const QString &field, int maxLength)
{
    return QStringLiteral("Il testo è troppo lungo per il campo %1 (al massimo %2 caratteri).")
        .arg(field)
        .arg(maxLength);
}

QString engineText(const QSqlError &error)
{
    const QString engine = error.databaseText().trimmed();
    return engine.isEmpty() ? error.driverText().trimmed() : engine;
}

EVxException statementRefused(const QSqlError &error, const TVxFieldValues &values)
{
    const QString engineText = ::engineText(error);
    const QString code = error.nativeErrorCode();
    QString office;
    if (isConnectionLost(error))
        return connectionLostError(engineText);
    if (isStorageFailure(error))
        return databaseStorageError(engineText);
    if (code == kUpdateConflict)
        return concurrentChangeError(engineText);
    if (code == kForeignKey && engineText.contains(QLatin1String("references are present")))
        office = QStringLiteral("La voce è in uso e non può essere eliminata.");
    else if (code == kForeignKey && engineText.contains(QLatin1String("does not exist")))
        office = QStringLiteral("La voce collegata non esiste più nell'archivio: aggiornare "
                                "l'elenco e sceglierla di nuovo.");
    else if (code == kUniqueKey)
        office = kDuplicateEntry;
    else if (code == kArithmetic && engineText.contains(QLatin1String("string right truncation"))) {
        int maxLength = 0;
        const QString field = overlongField(engineText, values, &maxLength);
        office = field.isEmpty() ? QStringLiteral("Il testo è troppo lungo per uno dei campi.")
                                 : textTooLongMessage(field, maxLength);
    }
    const QString raised = code == kRaisedException ? raisedText(engineText) : QString();
    if (office.isEmpty() && !raised.isEmpty())
        return EVxException::general(
            QStringLiteral("Il database ha rifiutato l'operazione: %1").arg(raised), engineText);
    if (office.isEmpty())
        return EVxException::general(QStringLiteral("Il database ha rifiutato l'operazione."),
                                     engineText);
    return EVxException(office, EVxException::Error, engineText);
}

bool isConnectionLost(const EVxException &e)
{
    return e.message() == connectionLostError().message();
}
