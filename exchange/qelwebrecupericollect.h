#pragma once

// The results of the make-up courses that the teachers entered on the web service, read back
// from recuperi.xml of twrecuperi.zip into the make-up records (TRec_Recuperi): outcome,
// verification date and test kind.
//
//   QelWebMakeUpCollection::Unpack(folder);        // the archive downloaded into the folder
//   QelWebMakeUpCollection c(folder, iAnsId, iFreId);
//   c.SetClsFilter("(iClsId = 4) OR (iClsId = 9)");
//   QStringList log;
//   c.ImportMakeUpResults(iDocId, &log);           // "  ***ERRORE*** ..." per refused row
//
// Only existing records change: nothing is inserted or deleted. Each row is written in a
// transaction of its own, by one update prepared once per collection, and only when its
// situation is of the row's class in the school year and the row's teacher teaches its subject
// in that class; a row it cannot place (outside those, or its record gone since the send: its
// situation, subject and the year's common phase) gets an error line: the packet comes from
// outside. A result as the teacher's records hold it (read once per teacher) is left alone. A
// value left empty on the web clears the stored one. A lost connection ends the import.

#include "exchange/qelchangecounts.h"
#include "exchange/qelcollectedvalues.h"
#include "platform/clientdataset.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

class TVxSelfCommittingStatements;
class TVxSideReads;

struct QelWebMakeUpSql
{
    // :iSitId is a situation of class :iClsId, a class of school year :iAnsId.
    static QString situationInClass();
    // The record of :iSitId, :iMatId in phase :iFreId of year :iAnsId gets :iEreId, :dRecVer,
    // :iPvrId, when they differ from the stored ones, the situation is of class :iClsId in the
    // year and teacher :iDocId teaches the subject there.
    static QString updateResults();
    // The results stored in the phase of the records of teacher :iDocId's subjects in his
    // classes of the year: iClsId, iSitId, iMatId, iEreId, dRecVer, iPvrId.
    static QString storedResults();
    // One row when that record is there.
    static QString recordOfPhase();
    // One row when teacher :iDocId teaches subject :iMatId in class :iClsId.
    static QString teacherOfSubject();
};

class QelWebMakeUpCollection
{
public:
    static const char kArchiveName[]; // twrecuperi.zip
    static const char kPacketName[];  // recuperi.xml

    // Unpacks only recuperi.xml of twrecuperi.zip of the folder (ending with a separator);
    // an archive that does not open or lacks it raises EVxException, and nothing is left.
    static void Unpack(const QString &folder);

    // Raises EVxException when the folder holds no recuperi.xml.
    QelWebMakeUpCollection(const QString &folder, int iAnsId, int iFreId);
    ~QelWebMakeUpCollection();

    void SetClsFilter(const QString &filter) { m_clsFilter = filter; }
    void ImportMakeUpResults(int iDocId, QStringList *log);
    // The collection's reads: the results stored, the names, each text prepared once for the
    // whole collection, the database as it was when it began (TVxSideReads).
    QSqlDatabase Reads() const;
    // What the imports changed ("recuperi: righe aggiunte 0, cambiate 3, cancellate 0"), or
    // that nothing changed.
    QStringList Summary() const;

private:
    QSqlDatabase m_db;
    int m_iAnsId;
    int m_iFreId;
    QString m_clsFilter;
    TClientDataSet m_recuperi;
    TqelChangeCounts m_counts;
    std::unique_ptr<TVxSelfCommittingStatements> m_writes;
    std::unique_ptr<TVxSideReads> m_reads; // outlives the names read on it
    QelCollectedValues m_values;           // the rule of the results, and the names of their rows
};
