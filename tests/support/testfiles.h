#pragma once

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Files as the tests prepare and inspect them, byte for byte.

// The file's bytes; empty when it is missing or unreadable.
QByteArray readFileBytes(const QString &path);
// Every file below the folder (hidden ones too; folders and links too when asked), relative
// to it, sorted.
QStringList allFiles(const QString &root, QDir::Filters kinds = QDir::Files);
// Writes the bytes, making the folders on the way; a failure fails the test.
void writeFileBytes(const QString &path, const QByteArray &bytes);
// The message of the refusal (EVxException) the work raises; empty when it goes through.
QString refusalOf(const std::function<void()> &work);
// The lock file (TVxSharedHold) that a run killed on this computer leaves: its program is gone.
void writeAbandonedLock(const QString &path);
// The lock of a run on another computer ("altro-pc", process 4242, user "segreteria2"), made
// the given seconds ago.
void writeForeignLock(const QString &path, qint64 ageSeconds);

// While it lives no file of the process grows past the bytes, as on a disk with no room left:
// a write beyond fails (EFBIG) instead of ending the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();

private:
    quint64 m_soft;
    void (*m_handler)(int);
};

// While it lives the folder is a disk of its own with no room left, holding only the files
// given and a filler (FullDisk::kFiller): a write into it fails as on a full disk (ENOSPC).
// Only root mounts one (a small tmpfs on the folder): mounted() is false for anyone else.
class FullDisk
{
public:
    static constexpr const char *kFiller = ".pieno";
    FullDisk(const QString &folder, const QList<QPair<QString, QByteArray>> &files);
    ~FullDisk();
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

// While it lives the folder takes no new entry, whoever the tests run as: root passes every
// permission, so the folder is made immutable for it.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder);
    ~ReadOnlyFolder();

private:
    QString m_folder;
};

// While it lives the process acts as an ordinary account (nobody's) when the tests run as
// root, whom every permission lets through; the folders become that account's. Running as
// anyone else, nothing changes.
class OrdinaryAccount
{
public:
    explicit OrdinaryAccount(const QStringList &folders);
    ~OrdinaryAccount();

private:
    bool m_switched = false;
};
// A ZIP archive with entries named exactly as given (no check of the names), the way a
// hostile or careless sender would make it; a failure fails the test.
void writeZipEntries(const QString &path, const QList<QPair<QByteArray, QByteArray>> &entries);

// An XML packet as a careless program spoils it: its encoding declaration dropped, and the
// first value of the attribute (in any letter case) starting with "è" in Windows-1252 and again
// in UTF-8.
QByteArray mixEncodings(QByteArray xml, const QByteArray &attribute);

// Attributes as a hostile sender packs one start tag with them: " a0=\"0\" a1=\"0\"...", each
// name its own.
QByteArray xmlAttributes(int count);

// Runs a checker program (unzip, qpdf...); its exit code (-1 when it did not end normally
// within 30 seconds), its output and errors kept in the output.
int runChecker(const QString &program, const QStringList &arguments, QString *output = nullptr);

// The text against the reference file (a report's layout dump, say); a difference fails the
// test printing it and how to accept the new text: TAVRIN_UPDATE_GOLDEN=1 writes the file.
void expectGolden(const QString &path, const QString &text);
// The line of the reference file whose first word is the key, for files each line of which a
// case of its own makes: the file with the line in its place (at the end when the file has none)
// against the reference, as expectGolden; TAVRIN_UPDATE_GOLDEN=1 writes that line alone.
void expectGoldenLine(const QString &path, const QString &key, const QString &line);

// Saves what the window shows, once pending layout work has run, as a PNG under
// $TAVRIN_SCREENSHOTS (CTest's: the build folder's screenshots/), else beside the test
// program; a failure fails the test.
void saveScreenshot(QWidget *window, const QString &name);
