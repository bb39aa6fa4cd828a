#pragma once

// Gives the program its exchange of data with the teachers and the web service. Call once
// before the command table is created, as the program's main and the tests' RunningProgram
// do; a second call does nothing.
void installExchangeParts();
