// Files another run reads: replaced whole under a fresh name of the writer's own, never written
// through a link someone planted, and no more readable than what they hold.
#include "platform/clientdataset.h"
#include "platform/fileaccess.h"
#include "platform/inifile.h"
#include "platform/vxexception.h"
#include "platform/zip.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
const QFile::Permissions kShared = kOwnerOnly | QFile::ReadGroup | QFile::ReadOther;

QFile::Permissions modeOf(const QString &path)
{
    return QFile::permissions(path) &
           (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
            QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther |
            QFile::ExeOther);
}

void savePacket(const QString &path, TVxFileSync sync, TVxFileAccess access)
{
    TClientDataSet ds;
    ds.AddFieldDef(QStringLiteral("Password"), ftString, 50);
    ds.CreateDataSet();
    ds.Append();
    ds.Fields(0)->setValue(QStringLiteral("segreta"));
    ds.Post();
    ds.SaveToFile(path, dfXML, sync, access);
}

} // namespace

TEST(FileAccess, FilesAreReplacedWholeNeverThroughAPlantedLinkAndKeepTheirSecrets)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("Connessione.ini"));
    const QByteArray victimBytes = "[Connessione]\r\nPassword=del-database\r\n";
    const QString source = dir.filePath(QStringLiteral("fonte/DocCls.xml"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("fonte"))));
    savePacket(source, TVxFileSync::Now, TVxFileAccess::OwnerOnly);
    const QString privateZip = dir.filePath(QStringLiteral("fonte/privato.zip"));
    TZip zip;
    zip.setFileName(privateZip);
    zip.FileList() << source;
    zip.Add();

    const struct
    {
        const char *what;
        std::function<void(const QString &)> write;
        QFile::Permissions mode;
    } cases[] = {
        {"packet synced now",
         [](const QString &p) { savePacket(p, TVxFileSync::Now, TVxFileAccess::Shared); },
         kShared},
        {"packet synced later",
         [](const QString &p) { savePacket(p, TVxFileSync::Later, TVxFileAccess::Shared); },
         kShared},
        {"packet of passwords",
         [](const QString &p) { savePacket(p, TVxFileSync::Later, TVxFileAccess::OwnerOnly); },
         kOwnerOnly},
        {"settings holding a password",
         [](const QString &p) {
             TVxINIFile ini(p);
             ini.setAccess(TVxFileAccess::OwnerOnly);
             ini.WriteString(QStringLiteral("Connessione"), QStringLiteral("Password"),
                             QStringLiteral("x"));
         },
         kOwnerOnly},
        {"archive of a private file",
         [&](const QString &p) {
             TZip archive;
             archive.setFileName(p);
             archive.FileList() << source;
             archive.Add();
         },
         kOwnerOnly},
        {"file extracted from a private archive",
         [&](const QString &p) {
             TZip archive;
             archive.setFileName(privateZip);
             archive.setExtractPath(QFileInfo(p).path());
             archive.setOnlyEntries({QFileInfo(p).fileName()});
             archive.Extract();
         },
         kOwnerOnly},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeFileBytes(victim, victimBytes);
        const QString folder = dir.filePath(QString::fromLatin1(c.what).replace(' ', '_'));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/DocCls.xml");
        // Where a writer of fixed names would have put its temporary file.
        ASSERT_TRUE(QFile::link(victim, target + QStringLiteral(".~tmp")));
        c.write(target);
        EXPECT_EQ(readFileBytes(victim), victimBytes);
        EXPECT_FALSE(QFileInfo(target).isSymLink());
        EXPECT_EQ(modeOf(target), c.mode);
        // Nothing but the target and the planted link is left.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
    }

    // A link standing at the name itself is replaced, never followed; an existing file keeps
    // its mode, unless its content asks for less.
    const QString linked = dir.filePath(QStringLiteral("collegato.xml"));
    ASSERT_TRUE(QFile::link(victim, linked));
    VxReplaceFile(linked, "nuovo");
    EXPECT_EQ(readFileBytes(victim), victimBytes);
    EXPECT_EQ(readFileBytes(linked), "nuovo");
    ASSERT_TRUE(QFile::setPermissions(linked, kShared | QFile::WriteGroup));
    VxReplaceFile(linked, "ancora", TVxFileSync::Later);
    EXPECT_EQ(modeOf(linked), kShared | QFile::WriteGroup);
    VxReplaceFile(linked, "segreto", TVxFileSync::Now, TVxFileAccess::OwnerOnly);
    EXPECT_EQ(modeOf(linked), kOwnerOnly);
    // A file that cannot be replaced (a folder) stays; its fresh name is gone.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("cartella/dentro"))));
    EXPECT_THROW(VxReplaceFile(dir.filePath(QStringLiteral("cartella")), "x"), EVxException);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral(".cartella*")}, QDir::Hidden | QDir::Files),
              QStringList());
}
