#include "exchange/qelexchangeinstall.h"

#include "exchange/qeldocdelweb.h"
#include "shell/qelstartup.h"

void installExchangeParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    qelStartupHooks().registerForms.append(registerDocDelWebForms);
}
