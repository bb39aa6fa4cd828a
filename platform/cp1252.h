#pragma once

// Windows-1252, the 8-bit text of the office's Windows programs: the teachers' INI files,
// data packets without an encoding declaration, the history pages, the logs.
//   decodeCp1252(bytes)   every byte has a character (the five unassigned ones map to the
//                         control character of the same number), so decoding never fails
//   encodeCp1252(text)    std::nullopt when a character has no Windows-1252 byte
//   encodeCp1252(text, '?')  the replacement byte for each such character, for files whose
//                         reader knows no other encoding (a pair of surrogates is one character)

#include <QByteArray>
#include <QString>

#include <optional>

QString decodeCp1252(const QByteArray &bytes);
std::optional<QByteArray> encodeCp1252(const QString &text);
QByteArray encodeCp1252(const QString &text, char replacement);
