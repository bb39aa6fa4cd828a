#pragma once

// The packets of the web exchange, as the web sends write them into the web work folder: XML
// form, readable by their owner only (they hold pupils' data and the teachers' passwords).
//
//   SaveOrAppendPacket(packet, folder, "voti.xml", true);   // the file's rows, then the packet's
//   SaveOrAppendPacket(packet, folder, "livelli.xml", false); // the file replaced
//   DateToDmy(date)                                        // "05/06/2009"; empty for no date
//   QelGatheredPacket rows;  rows.add(dataset) ... rows.toDataSet(packet)
//
// A folder text ends with a separator; the names are used exactly as given: on Linux "voti.xml"
// and "Voti.xml" are two files, and the folder may keep others.

#include "platform/clientdataset.h"
#include "platform/sqlparams.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

// Makes the folder with its parents (refusing with "Impossibile creare directory " and the
// folder). With append, a file already there keeps its rows and gets the packet's after them,
// copied column by name; a file whose columns are not the packet's (names in any order and
// letter case, and types) is refused with EVxException and stays as it was. Otherwise the file
// is replaced. The packet's change log is merged. Returns the file's path.
QString SaveOrAppendPacket(TClientDataSet &packet, const QString &folder, const QString &name,
                           bool append);

// The rows of a statement, its parameters bound, saved as the packet of that name (the file
// replaced). Returns the file's path.
QString SaveQueryPacket(const QString &sql, const TVxFieldValues &params, const QString &folder,
                        const QString &name);

QString DateToDmy(const QDate &date);

// Packs the files into the archive (an older one replaced whole, a link at its name refused),
// readable by its owner only, then deletes them. Only the files named go in: the web folder
// keeps other files of its own.
void ZipWorkXml(const QStringList &files, const QString &archive);

// The rows of one packet gathered over several reads (one per teacher), in order, with the
// columns of the first read. A text never loses characters: a column is as wide as its longest
// value, however narrow it was declared.
class QelGatheredPacket
{
public:
    QelGatheredPacket() = default;
    explicit QelGatheredPacket(QList<TFieldDef> defs) : m_defs(std::move(defs)) {}

    bool hasColumns() const { return !m_defs.isEmpty(); }
    const QList<TFieldDef> &defs() const { return m_defs; }
    int rowCount() const { return int(m_rows.size()); }

    // Every stored record of an open dataset; its columns become the packet's when it has none.
    void add(const TClientDataSet &dataSet);
    // A record of values in their columns' form (fieldvalue.h), one per column.
    void add(QList<QVariant> record);

    // Opens the dataset on these columns and hands it the rows (none are left here).
    void toDataSet(TClientDataSet &dataSet);

private:
    QList<TFieldDef> m_defs;
    std::vector<QList<QVariant>> m_rows;
};
