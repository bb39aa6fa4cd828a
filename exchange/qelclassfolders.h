#pragma once

#include <QString>

// The pieces the class-folder windows share: sending and collecting by class, and by class and
// study plan.

// The base folder of a class folder the user picked for collection: the text trimmed, one
// trailing separator dropped, and, when that folder exists here, its text up to its last
// separator; empty otherwise. Both "/" and a "\" stored by an office on Windows separate.
QString ParentFolder(const QString &text);
