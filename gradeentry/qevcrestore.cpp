#include "gradeentry/qevcrestore.h"

#include "gradeentry/qevletture.h"
#include "gradeentry/qevregolevalori.h"
#include "gradeentry/qevsalva.h"
#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/fieldvalue.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace {

const char kBande[] =
    "SELECT DISTINCT Bnd.iBndId, Bnd.sBndDesc, Bnd.iBndMedMin, Bnd.iBndMedMax, Bnd.iBndCreMin, "
    "Bnd.iBndCreMax "
    "FROM TClsSes ClsSes "
    "INNER JOIN TTbnBnd TbnBnd ON (TbnBnd.iTbnId = ClsSes.iTbnId) "
    "INNER JOIN TBnd_Bande Bnd ON (Bnd.iBndId = TbnBnd.iBndId) "
    "WHERE ClsSes.iClsSesId = :iClsSesId "
    "ORDER BY Bnd.iBndId";

// The bands of the course years: every year's, or those of a situation's class, found from the
// situation (its key) so that no class or band is read but its own.
const char kBandeColonne[] = "SELECT Bnd.iAcsId, Bnd.iBndId, Bnd.sBndDesc, Bnd.iBndMedMin, "
                             "Bnd.iBndMedMax, Bnd.iBndCreMin, Bnd.iBndCreMax ";
const char kBandeCorsi[] = "FROM TBnd_Bande Bnd ";
const char kBandeSituazione[] = "FROM TSit_Situazioni Sit "
                                "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
                                "INNER JOIN TCls_Classi Cls ON (Cls.iClsId = ClsPst.iClsId) "
                                "INNER JOIN TBnd_Bande Bnd ON (Bnd.iAcsId = Cls.iAcsId) "
                                "WHERE Sit.iSitId = :iSitId ";
const char kBandeOrdine[] = "ORDER BY Bnd.iAcsId, Bnd.iBndId";

// The statuses whose situations bear a credit: admitted, suitable, admitted to the exam,
// suspended; or no outcome yet.
#define CREDITO_STATI "(PosFin.iStaFinId IN (1, 3, 5, 11) OR Sit.iPosFinId IS NULL)"

const char kAnniCorso[] =
    "SELECT Acs.iTbnId, MIN(Acs.iAcsAnnoCorso) "
    "FROM TClsSes ClsSes "
    "INNER JOIN TClsPst ClsPstCls ON (ClsPstCls.iClsId = ClsSes.iClsId) "
    "INNER JOIN TSit_Situazioni SitCls ON (SitCls.iClsPstId = ClsPstCls.iClsPstId) "
    "INNER JOIN TSit_Situazioni Sit ON (Sit.iAnaId = SitCls.iAnaId) "
    "INNER JOIN TAns_AnniScolast Ans ON (Sit.dStart = Ans.dAnsVextoInizio) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "INNER JOIN TCls_Classi Cls ON (Cls.iClsId = ClsPst.iClsId) "
    "INNER JOIN TAcs_AnniCorso Acs ON (Acs.iAcsId = Cls.iAcsId) "
    "LEFT JOIN TPosFin PosFin ON (PosFin.iPosFinId = Sit.iPosFinId) "
    "WHERE ClsSes.iClsSesId = :iClsSesId AND Sit.iSitOrdine = 1 AND " CREDITO_STATI " "
    "AND Acs.iTbnId IS NOT NULL "
    "GROUP BY Acs.iTbnId";

// %1 the pupils' situations, %2 the credit's note, %3 the condition on the pupils. The last
// key of the order only settles ties: a pupil's rows come in one order, read for him or for
// his class.
const char kCrediti[] =
    "SELECT Sit.iSitId, Cre.iCreId, Cls.sClsSDesc, "
    "CAST(Ans.iAnsValore AS CHAR(4)) || '/' || CAST(Ans.iAnsValore + 1 AS CHAR(4)) AS sAnnoScol, "
    "Cre.fCreMediaVoti, Acs.iTbnId, Cre.iBndId, Bnd.sBndDesc, Bnd.iBndMedMin, Bnd.iBndMedMax, "
    "Bnd.iBndCreMin, Bnd.iBndCreMax, Cre.iCrePerMedia, Cre.iCreOutBanda, Cre.iCreFrmSco, "
    "Cre.iCreSosp, Cre.iCreRecup, Cre.iCreCredito, Cre.iEncId, Enc.sEncSDesc, %2, "
    "Acs.iAcsId, Acs.iAcsAnnoCorso, Ans.iAnsId, Sit.iAnaId, "
    "(SELECT COUNT(*) FROM TDeb_Debiti Deb WHERE Deb.iSitId = Sit.iSitId) AS iNumDeb, "
    "(SELECT COUNT(*) FROM TDeb_Debiti Deb "
    "INNER JOIN TDesDed DesDed ON (DesDed.iDesDedId = Deb.iDesDedId) "
    "INNER JOIN TDes_DebEsito Des ON (Des.iDesId = DesDed.iDesId) "
    "WHERE Deb.iSitId = Sit.iSitId AND Des.iDesSufficiente = 1) AS iNumDebSuff "
    "FROM %1"
    "INNER JOIN TAns_AnniScolast Ans ON (Sit.dStart = Ans.dAnsVextoInizio) "
    "INNER JOIN TClsPst ClsPst ON (ClsPst.iClsPstId = Sit.iClsPstId) "
    "LEFT JOIN TCre_Crediti Cre ON (Cre.iSitId = Sit.iSitId) "
    "LEFT JOIN TPosFin PosFin ON (PosFin.iPosFinId = Sit.iPosFinId) "
    "LEFT JOIN VCls_Classi Cls ON (Cls.iClsId = ClsPst.iClsId) "
    "LEFT JOIN TAcs_AnniCorso Acs ON (Acs.iAcsId = Cls.iAcsId) "
    "LEFT JOIN TBnd_Bande Bnd ON (Bnd.iBndId = Cre.iBndId) "
    "LEFT JOIN TEnc_Encomio Enc ON (Enc.iEncId = Cre.iEncId) "
    "WHERE %3 AND (Sit.iSitOrdine = 1 OR Cre.lCreConsideraCurrDis = 1) "
    "AND " CREDITO_STATI " "
    "ORDER BY Cls.iClsOrdine, Ans.iAnsId DESC, Sit.iSitOrdine, Sit.iSitId";

// %1 the pupils' situations, %2 the credit's note, %3 the condition on the pupils.
const char kRighe[] = "SELECT Sit.iSitId, Cre.iCreId, Cre.iCreCredito, Cre.iCrePerMedia, "
                      "Cre.iBndId, Cre.iCreOutBanda, Cre.fCreMediaVoti, Cre.iCreFrmSco, "
                      "Cre.iCreSosp, Cre.iCreRecup, Cre.iEncId, %2 "
                      "FROM %1"
                      "INNER JOIN TCre_Crediti Cre ON (Cre.iSitId = Sit.iSitId) "
                      "WHERE %3";

const char kStatoDebiti[] = "SELECT Des.iDesSufficiente FROM TDeb_Debiti Deb "
                            "LEFT JOIN TDesDed DesDed ON (DesDed.iDesDedId = Deb.iDesDedId) "
                            "LEFT JOIN TDes_DebEsito Des ON (Des.iDesId = DesDed.iDesId) "
                            "WHERE Deb.iSitId = :iSitId";

const char kTrova[] = "SELECT Cre.iCreId, Cre.iCreCredito, Cre.iCrePerMedia, Cre.iBndId, "
                      "Cre.iCreOutBanda, Cre.fCreMediaVoti, Cre.iCreFrmSco, Cre.iCreSosp, "
                      "Cre.iCreRecup, Cre.iEncId, Cre.bCreNota "
                      "FROM TCre_Crediti Cre WHERE Cre.iSitId = :iSitId";

const char kInserisci[] =
    "INSERT INTO TCRE_CREDITI (iCreId, iSitId, iCreCredito, iCrePerMedia, iBndId, iCreOutBanda, "
    "fCreMediaVoti, iCreFrmSco, iCreSosp, iCreRecup, iEncId, bCreNota, dInsert, dStart, dEnd) "
    "VALUES (:iCreId, :iSitId, :iCreCredito, :iCrePerMedia, :iBndId, :iCreOutBanda, "
    ":fCreMediaVoti, :iCreFrmSco, :iCreSosp, :iCreRecup, :iEncId, :bCreNota, :dInsert, :dStart, "
    ":dEnd)";

// One row per situation (the table's unique key); the save reads every changed row before it
// writes.
const TqevTabella &tabellaCrediti()
{
    static const TqevTabella crediti{QStringLiteral("TCRE_CREDITI"), QStringLiteral("iCreId"),
                                     QString::fromLatin1(kTrova), QString::fromLatin1(kInserisci),
                                     true};
    return crediti;
}

// The two check lists: the kinds' table and the marks' table with their columns, and the
// removal of a mark (each list's own statement, as every write of these tables is named).
struct Lista
{
    const char *voci;
    const char *tabella; // as PYSetGetId names it
    const char *chiave;
    const char *tipo;
    const char *togli;
};

const Lista kListe[] = {
    {"SELECT Sco.iScoId, Sco.sScoLDesc FROM TSco_Scolastici Sco WHERE Sco.lScoVisible = 1 "
     "ORDER BY Sco.iScoId",
     "TCRESCO", "iCreScoId", "iScoId",
     "DELETE FROM TCreSco WHERE iCreId = :iCreId AND iScoId = :iTipo"},
    {"SELECT Frm.iFrmId, Frm.sFrmLDesc FROM TFrm_Formativi Frm WHERE Frm.lFrmVisible = 1 "
     "ORDER BY Frm.iFrmId",
     "TCREFRM", "iCreFrmId", "iFrmId",
     "DELETE FROM TCreFrm WHERE iCreId = :iCreId AND iFrmId = :iTipo"},
};

const Lista &listaDi(TqevListaCrediti lista)
{
    return kListe[lista == TqevListaCrediti::Scolastici ? 0 : 1];
}

TVxFieldValues valori(const char *name, const QVariant &value)
{
    TVxFieldValues values;
    values.setValue(QString::fromLatin1(name), value);
    return values;
}

QVariant campo(const QSqlQuery &q, const QSqlRecord &rec, const char *name)
{
    return q.value(rec.indexOf(QString::fromLatin1(name)));
}

int intero(const QSqlQuery &q, const QSqlRecord &rec, const char *name)
{
    return campo(q, rec, name).toInt();
}

QString testo(const QSqlQuery &q, const QSqlRecord &rec, const char *name)
{
    return campo(q, rec, name).toString().trimmed();
}

QString nota(const QVariant &blob)
{
    bool ok = false;
    return normalizeFieldValue(ftMemo, blob, &ok).toString();
}

// A row's values by column name, as a select reads them or a TVxRiga holds them.
template <class Campo> TValCredito valoriDi(const Campo &campo)
{
    TValCredito v;
    v.iCreCredito = campo("iCreCredito").toInt();
    v.iCrePerMedia = campo("iCrePerMedia").toInt();
    v.iBndId = campo("iBndId").toInt();
    v.iCreOutBanda = campo("iCreOutBanda").toInt();
    v.fCreMediaVoti = campo("fCreMediaVoti").toDouble();
    v.iCreFrmSco = campo("iCreFrmSco").toInt();
    v.iCreSosp = campo("iCreSosp").toInt();
    v.iCreRecup = campo("iCreRecup").toInt();
    v.iEncId = campo("iEncId").toInt();
    v.sNota = nota(campo("bCreNota"));
    return v;
}

TValCredito valoriLetti(const QSqlQuery &q, const QSqlRecord &rec)
{
    return valoriDi([&](const char *name) { return campo(q, rec, name); });
}

// A number of the row as the table takes it: 0 is no value.
QVariant numero(int value)
{
    return value != 0 ? QVariant(value) : QVariant();
}

void valoriRiga(TVxFieldValues &values, const TValCredito &v)
{
    values.setValue(QStringLiteral("iCreCredito"), numero(v.iCreCredito));
    values.setValue(QStringLiteral("iCrePerMedia"), numero(v.iCrePerMedia));
    values.setValue(QStringLiteral("iBndId"), numero(v.iBndId));
    values.setValue(QStringLiteral("iCreOutBanda"), numero(v.iCreOutBanda));
    values.setValue(QStringLiteral("fCreMediaVoti"),
                    v.fCreMediaVoti != 0 ? QVariant(v.fCreMediaVoti) : QVariant());
    values.setValue(QStringLiteral("iCreFrmSco"), numero(v.iCreFrmSco));
    values.setValue(QStringLiteral("iCreSosp"), numero(v.iCreSosp));
    values.setValue(QStringLiteral("iCreRecup"), numero(v.iCreRecup));
    values.setValue(QStringLiteral("iEncId"), numero(v.iEncId));
    values.setValue(QStringLiteral("bCreNota"),
                    v.sNota.trimmed().isEmpty() ? QVariant() : QVariant(v.sNota));
}

} // namespace

QString TqevBanda::sBndMed() const
{
    return QStringLiteral("%1-%2").arg(iBndMedMin).arg(iBndMedMax);
}

QString TqevBanda::sBndCre() const
{
    return QStringLiteral("%1-%2").arg(iBndCreMin).arg(iBndCreMax);
}

const TqevBanda *BandaDi(const QList<TqevBanda> &bande, double media)
{
    const int intera = int(std::floor(media));
    if (intera < 1)
        return nullptr;
    const TqevBanda *trovata = nullptr;
    if (media == intera) {
        for (const TqevBanda &b : bande) {
            if (b.iBndMedMin == intera && b.iBndMedMax == intera)
                trovata = &b;
        }
    }
    if (trovata)
        return trovata;
    for (const TqevBanda &b : bande) {
        if (b.iBndMedMin < media && media <= b.iBndMedMax)
            trovata = &b;
    }
    return trovata;
}

namespace {

TqevBanda bandaLetta(const QSqlQuery &q, const QSqlRecord &rec)
{
    TqevBanda b;
    b.iBndId = intero(q, rec, "iBndId");
    b.sBndDesc = testo(q, rec, "sBndDesc");
    b.iBndMedMin = intero(q, rec, "iBndMedMin");
    b.iBndMedMax = intero(q, rec, "iBndMedMax");
    b.iBndCreMin = intero(q, rec, "iBndCreMin");
    b.iBndCreMax = intero(q, rec, "iBndCreMax");
    return b;
}

} // namespace

QList<TqevBanda> TqevCreStore::Bande(int iClsSesId)
{
    QList<TqevBanda> bande;
    VxEachRow(
        qqoVxGlobConn(), QString::fromLatin1(kBande), valori("iClsSesId", iClsSesId),
        [&bande](const QSqlQuery &q, const QSqlRecord &rec) { bande.append(bandaLetta(q, rec)); });
    return bande;
}

QList<TqevBanda> TqevCreStore::BandeDellaSituazione(int iSitId)
{
    QList<TqevBanda> bande;
    VxEachRow(qqoVxGlobConn(),
              QString::fromLatin1(kBandeColonne) + QLatin1String(kBandeSituazione) +
                  QLatin1String(kBandeOrdine),
              valori("iSitId", iSitId), [&bande](const QSqlQuery &q, const QSqlRecord &rec) {
                  bande.append(bandaLetta(q, rec));
              });
    return bande;
}

QHash<int, QList<TqevBanda>> TqevCreStore::BandeDeiCorsi()
{
    QHash<int, QList<TqevBanda>> bande;
    VxEachRow(qqoVxGlobConn(),
              QString::fromLatin1(kBandeColonne) + QLatin1String(kBandeCorsi) +
                  QLatin1String(kBandeOrdine),
              {}, [&bande](const QSqlQuery &q, const QSqlRecord &rec) {
                  bande[intero(q, rec, "iAcsId")].append(bandaLetta(q, rec));
              });
    return bande;
}

QMap<int, int> TqevCreStore::AnniCorso(int iClsSesId)
{
    QMap<int, int> anni;
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kAnniCorso), valori("iClsSesId", iClsSesId),
              [&anni](const QSqlQuery &q, const QSqlRecord &) {
                  anni.insert(q.value(0).toInt(), q.value(1).toInt());
              });
    return anni;
}

QHash<int, QList<std::shared_ptr<TRecCre>>> TqevCreStore::Crediti(int iAnaId, int iClsId)
{
    const bool classe = iAnaId == 0;
    const TqevSituazioni sit = SituazioniAlunni(QStringLiteral("Sit"), classe);
    TqevTesto nota(QStringLiteral("TCre_Crediti Cre"), QStringLiteral("Cre.iCreId"),
                   QStringLiteral("Cre.bCreNota"), QStringLiteral("bCreNota"));
    const QString sql = QString::fromLatin1(kCrediti).arg(sit.from, nota.Colonne(), sit.condizione);
    QHash<int, QList<std::shared_ptr<TRecCre>>> righe;
    VxEachRow(
        qqoVxGlobConn(), sql, classe ? valori("iClsId", iClsId) : valori("iAnaId", iAnaId),
        [&](const QSqlQuery &q, const QSqlRecord &rec) {
            auto cre = std::make_shared<TRecCre>();
            cre->iCreId = intero(q, rec, "iCreId");
            cre->iSitId = intero(q, rec, "iSitId");
            cre->sClsSDesc = testo(q, rec, "sClsSDesc").left(10);
            cre->sAnnoScol = testo(q, rec, "sAnnoScol").left(10);
            cre->iAnsId = intero(q, rec, "iAnsId");
            cre->iAcsId = intero(q, rec, "iAcsId");
            cre->iAcsAnnoCorso = intero(q, rec, "iAcsAnnoCorso");
            cre->iTbnId = intero(q, rec, "iTbnId");
            if (!campo(q, rec, "sBndDesc").isNull() || !campo(q, rec, "iBndMedMin").isNull()) {
                TqevBanda b;
                b.iBndMedMin = intero(q, rec, "iBndMedMin");
                b.iBndMedMax = intero(q, rec, "iBndMedMax");
                b.iBndCreMin = intero(q, rec, "iBndCreMin");
                b.iBndCreMax = intero(q, rec, "iBndCreMax");
                cre->sBndDesc = testo(q, rec, "sBndDesc");
                cre->sBndMed = b.sBndMed();
                cre->sBndCre = b.sBndCre();
            }
            cre->sEncSDesc = testo(q, rec, "sEncSDesc");
            TValCredito v = valoriLetti(q, rec);
            v.sNota = nota.Leggi(q, rec, cre->iCreId, [cre](const QString &t) {
                cre->Salvato.sNota = t;
                Imposta(*cre, cre->Salvato);
            });
            Imposta(*cre, v);
            cre->Salvato = v;
            const int debiti = intero(q, rec, "iNumDeb");
            cre->iStatoDeb = debiti == 0 ? 0 : (intero(q, rec, "iNumDebSuff") == debiti ? 2 : 1);
            righe[intero(q, rec, "iAnaId")].append(cre);
        });
    nota.Completa();
    return righe;
}

int TqevCreStore::StatoDebiti(int iSitId)
{
    int stato = 0;
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kStatoDebiti), valori("iSitId", iSitId),
              [&stato](const QSqlQuery &q, const QSqlRecord &) {
                  if (q.value(0).toInt() != 1)
                      stato = 1;
                  else if (stato == 0)
                      stato = 2;
              });
    return stato;
}

double TqevCreStore::MediaPerBanda(int iSitId, int iAnsId, int iClsSesId)
{
    SetAnsIdMedia(iAnsId);
    return RoundTo(MediaVoti(iSitId, -1, iClsSesId > 0 ? iClsSesId : 0, false), -2);
}

TValCredito TqevCreStore::Valori(const TRecCre &rec)
{
    TValCredito v;
    v.iCreCredito = rec.iCreCredito;
    v.iCrePerMedia = rec.iCrePerMedia;
    v.iBndId = rec.iBndId;
    v.iCreOutBanda = rec.iCreOutBanda;
    v.fCreMediaVoti = rec.fCreMediaVoti;
    v.iCreFrmSco = rec.iCreFrmSco;
    v.iCreSosp = rec.iCreSosp;
    v.iCreRecup = rec.iCreRecup;
    v.iEncId = rec.iEncId;
    v.sNota = rec.lsNota.join(QLatin1Char('\n'));
    return v;
}

void TqevCreStore::Imposta(TRecCre &rec, const TValCredito &v)
{
    rec.iCreCredito = v.iCreCredito;
    rec.iCrePerMedia = v.iCrePerMedia;
    rec.iBndId = v.iBndId;
    rec.iCreOutBanda = v.iCreOutBanda;
    rec.fCreMediaVoti = v.fCreMediaVoti;
    rec.iCreFrmSco = v.iCreFrmSco;
    rec.iCreSosp = v.iCreSosp;
    rec.iCreRecup = v.iCreRecup;
    rec.iEncId = v.iEncId;
    rec.lsNota = v.sNota.isEmpty() ? QStringList() : v.sNota.split(QLatin1Char('\n'));
}

int TqevCreStore::Inserisci(TVxTransaction &tr, int iSitId, const TValCredito &v,
                            const QDate &inizio, const QDate &fine, TValCredito &salvati)
{
    QSqlQuery &trova = tr.Exec(QString::fromLatin1(kTrova), valori("iSitId", iSitId));
    if (fetchNext(trova)) {
        const QSqlRecord rec = trova.record();
        const int esistente = intero(trova, rec, "iCreId");
        salvati = valoriLetti(trova, rec);
        trova.finish();
        return esistente;
    }
    trova.finish();
    const int key = VxNewKey(qqoVxGlobConn(), QStringLiteral("TCRE_CREDITI"));
    TVxFieldValues values = valori("iCreId", key);
    values.setValue(QStringLiteral("iSitId"), iSitId);
    valoriRiga(values, v);
    DateNuovaRiga(values, inizio, fine);
    try {
        tr.Exec(QString::fromLatin1(kInserisci), values);
    } catch (const EVxException &e) {
        // One row per situation: the one there already is another office's, committed after
        // this transaction began.
        if (isDuplicateEntry(e))
            throw InseritoInsieme(tabellaCrediti(), valori("iSitId", iSitId), e.detail());
        throw;
    }
    salvati = v;
    return key;
}

void TqevCreStore::Aggiorna(TVxTransaction &tr, int iCreId, const TValCredito &v,
                            const TValCredito *salvato)
{
    AggiornaRiga(tr, tabellaCrediti(), iCreId, v, salvato, valoriRiga);
}

QHash<QString, TVxRiga> TqevCreStore::Righe(int iAnaId, int iClsId)
{
    const bool classe = iAnaId == 0;
    const TqevSituazioni sit = SituazioniAlunni(QStringLiteral("Sit"), classe);
    TqevTesto nota(QStringLiteral("TCre_Crediti Cre"), QStringLiteral("Cre.iCreId"),
                   QStringLiteral("Cre.bCreNota"), QStringLiteral("bCreNota"));
    const QString sql = QString::fromLatin1(kRighe).arg(sit.from, nota.Colonne(), sit.condizione);
    QHash<int, std::pair<int, TValCredito>> letti;
    VxEachRow(qqoVxGlobConn(), sql, classe ? valori("iClsId", iClsId) : valori("iAnaId", iAnaId),
              [&](const QSqlQuery &q, const QSqlRecord &rec) {
                  const int iSitId = intero(q, rec, "iSitId");
                  const int iCreId = intero(q, rec, "iCreId");
                  TValCredito v = valoriLetti(q, rec);
                  v.sNota = nota.Leggi(q, rec, iCreId, [&letti, iSitId](const QString &t) {
                      letti[iSitId].second.sNota = t;
                  });
                  letti.insert(iSitId, {iCreId, v});
              });
    nota.Completa();
    QHash<QString, TVxRiga> righe;
    for (auto it = letti.cbegin(); it != letti.cend(); ++it)
        righe.insert(Id(it.key()),
                     RigaLetta(it->first, it->second, static_cast<const TValCredito *>(nullptr),
                               valoriRiga));
    return righe;
}

QString TqevCreStore::Id(int iSitId)
{
    return QString::number(iSitId);
}

TVxRiga TqevCreStore::Letta(int iCreId, const TValCredito &salvato, const TValCredito &nuovi)
{
    TVxRiga letta = RigaLetta(iCreId, salvato, &nuovi, valoriRiga);
    // A credit number is measured against its band: written only under the band it was typed
    // under, it is told, not stored outside the band another office set meanwhile.
    const QStringList numeri{QStringLiteral("iCreCredito"), QStringLiteral("iCrePerMedia"),
                             QStringLiteral("iCreFrmSco"), QStringLiteral("iCreSosp"),
                             QStringLiteral("iCreRecup")};
    const bool numeroCambiato = std::any_of(
        numeri.cbegin(), numeri.cend(), [&](const QString &n) { return letta.valori.contains(n); });
    if (iCreId != 0 && numeroCambiato) {
        const TVxRiga tutta =
            RigaLetta(iCreId, salvato, static_cast<const TValCredito *>(nullptr), valoriRiga);
        for (const char *banda : {"iBndId", "iCreOutBanda"}) {
            const QString nome = QString::fromLatin1(banda);
            letta.valori.insert(nome, tutta.valori.value(nome));
        }
    }
    return letta;
}

QString TqevCreStore::Rifiutato(int iSitId, const TValCredito &valori, const TValCredito *salvato)
{
    QString perche =
        TqevRegoleValori::CreditoRifiutato(BandeDellaSituazione(iSitId), valori, salvato);
    if (!perche.isEmpty())
        perche[0] = perche[0].toUpper();
    return perche;
}

TValCredito TqevCreStore::ValoriDi(const TVxRiga &riga)
{
    return valoriDi(
        [&riga](const char *name) { return riga.valori.value(QString::fromLatin1(name)); });
}

QString TqevCreStore::SqlVoci(TqevListaCrediti lista)
{
    return QString::fromLatin1(listaDi(lista).voci);
}

QSet<int> TqevCreStore::Spuntate(TqevListaCrediti lista, int iCreId)
{
    const Lista &l = listaDi(lista);
    QSet<int> spuntate;
    VxEachRow(qqoVxGlobConn(),
              QStringLiteral("SELECT Mrk.%1, Mrk.%2 FROM %3 Mrk WHERE Mrk.iCreId = :iCreId")
                  .arg(QLatin1String(l.chiave), QLatin1String(l.tipo), QLatin1String(l.tabella)),
              valori("iCreId", iCreId), [&spuntate](const QSqlQuery &q, const QSqlRecord &) {
                  if (q.value(0).toInt() != 0)
                      spuntate.insert(q.value(1).toInt());
              });
    return spuntate;
}

QSet<int> TqevCreStore::SalvaSpunte(TVxTransaction &tr, TqevListaCrediti lista, int iCreId,
                                    const QSet<int> &aggiunte, const QSet<int> &tolte,
                                    const QDate &inizio, const QDate &fine)
{
    const Lista &l = listaDi(lista);
    const QString tabella = QLatin1String(l.tabella);
    const QString tipo = QLatin1String(l.tipo);
    const QString cancella = QString::fromLatin1(l.togli);
    const QString inserisci = QStringLiteral("INSERT INTO %1 (%2, iCreId, %3, dInsert, dStart, "
                                             "dEnd) VALUES (:iKey, :iCreId, :iTipo, :dInsert, "
                                             ":dStart, :dEnd)")
                                  .arg(tabella, QLatin1String(l.chiave), tipo);
    // Read in this transaction: the marks another office stored or removed since the list read
    // them, which the caller shows.
    const QSet<int> salvate = Spuntate(lista, iCreId);
    const QSet<int> daTogliere = tolte & salvate;
    const QSet<int> daAggiungere = aggiunte - salvate;
    TVxFieldValues values = valori("iCreId", iCreId);
    for (int id : daTogliere) {
        values.setValue(QStringLiteral("iTipo"), id);
        tr.Run(cancella, values);
    }
    for (int id : daAggiungere) {
        values.setValue(QStringLiteral("iTipo"), id);
        TVxFieldValues nuova = values;
        nuova.setValue(QStringLiteral("iKey"), VxNewKey(qqoVxGlobConn(), tabella));
        DateNuovaRiga(nuova, inizio, fine);
        try {
            tr.Exec(inserisci, nuova);
        } catch (const EVxException &e) {
            // Ticked by another office at the same moment: the mark is there, as wanted.
            if (!isDuplicateEntry(e))
                throw;
        }
    }
    return salvate;
}
