#include "reports/qelreportsinstall.h"

void installReportParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
}
