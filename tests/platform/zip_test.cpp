#include "platform/vxexception.h"
#include "platform/zip.h"
#include "tests/support/testfiles.h"

#include <zip.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Runs a checker program; returns its exit code and keeps its output.
int run(const QString &program, const QStringList &arguments, QString *output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(30000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QStringList allFiles(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

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

    QString out;
    EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-t"), archive}, &out), 0)
        << out.toStdString();
    EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive}, &out), 0);
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
    EXPECT_EQ(run(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive}, &out), 0);
    EXPECT_EQ(out.trimmed(), QStringLiteral("voti.xml"));
    EXPECT_EQ(allFiles(dir.path()).filter(QStringLiteral("twdocenti")),
              QStringList{QStringLiteral("twdocenti.zip")});
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
    EXPECT_EQ(run(QStringLiteral("python3"),
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

TEST(Zip, HostileEntriesAreRefusedWithNothingWritten)
{
    QTemporaryDir dir;
    const QString dest = dir.filePath(QStringLiteral("a/b/dest"));
    const QList<QByteArray> hostile = {"../x", "/etc/x",      "..\\x",         "C:\\x",
                                       "c:x",  "sub/../../x", "sub\\..\\..\\x"};
    for (const QByteArray &name : hostile) {
        const QString archive = dir.filePath(QStringLiteral("hostile.zip"));
        writeZipEntries(archive, {{"primo.txt", "innocuo"}, {name, "pwned"}});
        TZip zip;
        zip.setFileName(archive);
        zip.setExtractPath(dest);
        try {
            zip.Extract();
            ADD_FAILURE() << "accepted " << name.constData();
        } catch (const EVxException &e) {
            // The message names the entry.
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(name))) << e.message().toStdString();
        }
        QFile::remove(archive);
        // Not even the harmless entry was written, inside or outside the folder.
        EXPECT_EQ(allFiles(dir.path()), QStringList()) << name.constData();
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

TEST(Zip, ExtractionDoesNotFollowALinkOutOfTheFolder)
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString dest = dir.filePath(QStringLiteral("dest"));
    QDir().mkpath(dest);
    ASSERT_TRUE(QFile::link(outside.path(), dest + QStringLiteral("/link")));
    const QString archive = dir.filePath(QStringLiteral("a.zip"));
    writeZipEntries(archive, {{"link/x.txt", "pwned"}});
    TZip zip;
    zip.setFileName(archive);
    zip.setExtractPath(dest);
    EXPECT_THROW(zip.Extract(), EVxException);
    EXPECT_FALSE(QFile::exists(outside.filePath(QStringLiteral("x.txt"))));
}
