#include "reports/qelreportsinstall.h"

#include "reports/qelreportforms.h"
#include "shell/qelstartup.h"

void installReportParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    qelStartupHooks().registerForms.append(registerReportForms);
}
