#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The check log of a statistics extraction (controllo.log): what ran and when, for the office
// and for the research office's technician. Saved in Windows-1252 with CR LF, as the text
// files of the office's Windows programs are.
//
//   log.begin()         "Inizio operazione: 07/12/2009 18:05:06"
//   log.add(": text")   "07/12/2009 18:05:06: text" (every text begins with ": ")
//   log.addPlain(text)  the text alone: the converter's command lines
//   log.end()           "Fine operazione: ..."
class TQelExportLog
{
public:
    void begin();
    void add(const QString &text);
    void addPlain(const QString &text);
    void end();

    bool isEmpty() const { return m_lines.isEmpty(); }
    const QStringList &lines() const { return m_lines; }

    // Replaces the file; a character without a Windows-1252 byte is written as "?", since a
    // log is never refused for an engine's text. Throws EVxException when it cannot be written.
    void saveToFile(const QString &path) const;

    // Date and time as the Italian office writes them.
    static QString stamp(const QDateTime &when);

private:
    QStringList m_lines;
};
