#pragma once

#include "platform/sqlparams.h"

#include <QDate>
#include <QString>

#include <functional>
#include <optional>

class TClientDataSet;
class TVxTransaction;

// The "Sessione corrente" and "Esami di stato" sources of the statistics extraction, as binary
// packets for the research office's statistics program:
//   QewA  the pupils of the working session's classes, with their vote averages;
//   QewM  one row per pupil, subject of the class plan and vote component of the session;
//   QewE  the state-exam candidates of a school year, one row per citizenship and exam vote.
// Each is named by its kind, the year tag and the working session ("QewA0809392.cds"), the
// candidates' file too, whatever year they are of. With the split by site a file holds the
// classes of one site code (bound, never written into the statement).
//
// The statements run in the caller's transaction; errors raise EVxException naming the file.
class TQelStatExtracts
{
public:
    TQelStatExtracts(TVxTransaction &tr, const QString &extractVersion);

    struct SessionYear
    {
        int iAnsId = 0;
        QDate start; // dAnsInizio
    };
    // The school year of the session; raises EVxException when it has none or no start.
    SessionYear YearOfSession(int iAnsSesDwgId);

    void WriteSessionPupils(int iAnsSesDwgId, const std::optional<QString> &siteCode,
                            const QString &path);
    void WriteSessionSubjects(int iAnsSesDwgId, const std::optional<QString> &siteCode,
                              const QString &path);
    void WriteCandidates(int iAnsId, int iDwgId, const std::optional<QString> &siteCode,
                         const QString &path);

    // fMediaVot and fMediaVtp of every row of the pupils' rows from the grade module's averages
    // of its class session (conduct by the rule of the year set with SetAnsIdMedia): the pupils'
    // file is written with them, once.
    static void CompleteAverages(TClientDataSet &cds);
    // sSesDesc and sAnnoDesc of the file's first row ("Scrutinio finale 2008-2009"); empty for a
    // file without rows.
    static QString SessionLabel(const QString &pupilsPath);
    // "QewA" + "0809" + "392" + ".cds"
    static QString FileName(const char *kind, const QString &yearTag, int iAnsSesDwgId);

private:
    void write(const char *sql, TVxFieldValues values, const std::optional<QString> &siteCode,
               const QString &path, const std::function<void(TClientDataSet &)> &complete = {});

    TVxTransaction &m_tr;
    QString m_version;
};
