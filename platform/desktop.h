#pragma once

// Addresses and documents handed to the desktop: the browser for a web page, the program the
// desktop associates with a document (a PDF opens in the office's PDF viewer).
//
//   VxOpenUrl(url)         true when the desktop took the address; an invalid or relative
//                          address is refused without asking it
//   VxOpenDocument(path)   the same for a local file or folder
//   VxOpenUrlOrTell(url), VxOpenDocumentOrTell(path)   the same, and a refusal is told to
//                          the office with what to open by hand: the address, the file or the
//                          folder
//
// Scripted runs (DialogSeam::scripted()) open nothing: they record the address (kind
// "open-url", or "open-document" with the file's path) and report it opened, unless the next
// queued answer is a bool, taken as the desktop's answer. Other queued answers are left for
// the dialogs they were meant for.

#include <QString>
#include <QUrl>

bool VxOpenUrl(const QUrl &url);
bool VxOpenDocument(const QString &path);
bool VxOpenUrlOrTell(const QUrl &url);
bool VxOpenDocumentOrTell(const QString &path);
