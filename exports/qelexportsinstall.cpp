#include "exports/qelexportsinstall.h"

#include "exports/qelexportalu.h"
#include "exports/qelfexpmediaalunni.h"
#include "exports/qelfexport.h"
#include "exports/qelfrilintegr.h"
#include "exports/qelhtml.h"
#include "exchange/qelhistoryhook.h"
#include "platform/formregistry.h"
#include "shell/qelstartup.h"

namespace {

void registerExportForms()
{
    TAVRIN_REGISTER_FORM(TfmqelExpMediaAlunni);
    TAVRIN_REGISTER_FORM(TfmQelExport);
    TAVRIN_REGISTER_FORM(TfmQelRilIntegr);
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
    qelHistoryHooks().buildHistory = [](const QString &classIds, const QString &folder,
                                        int iAnsId) {
        TdmqelHtml html;
        html.CurrentAnsId = iAnsId;
        return html.BuildHistory(classIds, folder);
    };
    hooks.createExportModule = [](QObject *owner) -> QObject * {
        dmExportAlu = new TdmExportAlu(owner);
        return dmExportAlu;
    };
}
