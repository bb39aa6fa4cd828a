#pragma once

// The fill operations of the report-card packets for the pupils' portal: rows of a source
// query copied into a packet keyed by pupil and subject, or by pupil alone. Column names of a
// source are looked up without regard to case (Firebird returns them in capitals).
//
// Source columns: pupil iAnaId, subject iMatId, sMatLDesc, then the rest by name; the subject
// order, where a packet has SIT_ID, is iMatRmaPstOrdine.

#include <QString>
#include <QStringList>

class QSqlDatabase;
class TClientDataSet;

namespace QelPortalPackets {

// The component columns of a class session, one string column each, named by the component's
// description and in the scale order; the religion component comes last. tass is 0 for votes
// and proposed votes, 1 for taxonomies. Two components of one description raise the dataset's
// error for a column defined twice.
void AddComponentFields(TClientDataSet &packet, const QSqlDatabase &db, int iClsSesId, int tass);

// One record per pupil and subject; each source row writes its level text into the column of
// its component (sCmpLDesc), rows of a component without a column are skipped.
void FillGradeRows(TClientDataSet &packet, TClientDataSet &rows, const QString &levelField);

// Mapping lines "source;target": the columns copied from each source row.
// The rows whose pupil and subject stand in the reference packet are copied into the record of
// that pair (made when missing); a later row of a pair overwrites an earlier one.
void MergeMappedRows(TClientDataSet &packet, TClientDataSet &rows, const QStringList &mapping,
                     TClientDataSet &reference);

// One record per pupil (ALU_ID); a later row of the pupil overwrites an earlier one.
void FillPupilRows(TClientDataSet &packet, TClientDataSet &rows, const QStringList &mapping);

// Saves the packet over the file in the order of pupil, then subject order (ALU_ID;SIT_ID).
void ResortPacket(TClientDataSet &packet, const QString &path);

// Writes the packet in the binary form to a scratch file of the run's private folder. Unlike
// SaveToFile it does not wait for the disk: the file lives for one class session only.
void SaveScratchPacket(const TClientDataSet &packet, const QString &path);

} // namespace QelPortalPackets
