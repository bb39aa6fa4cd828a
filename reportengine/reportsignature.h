#pragma once

// The suite's signatures, as the report package offers them to the programs that print: the
// person who currently signs for a role (the headmaster "DIRIGENTE.SCOL.", the administrative
// director "DSGA") in the working institute.
//
//   Firma("DIRIGENTE.SCOL.", "NOME")   // "Prof.ssa Maria Bianchi"; empty when nobody signs
//
// The signers live in the suite's signature tables (role TQua_Qualifiche, its signature
// TQuf_QuaFirme, the signers TFir_Firme); a signer whose row has ended or been deleted no
// longer signs. Read in the running report's transaction when a report is being prepared.
// A failing statement raises EVxException.

#include <QString>

// what: "NOME" gives the signer's name; anything else the empty text (no other detail of a
// signer is kept here).
QString Firma(const QString &role, const QString &what);
