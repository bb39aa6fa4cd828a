#include "gradeentry/qevsalva.h"

#include "gradeentry/qevdatasets.h"
#include "platform/connection.h"
#include "platform/engineerrors.h"
#include "platform/messagedlg.h"
#include "platform/sqlparams.h"
#include "platform/transaction.h"
#include "platform/vxexception.h"
#include "platform/waitwindow.h"

#include <QSet>
#include <QSqlQuery>
#include <QStringList>

#include <memory>

namespace {

void mostraErrore(const QString &cella, const QString &motivo, const QString &restano,
                  const QString &dettaglio = {})
{
    const QString dove = cella.isEmpty() ? QString() : cella + QStringLiteral("\r\r");
    const QString resto = restano.isEmpty() ? QString() : QStringLiteral("\r\r") + restano;
    VxMessageDlg(QStringLiteral("Impossibile salvare i dati.\r\r%1%2%3").arg(dove, motivo, resto),
                 mtError, mbOK, 0, mrNone, dettaglio);
}

// What a change saved by another office at the same moment means for the window: the other
// office's value stands until this office saves again, in the window's words.
QString motivoDi(const EVxException &e, const TVxDiNuovo &diNuovo = {})
{
    if (!isConcurrentChange(e))
        return e.message();
    return QStringLiteral("Un'altra postazione ha salvato lo stesso dato nello stesso momento: "
                          "%1 non è stato salvato, per non sostituire senza avviso quello "
                          "dell'altra postazione.\r\r%2")
        .arg(diNuovo.dato, diNuovo.sostituisce);
}

// The key of the row another office committed while a write waited, read once the save's
// transaction has ended; 0 when it cannot be read (the office is told of the write anyway).
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

// A cell left unwritten, and why.
struct Detto
{
    QString cella;
    QString motivo;
    QString dettaglio;
};

// Every cell left unwritten in one message, those of one reason together, after the work.
void mostraDetti(const QList<Detto> &detti, bool altriSalvati, const QString &restano)
{
    QStringList motivi;
    QHash<QString, QStringList> celle;
    QStringList dettagli;
    for (const Detto &d : detti) {
        if (!celle.contains(d.motivo))
            motivi << d.motivo;
        celle[d.motivo] << d.cella;
        if (!d.dettaglio.isEmpty())
            dettagli << d.dettaglio;
    }
    QStringList parti;
    for (const QString &motivo : motivi)
        parti << celle.value(motivo).join(QStringLiteral("\r\r")) + QStringLiteral("\r\r") + motivo;
    QString testo =
        QStringLiteral("Impossibile salvare i dati.\r\r") + parti.join(QStringLiteral("\r\r"));
    if (altriSalvati)
        testo += QStringLiteral("\r\rGli altri dati della griglia sono stati salvati.");
    if (!restano.isEmpty())
        testo += QStringLiteral("\r\r") + restano;
    VxMessageDlg(testo, mtError, mbOK, 0, mrNone, dettagli.join(QLatin1Char('\n')));
}

// A write refused by another office's change: its own guard's (EValoreAltrove), or the
// engine's at the same moment.
bool daAltraPostazione(const EVxException &e)
{
    return dynamic_cast<const EValoreAltrove *>(&e) || isConcurrentChange(e);
}

} // namespace

bool SalvaScritture(const QList<TqevScrittura> &scritture, const TqevVerifica &verifica)
{
    if (scritture.isEmpty())
        return true;
    TVxHourglass hourglass;
    const bool verificate = bool(verifica.leggi);
    // The cell whose statements run when the work ends: the failure is told as its.
    QString corrente;
    try {
        if (verifica.attendi)
            verifica.attendi();
    } catch (const EVxException &e) {
        mostraErrore(QString(), motivoDi(e, verifica.diNuovo), verifica.restano, e.detail());
        return false;
    }
    TVxTransaction tr(qqoVxGlobConn());
    if (!tr.StartTransaction()) {
        mostraErrore(QString(),
                     QStringLiteral("Impossibile avviare una transazione.\r%1").arg(tr.lastError()),
                     verifica.restano);
        return false;
    }
    QList<Detto> detti;
    QList<qsizetype> daScrivere;
    QList<std::pair<qsizetype, TVxRiga>> cambiate;
    // The writes refused by another office's change, with the exception that told it.
    QList<std::pair<qsizetype, std::shared_ptr<EValoreAltrove>>> altrove;
    QSet<qsizetype> rifiutate;
    try {
        const QHash<QString, TVxRiga> ora =
            verificate ? verifica.leggi(tr) : QHash<QString, TVxRiga>();
        for (qsizetype i = 0; i < scritture.size(); ++i) {
            const TqevScrittura &s = scritture.at(i);
            const TVxRiga adesso = ora.value(s.id);
            if (!verificate || s.id.isEmpty() || VxRigaComeLetta(s.letta, adesso)) {
                daScrivere << i;
                continue;
            }
            cambiate.append({i, adesso});
            detti.append({s.cella, VxMotivoCambiata(s.letta, adesso, s.cancella, verifica.diNuovo),
                          QString()});
        }
        VxWriteEachRow(
            tr, daScrivere.size(),
            [&](qsizetype k) {
                const TqevScrittura &s = scritture.at(daScrivere.at(k));
                corrente = s.cella;
                s.esegui(tr);
            },
            [&](qsizetype k, const EVxException &e) {
                const qsizetype i = daScrivere.at(k);
                rifiutate.insert(i);
                detti.append({scritture.at(i).cella, motivoDi(e, verifica.diNuovo), e.detail()});
                if (const auto *a = dynamic_cast<const EValoreAltrove *>(&e))
                    altrove.append({i, std::make_shared<EValoreAltrove>(*a)});
                else if (daAltraPostazione(e))
                    altrove.append({i, nullptr});
            });
        corrente.clear();
        tr.Commit();
    } catch (const EVxException &e) {
        tr.Rollback();
        mostraErrore(corrente, motivoDi(e, verifica.diNuovo), verifica.restano, e.detail());
        return false;
    }
    for (qsizetype i : daScrivere) {
        if (!rifiutate.contains(i) && scritture.at(i).salvata)
            scritture.at(i).salvata();
    }
    for (const auto &[i, adesso] : cambiate) {
        if (scritture.at(i).cambiata)
            scritture.at(i).cambiata(adesso);
    }
    // The rows other offices committed while this save waited, now that it has ended.
    std::optional<QHash<QString, TVxRiga>> dopo;
    bool lettiDopo = false;
    for (const auto &[i, e] : altrove) {
        const TqevScrittura &s = scritture.at(i);
        if (verificate && !s.id.isEmpty() && s.cambiata) {
            if (!lettiDopo) {
                lettiDopo = true;
                try {
                    TVxTransactionScope lettura(qqoVxGlobConn());
                    dopo = verifica.leggi(lettura.transaction());
                    lettura.Commit();
                } catch (const EVxException &) {
                    // The cells keep what they read: saving again tells them once more.
                }
            }
            if (dopo)
                s.cambiata(dopo->value(s.id));
        } else if (e && s.altrove) {
            s.altrove(chiaveDopo(tr, *e));
        }
    }
    if (detti.isEmpty())
        return true;
    mostraDetti(detti, detti.size() < scritture.size(), verifica.restano);
    return false;
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

QVariantMap MappaValori(const TVxFieldValues &values)
{
    QVariantMap map;
    for (int i = 0; i < values.size(); ++i)
        map.insert(values.name(i), values.value(i));
    return map;
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
    if (t.verificata)
        tr.Run(sql, valori);
    else if (tr.ExecChanged(sql, valori) == 0)
        throw EValoreAltrove(VxMotivo(TVxCambio::Cancellato), 0);
}

TVxRiga RigaLetta(int chiave, const TVxFieldValues &salvati, const TVxFieldValues *nuovi)
{
    return VxRigaLetta(chiave, salvati, nuovi);
}

void CancellaCella(TVxTransaction &tr, const TqevTabella &t, int id, const TVxFieldValues &cella)
{
    TVxFieldValues chiave;
    chiave.setValue(t.chiave, id);
    if (t.verificata) {
        tr.Run(SqlCancella(t), chiave);
        return;
    }
    if (tr.ExecChanged(SqlCancella(t), chiave) > 0)
        return;
    // Seen by this transaction, so committed: the row that replaced it is the cell's now.
    const int ora = TrovaCella(tr, t, cella);
    throw EValoreAltrove(VxMotivo(ora != 0 ? TVxCambio::Sostituito : TVxCambio::GiaCancellato),
                         ora);
}

EValoreAltrove InseritoAltrove(int chiave)
{
    return EValoreAltrove(VxMotivo(TVxCambio::Inserito), chiave);
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
        if (!t.verificata && !t.inserisciCondizionato) {
            if (const int esistente = TrovaCella(tr, t, cella))
                throw InseritoAltrove(esistente);
        }
        const int key = VxNewKey(qqoVxGlobConn(), t.nome);
        TVxFieldValues values = cella;
        values.setValue(t.chiave, key);
        for (int i = 0; i < valori.size(); ++i)
            values.setValue(valori.name(i), valori.value(i));
        DateNuovaRiga(values, inizio, fine);
        if (!t.inserisciCondizionato)
            tr.Run(t.inserisci, values);
        else if (tr.ExecChanged(t.inserisci, values) == 0)
            throw InseritoAltrove(TrovaCella(tr, t, cella));
        return key;
    } catch (const EVxException &e) {
        // The cell is the table's unique key: another office stored the cell's row at this very
        // moment, committed now. The record takes it, so that saving again writes over it rather
        // than telling the same row twice.
        if (!isDuplicateEntry(e) && !isConcurrentChange(e))
            throw;
        throw InseritoInsieme(t, cella, e.detail());
    }
}
