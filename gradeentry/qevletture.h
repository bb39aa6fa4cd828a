#pragma once

// What the grade stores' reads of a whole class share. A window reads each kind of data once
// for its class (one statement, the rows handed out to the pupils in memory), not once per
// pupil: over a school's network every statement costs round trips, whatever its rows.
//
//   const TqevSituazioni sit = SituazioniAlunni("Sit", iAnaId == 0);
//   "SELECT ... FROM " + sit.from + "INNER JOIN ... WHERE " + sit.condizione + " AND ..."
//   "SELECT TNot.iNotId, " + TestoInRiga("TNot.bNotNota", "sNota") + " FROM ..."
//   if (const auto testo = TestoLetto(q, rec, "sNota")) ... else lunghi << key;
//   const QHash<int, QString> interi = TestiInteri("TNot_Note TNot", "TNot.iNotId",
//                                                   "TNot.bNotNota", lunghi);

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

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

// A text BLOB read in its row, under the name: a BLOB of its own costs a round trip to a server
// per row. Up to kTestoInRiga characters come whole; a longer text comes as NULL beside its
// length, and TestiInteri reads those few again: nothing is cut.
inline constexpr int kTestoInRiga = 2000;
QString TestoInRiga(const QString &colonna, const QString &nome);
// The text of the row (empty for NULL); none when it is longer than the row holds.
std::optional<QString> TestoLetto(const QSqlQuery &q, const QSqlRecord &rec, const QString &nome);
// The whole texts of the rows with these keys, by key, in the caller's transaction (or one of
// their own): one statement, prepared once and run per key.
QHash<int, QString> TestiInteri(const QString &tabella, const QString &chiave,
                                const QString &colonna, const QList<int> &chiavi);
