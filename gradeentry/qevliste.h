#pragma once

// The lists grade entry offers to pick from (the pick dialog, the pupil window's outcome
// drop-down): every statement of them, named and bound. Each item is a row's key (id), the
// text the list shows first (text) and, where the list has a second column, its short text
// (detail). Read in the caller's transaction on the shared connection, or in one of its own;
// database errors raise EVxException with the driver's text.
//
//   for (const TVxEnumItem &e : QevListe::EsitiFinali()) combo->addItem(e.detail, e.id);

#include "platform/enumvalues.h"

namespace QevListe {

// The teachers of a class ("Surname Name", iAnaId), and the active teaching staff of an
// institute: a teacher of several subjects once, in the order of their names.
TVxEnumItems DocentiClasse(int iClsId);
TVxEnumItems DocentiIstituto(int iDwgId);
// Debt types (sDtdLDesc, state sDtpLDescVexto, iDtpDtdId) and debt outcomes (sDedLDesc, state
// sDesLDescVexto, iDesDedId).
TVxEnumItems TipiDebito();
TVxEnumItems EsitiDebito();
// Commendations (sEncLDesc, sEncSDesc, iEncId).
TVxEnumItems Encomi();
// Final outcomes (sStaFinDettLDesc, sStaFinDettSDesc, iPosFinId) whose detail is not deleted;
// a position itself hidden or deleted is still listed, as stored outcomes may name it.
TVxEnumItems EsitiFinali();

} // namespace QevListe
