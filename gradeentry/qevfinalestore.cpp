#include "gradeentry/qevfinalestore.h"

#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/fieldvalue.h"
#include "platform/transaction.h"

#include <QSqlQuery>

namespace {

const char kGdzCarica[] =
    "SELECT TGdz.iGdzId, TGdz.iSitId, TClsSes.iClsSesId, TGdz.iAnsSesDwgId, TGdz.bGdzGiudizio, "
    "TGdz.dInsert, TGdz.dStart, TGdz.dEnd, TClsSes.iClsId "
    "FROM TGdz_Giudizi TGdz "
    "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGdz.iSitId) "
    "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
    "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId) AND "
    "(TClsSes.iAnsSesDwgId = TGdz.iAnsSesDwgId) "
    "WHERE (TClsSes.iClsSesId = :iClsSesId AND TSit.iSitId = :iSitId) "
    "ORDER BY TGdz.iGdzId";

const char kGdzTrova[] = "SELECT TGdz.iGdzId FROM TGdz_Giudizi TGdz WHERE TGdz.iSitId = :iSitId "
                         "AND TGdz.iAnsSesDwgId = :iAnsSesDwgId";

const char kGdzInserisci[] =
    "INSERT INTO TGdz_Giudizi (iGdzId, iSitId, iAnsSesDwgId, bGdzGiudizio, dInsert, dStart, "
    "dEnd) VALUES (:iGdzId, :iSitId, :iAnsSesDwgId, :bGdzGiudizio, :dInsert, :dStart, :dEnd)";

const char kFinCarica[] =
    "SELECT TSit.iSitId, TSit.iPosFinId, VPosFin.sStaFinDettSDesc, TClsPst.iClsId "
    "FROM TSit_Situazioni TSit "
    "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
    "LEFT OUTER JOIN VPosFin VPosFin ON (VPosFin.iPosFinId = TSit.iPosFinId) "
    "WHERE TSit.iSitId = :iSitId";

const char kFinAggiorna[] = "UPDATE TSIT_SITUAZIONI SET iPosFinId=:iPosFinId WHERE iSitId=:iSitId";

const TqevTabella &tabellaGiudizi()
{
    static const TqevTabella t{QStringLiteral("TGDZ_GIUDIZI"),
                               QStringLiteral("iGdzId"),
                               QString::fromLatin1(kGdzTrova),
                               QString::fromLatin1(kGdzInserisci),
                               {}};
    return t;
}

TVxFieldValues cellaGiudizio(int iSitId, int iAnsSesDwgId)
{
    return valuesOf({{"iSitId", iSitId}, {"iAnsSesDwgId", iAnsSesDwgId}});
}

TVxFieldValues testoGiudizio(const QString &testo)
{
    return valuesOf({{"bGdzGiudizio", testo}});
}

// Runs a select of one pupil and hands its first row, if any, to the reader.
template <typename Read> void primaRiga(const QString &sql, const TVxFieldValues &values, Read read)
{
    TVxTransactionScope scope(qqoVxGlobConn());
    QSqlQuery &q = scope.transaction().Exec(sql, values);
    if (fetchNext(q))
        read(q);
    q.finish();
    scope.Commit();
}

} // namespace

QString TqevGdzStore::SqlCarica()
{
    return QString::fromLatin1(kGdzCarica);
}

QString TqevGdzStore::SqlTrova()
{
    return QString::fromLatin1(kGdzTrova);
}

QString TqevGdzStore::SqlInserisci()
{
    return QString::fromLatin1(kGdzInserisci);
}

QString TqevGdzStore::SqlAggiorna()
{
    return ::SqlAggiorna(tabellaGiudizi(), QStringLiteral("bGdzGiudizio"));
}

QString TqevGdzStore::SqlCancella()
{
    return ::SqlCancella(tabellaGiudizi());
}

TqevGiudizio TqevGdzStore::Carica(int iClsSesId, int iSitId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsSesId"), iClsSesId);
    values.setValue(QStringLiteral("iSitId"), iSitId);
    TqevGiudizio g;
    primaRiga(SqlCarica(), values, [&g](const QSqlQuery &q) {
        bool ok = false;
        g.iGdzId = q.value(0).toInt();
        g.testo = normalizeFieldValue(ftMemo, q.value(4), &ok).toString();
    });
    return g;
}

int TqevGdzStore::Inserisci(TVxTransaction &tr, int iSitId, int iAnsSesDwgId, const QString &testo,
                            const QDate &dStart, const QDate &dEnd) const
{
    return InserisciCella(tr, tabellaGiudizi(), cellaGiudizio(iSitId, iAnsSesDwgId),
                          testoGiudizio(testo), dStart, dEnd);
}

void TqevGdzStore::Aggiorna(TVxTransaction &tr, int iGdzId, const QString &testo) const
{
    AggiornaRiga(tr, tabellaGiudizi(), iGdzId, testoGiudizio(testo));
}

void TqevGdzStore::Cancella(TVxTransaction &tr, int iGdzId, int iSitId, int iAnsSesDwgId) const
{
    CancellaCella(tr, tabellaGiudizi(), iGdzId, cellaGiudizio(iSitId, iAnsSesDwgId));
}

QString TqevFinStore::SqlCarica()
{
    return QString::fromLatin1(kFinCarica);
}

QString TqevFinStore::SqlAggiorna()
{
    return QString::fromLatin1(kFinAggiorna);
}

TqevEsito TqevFinStore::Carica(int iSitId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iSitId"), iSitId);
    TqevEsito e;
    primaRiga(SqlCarica(), values, [&e](const QSqlQuery &q) {
        e.iPosFinId = q.value(1).toInt();
        e.sStaFinDettSDesc = q.value(2).toString().trimmed();
    });
    return e;
}

void TqevFinStore::Aggiorna(TVxTransaction &tr, int iSitId, int iPosFinId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iPosFinId"), iPosFinId != 0 ? QVariant(iPosFinId) : QVariant());
    values.setValue(QStringLiteral("iSitId"), iSitId);
    tr.ExecRow(SqlAggiorna(), values);
}
