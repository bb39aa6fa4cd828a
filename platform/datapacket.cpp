#include "platform/datapacket.h"

#include "platform/fileaccess.h"
#include "platform/vxexception.h"
#include "platform/xmldoc.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// Some Windows programs put a byte-order mark before the declaration, and blanks may come first.
QByteArray withoutBomAndBlanks(const QByteArray &bytes)
{
    qsizetype start = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        start = 3;
    while (start < bytes.size() && (bytes.at(start) == ' ' || bytes.at(start) == '\t' ||
                                    bytes.at(start) == '\r' || bytes.at(start) == '\n'))
        ++start;
    return bytes.mid(start, 64);
}

bool looksLikeXmlPacket(const QByteArray &head)
{
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        return true;
    const QByteArray start = withoutBomAndBlanks(head).toUpper();
    return start.startsWith("<?XML") || start.startsWith("<DATAPACKET");
}

// The old library wrote 30 December 1899 (its day zero) where it meant "no date".
void emptyDatesToNull(TDataPacket &packet)
{
    const QDate dayZero(1899, 12, 30);
    const QDateTime stampZero = dayZero.startOfDay();
    for (int c = 0; c < packet.defs.size(); ++c) {
        const TFieldType type = packet.defs.at(c).DataType;
        if (type != ftDate && type != ftDateTime)
            continue;
        for (QList<QVariant> &row : packet.rows) {
            const QVariant &v = row.at(c);
            if (!v.isValid())
                continue;
            if (type == ftDate ? v.toDate() == dayZero : v.toDateTime() == stampZero)
                row[c] = QVariant();
        }
    }
}

// A packet made elsewhere may hold a text longer than its column's width: the column grows
// rather than the text being cut.
void widenStringsToTheirValues(TDataPacket &packet)
{
    for (int c = 0; c < packet.defs.size(); ++c) {
        TFieldDef &def = packet.defs[c];
        if (def.DataType != ftString || def.Size == 0)
            continue;
        for (const QList<QVariant> &row : packet.rows)
            def.Size = std::max(def.Size, int(row.at(c).toString().size()));
    }
}

[[noreturn]] void refuseUnknownFormat(const QString &fileName)
{
    throw EVxException(QStringLiteral("Il file %1 non è un pacchetto dati: formato sconosciuto.")
                           .arg(QDir::toNativeSeparators(fileName)));
}

} // namespace

void refuseDataPacket(const QString &fileName, const QString &why, const QString &detail)
{
    throw EVxException(QStringLiteral("Il file %1 non è un pacchetto dati valido: %2.")
                           .arg(QDir::toNativeSeparators(fileName), why),
                       EVxException::Error, detail);
}

void addPacketColumn(TDataPacket &packet, const TFieldDef &def, const QString &fileName)
{
    const int number = int(packet.defs.size()) + 1;
    const bool control = std::any_of(def.Name.cbegin(), def.Name.cend(),
                                     [](QChar c) { return c.category() == QChar::Other_Control; });
    if (def.Name.isEmpty() || def.Name != def.Name.trimmed() || control)
        refuseDataPacket(fileName,
                         QStringLiteral("la colonna %1 ha un nome non valido").arg(number));
    for (const TFieldDef &other : std::as_const(packet.defs))
        if (other.Name.compare(def.Name, Qt::CaseInsensitive) == 0)
            refuseDataPacket(fileName,
                             QStringLiteral("la colonna \"%1\" è ripetuta").arg(def.Name));
    // A width means something only to texts and 64-bit integers.
    TFieldDef kept = def;
    if (def.DataType != ftString && !(def.DataType == ftInteger && def.Size == 8))
        kept.Size = 0;
    packet.defs.append(kept);
}

TDataPacket readDataPacket(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.isEmpty())
        throw EVxException(QStringLiteral("Il file %1 è vuoto: non contiene un pacchetto dati.")
                               .arg(QDir::toNativeSeparators(fileName)));
    if (hasBinaryPacketSignature(bytes))
        return readBinaryPacket(bytes, fileName);
    if (looksLikeXmlPacket(bytes))
        return readXmlPacket(bytes, fileName);
    refuseUnknownFormat(fileName);
}

void loadDataPacket(TClientDataSet &ds, TDataPacket packet)
{
    emptyDatesToNull(packet);
    widenStringsToTheirValues(packet);
    ds.ReplaceData(packet.defs, std::move(packet.rows));
}

void TClientDataSet::SaveToFile(const QString &path, TDataPacketFormat format, TVxFileSync sync,
                                TVxFileAccess access)
{
    if (!Active())
        throw EVxException(
            QStringLiteral("Impossibile salvare il file %1: il dataset non è aperto.")
                .arg(QDir::toNativeSeparators(path)));
    MergeChangeLog();
    // A reader never sees half a packet, nor one written through a planted link.
    VxReplaceFile(path, format == dfXML ? writeXmlPacket(*this) : writeBinaryPacket(*this), sync,
                  access);
}

void TClientDataSet::LoadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        throw EVxException(
            QStringLiteral("Il file %1 non esiste.").arg(QDir::toNativeSeparators(path)));
    if (!VxOpenRegularFile(file, path))
        throw EVxException(QStringLiteral("Impossibile leggere il file %1: %2")
                               .arg(QDir::toNativeSeparators(path), VxFileErrorText(file)));
    // The head tells the form: neither an unknown file nor an XML one past the size cap is
    // read into memory.
    const QByteArray head = file.peek(256);
    if (!head.isEmpty() && !hasBinaryPacketSignature(head) && !looksLikeXmlPacket(head))
        refuseUnknownFormat(path);
    if (looksLikeXmlPacket(head) && file.size() > kVxXmlMaxBytes)
        refuseXmlPacketSize(path);
    loadDataPacket(*this, readDataPacket(file.readAll(), path));
}
