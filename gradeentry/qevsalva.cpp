#include "gradeentry/qevsalva.h"

#include "gradeentry/qevdatasets.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/messagedlg.h"
#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QSqlQuery>

namespace {

void mostraErrore(const QString &cella, const QString &motivo, const QString &dettaglio = {})
{
    VxMessageDlg(QStringLiteral("Impossibile salvare i dati.\r\r%1\r\r%2\r\rI dati non salvati "
                                "restano nella griglia.")
                     .arg(cella, motivo),
                 mtError, mbOK, 0, mrNone, dettaglio);
}

// What a change saved by another office at the same moment means for a grid: the other
// office's value stands until this office saves again.
QString motivoDi(const EVxException &e)
{
    if (!isConcurrentChange(e))
        return e.message();
    return QStringLiteral("Un'altra postazione ha salvato lo stesso dato nello stesso momento: "
                          "il dato della griglia non è stato salvato, per non sostituire senza "
                          "avviso quello dell'altra postazione.\r\rSalvando di nuovo, il dato "
                          "della griglia sostituisce quello dell'altra postazione.");
}

// A write that finds its row gone, by what it was to do and what the cell holds now.
const QString kCancellatoPrimaDellaModifica = QStringLiteral(
    "Il dato è stato cancellato da un'altra postazione dopo l'apertura della finestra: la "
    "modifica non è stata salvata.\r\rSalvando di nuovo, il dato della griglia viene "
    "inserito; per lasciarlo cancellato, svuotare la cella prima di salvare.");
const QString kCancellatoPrimaDellaCancellazione = QStringLiteral(
    "Il dato era già stato cancellato da un'altra postazione dopo l'apertura della finestra: "
    "la cancellazione non è stata eseguita.\r\rSalvando di nuovo, la cella resta vuota, come "
    "nell'archivio.");
const QString kInseritoPrimaDellInserimento = QStringLiteral(
    "Il dato è stato inserito da un'altra postazione dopo l'apertura della finestra: il dato "
    "della griglia non è stato salvato, per non sostituire senza avviso quello dell'altra "
    "postazione.\r\rSalvando di nuovo, il dato della griglia sostituisce quello dell'altra "
    "postazione.");
const QString kSostituitoPrimaDellaCancellazione = QStringLiteral(
    "Il dato è stato sostituito da un'altra postazione, o da un passaggio di dati, dopo "
    "l'apertura della finestra: la cancellazione non è stata eseguita, per non cancellare senza "
    "avviso il dato nuovo.\r\rSalvando di nuovo, il dato viene cancellato.");

// The key of the row another office committed while a write waited, read once the write is
// rolled back; 0 when it cannot be read (the office is told of the write's failure anyway).
int chiaveDopo(TVxTransaction &tr, const EValoreAltrove &e)
{
    if (!e.trovaDopo())
        return e.chiave();
    try {
        if (!tr.StartTransaction())
            return 0;
        const int chiave = e.trovaDopo()(tr);
        tr.Rollback();
        return chiave;
    } catch (const EVxException &) {
        tr.Rollback();
        return 0;
    }
}

} // namespace

bool SalvaScritture(const QList<TqevScrittura> &scritture)
{
    if (scritture.isEmpty())
        return true;
    TVxHourglass hourglass;
    TVxTransaction tr(qqoVxGlobConn());
    for (const TqevScrittura &s : scritture) {
        if (!tr.StartTransaction()) {
            mostraErrore(
                s.cella,
                QStringLiteral("Impossibile avviare una transazione.\r%1").arg(tr.lastError()));
            return false;
        }
        try {
            s.esegui(tr);
            tr.Commit();
        } catch (const EVxException &e) {
            tr.Rollback();
            const auto *altrove = dynamic_cast<const EValoreAltrove *>(&e);
            if (altrove && s.altrove)
                s.altrove(chiaveDopo(tr, *altrove));
            mostraErrore(s.cella, motivoDi(e), e.detail());
            return false;
        }
        if (s.salvata)
            s.salvata();
    }
    return true;
}

const TqevDateAnno &TqevDateNuoveRighe::Date()
{
    if (!m_date) {
        const int iAnsId = dmqevDataSets->iAnsId;
        m_date = TqevDateAnno{
            dmqevDataSets->GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoInizio")).toDate(),
            dmqevDataSets->GetAnnoScolField(iAnsId, QStringLiteral("dAnsVextoFine")).toDate()};
    }
    return *m_date;
}

void DateNuovaRiga(TVxFieldValues &values, const QDate &inizio, const QDate &fine)
{
    values.setValue(QStringLiteral("dInsert"), inizio.startOfDay());
    values.setValue(QStringLiteral("dStart"), inizio);
    values.setValue(QStringLiteral("dEnd"), fine);
}

QString SqlCancella(const TqevTabella &t)
{
    return QStringLiteral("DELETE FROM %1 WHERE %2 = :%2").arg(t.nome, t.chiave);
}

QString SqlAggiorna(const TqevTabella &t, const QString &colonna)
{
    return QStringLiteral("UPDATE %1 SET %2 = :%2 WHERE %3 = :%3").arg(t.nome, colonna, t.chiave);
}

int TrovaCella(TVxTransaction &tr, const TqevTabella &t, const TVxFieldValues &cella)
{
    QSqlQuery &q = tr.Exec(t.trova, cella);
    const int key = fetchNext(q) ? q.value(0).toInt() : 0;
    q.finish();
    return key;
}

void AggiornaRiga(TVxTransaction &tr, const TqevTabella &t, int id, const TVxFieldValues &nuovi,
                  const TVxFieldValues *vecchi)
{
    TVxFieldValues valori;
    QStringList colonne;
    for (int i = 0; i < nuovi.size(); ++i) {
        const QString nome = nuovi.name(i);
        if (vecchi && vecchi->value(nome) == nuovi.value(i))
            continue;
        colonne << QStringLiteral("%1 = :%1").arg(nome);
        valori.setValue(nome, nuovi.value(i));
    }
    if (colonne.isEmpty())
        return;
    valori.setValue(t.chiave, id);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = :%3")
                            .arg(t.nome, colonne.join(QStringLiteral(", ")), t.chiave);
    if (tr.ExecChanged(sql, valori) == 0)
        throw EValoreAltrove(kCancellatoPrimaDellaModifica, 0);
}

void CancellaCella(TVxTransaction &tr, const TqevTabella &t, int id, const TVxFieldValues &cella)
{
    TVxFieldValues chiave;
    chiave.setValue(t.chiave, id);
    if (tr.ExecChanged(SqlCancella(t), chiave) > 0)
        return;
    // Seen by this transaction, so committed: the row that replaced it is the cell's now.
    const int ora = TrovaCella(tr, t, cella);
    throw EValoreAltrove(
        ora != 0 ? kSostituitoPrimaDellaCancellazione : kCancellatoPrimaDellaCancellazione, ora);
}

EValoreAltrove InseritoAltrove(int chiave)
{
    return EValoreAltrove(kInseritoPrimaDellInserimento, chiave);
}

EValoreAltrove InseritoInsieme(const TqevTabella &t, const TVxFieldValues &cella,
                               const QString &detail)
{
    return EValoreAltrove(
        concurrentChangeError().message(),
        [t, cella](TVxTransaction &dopo) { return TrovaCella(dopo, t, cella); }, detail);
}

int InserisciCella(TVxTransaction &tr, const TqevTabella &t, const TVxFieldValues &cella,
                   const TVxFieldValues &valori, const QDate &inizio, const QDate &fine)
{
    try {
        // Seen by this transaction, so committed: the other office's, stored since the read.
        if (!t.blocca.isEmpty())
            tr.Exec(t.blocca, cella); // the insert itself looks for the row
        else if (const int esistente = TrovaCella(tr, t, cella))
            throw InseritoAltrove(esistente);
        const int key = VxNewKey(qqoVxGlobConn(), t.nome);
        TVxFieldValues values = cella;
        values.setValue(t.chiave, key);
        for (int i = 0; i < valori.size(); ++i)
            values.setValue(valori.name(i), valori.value(i));
        DateNuovaRiga(values, inizio, fine);
        if (tr.ExecChanged(t.inserisci, values) == 0)
            throw InseritoAltrove(TrovaCella(tr, t, cella));
        return key;
    } catch (const EVxException &e) {
        // The cell is the table's unique key (or its lock): another office stored the cell's row
        // at this very moment, committed now. The record takes it, so that saving again writes
        // over it rather than telling the same row twice.
        if (!isDuplicateEntry(e) && !isConcurrentChange(e))
            throw;
        throw InseritoInsieme(t, cella, e.detail());
    }
}
