#include "gradeentry/qevvalstore.h"

#include "gradeentry/qevrecords.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

// One vote kind's table: the row key, the value column, and whether a row names a
// class-subject-component (kinds 0-2) or a class-session subject (absences, aids).
struct TabellaVoti
{
    const char *nome;
    const char *chiave;
    const char *valore;
    bool perComponente;
    const char *carica;    // the stored values of a class session...
    const char *perAlunno; // ...of one pupil
};

// ...of one subject.
const char kPerMateria[] = " AND Csm.iClsSesMatId = :iClsSesMatId";

const TabellaVoti kTabelle[] = {
    {"TVOT_VOTI", "iVotId", "iScaLivId", true,
     "SELECT Vot.iSitId, Vot.iVotId iPKId, Vot.iScaLivId iValId, Liv.sLivSDesc sValSDesc, "
     "Liv.sLivLDesc sValLDesc, ScaLiv.iScaLivSufficiente bValSuff, ScaLiv.iScaLivValore "
     "iValDato, ScaLiv.iScaLivInMedia bValInMed, TClsSes.iClsId, Csm.iClsSesMatId, "
     "Cmc.iCmpScaId, Csm.iClsSesId, Vot.dInsert, Vot.dStart, Vot.dEnd "
     "FROM TVot_Voti Vot "
     "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = Vot.iScaLivId) "
     "INNER JOIN TLiv_Livelli Liv ON (Liv.iLivId = ScaLiv.iLivId) "
     "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = Vot.iClsMatCmpId) "
     "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
     "INNER JOIN TClsSes TClsSes ON (Csm.iClsSesId = TClsSes.iClsSesId) "
     "WHERE Csm.iClsSesId = :iClsSesId",
     " AND Vot.iSitId = :iSitId"},
    {"TVTP_PROPOSTI", "iVtpId", "iPrpScaLivId", true,
     "SELECT VtP.iSitId, VtP.iVtPId iPKId, VtP.iPrpScaLivId iValId, Prp.sPrpSDesc sValSDesc, "
     "Prp.sPrpLDesc sValLDesc, ScaLiv.iScaLivSufficiente bValSuff, PrpScaLiv.fPrpScaLivValore "
     "iValDato, ScaLiv.iScaLivInMedia bValInMed, TClsSes.iClsId, Csm.iClsSesMatId, "
     "Cmc.iCmpScaId, Csm.iClsSesId, VtP.dInsert, VtP.dStart, VtP.dEnd "
     "FROM TVtP_Proposti VtP "
     "INNER JOIN TPrpScaLiv PrpScaLiv ON (PrpScaLiv.iPrpScaLivId = VtP.iPrpScaLivId) "
     "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = PrpScaLiv.iScaLivId) "
     "INNER JOIN TPrp_Proposti Prp ON (Prp.iPrpId = PrpScaLiv.iPrpId) "
     "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = VtP.iClsMatCmpId) "
     "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
     "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = Csm.iClsSesId) "
     "WHERE Csm.iClsSesId = :iClsSesId",
     " AND VtP.iSitId = :iSitId"},
    {"TTAS_TASSONOMIE", "iTasId", "iScaLivId", true,
     "SELECT Tas.iSitId, Tas.iTasId iPKId, Tas.iScaLivId iValId, Liv.sLivSDesc sValSDesc, "
     "Liv.sLivLDesc sValLDesc, ScaLiv.iScaLivSufficiente bValSuff, ScaLiv.iScaLivValore "
     "iValDato, ScaLiv.iScaLivInMedia bValInMed, TClsSes.iClsId, Csm.iClsSesMatId, "
     "Cmc.iCmpScaId, Csm.iClsSesId, Tas.dInsert, Tas.dStart, Tas.dEnd "
     "FROM TTas_Tassonomie Tas "
     "INNER JOIN TScaLiv ScaLiv ON (ScaLiv.iScaLivId = Tas.iScaLivId) "
     "INNER JOIN TLiv_Livelli Liv ON (Liv.iLivId = ScaLiv.iLivId) "
     "INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = Tas.iClsMatCmpId) "
     "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Cmc.iClsSesMatId) "
     "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = Csm.iClsSesId) "
     "WHERE Csm.iClsSesId = :iClsSesId",
     " AND Tas.iSitId = :iSitId"},
    {"TASS_ASSENZE", "iAssId", "iAssOre", false,
     "SELECT Ass.iSitId, Ass.iAssId iPKId, Ass.iAssOre iValId, Ass.iAssOre sValSDesc, "
     "Ass.iAssOre sValLDesc, TClsSes.iClsId, Csm.iClsSesMatId, Csm.iClsSesId, Ass.dInsert, "
     "Ass.dStart, Ass.dEnd "
     "FROM TAss_Assenze Ass "
     "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Ass.iClsSesMatId) "
     "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = Csm.iClsSesId) "
     "WHERE Csm.iClsSesId = :iClsSesId",
     " AND Ass.iSitId = :iSitId"},
    {"TAIU_AIUTI", "iAiuId", "sAiuVal", false,
     "SELECT Aiu.iSitId, Aiu.iAiuId iPKId, Aiu.sAiuVal iValId, Aiu.sAiuVal sValSDesc, "
     "Aiu.sAiuVal sValLDesc, TClsSes.iClsId, Csm.iClsSesMatId, Csm.iClsSesId, Aiu.dInsert, "
     "Aiu.dStart, Aiu.dEnd "
     "FROM TAiu_Aiuti Aiu "
     "INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = Aiu.iClsSesMatId) "
     "INNER JOIN TClsSes TClsSes ON (TClsSes.iClsSesId = Csm.iClsSesId) "
     "WHERE Csm.iClsSesId = :iClsSesId",
     " AND Aiu.iSitId = :iSitId"},
};

// Levels of the vote (iCmpScaTass 0) or taxonomy (1) component scales; a deleted one is
// offered no more (lOfferto 0) but still belongs to its scale.
const char kLivelli[] =
    "SELECT TCmpSca.iCmpScaId, TCmpSca.iCmpScaTass, TScaLiv.iScaLivId iValId, TLiv.sLivSDesc "
    "sValSDesc, TLiv.sLivLDesc sValLDesc, TScaLiv.iScaLivValore iValDato, "
    "TScaLiv.iScaLivSufficiente bValSuff, TScaLiv.iScaLivInMedia bValInMed, "
    "IIF(TScaLiv.dDelete IS NULL, 1, 0) lOfferto "
    "FROM TCmpSca TCmpSca "
    "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaId = TCmpSca.iScaId) "
    "INNER JOIN TLiv_Livelli TLiv ON (TScaLiv.iLivId = TLiv.iLivId) "
    "WHERE TCmpSca.iCmpScaTass = :iCmpScaTass "
    "ORDER BY TCmpSca.iCmpId, TCmpSca.iScaId, TScaLiv.iScaLivOrd";

// The proposal levels, each with the scale level it stands for; only the visible ones are
// offered.
const char kLivelliProposti[] =
    "SELECT TCmpSca.iCmpScaId, TCmpSca.iCmpScaTass, TPrpScaLiv.iPrpScaLivId iValId, "
    "TPrp.sPrpSDesc sValSDesc, TPrp.sPrpLDesc sValLDesc, TPrpScaLiv.fPrpScaLivValore iValDato, "
    "TScaLiv.iScaLivSufficiente bValSuff, TScaLiv.iScaLivId, TScaLiv.iScaLivInMedia bValInMed, "
    "IIF(TPrpScaLiv.lPrpScaLivVisible = 1, 1, 0) lOfferto "
    "FROM TCmpSca TCmpSca "
    "INNER JOIN TScaLiv TScaLiv ON (TScaLiv.iScaId = TCmpSca.iScaId) "
    "INNER JOIN TPrpScaLiv TPrpScaLiv ON (TPrpScaLiv.iScaLivId = TScaLiv.iScaLivId) "
    "INNER JOIN TPrp_Proposti TPrp ON (TPrp.iPrpId = TPrpScaLiv.iPrpId) "
    "ORDER BY TCmpSca.iCmpId, TCmpSca.iScaId, TPrpScaLiv.iPrpScaLivOrd";

const TabellaVoti &tabellaDi(int tipoDati)
{
    Q_ASSERT(tipoDati >= 0 && tipoDati <= 4);
    return kTabelle[tipoDati];
}

// What names a cell's row: a vote row its class-subject-component, found from the column's
// pair; an absence or aid its class-session subject.
QString colonnaCella(const TabellaVoti &t)
{
    return QLatin1String(t.perComponente ? "iClsMatCmpId" : "iClsSesMatId");
}

QString valoreCella(const TabellaVoti &t)
{
    return t.perComponente ? QStringLiteral("(SELECT ClsMatCmp.iClsMatCmpId FROM TClsMatCmp "
                                            "ClsMatCmp WHERE ClsMatCmp.iClsSesMatId = "
                                            ":iClsSesMatId AND ClsMatCmp.iCmpScaId = :iCmpScaId)")
                           : QStringLiteral(":iClsSesMatId");
}

// The kind's statements in the stores' one shape; the value travels under its column's name.
TqevTabella tabellaCelle(const TabellaVoti &t)
{
    TqevTabella tab;
    tab.nome = QString::fromLatin1(t.nome);
    tab.chiave = QString::fromLatin1(t.chiave);
    const QString valore = QString::fromLatin1(t.valore);
    tab.trova =
        QStringLiteral("SELECT Val.%1 FROM %2 Val WHERE Val.iSitId = :iSitId AND Val.%3 = %4")
            .arg(tab.chiave, tab.nome, colonnaCella(t), valoreCella(t));
    tab.inserisci = QStringLiteral("INSERT INTO %1 (%2, %3, iSitId, %4, dInsert, dStart, dEnd) "
                                   "VALUES (:%2, %5, :iSitId, :%4, :dInsert, :dStart, :dEnd)")
                        .arg(tab.nome, tab.chiave, colonnaCella(t), valore, valoreCella(t));
    // A cell is the table's unique key; the save reads every cell's row before it writes.
    tab.verificata = true;
    return tab;
}

// A column by name, any case; a column the select does not have reads as null.
QVariant campo(const QSqlQuery &q, const QSqlRecord &rec, const char *name)
{
    const int index = rec.indexOf(QString::fromLatin1(name));
    return index < 0 ? QVariant() : q.value(index);
}

TqevValore valoreDi(const QSqlQuery &q, const QSqlRecord &rec, bool perComponente)
{
    TqevValore v;
    v.iPKId = campo(q, rec, "iPKId").toInt();
    bool numero = false;
    v.iValId = campo(q, rec, "iValId").toString().trimmed().toInt(&numero);
    if (!numero)
        v.iValId = 0; // an aid's text
    v.sValSDesc = campo(q, rec, "sValSDesc").toString().trimmed().left(100);
    v.sValLDesc = campo(q, rec, "sValLDesc").toString().trimmed().left(250);
    if (perComponente) {
        v.iCmpScaId = campo(q, rec, "iCmpScaId").toInt();
        v.iValDato = campo(q, rec, "iValDato").toDouble();
        v.bValSuff = campo(q, rec, "bValSuff").toInt() == 1;
        v.bValInMed = campo(q, rec, "bValInMed").toInt() == 1;
    }
    return v;
}

// The values of a read of the class session's values, of one pupil and one subject when given.
TVxFieldValues valoriAmbito(int iClsSesId, int iSitId, int iClsSesMatId)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsSesId"), iClsSesId);
    if (iSitId != 0)
        values.setValue(QStringLiteral("iSitId"), iSitId);
    if (iClsSesMatId != 0)
        values.setValue(QStringLiteral("iClsSesMatId"), iClsSesMatId);
    return values;
}

} // namespace

size_t qHash(const TqevChiaveVal &key, size_t seed)
{
    return qHashMulti(seed, key.iSitId, key.iClsSesMatId, key.iCmpScaId);
}

TqevValStore::TqevValStore(int TipoDati) : m_tipoDati(TipoDati) {}

void TqevValStore::setTipoDati(int TipoDati)
{
    if (TipoDati != m_tipoDati) {
        m_livelli.clear();
        m_dellaScala.clear();
    }
    m_tipoDati = TipoDati;
}

QString TqevValStore::Tabella() const
{
    return QString::fromLatin1(tabellaDi(m_tipoDati).nome);
}

QString TqevValStore::SqlCarica(bool perAlunno, bool perMateria) const
{
    const TabellaVoti &t = tabellaDi(m_tipoDati);
    return QString::fromLatin1(t.carica) + QString::fromLatin1(perAlunno ? t.perAlunno : "") +
           QString::fromLatin1(perMateria ? kPerMateria : "");
}

const TqevTabella &TqevValStore::tabella() const
{
    static const TqevTabella tabelle[] = {tabellaCelle(kTabelle[0]), tabellaCelle(kTabelle[1]),
                                          tabellaCelle(kTabelle[2]), tabellaCelle(kTabelle[3]),
                                          tabellaCelle(kTabelle[4])};
    Q_ASSERT(m_tipoDati >= 0 && m_tipoDati <= 4);
    return tabelle[m_tipoDati];
}

QString TqevValStore::SqlInserisci() const
{
    return tabella().inserisci;
}

QString TqevValStore::SqlTrova() const
{
    return tabella().trova;
}

QString TqevValStore::SqlAggiorna() const
{
    return ::SqlAggiorna(tabella(), QString::fromLatin1(tabellaDi(m_tipoDati).valore));
}

QString TqevValStore::SqlCancella() const
{
    return ::SqlCancella(tabella());
}

QString TqevValStore::SqlRighe(bool perAlunno, bool perMateria) const
{
    const TabellaVoti &t = tabellaDi(m_tipoDati);
    const QString nome = QString::fromLatin1(t.nome);
    const QString from =
        t.perComponente
            ? QStringLiteral("FROM %1 Val INNER JOIN TClsMatCmp Cmc ON (Cmc.iClsMatCmpId = "
                             "Val.iClsMatCmpId) INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = "
                             "Cmc.iClsSesMatId) ")
                  .arg(nome)
            : QStringLiteral("FROM %1 Val INNER JOIN TClsSesMat Csm ON (Csm.iClsSesMatId = "
                             "Val.iClsSesMatId) ")
                  .arg(nome);
    return QStringLiteral("SELECT Val.iSitId, Csm.iClsSesMatId, %1, Val.%2, Val.%3 ")
               .arg(QLatin1String(t.perComponente ? "Cmc.iCmpScaId" : "0"),
                    QString::fromLatin1(t.chiave), QString::fromLatin1(t.valore)) +
           from + QStringLiteral("WHERE Csm.iClsSesId = :iClsSesId") +
           (perAlunno ? QStringLiteral(" AND Val.iSitId = :iSitId") : QString()) +
           QString::fromLatin1(perMateria ? kPerMateria : "");
}

QString TqevValStore::Id(const TqevChiaveVal &cella)
{
    return QStringLiteral("%1:%2:%3")
        .arg(cella.iSitId)
        .arg(cella.iClsSesMatId)
        .arg(cella.iCmpScaId);
}

TVxRiga TqevValStore::Letta(const TRecVal &rec) const
{
    TVxRiga riga;
    riga.chiave = rec.iPKId;
    if (rec.iPKId != 0)
        riga.valori.insert(QStringLiteral("valore"), m_tipoDati == 4 ? QVariant(rec.sValSalvato)
                                                                     : QVariant(rec.iValIdSalvato));
    return riga;
}

QHash<QString, TVxRiga> TqevValStore::Righe(int iClsSesId, int iSitId, int iClsSesMatId) const
{
    const TVxFieldValues values = valoriAmbito(iClsSesId, iSitId, iClsSesMatId);
    QHash<QString, TVxRiga> righe;
    const bool testo = m_tipoDati == 4;
    VxEachRow(
        qqoVxGlobConn(), SqlRighe(iSitId != 0, iClsSesMatId != 0), values,
        [&](const QSqlQuery &q, const QSqlRecord &) {
            TVxRiga riga;
            riga.chiave = q.value(3).toInt();
            riga.valori.insert(QStringLiteral("valore"),
                               testo ? QVariant(q.value(4).toString().trimmed())
                                     : QVariant(q.value(4).toInt()));
            righe.insert(Id({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toInt()}), riga);
        });
    return righe;
}

QHash<TqevChiaveVal, TqevValore> TqevValStore::Carica(int iClsSesId, int iSitId,
                                                      int iClsSesMatId) const
{
    const TVxFieldValues values = valoriAmbito(iClsSesId, iSitId, iClsSesMatId);
    QHash<TqevChiaveVal, TqevValore> stored;
    const bool perComponente = PerComponente();
    const QString sql = SqlCarica(iSitId != 0, iClsSesMatId != 0);
    VxEachRow(qqoVxGlobConn(), sql, values, [&](const QSqlQuery &q, const QSqlRecord &rec) {
        const TqevValore v = valoreDi(q, rec, perComponente);
        stored.insert(
            {campo(q, rec, "iSitId").toInt(), campo(q, rec, "iClsSesMatId").toInt(), v.iCmpScaId},
            v);
    });
    return stored;
}

void TqevValStore::CaricaLivelli()
{
    m_livelli.clear();
    m_dellaScala.clear();
    if (!PerComponente())
        return;
    TVxFieldValues values;
    QString sql = QString::fromLatin1(kLivelliProposti);
    if (m_tipoDati != 1) {
        sql = QString::fromLatin1(kLivelli);
        values.setValue(QStringLiteral("iCmpScaTass"), m_tipoDati == 2 ? 1 : 0);
    }
    VxEachRow(qqoVxGlobConn(), sql, values, [this](const QSqlQuery &q, const QSqlRecord &rec) {
        const TqevLivello l = valoreDi(q, rec, true);
        if (campo(q, rec, "lOfferto").toInt() == 1)
            m_livelli[l.iCmpScaId].append(l);
        // A proposal stands on a vote component, never on a taxonomy's.
        if (m_tipoDati != 1 || campo(q, rec, "iCmpScaTass").toInt() == 0)
            m_dellaScala[l.iCmpScaId].insert(l.iValId);
    });
}

bool TqevValStore::LivelloDellaScala(int iCmpScaId, qint64 iValId) const
{
    const auto found = m_dellaScala.constFind(iCmpScaId);
    return found != m_dellaScala.constEnd() && found->contains(iValId);
}

bool TqevValStore::LivelloOfferto(int iCmpScaId, qint64 iValId) const
{
    const QList<TqevLivello> offerti = m_livelli.value(iCmpScaId);
    return std::any_of(offerti.cbegin(), offerti.cend(),
                       [iValId](const TqevLivello &l) { return l.iValId == iValId; });
}

bool TqevValStore::ScalaDelTipo(int iCmpScaId) const
{
    return m_dellaScala.contains(iCmpScaId);
}

const TqevLivello *TqevValStore::Livello(int iCmpScaId, const QString &sValSDesc) const
{
    const auto found = m_livelli.constFind(iCmpScaId);
    if (found == m_livelli.constEnd())
        return nullptr;
    for (const TqevLivello &l : found.value()) {
        if (l.sValSDesc == sValSDesc)
            return &l;
    }
    return nullptr;
}

QList<TqevLivello> TqevValStore::Livelli(int iCmpScaId) const
{
    return m_livelli.value(iCmpScaId);
}

QVariant TqevValStore::ValoreDi(const TRecVal &rec) const
{
    if (m_tipoDati == 4)
        return rec.sValSDesc.trimmed();
    return rec.iValId;
}

bool TqevValStore::Cambiato(const TRecVal &rec) const
{
    if (m_tipoDati == 4)
        return rec.sValSDesc.trimmed() != rec.sValSalvato;
    return rec.iValId != rec.iValIdSalvato;
}

TVxFieldValues TqevValStore::valoriCella(const TqevChiaveVal &cella) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsSesMatId"), cella.iClsSesMatId);
    if (PerComponente())
        values.setValue(QStringLiteral("iCmpScaId"), cella.iCmpScaId);
    values.setValue(QStringLiteral("iSitId"), cella.iSitId);
    return values;
}

TVxFieldValues TqevValStore::valoriRiga(const QVariant &valore) const
{
    TVxFieldValues values;
    values.setValue(QString::fromLatin1(tabellaDi(m_tipoDati).valore), valore);
    return values;
}

int TqevValStore::Inserisci(TVxTransaction &tr, const TqevChiaveVal &cella, const QVariant &valore,
                            const QDate &dStart, const QDate &dEnd) const
{
    return InserisciCella(tr, tabella(), valoriCella(cella), valoriRiga(valore), dStart, dEnd);
}

void TqevValStore::Aggiorna(TVxTransaction &tr, int iPKId, const QVariant &valore) const
{
    AggiornaRiga(tr, tabella(), iPKId, valoriRiga(valore));
}

void TqevValStore::Cancella(TVxTransaction &tr, int iPKId, const TqevChiaveVal &cella) const
{
    CancellaCella(tr, tabella(), iPKId, valoriCella(cella));
}
