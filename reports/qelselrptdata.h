#pragma once

// The lists of the report selection dialog (TfmqelSelRptAnsSesBs): the sessions of a year, the
// classes of a session, the final outcomes, and its two list statements, the class list and
// the pupil list (the data module's qquClsSes and qquAlunni, so that the keys chosen are the
// rows the report prints). Read on the shared connection, every value bound.

#include "platform/enumvalues.h"

#include <QString>

// The sessions of the school year for the institute, in their order: key iAnsSesDwgId.
TVxEnumItems qelSelRptSessions(int iDwgId, int iAnsId);
// The classes of the year-session, in the class list's order: key iClsId, text sClsSDesc.
TVxEnumItems qelSelRptClasses(int iAnsSesDwgId);
// The final outcomes an office may filter by: key iPosFinId.
TVxEnumItems qelSelRptOutcomes();

// The class list: its one parameter :iAnsSesDwgId.
QString qelSelRptClassSql();
// The states of the pupil list, as the dialog's state combo lists them.
enum QelSelRptState { qelStatoTutti = 0, qelStatoNonSospesi = 1, qelStatoSospesi = 2 };
// The pupil list with the condition of the state in place of its placeholder (none for any
// other value): parameters iAnsId, iDwgId, iAllId, iClsId, iAllPosFinId, iPosFinId.
QString qelSelRptPupilSql(int state);
