#include "gradeentry/qevinstall.h"

#include "gradeentry/qevdatasets.h"
#include "shell/qelactivations.h"

void installGradeEntry()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    TdmqelActivations::addContributor([](TdmqelActivations *table) {
        if (!dmqevDataSets)
            dmqevDataSets = new TdmqevDataSets(table);
    });
}
