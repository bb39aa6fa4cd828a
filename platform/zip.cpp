#include "platform/zip.h"

#include "platform/fileaccess.h"
#include "platform/helpers.h"
#include "platform/vxexception.h"

#include <zip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace {

// What libzip reports, in the office's words; its own text (English) where none is known.
QString italianZipError(int code, const QString &library)
{
    switch (code) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("non è un archivio ZIP");
    case ZIP_ER_INCONS:
        return QStringLiteral("la sua struttura è incoerente (archivio danneggiato o troncato)");
    case ZIP_ER_CRC:
        return QStringLiteral("un file non supera il controllo CRC (archivio danneggiato)");
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_EOF:
        return QStringLiteral("errore di lettura (archivio troncato?)");
    case ZIP_ER_OPEN:
    case ZIP_ER_NOENT:
        return QStringLiteral("il file non si apre");
    case ZIP_ER_MEMORY:
        return QStringLiteral("memoria insufficiente");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("usa una compressione non supportata");
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("è cifrato");
    case ZIP_ER_ZLIB:
        return QStringLiteral("i dati compressi sono danneggiati");
    case ZIP_ER_MULTIDISK:
        return QStringLiteral("è diviso su più dischi");
    default:
        return library;
    }
}

// A refusal of the system under libzip's (a full disk, a folder not permitted) in the
// system's words.
QString zipErrorText(zip_error_t *error)
{
    if (zip_error_system_type(error) == ZIP_ET_SYS && zip_error_code_system(error) != 0)
        return VxSystemErrorText(zip_error_code_system(error));
    return italianZipError(zip_error_code_zip(error),
                           QString::fromLocal8Bit(zip_error_strerror(error)));
}

QString libzipError(zip_t *archive)
{
    return zipErrorText(zip_get_error(archive));
}

// libzip's own text of an error code, for the details.
QString openErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString openError(int code)
{
    return italianZipError(code, openErrorText(code));
}

// The end-of-central-directory record alone: a valid archive without entries (libzip
// writes no file at all for an empty archive).
const char emptyArchive[22] = {'P', 'K', 5, 6};

// Why an entry name may not be written below the extraction folder; empty when it may.
struct Discard
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using ReadArchive = std::unique_ptr<zip_t, Discard>;

// Opened read-only, or EVxException saying why not; discarded with its handle.
ReadArchive openToRead(const QString &fileName, int flags)
{
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(fileName).constData(), ZIP_RDONLY | flags, &code);
    if (!archive)
        throw EVxException(
            QStringLiteral("L'archivio %1 non è leggibile: %2.").arg(fileName, openError(code)),
            EVxException::Error, openErrorText(code));
    return ReadArchive(archive);
}

QString unsafeReason(const QString &normalised)
{
    if (normalised.isEmpty())
        return QStringLiteral("nome vuoto");
    if (normalised.startsWith(QLatin1Char('/')))
        return QStringLiteral("percorso assoluto");
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(normalised).hasMatch())
        return QStringLiteral("lettera di unità");
    for (const QString &part : normalised.split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return QStringLiteral("risale alla cartella superiore");
    return QString();
}

// Every name within the disk's longest, and the whole path within the system's.
bool fitsTheDisk(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() >= PATH_MAX)
        return false;
    const QList<QByteArray> names = encoded.split('/');
    return std::none_of(names.cbegin(), names.cend(),
                        [](const QByteArray &name) { return name.size() > NAME_MAX; });
}

bool isInside(const QString &path, const QString &root)
{
    return path == root || path.startsWith(root + QLatin1Char('/'));
}

// Whether the folder, once made, lies inside the root: its nearest existing ancestor must,
// links resolved, or making it would create folders wherever a link points.
bool staysInside(const QString &folder, const QString &root)
{
    QFileInfo existing(folder);
    while (!existing.exists() && existing.absoluteFilePath() != existing.absolutePath())
        existing.setFile(existing.absolutePath());
    return isInside(existing.canonicalFilePath(), root);
}

// libzip writing a new archive into a TVxFileReplacement: written, rewritten where its headers
// are filled in, and committed when libzip is done with it. There is nothing to read: the
// archive is made new.
struct ArchiveOut
{
    TVxFileReplacement *file;
    zip_error_t error = {};
    qint64 length = 0;
    std::optional<EVxException> failure = std::nullopt;
};

zip_int64_t writeArchive(void *userdata, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto *out = static_cast<ArchiveOut *>(userdata);
    const auto failed = [out](int code) {
        zip_error_set(&out->error, code, out->file->failed() ? EIO : 0);
        return zip_int64_t(-1);
    };
    switch (command) {
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
            ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
            ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE, -1);
    case ZIP_SOURCE_STAT:
        zip_error_set(&out->error, ZIP_ER_READ, ENOENT);
        return -1;
    case ZIP_SOURCE_BEGIN_WRITE:
        return out->file->open() ? 0 : failed(ZIP_ER_OPEN);
    case ZIP_SOURCE_WRITE: {
        const qint64 written = out->file->write(static_cast<const char *>(data), qint64(length));
        if (written != qint64(length))
            return failed(ZIP_ER_WRITE);
        out->length = qMax(out->length, out->file->pos());
        return written;
    }
    case ZIP_SOURCE_TELL_WRITE:
        return out->file->pos();
    case ZIP_SOURCE_SEEK_WRITE: {
        const zip_int64_t at = zip_source_seek_compute_offset(
            zip_uint64_t(out->file->pos()), zip_uint64_t(out->length), data, length, &out->error);
        if (at < 0)
            return -1;
        return out->file->seek(at) ? 0 : failed(ZIP_ER_SEEK);
    }
    case ZIP_SOURCE_COMMIT_WRITE:
        try {
            out->file->commit();
        } catch (const EVxException &e) {
            out->failure = e;
            return failed(ZIP_ER_WRITE);
        }
        return 0;
    case ZIP_SOURCE_ROLLBACK_WRITE:
    case ZIP_SOURCE_REMOVE:
    case ZIP_SOURCE_FREE:
        return 0; // the fresh name goes with the replacement
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&out->error, data, length);
    default:
        zip_error_set(&out->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

void TZip::Add()
{
    if (m_fileName.isEmpty())
        throw EVxException(QStringLiteral("Nome dell'archivio ZIP non indicato."));

    // Everything is checked before the archive is touched.
    QSet<QString> names;
    for (const QString &file : std::as_const(m_fileList)) {
        const QFileInfo info(file);
        if (!info.isFile())
            throw EVxException(QStringLiteral("File da aggiungere all'archivio %1 non trovato: %2")
                                   .arg(m_fileName, file));
        // The peers run on Windows, where names differing only in case are one file.
        if (names.contains(info.fileName().toLower()))
            throw EVxException(QStringLiteral("L'archivio %1 conterrebbe due file di nome %2.")
                                   .arg(m_fileName, info.fileName()));
        names.insert(info.fileName().toLower());
    }

    // An archive is no more readable than the most private of its files (a class folder's
    // teachers' passwords).
    const bool ownerOnly = m_access == TVxFileAccess::OwnerOnly ||
                           std::any_of(m_fileList.cbegin(), m_fileList.cend(), &VxIsOwnerOnly);
    TVxFileReplacement out(m_fileName,
                           ownerOnly ? TVxFileAccess::OwnerOnly : TVxFileAccess::Shared);
    if (m_fileList.isEmpty()) {
        if (!out.open())
            throw out.failure();
        out.write(emptyArchive, sizeof emptyArchive);
        out.commit();
        return;
    }
    ArchiveOut sink{&out};
    zip_error_init(&sink.error);
    const auto finiError = qScopeGuard([&sink] { zip_error_fini(&sink.error); });
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_function_create(&writeArchive, &sink, &error);
    zip_t *archive =
        source ? zip_open_from_source(source, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
    if (!archive) {
        const QString reason = zipErrorText(&error);
        zip_error_fini(&error);
        if (source)
            zip_source_free(source);
        throw out.failed()
            ? out.failure()
            : EVxException(
                  QStringLiteral("Impossibile creare l'archivio %1: %2").arg(m_fileName, reason));
    }
    zip_error_fini(&error);
    for (const QString &file : std::as_const(m_fileList)) {
        const QFileInfo info(file);
        zip_source_t *entrySource =
            zip_source_file(archive, QFile::encodeName(info.absoluteFilePath()).constData(), 0, -1);
        const QByteArray entry = info.fileName().toUtf8();
        zip_int64_t index = -1;
        if (entrySource) {
            index = zip_file_add(archive, entry.constData(), entrySource, ZIP_FL_ENC_GUESS);
            if (index < 0)
                zip_source_free(entrySource);
        }
        if (index < 0) {
            const QString reason = libzipError(archive);
            zip_discard(archive);
            throw EVxException(QStringLiteral("Impossibile aggiungere %1 all'archivio %2: %3")
                                   .arg(file, m_fileName, reason));
        }
        zip_file_set_mtime(archive, zip_uint64_t(index), info.lastModified().toSecsSinceEpoch(), 0);
    }
    // The archive is written through `out` and put in place by libzip's last call, whole.
    if (zip_close(archive) != 0) {
        const QString reason = libzipError(archive);
        zip_discard(archive);
        if (sink.failure)
            throw *sink.failure;
        if (out.failed())
            throw out.failure();
        QString text =
            QStringLiteral("Impossibile scrivere l'archivio %1: %2.").arg(m_fileName, reason);
        if (VxNameTaken(m_fileName))
            text += QStringLiteral(" L'archivio che c'era è rimasto com'era.");
        throw EVxException(text);
    }
}

QStringList TZip::EntryNames() const
{
    const ReadArchive opened = openToRead(m_fileName, ZIP_CHECKCONS);
    zip_t *archive = opened.get();
    QStringList names;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        const char *raw = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        // Reading an entry to its end checks its CRC.
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        zip_int64_t read = file ? 1 : -1;
        while (read > 0)
            read = zip_fread(file, buffer.data(), zip_uint64_t(buffer.size()));
        if (file)
            zip_fclose(file);
        if (!raw || read < 0)
            throw EVxException(QStringLiteral("L'archivio %1 è danneggiato: %2")
                                   .arg(m_fileName, libzipError(archive)));
        names << QString::fromUtf8(raw);
    }
    return names;
}

QStringList TZip::Extract()
{
    if (m_fileName.isEmpty())
        throw EVxException(QStringLiteral("Nome dell'archivio ZIP non indicato."));
    if (m_extractPath.isEmpty())
        throw EVxException(QStringLiteral("Cartella di estrazione dell'archivio %1 non indicata.")
                               .arg(m_fileName));
    if (!QFileInfo(m_fileName).isFile())
        throw EVxException(QStringLiteral("Archivio %1 non trovato.").arg(m_fileName));
    VxMakeOwnFolder(m_extractPath);
    const QString root = QFileInfo(m_extractPath).canonicalFilePath();

    const ReadArchive opened = openToRead(m_fileName, 0);
    zip_t *archive = opened.get();

    const auto refuse = [this](const QString &why) {
        return EVxException(
            QStringLiteral("L'archivio %1 %2. Nessun file è stato estratto.").arg(m_fileName, why));
    };
    struct Entry
    {
        zip_uint64_t index;
        QString relative;
        bool folder;
    };
    QList<Entry> entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count > m_maxEntries)
        throw refuse(QStringLiteral("contiene troppi file (%1, al massimo %2)")
                         .arg(count)
                         .arg(m_maxEntries));
    // Archives come from outside: names, sizes and clashes are all checked before anything
    // is written, on the sizes the archive declares.
    qint64 declared = 0;
    QHash<QString, QString> seen; // lower-case path -> name as in the archive
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString name = raw ? QString::fromUtf8(raw) : QString();
        QString normalised = name;
        normalised.replace(QLatin1Char('\\'), QLatin1Char('/'));
        QString reason = unsafeReason(normalised);
        const QString cleaned = QDir::cleanPath(root + QLatin1Char('/') + normalised);
        if (reason.isEmpty() && !isInside(cleaned, root))
            reason = QStringLiteral("esce dalla cartella di estrazione");
        if (!reason.isEmpty())
            throw EVxException(QStringLiteral("L'archivio %1 contiene un percorso non ammesso "
                                              "(%2): \"%3\". Nessun file è stato estratto.")
                                   .arg(m_fileName, reason, name));
        const bool folder = normalised.endsWith(QLatin1Char('/'));
        QString target = cleaned;
        if (!m_onlyEntries.isEmpty()) {
            if (folder)
                continue;
            const QString base = QFileInfo(normalised).fileName();
            const auto wanted = std::find_if(
                m_onlyEntries.cbegin(), m_onlyEntries.cend(), [&base](const QString &only) {
                    return only.compare(base, Qt::CaseInsensitive) == 0;
                });
            if (wanted == m_onlyEntries.cend())
                continue;
            target = root + QLatin1Char('/') + *wanted;
        }
        if (!folder) {
            // The peers run on Windows, where the second would overwrite the first.
            const QString key = target.toLower();
            if (seen.contains(key))
                throw refuse(QStringLiteral("contiene due file dello stesso nome, \"%1\" e \"%2\"")
                                 .arg(seen.value(key), name));
            seen.insert(key, name);
            zip_stat_t stat;
            zip_stat_init(&stat);
            if (zip_stat_index(archive, zip_uint64_t(i), 0, &stat) != 0 ||
                !(stat.valid & ZIP_STAT_SIZE))
                throw refuse(QStringLiteral("non dichiara la dimensione di \"%1\"").arg(name));
            declared += qint64(qMin<zip_uint64_t>(stat.size, zip_uint64_t(m_maxUnpackedSize) + 1));
        }
        if (declared > m_maxUnpackedSize)
            throw refuse(
                QStringLiteral("estratto occuperebbe più di %1").arg(SizeText(m_maxUnpackedSize)));
        entries.append(Entry{zip_uint64_t(i), target, folder});
    }

    // What the names meet on the disk, and each other: checked whole before the first folder
    // is made, so that no rename can fail half-way over the files of an earlier entry.
    QSet<QString> folders; // lower-case, every folder the entries need
    for (const Entry &entry : std::as_const(entries)) {
        const QString folder = entry.folder ? entry.relative : QFileInfo(entry.relative).path();
        // A link already in the folder must not carry the files elsewhere.
        if (!staysInside(folder, root))
            throw EVxException(QStringLiteral("La cartella %1 porta fuori da %2: estrazione "
                                              "interrotta. Nessun file è stato estratto.")
                                   .arg(folder, m_extractPath));
        if (!fitsTheDisk(entry.relative))
            throw refuse(QStringLiteral("contiene un nome troppo lungo per il disco: \"%1\"")
                             .arg(QDir(root).relativeFilePath(entry.relative)));
        for (QString up = folder; up.size() > root.size(); up = QFileInfo(up).path()) {
            folders.insert(up.toLower());
            const QFileInfo there(up);
            if (there.exists() && !there.isDir())
                throw refuse(QStringLiteral("contiene la cartella \"%1\", ma nella cartella di "
                                            "estrazione c'è un file con quel nome")
                                 .arg(QDir(root).relativeFilePath(up)));
        }
        if (!entry.folder && QFileInfo(entry.relative).isDir() &&
            !QFileInfo(entry.relative).isSymLink())
            throw refuse(QStringLiteral("contiene il file \"%1\", ma nella cartella di "
                                        "estrazione c'è una cartella con quel nome")
                             .arg(QDir(root).relativeFilePath(entry.relative)));
    }
    for (const Entry &entry : std::as_const(entries))
        if (!entry.folder && folders.contains(entry.relative.toLower()))
            throw refuse(QStringLiteral("contiene \"%1\" sia come file sia come cartella")
                             .arg(QDir(root).relativeFilePath(entry.relative)));

    // Every file is written under a fresh name in its folder, then all are renamed over their
    // targets: a failure leaves nothing, not even the folders made for it, and a link standing
    // at a target's name is replaced, never followed. What an archive readable by its owner
    // only holds stays so once extracted.
    const TVxFileAccess access =
        VxIsOwnerOnly(m_fileName) ? TVxFileAccess::OwnerOnly : TVxFileAccess::Shared;
    std::vector<std::unique_ptr<TVxFileReplacement>> written;
    QStringList made; // the folders made, parents first
    struct RemoveUnlessDone
    {
        std::vector<std::unique_ptr<TVxFileReplacement>> &files;
        QStringList &folders;
        bool done = false;
        ~RemoveUnlessDone()
        {
            if (done)
                return;
            files.clear();
            for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder)
                QDir().rmdir(*folder);
        }
    } cleanup{written, made};
    const auto notExtracted = [this](const QString &file, const QString &why) {
        return EVxException(QStringLiteral("Impossibile estrarre %1 dall'archivio %2: %3. "
                                           "Nessun file è stato estratto.")
                                .arg(file, m_fileName, why));
    };
    qint64 total = 0;
    for (const Entry &entry : std::as_const(entries)) {
        const QString folder = entry.folder ? entry.relative : QFileInfo(entry.relative).path();
        QStringList missing;
        for (QString up = folder; !QFileInfo::exists(up); up = QFileInfo(up).path())
            missing.prepend(up);
        for (const QString &up : std::as_const(missing)) {
            try {
                VxMakeOwnFolder(QFileInfo(up).path(), QFileInfo(up).fileName());
            } catch (const EVxException &e) {
                throw EVxException(e.message() + QStringLiteral(" Nessun file è stato estratto."));
            }
            made << up;
        }
        if (entry.folder)
            continue;

        zip_file_t *file = zip_fopen_index(archive, entry.index, 0);
        if (!file)
            throw notExtracted(entry.relative, libzipError(archive));
        auto out = std::make_unique<TVxFileReplacement>(entry.relative, access);
        if (!out->open()) {
            zip_fclose(file);
            throw notExtracted(entry.relative, out->reason());
        }
        char buffer[65536];
        for (;;) {
            const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
            if (n < 0) {
                const QString why = zipErrorText(zip_file_get_error(file));
                zip_fclose(file);
                throw notExtracted(entry.relative, why);
            }
            if (n == 0)
                break;
            if ((total += n) > m_maxUnpackedSize) {
                // The sizes an archive declares are its own word: the bytes are counted too.
                zip_fclose(file);
                throw refuse(QStringLiteral("estratto occuperebbe più di %1")
                                 .arg(SizeText(m_maxUnpackedSize)));
            }
            if (out->write(buffer, n) != n)
                break;
        }
        zip_fclose(file);
        try {
            out->finish(TVxFileSync::Later);
        } catch (const EVxException &) {
            throw notExtracted(entry.relative, out->reason());
        }
        written.push_back(std::move(out));
    }
    QStringList extracted;
    for (const auto &file : written) {
        file->commit(TVxFileSync::Later);
        extracted << file->path();
    }
    cleanup.done = true;
    return extracted;
}
