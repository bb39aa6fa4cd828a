#include "exports/qelexportlog.h"

#include "platform/cp1252.h"
#include "platform/vxexception.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>

void TQelExportLog::begin()
{
    m_lines << QStringLiteral("Inizio operazione: ") + stamp(QDateTime::currentDateTime());
}

void TQelExportLog::add(const QString &text)
{
    addPlain(stamp(QDateTime::currentDateTime()) + text);
}

void TQelExportLog::addPlain(const QString &text)
{
    // One event a line: an error message's own line breaks would split it.
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    m_lines << QString(text).replace(breaks, QStringLiteral(" "));
}

void TQelExportLog::end()
{
    m_lines << QStringLiteral("Fine operazione: ") + stamp(QDateTime::currentDateTime());
}

QString TQelExportLog::stamp(const QDateTime &when)
{
    return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

void TQelExportLog::saveToFile(const QString &path) const
{
    QByteArray bytes;
    for (const QString &line : m_lines) {
        for (const QChar c : line)
            bytes += encodeCp1252(QString(c)).value_or(QByteArray("?"));
        bytes += "\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EVxException(QStringLiteral("Impossibile scrivere il file %1: %2")
                               .arg(QDir::toNativeSeparators(path), file.errorString()));
}
