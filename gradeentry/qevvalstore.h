#pragma once

// TqevValStore: the stored values of the five vote kinds (0 votes TVOT_VOTI, 1 proposed votes
// TVTP_PROPOSTI, 2 taxonomies TTAS_TASSONOMIE, 3 absences TASS_ASSENZE, 4 aids TAIU_AIUTI) and
// the levels a vote cell may take: every statement of these tables that grade entry runs, named
// and bound. The frames hold no SQL; they read and write through here.
//
//   TqevValStore store(tdVoti);
//   const auto values = store.Carica(iClsSesId);          // the class's, in a read transaction
//   store.CaricaLivelli();
//   if (const TqevLivello *l = store.Livello(iCmpScaId, "7")) ...
//   SalvaScritture({{cella, [&](TVxTransaction &tr) { key = store.Inserisci(tr, ...); }, ...}});
//
// The five tables travel under one set of names: a value is a row key (iPKId), the value
// itself (iValId: the level, or the hours; an aid is its text), its texts and, for the vote
// kinds, the level's numeric value and flags. Values live per (pupil situation, class-session
// subject, component); absences and aids have no component (0).
//
// Reads run in the caller's transaction when one runs on the shared connection, else in one of
// their own; writes run in the transaction the save routine started for the cell. Database
// errors raise EVxException with the driver's text.

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

class TVxFieldValues;
class TVxTransaction;
struct TRecVal;
struct TVxRiga;
struct TqevTabella;

struct TqevChiaveVal
{
    int iSitId = 0;
    int iClsSesMatId = 0;
    int iCmpScaId = 0; // 0 for absences and aids
    bool operator==(const TqevChiaveVal &) const = default;
};
size_t qHash(const TqevChiaveVal &key, size_t seed = 0);

// A stored value, or a level that may be typed, under the kinds' shared names.
struct TqevValore
{
    int iPKId = 0; // the stored row; 0 for a level
    int iCmpScaId = 0;
    int iValId = 0; // level id; the hours of an absence; 0 for an aid's text
    QString sValSDesc;
    QString sValLDesc;
    double iValDato = 0;
    bool bValSuff = true;
    bool bValInMed = false;
};
using TqevLivello = TqevValore;

class TqevValStore
{
public:
    explicit TqevValStore(int TipoDati = 0);

    int TipoDati() const { return m_tipoDati; }
    void setTipoDati(int TipoDati);
    // The kind's table, as PYSetGetId names it ("TVOT_VOTI").
    QString Tabella() const;
    // Whether the kind's values hang on components (votes, proposed votes, taxonomies).
    bool PerComponente() const { return m_tipoDati <= 2; }

    // The stored values of the kind in the class session, in one statement: of every pupil, or
    // of one (iSitId); of every subject, or of one (iClsSesMatId). The class session's subjects
    // find the values by their components' index, whatever the class's size.
    QHash<TqevChiaveVal, TqevValore> Carica(int iClsSesId, int iSitId = 0,
                                            int iClsSesMatId = 0) const;

    // Reads again the levels every component scale of the kind allows (none for absences and
    // aids): vote and taxonomy levels not deleted, visible proposal levels are offered; the
    // deleted and hidden ones still belong to their scale.
    void CaricaLivelli();
    // The level of the component scale whose short text is exactly the text (case counts);
    // none when the scale has no such level.
    const TqevLivello *Livello(int iCmpScaId, const QString &sValSDesc) const;
    // A component scale's levels in the scale's order.
    QList<TqevLivello> Livelli(int iCmpScaId) const;
    // Whether the level (the id a row stores) belongs to the component scale, offered or not,
    // and the scale to a component of the kind (a vote's or a proposal's scale is never a
    // taxonomy's): what a value brought back from outside must keep.
    bool LivelloDellaScala(int iCmpScaId, qint64 iValId) const;
    // Whether the grid offers the level on the component scale (not deleted, or visible).
    bool LivelloOfferto(int iCmpScaId, qint64 iValId) const;
    bool ScalaDelTipo(int iCmpScaId) const;

    // The value a record writes into the table: an aid's text, else the level or the hours.
    QVariant ValoreDi(const TRecVal &rec) const;
    // Whether the record's value differs from the one it last read or wrote.
    bool Cambiato(const TRecVal &rec) const;

    // What the cells' rows hold now, by cell (Id): their keys and values, in one statement of
    // the save's transaction, over the scope Carica reads.
    QHash<QString, TVxRiga> Righe(int iClsSesId, int iSitId = 0, int iClsSesMatId = 0) const;
    // A cell among the rows of Righe.
    static QString Id(const TqevChiaveVal &cella);
    // What the record's row held when it was last read or written, as Righe gives it.
    TVxRiga Letta(const TRecVal &rec) const;

    // One cell's statement, in the save's transaction, through the stores' one shape
    // (qevsalva.h), once the save checked the cell's row (Righe): a new row takes its key from
    // PYSetGetId first, and the year's first day as insert and start date; a cell another
    // office is filling at this very moment is told as a change made at the same moment.
    int Inserisci(TVxTransaction &tr, const TqevChiaveVal &cella, const QVariant &valore,
                  const QDate &dStart, const QDate &dEnd) const;
    void Aggiorna(TVxTransaction &tr, int iPKId, const QVariant &valore) const;
    void Cancella(TVxTransaction &tr, int iPKId, const TqevChiaveVal &cella) const;

    // The statement texts, for benchmarks and tests that replay them.
    QString SqlCarica(bool perAlunno, bool perMateria) const;
    QString SqlInserisci() const;
    QString SqlTrova() const; // the row of a cell
    QString SqlAggiorna() const;
    QString SqlCancella() const;
    QString SqlRighe(bool perAlunno, bool perMateria) const;

private:
    const TqevTabella &tabella() const;
    TVxFieldValues valoriCella(const TqevChiaveVal &cella) const;
    TVxFieldValues valoriRiga(const QVariant &valore) const;

    int m_tipoDati;
    QHash<int, QList<TqevLivello>> m_livelli; // by iCmpScaId, in the scale's order
    QHash<int, QSet<qint64>> m_dellaScala;    // every level of each scale of the kind
};
