#pragma once

#include <QByteArray>

// What the robustness tests and the fuzz target do with a damaged workbook: load it, read and
// write cells, comments and pictures, copy and delete rows, copy a sheet, save and load the
// result again. Anything but the library's own exception is a fault.
namespace xlstest {

// A bare Workbook stream.
void exerciseWorkbook(const QByteArray &stream);
// A whole compound file: the Workbook stream exercised, the file rebuilt around it.
void exerciseCompoundFile(const QByteArray &file);

} // namespace xlstest
