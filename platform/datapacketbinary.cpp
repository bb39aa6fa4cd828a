// The binary form of a packet; the layout is in datapacket_binary.md.
#include "platform/datapacket.h"
#include "platform/xmldoc.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

constexpr char kSignature[8] = {'\x89', 'T', 'V', 'R', 'P', 'K', 'T', '\x1A'};
constexpr quint16 kVersion = 1;
constexpr qint64 kMsecsPerDay = 86400000;
constexpr qint64 kJulianDayOf1970 = 2440588;

// A null value takes one bit of the file but a whole QVariant in memory: a small file of
// empty rows over many columns could ask for gigabytes. The values a packet holds are kept
// within four times the size cap of an XML packet, far above any school's data.
constexpr quint64 kMaxPacketValues = quint64(4 * kVxXmlMaxBytes) / sizeof(QVariant);

// The type codes of the file: 1 + the position in this list.
constexpr TFieldType kTypeOfCode[] = {ftInteger,  ftString, ftMemo, ftDate,
                                      ftDateTime, ftFloat,  ftBlob, ftBoolean};

quint8 typeCode(TFieldType type)
{
    const auto *found = std::find(std::begin(kTypeOfCode), std::end(kTypeOfCode), type);
    return quint8(found - std::begin(kTypeOfCode) + 1);
}

bool typeOfCode(quint8 code, TFieldType *type)
{
    if (code < 1 || code > std::size(kTypeOfCode))
        return false;
    *type = kTypeOfCode[code - 1];
    return true;
}

class Writer
{
public:
    QByteArray bytes;

    template <typename T> void put(T value)
    {
        char buffer[sizeof(T)];
        qToLittleEndian(value, buffer);
        bytes.append(buffer, sizeof(T));
    }
    void putBytes(const QByteArray &data)
    {
        put<quint32>(quint32(data.size()));
        bytes.append(data);
    }
};

// Reads with every length checked against what remains; a shortfall refuses the packet.
class Reader
{
public:
    Reader(const QByteArray &bytes, const QString &fileName) : m_bytes(bytes), m_name(fileName) {}

    qsizetype remaining() const { return m_bytes.size() - m_pos; }

    template <typename T> T get()
    {
        need(sizeof(T));
        const T value = qFromLittleEndian<T>(m_bytes.constData() + m_pos);
        m_pos += qsizetype(sizeof(T));
        return value;
    }

    QByteArray getBytes()
    {
        const quint32 length = get<quint32>();
        need(length);
        const QByteArray data = m_bytes.mid(m_pos, qsizetype(length));
        m_pos += qsizetype(length);
        return data;
    }

    QString getText(const QString &what)
    {
        const QByteArray data = getBytes();
        // Text as written: a leading U+FEFF is a character of the value, not a byte-order mark.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        QString text = utf8.decode(data);
        if (utf8.hasError())
            refuse(QStringLiteral("%1 non è testo UTF-8").arg(what));
        return text;
    }

    const char *take(qsizetype length)
    {
        need(length);
        const char *data = m_bytes.constData() + m_pos;
        m_pos += length;
        return data;
    }

    [[noreturn]] void refuse(const QString &why) const { refuseDataPacket(m_name, why); }

private:
    void need(qsizetype length) const
    {
        if (length > remaining())
            refuse(QStringLiteral("il file è troncato (mancano dati al byte %1)").arg(m_pos));
    }

    const QByteArray &m_bytes;
    QString m_name;
    qsizetype m_pos = 0;
};

void writeValue(Writer &out, TFieldType type, const QVariant &v)
{
    switch (type) {
    case ftInteger:
        out.put<qint64>(v.toLongLong());
        break;
    case ftString:
    case ftMemo:
        out.putBytes(v.toString().toUtf8());
        break;
    case ftDate:
        out.put<qint32>(qint32(v.toDate().toJulianDay()));
        break;
    case ftDateTime: {
        const QDateTime dt = v.toDateTime();
        out.put<qint64>((dt.date().toJulianDay() - kJulianDayOf1970) * kMsecsPerDay +
                        dt.time().msecsSinceStartOfDay());
        break;
    }
    case ftFloat:
        out.put<double>(v.toDouble());
        break;
    case ftBlob:
        out.putBytes(v.toByteArray());
        break;
    case ftBoolean:
        out.put<quint8>(v.toBool() ? 1 : 0);
        break;
    }
}

// The last date-time read in a column: building a local date-time asks the system's time
// zone each time, and a column's stamps mostly repeat.
struct LastDateTime
{
    qint64 ms = 0;
    QVariant value;
};

// The years the XML form and the database can hold.
bool isStorableDate(QDate d)
{
    return d.isValid() && d.year() >= 1 && d.year() <= 9999;
}

QVariant readValue(Reader &in, TFieldType type, const QString &column, quint32 row,
                   LastDateTime &last)
{
    const auto where = [&] {
        return QStringLiteral("il valore di %1 alla riga %2").arg(column).arg(row + 1);
    };
    switch (type) {
    case ftInteger:
        return qlonglong(in.get<qint64>());
    case ftString:
    case ftMemo:
        return in.getText(where());
    case ftDate: {
        const QDate d = QDate::fromJulianDay(in.get<qint32>());
        if (!isStorableDate(d))
            in.refuse(QStringLiteral("%1 non è una data").arg(where()));
        return d;
    }
    case ftDateTime: {
        const qint64 ms = in.get<qint64>();
        if (last.value.isValid() && last.ms == ms)
            return last.value;
        qint64 days = ms / kMsecsPerDay;
        qint64 rest = ms % kMsecsPerDay;
        if (rest < 0) {
            rest += kMsecsPerDay;
            --days;
        }
        const QDate d = QDate::fromJulianDay(days + kJulianDayOf1970);
        if (!isStorableDate(d))
            in.refuse(QStringLiteral("%1 non è una data e ora").arg(where()));
        last = {ms, QDateTime(d, QTime::fromMSecsSinceStartOfDay(int(rest)))};
        return last.value;
    }
    case ftFloat:
        return in.get<double>();
    case ftBlob:
        return in.getBytes();
    case ftBoolean: {
        const quint8 b = in.get<quint8>();
        if (b > 1)
            in.refuse(QStringLiteral("%1 non è un valore logico").arg(where()));
        return bool(b);
    }
    }
    return QVariant();
}

} // namespace

bool hasBinaryPacketSignature(const QByteArray &bytes)
{
    return bytes.size() >= qsizetype(sizeof(kSignature)) &&
           std::memcmp(bytes.constData(), kSignature, sizeof(kSignature)) == 0;
}

QByteArray writeBinaryPacket(const TClientDataSet &ds)
{
    const QList<TFieldDef> &defs = ds.FieldDefs();
    const int columns = int(defs.size());
    const int rows = ds.StoredRecordCount();
    Writer out;
    out.bytes.reserve(64 + qsizetype(rows) * (columns * 9 + 8));
    out.bytes.append(kSignature, sizeof(kSignature));
    out.put<quint16>(kVersion);
    out.put<quint32>(quint32(columns));
    for (const TFieldDef &def : defs) {
        out.putBytes(def.Name.toUtf8());
        out.put<quint8>(typeCode(def.DataType));
        out.put<quint32>(quint32(def.Size));
    }
    out.put<quint32>(quint32(rows));
    const qsizetype bitmapBytes = (columns + 7) / 8;
    for (int r = 0; r < rows; ++r) {
        const QList<QVariant> &values = ds.StoredRecord(r);
        const qsizetype bitmapAt = out.bytes.size();
        out.bytes.append(bitmapBytes, '\0');
        for (int c = 0; c < columns; ++c) {
            if (!values.at(c).isValid())
                out.bytes[bitmapAt + c / 8] = char(out.bytes.at(bitmapAt + c / 8) | (1 << (c % 8)));
            else
                writeValue(out, defs.at(c).DataType, values.at(c));
        }
    }
    return out.bytes;
}

TDataPacket readBinaryPacket(const QByteArray &bytes, const QString &fileName)
{
    Reader in(bytes, fileName);
    in.take(sizeof(kSignature));
    const quint16 version = in.get<quint16>();
    if (version != kVersion)
        in.refuse(QStringLiteral("la versione %1 del formato binario non è gestita").arg(version));

    TDataPacket packet;
    const quint32 columns = in.get<quint32>();
    // The smallest column takes 9 bytes: a count that cannot fit is refused before any
    // memory is reserved for it.
    if (columns == 0)
        in.refuse(QStringLiteral("non ha colonne"));
    if (columns > quint64(in.remaining()) / 9)
        in.refuse(QStringLiteral("dichiara %1 colonne, più di quante il file ne possa contenere")
                      .arg(columns));
    for (quint32 c = 0; c < columns; ++c) {
        TFieldDef def;
        def.Name = in.getText(QStringLiteral("il nome della colonna %1").arg(c + 1));
        const quint8 code = in.get<quint8>();
        if (!typeOfCode(code, &def.DataType))
            in.refuse(QStringLiteral("la colonna \"%1\" ha un tipo sconosciuto (%2)")
                          .arg(def.Name)
                          .arg(code));
        const quint32 size = in.get<quint32>();
        if (size > quint32(std::numeric_limits<int>::max()))
            in.refuse(
                QStringLiteral("la colonna \"%1\" ha una larghezza non valida").arg(def.Name));
        def.Size = int(size);
        addPacketColumn(packet, def, fileName);
    }

    const quint32 rows = in.get<quint32>();
    const qsizetype bitmapBytes = (qsizetype(columns) + 7) / 8;
    if (rows > quint64(in.remaining()) / quint64(bitmapBytes))
        in.refuse(QStringLiteral("dichiara %1 righe, più di quante il file ne possa contenere")
                      .arg(rows));
    if (quint64(rows) * columns > kMaxPacketValues)
        in.refuse(QStringLiteral("dichiara %1 righe di %2 colonne, più valori dei %3 che un "
                                 "pacchetto può contenere")
                      .arg(rows)
                      .arg(columns)
                      .arg(kMaxPacketValues));
    packet.rows.reserve(rows);
    std::vector<LastDateTime> lastDateTimes(columns);
    for (quint32 r = 0; r < rows; ++r) {
        const char *nulls = in.take(bitmapBytes);
        QList<QVariant> values(columns);
        for (quint32 c = 0; c < columns; ++c) {
            if (nulls[c / 8] & (1 << (c % 8)))
                continue;
            values[c] = readValue(in, packet.defs.at(c).DataType, packet.defs.at(c).Name, r,
                                  lastDateTimes[c]);
        }
        packet.rows.push_back(std::move(values));
    }
    if (in.remaining() != 0)
        in.refuse(QStringLiteral("contiene %1 byte dopo l'ultima riga").arg(in.remaining()));
    return packet;
}
