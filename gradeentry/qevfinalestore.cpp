#include "gradeentry/qevfinalestore.h"

#include "gradeentry/qevletture.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// %1 the text, %2 the condition on one pupil.
const char kGdzCarica[] =
    "SELECT TGdz.iGdzId, TGdz.iSitId, TClsSes.iClsSesId, TGdz.iAnsSesDwgId, %1, "
    "TGdz.dInsert, TGdz.dStart, TGdz.dEnd, TClsSes.iClsId "
    "FROM TGdz_Giudizi TGdz "
    "INNER JOIN TSit_Situazioni TSit ON (TSit.iSitId = TGdz.iSitId) "
    "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsPstId = TSit.iClsPstId) "
    "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsId = TClsPst.iClsId) AND "
    "(TClsSes.iAnsSesDwgId = TGdz.iAnsSesDwgId) "
    "WHERE TClsSes.iClsSesId = :iClsSesId%2 "
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
    "WHERE %1";

const char kFinAggiorna[] = "UPDATE TSIT_SITUAZIONI SET iPosFinId=:iPosFinId WHERE iSitId=:iSitId";

const TqevTabella &tabellaGiudizi()
{
    static const TqevTabella t{QStringLiteral("TGDZ_GIUDIZI"), QStringLiteral("iGdzId"),
                               QString::fromLatin1(kGdzTrova), QString::fromLatin1(kGdzInserisci),
                               true};
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

} // namespace

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

QHash<int, TqevGiudizio> TqevGdzStore::Carica(int iClsSesId, int iSitId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsSesId"), iClsSesId);
    if (iSitId != 0)
        values.setValue(QStringLiteral("iSitId"), iSitId);
    TqevTesto testo(QStringLiteral("TGdz_Giudizi TGdz"), QStringLiteral("TGdz.iGdzId"),
                    QStringLiteral("TGdz.bGdzGiudizio"), QStringLiteral("bGdzGiudizio"));
    const QString sql =
        QString::fromLatin1(kGdzCarica)
            .arg(testo.Colonne(),
                 iSitId != 0 ? QStringLiteral(" AND TSit.iSitId = :iSitId") : QString());
    QHash<int, TqevGiudizio> giudizi;
    VxEachRow(qqoVxGlobConn(), sql, values, [&](const QSqlQuery &q, const QSqlRecord &rec) {
        const int situazione = q.value(rec.indexOf(QStringLiteral("iSitId"))).toInt();
        if (giudizi.contains(situazione))
            return;
        TqevGiudizio g;
        g.iGdzId = q.value(rec.indexOf(QStringLiteral("iGdzId"))).toInt();
        g.testo = testo.Leggi(q, rec, g.iGdzId, [&giudizi, situazione](const QString &t) {
            giudizi[situazione].testo = t;
        });
        giudizi.insert(situazione, g);
    });
    testo.Completa();
    return giudizi;
}

QHash<QString, TVxRiga> TqevGdzStore::Righe(int iClsSesId, int iSitId) const
{
    QHash<QString, TVxRiga> righe;
    const QHash<int, TqevGiudizio> giudizi = Carica(iClsSesId, iSitId);
    for (auto it = giudizi.cbegin(); it != giudizi.cend(); ++it)
        righe.insert(Id(it.key()), {it->iGdzId, MappaValori(testoGiudizio(it->testo))});
    return righe;
}

QString TqevGdzStore::Id(int iSitId)
{
    return QString::number(iSitId);
}

TVxRiga TqevGdzStore::Letta(int iGdzId, const QString &testoLetto)
{
    return {iGdzId, iGdzId != 0 ? MappaValori(testoGiudizio(testoLetto)) : QVariantMap()};
}

QString TqevGdzStore::Testo(const TVxRiga &riga)
{
    return riga.valori.value(QStringLiteral("bGdzGiudizio")).toString();
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

QString TqevFinStore::SqlAggiorna()
{
    return QString::fromLatin1(kFinAggiorna);
}

QHash<int, TqevEsito> TqevFinStore::Carica(int iClsId, int iSitId) const
{
    const TVxFieldValues values =
        iSitId != 0 ? valuesOf({{"iSitId", iSitId}}) : valuesOf({{"iClsId", iClsId}});
    const QString sql = QString::fromLatin1(kFinCarica)
                            .arg(iSitId != 0 ? QStringLiteral("TSit.iSitId = :iSitId")
                                             : QStringLiteral("TClsPst.iClsId = :iClsId"));
    QHash<int, TqevEsito> esiti;
    VxEachRow(qqoVxGlobConn(), sql, values, [&esiti](const QSqlQuery &q, const QSqlRecord &) {
        TqevEsito e;
        e.iPosFinId = q.value(1).toInt();
        e.sStaFinDettSDesc = q.value(2).toString().trimmed();
        esiti.insert(q.value(0).toInt(), e);
    });
    return esiti;
}

QHash<QString, TVxRiga> TqevFinStore::Righe(int iClsId, int iSitId) const
{
    QHash<QString, TVxRiga> righe;
    const QHash<int, TqevEsito> esiti = Carica(iClsId, iSitId);
    for (auto it = esiti.cbegin(); it != esiti.cend(); ++it)
        righe.insert(Id(it.key()), Letta(it.key(), it->iPosFinId));
    return righe;
}

QString TqevFinStore::Id(int iSitId)
{
    return QString::number(iSitId);
}

TVxRiga TqevFinStore::Letta(int iSitId, int iPosFinId)
{
    return {iSitId, {{QStringLiteral("iPosFinId"), iPosFinId}}};
}

int TqevFinStore::Esito(const TVxRiga &riga)
{
    return riga.valori.value(QStringLiteral("iPosFinId")).toInt();
}

void TqevFinStore::Aggiorna(TVxTransaction &tr, int iSitId, int iPosFinId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iPosFinId"), iPosFinId != 0 ? QVariant(iPosFinId) : QVariant());
    values.setValue(QStringLiteral("iSitId"), iSitId);
    tr.ExecRow(SqlAggiorna(), values);
}
