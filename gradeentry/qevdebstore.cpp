#include "gradeentry/qevdebstore.h"

#include "gradeentry/qevletture.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/helpers.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// %1 the pupils' situations of the year (situazioniAnno), %2 the debt's note.
const char kDebiti[] =
    "SELECT TSit.iAnaId, Deb.iDebId, Deb.iMatId, Des.iDesSufficiente, Deb.dDebAttr, "
    "Deb.dDebVer, Deb.iDesDedId, Ded.sDedLDesc, Deb.iDtpDtdId, Dtd.sDtdLDesc, Deb.iAnaId_Attr, "
    "Ana1.sAnaCognome || ' ' || Ana1.sAnaNome AS sDocAttr, Deb.iAnaId_Ver, "
    "Ana2.sAnaCognome || ' ' || Ana2.sAnaNome AS sDocVer, %2 "
    "FROM %1"
    "INNER JOIN TDeb_Debiti Deb ON (Deb.iSitId = TSit.iSitId) "
    "LEFT JOIN TDesDed DesDed ON (DesDed.iDesDedId = Deb.iDesDedId) "
    "LEFT JOIN TDes_DebEsito Des ON (Des.iDesId = DesDed.iDesId) "
    "LEFT JOIN TDed_DebEsDett Ded ON (Ded.iDedId = DesDed.iDedId) "
    "LEFT JOIN TDtpDtd DtpDtd ON (DtpDtd.iDtpDtdId = Deb.iDtpDtdId) "
    "LEFT JOIN TDtd_DebTpDett Dtd ON (Dtd.iDtdId = DtpDtd.iDtdId) "
    "LEFT JOIN TAna_Anagrafiche Ana1 ON (Ana1.iAnaId = Deb.iAnaId_Attr) "
    "LEFT JOIN TAna_Anagrafiche Ana2 ON (Ana2.iAnaId = Deb.iAnaId_Ver) "
    "WHERE %3 "
    "ORDER BY TSit.iSitOrdine DESC, Deb.iDebId";

// The final-session values of the year by pupil and subject that count in averages, votes
// (iTipo 0) and proposals (1); sum and count apart, so that no row is no average rather than a
// division by zero. %1 the pupils' situations of the year, %2 their condition.
const char kMedie[] =
    "SELECT 0 AS iTipo, TSit.iAnaId, TMatRma.iMatId, SUM(ScaLiv.iScaLivValore), "
    "COUNT(TVot.iScaLivId) "
    "FROM %1"
    "INNER JOIN TVot_Voti TVot ON (TVot.iSitId = TSit.iSitId) "
    "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = TVot.iClsMatCmpId) "
    "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
    "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
    "INNER JOIN TMatRma TMatRma ON (TMatRma.iMatRmaId = Csm.iMatRmaId) "
    "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = TVot.iScaLivId) "
    "INNER JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "
    "WHERE %2 AND ScaLiv.iScaLivInMedia = 1 AND CmpSca.iCmpScaInMedia = 1 AND TAsd.iSfiId = 2 "
    "GROUP BY TSit.iAnaId, TMatRma.iMatId "
    "UNION ALL "
    "SELECT 1 AS iTipo, TSit.iAnaId, TMatRma.iMatId, SUM(PrpScaLiv.fPrpScaLivValore), "
    "COUNT(TVtp.iPrpScaLivId) "
    "FROM %1"
    "INNER JOIN TVtp_Proposti TVtp ON (TVtp.iSitId = TSit.iSitId) "
    "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = TVtp.iClsMatCmpId) "
    "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
    "INNER JOIN TClsSes ClsSes ON (ClsSes.iClsSesId = Csm.iClsSesId) "
    "INNER JOIN TAnsSesDwg TAsd ON (TAsd.iAnsSesDwgId = ClsSes.iAnsSesDwgId) "
    "INNER JOIN TMatRma TMatRma ON (TMatRma.iMatRmaId = Csm.iMatRmaId) "
    "INNER JOIN TPrpScaLiv PrpScaLiv ON (PrpScaLiv.iPrpScaLivId = TVtp.iPrpScaLivId) "
    "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaLivId = PrpScaLiv.iScaLivId) "
    "INNER JOIN TCmpSca CmpSca ON (CmpSca.iCmpScaId = Cmc.iCmpScaId) "
    "WHERE %2 AND TScaLiv.iScaLivInMedia = 1 AND CmpSca.iCmpScaInMedia = 1 AND TAsd.iSfiId = 2 "
    "GROUP BY TSit.iAnaId, TMatRma.iMatId";

const char kTipo[] = "SELECT Dtd.sDtdLDesc FROM TDtpDtd DtpDtd "
                     "LEFT JOIN TDtd_DebTpDett Dtd ON (Dtd.iDtdId = DtpDtd.iDtdId) "
                     "WHERE DtpDtd.iDtpDtdId = :iId";

const char kEsito[] = "SELECT Ded.sDedLDesc FROM TDesDed DesDed "
                      "LEFT JOIN TDed_DebEsDett Ded ON (Ded.iDedId = DesDed.iDedId) "
                      "WHERE DesDed.iDesDedId = :iId";

const char kDocente[] = "SELECT DISTINCT ClsMatAna.iAnaId, "
                        "Ana.sAnaCognome || ' ' || Ana.sAnaNome AS sDocNome "
                        "FROM TClsMatAna ClsMatAna "
                        "LEFT JOIN TAna_Anagrafiche Ana ON (Ana.iAnaId = ClsMatAna.iAnaId) "
                        "WHERE ClsMatAna.iClsId = :iClsId AND ClsMatAna.iMatId = :iMatId "
                        "ORDER BY 2, 1";

// The pupil's main situation of the year, the one a debt belongs to.
const char kSituazione[] = "SELECT TSit.iSitId FROM TSit_Situazioni TSit "
                           "INNER JOIN TAns_AnniScolast TAns ON "
                           "(TSit.dStart = TAns.dAnsVextoInizio) "
                           "WHERE TSit.iAnaId = :iAnaId AND TAns.iAnsId = :iAnsId AND "
                           "TSit.iSitOrdine = 1";

const char kTrova[] =
    "SELECT Deb.iDebId FROM TDeb_Debiti Deb WHERE Deb.iSitId = :iSitId AND Deb.iMatId = :iMatId";

const char kInserisci[] =
    "INSERT INTO TDEB_DEBITI (iDebId, iSitId, iMatId, dDebAttr, dDebVer, iAnaId_Attr, "
    "iAnaId_Ver, iDesDedId, iDtpDtdId, bDebNota, dInsert, dStart, dEnd) VALUES (:iDebId, "
    ":iSitId, :iMatId, :dDebAttr, :dDebVer, :iAnaId_Attr, :iAnaId_Ver, :iDesDedId, :iDtpDtdId, "
    ":bDebNota, :dInsert, :dStart, :dEnd)";

// A debt is the table's unique key (situation, subject); the save reads every debt's row
// before it writes.
const TqevTabella &tabella()
{
    static const TqevTabella t{QStringLiteral("TDEB_DEBITI"), QStringLiteral("iDebId"),
                               QString::fromLatin1(kTrova), QString::fromLatin1(kInserisci), true};
    return t;
}

TVxFieldValues chiave(int iAnaId, int iAnsId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iAnaId"), iAnaId);
    values.setValue(QStringLiteral("iAnsId"), iAnsId);
    return values;
}

// The debt's cell: the pupil's main situation of the year and the subject; no situation when
// the pupil has none in the year.
TVxFieldValues cellaDebito(TVxTransaction &tr, int iAnaId, int iAnsId, int iMatId)
{
    QSqlQuery &sit = tr.Exec(QString::fromLatin1(kSituazione), chiave(iAnaId, iAnsId));
    const int iSitId = fetchNext(sit) ? sit.value(0).toInt() : 0;
    sit.finish();
    return valuesOf({{"iSitId", iSitId}, {"iMatId", iMatId}});
}

// The situations of the year of one pupil, or of every pupil of a class: the FROM clause's
// start and the condition, with their values.
struct Situazioni
{
    QString from;
    QString condizione;
    TVxFieldValues values;
};
Situazioni situazioniAnno(int iAnsId, int iAnaId, int iClsId)
{
    const TqevSituazioni sit = SituazioniAlunni(QStringLiteral("TSit"), iAnaId == 0);
    return {sit.from + QStringLiteral("INNER JOIN TAns_AnniScolast TAns ON "
                                      "(TSit.dStart = TAns.dAnsVextoInizio) "),
            sit.condizione + QStringLiteral(" AND TAns.iAnsId = :iAnsId"),
            iAnaId != 0 ? valuesOf({{"iAnaId", iAnaId}, {"iAnsId", iAnsId}})
                        : valuesOf({{"iClsId", iClsId}, {"iAnsId", iAnsId}})};
}

QVariant campo(const QSqlQuery &q, const QSqlRecord &rec, const char *name)
{
    return q.value(rec.indexOf(QString::fromLatin1(name)));
}

QDateTime data(const QVariant &value)
{
    return value.isNull() ? QDateTime() : value.toDate().startOfDay();
}

// A debt's values but its note, by column name, as a select reads them or a TVxRiga holds them.
template <class Campo> TValDebito valoriDi(const Campo &campo)
{
    TValDebito v;
    v.dDebAttr = data(campo("dDebAttr"));
    v.dDebVer = data(campo("dDebVer"));
    v.iDtpDtdId = campo("iDtpDtdId").toInt();
    v.iDesDedId = campo("iDesDedId").toInt();
    v.iAnaId_Attr = campo("iAnaId_Attr").toInt();
    v.iAnaId_Ver = campo("iAnaId_Ver").toInt();
    return v;
}

QVariant id(int value)
{
    return value != 0 ? QVariant(value) : QVariant();
}

void valoriRiga(TVxFieldValues &values, const TValDebito &v)
{
    values.setValue(QStringLiteral("dDebAttr"),
                    v.dDebAttr.isValid() ? QVariant(v.dDebAttr.date()) : QVariant());
    values.setValue(QStringLiteral("dDebVer"),
                    v.dDebVer.isValid() ? QVariant(v.dDebVer.date()) : QVariant());
    values.setValue(QStringLiteral("iAnaId_Attr"), id(v.iAnaId_Attr));
    values.setValue(QStringLiteral("iAnaId_Ver"), id(v.iAnaId_Ver));
    values.setValue(QStringLiteral("iDesDedId"), id(v.iDesDedId));
    values.setValue(QStringLiteral("iDtpDtdId"), id(v.iDtpDtdId));
    values.setValue(QStringLiteral("bDebNota"),
                    v.sNota.trimmed().isEmpty() ? QVariant() : QVariant(v.sNota));
}

QString testoDi(const char *sql, int key)
{
    QString text;
    TVxFieldValues values;
    values.setValue(QStringLiteral("iId"), key);
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(sql), values,
              [&text](const QSqlQuery &q, const QSqlRecord &) {
                  text = q.value(0).toString().trimmed();
              });
    return text;
}

} // namespace

TqevDebitiAnno TqevDebStore::Debiti(int iAnsId, int iAnaId, int iClsId)
{
    const Situazioni sit = situazioniAnno(iAnsId, iAnaId, iClsId);
    TqevTesto nota(QStringLiteral("TDeb_Debiti Deb"), QStringLiteral("Deb.iDebId"),
                   QStringLiteral("Deb.bDebNota"), QStringLiteral("bDebNota"));
    const QString sql = QString::fromLatin1(kDebiti).arg(sit.from, nota.Colonne(), sit.condizione);
    TqevDebitiAnno debiti;
    VxEachRow(qqoVxGlobConn(), sql, sit.values, [&](const QSqlQuery &q, const QSqlRecord &rec) {
        TqevDebito d;
        d.iDebId = campo(q, rec, "iDebId").toInt();
        d.iMatId = campo(q, rec, "iMatId").toInt();
        d.valori = valoriDi([&](const char *name) { return campo(q, rec, name); });
        const int alunno = campo(q, rec, "iAnaId").toInt();
        d.valori.sNota =
            nota.Leggi(q, rec, d.iDebId,
                       [&debiti, alunno, id = d.iDebId, materia = d.iMatId](const QString &t) {
                           // Unless his main situation's debt took its place.
                           TqevDebito &stored = debiti[alunno][materia];
                           if (stored.iDebId == id)
                               stored.valori.sNota = t;
                       });
        d.sDtdLDesc = campo(q, rec, "sDtdLDesc").toString().trimmed();
        d.sDedLDesc = campo(q, rec, "sDedLDesc").toString().trimmed();
        d.sDocAttr = campo(q, rec, "sDocAttr").toString().trimmed();
        d.sDocVer = campo(q, rec, "sDocVer").toString().trimmed();
        d.bSufficiente = campo(q, rec, "iDesSufficiente").toInt() == 1;
        // The main situation's debt comes last and stands.
        debiti[alunno].insert(d.iMatId, d);
    });
    nota.Completa();
    return debiti;
}

QHash<QPair<int, int>, TqevMedieDebito> TqevDebStore::Medie(int iAnsId, int iAnaId, int iClsId)
{
    const Situazioni sit = situazioniAnno(iAnsId, iAnaId, iClsId);
    QLocale italian(QLocale::Italian, QLocale::Italy);
    italian.setNumberOptions(QLocale::OmitGroupSeparator);
    QHash<QPair<int, int>, TqevMedieDebito> medie;
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kMedie).arg(sit.from, sit.condizione),
              sit.values, [&](const QSqlQuery &q, const QSqlRecord &) {
                  const int conta = q.value(4).toInt();
                  if (conta <= 0)
                      return;
                  const double media = q.value(3).toDouble() / conta;
                  TqevMedieDebito &m = medie[{q.value(1).toInt(), q.value(2).toInt()}];
                  if (q.value(0).toInt() == 0)
                      m.sMedVot = italian.toString(media, 'g', 15);
                  else if (media != 0)
                      m.sMedVtp =
                          italian.toString(RoundTo(media, -2), 'g', QLocale::FloatingPointShortest);
              });
    return medie;
}

QString TqevDebStore::TestoTipo(int iDtpDtdId)
{
    return testoDi(kTipo, iDtpDtdId);
}

QString TqevDebStore::TestoEsito(int iDesDedId)
{
    return testoDi(kEsito, iDesDedId);
}

TqevDocente TqevDebStore::DocenteMateria(int iClsId, int iMatId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsId"), iClsId);
    values.setValue(QStringLiteral("iMatId"), iMatId);
    std::optional<TqevDocente> docente;
    VxEachRow(qqoVxGlobConn(), QString::fromLatin1(kDocente), values,
              [&docente](const QSqlQuery &q, const QSqlRecord &) {
                  if (!docente)
                      docente = TqevDocente{q.value(0).toInt(), q.value(1).toString().trimmed()};
              });
    return docente.value_or(TqevDocente{});
}

TValDebito TqevDebStore::Valori(const TRecDeb &rec)
{
    TValDebito v;
    v.dDebAttr = rec.dDebAttr;
    v.dDebVer = rec.dDebVer;
    v.iDtpDtdId = rec.iDtpDtdId;
    v.iDesDedId = rec.iDesDedId;
    v.iAnaId_Attr = rec.iAnaId_Attr;
    v.iAnaId_Ver = rec.iAnaId_Ver;
    v.sNota = rec.slNota.join(QLatin1Char('\n'));
    return v;
}

bool TqevDebStore::Vuoto(const TValDebito &v)
{
    return !v.dDebAttr.isValid() && !v.dDebVer.isValid() && v.iDtpDtdId == 0 && v.iDesDedId == 0 &&
           v.iAnaId_Attr == 0 && v.iAnaId_Ver == 0 && v.sNota.trimmed().isEmpty();
}

int TqevDebStore::Inserisci(TVxTransaction &tr, int iAnaId, int iAnsId, int iMatId,
                            const TValDebito &v, const QDate &inizio, const QDate &fine)
{
    const TVxFieldValues cella = cellaDebito(tr, iAnaId, iAnsId, iMatId);
    if (cella.value(QStringLiteral("iSitId")).toInt() == 0)
        throw EVxException(QStringLiteral("L'alunno non ha una situazione principale nell'anno "
                                          "scolastico del debito: il debito non è stato salvato."));
    TVxFieldValues valori;
    valoriRiga(valori, v);
    return InserisciCella(tr, tabella(), cella, valori, inizio, fine);
}

void TqevDebStore::Aggiorna(TVxTransaction &tr, int iDebId, const TValDebito &v,
                            const TValDebito *salvato)
{
    AggiornaRiga(tr, tabella(), iDebId, v, salvato, valoriRiga);
}

void TqevDebStore::Cancella(TVxTransaction &tr, int iDebId)
{
    CancellaCella(tr, tabella(), iDebId, {});
}

QHash<QString, TVxRiga> TqevDebStore::Righe(int iAnsId, int iAnaId, int iClsId)
{
    QHash<QString, TVxRiga> righe;
    const TqevDebitiAnno debiti = Debiti(iAnsId, iAnaId, iClsId);
    for (auto alunno = debiti.cbegin(); alunno != debiti.cend(); ++alunno) {
        for (const TqevDebito &d : alunno.value())
            righe.insert(Id(alunno.key(), d.iMatId), Letta(d.iDebId, d.valori));
    }
    return righe;
}

QString TqevDebStore::Id(int iAnaId, int iMatId)
{
    return QStringLiteral("%1:%2").arg(iAnaId).arg(iMatId);
}

TVxRiga TqevDebStore::Letta(int iDebId, const TValDebito &salvato, const TValDebito *nuovi)
{
    return RigaLetta(iDebId, salvato, nuovi, valoriRiga);
}

TValDebito TqevDebStore::ValoriDi(const TVxRiga &riga)
{
    const auto campo = [&riga](const char *name) {
        return riga.valori.value(QString::fromLatin1(name));
    };
    TValDebito v = valoriDi(campo);
    v.sNota = campo("bDebNota").toString();
    return v;
}
