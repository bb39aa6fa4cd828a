#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Files as the tests prepare and inspect them, byte for byte.

// The file's bytes; empty when it is missing or unreadable.
QByteArray readFileBytes(const QString &path);
// Writes the bytes, making the folders on the way; a failure fails the test.
void writeFileBytes(const QString &path, const QByteArray &bytes);
// A ZIP archive with entries named exactly as given (no check of the names), the way a
// hostile or careless sender would make it; a failure fails the test.
void writeZipEntries(const QString &path, const QList<QPair<QByteArray, QByteArray>> &entries);
