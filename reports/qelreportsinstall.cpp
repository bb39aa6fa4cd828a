#include "reports/qelreportsinstall.h"

#include "reportengine/reporttree.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelreportforms.h"
#include "reports/qelrptdatasets.h"
#include "reports/qelrptfunctions.h"
#include "reports/qetrptfunctions.h"
#include "shell/qelactivations.h"
#include "shell/qelcommandtable.h"
#include "shell/qelreporttree.h"
#include "shell/qelstartup.h"

#include <QPointer>

#include <cstdlib>

namespace {

// The report tree reads the module's datasets (its name matches none of the tree's patterns)
// and its variables, closes them at the end of every report and refreshes its client datasets
// before each.
void bindReportDataModule(QObject *object)
{
    QPointer<TdmqelRptDataSets> module = qobject_cast<TdmqelRptDataSets *>(object);
    TVxRptTreeView *tree = dmqelActivations ? qelReportTree(dmqelActivations) : nullptr;
    if (!module || !tree)
        return;
    TdmVxRptFR &rpt = tree->RptFR();
    rpt.RegisterDataModule(module->ModuleName());
    rpt.OnEndReport = [module] {
        if (module)
            module->CloseAllDataSets();
    };
    rpt.OnGetValue = [module](const QString &name, QVariant &value) {
        if (module)
            module->ReportGetValue(name, value);
    };
    rpt.OnRefresh = [module] {
        if (module)
            module->RefreshClientDataSets();
    };
    // A register's template prints the volumes its wizard prepares: run from the list it would
    // end on a volume list that nothing filled.
    tree->OnPrintedElsewhere = [](int id, const QString &description) {
        return QelRegisterVolume::IsRegisterReport(id)
                   ? QStringLiteral("\"%1\" è un registro digitale: si stampa da \"%2\".")
                         .arg(description, qelCommandPath("xafStampaRegistri"))
                   : QString();
    };
}

} // namespace

void installReportParts()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    qelStartupHooks().registerForms.append(registerReportForms);
    // Every report's templates call the school's functions; the registry lets them go as the
    // program ends.
    frRegisterFunctionLibrary<TfrQelFunctionLibrary>();
    frRegisterFunctionLibrary<TfrQetFunctionLibrary>();
    std::atexit([] {
        frUnRegisterFunctionLibrary<TfrQetFunctionLibrary>();
        frUnRegisterFunctionLibrary<TfrQelFunctionLibrary>();
    });
    QelReportHooks &hooks = qelReportHooks();
    hooks.createReportModule = [](QWidget *owner) -> QObject * {
        return new TdmqelRptDataSets(owner);
    };
    hooks.bindReportComponent = bindReportDataModule;
    hooks.prepareDataSets = [] {
        if (dmqelRptDataSets)
            dmqelRptDataSets->PreparaDataSets();
    };
}
