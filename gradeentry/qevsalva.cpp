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

} // namespace

EVxException ValoreCancellatoAltrove()
{
    return EVxException(QStringLiteral(
        "Il dato è stato cancellato da un'altra postazione dopo l'apertura della finestra: la "
        "modifica non è stata salvata.\r\rSalvando di nuovo, il dato della griglia viene "
        "inserito; per lasciarlo cancellato, svuotare la cella prima di salvare."));
}

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

bool AggiornaCambiati(TVxTransaction &tr, const QString &tabella, const QString &chiave, int id,
                      const TVxFieldValues &nuovi, const TVxFieldValues *vecchi)
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
        return true;
    valori.setValue(chiave, id);
    const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = :%3")
                            .arg(tabella, colonne.join(QStringLiteral(", ")), chiave);
    return tr.Exec(sql, valori).numRowsAffected() > 0;
}

int InserisciCella(TVxTransaction &tr, const QString &trova, const TVxFieldValues &cella,
                   const std::function<bool(int key)> &aggiorna,
                   const std::function<int()> &inserisci)
{
    QSqlQuery &q = tr.Exec(trova, cella);
    const int esistente = fetchNext(q) ? q.value(0).toInt() : 0;
    q.finish();
    // Seen by this transaction, so committed: an update cannot find it gone.
    if (esistente != 0 && aggiorna(esistente))
        return esistente;
    try {
        return inserisci();
    } catch (const EVxException &e) {
        // The cell is the table's unique key: the row that is there already is another
        // office's, committed after this transaction began.
        if (isDuplicateEntry(e))
            throw concurrentChangeError(e.detail());
        throw;
    }
}
