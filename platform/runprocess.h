#pragma once

// Runs another program and waits for its end, up to a time limit, while the program's windows
// keep painting (no user input is taken meanwhile, as under a wait window). The arguments go
// as a list, never through a command line to be split: a path with blanks or quotes reaches
// the program as one argument.
//
//   const TVxProcessResult r = VxRunAndWait(program, {"--source", path}, 60000);
//   if (!r.succeeded()) log(r.failure());
//
// A program still running at the limit, or when the program is asked to quit (quitrequest.h),
// is killed.
#include <QString>
#include <QStringList>

struct TVxProcessResult
{
    enum Outcome { Finished, Missing, NotStarted, Crashed, TimedOut, Interrupted };
    Outcome outcome = NotStarted;
    int exitCode = -1; // of a Finished program
    int timeLimitMs = 0;
    QString errorText; // the system's reason when it did not start

    bool succeeded() const { return outcome == Finished && exitCode == 0; }
    // Why it did not succeed, in the office's words ("è terminato con il codice 3"); empty
    // when it did.
    QString failure() const;
};

TVxProcessResult VxRunAndWait(const QString &program, const QStringList &arguments,
                              int timeLimitMs);
