#pragma once

// The two data of a pupil's final scrutiny that are not per subject: the judgment, a free text
// per pupil situation and year-session (TGDZ_GIUDIZI), and the final outcome, the position
// iPosFinId of the pupil's situation row (TSIT_SITUAZIONI). Every statement grade entry runs on
// them, named and bound; the judgment and outcome frames hold no SQL.
//
//   const auto giudizi = TqevGdzStore().Carica(iClsSesId);      // by pupil situation
//   const auto esiti = TqevFinStore().Carica(iClsId);           // by pupil situation
//   SalvaScritture({{cella, [&](TVxTransaction &tr) { TqevFinStore().Aggiorna(tr, ...); }}});
//
// A judgment's text travels as UTF-8 in its text BLOB, exactly as typed (accents, line breaks,
// any length). Reads run in the caller's transaction when one runs on the shared connection,
// else in one of their own; writes in the transaction the save routine started. Database errors
// raise EVxException with the driver's text.

#include <QDate>
#include <QHash>
#include <QString>

class TVxTransaction;
struct TVxRiga;

struct TqevGiudizio
{
    int iGdzId = 0; // 0 = none stored
    QString testo;
};

class TqevGdzStore
{
public:
    // The judgments in the class session's year-session by pupil situation, texts included, in
    // one statement: of every pupil of the class, or of one (iSitId). A pupil without one has
    // none in the list.
    QHash<int, TqevGiudizio> Carica(int iClsSesId, int iSitId = 0) const;
    // What the pupils' judgments hold now, by pupil (Id), as Carica reads them: in the save's
    // transaction, one statement.
    QHash<QString, TVxRiga> Righe(int iClsSesId, int iSitId = 0) const;
    static QString Id(int iSitId);
    // A judgment's row as last read or written (key 0: none), and the text of a row.
    static TVxRiga Letta(int iGdzId, const QString &testoLetto);
    static QString Testo(const TVxRiga &riga);
    // Through the stores' one shape (qevsalva.h), once the save checked the judgment's row
    // (Righe). Returns the new key. The table keeps one judgment per situation and
    // year-session: one stored at the very same moment is refused, not doubled.
    int Inserisci(TVxTransaction &tr, int iSitId, int iAnsSesDwgId, const QString &testo,
                  const QDate &dStart, const QDate &dEnd) const;
    void Aggiorna(TVxTransaction &tr, int iGdzId, const QString &testo) const;
    void Cancella(TVxTransaction &tr, int iGdzId, int iSitId, int iAnsSesDwgId) const;

    static QString SqlTrova();
    static QString SqlInserisci();
    static QString SqlAggiorna();
    static QString SqlCancella();
};

struct TqevEsito
{
    int iPosFinId = 0; // 0 = no outcome
    QString sStaFinDettSDesc;
};

class TqevFinStore
{
public:
    // The outcomes of the situations of a class by situation, in one statement; or of the one
    // situation iSitId. A situation without one (or without a row) has none in the list.
    QHash<int, TqevEsito> Carica(int iClsId, int iSitId = 0) const;
    // What the outcomes hold now, by situation (Id), as Carica reads them: in the save's
    // transaction, one statement. A situation's row is its own key (0: the row is gone).
    QHash<QString, TVxRiga> Righe(int iClsId, int iSitId = 0) const;
    static QString Id(int iSitId);
    // The outcome of a situation as last read or written, and the outcome of a row (0: none).
    static TVxRiga Letta(int iSitId, int iPosFinId);
    static int Esito(const TVxRiga &riga);
    // 0 stores no outcome (NULL). Raises when the situation row is gone.
    void Aggiorna(TVxTransaction &tr, int iSitId, int iPosFinId) const;

    static QString SqlAggiorna();
};
