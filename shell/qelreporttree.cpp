#include "shell/qelreporttree.h"

#include "platform/keys.h"
#include "reportengine/reporttree.h"
#include "shell/qelactivations.h"

#include <QPointer>
#include <QToolBox>

namespace {

// Opens the page of the command bar where the tree stands, or the tree itself when it stands
// in none.
void bringTreeForward(QWidget *tree)
{
    for (QWidget *w = tree; w; w = w->parentWidget()) {
        auto *box = qobject_cast<QToolBox *>(w->parentWidget());
        if (!box)
            continue;
        for (QWidget *page = tree; page && page != box; page = page->parentWidget()) {
            if (box->indexOf(page) >= 0) {
                box->setCurrentIndex(box->indexOf(page));
                return;
            }
        }
    }
    tree->show();
    tree->raise();
    tree->activateWindow();
}

} // namespace

TVxRptTreeView *qelReportTree(const TdmqelActivations *table)
{
    const auto *command = table->ItemAs<TVxAttReport>(QStringLiteral("xarTavrin"));
    return command ? qobject_cast<TVxRptTreeView *>(command->GetRptTreeView()) : nullptr;
}

void installReportTree(TdmqelActivations *table)
{
    auto *command = table->ItemAs<TVxAttReport>(QStringLiteral("xarTavrin"));
    QPointer<TVxRptTreeView> tree = new TVxRptTreeView(command);
    command->SetRptTreeView(tree);
    // "Anteprima", "Stampa", "Esporta PDF" by their letters from the list.
    VxGiveMnemonicsWhileFocused(tree);
    // The command bar hands the tree back when it is cleared: the table frees it.
    QObject::connect(table, &QObject::destroyed, [tree] { delete tree.data(); });

    QelReportHooks &hooks = qelReportHooks();
    hooks.previewReport = [tree](int number) {
        if (tree)
            tree->RptFR().PreviewReportFromVxDB(number, 4);
    };
    hooks.setDataStampe = [tree](const QDate &date) {
        if (tree)
            tree->RptFR().SetDataStampe(date);
    };
    hooks.showReports = [](TVxAttReport *reports) {
        if (QWidget *shown = reports->GetRptTreeView())
            bringTreeForward(shown);
    };
}
