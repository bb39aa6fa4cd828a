#include "platform/dialogseam.h"
#include "shell/qelutil.h"
#include "tests/support/testdb.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

namespace {

class ZipHelpers : public ::testing::Test
{
protected:
    TestMainDir mainDir;
    QTemporaryDir work;
    ScriptedDialogs dialogs;
    QString at(const QString &name) const { return work.filePath(name); }
};

} // namespace

TEST_F(ZipHelpers, FolderRoundTripPacksTheFilesAndRemovesTheFolder)
{
    const QString folder = at(QStringLiteral("invio/"));
    QDir().mkpath(folder);
    writeFileBytes(folder + QStringLiteral("Vot.xml"), "<voti/>");
    writeFileBytes(folder + QStringLiteral("Ass.cds"), QByteArray("\x00\x01\x02", 3));
    const QString archive = at(QStringLiteral("invio.zip"));

    EXPECT_TRUE(ZipDirAndRemove(folder, archive));
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());

    const QString back = at(QStringLiteral("raccolta"));
    EXPECT_TRUE(UnzipToDir(archive, back));
    EXPECT_EQ(readFileBytes(back + QStringLiteral("/Vot.xml")), QByteArray("<voti/>"));
    EXPECT_EQ(readFileBytes(back + QStringLiteral("/Ass.cds")), QByteArray("\x00\x01\x02", 3));
    EXPECT_FALSE(QFile::exists(archive));
}

TEST_F(ZipHelpers, EmptyFolderGivesAnEmptyArchiveAndGoes)
{
    const QString folder = at(QStringLiteral("vuota/"));
    QDir().mkpath(folder);
    const QString archive = at(QStringLiteral("vuota.zip"));
    EXPECT_TRUE(ZipDirAndRemove(folder, archive));
    EXPECT_TRUE(QFile::exists(archive));
    EXPECT_FALSE(QDir(folder).exists());
    // Nothing extracted: the archive stays.
    EXPECT_TRUE(UnzipToDir(archive, at(QStringLiteral("dest"))));
    EXPECT_TRUE(QFile::exists(archive));
}

// A sub-folder, or a link, is neither packed nor removed, and keeps the folder.
TEST_F(ZipHelpers, SubFolderIsLeftAloneAndKeepsTheFolder)
{
    const QString folder = at(QStringLiteral("invio/"));
    QDir().mkpath(folder + QStringLiteral("sotto"));
    writeFileBytes(folder + QStringLiteral("sotto/tieni.txt"), "resta");
    writeFileBytes(folder + QStringLiteral("Vot.xml"), "<voti/>");
    writeFileBytes(at(QStringLiteral("segreto.txt")), "dell'ufficio");
    ASSERT_TRUE(QFile::link(at(QStringLiteral("segreto.txt")), folder + "collegamento.txt"));
    EXPECT_FALSE(ZipDirAndRemove(folder, at(QStringLiteral("invio.zip"))));
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("Impossibile cancellare la directory")});
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("Vot.xml")));
    EXPECT_EQ(readFileBytes(folder + QStringLiteral("sotto/tieni.txt")), QByteArray("resta"));
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("collegamento.txt")).isSymLink());
    EXPECT_TRUE(UnzipToDir(at(QStringLiteral("invio.zip")), at(QStringLiteral("dest"))));
    EXPECT_EQ(allFiles(at(QStringLiteral("dest"))), QStringList{QStringLiteral("Vot.xml")});
}

TEST_F(ZipHelpers, ArchiveThatCannotBeWrittenKeepsTheFiles)
{
    const QString folder = at(QStringLiteral("invio/"));
    QDir().mkpath(folder);
    writeFileBytes(folder + QStringLiteral("Vot.xml"), "<voti/>");
    EXPECT_FALSE(ZipDirAndRemove(folder, at(QStringLiteral("manca/cartella/invio.zip"))));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_EQ(readFileBytes(folder + QStringLiteral("Vot.xml")), QByteArray("<voti/>"));
}

TEST_F(ZipHelpers, HostileEntriesAreRefusedAndTheArchiveKept)
{
    const QByteArray names[] = {"../fuori.txt", "/etc/fuori.txt", "..\\fuori.txt", "C:\\fuori.txt",
                                "dentro/../../fuori.txt"};
    for (const QByteArray &name : names) {
        SCOPED_TRACE(name.constData());
        DialogSeam::clearShown();
        const QString archive = at(QStringLiteral("ostile.zip"));
        writeZipEntries(archive, {{"buono.txt", "ok"}, {name, "male"}});
        const QString dest = at(QStringLiteral("a/b/dest"));
        EXPECT_FALSE(UnzipToDir(archive, dest));
        EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
        EXPECT_TRUE(QFile::exists(archive));
        EXPECT_FALSE(QFile::exists(at(QStringLiteral("a/b/fuori.txt"))));
        EXPECT_FALSE(QFile::exists(at(QStringLiteral("a/fuori.txt"))));
        EXPECT_FALSE(QFile::exists(dest + QStringLiteral("/buono.txt")));
    }
}

TEST_F(ZipHelpers, TruncatedArchiveIsReportedAndKept)
{
    const QString archive = at(QStringLiteral("tronco.zip"));
    writeZipEntries(archive, {{"Vot.xml", QByteArray(4000, 'x')}, {"Ass.xml", "<a/>"}});
    QByteArray bytes = readFileBytes(archive);
    bytes.truncate(bytes.size() / 2);
    writeFileBytes(archive, bytes);
    EXPECT_FALSE(UnzipToDir(archive, at(QStringLiteral("dest"))));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(QFile::exists(archive));
}

TEST_F(ZipHelpers, FolderThatCannotBeMadeIsReported)
{
    writeFileBytes(at(QStringLiteral("file")), "x");
    const QString archive = at(QStringLiteral("a.zip"));
    writeZipEntries(archive, {{"Vot.xml", "<v/>"}});
    EXPECT_FALSE(UnzipToDir(archive, at(QStringLiteral("file/sotto"))));
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("Impossibile creare la cartella %1: una parte del "
                                         "percorso non è una cartella.")
                              .arg(at(QStringLiteral("file/sotto")))});
    EXPECT_TRUE(QFile::exists(archive));
}
