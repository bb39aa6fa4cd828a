#include "xlstestutil.h"

#include "xls/compoundfile.h"
#include "xls/xlsadapter.h"
#include "xls/xlsmessages.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace xls;
using namespace xlstest;

namespace {

// path, kind, size, SHA-1 of every element, as the checker lists them.
QJsonArray describe(const TXlsStorageList &list, const QString &prefix = QString())
{
    QJsonArray out;
    for (const auto &item : list.Items) {
        const QString path = prefix + item->Name;
        if (item->Children->count() > 0 || item->Data.isEmpty()) {
            out.append(QJsonArray{path, QStringLiteral("storage"), 0, QString()});
            for (const auto &child : describe(*item->Children, path + QStringLiteral("/")))
                out.append(child);
        } else {
            out.append(QJsonArray{
                path, QStringLiteral("stream"), int(item->Data.size()),
                QString::fromLatin1(
                    QCryptographicHash::hash(item->Data, QCryptographicHash::Sha1).toHex())});
        }
    }
    return out;
}

QByteArray pattern(int size, int seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 31 + seed * 7 + i / 251) & 0xFF);
    return b;
}

// A version-4 file (4096-byte sectors) built by hand: a big stream and a small one.
QByteArray versionFourFile(const QByteArray &big, const QByteArray &small)
{
    const int ss = 4096;
    QByteArray f(ss * 7, '\0');
    auto p16 = [&](int off, quint16 v) { qToLittleEndian<quint16>(v, f.data() + off); };
    auto p32 = [&](int off, quint32 v) { qToLittleEndian<quint32>(v, f.data() + off); };
    f.replace(0, 8, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    p16(24, 0x3E);
    p16(26, 4);
    p16(28, 0xFFFE);
    p16(30, 12);
    p16(32, 6);
    p32(40, 1);
    p32(44, 1);
    p32(48, 1);
    p32(56, 4096);
    p32(60, 2);
    p32(64, 1);
    p32(68, 0xFFFFFFFE);
    for (int i = 0; i < 109; ++i)
        p32(76 + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
    auto sector = [&](int sid) { return ss * (sid + 1); };
    const quint32 fat[] = {0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFE, 5, 0xFFFFFFFE};
    for (int i = 0; i < ss / 4; ++i)
        p32(sector(0) + 4 * i, i < 6 ? fat[i] : 0xFFFFFFFF);
    auto dirEntry = [&](int index, const QString &name, int type, quint32 left, quint32 right,
                        quint32 child, quint32 start, quint64 size) {
        const int off = sector(1) + 128 * index;
        for (int c = 0; c < name.size(); ++c)
            p16(off + 2 * c, name.at(c).unicode());
        p16(off + 64, quint16((name.size() + 1) * 2));
        f[off + 66] = char(type);
        f[off + 67] = 1;
        p32(off + 68, left);
        p32(off + 72, right);
        p32(off + 76, child);
        p32(off + 116, start);
        qToLittleEndian<quint64>(size, f.data() + off + 120);
    };
    dirEntry(0, QStringLiteral("Root Entry"), 5, 0xFFFFFFFF, 0xFFFFFFFF, 1, 3, 128);
    dirEntry(1, QStringLiteral("Workbook"), 2, 2, 0xFFFFFFFF, 0xFFFFFFFF, 4, quint64(big.size()));
    dirEntry(2, QStringLiteral("small"), 2, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0,
             quint64(small.size()));
    for (int i = 3; i < ss / 128; ++i) {
        p32(sector(1) + 128 * i + 68, 0xFFFFFFFF);
        p32(sector(1) + 128 * i + 72, 0xFFFFFFFF);
        p32(sector(1) + 128 * i + 76, 0xFFFFFFFF);
    }
    p32(sector(2), 1);
    p32(sector(2) + 4, 0xFFFFFFFE);
    for (int i = 2; i < ss / 4; ++i)
        p32(sector(2) + 4 * i, 0xFFFFFFFF);
    f.replace(sector(3), small.size(), small);
    f.replace(sector(4), big.size(), big);
    return f;
}

QStringList sortedEntries(const QJsonArray &a, const QString &skip = QString())
{
    QStringList s;
    for (const auto &v : a)
        if (v.toArray()[0].toString() != skip)
            s << QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    s.sort();
    return s;
}

TXlsStorageList sampleTree()
{
    TXlsStorageList list;
    list.append(QStringLiteral("\005SummaryInformation")).Data = pattern(300, 1);
    TXlsStorage &pool = list.append(QStringLiteral("ObjectPool"));
    pool.Children->append(QStringLiteral("first")).Data = pattern(5000, 2);
    pool.Children->append(QStringLiteral("second")).Data = pattern(64, 3);
    list.append(QStringLiteral("Empty")); // a zero-length stream
    list.append(QStringLiteral("Workbook")).Data = pattern(9000, 4);
    for (int i = 0; i < 12; ++i)
        list.append(QStringLiteral("s%1").arg(i)).Data = pattern(100 + i * 37, 10 + i);
    return list;
}

} // namespace

TEST(CompoundFile, FixturesReadAsOlefileSeesThem)
{
    for (const char *name : {"rich.xls", "strings.xls", "survey.xls", "plain.xls"}) {
        TXlsStorageList list;
        list.LoadFromFile(fixture(QString::fromLatin1(name)));
        const QJsonArray expected =
            check(QStringLiteral("storage"), fixture(QString::fromLatin1(name)))
                .object()["entries"]
                .toArray();
        // Our reader lists the elements in the sibling tree's order, olefile by name.
        EXPECT_EQ(sortedEntries(describe(list)), sortedEntries(expected)) << name;
    }
}

TEST(CompoundFile, WrittenTreeKeepsNamesBytesAndNestingAndDropsEmptyElements)
{
    QTemporaryDir dir;
    const TXlsStorageList tree = sampleTree();
    const QByteArray file = buildCompoundFile(tree, QString(), QString(), QByteArray());
    const QString path = dir.filePath(QStringLiteral("tree.cfb"));
    writeFile(path, file);

    TXlsStorageList back;
    back.LoadFromFile(path);
    // The reader lists elements in the compound file's name order; compare as sets.
    QJsonArray expected = describe(tree);
    QJsonArray got = describe(back);
    auto sorted = [](const QJsonArray &a) { return sortedEntries(a, QStringLiteral("Empty")); };
    EXPECT_EQ(sorted(got), sorted(expected));
    for (const auto &v : got)
        EXPECT_NE(v.toArray()[0].toString(), QStringLiteral("Empty"));
    // olefile finds every element by walking the sibling trees we wrote.
    const QJsonObject ole = check(QStringLiteral("storage"), path).object();
    EXPECT_EQ(ole["version"].toInt(), 3);
    QJsonArray oleEntries = ole["entries"].toArray();
    EXPECT_EQ(sorted(oleEntries), sorted(expected));
}

TEST(CompoundFile, LargeStreamsNeedingDifatSectorsRoundTrip)
{
    // More than 109 FAT sectors: the FAT itself is listed through DIFAT sectors.
    TXlsStorageList list;
    list.append(QStringLiteral("Workbook")).Data = pattern(8 * 1024 * 1024, 5);
    list.append(QStringLiteral("tiny")).Data = pattern(10, 6);
    const QByteArray file = buildCompoundFile(list, QString(), QString(), QByteArray());
    EXPECT_GT(qFromLittleEndian<quint32>(file.constData() + 72), 0u); // DIFAT sectors used
    TXlsStorageList back;
    back.LoadFromBytes(file, QStringLiteral("big"));
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.FindStream(QStringLiteral("Workbook")), list.at(0).Data);
    EXPECT_EQ(back.FindStream(QStringLiteral("tiny")), list.at(1).Data);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("big.cfb")), file);
    const QJsonArray ole = check(QStringLiteral("storage"), dir.filePath(QStringLiteral("big.cfb")))
                               .object()["entries"]
                               .toArray();
    EXPECT_EQ(ole.size(), 2);
}

TEST(CompoundFile, VersionFourFilesAreRead)
{
    const QByteArray big = pattern(5000, 7), small = pattern(100, 8);
    TXlsStorageList list;
    list.LoadFromBytes(versionFourFile(big, small), QStringLiteral("v4"));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.at(0).Name, QStringLiteral("small"));
    EXPECT_EQ(list.at(0).Data, small);
    EXPECT_EQ(list.at(1).Name, QStringLiteral("Workbook"));
    EXPECT_EQ(list.at(1).Data, big);
}

TEST(CompoundFile, DamagedFilesAreRefusedAsInvalid)
{
    const QString invalid = QStringLiteral("The file \"x\" is invalid");
    auto load = [](const QByteArray &bytes) {
        return messageOf([&] {
            TXlsStorageList l;
            l.LoadFromBytes(bytes, QStringLiteral("x"));
        });
    };
    EXPECT_EQ(load(QByteArray("just some text, not a workbook\n")), invalid);
    const QByteArray good = versionFourFile(pattern(5000, 1), pattern(100, 2));
    const int ss = 4096;
    auto patch32 = [&](int off, quint32 v) {
        QByteArray b = good;
        qToLittleEndian<quint32>(v, b.data() + off);
        return b;
    };
    EXPECT_EQ(load(patch32(ss * 1 + 4 * 5, 4)), invalid);         // FAT chain loops 4 -> 5 -> 4
    EXPECT_EQ(load(patch32(ss * 1 + 4 * 4, 4)), invalid);         // a sector pointing at itself
    EXPECT_EQ(load(patch32(ss * 1 + 4 * 4, 900000)), invalid);    // beyond the FAT
    EXPECT_EQ(load(patch32(ss * 2 + 128 + 116, 77)), invalid);    // start sector beyond file
    EXPECT_EQ(load(patch32(ss * 2 + 128 + 120, 50000)), invalid); // size beyond its chain
    EXPECT_EQ(load(patch32(ss * 2 + 128 + 68, 1)), invalid);      // sibling tree cycle
    EXPECT_EQ(load(patch32(ss * 3 + 0, 0)), invalid);             // mini chain cycle
    EXPECT_EQ(load(patch32(44, 0x7FFFFFFF)), invalid);            // absurd FAT count
    EXPECT_EQ(load(good.left(ss * 3)), invalid);                  // cut short
    EXPECT_EQ(load(patch32(ss * 2 + 116, 30)), invalid);          // mini stream start bad
}

TEST(CompoundFile, OpeningATextFileRaisesTheInvalidFileMessage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("note.txt"));
    writeFile(path, "not a compound file");
    EXPECT_EQ(messageOf([&] {
                  TXlsStorageList l;
                  l.LoadFromFile(path);
              }),
              QStringLiteral("The file \"%1\" is invalid").arg(path));
}

TEST(CompoundFile, FindStreamNamesTheMissingStream)
{
    const TXlsStorageList tree = sampleTree();
    EXPECT_EQ(tree.FindStream(QStringLiteral("Workbook")).size(), 9000);
    EXPECT_EQ(messageOf([&] { tree.FindStream(QStringLiteral("Book")); }),
              QStringLiteral("Can't open Stream \"Book\""));
}

TEST(TemplateData, WrittenAndReadBackGivesTheSameTree)
{
    TXlsTemplate t;
    t.setFileName(fixture(QStringLiteral("rich.xls")));
    EXPECT_EQ(t.FileName(), QStringLiteral("rich.xls"));
    QByteArray data = t.templateData();
    EXPECT_EQ(qFromLittleEndian<quint16>(data.constData()), 1);
    data[0] = 9; // the version word is ignored on reading
    TXlsTemplate back;
    back.setTemplateData(data);
    EXPECT_EQ(back.FileName(), QStringLiteral("rich.xls"));
    EXPECT_EQ(describe(back.Storages), describe(t.Storages));

    TXlsTemplate nested;
    nested.Storages.Items = std::move(sampleTree().Items);
    TXlsTemplate nestedBack;
    nestedBack.setTemplateData(nested.templateData());
    EXPECT_EQ(describe(nestedBack.Storages), describe(nested.Storages));
}

TEST(TemplateData, DamagedLengthsAreRefusedBeforeAllocating)
{
    TXlsTemplate t;
    t.Storages.Items = std::move(sampleTree().Items);
    const QByteArray good = t.templateData();
    for (int cut : {3, 10, 20, int(good.size()) / 2, int(good.size()) - 1}) {
        TXlsTemplate back;
        EXPECT_EQ(messageOf([&] { back.setTemplateData(good.left(cut)); }),
                  QStringLiteral("Error reading record"))
            << cut;
    }
    QByteArray huge = good;
    qToLittleEndian<quint32>(0xFFFFFFF0u, huge.data() + 2 + 4); // element count
    TXlsTemplate back;
    EXPECT_EQ(messageOf([&] { back.setTemplateData(huge); }),
              QStringLiteral("Error reading record"));
}
