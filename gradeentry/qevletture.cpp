#include "gradeentry/qevletture.h"

#include "platform/connection.h"
#include "platform/fieldvalue.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

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

TqevTesto::TqevTesto(const QString &tabella, const QString &chiave, const QString &colonna,
                     const QString &nome)
    : m_tabella(tabella), m_chiave(chiave), m_colonna(colonna), m_nome(nome)
{
}

QString TqevTesto::Colonne() const
{
    // The cast of a longer text would fail the whole read: such a text stays out of the row.
    return QStringLiteral("CASE WHEN CHAR_LENGTH(%1) <= %3 THEN CAST(%1 AS VARCHAR(%3)) END AS "
                          "%2, CHAR_LENGTH(%1) AS %2_N")
        .arg(m_colonna, m_nome)
        .arg(kTestoInRiga);
}

QString TqevTesto::Leggi(const QSqlQuery &q, const QSqlRecord &rec, int chiave,
                         const std::function<void(const QString &)> &scrivi)
{
    const QVariant testo = q.value(rec.indexOf(m_nome));
    if (testo.isNull() &&
        q.value(rec.indexOf(m_nome + QStringLiteral("_N"))).toInt() > kTestoInRiga)
        m_lunghi.append({chiave, scrivi});
    return testoDi(testo);
}

void TqevTesto::Completa()
{
    if (m_lunghi.isEmpty())
        return;
    const QString sql =
        QStringLiteral("SELECT %1 FROM %2 WHERE %3 = :iChiave").arg(m_colonna, m_tabella, m_chiave);
    TVxTransactionScope scope(qqoVxGlobConn());
    for (const auto &[chiave, scrivi] : std::as_const(m_lunghi)) {
        QSqlQuery &q = scope.transaction().Exec(sql, valuesOf({{"iChiave", chiave}}));
        if (fetchNext(q))
            scrivi(testoDi(q.value(0)));
        q.finish();
    }
    scope.Commit();
    m_lunghi.clear();
}
