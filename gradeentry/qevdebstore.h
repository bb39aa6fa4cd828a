#pragma once

// TqevDebStore: the debts of grade entry (TDEB_DEBITI: one row per pupil situation and
// subject, the subjects a pupil must make up) with what a debt shows beside it: the pupil's
// averages of votes and of proposed votes in the subject, and the lookups of the default debt
// ("Assegna debito"). Every statement of these tables that grade entry runs, named and bound.
//
//   const auto debiti = TqevDebStore::Debiti(iAnsId, 0, iClsId);   // by pupil, then subject
//   SalvaScritture({{cella, [&](TVxTransaction &tr) {
//       key = TqevDebStore::Inserisci(tr, iAnaId, iAnsId, iMatId, valori, inizio, fine); }}});
//
// A debt belongs to the pupil's main situation of the year (iSitOrdine 1; its start is the
// year's first day). Reads run in the caller's transaction when one runs on the shared
// connection, else in one of their own; writes in the transaction the caller started. Database
// errors raise EVxException with the driver's text.

#include "gradeentry/qevrecords.h"

#include <QDate>
#include <QHash>
#include <QPair>
#include <QString>
#include <QVariant>

class TVxTransaction;
struct TVxRiga;

// A stored debt with the texts of its type, outcome and teachers.
struct TqevDebito
{
    int iDebId = 0;
    int iMatId = 0;
    TValDebito valori;
    QString sDtdLDesc;
    QString sDedLDesc;
    QString sDocAttr;
    QString sDocVer;
    bool bSufficiente = true; // the outcome counts as made up
};

// The averages shown beside a debt, as the grid writes them.
struct TqevMedieDebito
{
    QString sMedVot; // unrounded; empty without votes
    QString sMedVtp; // to hundredths; empty without proposals
};

// The teacher who assigns and verifies a subject's debts by default.
struct TqevDocente
{
    int iAnaId = 0;
    QString sDocNome;
};

// By pupil (iAnaId), then by subject (iMatId).
using TqevDebitiAnno = QHash<int, QHash<int, TqevDebito>>;

class TqevDebStore
{
public:
    // The debts of the year of one pupil (iAnaId), or of every pupil of a class (iAnaId 0, the
    // class iClsId), in one statement.
    static TqevDebitiAnno Debiti(int iAnsId, int iAnaId, int iClsId = 0);
    // The averages by pupil and subject over the year's final-session votes and proposals whose
    // level and component scale count in averages, of one pupil or of every pupil of a class as
    // Debiti, in one statement; a subject without values has none.
    static QHash<QPair<int, int>, TqevMedieDebito> Medie(int iAnsId, int iAnaId, int iClsId = 0);

    // The texts of a debt type and of a debt outcome; empty for a key not in the lookups.
    static QString TestoTipo(int iDtpDtdId);
    static QString TestoEsito(int iDesDedId);
    // The first teacher of the subject in the class, by name; none when it has none.
    static TqevDocente DocenteMateria(int iClsId, int iMatId);

    static TValDebito Valori(const TRecDeb &rec);
    static bool Vuoto(const TValDebito &valori);

    // What the debts hold now, by pupil and subject (Id), as Debiti reads them: in the save's
    // transaction, one statement.
    static QHash<QString, TVxRiga> Righe(int iAnsId, int iAnaId, int iClsId = 0);
    static QString Id(int iAnaId, int iMatId);
    // A debt as last read or written, for the save's check: its key with the columns the write
    // changes to nuovi, or with every column (a deletion); and the values of a row of Righe.
    static TVxRiga Letta(int iDebId, const TValDebito &salvato, const TValDebito *nuovi = nullptr);
    static TValDebito ValoriDi(const TVxRiga &riga);

    // Through the stores' one shape (qevsalva.h), once the save checked the debt's row
    // (Righe): the debt of the pupil's main situation of the year in the subject, inserted with
    // the values. Raises EVxException when the pupil has no main situation in the year, and as
    // a change made at the same moment when another office inserts the row at the very moment
    // (the table keeps one debt per situation and subject).
    static int Inserisci(TVxTransaction &tr, int iAnaId, int iAnsId, int iMatId,
                         const TValDebito &valori, const QDate &inizio, const QDate &fine);
    // The values that differ from salvato (every one without it) into the row.
    static void Aggiorna(TVxTransaction &tr, int iDebId, const TValDebito &valori,
                         const TValDebito *salvato = nullptr);
    static void Cancella(TVxTransaction &tr, int iDebId);
};
