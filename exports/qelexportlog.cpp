#include "exports/qelexportlog.h"

#include "platform/cp1252.h"
#include "platform/fileaccess.h"

#include <QRegularExpression>

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
    VxReplaceFile(path, bytes);
}
