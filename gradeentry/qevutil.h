#pragma once

// A pupil's vote averages: the one implementation that grade entry, the credits, the reports,
// the exports and the make-up screens call.
//
//   SetAnsIdMedia(dmqevDataSets->iAnsId);                  // the year of the conduct rule
//   const double media = RoundTo(MediaVoti(iSitId, -1, iClsSesId, false), -2);
//
// Per subject, the iCmpPeso-weighted mean of the values whose level and subject both count in
// the average; then the plain mean of those subject means. "RELIGIONE" never counts;
// "CONDOTTA" counts only when the stored school-year key is 39 or more (keys, not calendar
// years: 39 is 2008/2009); a counted "QUALIFICA" value, divided by 10, is the whole result.
// 0 when nothing counts. Results are never rounded here: every caller rounds with RoundTo(-2).
//
// Inside a TVxTransaction running on the shared connection the averages read in it (and see
// its rows not yet committed), each statement prepared once for the transaction and run again
// for every pupil: a report averaging a whole school opens one transaction around it.
// Otherwise each call reads in a short transaction of its own. Database errors raise
// EVxException with the driver's text.

#include <QList>
#include <QString>
#include <QVariant>

#include <vector>

class TClientDataSet;

// One vote (or proposed vote) of one component, as the averages walk them; the rows of one
// subject are consecutive.
struct TRigaMedia
{
    int iClsSesMatId = 0;
    double iValDato = 0; // the level's value; a null reads as 0
    int bMatInMedia = 0; // counts only when exactly 1
    int bValInMedia = 0; // counts only when exactly 1
    int iCmpPeso = 0;    // a null reads as 0
    QString sMatCodVexto;
};

// Stores the school year whose key decides the conduct rule; 0 until the first call, and kept
// for every later average, whoever calls it.
void SetAnsIdMedia(int iAnsId);
int AnsIdMedia();

// The average of the pupil situation's votes: of the class session iClsSesId when it is 1 or
// more, else of the pupil's final-kind sessions (iSfiId 2). iClsSesMatId: every caller passes
// -1 or 0, all subjects. bConCondotta true counts conduct whatever the year.
double MediaVoti(int iSitId, int iClsSesMatId, int iClsSesId, bool bConCondotta);
// The same over the proposed votes, conduct rule always applied.
double MediaVotiProposti(int iSitId, int iClsSesMatId, int iClsSesId);

// For a caller that averages many pupils after one read (the reports): the statement of the
// rows both averages read, with the extra columns after the six of TRigaMedia, of every class
// session of the situations in the list (the text inside "IN (...)", bound parameters), not
// filtered by class session nor ordered; and one row's six values as the averages take them.
QString RigheMediaSql(bool proposti, const QString &columns, const QString &situations);
TRigaMedia RigaMedia(const QList<QVariant> &values);

// The averaging core over rows ordered by subject.
double CalcMedia(const std::vector<TRigaMedia> &rows, int iClsSesMatId, bool bConCondotta);
// The same over an open dataset with the six columns iClsSesMatId, iValDato, bMatInMedia,
// bValInMedia, iCmpPeso, sMatCodVexto (any filter switched off); left on its last row.
double CalcMedia(TClientDataSet &dataSet, int iClsSesMatId, bool bConCondotta);

// 1-based position of the last character of s equal to the one-character string ch; -1 when
// none (a ch of another length never matches).
int LastPos(const QString &ch, const QString &s);
