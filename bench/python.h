#pragma once

// The benchmarks that compare with a Python library run the system's interpreter, where
// Debian's python3 packages live, whatever interpreter comes first on the PATH.
#include <QFileInfo>
#include <QString>

inline QString python()
{
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
               ? QStringLiteral("/usr/bin/python3")
               : QStringLiteral("python3");
}
