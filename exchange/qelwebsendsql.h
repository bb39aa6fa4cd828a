#pragma once

// The statements of the web send of a session (twdocenti.zip) and of its teacher frame.
//
// "The same session" is every year-session with the session number and school year of the
// working one (:iAnsSesDwgId): the web service knows a session by its number, whatever
// institute's year-session a class belongs to. A teacher's rows are those of the classes and
// subjects of his assignments (TClsMatAna, :iAnaId). The per-pupil reads of one teacher run as
// one statement per kind, distributed in memory by pupil, class and subject.

#include <QString>

namespace QelWebSendSql {

// iSesId, iAnsSesDwgOrdine of :iAnsSesDwgId.
QString sessionInfo();
// iModId, sModDesc of every send mode, by id.
QString sendModes();
// The wizard's first page: the institute's short name (:iDwgId) and the year as "yyyy-yyyy"
// (:iAnsId).
QString instituteName();
QString schoolYearDashed();

// How many pivot groups a kind needs (:iAnsSesDwgId, :iCmpScaTass): iScales, the distinct
// component scales of the session, and iRows, the most components of one class and subject.
QString pivotGroups();

// Packets (:iAnsSesDwgId, :iAnaId unless said otherwise).
QString clsMat();
QString votiBase();
// The components of the teacher's class-subjects for one kind (:iCmpScaTass), in pivot
// order: iClsId, iMatId, iClsMatCmpId, sCmpSDesc, sCmpLDesc, iCmpScaId.
QString components();
// The levels of the teacher's pupils in a kind's table: iSitId, iClsMatCmpId, iLivello.
QString levels(const QString &table, const QString &levelColumn);
// One value per pupil, class and subject, the first (by key) first: iSitId, iClsId, iMatId
// and the value's columns.
QString absences();
QString aids();
QString notes();
QString livelli();
QString livVtp();
// The selects of livelli, livvtp and istituto without their conditions and order, which the
// binary teacher folders give their own.
QString livelliSelect();
QString livVtpSelect();
QString istitutoSelect();
QString debiti(); // :iAnsId, :iAnaId
QString esiDeb();
QString istituto();

} // namespace QelWebSendSql
