#include "exchange/qelportalpackets.h"

#include "platform/clientdataset.h"
#include "platform/datapacket.h"
#include "platform/enumvalues.h"
#include "platform/fileaccess.h"

#include <QHash>
#include <QScopeGuard>

#include <utility>
#include <vector>

namespace {

const char kComponents[] =
    "SELECT DISTINCT TCmp.iCmpId, TCmp.sCmpLDesc FROM TClsMatCmp TCmc "
    "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesMatId = TCmc.iClsSesMatId) "
    "INNER JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "
    "INNER JOIN TCmp_Componenti TCmp ON (TCmp.iCmpId = TCmpSca.iCmpId) "
    "WHERE TCsm.iClsSesId = :iClsSesId AND TCmpSca.iCmpScaTass = :iCmpScaTass "
    "ORDER BY TCmpSca.iCmpScaOrdine";

const QString kPupilSubject = QStringLiteral("ALU_ID;MAT_ID");
const QString kResortIndex = QStringLiteral("ORDINE_IDX");

// The key columns of a source and of the packet it fills, looked up once for all the rows.
class PairWriter
{
public:
    PairWriter(TClientDataSet &packet, const TClientDataSet &rows)
        : m_packet(packet), m_pupil(rows.FieldByName(QStringLiteral("iAnaId"))),
          m_subject(rows.FieldByName(QStringLiteral("iMatId"))),
          m_description(rows.FieldByName(QStringLiteral("sMatLDesc"))),
          m_order(rows.FindField(QStringLiteral("iMatRmaPstOrdine"))),
          m_aluId(packet.FieldByName(QStringLiteral("ALU_ID"))),
          m_matId(packet.FieldByName(QStringLiteral("MAT_ID"))),
          m_materia(packet.FieldByName(QStringLiteral("Materia"))),
          m_sitId(packet.FindField(QStringLiteral("SIT_ID")))
    {
    }

    QVariantList key() const { return {m_pupil->Value(), m_subject->Value()}; }

    // The record of the current row's pupil and subject, in edit: found, else appended with
    // its key, description and, where the packet has it, the subject order.
    void editPair()
    {
        if (m_packet.Locate(kPupilSubject, key())) {
            m_packet.Edit();
            return;
        }
        m_packet.Append();
        m_aluId->setValue(m_pupil->Value());
        m_matId->setValue(m_subject->Value());
        m_materia->setValue(m_description->Value());
        if (m_sitId && m_order)
            m_sitId->setValue(m_order->Value());
    }

private:
    TClientDataSet &m_packet;
    TField *m_pupil;
    TField *m_subject;
    TField *m_description;
    TField *m_order;
    TField *m_aluId;
    TField *m_matId;
    TField *m_materia;
    TField *m_sitId;
};

using ColumnCopies = std::vector<std::pair<TField *, TField *>>; // source, target

ColumnCopies mappedColumns(TClientDataSet &packet, const TClientDataSet &rows,
                           const QStringList &mapping)
{
    ColumnCopies copies;
    for (const QString &line : mapping) {
        const QString source = line.section(QLatin1Char(';'), 0, 0);
        const QString target = line.section(QLatin1Char(';'), 1);
        copies.emplace_back(rows.FieldByName(source), packet.FieldByName(target));
    }
    return copies;
}

void copyColumns(const ColumnCopies &copies)
{
    for (const auto &[source, target] : copies)
        target->setValue(source->Value());
}

} // namespace

namespace QelPortalPackets {

void AddComponentFields(TClientDataSet &packet, const QSqlDatabase &db, int iClsSesId, int tass)
{
    const TVxFieldValues values = valuesOf({{"iClsSesId", iClsSesId}, {"iCmpScaTass", tass}});
    QStringList religion;
    for (const TVxEnumItem &component :
         LoadEnumItems(db, QString::fromLatin1(kComponents), values)) {
        if (component.text.toUpper() == QStringLiteral("RELIGIONE"))
            religion << component.text;
        else
            packet.AddFieldDef(component.text, ftString, 100);
    }
    for (const QString &name : std::as_const(religion))
        packet.AddFieldDef(name, ftString, 100);
}

void FillGradeRows(TClientDataSet &packet, TClientDataSet &rows, const QString &levelField)
{
    PairWriter writer(packet, rows);
    const TField *component = rows.FieldByName(QStringLiteral("sCmpLDesc"));
    const TField *level = rows.FieldByName(levelField);
    QHash<QString, TField *> columns; // by component description; nullptr: no column
    for (rows.First(); !rows.Eof(); rows.Next()) {
        writer.editPair();
        const QString name = component->AsString().trimmed();
        auto column = columns.find(name);
        if (column == columns.end())
            column = columns.insert(name, packet.FindField(name));
        if (*column)
            (*column)->setValue(level->AsString().trimmed());
        packet.Post();
    }
}

void MergeMappedRows(TClientDataSet &packet, TClientDataSet &rows, const QStringList &mapping,
                     TClientDataSet &reference)
{
    PairWriter writer(packet, rows);
    const ColumnCopies copies = mappedColumns(packet, rows, mapping);
    for (rows.First(); !rows.Eof(); rows.Next()) {
        if (!reference.Locate(kPupilSubject, writer.key()))
            continue;
        writer.editPair();
        copyColumns(copies);
        packet.Post();
    }
}

void FillPupilRows(TClientDataSet &packet, TClientDataSet &rows, const QStringList &mapping)
{
    const TField *pupil = rows.FieldByName(QStringLiteral("iAnaId"));
    TField *aluId = packet.FieldByName(QStringLiteral("ALU_ID"));
    const ColumnCopies copies = mappedColumns(packet, rows, mapping);
    for (rows.First(); !rows.Eof(); rows.Next()) {
        if (packet.Locate(QStringLiteral("ALU_ID"), pupil->Value())) {
            packet.Edit();
        } else {
            packet.Append();
            aluId->setValue(pupil->Value());
        }
        copyColumns(copies);
        packet.Post();
    }
}

void ResortPacket(TClientDataSet &packet, const QString &path)
{
    packet.AddIndex(kResortIndex, QStringLiteral("ALU_ID;SIT_ID"));
    packet.setIndexName(kResortIndex);
    const auto dropIndex = qScopeGuard([&packet] { packet.DeleteIndex(kResortIndex); });
    std::vector<QList<QVariant>> records;
    records.reserve(size_t(packet.RecordCount()));
    for (int row = 0; row < packet.RecordCount(); ++row) {
        QList<QVariant> record;
        record.reserve(packet.FieldCount());
        for (int column = 0; column < packet.FieldCount(); ++column)
            record << packet.Value(row, column);
        records.push_back(std::move(record));
    }
    TClientDataSet sorted;
    sorted.ReplaceData(packet.FieldDefs(), std::move(records));
    SaveScratchPacket(sorted, path);
}

void SaveScratchPacket(const TClientDataSet &packet, const QString &path)
{
    VxReplaceFile(path, writeBinaryPacket(packet), TVxFileSync::Later);
}

} // namespace QelPortalPackets
