#pragma once

// The report-card packages of the pupils' portal (Kerovia), stored in TClsSes.bClsSesRepos: a
// ZIP archive of binary data packets per class session, read by the portal, outside this
// program. Two forms build them:
//   PortalPackages  "Pagelle Web": the packets the office ticks, with the subject order SIT_ID
//                   ("EsitoFinale.cds", "Voti.cds", "VotiProp.cds", "Tassonomie.cds",
//                   "Note.cds", "EsiCreGiu.cds");
//   Repository      "Crea Repository": a fixed set in lower case, long level texts, the notes'
//                   date and author, the outcomes of every situation, no SIT_ID.
//
//   PortalPackageBuilder builder(PortalPackageBuilder::PortalPackages, options, iAnsSesDwgId);
//   for (int iClsSesId : chosen) builder.Build(iClsSesId);   // each stored once it is whole
//   ClearPortalPackage(iClsSesId);                            // back to NULL
//
// The run reads in one snapshot, on a connection of its own, so that each statement is prepared
// once for all the class sessions; each package is stored in a transaction of its own on the
// program's connection: a failure leaves the class session being built with the package it
// had, and those built before with their new one. The scratch packets and the archive lie in a
// folder of the builder's own inside GetTempPath(), removed with the builder, failed or not: a
// later run never reads a packet an earlier one left. Failures raise EVxException with the
// reason (two components of one description: the dataset's error for a column defined twice).

#include "platform/enumvalues.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;
class TClientDataSet;
class TSQLClientDataSet;
class TVxSideConnection;
class TVxTransaction;

// "Sospesi": what the votes packet holds of a pupil whose final status is the suspended
// judgment.
enum class QelSuspendedVotes {
    NoVotes,    // "Nessun voto"
    AllVotes,   // "Tutti i voti"
    PassingOnly // "Solo sufficienze"
};

// The boxes of the export options. The repository reads votes, proposed votes, taxonomies,
// notes and the suspended choice; its outcomes are always built.
struct QelPortalOptions
{
    bool votes = true;         // "Voti"
    bool proposed = false;     // "Voti proposti"
    bool taxonomies = true;    // "Tassonomie"
    bool absences = false;     // "Assenze"
    bool notes = false;        // "Note"
    bool finalOutcome = false; // "Esito finale"
    bool credits = false;      // "Crediti"
    bool judgment = false;     // "Giudizio"
    QelSuspendedVotes suspended = QelSuspendedVotes::NoVotes;
};

class PortalPackageBuilder
{
public:
    enum Form { PortalPackages, Repository };

    // Reads the session's kind (2 final, 3 deferred; 0 for none, "Tutte") and makes the scratch
    // folder.
    PortalPackageBuilder(Form form, const QelPortalOptions &options, int iAnsSesDwgId);
    ~PortalPackageBuilder();
    PortalPackageBuilder(const PortalPackageBuilder &) = delete;
    PortalPackageBuilder &operator=(const PortalPackageBuilder &) = delete;

    // Builds the class session's package and stores it. Before an error leaves it, the packages
    // stored so far are committed.
    void Build(int iClsSesId);
    // Commits the packages stored since the last commit; without it the destructor drops them.
    void Finish();

private:
    enum Source { Votes, Proposed, Taxonomies, Absences, Notes, Outcomes, FinalOutcomes };

    QString path(const QString &packet) const;
    QString sourceText(Source source) const;
    void openRows(TSQLClientDataSet &rows, Source source, int iClsSesId) const;
    void saveListed(TClientDataSet &packet, const QString &name);
    void mergeInto(TClientDataSet &packet, Source source, int iClsSesId,
                   const QStringList &mapping) const;
    void saveFinalOutcomes(int iClsSesId);
    void saveGrades(int iClsSesId, Source source, const QString &name);
    void saveNotes(int iClsSesId);
    void saveOutcomes(int iClsSesId);
    void buildPackage(int iClsSesId);
    void packAndStore(int iClsSesId);

    Form m_form;
    QelPortalOptions m_options;
    int m_sessionKind = 0;
    std::unique_ptr<TVxSideConnection> m_reads;
    std::unique_ptr<TVxTransaction> m_snapshot;
    std::unique_ptr<TVxTransaction> m_writes;
    QElapsedTimer m_writesStarted;
    std::unique_ptr<QTemporaryDir> m_folder;
    QStringList m_files; // the packets of the class session being built
};

// Clears the class session's package (NULL), in a transaction of its own.
void ClearPortalPackage(int iClsSesId);

// The choices of the two windows.
namespace QelPortalLists {

// The institutes (data owners), by name.
TVxEnumItems Institutes();
// The class sessions of the window "Pagelle Web" (text the class, id iClsSesId), in class
// order: those of the session, or with the session "Tutte" (0) every one of the working year,
// of the institute unless it is "Tutti" (0).
TVxEnumItems ClassSessions(int iDwgId, int iAnsId, int iAnsSesDwgId);
// Every class session of the repository's institute (0: all), year and session (0: all).
QList<int> RepositoryClassSessions(int iDwgId, int iAnsId, int iAnsSesDwgId);

} // namespace QelPortalLists
