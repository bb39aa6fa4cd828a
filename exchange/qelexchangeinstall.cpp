#include "exchange/qelexchangeinstall.h"

void installExchangeParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
}
