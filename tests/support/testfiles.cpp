#include "tests/support/testfiles.h"

#include "platform/vxexception.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QPixmap>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

QByteArray readFileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAbandonedLock(const QString &path)
{
    // The lock's first lines: the process, the program, the computer. No process has a number
    // above the system's largest (4,194,304).
    writeFileBytes(path, "999999999\n" + QCoreApplication::applicationName().toUtf8() + "\n" +
                             QSysInfo::machineHostName().toUtf8() + "\n");
}

void writeForeignLock(const QString &path, qint64 ageSeconds)
{
    writeFileBytes(path, "4242\ntavrin\naltro-pc\n\n\nsegreteria2\n");
    const timeval then[2] = {{time(nullptr) - ageSeconds, 0}, {time(nullptr) - ageSeconds, 0}};
    ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), then), 0);
}

FileSizeLimit::FileSizeLimit(qint64 bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
{
    rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_soft = limit.rlim_cur;
    limit.rlim_cur = rlim_t(bytes);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = m_soft;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_handler);
}

FullDisk::FullDisk(const QString &folder, const QList<QPair<QString, QByteArray>> &files)
    : m_folder(QFile::encodeName(folder))
{
    m_mounted = ::geteuid() == 0 &&
                ::mount("tavrin-pieno", m_folder.constData(), "tmpfs", 0, "size=64k") == 0;
    if (!m_mounted)
        return;
    for (const auto &[name, bytes] : files)
        writeFileBytes(folder + QLatin1Char('/') + name, bytes);
    QFile filler(folder + QLatin1Char('/') + QLatin1String(kFiller));
    EXPECT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(512, 'x');
    while (filler.isOpen() && filler.write(block) > 0) {
    }
}

FullDisk::~FullDisk()
{
    if (m_mounted) {
        EXPECT_EQ(::umount2(m_folder.constData(), MNT_DETACH), 0);
    }
}

ReadOnlyFolder::ReadOnlyFolder(const QString &folder) : m_folder(folder)
{
    if (::geteuid() == 0)
        EXPECT_EQ(runChecker(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}), 0);
    else
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (::geteuid() == 0)
        runChecker(QStringLiteral("chattr"), {QStringLiteral("-i"), m_folder});
    else
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

OrdinaryAccount::OrdinaryAccount(const QStringList &folders)
{
    if (::geteuid() != 0)
        return;
    const uid_t nobody = 65534;
    for (const QString &folder : folders)
        EXPECT_EQ(::chown(QFile::encodeName(folder).constData(), nobody, nobody), 0);
    m_switched = ::setegid(nobody) == 0 && ::seteuid(nobody) == 0;
    EXPECT_TRUE(m_switched);
}

OrdinaryAccount::~OrdinaryAccount()
{
    if (m_switched) {
        EXPECT_EQ(::seteuid(0), 0);
        EXPECT_EQ(::setegid(0), 0);
    }
}

QStringList allFiles(const QString &root, QDir::Filters kinds)
{
    QStringList files;
    QDirIterator it(root, kinds | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

QString refusalOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const EVxException &e) {
        return e.message();
    }
    return QString();
}

void writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}

int runChecker(const QString &program, const QStringList &arguments, QString *output)
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

void writeZipEntries(const QString &path, const QList<QPair<QByteArray, QByteArray>> &entries)
{
    int code = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(za, nullptr) << path.toStdString();
    for (const auto &entry : entries) {
        // libzip reads the buffer only when the archive is closed: hand it a heap copy that
        // it frees itself.
        char *data = static_cast<char *>(std::malloc(size_t(entry.second.size()) + 1));
        std::memcpy(data, entry.second.constData(), size_t(entry.second.size()));
        zip_source_t *source = zip_source_buffer(za, data, zip_uint64_t(entry.second.size()), 1);
        ASSERT_NE(source, nullptr);
        ASSERT_GE(zip_file_add(za, entry.first.constData(), source, ZIP_FL_ENC_RAW), 0)
            << entry.first.constData();
    }
    ASSERT_EQ(zip_close(za), 0);
}

void saveScreenshot(QWidget *window, const QString &name)
{
    QCoreApplication::processEvents();
    QString folder = qEnvironmentVariable("TAVRIN_SCREENSHOTS");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    EXPECT_TRUE(window->grab().save(folder + QLatin1Char('/') + name))
        << folder.toStdString() << "/" << name.toStdString();
}

void expectGolden(const QString &path, const QString &text)
{
    if (qEnvironmentVariableIsSet("TAVRIN_UPDATE_GOLDEN")) {
        writeFileBytes(path, text.toUtf8());
        return;
    }
    if (QString::fromUtf8(readFileBytes(path)) == text)
        return;
    QTemporaryDir dir;
    writeFileBytes(dir.path() + "/actual.txt", text.toUtf8());
    QProcess diff;
    diff.start("diff", {"-u", path, dir.path() + "/actual.txt"});
    diff.waitForFinished();
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    ADD_FAILURE() << QFileInfo(path).fileName().toStdString() << " differs from its reference:\n"
                  << diff.readAllStandardOutput().toStdString()
                  << "\nIf the new text is right, accept it with:\n  TAVRIN_UPDATE_GOLDEN=1 "
                  << QCoreApplication::applicationFilePath().toStdString()
                  << " --gtest_filter=" << test->test_suite_name() << "." << test->name();
}

void expectGoldenLine(const QString &path, const QString &key, const QString &line)
{
    // The cases of one file may run side by side (CTest's shards): one at a time writes it.
    QLockFile lock(QDir::temp().filePath(QFileInfo(path).fileName() + ".lock"));
    lock.lock();
    QStringList lines = QString::fromUtf8(readFileBytes(path)).split('\n');
    const auto at = std::find_if(lines.begin(), lines.end(), [&key](const QString &stored) {
        return stored.section(' ', 0, 0) == key;
    });
    if (at != lines.end())
        *at = line;
    else // before the empty text after the last line's end
        lines.insert(lines.isEmpty() || !lines.back().isEmpty() ? lines.size() : lines.size() - 1,
                     line);
    expectGolden(path, lines.join('\n'));
}

QByteArray xmlAttributes(int count)
{
    QByteArray attributes;
    for (int i = 0; i < count; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"0\"";
    return attributes;
}

QByteArray mixEncodings(QByteArray xml, const QByteArray &attribute)
{
    xml.replace(" encoding=\"UTF-8\"", "");
    const qsizetype at = xml.toLower().indexOf(attribute.toLower() + "=\"");
    EXPECT_GE(at, 0) << attribute.toStdString();
    return at < 0 ? xml : xml.insert(at + attribute.size() + 2, "\xE8 \xC3\xA8 ");
}
