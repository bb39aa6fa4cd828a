#pragma once

// The one save routine of every grade frame. A frame collects, for each cell (or row) changed
// since loading, one write: the statements that bring the stored row in line with the record,
// and what the record notes once they are committed (its new key, its value as now stored).
//
//   QList<TqevScrittura> writes;
//   writes.append({descrizione, id, letta, cancella,
//                  [=](TVxTransaction &tr) { store.Aggiorna(tr, ...); },
//                  [rec] { rec->... = ...; }});
//   if (SalvaScritture(writes, {attendi, leggi})) grid.setModificato(false);
//
// A save is one transaction, its statements prepared once: over a network every statement and
// every transaction costs round trips. A write whose cell carries an id is checked first: the
// save reads, in its transaction and in one statement, what every such cell's row holds now
// (TqevVerifica::leggi), and writes only the cells whose row still holds what the grid read.
// Where another office changed, emptied, deleted or filled the cell since, nothing is written
// for it: the office is told which cells, keeps what it typed, and the record takes the row as
// it now stands, so that saving again writes the grid's value over the other office's (the last
// save wins, once told). The other cells of the save are written. A cell another office saves
// at the very moment of this save (an update conflict, a duplicate of the table's unique key)
// is told likewise. Unchecked writes (no id) keep their own guards: a row another office deleted
// or replaced is neither written back nor taken as deleted unsaid (EValoreAltrove).
//
// A failure that is not one cell's own (the server gone, a wait for rows another program keeps
// locked that the office stopped, a failed commit) rolls the whole save back and tells why:
// nothing of it is written, every value stays in the grid, and no transaction is left open. A
// cell the database refuses (a text too long...) is taken back alone and told; the others are
// written.

#include "platform/savecheck.h"
#include "platform/sqlparams.h"
#include "platform/vxexception.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <utility>

class TVxTransaction;

// What a cell's row holds in the database is a TVxRiga (platform/savecheck.h): the comparison
// and its wording are the framework's, shared with the record editors' query collections.

struct TqevScrittura
{
    // Names the cell for the office ("Alunno: ...\rMateria: ...").
    QString cella;
    // The cell among the rows the save's check reads (TqevVerifica::leggi); empty: unchecked.
    QString id;
    // What the cell's row held when the grid read it or last saved it: its key and the values of
    // the columns this write changes. A checked write goes only where the row still holds them.
    TVxRiga letta;
    bool cancella = false; // the write deletes the cell's row
    // Runs the cell's statements in the save's transaction; raises EVxException.
    std::function<void(TVxTransaction &)> esegui;
    // Runs once the save is committed.
    std::function<void()> salvata;
    // An unchecked write met EValoreAltrove: the key the cell's row now has (0: none).
    std::function<void(int chiave)> altrove;
    // A checked write was not made, another office having changed the cell's row: the row as it
    // stands now.
    std::function<void(const TVxRiga &ora)> cambiata;
};

// How a save checks its cells against what other offices stored since the grid read them.
struct TqevVerifica
{
    // Before the save's transaction begins: the waits for what other offices are writing at
    // this moment and no unique key would meet (VxReadCommitted).
    std::function<void()> attendi;
    // In the save's transaction, one statement: the rows of the save's cells by id (a cell
    // without a row has none).
    std::function<QHash<QString, TVxRiga>(TVxTransaction &)> leggi;
    // How the window's office saves again, and where what was not saved stays: a grid's words
    // unless given (a window that writes at once, from a panel, says it its own way).
    TVxDiNuovo diNuovo;
    QString restano = QStringLiteral("I dati non salvati restano nella griglia.");
};

// True when every write was saved; false after telling the office what was not.
bool SalvaScritture(const QList<TqevScrittura> &scritture, const TqevVerifica &verifica = {});

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
    // The cells' rows are checked by the save (TqevScrittura::id) in its own transaction before
    // they are written: a write neither looks for the row again nor counts the rows it touched
    // (each a round trip to a server), since a row read in this transaction is changed by it or
    // the change fails (an update conflict). An insert that may store nothing (INSERT ... WHERE
    // NOT EXISTS, for a table with no unique key on the cell) is still counted.
    bool verificata = false;
    bool inserisciCondizionato = false;
};

// The key of the cell's row, 0 without one.
int TrovaCella(TVxTransaction &tr, const TqevTabella &t, const TVxFieldValues &cella);

// The refusals of the insert of a cell that held nothing when the grid was read: another office
// stored the cell's row since (its key), or is storing it at this very moment (a duplicate of
// the table's unique key: the row is found with t's find once the write is rolled back). Saving
// again writes over it.
EValoreAltrove InseritoAltrove(int chiave);
EValoreAltrove InseritoInsieme(const TqevTabella &t, const TVxFieldValues &cella,
                               const QString &detail);

// The insert of a cell that held nothing when the grid was read; returns the row's key. A row
// another office (or program) stored for the cell since is not overwritten unsaid: nothing is
// written and EValoreAltrove carries the row's key, so that saving again updates it with the
// grid's value (the last save wins, as for a changed value). One it is storing at this very
// moment (a duplicate of the table's unique key) is told as a change of another office at the
// same moment.
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

// What a stored row held when last read or written, as a checked write compares it (the
// TqevScrittura's letta): its key and the values of the columns the write changes, those that
// differ in nuovi (as AggiornaRiga sets them), or of every column without nuovi (a deletion,
// which must not take away unsaid what another office saved in any of them). Key 0: no row.
TVxRiga RigaLetta(int chiave, const TVxFieldValues &salvati, const TVxFieldValues *nuovi = nullptr);

// The same for a row a store writes from its values type through its row function.
template <class V>
TVxRiga RigaLetta(int chiave, const V &salvati, const V *nuovi,
                  void (*valoriRiga)(TVxFieldValues &, const V &))
{
    TVxFieldValues vecchi;
    valoriRiga(vecchi, salvati);
    TVxFieldValues scritti;
    if (nuovi)
        valoriRiga(scritti, *nuovi);
    return RigaLetta(chiave, vecchi, nuovi ? &scritti : nullptr);
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

// Values by name, as a TVxRiga holds them.
QVariantMap MappaValori(const TVxFieldValues &values);

// The dates into the values of a new row: dInsert and dStart the first day, dEnd the last.
void DateNuovaRiga(TVxFieldValues &values, const QDate &inizio, const QDate &fine);
