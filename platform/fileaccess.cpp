#include "platform/fileaccess.h"

#include "platform/maindir.h"
#include "platform/vxexception.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Eight hex digits that tell this computer in this boot from any other: a fresh name's writer is
// looked for among this computer's processes only when its name carries them.
QByteArray computerTag()
{
    static const QByteArray tag =
        QCryptographicHash::hash(QSysInfo::machineHostName().toUtf8() + '\n' +
                                     QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId(),
                                 QCryptographicHash::Md5)
            .toHex()
            .left(8);
    return tag;
}

// A fresh name ".<file>.<computer><process><random>" (eight hex digits each): who made it.
struct FreshName
{
    QByteArray computer;
    qint64 process = 0;
};

std::optional<FreshName> parseFreshName(QByteArrayView entry)
{
    const qsizetype dot = entry.lastIndexOf('.');
    if (!entry.startsWith('.') || dot < 2 || entry.size() - dot - 1 != 24)
        return std::nullopt;
    const QByteArrayView hex = entry.sliced(dot + 1);
    if (!std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); }))
        return std::nullopt;
    return FreshName{hex.first(8).toByteArray(), hex.sliced(8, 8).toLongLong(nullptr, 16)};
}

// A name of its own beside the target, opened for writing only if nothing stands there.
int openFreshName(const QString &path, mode_t mode, QByteArray *freshName)
{
    const QFileInfo target(path);
    const QByteArray writer =
        computerTag() + QByteArray::number(qint64(::getpid()), 16).rightJustified(8, '0');
    for (int attempt = 0; attempt < 100; ++attempt) {
        *freshName =
            QFile::encodeName(
                QStringLiteral("%1/.%2.").arg(target.absolutePath(), target.fileName())) +
            writer +
            QByteArray::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
        const int fd = ::open(freshName->constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Whether no process of that number runs on this computer (one beyond pid_t's range never did).
bool processGone(qint64 process)
{
    return process > std::numeric_limits<pid_t>::max() ||
           (::kill(pid_t(process), 0) != 0 && errno == ESRCH);
}

// The fresh names that writers of this user left in the folder when they were killed: this
// computer's whose process is gone, another computer's only once older than any write lasts
// (its writer can't be seen from here, and a share may not carry its kernel lock here). A live
// writer holds a kernel lock on its own where the disk has them. A name another account made,
// or one with another link to it, is not ours to remove.
void removeLeftFreshNames(const QString &folder)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    const auto closeDir = qScopeGuard([dir] { ::closedir(dir); });
    const int fd = ::dirfd(dir);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    while (const dirent *entry = ::readdir(dir)) {
        const std::optional<FreshName> fresh = parseFreshName(entry->d_name);
        if (!fresh)
            continue;
        const bool here = fresh->computer == computerTag();
        if (here && !processGone(fresh->process))
            continue;
        const int left =
            ::openat(fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (left < 0)
            continue;
        struct stat info;
        struct stat there;
        if (::fstat(left, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            info.st_nlink == 1 &&
            (here || now - qint64(info.st_mtime) > TVxFileReplacement::kLeftAfterSecs) &&
            ::flock(left, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(fd, entry->d_name, &there, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(info, there))
            ::unlinkat(fd, entry->d_name, 0);
        ::close(left);
    }
}

// Whether this is the run's first write into the folder: its leftovers are looked for once,
// not at every file of a folder of thousands.
bool firstWriteInto(const QString &folder)
{
    static QMutex mutex;
    static QSet<QString> seen;
    const QMutexLocker locker(&mutex);
    if (seen.contains(folder))
        return false;
    seen.insert(folder);
    return true;
}

// Every byte, or false with errno saying why (a write that takes none is a full disk).
bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

// What stands at a name that should be a regular file, in the words of a message.
QString kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("è un collegamento");
    if (S_ISDIR(mode))
        return QStringLiteral("è una cartella");
    if (S_ISFIFO(mode))
        return QStringLiteral("è una coda FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("è un dispositivo");
    if (S_ISSOCK(mode))
        return QStringLiteral("è un socket");
    return QStringLiteral("non è un file");
}

EVxException notRegular(const QString &path, mode_t mode, const QString &what)
{
    return EVxException(QStringLiteral("%1 %2 non è un file normale (%3): Tavrin non lo legge. "
                                       "Cancellarlo o sostituirlo e ripetere l'operazione.")
                            .arg(what, native(path), kindOf(mode)));
}

// Whether anyone but this user may change what the folder holds: a folder of another account,
// or one its group (unless the user's own) or everyone may write.
bool othersMayWrite(const struct stat &folder)
{
    return (folder.st_uid != ::geteuid() && folder.st_uid != 0) || (folder.st_mode & S_IWOTH) ||
           ((folder.st_mode & S_IWGRP) && folder.st_gid != ::getegid());
}

// Why a link standing where a folder is made or entered to write is not followed; empty for
// the office's own arrangement (VxMakeOwnFolder).
QString linkRefusal(const QString &path, const struct stat &link, bool officeTree)
{
    const QString text = VxLinkText(path);
    const QByteArray name = QFile::encodeName(path);
    struct stat there;
    if (::stat(name.constData(), &there) != 0)
        return errno == ENOENT || errno == ENOTDIR ? text
                                                   : QStringLiteral("%1, che non si raggiunge: %2")
                                                         .arg(text, VxSystemErrorText(errno));
    if (link.st_uid != ::geteuid())
        return text + QStringLiteral(" creato da un altro utente");
    struct stat parent;
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &parent) != 0 ||
        othersMayWrite(parent))
        return text + QStringLiteral(" in una cartella in cui possono scrivere anche altri utenti");
    if (!officeTree)
        return text + QStringLiteral(" fuori dalla cartella principale di Tavrin");
    if (!S_ISDIR(there.st_mode) || ::access(name.constData(), W_OK | X_OK) != 0)
        return text +
               QStringLiteral(", che non è una cartella in cui questo utente possa scrivere");
    return QString();
}

// ---- the shared hold ----

// QLockFile's lines (an older run's lock reads the same) and the user: process, program,
// computer, machine, boot, user.
struct LockInfo
{
    qint64 process = 0;
    QString program;
    QString computer;
    QByteArray machine;
    QByteArray boot;
    QString user;
};

// The name the kernel keeps for the process: what another run reads back of it.
QString ownProgram()
{
    QFile comm(QStringLiteral("/proc/self/comm"));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed()) : QString();
}

QString ownUser()
{
    const uid_t uid = ::geteuid();
    if (const passwd *pw = ::getpwuid(uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(uid);
}

QByteArray ownLockContents()
{
    return QByteArray::number(qint64(::getpid())) + '\n' + ownProgram().toUtf8() + '\n' +
           QSysInfo::machineHostName().toUtf8() + '\n' + QSysInfo::machineUniqueId() + '\n' +
           QSysInfo::bootUniqueId() + '\n' + ownUser().toUtf8() + '\n';
}

std::optional<LockInfo> parseLock(const QByteArray &bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() < 3)
        return std::nullopt;
    LockInfo info;
    bool ok = false;
    info.process = lines.at(0).trimmed().toLongLong(&ok);
    if (!ok || info.process <= 0)
        return std::nullopt;
    info.program = QString::fromUtf8(lines.at(1));
    info.computer = QString::fromUtf8(lines.at(2));
    info.machine = lines.value(3);
    info.boot = lines.value(4);
    info.user = QString::fromUtf8(lines.value(5));
    return info;
}

bool sameComputer(const LockInfo &info)
{
    if (info.computer != QSysInfo::machineHostName())
        return false;
    const QByteArray machine = QSysInfo::machineUniqueId();
    return info.machine.isEmpty() || machine.isEmpty() || info.machine == machine;
}

// Whether the run that wrote the lock is gone from this computer: another boot, no such
// process, or its number now another program's.
bool runGone(const LockInfo &info)
{
    const QByteArray boot = QSysInfo::bootUniqueId();
    if (!info.boot.isEmpty() && !boot.isEmpty() && info.boot != boot)
        return true;
    if (processGone(info.process))
        return true;
    // A number now another program's matches neither the name the kernel keeps (15 bytes) nor
    // the program's file (an older lock's); a name that can't be read counts as the same.
    const QByteArray recorded = info.program.toUtf8();
    QFile comm(QStringLiteral("/proc/%1/comm").arg(info.process));
    if (recorded.isEmpty() || !comm.open(QIODevice::ReadOnly))
        return false;
    const QByteArray running = comm.readAll().trimmed();
    const QString file =
        QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(info.process)))
            .fileName();
    return !running.isEmpty() && running != recorded.left(15) && file.toUtf8() != recorded;
}

QString folderOf(const QString &path)
{
    return native(QFileInfo(path).absolutePath());
}

// A lock that could not be made: the folder's fault, in the office's words.
EVxException folderRefused(const QString &path, int code)
{
    QString why;
    if (code == EACCES || code == EPERM)
        why = QStringLiteral("la cartella è di sola lettura per questo utente");
    else if (code == EROFS)
        why = QStringLiteral("il disco è di sola lettura");
    else
        why = VxSystemErrorText(code);
    return EVxException(QStringLiteral("Impossibile scrivere nella cartella %1 (file di blocco "
                                       "%2): %3.")
                            .arg(folderOf(path), QFileInfo(path).fileName(), why));
}

} // namespace

QString VxSystemErrorText(int code)
{
    static const QHash<int, const char *> texts = {
        {EACCES, "permesso negato"},
        {EPERM, "operazione non permessa"},
        {EROFS, "il disco è di sola lettura"},
        {ENOSPC, "spazio esaurito sul disco"},
        {EDQUOT, "spazio concesso all'utente esaurito"},
        {EFBIG, "il file supera la dimensione concessa dal sistema"},
        {ENOENT, "file o cartella inesistente"},
        {ENOTDIR, "una parte del percorso non è una cartella"},
        {EISDIR, "è una cartella"},
        {ENAMETOOLONG, "nome troppo lungo"},
        {ELOOP, "è un collegamento, non ammesso qui"},
        {EEXIST, "esiste già"},
        {EIO, "errore di lettura o scrittura sul disco"},
        {EMFILE, "troppi file aperti"},
        {ENFILE, "troppi file aperti"},
        {EBUSY, "file in uso"},
        {ETXTBSY, "file in uso"},
        {ENOTEMPTY, "la cartella non è vuota"},
        {EXDEV, "i due percorsi sono su dischi diversi"},
        {ESTALE, "il file di rete non è più valido"},
        {ENXIO, "dispositivo non disponibile"},
        {ENODEV, "dispositivo non disponibile"},
        {EAGAIN, "risorsa temporaneamente non disponibile"},
        {ENOLCK, "il disco non permette di bloccare i file"},
    };
    if (const char *text = texts.value(code))
        return QString::fromUtf8(text);
    return QStringLiteral("errore di sistema %1 (%2)")
        .arg(code)
        .arg(QString::fromLocal8Bit(std::strerror(code)));
}

TVxFileReplacement::TVxFileReplacement(const QString &path, TVxFileAccess access)
    : m_path(path), m_access(access)
{
}

TVxFileReplacement::~TVxFileReplacement()
{
    if (!m_committed)
        discard();
}

bool TVxFileReplacement::open(OpenMode mode)
{
    Q_UNUSED(mode);
    Q_ASSERT(m_fd < 0 && !m_finished);
    if (refuseLink())
        return false;
    // Created with the umask applied, as any new file of the program, unless the office gave
    // its own file other permissions (never special bits: they are no office's doing).
    std::optional<mode_t> bits;
    struct stat old;
    if (m_access == TVxFileAccess::OwnerOnly)
        bits = 0600;
    else if (::lstat(QFile::encodeName(m_path).constData(), &old) == 0 && S_ISREG(old.st_mode) &&
             old.st_uid == ::geteuid())
        bits = old.st_mode & 0777;
    m_fd = openFreshName(m_path, bits.value_or(0666), &m_fresh);
    if (m_fd < 0 || (bits && ::fchmod(m_fd, *bits) != 0)) {
        fail(errno);
        return false;
    }
    // Held while it lives: the mark that tells a live writer's name from a killed one's.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    if (const QString folder = QFileInfo(m_path).absolutePath(); firstWriteInto(folder))
        removeLeftFreshNames(folder);
    return QIODevice::open(WriteOnly | Unbuffered);
}

bool TVxFileReplacement::seek(qint64 pos)
{
    if (failed() || m_fd < 0 || !flushBuffer())
        return false;
    if (::lseek(m_fd, off_t(pos), SEEK_SET) < 0) {
        fail(errno);
        return false;
    }
    return QIODevice::seek(pos);
}

qint64 TVxFileReplacement::readData(char *data, qint64 maxSize)
{
    Q_UNUSED(data);
    Q_UNUSED(maxSize);
    return -1;
}

qint64 TVxFileReplacement::writeData(const char *data, qint64 size)
{
    if (failed() || m_fd < 0)
        return -1;
    if (m_buffer.size() + size > kBufferSize && !flushBuffer())
        return -1;
    if (size >= kBufferSize) {
        if (!writeAll(m_fd, data, size)) {
            fail(errno);
            return -1;
        }
    } else {
        m_buffer.append(data, size);
    }
    return size;
}

bool TVxFileReplacement::flushBuffer()
{
    if (!failed() && !writeAll(m_fd, m_buffer.constData(), m_buffer.size()))
        fail(errno);
    m_buffer.clear();
    return !failed();
}

void TVxFileReplacement::fail(int code)
{
    if (m_error == 0)
        m_error = code != 0 ? code : EIO;
    setErrorString(reason());
}

void TVxFileReplacement::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_fresh.isEmpty())
        ::unlink(m_fresh.constData());
    m_fresh.clear();
    if (isOpen())
        QIODevice::close();
}

void TVxFileReplacement::finish(TVxFileSync sync)
{
    if (m_finished)
        return;
    Q_ASSERT(m_fd >= 0 || failed());
    // A network disk may tell a failed write only at the flush or the close.
    if (m_fd >= 0)
        flushBuffer();
    if (!failed() && sync == TVxFileSync::Now && ::fsync(m_fd) != 0)
        fail(errno);
    // Removed meanwhile by another (a cleanup that took this writer for a killed one).
    if (struct stat info; !failed() && ::fstat(m_fd, &info) == 0 && info.st_nlink == 0) {
        m_freshGone = true;
        fail(ENOENT);
    }
    if (m_fd >= 0 && ::close(m_fd) != 0)
        fail(errno);
    m_fd = -1;
    if (failed()) {
        discard();
        throw failure();
    }
    m_finished = true;
    QIODevice::close();
}

void TVxFileReplacement::commit(TVxFileSync sync)
{
    finish(sync);
    // A link may have taken the name since open(): still never replaced.
    if (refuseLink()) {
        discard();
        throw failure();
    }
    if (std::rename(m_fresh.constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int code = errno;
        m_freshGone = code == ENOENT && !VxNameTaken(QFile::decodeName(m_fresh)) &&
                      QFileInfo(QFileInfo(m_path).absolutePath()).isDir();
        fail(code);
        discard();
        throw failure();
    }
    m_committed = true;
}

bool TVxFileReplacement::refuseLink()
{
    m_link = VxLinkText(m_path);
    if (m_link.isEmpty())
        return false;
    fail(ELOOP);
    return true;
}

QString TVxFileReplacement::reason() const
{
    if (!m_link.isEmpty())
        return m_link;
    if (m_freshGone)
        return QStringLiteral("il file provvisorio %1, in cui Tavrin lo stava scrivendo, è stato "
                              "cancellato nel frattempo da un altro programma (forse Tavrin su un "
                              "altro computer, che lo ha creduto abbandonato)")
            .arg(native(QFile::decodeName(m_fresh)));
    return VxSystemErrorText(m_error);
}

EVxException TVxFileReplacement::failure() const
{
    QString text =
        QStringLiteral("Impossibile scrivere il file %1: %2.").arg(native(m_path), reason());
    // What stands at the name is not this writer's to vouch for once another removed its work.
    if (!m_link.isEmpty())
        text += QStringLiteral(" Tavrin non scrive attraverso un collegamento e non lo "
                               "sostituisce: il collegamento è rimasto com'era.");
    else if (m_freshGone)
        text += QStringLiteral(" Questa scrittura non ha sostituito il file: ripetere "
                               "l'operazione.");
    else if (VxNameTaken(m_path))
        text += QStringLiteral(" Il file che c'era è rimasto com'era.");
    return EVxException(text);
}

void VxReplaceFile(const QString &path, const QByteArray &bytes, TVxFileSync sync,
                   TVxFileAccess access)
{
    TVxFileReplacement file(path, access);
    if (!file.open())
        throw file.failure();
    file.write(bytes);
    file.commit(sync);
}

void VxCopyFile(const QString &source, const QString &target)
{
    QFile in(source);
    const auto unread = [&] {
        return EVxException(QStringLiteral("Impossibile leggere il file %1: %2.")
                                .arg(native(source), VxFileErrorText(in)));
    };
    if (!VxOpenRegularFile(in, source))
        throw unread();
    TVxFileReplacement out(target);
    if (!out.open())
        throw out.failure();
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            throw unread();
        if (out.write(chunk) != chunk.size())
            break; // commit() tells why
    }
    out.commit();
}

void VxPutInPlace(const QString &made, const QString &path)
{
    const QString refused = QStringLiteral("Impossibile sostituire il file %1 con %2: %3.");
    if (const QString link = VxLinkText(path); !link.isEmpty())
        throw EVxException(refused.arg(native(path), native(made), link) +
                           QStringLiteral(" Tavrin non lo sostituisce."));
    if (std::rename(QFile::encodeName(made).constData(), QFile::encodeName(path).constData()) != 0)
        throw EVxException(refused.arg(native(path), native(made), VxSystemErrorText(errno)));
}

bool SyncFolderToDisk(const QString &folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::syncfs(fd) == 0;
    ::close(fd);
    return synced;
}

QString VxLinkText(const QString &path)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(path));
    struct stat info;
    if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return QString();
    const QString target = native(QFileInfo(QFile::decodeName(name)).symLinkTarget());
    if (::stat(name.constData(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return QStringLiteral("è un collegamento a un percorso che non esiste (%1)").arg(target);
    return QStringLiteral("è un collegamento a %1").arg(target);
}

bool VxNameTaken(const QString &path)
{
    struct stat info;
    // Without a trailing separator, which would have the link followed.
    return ::lstat(QFile::encodeName(QDir::cleanPath(path)).constData(), &info) == 0 ||
           (errno != ENOENT && errno != ENOTDIR);
}

QString VxFileErrorText(const QFileDevice &file)
{
    // Qt words a system error as qt_error_string() does: the same text, read back.
    static const int codes[] = {EACCES, EPERM,   EROFS,  ENOSPC,       EDQUOT,  EFBIG,
                                ENOENT, ENOTDIR, EISDIR, ENAMETOOLONG, ELOOP,   EEXIST,
                                EIO,    EMFILE,  ENFILE, EBUSY,        ETXTBSY, ENOTEMPTY,
                                EXDEV,  ESTALE,  ENXIO,  ENODEV,       EAGAIN,  ENOLCK};
    const QString text = file.errorString();
    for (const int code : codes)
        if (text == qt_error_string(code))
            return VxSystemErrorText(code);
    if (file.error() == QFileDevice::NoError || text.isEmpty() ||
        text == QIODevice::tr("Unknown error") || text == QLatin1String("Unknown error"))
        return QStringLiteral("errore sconosciuto del sistema");
    return QStringLiteral("errore del sistema (%1)").arg(text);
}

bool VxIsOwnerOnly(const QString &path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           (info.st_mode & (S_IRGRP | S_IROTH)) == 0;
}

bool VxOpenRegularFile(QFile &file, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const QString what = QStringLiteral("Il file");
    file.setFileName(path);
    // A device is not even opened: opening some has effects of its own.
    struct stat info;
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        throw notRegular(path, info.st_mode, what);
    // Without waiting for a writer, should a FIFO have taken the name since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return file.open(QIODevice::ReadOnly); // only to say why, in Qt's words
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        info.st_mode = S_ISREG(info.st_mode) ? 0 : info.st_mode;
        throw notRegular(path, info.st_mode, what);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
}

QString VxMakeOwnFolder(const QString &base, const QString &relative, TVxFileAccess access)
{
    QString folder = QDir::cleanPath(base);
    const auto refuse = [&folder](int code) {
        return EVxException(QStringLiteral("Impossibile creare la cartella %1: %2.")
                                .arg(native(folder), VxSystemErrorText(code)));
    };
    const auto refuseLink = [&folder](const QString &why) {
        return EVxException(QStringLiteral("Impossibile scrivere nella cartella %1: %2. Tavrin non "
                                           "segue il collegamento e non lo sostituisce: "
                                           "controllare dove punta e ripetere l'operazione.")
                                .arg(native(folder), why));
    };
    if (!QDir().mkpath(folder)) {
        const int code = errno;
        if (const QString link = VxLinkText(folder); !link.isEmpty())
            throw refuseLink(link);
        throw refuse(VxNameTaken(folder) ? ENOTDIR : code);
    }
    const QString main = QDir::cleanPath(GetMainDir());
    const bool officeTree = folder == main || folder.startsWith(main + QLatin1Char('/'));
    const mode_t bits = access == TVxFileAccess::OwnerOnly ? 0700 : 0777;
    for (const QString &part :
         QDir::cleanPath(relative).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            throw refuse(EACCES);
        if (part == QLatin1String("."))
            continue;
        folder += QLatin1Char('/') + part;
        const QByteArray name = QFile::encodeName(folder);
        struct stat info;
        if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            const QString why =
                access == TVxFileAccess::OwnerOnly
                    ? VxLinkText(folder) + QStringLiteral(", e una cartella privata non lo è mai")
                    : linkRefusal(folder, info, officeTree);
            if (!why.isEmpty())
                throw refuseLink(why);
            continue;
        }
        if (::mkdir(name.constData(), bits) != 0 && errno != EEXIST)
            throw refuse(errno);
        if (::lstat(name.constData(), &info) != 0)
            throw refuse(errno);
        if (S_ISLNK(info.st_mode))
            throw refuseLink(VxLinkText(folder)); // made by another since the look above
        if (!S_ISDIR(info.st_mode))
            throw refuse(ENOTDIR);
        if (access == TVxFileAccess::OwnerOnly &&
            (info.st_uid != ::geteuid() ||
             ((info.st_mode & 0777) != 0700 && ::chmod(name.constData(), 0700) != 0)))
            throw refuse(EACCES);
    }
    return folder;
}

QString VxMakeOwnFolder(const QString &path)
{
    const QString main = QDir::cleanPath(GetMainDir());
    const QString folder = QDir::cleanPath(path);
    if (folder.startsWith(main + QLatin1Char('/')))
        return VxMakeOwnFolder(main, folder.mid(main.size() + 1));
    return VxMakeOwnFolder(folder, QString());
}

TVxSharedHold::TVxSharedHold(const QString &path) : m_path(path) {}

TVxSharedHold::~TVxSharedHold()
{
    release();
}

QString TVxSharedHold::holderText() const
{
    if (m_holder.process <= 0)
        return QString();
    QString text =
        QStringLiteral("computer %1, processo %2").arg(m_holder.computer).arg(m_holder.process);
    if (!m_holder.user.isEmpty())
        text += QStringLiteral(", utente %1").arg(m_holder.user);
    return QStringLiteral(" (%1)").arg(text);
}

bool TVxSharedHold::tryTake(int waitMs)
{
    if (isTaken())
        return true;
    QElapsedTimer waited;
    waited.start();
    // A lock removed or made stale between two looks is looked at again; a few rounds of that
    // and the name counts as held. A lock that names nobody yet is waited on until it is
    // written or old enough to be judged damaged: never told as another run's.
    int rounds = 0;
    for (;;) {
        const Outcome outcome = attempt();
        if (outcome == Outcome::Taken)
            return true;
        if ((outcome == Outcome::Stale || outcome == Outcome::Gone) && ++rounds < 20)
            continue;
        const qint64 limit = outcome == Outcome::Unnamed
                                 ? qMax<qint64>(waitMs, (kUnnamedStaleAfterSecs + 2) * 1000)
                                 : waitMs;
        if (waited.elapsed() >= limit)
            return false;
        rounds = 0;
        QThread::msleep(100);
    }
}

TVxSharedHold::Outcome TVxSharedHold::attempt()
{
    const QByteArray name = QFile::encodeName(m_path);
    const QString folder = QFileInfo(m_path).absolutePath();
    struct stat folderInfo;
    const bool groupFolder = ::stat(QFile::encodeName(folder).constData(), &folderInfo) == 0 &&
                             (folderInfo.st_mode & S_IWGRP);
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
        // Writable by the group of a group's folder, whatever this user's umask: an older
        // program of the suite removes a lock only where it may write it.
        ::fchmod(fd, groupFolder ? 0664 : 0644);
        if (const QByteArray own = ownLockContents();
            !writeAll(fd, own.constData(), own.size()) || ::fsync(fd) != 0) {
            const int code = errno;
            ::close(fd);
            ::unlink(name.constData());
            throw folderRefused(m_path, code);
        }
        m_fd = fd;
        return Outcome::Taken;
    }
    if (errno != EEXIST)
        throw folderRefused(m_path, errno);
    const Outcome first = judge();
    if (first != Outcome::Stale)
        return first;

    // Judged again and removed under the breaker: no other office removes a lock meanwhile,
    // and the run of a stale one is gone, so the lock judged is the one removed. The breaker
    // goes when it is let go; a holder that finds its file no longer at the name looks again.
    const QByteArray breaker =
        QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(kBreakerName));
    QElapsedTimer waited;
    waited.start();
    int bfd = -1;
    for (;;) {
        bool made = false;
        bfd = openBreaker(breaker, groupFolder, &made);
        struct stat held = {};
        struct stat there;
        if (bfd >= 0 && ::fstat(bfd, &held) == 0 && ::flock(bfd, LOCK_EX | LOCK_NB) == 0) {
            if (::lstat(breaker.constData(), &there) == 0 && sameFile(there, held))
                break;
        } else if (bfd >= 0 && errno != EWOULDBLOCK && errno != EINTR) {
            // No kernel locks on this disk: the breaker made for them goes too.
            const int code = errno;
            if (made)
                ::unlink(breaker.constData());
            ::close(bfd);
            refuseRemoval(code, QFile::decodeName(breaker));
        }
        if (bfd >= 0)
            ::close(bfd);
        if (waited.elapsed() > 2000)
            return Outcome::Gone; // another office is at it: looked at again
        QThread::msleep(5);
    }
    const auto letGo = qScopeGuard([&] {
        ::unlink(breaker.constData());
        ::close(bfd);
    });
    const Outcome again = judge();
    if (again != Outcome::Stale)
        return again;
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        refuseRemoval(errno);
    return Outcome::Stale;
}

// What stands at the name, another run's lock or not: looked at, never opened unless a regular
// file.
TVxSharedHold::Outcome TVxSharedHold::judge()
{
    const QByteArray name = QFile::encodeName(m_path);
    struct stat seen;
    if (::lstat(name.constData(), &seen) != 0) {
        if (errno == ENOENT)
            return Outcome::Gone;
        throw folderRefused(m_path, errno);
    }
    const QString what = QStringLiteral("Il file di blocco");
    if (!S_ISREG(seen.st_mode))
        throw notRegular(m_path, seen.st_mode, what);
    const int rfd =
        ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (rfd < 0 && errno == ENOENT)
        return Outcome::Gone;
    QByteArray bytes;
    if (rfd >= 0) {
        struct stat opened;
        if (::fstat(rfd, &opened) != 0 || !sameFile(opened, seen)) {
            ::close(rfd);
            return Outcome::Gone;
        }
        seen = opened;
        bytes.resize(4096);
        const ssize_t n = ::read(rfd, bytes.data(), size_t(bytes.size()));
        bytes.resize(n > 0 ? n : 0);
        ::close(rfd);
    }
    const std::optional<LockInfo> info = parseLock(bytes);
    const qint64 age = ageOf(seen.st_dev, seen.st_ino, qint64(seen.st_mtime));
    // A lock this user may not read says nothing of its run: judged as another computer's.
    if (rfd < 0) {
        m_holder = Holder{};
        return age > kStaleAfterSecs ? Outcome::Stale : Outcome::Held;
    }
    if (!info || info->computer.isEmpty()) {
        m_holder = Holder{};
        return age > kUnnamedStaleAfterSecs ? Outcome::Stale : Outcome::Unnamed;
    }
    m_holder = Holder{info->computer, info->process, info->user};
    const bool stale = sameComputer(*info) ? runGone(*info) : age > kStaleAfterSecs;
    return stale ? Outcome::Stale : Outcome::Held;
}

qint64 TVxSharedHold::ageOf(quint64 device, quint64 inode, qint64 modified)
{
    const qint64 age = QDateTime::currentSecsSinceEpoch() - modified;
    if (age >= 0)
        return age;
    // Dated ahead of this computer's clock: as old as this hold has seen it unchanged.
    const QByteArray key = QByteArray::number(device) + ':' + QByteArray::number(inode) + ':' +
                           QByteArray::number(modified);
    if (key != m_seenKey || !m_seenSince.isValid()) {
        m_seenKey = key;
        m_seenSince.start();
    }
    return m_seenSince.elapsed() / 1000;
}

// The breaker made new, with the modes that let any account of the folder take it; or another
// office's, opened as it stands and never through a link. -1 when it went between the two
// looks.
int TVxSharedHold::openBreaker(const QByteArray &breaker, bool groupFolder, bool *made)
{
    const QString shown = QFile::decodeName(breaker);
    const QString what = QStringLiteral("Il file di subentro");
    int fd = ::open(breaker.constData(),
                    O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    *made = fd >= 0;
    if (*made) {
        ::fchmod(fd, groupFolder ? 0664 : 0644);
        return fd;
    }
    // A folder that takes no new file would not let the lock go either.
    if (errno != EEXIST)
        refuseRemoval(errno);
    struct stat held;
    if (::lstat(breaker.constData(), &held) != 0)
        return -1;
    // Whatever is no regular file is never opened: a device may act when it is.
    if (!S_ISREG(held.st_mode))
        throw notRegular(shown, held.st_mode, what);
    fd = ::open(breaker.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return -1;
    if (fd < 0)
        refuseRemoval(errno, shown);
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        ::close(fd);
        throw notRegular(shown, held.st_mode, what);
    }
    return fd;
}

QString TVxSharedHold::leftText() const
{
    return m_holder.process > 0
               ? QStringLiteral("è rimasto da un'esecuzione interrotta%1").arg(holderText())
               : QStringLiteral("è danneggiato (non dice quale esecuzione lo ha creato)");
}

// A stale lock left where it is: this user may not remove it, or may not use the breaker under
// which it would be removed.
void TVxSharedHold::refuseRemoval(int code, const QString &breaker) const
{
    const bool permission = code == EACCES || code == EPERM;
    const QString cause =
        breaker.isEmpty()
            ? QStringLiteral(", ma questo utente non può cancellarlo: %1")
                  .arg(permission ? QStringLiteral("la cartella non lo permette")
                                  : VxSystemErrorText(code))
            : QStringLiteral(". Per cancellarlo Tavrin deve bloccare il file %1, che non può "
                             "usare: %2")
                  .arg(native(breaker),
                       permission ? QStringLiteral("è di un altro utente, che questo utente non "
                                                   "può aprire")
                                  : VxSystemErrorText(code));
    throw EVxException(QStringLiteral("Il file di blocco %1 %2%3.\r\rCancellare il file di blocco "
                                      "(o chiedere di farlo a chi lo ha creato o al tecnico) e "
                                      "ripetere l'operazione.")
                           .arg(native(m_path), leftText(), cause));
}

void TVxSharedHold::release()
{
    if (m_fd < 0)
        return;
    // Only the own lock goes: never one that another run made after a stale judgement.
    struct stat own;
    struct stat there;
    const QByteArray name = QFile::encodeName(m_path);
    if (::fstat(m_fd, &own) == 0 && ::lstat(name.constData(), &there) == 0 && sameFile(own, there))
        ::unlink(name.constData());
    ::close(m_fd);
    m_fd = -1;
}
