#include "exports/qelexportsinstall.h"

#include "exports/qelfexpmediaalunni.h"
#include "platform/formregistry.h"
#include "shell/qelstartup.h"

namespace {

void registerExportForms()
{
    TAVRIN_REGISTER_FORM(TfmqelExpMediaAlunni);
}

} // namespace

void installExportParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QelStartupHooks &hooks = qelStartupHooks();
    hooks.registerForms.append(registerExportForms);
}
