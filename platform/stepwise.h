#pragma once

// Work that commits step by step (pupil by pupil, one kind of data after another): when a step
// fails, the steps before it stay written and the failed one is undone, so neither "annullato"
// nor the failure alone would be true. The office hears, in one wording for every such command,
// which steps were written, the step where the work stopped, and that running the command again
// goes on from there; the reason follows. A command that is one transaction says "annullato"
// instead.
//
//   TVxStepwiseRun run({QStringLiteral("Passaggio interrotto a %1"),
//                       QStringLiteral("i voti di %1 sono già passati"),
//                       QStringLiteral("nessun voto è stato ancora passato")});
//   for (const Pupil &p : pupils)
//       run.Step(p.name, [&] { ... tr.Commit(); return true; });  // false: it wrote nothing
//
// Stopped at Rossi Mario: "Passaggio interrotto a Rossi Mario: i voti di Bianchi Anna sono già
// passati; rieseguire il comando per completare." and, after a blank line, the reason.

#include "platform/vxexception.h"

#include <QString>
#include <QStringList>

#include <functional>

struct TVxStepwiseWords
{
    QString interrotto; // the stop, %1 the step's name
    QString fatti;      // the steps written, %1 their names ("A, B e C")
    QString nessuno;    // no step written yet
};

class TVxStepwiseRun
{
public:
    explicit TVxStepwiseRun(TVxStepwiseWords words);

    // Runs the step, which commits its own work; one that answers true wrote, and is named among
    // the steps done. A failure (EVxException or any other) is raised again as EVxException with
    // the office's message of what was written in front; "Annulla" goes through as it is.
    void Step(const QString &name, const std::function<bool()> &work);

private:
    // The failure at the named step, told with what the steps before it wrote.
    EVxException Stopped(const QString &name, const EVxException &cause) const;

    TVxStepwiseWords m_words;
    QStringList m_done;
};
