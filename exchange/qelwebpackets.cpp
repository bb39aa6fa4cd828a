#include "exchange/qelwebpackets.h"

#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/sqlclientdataset.h"
#include "platform/vxexception.h"
#include "platform/zip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// For each column of the file, the packet's column of the same name and type; none when the
// two differ in any column.
std::optional<QList<int>> matchColumns(const QList<TFieldDef> &file, const QList<TFieldDef> &packet)
{
    if (file.size() != packet.size())
        return std::nullopt;
    QList<int> columns;
    for (const TFieldDef &def : file) {
        const auto found = std::find_if(packet.cbegin(), packet.cend(), [&](const TFieldDef &p) {
            return p.Name.compare(def.Name, Qt::CaseInsensitive) == 0;
        });
        if (found == packet.cend() || found->DataType != def.DataType)
            return std::nullopt;
        columns << int(found - packet.cbegin());
    }
    return columns;
}

} // namespace

QString SaveOrAppendPacket(TClientDataSet &packet, const QString &folder, const QString &name,
                           bool append)
{
    const QString dir = LongDir(VxMakeOwnFolder(resolvePath(LongDir(folder))));
    const QString path = dir + name;
    packet.MergeChangeLog();
    if (!append || !QFileInfo::exists(path)) {
        packet.SaveToFile(path, dfXML, TVxFileSync::Now, TVxFileAccess::OwnerOnly);
        return path;
    }
    TClientDataSet file;
    file.LoadFromFile(path);
    const std::optional<QList<int>> columns = matchColumns(file.FieldDefs(), packet.FieldDefs());
    if (!columns)
        throw EVxException(QStringLiteral("Il file %1 ha colonne diverse da quelle dei dati da "
                                          "aggiungere: i dati non vi sono stati accodati.")
                               .arg(QDir::toNativeSeparators(path)));
    QelGatheredPacket all;
    all.add(file);
    for (int row = 0; row < packet.StoredRecordCount(); ++row) {
        const QList<QVariant> &values = packet.StoredRecord(row);
        QList<QVariant> record;
        record.reserve(columns->size());
        for (int column : *columns)
            record << values.at(column);
        all.add(std::move(record));
    }
    all.toDataSet(file);
    file.SaveToFile(path, dfXML, TVxFileSync::Now, TVxFileAccess::OwnerOnly);
    return path;
}

QString SaveQueryPacket(const QString &sql, const TVxFieldValues &params, const QString &folder,
                        const QString &name)
{
    TSQLClientDataSet ds;
    ds.setCommandText(sql);
    ds.Params() = params;
    ds.Open();
    return SaveOrAppendPacket(ds, folder, name, false);
}

QString DateToDmy(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

void ZipWorkXml(const QStringList &files, const QString &archive)
{
    // The archive replaces an older one whole: removed first, the older one would be lost to a
    // full disk, and a link the office keeps at its name with it.
    TZip zip;
    zip.setFileName(archive);
    zip.setFileList(files);
    zip.setAccess(TVxFileAccess::OwnerOnly);
    zip.Add();
    for (const QString &file : files) {
        QFile packet(file);
        if (!packet.remove())
            throw EVxException(QStringLiteral("Impossibile cancellare il file %1: %2")
                                   .arg(QDir::toNativeSeparators(file), VxFileErrorText(packet)));
    }
}

void QelGatheredPacket::add(const TClientDataSet &dataSet)
{
    if (m_defs.isEmpty())
        m_defs = dataSet.FieldDefs();
    m_rows.reserve(m_rows.size() + size_t(dataSet.StoredRecordCount()));
    for (int row = 0; row < dataSet.StoredRecordCount(); ++row)
        add(dataSet.StoredRecord(row));
}

void QelGatheredPacket::add(QList<QVariant> record)
{
    Q_ASSERT(record.size() == m_defs.size());
    for (int c = 0; c < m_defs.size(); ++c) {
        TFieldDef &def = m_defs[c];
        if (def.DataType == ftString && def.Size > 0 && record.at(c).isValid())
            def.Size = std::max(def.Size, int(record.at(c).toString().size()));
    }
    m_rows.push_back(std::move(record));
}

void QelGatheredPacket::toDataSet(TClientDataSet &dataSet)
{
    dataSet.ReplaceData(m_defs, std::move(m_rows));
    m_rows.clear();
}
