#include "exports/qelexportsinstall.h"

void installExportParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
}
