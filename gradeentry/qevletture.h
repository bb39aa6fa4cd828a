#pragma once

// What the grade stores' reads of a whole class share. A window reads each kind of data once
// for its class (one statement, the rows handed out to the pupils in memory), not once per
// pupil: over a school's network every statement costs round trips, whatever its rows.
//
//   const TqevSituazioni sit = SituazioniAlunni("Sit", iAnaId == 0);
//   "SELECT ... FROM " + sit.from + "INNER JOIN ... WHERE " + sit.condizione + " AND ..."
//
//   TqevTesto testo("TNot_Note TNot", "TNot.iNotId", "TNot.bNotNota", "bNotNota");
//   "SELECT TNot.iNotId, " + testo.Colonne() + " FROM ..."
//   n.bNotNota = testo.Leggi(q, rec, n.iNotId, [&](const QString &t) { ... = t; });
//   testo.Completa();                   // after the rows: the longer texts, read whole

#include <QList>
#include <QString>

#include <functional>
#include <utility>

class QSqlQuery;
class QSqlRecord;

// The situations, of any year and class, of one pupil (bound with :iAnaId) or of every pupil of
// a class as its list shows them (main situation, on the register; bound with :iClsId), under
// the alias: the start of a FROM clause and a condition of its WHERE clause (the pupil's; for
// a class, where the join chose the pupils already, one always true).
struct TqevSituazioni
{
    QString from;
    QString condizione;
};
TqevSituazioni SituazioniAlunni(const QString &alias, bool classe);

// A text BLOB read in its row: a BLOB of its own costs a round trip to a server per row. Up to
// kTestoInRiga characters come whole in the row; a longer text comes as NULL beside its length,
// and Completa reads those few again by their rows' keys: nothing is cut.
inline constexpr int kTestoInRiga = 2000;
class TqevTesto
{
public:
    // The table (with its alias), its key column and the text column, as the select names
    // them, and the name the text travels under in the row.
    TqevTesto(const QString &tabella, const QString &chiave, const QString &colonna,
              const QString &nome);
    // The select's columns of the text.
    QString Colonne() const;
    // The row's text (empty for NULL). One too long for the row comes empty, and is given to
    // scrivi by Completa.
    QString Leggi(const QSqlQuery &q, const QSqlRecord &rec, int chiave,
                  const std::function<void(const QString &)> &scrivi);
    // Reads whole the texts too long for their rows, in the caller's transaction (or one of
    // their own): one statement, prepared once and run per text.
    void Completa();

private:
    QString m_tabella, m_chiave, m_colonna, m_nome;
    QList<std::pair<int, std::function<void(const QString &)>>> m_lunghi;
};
