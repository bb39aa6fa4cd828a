#pragma once

// Gives the program its exports: the pupil history, the statistics extraction, the averages
// for the pupils program and the survey of scrutiny outcomes. Call once before the command
// table is created, as the program's main and the tests' RunningProgram do; a second call
// does nothing.
void installExportParts();
