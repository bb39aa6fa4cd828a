#pragma once

// Gives the program its reports and digital registers: the report data module with its
// functions and variables, the selection dialogs, the print settings and the registers.
// Call once before the command table is created, as the program's main and the tests'
// RunningProgram do; a second call does nothing.
void installReportParts();
