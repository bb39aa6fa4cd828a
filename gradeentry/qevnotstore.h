#pragma once

// TqevNotStore: the notes of grade entry (TNOT_NOTE): a date, the teacher who gives the note
// and a free text, per pupil situation and class-session subject. Every statement of the table
// that grade entry runs, named and bound; the notes frame holds no SQL.
//
//   const auto notes = store.Carica(iClsSesId);   // by (iSitId, iClsSesMatId)
//   SalvaScritture({{cella, [&](TVxTransaction &tr) { key = store.Inserisci(tr, ...); }, ...}});
//
// The table has no unique key on (pupil, subject), and other programs of the suite may store
// several notes there: a cell shows, and writes back, the first one stored (the lowest key).
// A new row takes its key from PYSetGetId before the insert, so the key a record keeps is the
// row's own, whatever else the table holds for the pair.
//
// Reads run in the caller's transaction when one runs on the shared connection, else in one of
// their own; writes run in the transaction the save routine started. Database errors raise
// EVxException with the driver's text.

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QPair>
#include <QString>

class TVxTransaction;
struct TRecNot;
struct TVxRiga;

struct TqevNota
{
    int iNotId = 0;
    QDateTime dNotData; // invalid = none
    int iAnaId = 0;
    QString sDocNome; // "Surname Name" of the teacher; empty without one
    QString bNotNota;
};

class TqevNotStore
{
public:
    // The notes of the class session by pupil situation and class-session subject, in one
    // statement (texts included): of every pupil or of one (iSitId), of every subject or of
    // one (iClsSesMatId).
    QHash<QPair<int, int>, TqevNota> Carica(int iClsSesId, int iSitId = 0,
                                            int iClsSesMatId = 0) const;
    // What the cells' notes hold now, by cell (Id), over the scope Carica reads: in the save's
    // transaction, one statement.
    QHash<QString, TVxRiga> Righe(int iClsSesId, int iSitId = 0, int iClsSesMatId = 0) const;
    static QString Id(int iClsSesMatId, int iSitId);
    // What the note's row held when it was last read or written: its key and the parts (date,
    // teacher, text) it changes since, or every part (tutta: a note emptied, whose row goes).
    static TVxRiga Letta(const TRecNot &nota, bool tutta);
    // Before a save stores a note in an empty cell: waits for a note of the cell another writer
    // holds uncommitted, whatever program it is, so that the save's check then finds it (the
    // table has no unique key on the cell for the insert to meet).
    void Attendi(int iClsSesMatId, int iSitId) const;

    // A note's statements, in the save's transaction, through the stores' one shape
    // (qevsalva.h), once the save checked the cell's note (Righe). A new note returns its key;
    // the insert stores nothing where the cell has a committed note (told, not doubled). An
    // update writes only the parts (date, teacher, text) that differ from what the record last
    // read or wrote.
    int Inserisci(TVxTransaction &tr, int iClsSesMatId, int iSitId, const TRecNot &nota,
                  const QDate &dStart, const QDate &dEnd) const;
    void Aggiorna(TVxTransaction &tr, int iNotId, const TRecNot &nota) const;
    void Cancella(TVxTransaction &tr, int iNotId, int iClsSesMatId, int iSitId) const;

    static QString SqlTrova();
    static QString SqlInserisci();
    static QString SqlCancella();
};

// A note with no text (blanks count as none), no date and no teacher; the teacher's name does
// not count.
bool NotaVuota(const TRecNot &nota);
// Whether the note differs from what was last read or written.
bool NotaCambiata(const TRecNot &nota);
// The note as it stands is what the database holds.
void NotaSalvata(TRecNot &nota);
// Another office changed the note's row: what the database holds is that row (none: no key).
void NotaPresa(TRecNot &nota, const TVxRiga &ora);
// The note's row is gone or replaced: the note takes the cell's row as it now stands. None: what
// it last read is no longer stored, and saving it again stores it anew.
void NotaDimenticata(TRecNot &nota, int iNotId);
