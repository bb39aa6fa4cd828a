#include "gradeentry/qevnotstore.h"

#include "gradeentry/qevrecords.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/fieldvalue.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const char kCarica[] =
    "SELECT TNot.iNotId, TNot.iSitId, TNot.iClsSesMatId, TNot.bNotNota, TNot.dNotData, "
    "TNot.iAnaId, TAna.sAnaCognome || ' ' || TAna.sAnaNome sDocNome "
    "FROM TNot_Note TNot "
    "INNER JOIN TClsSesMat TClsSesMat ON (TClsSesMat.iClsSesMatId = TNot.iClsSesMatId) "
    "LEFT OUTER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TNot.iAnaId) "
    "WHERE TClsSesMat.iClsSesId = :iClsSesId AND TNot.iSitId = :iSitId "
    "ORDER BY TNot.iNotId";

const char kTrova[] = "SELECT TNot.iNotId FROM TNot_Note TNot WHERE TNot.iSitId = :iSitId AND "
                      "TNot.iClsSesMatId = :iClsSesMatId ORDER BY TNot.iNotId";

const char kInserisci[] =
    "INSERT INTO TNOT_NOTE (iNotId, iClsSesMatId, iSitId, dNotData, bNotNota, iAnaId, dInsert, "
    "dStart, dEnd) VALUES (:iNotId, :iClsSesMatId, :iSitId, :dNotData, :bNotNota, :iAnaId, "
    ":dInsert, :dStart, :dEnd)";

const char kAggiorna[] = "UPDATE TNOT_NOTE SET dNotData=:dNotData, iAnaId=:iAnaId, "
                         "bNotNota=:bNotNota WHERE iNotId=:iNotId";

const char kCancella[] = "DELETE FROM TNOT_NOTE WHERE iNotId=:iNotId";

QVariant campo(const QSqlQuery &q, const QSqlRecord &rec, const char *name)
{
    return q.value(rec.indexOf(QString::fromLatin1(name)));
}

// The note's values as the table takes them: no date, no teacher and a blank text are NULL.
void valoriNota(TVxFieldValues &values, const TRecNot &nota)
{
    values.setValue(QStringLiteral("dNotData"),
                    nota.dNotData.isValid() ? QVariant(nota.dNotData.date()) : QVariant());
    values.setValue(QStringLiteral("iAnaId"),
                    nota.iAnaId != 0 ? QVariant(nota.iAnaId) : QVariant());
    values.setValue(QStringLiteral("bNotNota"),
                    nota.bNotNota.trimmed().isEmpty() ? QVariant() : QVariant(nota.bNotNota));
}

} // namespace

QString TqevNotStore::SqlCarica()
{
    return QString::fromLatin1(kCarica);
}

QString TqevNotStore::SqlTrova()
{
    return QString::fromLatin1(kTrova);
}

QString TqevNotStore::SqlInserisci()
{
    return QString::fromLatin1(kInserisci);
}

QString TqevNotStore::SqlAggiorna()
{
    return QString::fromLatin1(kAggiorna);
}

QString TqevNotStore::SqlCancella()
{
    return QString::fromLatin1(kCancella);
}

QHash<int, TqevNota> TqevNotStore::Carica(int iClsSesId, int iSitId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsSesId"), iClsSesId);
    values.setValue(QStringLiteral("iSitId"), iSitId);
    QHash<int, TqevNota> notes;
    VxEachRow(
        qqoVxGlobConn(), SqlCarica(), values, [&notes](const QSqlQuery &q, const QSqlRecord &rec) {
            const int subject = campo(q, rec, "iClsSesMatId").toInt();
            if (notes.contains(subject))
                return;
            bool ok = false;
            TqevNota n;
            n.iNotId = campo(q, rec, "iNotId").toInt();
            const QDate date = campo(q, rec, "dNotData").toDate();
            n.dNotData = date.isValid() ? date.startOfDay() : QDateTime();
            n.iAnaId = campo(q, rec, "iAnaId").toInt();
            n.sDocNome = campo(q, rec, "sDocNome").toString().trimmed();
            n.bNotNota = normalizeFieldValue(ftMemo, campo(q, rec, "bNotNota"), &ok).toString();
            notes.insert(subject, n);
        });
    return notes;
}

int TqevNotStore::Inserisci(TVxTransaction &tr, int iClsSesMatId, int iSitId, const TRecNot &nota,
                            const QDate &dStart, const QDate &dEnd) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsSesMatId"), iClsSesMatId);
    values.setValue(QStringLiteral("iSitId"), iSitId);
    return InserisciCella(
        tr, SqlTrova(), values, [&](int key) { return Aggiorna(tr, key, nota); },
        [&] {
            const int key = VxNewKey(qqoVxGlobConn(), QStringLiteral("TNOT_NOTE"));
            values.setValue(QStringLiteral("iNotId"), key);
            valoriNota(values, nota);
            DateNuovaRiga(values, dStart, dEnd);
            tr.Exec(SqlInserisci(), values);
            return key;
        });
}

bool TqevNotStore::Aggiorna(TVxTransaction &tr, int iNotId, const TRecNot &nota) const
{
    TVxFieldValues values;
    valoriNota(values, nota);
    values.setValue(QStringLiteral("iNotId"), iNotId);
    return tr.Exec(SqlAggiorna(), values).numRowsAffected() > 0;
}

void TqevNotStore::Cancella(TVxTransaction &tr, int iNotId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iNotId"), iNotId);
    tr.Exec(SqlCancella(), values);
}

bool NotaVuota(const TRecNot &nota)
{
    return nota.bNotNota.trimmed().isEmpty() && !nota.dNotData.isValid() && nota.iAnaId == 0;
}

bool NotaCambiata(const TRecNot &nota)
{
    return nota.dNotData.date() != nota.dNotDataSalvata.date() ||
           nota.iAnaId != nota.iAnaIdSalvato || nota.bNotNota != nota.bNotNotaSalvata;
}

void NotaDimenticata(TRecNot &nota)
{
    nota.iNotId = 0;
    nota.dNotDataSalvata = QDateTime();
    nota.iAnaIdSalvato = 0;
    nota.bNotNotaSalvata.clear();
}

void NotaSalvata(TRecNot &nota)
{
    nota.dNotDataSalvata = nota.dNotData;
    nota.iAnaIdSalvato = nota.iAnaId;
    nota.bNotNotaSalvata = nota.bNotNota;
}
