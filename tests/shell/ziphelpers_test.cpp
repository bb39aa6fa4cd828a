#include "platform/dialogseam.h"
#include "shell/qelutil.h"
#include "tests/support/testdb.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An archive with entries named as given, written the way a hostile sender would.
void makeArchive(const QString &path, const QList<QPair<QByteArray, QByteArray>> &entries)
{
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    for (const auto &entry : entries) {
        zip_source_t *source =
            zip_source_buffer(zip, entry.second.constData(), zip_uint64_t(entry.second.size()), 0);
        ASSERT_GE(zip_file_add(zip, entry.first.constData(), source, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(zip), 0);
}

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
    writeFile(folder + QStringLiteral("Vot.xml"), "<voti/>");
    writeFile(folder + QStringLiteral("Ass.cds"), QByteArray("\x00\x01\x02", 3));
    const QString archive = at(QStringLiteral("invio.zip"));

    EXPECT_TRUE(ZipDirAndRemove(folder, archive));
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_TRUE(DialogSeam::shownTexts().isEmpty());

    const QString back = at(QStringLiteral("raccolta"));
    EXPECT_TRUE(UnzipToDir(archive, back));
    EXPECT_EQ(readFile(back + QStringLiteral("/Vot.xml")), QByteArray("<voti/>"));
    EXPECT_EQ(readFile(back + QStringLiteral("/Ass.cds")), QByteArray("\x00\x01\x02", 3));
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

TEST_F(ZipHelpers, SubFolderIsLeftAloneAndKeepsTheFolder)
{
    const QString folder = at(QStringLiteral("invio/"));
    QDir().mkpath(folder + QStringLiteral("sotto"));
    writeFile(folder + QStringLiteral("sotto/tieni.txt"), "resta");
    writeFile(folder + QStringLiteral("Vot.xml"), "<voti/>");
    EXPECT_FALSE(ZipDirAndRemove(folder, at(QStringLiteral("invio.zip"))));
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("Impossibile cancellare la directory")});
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("Vot.xml")));
    EXPECT_EQ(readFile(folder + QStringLiteral("sotto/tieni.txt")), QByteArray("resta"));
}

TEST_F(ZipHelpers, ArchiveThatCannotBeWrittenKeepsTheFiles)
{
    const QString folder = at(QStringLiteral("invio/"));
    QDir().mkpath(folder);
    writeFile(folder + QStringLiteral("Vot.xml"), "<voti/>");
    EXPECT_FALSE(ZipDirAndRemove(folder, at(QStringLiteral("manca/cartella/invio.zip"))));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_EQ(readFile(folder + QStringLiteral("Vot.xml")), QByteArray("<voti/>"));
}

TEST_F(ZipHelpers, HostileEntriesAreRefusedAndTheArchiveKept)
{
    const QByteArray names[] = {"../fuori.txt", "/etc/fuori.txt", "..\\fuori.txt", "C:\\fuori.txt",
                                "dentro/../../fuori.txt"};
    for (const QByteArray &name : names) {
        SCOPED_TRACE(name.constData());
        DialogSeam::clearShown();
        const QString archive = at(QStringLiteral("ostile.zip"));
        makeArchive(archive, {{"buono.txt", "ok"}, {name, "male"}});
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
    makeArchive(archive, {{"Vot.xml", QByteArray(4000, 'x')}, {"Ass.xml", "<a/>"}});
    QByteArray bytes = readFile(archive);
    bytes.truncate(bytes.size() / 2);
    writeFile(archive, bytes);
    EXPECT_FALSE(UnzipToDir(archive, at(QStringLiteral("dest"))));
    EXPECT_EQ(DialogSeam::shownTexts().size(), 1);
    EXPECT_TRUE(QFile::exists(archive));
}

TEST_F(ZipHelpers, FolderThatCannotBeMadeIsReported)
{
    writeFile(at(QStringLiteral("file")), "x");
    const QString archive = at(QStringLiteral("a.zip"));
    makeArchive(archive, {{"Vot.xml", "<v/>"}});
    EXPECT_FALSE(UnzipToDir(archive, at(QStringLiteral("file/sotto"))));
    EXPECT_EQ(DialogSeam::shownTexts(),
              QStringList{QStringLiteral("Impossibile creare la directory ") +
                          at(QStringLiteral("file/sotto"))});
    EXPECT_TRUE(QFile::exists(archive));
}
