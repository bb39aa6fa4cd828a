#pragma once

// The statements of the binary teacher folders: what the send reads for one teacher in the
// working year-session (:iAnsSesDwgId, :iAnaId), and the collection's writes per kind.
//
// Every write of the collection names its target by the folder's ids and runs only where the
// statement itself finds the target in the teacher's scope (:iDocId): the situation in one of
// his classes with a class session in the working year-session, the component or class-session
// subject in that class session and in a subject he is assigned to there. A debt must be one
// the send would have given him: of an earlier year than :iAnsId, verified by him or in a
// subject he is assigned to in the debt's class.

#include <QString>

struct QelDocFolderKind
{
    const char *name;      // "Vot": the key of qedInfo.ini [Show]
    const char *prefix;    // "vot": the slot columns of voti.cds; empty for a subject's value
    const char *table;     // "TVot_Voti"
    const char *keyColumn; // "iVotId"
    const char *rowKey;    // "iClsMatCmpId" or "iClsSesMatId"
    const char *setClause; // "iScaLivId = :iScaLivId"
    const char *columns;   // the value columns of the insert
    const char *values;    // their parameters, typed for the insert's select list
    const char *generator; // "TVOT_VOTI"
    const char *changed;   // the stored value differs from the parameters'
};

namespace QelDocFolderSql {

// Vot, Vtp, Tas, Ass, Aiu, Not: the order of the collection.
const QelDocFolderKind *kinds();
int kindCount();

// The send (:iAnsSesDwgId, :iAnaId unless said otherwise).
QString clsMat();
QString votiBase();
// K(kind): the distinct component scales of the working year-session (:iCmpScaTass).
QString slotCount();
// The components of the teacher's class-session subjects (:iCmpScaTass), in slot order:
// iClsSesMatId, iClsMatCmpId, sCmpSDesc, sCmpLDesc, iCmpScaId.
QString slotComponents();
// The stored levels of a kind's table: iSitId, iClsMatCmpId, iLivello.
QString slotLevels(const QelDocFolderKind &kind);
// The first value (by key) of each situation and class-session subject: iSitId, iClsSesMatId
// and the value's columns.
QString subjectValues(const QelDocFolderKind &kind);
QString livelli();
QString livVtp();
QString debiti();   // :iAnsId, :iAnaId
QString istituto(); // :iDwgId

// The bookkeeping rows of every mode of the year-session, for the teacher frame.
QString teachersOfSession();

// The collection (:iAnsSesDwgId, :iDocId, :iSitId, the row key; the values). The update
// changes only a value that differs; the insert writes only where there is none.
QString deleteValue(const QelDocFolderKind &kind);
QString updateValue(const QelDocFolderKind &kind);
QString insertValue(const QelDocFolderKind &kind); // :iNewId
// The insert of a pupil's (:iSitId) value at a row key (:<rowKey>), its new key the expression
// given, only where he has none there and the select inScope finds its place; the values typed
// casts of their parameters. The binary folders' and the web collection's.
QString valueInsert(const char *table, const char *keyColumn, const char *rowKey,
                    const char *columns, const char *values, const QString &key,
                    const QString &inScope);
// One row when the target is in the teacher's scope: the component's scale (0 for a subject's
// value).
QString valueInScope(const QelDocFolderKind &kind);
// :iDesDedId, :dDebVer, :bDebNota by :iSitId, :iMatId, in the scope (:iDocId, :iAnsId), when
// they differ from the stored ones.
QString debtUpdate();
// One row when that debt is in the scope.
QString debtInScope();
// One row when that debt is no longer there, though the send could have given it to teacher
// :iDocId: its situation is of :iAnsId or a year before, and its pupil is, in :iAnsId, in a class
// where he teaches its subject. The office deleted it after the send.
QString debtGone();

} // namespace QelDocFolderSql
