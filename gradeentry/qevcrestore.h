#pragma once

// TqevCreStore: the school credits of grade entry (TCRE_CREDITI, one row per pupil situation),
// the credit bands they are chosen from (TBND_BANDE through the class session's band type) and
// the two check lists of a credit (training credits TCREFRM, school credits TCRESCO): every
// statement of these tables that grade entry runs, named and bound.
//
//   const QList<TqevBanda> bande = TqevCreStore::Bande(iClsSesId);
//   for (const auto &r : TqevCreStore::Crediti(iAnaId).value(iAnaId)) ...  // his credit rows
//   SalvaScritture({{cella, [&](TVxTransaction &tr) {
//       key = TqevCreStore::Inserisci(tr, iSitId, valori, inizio, fine, trovati); }}});
//
// A band's key carries its band type in thousands (type t owns t * 1000 + n): the number of
// band types a class session shows is its first band's key div 1000.
//
// Reads run in the caller's transaction when one runs on the shared connection, else in one of
// their own; writes run in the transaction the caller started. Database errors raise
// EVxException with the driver's text.

#include "gradeentry/qevrecords.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

class TVxTransaction;
struct TVxRiga;

struct TqevBanda
{
    int iBndId = 0;
    QString sBndDesc;
    int iBndMedMin = 0;
    int iBndMedMax = 0;
    int iBndCreMin = 0;
    int iBndCreMax = 0;
    QString sBndMed() const; // "min-max"
    QString sBndCre() const;
};

// The band of an average among the bands (by key): an average with no fractional part takes
// the band whose range is that very number, if any; else the band with min < average <= max.
// Of several, the last by key. None below 1, and none when no range holds the average.
const TqevBanda *BandaDi(const QList<TqevBanda> &bande, double media);

// The two check lists of a credit.
enum class TqevListaCrediti { Scolastici, Formativi };

class TqevCreStore
{
public:
    // The bands of the class session's band type, by key.
    static QList<TqevBanda> Bande(int iClsSesId);
    // The bands of a course year as the database holds them (TBnd_Bande.iAcsId), by key, for
    // the credit rule (TqevRegoleValori::CreditoNellaBanda): of the course year of a situation's
    // class (one statement; none for an unknown situation), or of every course year by iAcsId
    // (one statement, for a grid that measures many rows).
    static QList<TqevBanda> BandeDellaSituazione(int iSitId);
    static QHash<int, QList<TqevBanda>> BandeDeiCorsi();
    // For each band type met among the credit-bearing situations of the class session's pupils
    // (final status admitted, suitable, admitted to the exam, suspended, or none yet), the
    // course year it belongs to.
    static QMap<int, int> AnniCorso(int iClsSesId);
    // The credit rows by pupil: one per situation that counts (his main situation of a year, or
    // one whose credit is marked to count), with the same statuses, the latest class first.
    // Each comes filled as read, its stored values noted in Salvato. Of one pupil (iAnaId), or
    // of every pupil of a class (iAnaId 0, the class iClsId), in one statement.
    static QHash<int, QList<std::shared_ptr<TRecCre>>> Crediti(int iAnaId, int iClsId = 0);
    // The debt state of a situation: 0 no debt, 1 a debt whose outcome is not sufficient (or
    // has none), 2 every debt made up.
    static int StatoDebiti(int iSitId);
    // The average a credit's band is chosen by, as the credits grid calculates it: the pupil's
    // vote average (MediaVoti: the subjects his plan counts in the average, the conduct rule of
    // the year iAnsId) of the class session iClsSesId, the grid's own in a final or deferred
    // session, or else (0) of the year's final sessions; rounded to hundredths as the grid
    // rounds, 0 without a vote. Every calculation of a credit's band, in the grid and in the
    // collections, takes it from here.
    static double MediaPerBanda(int iSitId, int iAnsId, int iClsSesId);

    static TValCredito Valori(const TRecCre &rec);
    // The row's values into the record (texts of its band and commendation left as they are).
    static void Imposta(TRecCre &rec, const TValCredito &valori);

    // The credit row of a situation, inserted with the values. The table keeps one row per
    // situation: a row there already (another office's, committed before this transaction
    // began) is kept as it is; its key is returned either way, and salvati tells what the row
    // now holds. A row another office inserts at the very same moment is told as a change made
    // at the same moment. Typed values go through the save's check first (Righe), which tells
    // a row another office stored since the window read none.
    static int Inserisci(TVxTransaction &tr, int iSitId, const TValCredito &valori,
                         const QDate &inizio, const QDate &fine, TValCredito &salvati);
    // The values that differ from salvato (every one without it) into the row, through the
    // stores' one shape (qevsalva.h), once the save checked the row (Righe).
    static void Aggiorna(TVxTransaction &tr, int iCreId, const TValCredito &valori,
                         const TValCredito *salvato = nullptr);
    // What the credit rows of the situations of one pupil (iAnaId), or of every pupil of a
    // class (iAnaId 0, the class iClsId), hold now, by situation (Id), whatever the situation's
    // outcome: in the save's transaction, one statement.
    static QHash<QString, TVxRiga> Righe(int iAnaId, int iClsId = 0);
    static QString Id(int iSitId);
    // A credit row as last read or written, with the columns a write changes to nuovi (and the
    // band, when a credit number changes: it is measured against it); and the values of a row
    // of Righe.
    static TVxRiga Letta(int iCreId, const TValCredito &salvato, const TValCredito &nuovi);
    static TValCredito ValoriDi(const TVxRiga &riga);
    // In the save's transaction: why the row's numbers that differ from salvato (every one
    // without it) break the credit rule against the bands of the situation's course year as the
    // database holds them now (TqevRegoleValori::CreditoRifiutato), as the office reads it;
    // empty when they keep it.
    static QString Rifiutato(int iSitId, const TValCredito &valori, const TValCredito *salvato);

    // A check list: the statement of its kinds (the visible ones, by key: id and long text,
    // as the enumeration helpers take them), the kinds ticked for a credit, and the change of
    // the ticks in the caller's transaction: the marks stored now are read first (and
    // returned), then removed for kinds no longer ticked and added for kinds newly ticked,
    // where they are not so already.
    static QString SqlVoci(TqevListaCrediti lista);
    static QSet<int> Spuntate(TqevListaCrediti lista, int iCreId);
    static QSet<int> SalvaSpunte(TVxTransaction &tr, TqevListaCrediti lista, int iCreId,
                                 const QSet<int> &aggiunte, const QSet<int> &tolte,
                                 const QDate &inizio, const QDate &fine);
};
