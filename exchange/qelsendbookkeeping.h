#pragma once

// The bookkeeping of the exchange with the teachers (TAai_AnaAppInvio): which send mode each
// teacher of a year-session is assigned to, and when the teacher's data were last sent and
// collected. Every send and collection records its teachers through here, so that the marks
// mean the same whichever window wrote them.
//
//   SendBookkeeping book(qqoVxGlobConn());
//   book.assign(iAnaCagId, kModeWebService, TVxWorkingContext::session());  // false: taken
//   book.markSentFolder(iAaiId, folder);     // sent now, received marks cleared
//   book.markReceived(iAaiId);               // the sent marks stay
//   for (const SendModeTeacher &t : book.teachersOfMode(5, session)) ...
//
// Every mark takes the database's clock (CURRENT_TIMESTAMP), never the workstation's: the
// offices' clocks differ, and "received after the last send" compares marks written by
// different workstations. A new send clears the received marks, so "received" always refers
// to the last send.
//
// Each operation runs in the caller's transaction when one runs on the connection, else in one
// of its own, committed. A mark or deletion that finds no row (another office deleted it since
// it was read) raises EVxException (rowGoneError); database errors raise EVxException with the
// driver's text.

#include "platform/sqlparams.h"

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// The send modes (TMod_ModoInvio.iModId).
enum TqelSendMode {
    kModeFloppy = 1,
    kModeNetwork = 2,
    kModeUsb = 3,
    kModeWebFolder = 4,  // written by the folder send; never offered for assignment
    kModeWebService = 5, // the web send and collection
};

// A teacher of a mode, as the send and collection windows list them.
struct SendModeTeacher
{
    int iAaiId = 0;
    int iModId = 0;
    QString sModDesc;
    int iAnaCagId = 0;
    int iAnaId = 0;
    QString sAnaCagCode;
    QString sDocNome; // surname, a blank, first name
    QString sAnaCognomeNomeIdx;
    QString sAnaPwPert;
    bool iAaiInviato = false;
    QDateTime dAaiInviato; // null when never sent
    QString sAaiDirInviato;
    bool iAaiRicevuto = false;
    QDateTime dAaiRicevuto; // null when not collected since the last send
};

// The five marks of a row as a caller sets them by hand; a null QVariant writes NULL.
struct SendMarks
{
    QVariant iAaiInviato;
    QVariant dAaiInviato;
    QVariant iAaiRicevuto;
    QVariant dAaiRicevuto;
    QVariant sAaiDirInviato;
};

class SendBookkeeping
{
public:
    explicit SendBookkeeping(const QSqlDatabase &db) : m_db(db) {}

    // Assigns the teacher role to the mode in the year-session (iAaiModulo 1, no marks), unless
    // the teacher already has a row there in any mode: another office may have assigned him
    // since this one read its list, or be assigning him at this very moment (the save waits for
    // its own), and one teacher has one mode in a session. False then, and nothing is written.
    // Run outside a transaction of the caller: a row another office commits meanwhile is seen
    // only by a transaction begun after it.
    bool assign(int iAnaCagId, int iModId, int iAnsSesDwgId);
    // The rows of a mode, or of a teacher role, in the year-session only: another year's
    // bookkeeping is that year's record. Return the rows deleted.
    int unassignMode(int iModId, int iAnsSesDwgId);
    int unassignTeacher(int iAnaCagId, int iAnsSesDwgId);

    // Sent now: through the web service (no folder) or into a folder (kept as written). Either
    // clears the received marks.
    void markSentWeb(int iAaiId);
    void markSentFolder(int iAaiId, const QString &folder);
    // Collected now; the sent marks stay.
    void markReceived(int iAaiId);
    // The five marks of a bookkeeping row as stored, by their column names.
    TVxFieldValues marksOf(int iAaiId) const;
    // The marks as the caller gives them: all five, or only the two received ones.
    void setMarks(int iAaiId, const SendMarks &marks);
    void setReceivedMarks(int iAaiId, const QVariant &iAaiRicevuto, const QVariant &dAaiRicevuto);

    // The teachers of a mode in the year-session, ordered by name, and how many they are
    // (iNrDocenti).
    QList<SendModeTeacher> teachersOfMode(int iModId, int iAnsSesDwgId) const;
    int teacherCount(int iModId, int iAnsSesDwgId) const;
    // The statement behind teachersOfMode, for the windows that show it in a grid over a
    // dataset: parameters :iAnsSesDwgId and :iModId, the columns of SendModeTeacher.
    static QString teachersOfModeSql();
    // The same columns for every folder and medium mode (all but the web service) of the
    // year-session: parameter :iAnsSesDwgId.
    static QString folderTeachersSql();

private:
    int deleteRows(const QString &sql, const QString &keyName, int key, int iAnsSesDwgId);
    void updateRow(const QString &sql, int iAaiId, const QList<QPair<QString, QVariant>> &values);

    QSqlDatabase m_db;
};
