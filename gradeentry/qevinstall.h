#pragma once

// Gives the program's start-up the grade-entry module: the grade data module (dmqevDataSets,
// with its display-parameter module) is created by the command table, which owns it, and runs
// no query until a window asks. Call once before the command table is created.
void installGradeEntry();
