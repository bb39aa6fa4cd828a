#include "exchange/qelexchangeinstall.h"
#include "exports/qelexportsinstall.h"
#include "gradeentry/qevinstall.h"
#include "makeup/qelcontrollarecuperi.h"
#include "reports/qelreportsinstall.h"
#include "shell/qelstartup.h"

#include <QApplication>

// The program reads no argument and no environment variable: the main folder and its files
// say everything.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installGradeEntry();
    installMakeupParts();
    installReportParts();
    installExchangeParts();
    installExportParts();
    return runTavrin();
}
