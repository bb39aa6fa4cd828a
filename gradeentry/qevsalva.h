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
// and saving again writes the grid's value over the other office's. A value another office
// deleted since the grid was read is not written back unsaid either (ValoreCancellatoAltrove).
// A wait for rows another program keeps locked is the framework's (the office may stop it).

#include "platform/sqlparams.h"
#include "platform/vxexception.h"

#include <QDate>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class TVxTransaction;

struct TqevScrittura
{
    // Names the cell for the office ("Alunno: ...\rMateria: ...").
    QString cella;
    // Runs the cell's statements in the transaction started for it; raises EVxException.
    std::function<void(TVxTransaction &)> esegui;
    // Runs once the write is committed.
    std::function<void()> salvata;
};

// True when every write was saved; false after showing the failure.
bool SalvaScritture(const QList<TqevScrittura> &scritture);

// The refusal of a changed value whose row another office deleted since the grid was read. The
// write that raises it makes its record forget the row, so that saving again inserts the value
// (the office was told, and may empty the cell instead).
EVxException ValoreCancellatoAltrove();

class TVxFieldValues;

// The insert of a cell that held nothing when the grid was read. A row another office stored
// for the cell since (found with trova, bound with the cell's values) is updated instead: the
// last save wins, and its key is returned. Else inserisci stores the row and returns its key;
// a row stored for the cell at the very same moment (a duplicate of the table's unique key)
// is told as a change of another office.
int InserisciCella(TVxTransaction &tr, const QString &trova, const TVxFieldValues &cella,
                   const std::function<bool(int key)> &aggiorna,
                   const std::function<int()> &inserisci);

// Updates a stored row (table, its key column and key), setting only the columns whose value
// differs from the one last read or written (vecchi; every column without it); true when no
// column differs or the row was there, false when another office deleted it. A column another
// office saved meanwhile and this office did not touch keeps the other office's value: the
// last save wins cell by cell, also where one row holds several cells.
bool AggiornaCambiati(TVxTransaction &tr, const QString &tabella, const QString &chiave, int id,
                      const TVxFieldValues &nuovi, const TVxFieldValues *vecchi);

// The same for a row a store writes from its values type through its row function.
template <class V>
bool AggiornaCambiati(TVxTransaction &tr, const QString &tabella, const QString &chiave, int id,
                      const V &valori, const V *salvati,
                      void (*valoriRiga)(TVxFieldValues &, const V &))
{
    TVxFieldValues nuovi;
    valoriRiga(nuovi, valori);
    TVxFieldValues vecchi;
    if (salvati)
        valoriRiga(vecchi, *salvati);
    return AggiornaCambiati(tr, tabella, chiave, id, nuovi, salvati ? &vecchi : nullptr);
}

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
