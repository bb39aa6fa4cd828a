#include "platform/vxexception.h"
#include "platform/zip.h"
#include "tests/support/testfiles.h"

#include <zip.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <utility>

TEST(Zip, RoundTripIsAValidFlatArchive)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("work"));
    const QString work = dir.filePath(QStringLiteral("work/"));
    writeFileBytes(work + QStringLiteral("voti.xml"), "<DATAPACKET/>");
    writeFileBytes(work + QStringLiteral("debiti.xml"), QByteArray(200000, 'x'));
    writeFileBytes(work + QStringLiteral("binario.cds"), QByteArray("\x00\x01\x02\xff", 4));
    const QString archive = dir.filePath(QStringLiteral("twdocenti.zip"));

    TZip zip;
    zip.setFileName(archive);
    zip.FileList() << work + QStringLiteral("voti.xml") << work + QStringLiteral("debiti.xml")
                   << work + QStringLiteral("binario.cds");
    zip.Add();
    EXPECT_EQ(zip.EntryNames(),
              (QStringList{QStringLiteral("voti.xml"), QStringLiteral("debiti.xml"),
                           QStringLiteral("binario.cds")}));

    QString out;
    EXPECT_EQ(runChecker(QStringLiteral("unzip"), {QStringLiteral("-t"), archive}, &out), 0)
        << out.toStdString();
    EXPECT_EQ(runChecker(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive}, &out), 0);
    EXPECT_EQ(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              (QStringList{QStringLiteral("voti.xml"), QStringLiteral("debiti.xml"),
                           QStringLiteral("binario.cds")}));

    TZip unzip;
    unzip.setFileName(archive);
    unzip.setExtractPath(dir.filePath(QStringLiteral("dest/new")));
    const QStringList files = unzip.Extract();
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(readFileBytes(dir.filePath(QStringLiteral("dest/new/debiti.xml"))),
              QByteArray(200000, 'x'));
    EXPECT_EQ(readFileBytes(dir.filePath(QStringLiteral("dest/new/binario.cds"))),
              QByteArray("\x00\x01\x02\xff", 4));
    // A second extraction replaces the files.
    writeFileBytes(dir.filePath(QStringLiteral("dest/new/voti.xml")), "changed");
    unzip.Extract();
    EXPECT_EQ(readFileBytes(dir.filePath(QStringLiteral("dest/new/voti.xml"))),
              QByteArray("<DATAPACKET/>"));

    // Add replaces the archive: only the new list is in it.
    zip.setFileList({work + QStringLiteral("voti.xml")});
    zip.Add();
    EXPECT_EQ(runChecker(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive}, &out), 0);
    EXPECT_EQ(out.trimmed(), QStringLiteral("voti.xml"));
    EXPECT_EQ(allFiles(dir.path()).filter(QStringLiteral("twdocenti")),
              QStringList{QStringLiteral("twdocenti.zip")});

    // A byte changed in the stored data: the names are there, the check refuses the archive.
    QByteArray bytes = readFileBytes(archive);
    bytes[40] = char(bytes[40] ^ 0x55);
    writeFileBytes(archive, bytes);
    EXPECT_THROW(zip.EntryNames(), EVxException);
}

TEST(Zip, FailedAddLeavesTheOldArchiveAndNoScratchFile)
{
    QTemporaryDir dir;
    writeFileBytes(dir.filePath(QStringLiteral("a.xml")), "a");
    writeFileBytes(dir.filePath(QStringLiteral("A.XML")), "b");
    const QString archive = dir.filePath(QStringLiteral("out.zip"));
    TZip zip;
    zip.setFileName(archive);
    zip.FileList() << dir.filePath(QStringLiteral("a.xml"));
    zip.Add();
    const QByteArray before = readFileBytes(archive);

    zip.FileList() << dir.filePath(QStringLiteral("manca.xml"));
    EXPECT_THROW(zip.Add(), EVxException);
    zip.setFileList({dir.filePath(QStringLiteral("a.xml")), dir.filePath(QStringLiteral("A.XML"))});
    EXPECT_THROW(zip.Add(), EVxException);
    EXPECT_EQ(readFileBytes(archive), before);
    EXPECT_EQ(allFiles(dir.path()), (QStringList{QStringLiteral("A.XML"), QStringLiteral("a.xml"),
                                                 QStringLiteral("out.zip")}));

    // An empty list gives an empty archive that other programs accept.
    zip.FileList().clear();
    zip.Add();
    EXPECT_EQ(runChecker(
                  QStringLiteral("python3"),
                  {QStringLiteral("-c"),
                   QStringLiteral("import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
                                  "sys.exit(0 if z.namelist()==[] and z.testzip() is None else 1)"),
                   archive}),
              0);
    zip.setExtractPath(dir.filePath(QStringLiteral("dest")));
    EXPECT_TRUE(zip.Extract().isEmpty());

    TZip nothing;
    nothing.setFileName(dir.filePath(QStringLiteral("a.xml")));
    nothing.setExtractPath(dir.filePath(QStringLiteral("dest")));
    EXPECT_THROW(nothing.Extract(), EVxException); // not an archive
    nothing.setFileName(dir.filePath(QStringLiteral("assente.zip")));
    EXPECT_THROW(nothing.Extract(), EVxException);
}

// Archives from outside that must be refused whole, with what the message names.
struct Refused
{
    const char *label;
    QList<QPair<QByteArray, QByteArray>> entries;
    QString named;
    bool diskFull = false;
    bool encrypted = false; // every entry marked as encrypted
};

QList<Refused> refusedArchives()
{
    QList<Refused> cases;
    for (const QByteArray &name : QList<QByteArray>{"../x", "/etc/x", "..\\x", "C:\\x", "c:x",
                                                    "sub/../../x", "sub\\..\\..\\x"})
        cases.append(
            {"path", {{"primo.txt", "innocuo"}, {name, "pwned"}}, QString::fromUtf8(name)});
    // Under the test's 1 MB: 2 MB of zeros packed in a few kilobytes.
    cases.append({"bomb",
                  {{"primo.txt", "innocuo"}, {"zeri.bin", QByteArray(2 << 20, '\0')}},
                  QStringLiteral("1 MB")});
    QList<QPair<QByteArray, QByteArray>> many;
    for (int i = 0; i < 21; ++i)
        many.append({QByteArray("f") + QByteArray::number(i), "x"});
    cases.append({"entries", many, QStringLiteral("troppi file (21, al massimo 20)")});
    cases.append({"case",
                  {{"Voti.xml", "primo"}, {"sub/a", "a"}, {"VOTI.XML", "secondo"}},
                  QStringLiteral("\"Voti.xml\" e \"VOTI.XML\"")});
    // What the folder holds, or the other entries, or the disk refuse a name after an earlier
    // entry could have replaced its file.
    cases.append(
        {"a folder where the archive has a file",
         {{"primo.txt", "nuovo"}, {"voti.xml", "x"}},
         QStringLiteral("\"voti.xml\", ma nella cartella di estrazione c'è una cartella")});
    cases.append({"a name both a file and a folder",
                  {{"primo.txt", "nuovo"}, {"dati", "x"}, {"dati/voti.xml", "y"}},
                  QStringLiteral("\"dati\" sia come file sia come cartella")});
    cases.append({"a name too long for the disk",
                  {{"primo.txt", "nuovo"}, {QByteArray(300, 'n'), "x"}},
                  QStringLiteral("nome troppo lungo")});
    cases.append({"a path too long for the system",
                  {{"primo.txt", "nuovo"}, {QByteArray(200, 'c').append('/').repeated(21), ""}},
                  QStringLiteral("nome troppo lungo")});
    cases.append({"a disk that takes no byte",
                  {{"sub/voti.xml", "x"}, {"primo.txt", "nuovo"}},
                  QStringLiteral("Impossibile estrarre %1/sub/voti.xml dall'archivio %2: il file "
                                 "supera la dimensione concessa dal sistema"),
                  true});
    cases.append({"encrypted entries",
                  {{"primo.txt", "nuovo"}, {"voti2.xml", "x"}},
                  QStringLiteral("Impossibile estrarre %1/primo.txt dall'archivio %2: è cifrato"),
                  false,
                  true});
    return cases;
}

TEST(Zip, HostileArchivesAreRefusedWithNothingWritten)
{
    QTemporaryDir dir;
    const QString dest = dir.filePath(QStringLiteral("a/b/dest"));
    for (const Refused &r : refusedArchives()) {
        SCOPED_TRACE(r.label);
        // What the folder held: an earlier file, and a folder.
        QDir(dir.filePath(QStringLiteral("a"))).removeRecursively();
        writeFileBytes(dest + QStringLiteral("/primo.txt"), "vecchio");
        ASSERT_TRUE(QDir().mkpath(dest + QStringLiteral("/voti.xml")));
        const QStringList before = allFiles(dir.path(), QDir::AllEntries);
        const QString archive = dir.filePath(QStringLiteral("hostile.zip"));
        writeZipEntries(archive, r.entries);
        if (r.encrypted) {
            // The flag of each local and central header (a header's bit 0).
            QByteArray bytes = readFileBytes(archive);
            for (const auto &[signature, at] : {std::pair{"PK\x03\x04", 6}, {"PK\x01\x02", 8}})
                for (qsizetype i = bytes.indexOf(signature); i >= 0;
                     i = bytes.indexOf(signature, i + 1))
                    bytes[i + at] = char(bytes[i + at] | 1);
            writeFileBytes(archive, bytes);
        }
        TZip zip;
        zip.setFileName(archive);
        zip.setExtractPath(dest);
        zip.setMaxUnpackedSize(1 << 20);
        zip.setMaxEntries(20);
        try {
            std::optional<FileSizeLimit> full;
            if (r.diskFull)
                full.emplace(0);
            zip.Extract();
            ADD_FAILURE() << "accepted";
        } catch (const EVxException &e) {
            const QString named = r.named.contains("%1") ? r.named.arg(dest, archive) : r.named;
            EXPECT_TRUE(e.message().contains(named)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("Nessun file è stato estratto")));
        }
        QFile::remove(archive);
        // Not even the harmless entries were written, inside or outside the folder, nor a
        // folder made for them.
        EXPECT_EQ(allFiles(dir.path(), QDir::AllEntries), before);
        EXPECT_EQ(readFileBytes(dest + QStringLiteral("/primo.txt")), "vecchio");
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("/etc/x")) &&
                 readFileBytes(QStringLiteral("/etc/x")) == "pwned");

    // Folders inside the archive stay inside the extraction folder.
    const QString archive = dir.filePath(QStringLiteral("nested.zip"));
    writeZipEntries(archive,
                    {{"storico/", ""}, {"storico/12/index.html", "<html/>"}, {"sub\\b.txt", "b"}});
    TZip zip;
    zip.setFileName(archive);
    zip.setExtractPath(dest);
    const QStringList files = zip.Extract();
    EXPECT_EQ(files.size(), 2);
    EXPECT_EQ(readFileBytes(dest + QStringLiteral("/storico/12/index.html")),
              QByteArray("<html/>"));
    EXPECT_EQ(readFileBytes(dest + QStringLiteral("/sub/b.txt")), QByteArray("b"));
}

TEST(Zip, ExtractionNeverFollowsALinkStandingInTheFolder)
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString dest = dir.filePath(QStringLiteral("dest"));
    QDir().mkpath(dest);
    const QString victim = outside.filePath(QStringLiteral("vittima.txt"));
    writeFileBytes(victim, "intatto");
    ASSERT_TRUE(QFile::link(outside.path(), dest + QStringLiteral("/cartella")));
    ASSERT_TRUE(QFile::link(victim, dest + QStringLiteral("/voti.xml")));
    const QString archive = dir.filePath(QStringLiteral("a.zip"));
    TZip zip;
    zip.setFileName(archive);
    zip.setExtractPath(dest);

    // A folder link is refused, and no folder is made through it.
    writeZipEntries(archive, {{"voti.xml", "nuovo"}, {"cartella/sub/x.txt", "pwned"}});
    EXPECT_THROW(zip.Extract(), EVxException);
    EXPECT_EQ(allFiles(outside.path()), QStringList{QStringLiteral("vittima.txt")});
    EXPECT_FALSE(QFileInfo::exists(outside.filePath(QStringLiteral("sub"))));
    EXPECT_TRUE(QFileInfo(dest + QStringLiteral("/voti.xml")).isSymLink());

    // A file link too: neither followed nor replaced, what it points at as it was.
    writeZipEntries(archive, {{"voti.xml", "nuovo"}});
    EXPECT_THROW(zip.Extract(), EVxException);
    EXPECT_EQ(readFileBytes(victim), QByteArray("intatto"));
    EXPECT_TRUE(QFileInfo(dest + QStringLiteral("/voti.xml")).isSymLink());
}
