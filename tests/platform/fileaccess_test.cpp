// Files another run reads: replaced whole under a fresh name of the writer's own, never written
// through a link someone planted, and no more readable than what they hold.
#include "platform/clientdataset.h"
#include "platform/fileaccess.h"
#include "platform/inifile.h"
#include "platform/zip.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

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

void zip(const QString &archive, const QString &file)
{
    TZip zip;
    zip.setFileName(archive);
    zip.FileList() << file;
    zip.Add();
}

} // namespace

TEST(FileAccess, FilesAreReplacedWholeNeverThroughAPlantedLinkAndKeepTheirSecrets)
{
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("Connessione.ini"));
    const QByteArray victimBytes = "[Connessione]\r\nPassword=del-database\r\n";
    const QString secret = dir.filePath(QStringLiteral("DocCls.xml"));
    savePacket(secret, TVxFileSync::Now, TVxFileAccess::OwnerOnly);
    const QString privateZip = dir.filePath(QStringLiteral("privato.zip"));
    zip(privateZip, secret);

    using Sync = TVxFileSync;
    using Access = TVxFileAccess;
    const struct
    {
        const char *what;
        std::function<void(const QString &)> write;
        bool ownerOnly;
    } cases[] = {
        {"packet synced now", [](const QString &p) { savePacket(p, Sync::Now, Access::Shared); },
         false},
        {"packet synced later",
         [](const QString &p) { savePacket(p, Sync::Later, Access::Shared); }, false},
        {"packet of passwords",
         [](const QString &p) { savePacket(p, Sync::Later, Access::OwnerOnly); }, true},
        {"settings holding a password",
         [](const QString &p) {
             TVxINIFile ini(p);
             ini.setAccess(Access::OwnerOnly);
             ini.WriteString(QStringLiteral("Connessione"), QStringLiteral("Password"), "x");
         },
         true},
        {"archive of a private file", [&](const QString &p) { zip(p, secret); }, true},
        {"file extracted from a private archive",
         [&](const QString &p) {
             TZip archive;
             archive.setFileName(privateZip);
             archive.setExtractPath(QFileInfo(p).path());
             archive.Extract();
         },
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeFileBytes(victim, victimBytes);
        const QString folder = dir.filePath(QString::fromLatin1(c.what).replace(' ', '_'));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString target = folder + QStringLiteral("/DocCls.xml");
        // At the name itself, and where a writer of fixed names put its temporary file.
        ASSERT_TRUE(QFile::link(victim, target) && QFile::link(victim, target + ".~tmp"));
        c.write(target);
        EXPECT_EQ(readFileBytes(victim), victimBytes);
        EXPECT_FALSE(QFileInfo(target).isSymLink());
        EXPECT_EQ(VxIsOwnerOnly(target), c.ownerOnly);
        // Nothing but the target and the link left at the old temporary name.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
    }
}
