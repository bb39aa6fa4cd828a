#pragma once

// The statements of the web collection of a session (twdocenti.zip read back): per kind an
// update by situation and row key, its insert, the check that a sent id still exists and the
// search by configuration; the class notes by the class-session subject of the working
// year-session; the checks that a value's target belongs to the session and the teacher.
//
// "The session" is every year-session with the session number and school year of the working
// one (:iAnsSesDwgId), as the web send understands it: the service knows a session by its
// number, whatever institute's year-session a class belongs to.

#include <QString>

struct QelWebCollectKind
{
    const char *name;      // "Vtp", the flag of ParGen.ini [ExpDoc]
    const char *collected; // its kind of the collections (QelCollectedValues::Kind), as the
                           // summary names it: "voti proposti"
    const char *table;     // "TVtp_Proposti"
    const char *keyColumn; // the primary key, "iVtpId"
    const char *rowKey;    // "iClsMatCmpId" or "iClsSesMatId"
    const char *setClause; // "iPrpScaLivId = :iScaLivId"
    const char *columns;   // the value columns of the insert
    const char *values;    // their parameters, typed
    const char *generator; // "TVTP_PROPOSTI"
    bool checksSentId;     // the sent id is checked and, forced, searched again
};

namespace QelWebCollectSql {

const QelWebCollectKind &kind(const QString &name); // "Vtp", "Tas", "Ass", "Aiu", "Not"

QString update(const QelWebCollectKind &kind);
// The update, only where targetInSession finds the row key and :iSitId (:iAnsSesDwgId).
QString updateInSession(const QelWebCollectKind &kind);
// :iNewId (VxNewKey), the row key, the values, :iSitId.
QString insert(const QelWebCollectKind &kind);
// The insert, its key from the procedure for :sTable (the kind's generator), only where
// targetInSession finds the row key and :iSitId: one statement a collection prepares once.
QString insertInSession(const QelWebCollectKind &kind);
// One row when the sent id still exists.
QString sentIdExists(const QelWebCollectKind &kind);
// The ids of the configuration (:iAnsSesDwgId, :iClsId, :iPstId, :iMatId and for a component
// :iCmpScaId).
QString searchByConfiguration(const QelWebCollectKind &kind);
// One row when the component or class-session subject (the row key) belongs to a class session
// of the session, teacher :iDocId teaches it in that class, and the situation :iSitId is of that
// class.
QString targetInSession(const QelWebCollectKind &kind);
// The same without the situation: where targetInSession finds nothing, whether the pupil is the
// cause.
QString subjectOfTeacher(const QelWebCollectKind &kind);

// Class notes: :iDocId, :iClsId, :iMatId, :iAnsSesDwgId (working); :iCnoOre, :bCnoNota. The
// update changes only notes that differ; the insert writes only where there is none.
QString classNotesDelete();
QString classNotesUpdate();
QString classNotesInsert(); // :iNewId
// One row when the class and subject have a class-session subject in the working year-session
// and teacher :iDocId teaches the subject in the class.
QString classNotesTarget();
// The debts are the teacher folders': QelDocFolderSql::debtUpdate, debtInScope.

// The values of the kind stored in the classes and subjects of teacher :iDocId in the session:
// iSitId, the row key, then the value columns.
QString storedValues(const QelWebCollectKind &kind);
// The verifications stored of the debts of earlier years than :iAnsId that teacher :iDocId
// verifies: iSitId, iMatId, iDesDedId, dDebVer, bDebNota.
QString storedDebts();
// The session's components with their scales and subjects (iClsMatCmpId, iCmpScaId,
// iClsSesMatId), and its class-session subjects with their class sessions and year-sessions
// (iClsSesMatId, iClsSesId, iAnsSesDwgId).
QString sessionComponents();
QString sessionSubjects();

// The year-session (iAnsSesDwgId) of the class session of a row key (:iClsMatCmpId or
// :iClsSesMatId): none when the key is not in the database.
QString sessionOf(const QelWebCollectKind &kind);

// iSesId and iAnsId of :iAnsSesDwgId.
QString sessionNumber();

} // namespace QelWebCollectSql
