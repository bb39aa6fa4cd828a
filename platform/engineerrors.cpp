#include "platform/engineerrors.h"

#include "platform/sqlparams.h"

#include <QRegularExpression>
#include <QSqlError>

namespace {

// Firebird's SQLCODEs, which the driver gives as the native error code.
const QString kForeignKey = QStringLiteral("-530");
const QString kUniqueKey = QStringLiteral("-803");
const QString kArithmetic = QStringLiteral("-802");

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

} // namespace

QString textTooLongMessage(const QString &field, int maxLength)
{
    return QStringLiteral("Il testo è troppo lungo per il campo %1 (al massimo %2 caratteri).")
        .arg(field)
        .arg(maxLength);
}

EVxException statementRefused(const QSqlError &error, const TVxFieldValues &values)
{
    const QString engineText = error.text();
    const QString code = error.nativeErrorCode();
    QString office;
    if (code == kForeignKey && engineText.contains(QLatin1String("references are present")))
        office = QStringLiteral("La voce è in uso e non può essere eliminata.");
    else if (code == kForeignKey && engineText.contains(QLatin1String("does not exist")))
        office = QStringLiteral("La voce collegata non esiste più nell'archivio: aggiornare "
                                "l'elenco e sceglierla di nuovo.");
    else if (code == kUniqueKey)
        office = QStringLiteral("Esiste già una voce con questi dati.");
    else if (code == kArithmetic && engineText.contains(QLatin1String("string right truncation"))) {
        int maxLength = 0;
        const QString field = overlongField(engineText, values, &maxLength);
        office = field.isEmpty() ? QStringLiteral("Il testo è troppo lungo per uno dei campi.")
                                 : textTooLongMessage(field, maxLength);
    }
    if (office.isEmpty())
        return EVxException(QStringLiteral("Errore del database:\r%1").arg(engineText));
    return EVxException(office, EVxException::Error, engineText);
}
