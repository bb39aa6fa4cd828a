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

// The table keeps no unique key on (pupil, subject): two offices filling one empty cell at once
// meet on the pupil's situation row instead, which this update (changing nothing) locks. A write,
// so that a wait behind another program is guarded as every write's is.
const char kBlocca[] = "UPDATE TSit_Situazioni SET iSitId = iSitId WHERE iSitId = :iSitId";

const TqevTabella &tabella()
{
    static const TqevTabella t{QStringLiteral("TNOT_NOTE"), QStringLiteral("iNotId"),
                               QString::fromLatin1(kTrova), QString::fromLatin1(kInserisci),
                               QString::fromLatin1(kBlocca)};
    return t;
}

TVxFieldValues cellaNota(int iClsSesMatId, int iSitId)
{
    return valuesOf({{"iClsSesMatId", iClsSesMatId}, {"iSitId", iSitId}});
}

QVariant campo(const QSqlQuery &q, const QSqlRecord &rec, const char *name)
{
    return q.value(rec.indexOf(QString::fromLatin1(name)));
}

// A note's values as the table takes them: no date, no teacher and a blank text are NULL.
TVxFieldValues valoriNota(const QDateTime &dNotData, int iAnaId, const QString &bNotNota)
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("dNotData"),
                    dNotData.isValid() ? QVariant(dNotData.date()) : QVariant());
    values.setValue(QStringLiteral("iAnaId"), iAnaId != 0 ? QVariant(iAnaId) : QVariant());
    values.setValue(QStringLiteral("bNotNota"),
                    bNotNota.trimmed().isEmpty() ? QVariant() : QVariant(bNotNota));
    return values;
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

QString TqevNotStore::SqlCancella()
{
    return ::SqlCancella(tabella());
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
    return InserisciCella(tr, tabella(), cellaNota(iClsSesMatId, iSitId),
                          valoriNota(nota.dNotData, nota.iAnaId, nota.bNotNota), dStart, dEnd);
}

void TqevNotStore::Aggiorna(TVxTransaction &tr, int iNotId, const TRecNot &nota) const
{
    // Date, teacher and text are three cells of the pupil and subject grids.
    const TVxFieldValues letti =
        valoriNota(nota.dNotDataSalvata, nota.iAnaIdSalvato, nota.bNotNotaSalvata);
    AggiornaRiga(tr, tabella(), iNotId, valoriNota(nota.dNotData, nota.iAnaId, nota.bNotNota),
                 &letti);
}

void TqevNotStore::Cancella(TVxTransaction &tr, int iNotId, int iClsSesMatId, int iSitId) const
{
    CancellaCella(tr, tabella(), iNotId, cellaNota(iClsSesMatId, iSitId));
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

void NotaDimenticata(TRecNot &nota, int iNotId)
{
    nota.iNotId = iNotId;
    // A row that replaced it differs from the emptied cell as the one read did: saving again
    // deletes it.
    if (iNotId != 0)
        return;
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
