#include "gradeentry/qevletture.h"

#include "platform/connection.h"
#include "platform/fieldvalue.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The length travels beside the text under the text's name and this ending.
const QString kLunghezza = QStringLiteral("_N");

QString testoDi(const QVariant &value)
{
    bool ok = false;
    return normalizeFieldValue(ftMemo, value, &ok).toString();
}

} // namespace

TqevSituazioni SituazioniAlunni(const QString &alias, bool classe)
{
    if (!classe)
        return {QStringLiteral("TSit_Situazioni %1 ").arg(alias),
                QStringLiteral("%1.iAnaId = :iAnaId").arg(alias)};
    return {QStringLiteral("(SELECT DISTINCT Alu.iAnaId FROM TSit_Situazioni Alu "
                           "INNER JOIN TClsPst AluPst ON (AluPst.iClsPstId = Alu.iClsPstId) "
                           "WHERE AluPst.iClsId = :iClsId AND Alu.iSitOrdine = 1 AND "
                           "Alu.iSitPosReg > 0) Classe "
                           "INNER JOIN TSit_Situazioni %1 ON (%1.iAnaId = Classe.iAnaId) ")
                .arg(alias),
            QStringLiteral("1 = 1")};
}

QString TestoInRiga(const QString &colonna, const QString &nome)
{
    // The cast of a longer text would fail the whole read: such a text stays out of the row.
    return QStringLiteral("CASE WHEN CHAR_LENGTH(%1) <= %3 THEN CAST(%1 AS VARCHAR(%3)) END AS "
                          "%2, CHAR_LENGTH(%1) AS %2%4")
        .arg(colonna, nome)
        .arg(kTestoInRiga)
        .arg(kLunghezza);
}

std::optional<QString> TestoLetto(const QSqlQuery &q, const QSqlRecord &rec, const QString &nome)
{
    const QVariant testo = q.value(rec.indexOf(nome));
    const int lunghezza = rec.indexOf(nome + kLunghezza);
    if (testo.isNull() && lunghezza >= 0 && q.value(lunghezza).toInt() > kTestoInRiga)
        return std::nullopt;
    return testoDi(testo);
}

QHash<int, QString> TestiInteri(const QString &tabella, const QString &chiave,
                                const QString &colonna, const QList<int> &chiavi)
{
    QHash<int, QString> testi;
    if (chiavi.isEmpty())
        return testi;
    const QString sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = :iChiave").arg(colonna, tabella, chiave);
    TVxTransactionScope scope(qqoVxGlobConn());
    for (int key : chiavi) {
        QSqlQuery &q = scope.transaction().Exec(sql, valuesOf({{"iChiave", key}}));
        if (fetchNext(q))
            testi.insert(key, testoDi(q.value(0)));
        q.finish();
    }
    scope.Commit();
    return testi;
}
