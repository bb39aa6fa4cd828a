#pragma once

// The comparison every write of the office's data goes through, wherever it is saved from (the
// grade grids' one save routine, a record editor's query collection): two offices share one
// database, so a write goes only where the stored row still holds what this window read, in
// the columns the write changes (every column for a deletion), compared in the write's own
// transaction. Where another office changed, emptied, deleted or filled the row since, nothing
// is written for it: the office is told why, in one wording, and the window takes the row as it
// stands now, so that saving again writes over the other office's (the last save wins, once
// told).
//
//   const TVxRiga letta = VxRigaLetta(key, valuesAsRead, &valuesToWrite);
//   ... in the write's transaction, ora = the row as stored now ...
//   if (!VxRigaComeLetta(letta, ora)) throw EVxException(VxMotivoCambiata(letta, ora, false));

#include "platform/sqlparams.h"

#include <QString>
#include <QVariantMap>

// What a row holds in the database: its key (0: none) and, by column, the values a save
// compares.
struct TVxRiga
{
    int chiave = 0;
    QVariantMap valori;
};

// Whether the row still holds what the write read: its key, and each column it compares. A
// null compares equal to a null only; a text blob read as bytes equals the same text.
bool VxRigaComeLetta(const TVxRiga &letta, const TVxRiga &ora);

// What a stored row held when last read or written, as a write compares it: its key and the
// values of the columns that differ in nuovi (the columns the write sets), or of every column
// without nuovi (a deletion, which must not take away unsaid what another office saved in any
// of them). Key 0: no row.
TVxRiga VxRigaLetta(int chiave, const TVxFieldValues &salvati,
                    const TVxFieldValues *nuovi = nullptr);

// What the window holds that was not written, and what writing again does, in the window's own
// words (the grids' unless given): the reason told ends with it.
struct TVxDiNuovo
{
    QString dato = QStringLiteral("il dato della griglia");
    // After a change or a row stored by another office.
    QString sostituisce = QStringLiteral("Salvando di nuovo, il dato della griglia sostituisce "
                                         "quello dell'altra postazione.");
    // After the row of a write was deleted.
    QString inserisce = QStringLiteral("Salvando di nuovo, il dato della griglia viene inserito; "
                                       "per lasciarlo cancellato, svuotare la cella prima di "
                                       "salvare.");
    // After the row of a deletion was deleted.
    QString resta = QStringLiteral("Salvando di nuovo, la cella resta vuota, come nell'archivio.");
    // After the row of a deletion was changed or replaced.
    QString cancella = QStringLiteral("Salvando di nuovo, il dato viene cancellato.");
};

// What another office did to a row since this window read it, as a write meets it.
enum class TVxCambio {
    Cancellato,    // a write's row was deleted
    GiaCancellato, // a deletion's row was deleted
    Inserito,      // a row was stored where none was read
    Sostituito,    // a deletion's row was replaced by a new one
    Modificato,    // a write's row was changed
    ModificatoPrimaDellaCancellazione
};

// Why the write was not made, and what writing again does.
QString VxMotivo(TVxCambio cambio, const TVxDiNuovo &diNuovo = {});

// The change a write meets, by what it was to do (cancella: a deletion) and what the row holds
// now against what was read; the reason told for it.
TVxCambio VxCambio(const TVxRiga &letta, const TVxRiga &ora, bool cancella);
QString VxMotivoCambiata(const TVxRiga &letta, const TVxRiga &ora, bool cancella,
                         const TVxDiNuovo &diNuovo = {});
