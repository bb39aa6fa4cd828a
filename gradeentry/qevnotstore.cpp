#include "gradeentry/qevnotstore.h"

#include "gradeentry/qevletture.h"
#include "gradeentry/qevrecords.h"
#include "gradeentry/qevsalva.h"
#include "platform/connection.h"
#include "platform/transaction.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// The notes of a class session; %1 the text, %2 the conditions on a pupil or a subject.
const char kCarica[] =
    "SELECT TNot.iNotId, TNot.iSitId, TNot.iClsSesMatId, %1, TNot.dNotData, "
    "TNot.iAnaId, TAna.sAnaCognome || ' ' || TAna.sAnaNome sDocNome "
    "FROM TNot_Note TNot "
    "INNER JOIN TClsSesMat TClsSesMat ON (TClsSesMat.iClsSesMatId = TNot.iClsSesMatId) "
    "LEFT OUTER JOIN TAna_Anagrafiche TAna ON (TAna.iAnaId = TNot.iAnaId) "
    "WHERE TClsSesMat.iClsSesId = :iClsSesId%2 "
    "ORDER BY TNot.iNotId";

const char kTrova[] = "SELECT TNot.iNotId FROM TNot_Note TNot WHERE TNot.iSitId = :iSitId AND "
                      "TNot.iClsSesMatId = :iClsSesMatId ORDER BY TNot.iNotId";

// The first note of a cell as committed, read where a save waits for the notes other writers
// hold (VxReadCommitted).
const char kPrimaConfermata[] =
    "SELECT MIN(TNot.iNotId) FROM TNot_Note TNot WHERE TNot.iSitId = ? AND TNot.iClsSesMatId = ?";

const TqevTabella &tabella()
{
    static const TqevTabella t{QStringLiteral("TNOT_NOTE"),
                               QStringLiteral("iNotId"),
                               QString::fromLatin1(kTrova),
                               VxInsertUnlessPresentSql(QStringLiteral("TNOT_NOTE"),
                                                        {{"iNotId", "INTEGER"},
                                                         {"iClsSesMatId", "INTEGER"},
                                                         {"iSitId", "INTEGER"},
                                                         {"dNotData", "DATE"},
                                                         {"bNotNota", "BLOB SUB_TYPE TEXT"},
                                                         {"iAnaId", "INTEGER"},
                                                         {"dInsert", "TIMESTAMP"},
                                                         {"dStart", "DATE"},
                                                         {"dEnd", "DATE"}},
                                                        {"iSitId", "iClsSesMatId"}),
                               true,
                               true};
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

QString TqevNotStore::SqlTrova()
{
    return QString::fromLatin1(kTrova);
}

QString TqevNotStore::SqlInserisci()
{
    return tabella().inserisci;
}

QString TqevNotStore::SqlCancella()
{
    return ::SqlCancella(tabella());
}

QHash<QPair<int, int>, TqevNota> TqevNotStore::Carica(int iClsSesId, int iSitId,
                                                      int iClsSesMatId) const
{
    TVxFieldValues values;
    values.setValue(QStringLiteral("iClsSesId"), iClsSesId);
    QString condizioni;
    if (iSitId != 0) {
        values.setValue(QStringLiteral("iSitId"), iSitId);
        condizioni += QStringLiteral(" AND TNot.iSitId = :iSitId");
    }
    if (iClsSesMatId != 0) {
        values.setValue(QStringLiteral("iClsSesMatId"), iClsSesMatId);
        condizioni += QStringLiteral(" AND TNot.iClsSesMatId = :iClsSesMatId");
    }
    TqevTesto testo(QStringLiteral("TNot_Note TNot"), QStringLiteral("TNot.iNotId"),
                    QStringLiteral("TNot.bNotNota"), QStringLiteral("bNotNota"));
    const QString sql = QString::fromLatin1(kCarica).arg(testo.Colonne(), condizioni);
    QHash<QPair<int, int>, TqevNota> notes;
    VxEachRow(qqoVxGlobConn(), sql, values, [&](const QSqlQuery &q, const QSqlRecord &rec) {
        const QPair<int, int> cella(campo(q, rec, "iSitId").toInt(),
                                    campo(q, rec, "iClsSesMatId").toInt());
        if (notes.contains(cella))
            return;
        TqevNota n;
        n.iNotId = campo(q, rec, "iNotId").toInt();
        const QDate date = campo(q, rec, "dNotData").toDate();
        n.dNotData = date.isValid() ? date.startOfDay() : QDateTime();
        n.iAnaId = campo(q, rec, "iAnaId").toInt();
        n.sDocNome = campo(q, rec, "sDocNome").toString().trimmed();
        n.bNotNota = testo.Leggi(q, rec, n.iNotId,
                                 [&notes, cella](const QString &t) { notes[cella].bNotNota = t; });
        notes.insert(cella, n);
    });
    testo.Completa();
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

QString TqevNotStore::Id(int iClsSesMatId, int iSitId)
{
    return QStringLiteral("%1:%2").arg(iSitId).arg(iClsSesMatId);
}

QHash<QString, TVxRiga> TqevNotStore::Righe(int iClsSesId, int iSitId, int iClsSesMatId) const
{
    QHash<QString, TVxRiga> righe;
    const auto notes = Carica(iClsSesId, iSitId, iClsSesMatId);
    for (auto it = notes.cbegin(); it != notes.cend(); ++it) {
        const TqevNota &n = it.value();
        righe.insert(Id(it.key().second, it.key().first),
                     {n.iNotId, MappaValori(valoriNota(n.dNotData, n.iAnaId, n.bNotNota))});
    }
    return righe;
}

TVxRiga TqevNotStore::Letta(const TRecNot &nota, bool tutta)
{
    TVxRiga riga{nota.iNotId, {}};
    if (nota.iNotId == 0)
        return riga;
    const TVxFieldValues letti =
        valoriNota(nota.dNotDataSalvata, nota.iAnaIdSalvato, nota.bNotNotaSalvata);
    const TVxFieldValues nuovi = valoriNota(nota.dNotData, nota.iAnaId, nota.bNotNota);
    for (int i = 0; i < letti.size(); ++i) {
        if (tutta || letti.value(i) != nuovi.value(letti.name(i)))
            riga.valori.insert(letti.name(i), letti.value(i));
    }
    return riga;
}

void TqevNotStore::Attendi(int iClsSesMatId, int iSitId) const
{
    VxReadCommitted(qqoVxGlobConn(), QString::fromLatin1(kPrimaConfermata), {iSitId, iClsSesMatId});
}

void NotaPresa(TRecNot &nota, const TVxRiga &ora)
{
    nota.iNotId = ora.chiave;
    const QDate data = ora.valori.value(QStringLiteral("dNotData")).toDate();
    nota.dNotDataSalvata = data.isValid() ? data.startOfDay() : QDateTime();
    nota.iAnaIdSalvato = ora.valori.value(QStringLiteral("iAnaId")).toInt();
    nota.bNotNotaSalvata = ora.valori.value(QStringLiteral("bNotNota")).toString();
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
