#pragma once

// Krypto(text, key, count, lowest, highest) -> a text of `count` characters, each between
// `lowest` and `highest` (either order; as characters or as texts whose first character
// counts). The same inputs always give the same result, so a password built here can be
// rebuilt wherever it is shown or sent. count <= 0 gives the empty text; an empty range
// text raises EVxException.

#include <QChar>
#include <QString>

QString Krypto(const QString &text, const QString &key, int count, QChar lowest, QChar highest);
QString Krypto(const QString &text, const QString &key, int count, const QString &lowest,
               const QString &highest);
