#include "platform/fileaccess.h"

#include "platform/vxexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A name of its own beside the target, opened for writing only if nothing stands there.
int openFreshName(const QString &path, mode_t mode, QByteArray *freshName)
{
    const QFileInfo target(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            QStringLiteral("%1/.%2.%3")
                .arg(target.absolutePath(), target.fileName())
                .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
        *freshName = QFile::encodeName(name);
        const int fd = ::open(freshName->constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

} // namespace

void VxReplaceFile(const QString &path, const QByteArray &bytes, TVxFileSync sync,
                   TVxFileAccess access)
{
    const auto refuse = [&path](int code) {
        return EVxException(QStringLiteral("Impossibile scrivere il file %1: %2")
                                .arg(QDir::toNativeSeparators(path), systemError(code)));
    };
    const QByteArray target = QFile::encodeName(path);
    struct stat old;
    const bool replacing = ::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    // Created with the umask applied, as any new file of the program.
    const mode_t mode = access == TVxFileAccess::OwnerOnly ? 0600 : 0666;
    QByteArray fresh;
    const int fd = openFreshName(path, mode, &fresh);
    if (fd < 0)
        throw refuse(errno);
    bool ok = true;
    if (access == TVxFileAccess::OwnerOnly)
        ok = ::fchmod(fd, 0600) == 0;
    else if (replacing)
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, bytes) && (sync == TVxFileSync::Later || ::fsync(fd) == 0);
    int code = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && std::rename(fresh.constData(), target.constData()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(fresh.constData());
        throw refuse(code);
    }
}

bool VxIsOwnerOnly(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           (info.st_mode & (S_IRGRP | S_IROTH)) == 0;
}

std::unique_ptr<QLockFile> VxSharedHold(const QString &path)
{
    auto hold = std::make_unique<QLockFile>(path);
    hold->setStaleLockTime(24 * 60 * 60 * 1000);
    return hold;
}
