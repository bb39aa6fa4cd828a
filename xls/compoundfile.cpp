#include "xls/compoundfile.h"

#include "xls/xlsmessages.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <functional>

namespace xls {

namespace {

constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 FreeSector = 0xFFFFFFFF;
constexpr quint32 FatSector = 0xFFFFFFFD;
constexpr quint32 DifatSector = 0xFFFFFFFC;
constexpr quint32 NoStream = 0xFFFFFFFF;
constexpr quint32 MiniStreamCutoff = 4096;
constexpr quint32 MiniSectorSize = 64;
constexpr int MaxStorageDepth = 64;
const QByteArray Signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

struct DirEntry
{
    QString name;
    int type = 0;
    quint32 left = NoStream;
    quint32 right = NoStream;
    quint32 child = NoStream;
    quint32 start = 0;
    quint64 size = 0;
};

// Reads a whole compound file from memory. Every sector number, chain and length is checked
// against the file, so a damaged file is refused instead of being read out of bounds.
class CompoundReader
{
public:
    CompoundReader(const QByteArray &file, const QString &name) : m_file(file), m_name(name) {}

    void read(TXlsStorageList &out)
    {
        if (m_file.size() < 512 || !m_file.startsWith(Signature))
            bad();
        const quint16 major = u16(26);
        const quint16 shift = u16(30);
        if (u16(28) != 0xFFFE)
            bad();
        if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)))
            bad();
        m_sectorSize = 1u << shift;
        if (u16(32) != 6)
            bad();
        m_sectorCount = quint32((m_file.size() - 1) / m_sectorSize); // sectors after the header
        readFat();
        m_dir = chainBytes(u32(48), m_fat, m_sectorSize, m_file.size());
        readDirectory();
        const quint32 miniFatStart = u32(60);
        const quint32 miniFatCount = u32(64);
        if (miniFatCount > m_sectorCount)
            bad();
        if (miniFatCount > 0) {
            const QByteArray mf = chainBytes(miniFatStart, m_fat, m_sectorSize, m_file.size());
            for (qsizetype i = 0; i + 4 <= mf.size(); i += 4)
                m_miniFat.push_back(qFromLittleEndian<quint32>(mf.constData() + i));
        }
        const DirEntry &root = m_entries.at(0);
        if (root.type != 5)
            bad();
        if (root.size > 0) {
            m_miniStream = chainBytes(root.start, m_fat, m_sectorSize, m_file.size());
            if (quint64(m_miniStream.size()) < root.size)
                bad();
        }
        std::vector<bool> seen(m_entries.size(), false);
        seen[0] = true;
        loadChildren(root.child, out, seen, 0);
    }

private:
    [[noreturn]] void bad() const { raiseXls(FileInvalid, {m_name}); }

    quint16 u16(qsizetype off) const
    {
        if (off < 0 || off + 2 > m_file.size())
            bad();
        return qFromLittleEndian<quint16>(m_file.constData() + off);
    }
    quint32 u32(qsizetype off) const
    {
        if (off < 0 || off + 4 > m_file.size())
            bad();
        return qFromLittleEndian<quint32>(m_file.constData() + off);
    }

    // The bytes of one sector; a last sector cut short by the end of the file reads as zeros.
    QByteArray sector(quint32 sid) const
    {
        if (sid >= m_sectorCount)
            bad();
        const qsizetype off = qsizetype(sid + 1) * m_sectorSize;
        QByteArray s = m_file.mid(off, m_sectorSize);
        if (s.size() < qsizetype(m_sectorSize))
            s.append(QByteArray(m_sectorSize - s.size(), '\0'));
        return s;
    }

    void readFat()
    {
        const quint32 fatCount = u32(44);
        quint32 difat = u32(68);
        const quint32 difatCount = u32(72);
        if (fatCount > m_sectorCount || difatCount > m_sectorCount)
            bad();
        std::vector<quint32> fatSectors;
        for (int i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(u32(76 + 4 * i));
        const quint32 perDifat = m_sectorSize / 4 - 1;
        quint32 steps = 0;
        while (fatSectors.size() < fatCount) {
            if (difat == EndOfChain || difat == FreeSector || ++steps > difatCount)
                bad();
            const QByteArray s = sector(difat);
            for (quint32 i = 0; i < perDifat && fatSectors.size() < fatCount; ++i)
                fatSectors.push_back(qFromLittleEndian<quint32>(s.constData() + 4 * i));
            difat = qFromLittleEndian<quint32>(s.constData() + 4 * perDifat);
        }
        m_fat.reserve(size_t(fatCount) * (m_sectorSize / 4));
        for (quint32 sid : fatSectors) {
            const QByteArray s = sector(sid);
            for (quint32 i = 0; i < m_sectorSize / 4; ++i)
                m_fat.push_back(qFromLittleEndian<quint32>(s.constData() + 4 * i));
        }
    }

    // Follows a chain of the FAT or mini FAT; a chain longer than its table is a cycle.
    QByteArray chainBytes(quint32 start, const std::vector<quint32> &table, quint32 unit,
                          qsizetype limit) const
    {
        QByteArray out;
        quint32 sid = start;
        size_t steps = 0;
        while (sid != EndOfChain) {
            if (sid >= table.size() || ++steps > table.size())
                bad();
            if (&table == &m_miniFat) {
                const qsizetype off = qsizetype(sid) * unit;
                if (off + unit > m_miniStream.size())
                    bad();
                out.append(m_miniStream.constData() + off, unit);
            } else {
                out.append(sector(sid));
            }
            if (out.size() > limit + qsizetype(unit))
                bad();
            sid = table[sid];
        }
        return out;
    }

    void readDirectory()
    {
        const bool v3 = m_sectorSize == 512;
        for (qsizetype off = 0; off + 128 <= m_dir.size(); off += 128) {
            const char *p = m_dir.constData() + off;
            DirEntry e;
            const quint16 nameBytes = qFromLittleEndian<quint16>(p + 64);
            // A damaged name length makes the entry unusable, never a longer read.
            const bool nameOk = nameBytes <= 64 && nameBytes % 2 == 0;
            e.type = nameOk ? quint8(p[66]) : 0;
            const int chars = nameOk && nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
            e.name = QString::fromUtf16(reinterpret_cast<const char16_t *>(p), chars);
            e.left = qFromLittleEndian<quint32>(p + 68);
            e.right = qFromLittleEndian<quint32>(p + 72);
            e.child = qFromLittleEndian<quint32>(p + 76);
            e.start = qFromLittleEndian<quint32>(p + 116);
            e.size = v3 ? qFromLittleEndian<quint32>(p + 120) : qFromLittleEndian<quint64>(p + 120);
            m_entries.push_back(e);
        }
        if (m_entries.empty())
            bad();
    }

    QByteArray streamData(const DirEntry &e) const
    {
        if (e.size > quint64(m_file.size()))
            bad();
        QByteArray data;
        if (e.size == 0)
            return data;
        if (e.size < MiniStreamCutoff)
            data = chainBytes(e.start, m_miniFat, MiniSectorSize, qsizetype(e.size));
        else
            data = chainBytes(e.start, m_fat, m_sectorSize, qsizetype(e.size));
        if (quint64(data.size()) < e.size)
            bad();
        data.truncate(qsizetype(e.size));
        return data;
    }

    // The children of a storage are a binary tree of siblings; enumeration walks it in order.
    void loadChildren(quint32 top, TXlsStorageList &out, std::vector<bool> &seen, int depth)
    {
        if (depth > MaxStorageDepth)
            bad();
        std::vector<quint32> stack;
        quint32 cur = top;
        while (cur != NoStream || !stack.empty()) {
            while (cur != NoStream) {
                if (cur >= m_entries.size() || seen[cur])
                    bad();
                seen[cur] = true;
                stack.push_back(cur);
                cur = m_entries[cur].left;
            }
            const quint32 id = stack.back();
            stack.pop_back();
            const DirEntry &e = m_entries[id];
            if (e.type == 1) {
                TXlsStorage &s = out.append(e.name);
                loadChildren(e.child, *s.Children, seen, depth + 1);
            } else if (e.type == 2) {
                TXlsStorage &s = out.append(e.name);
                s.Data = streamData(e);
            }
            cur = e.right;
        }
    }

    const QByteArray &m_file;
    QString m_name;
    quint32 m_sectorSize = 512;
    quint32 m_sectorCount = 0;
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    QByteArray m_miniStream;
    QByteArray m_dir;
    std::vector<DirEntry> m_entries;
};

// --- writing -----------------------------------------------------------------------------

struct OutEntry
{
    QString name;
    int type = 0; // 1 storage, 2 stream, 5 root
    const QByteArray *data = nullptr;
    std::vector<int> children;
    quint32 left = NoStream, right = NoStream, child = NoStream;
    bool red = false;
    quint32 start = EndOfChain;
    quint32 size = 0;
};

bool cfbLess(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a.toUpper() < b.toUpper();
}

// Links a storage's children as a balanced tree sorted by the compound-file name order; nodes
// on the deepest level are red, the rest black, which keeps it a valid red-black tree.
quint32 buildTree(std::vector<OutEntry> &entries, std::vector<int> ids)
{
    std::sort(ids.begin(), ids.end(),
              [&](int a, int b) { return cfbLess(entries[a].name, entries[b].name); });
    int maxDepth = 0;
    std::function<quint32(int, int, int)> build = [&](int lo, int hi, int depth) -> quint32 {
        if (lo > hi)
            return NoStream;
        const int mid = (lo + hi) / 2;
        OutEntry &e = entries[ids[mid]];
        maxDepth = std::max(maxDepth, depth);
        e.left = build(lo, mid - 1, depth + 1);
        e.right = build(mid + 1, hi, depth + 1);
        return quint32(ids[mid]);
    };
    const quint32 root = build(0, int(ids.size()) - 1, 0);
    std::function<void(quint32, int)> paint = [&](quint32 id, int depth) {
        if (id == NoStream)
            return;
        entries[id].red = depth == maxDepth && depth > 0;
        paint(entries[id].left, depth + 1);
        paint(entries[id].right, depth + 1);
    };
    // A perfect tree needs no red level at all.
    const size_t n = ids.size();
    const bool perfect = n > 0 && ((n + 1) & n) == 0;
    if (!perfect)
        paint(root, 0);
    return root;
}

void addElements(std::vector<OutEntry> &entries, int parent, const TXlsStorageList &list,
                 const QString &skipName)
{
    for (const auto &item : list.Items) {
        if (!skipName.isEmpty() && item->Name == skipName)
            continue;
        if (item->Data.size() > 0) {
            OutEntry e;
            e.name = item->Name;
            e.type = 2;
            e.data = &item->Data;
            entries.push_back(e);
            entries[parent].children.push_back(int(entries.size()) - 1);
        } else if (item->Children && item->Children->count() > 0) {
            OutEntry e;
            e.name = item->Name;
            e.type = 1;
            entries.push_back(e);
            const int id = int(entries.size()) - 1;
            entries[parent].children.push_back(id);
            addElements(entries, id, *item->Children, QString());
        }
    }
}

void put16(QByteArray &b, qsizetype off, quint16 v)
{
    qToLittleEndian<quint16>(v, b.data() + off);
}
void put32(QByteArray &b, qsizetype off, quint32 v)
{
    qToLittleEndian<quint32>(v, b.data() + off);
}

} // namespace

TXlsStorage::TXlsStorage() : Children(std::make_unique<TXlsStorageList>()) {}

TXlsStorage::~TXlsStorage() = default;

void TXlsStorage::SetCompress(bool value)
{
    Compress = value;
    Children->SetCompress(value);
}

TXlsStorage &TXlsStorageList::append(const QString &name)
{
    Items.push_back(std::make_unique<TXlsStorage>());
    Items.back()->Name = name;
    return *Items.back();
}

void TXlsStorageList::SetCompress(bool value)
{
    Compress = value;
    for (auto &item : Items)
        item->SetCompress(value);
}

void TXlsStorageList::LoadFromFile(const QString &fileName)
{
    clear();
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        raiseXls(CantReadFile, {fileName});
    const QByteArray bytes = f.readAll();
    LoadFromBytes(bytes, fileName);
}

void TXlsStorageList::LoadFromBytes(const QByteArray &bytes, const QString &nameForMessages)
{
    clear();
    CompoundReader reader(bytes, nameForMessages);
    reader.read(*this);
}

const QByteArray &TXlsStorageList::FindStream(const QString &name) const
{
    for (const auto &item : Items)
        if (item->Name == name)
            return item->Data;
    raiseXls(CantOpenStream, {name});
}

void TXlsStorageList::SaveToStream(QByteArray &out) const
{
    auto put = [&](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        out.append(b, 4);
    };
    put(quint32(Items.size()));
    for (const auto &item : Items) {
        const QByteArray name = item->Name.toLatin1();
        put(quint32(name.size()));
        out.append(name);
        put(quint32(item->Data.size()));
        out.append(item->Data);
        item->Children->SaveToStream(out);
    }
}

void TXlsStorageList::LoadFromStream(const QByteArray &in, qsizetype &pos)
{
    loadLevel(in, pos, 0);
}

void TXlsStorageList::loadLevel(const QByteArray &in, qsizetype &pos, int depth)
{
    // Twelve bytes make one more level: damaged data could nest deep enough to exhaust the
    // stack here and again when the tree is freed or written. Compound files nest far less.
    if (depth > MaxStorageDepth)
        raiseXls(ErrorReadingRecord);
    clear();
    auto get = [&]() -> quint32 {
        if (pos + 4 > in.size())
            raiseXls(ErrorReadingRecord);
        const quint32 v = qFromLittleEndian<quint32>(in.constData() + pos);
        pos += 4;
        return v;
    };
    auto bytes = [&](quint32 n) -> QByteArray {
        if (qsizetype(n) > in.size() - pos)
            raiseXls(ErrorReadingRecord);
        const QByteArray b = in.mid(pos, n);
        pos += n;
        return b;
    };
    const quint32 count = get();
    // Each element needs at least 12 bytes: a count beyond that is a damaged value.
    if (qsizetype(count) > (in.size() - pos) / 12)
        raiseXls(ErrorReadingRecord);
    for (quint32 i = 0; i < count; ++i) {
        TXlsStorage &s = append(QString::fromLatin1(bytes(get())));
        s.Data = bytes(get());
        s.Children->loadLevel(in, pos, depth + 1);
    }
}

QByteArray buildCompoundFile(const TXlsStorageList &elements, const QString &skipName,
                             const QString &lastName, const QByteArray &lastData)
{
    std::vector<OutEntry> entries;
    OutEntry root;
    root.name = QStringLiteral("Root Entry");
    root.type = 5;
    entries.push_back(root);
    addElements(entries, 0, elements, skipName);
    if (!lastName.isEmpty() && lastData.size() > 0) {
        OutEntry e;
        e.name = lastName;
        e.type = 2;
        e.data = &lastData;
        entries.push_back(e);
        entries[0].children.push_back(int(entries.size()) - 1);
    }
    for (const OutEntry &e : entries)
        if (e.name.size() > 31)
            raiseXls(ErrorWritingOutput);
    for (size_t i = 0; i < entries.size(); ++i)
        if (!entries[i].children.empty())
            entries[i].child = buildTree(entries, entries[i].children);

    constexpr quint32 sectorSize = 512;
    auto sectorsFor = [](quint64 bytes) { return quint32((bytes + sectorSize - 1) / sectorSize); };

    // Small streams go to the mini stream, the others to whole sectors.
    QByteArray miniStream;
    std::vector<quint32> miniFat;
    quint32 bigSectors = 0;
    for (OutEntry &e : entries) {
        if (e.type != 2)
            continue;
        e.size = quint32(e.data->size());
        if (quint64(e.data->size()) > 0xFFFFFFFFull)
            raiseXls(ErrorWritingOutput);
        if (e.size < MiniStreamCutoff) {
            const quint32 first = quint32(miniFat.size());
            const quint32 n = (e.size + MiniSectorSize - 1) / MiniSectorSize;
            for (quint32 i = 0; i < n; ++i)
                miniFat.push_back(i + 1 < n ? first + i + 1 : EndOfChain);
            e.start = first;
            miniStream.append(*e.data);
            miniStream.append(QByteArray(qsizetype(n) * MiniSectorSize - e.size, '\0'));
        } else {
            bigSectors += sectorsFor(e.size);
        }
    }
    const quint32 dirSectors = sectorsFor(quint64(entries.size()) * 128);
    const quint32 miniFatSectors = sectorsFor(quint64(miniFat.size()) * 4);
    const quint32 miniStreamSectors = sectorsFor(quint64(miniStream.size()));
    const quint32 other = dirSectors + miniFatSectors + miniStreamSectors + bigSectors;
    quint32 fatCount = 1, difatCount = 0;
    for (;;) {
        const quint32 needFat = (other + fatCount + difatCount + 127) / 128;
        const quint32 needDifat = needFat > 109 ? (needFat - 109 + 126) / 127 : 0;
        if (needFat == fatCount && needDifat == difatCount)
            break;
        fatCount = std::max(fatCount, needFat);
        difatCount = needDifat;
    }
    const quint32 total = fatCount + difatCount + other;
    std::vector<quint32> fat(size_t(fatCount) * 128, FreeSector);
    quint32 next = 0;
    auto chain = [&](quint32 n) -> quint32 {
        if (n == 0)
            return EndOfChain;
        const quint32 first = next;
        for (quint32 i = 0; i < n; ++i)
            fat[first + i] = i + 1 < n ? first + i + 1 : EndOfChain;
        next += n;
        return first;
    };
    for (quint32 i = 0; i < fatCount; ++i)
        fat[next++] = FatSector;
    const quint32 difatFirst = next;
    for (quint32 i = 0; i < difatCount; ++i)
        fat[next++] = DifatSector;
    const quint32 dirFirst = chain(dirSectors);
    const quint32 miniFatFirst = chain(miniFatSectors);
    const quint32 miniStreamFirst = chain(miniStreamSectors);
    entries[0].start = miniStreamFirst;
    entries[0].size = quint32(miniStream.size());
    for (OutEntry &e : entries)
        if (e.type == 2 && e.size >= MiniStreamCutoff)
            e.start = chain(sectorsFor(e.size));
    Q_ASSERT(next == total);

    QByteArray out(qsizetype(total + 1) * sectorSize, '\0');
    // Header.
    out.replace(0, 8, Signature);
    put16(out, 24, 0x003E);
    put16(out, 26, 3);
    put16(out, 28, 0xFFFE);
    put16(out, 30, 9);
    put16(out, 32, 6);
    put32(out, 44, fatCount);
    put32(out, 48, dirFirst);
    put32(out, 56, MiniStreamCutoff);
    put32(out, 60, miniFatFirst);
    put32(out, 64, miniFatSectors);
    put32(out, 68, difatCount ? difatFirst : EndOfChain);
    put32(out, 72, difatCount);
    for (quint32 i = 0; i < 109; ++i)
        put32(out, 76 + 4 * i, i < fatCount ? i : FreeSector);
    auto sectorOff = [](quint32 sid) { return qsizetype(sid + 1) * sectorSize; };
    // DIFAT sectors: the FAT sectors beyond the 109 of the header.
    for (quint32 d = 0; d < difatCount; ++d) {
        const qsizetype off = sectorOff(difatFirst + d);
        for (quint32 i = 0; i < 127; ++i) {
            const quint32 fatIndex = 109 + d * 127 + i;
            put32(out, off + 4 * i, fatIndex < fatCount ? fatIndex : FreeSector);
        }
        put32(out, off + 4 * 127, d + 1 < difatCount ? difatFirst + d + 1 : EndOfChain);
    }
    for (size_t i = 0; i < fat.size(); ++i)
        put32(out, sectorOff(quint32(i / 128)) + 4 * qsizetype(i % 128), fat[i]);
    // Directory.
    for (quint32 i = 0; i < dirSectors * 4; ++i) {
        const qsizetype off = sectorOff(dirFirst) + qsizetype(i) * 128;
        if (i >= entries.size()) {
            put32(out, off + 68, NoStream);
            put32(out, off + 72, NoStream);
            put32(out, off + 76, NoStream);
            continue;
        }
        const OutEntry &e = entries[i];
        for (int c = 0; c < e.name.size(); ++c)
            put16(out, off + 2 * c, e.name.at(c).unicode());
        put16(out, off + 64, quint16((e.name.size() + 1) * 2));
        out[off + 66] = char(e.type);
        out[off + 67] = e.red ? 0 : 1;
        put32(out, off + 68, e.left);
        put32(out, off + 72, e.right);
        put32(out, off + 76, e.child);
        if (e.type != 1) {
            put32(out, off + 116, e.start);
            put32(out, off + 120, e.size);
        }
    }
    for (size_t i = 0; i < miniFat.size(); ++i)
        put32(out, sectorOff(miniFatFirst) + 4 * qsizetype(i), miniFat[i]);
    if (!miniStream.isEmpty())
        out.replace(sectorOff(miniStreamFirst), miniStream.size(), miniStream);
    for (const OutEntry &e : entries)
        if (e.type == 2 && e.size >= MiniStreamCutoff)
            out.replace(sectorOff(e.start), e.data->size(), *e.data);
    return out;
}

} // namespace xls
