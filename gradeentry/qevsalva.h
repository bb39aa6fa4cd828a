#pragma once

// The one save routine of every grade frame. A frame collects, for each cell (or row) changed
// since loading, one write: the statements that bring the stored row in line with the record,
// and what the record notes once they are committed (its new key, its value as now stored).
//
//   QList<TqevScrittura> writes;
//   writes.append({descrizione, [=](TVxTransaction &tr) { store.Aggiorna(tr, ...); },
//                  [rec] { rec->... = ...; }});
//   if (SalvaScritture(writes)) grid.setModificato(false);
//
// Each write runs in a transaction of its own, its statements prepared inside it, and is
// committed before the next starts: two offices share one database, and nothing is held
// locked across cells. A transaction that cannot start, a statement the database refuses (or
// an update that finds no row) or a failed commit rolls that write back, tells the office which
// cell and why, and stops: the writes before it stay saved and their records up to date, so a
// second save takes up from the failed cell. No transaction is left open.
//
// Two offices at once: the last save wins cell by cell. A cell another office saved at the
// very moment of this save (an update conflict) is not overwritten unsaid: the office is told,
// and saving again writes the grid's value over the other office's. A row another office
// deleted or replaced since the grid was read is neither written back nor taken as deleted
// unsaid, nor is one it stored in a cell empty when read overwritten unsaid (EValoreAltrove).
// A wait for rows another program keeps locked is the framework's (the office may stop it).

#include "platform/sqlparams.h"
#include "platform/vxexception.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

class TVxTransaction;

struct TqevScrittura
{
    // Names the cell for the office ("Alunno: ...\rMateria: ...").
    QString cella;
    // Runs the cell's statements in the transaction started for it; raises EVxException.
    std::function<void(TVxTransaction &)> esegui;
    // Runs once the write is committed.
    std::function<void()> salvata;
    // Runs when the write met EValoreAltrove, with the key the cell's row now has (0: none).
    std::function<void(int chiave)> altrove;
};

// True when every write was saved; false after showing the failure.
bool SalvaScritture(const QList<TqevScrittura> &scritture);

// The refusal of a write whose row another office deleted or replaced (the transfer of proposed
// votes, the class judgments) since the grid was read: an update or a delete that touches no
// row is never taken as done. It carries the key of the row the cell holds now (0: none), which
// the write's record takes whatever becomes of the transaction (the other office's change is
// committed): saving again then does what the grid shows, it inserts the value again, deletes
// the row that replaced it, or writes over the row another office stored in a cell that was
// empty.
class EValoreAltrove : public EVxException
{
public:
    using Trova = std::function<int(TVxTransaction &)>;

    EValoreAltrove(const QString &message, int chiave) : EVxException(message), m_chiave(chiave) {}
    // A row another office committed while this write waited for it: the write's transaction,
    // begun before, does not see it. Its key is read with trova after the write is rolled back,
    // in a transaction of its own.
    EValoreAltrove(const QString &message, Trova trova, const QString &detail)
        : EVxException(message, Error, detail), m_trova(std::move(trova))
    {
    }
    int chiave() const { return m_chiave; }
    const Trova &trovaDopo() const { return m_trova; }

private:
    int m_chiave = 0;
    Trova m_trova;
};

// The one shape of the grade stores (votes and the other vote kinds, notes, judgments, debts,
// credits): each names its table's statements here, and the routines below find, insert,
// update and delete the row of a cell for all of them. A cell is what one grid cell stores,
// named by its values (the pupil's situation and the subject, the component...).
struct TqevTabella
{
    QString nome;   // as PYSetGetId names it ("TNOT_NOTE")
    QString chiave; // its key column, also the key's parameter name
    // The key of the cell's row, bound with the cell's values; where other programs store
    // several rows for a cell, the lowest key first.
    QString trova;
    // A new row, bound with the key, the cell's values, the row's values and the dates.
    QString inserisci;
    // For a table with no unique key on the cell, whose insert (inserisci) then stores nothing
    // while the cell has a row, checked by the database (VxInsertUnlessPresentSql): a statement
    // that locks a row standing for the cell, run first by the insert of a cell, bound with the
    // cell's values. Two offices filling one empty cell at once meet on it, and the second is
    // told (a change at the same moment) rather than a second row stored.
    QString blocca;
};

// The key of the cell's row, 0 without one.
int TrovaCella(TVxTransaction &tr, const TqevTabella &t, const TVxFieldValues &cella);

// The refusals of the insert of a cell that held nothing when the grid was read: another office
// stored the cell's row since (its key), or is storing it at this very moment (a duplicate of
// the table's unique key, or its lock: the row is found with t's find once the write is rolled
// back). Saving again writes over it.
EValoreAltrove InseritoAltrove(int chiave);
EValoreAltrove InseritoInsieme(const TqevTabella &t, const TVxFieldValues &cella,
                               const QString &detail);

// The insert of a cell that held nothing when the grid was read; returns the row's key. A row
// another office (or program) stored for the cell since is not overwritten unsaid: nothing is
// written and EValoreAltrove carries the row's key, so that saving again updates it with the
// grid's value (the last save wins, as for a changed value). One it is storing at this very
// moment (a duplicate of the table's unique key, or the lock) is told as a change of another
// office at the same moment.
int InserisciCella(TVxTransaction &tr, const TqevTabella &t, const TVxFieldValues &cella,
                   const TVxFieldValues &valori, const QDate &inizio, const QDate &fine);

// Updates a stored row, setting only the columns whose value differs from the one last read or
// written (vecchi; every column without it): a column another office saved meanwhile and this
// office did not touch keeps the other office's value, the last save winning cell by cell also
// where one row holds several cells. Raises EValoreAltrove (key 0) when the row is gone.
void AggiornaRiga(TVxTransaction &tr, const TqevTabella &t, int id, const TVxFieldValues &nuovi,
                  const TVxFieldValues *vecchi = nullptr);

// The same for a row a store writes from its values type through its row function.
template <class V>
void AggiornaRiga(TVxTransaction &tr, const TqevTabella &t, int id, const V &valori,
                  const V *salvati, void (*valoriRiga)(TVxFieldValues &, const V &))
{
    TVxFieldValues nuovi;
    valoriRiga(nuovi, valori);
    TVxFieldValues vecchi;
    if (salvati)
        valoriRiga(vecchi, *salvati);
    AggiornaRiga(tr, t, id, nuovi, salvati ? &vecchi : nullptr);
}

// Deletes the row of an emptied cell by its key. Raises EValoreAltrove when no row has the key:
// another office deleted it (key 0), or replaced it (the key of the row the cell holds now).
void CancellaCella(TVxTransaction &tr, const TqevTabella &t, int id, const TVxFieldValues &cella);

// The delete and the update of one column by key, as these routines write them.
QString SqlCancella(const TqevTabella &t);
QString SqlAggiorna(const TqevTabella &t, const QString &colonna);

// The dates of every row grade entry inserts: the open class session's school year's first day
// as insert and start date, its last day as end date, whatever the day of the save. Read once
// per save, by the first write that inserts, inside its transaction: a failure is told as that
// cell's.
struct TqevDateAnno
{
    QDate inizio;
    QDate fine;
};
class TqevDateNuoveRighe
{
public:
    const TqevDateAnno &Date();

private:
    std::optional<TqevDateAnno> m_date;
};

// The dates into the values of a new row: dInsert and dStart the first day, dEnd the last.
void DateNuovaRiga(TVxFieldValues &values, const QDate &inizio, const QDate &fine);
