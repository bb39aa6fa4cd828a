// The digital register volume of every class of 2008/2009's final session over the demo
// school (scale 10 unless bench/run.sh names another): the whole run (template, PDF,
// encryption, descriptor, page details, archive, catalogue) next to the bare time of the
// statements it ran (recorded once, run again directly in one transaction, each text prepared
// once), the two timed in turns, printed in pages per second.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/reports_registri_bench
#include "bench/benchsupport.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "reportengine/reportmodule.h"
#include "reports/qelregistrovolume.h"
#include "reports/qelreportsinstall.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelpargen.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTemporaryDir>

#include <memory>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
TdmqelRptDataSets *g_module = nullptr;
TdmVxRptFR *g_rpt = nullptr;
QList<int> g_classes;
int g_pages = 0;

// One volume of the register template (16169, A4, unless another is named); the archive and
// the catalogue go, so that every round writes the same.
void makeVolume(int reportId = 16169)
{
    const QString media = reportId > 3000000 ? QStringLiteral("Stampa personalizzata")
                          : QList<int>{16169, 16171, 16182, 16183}.contains(reportId)
                              ? QStringLiteral("A4")
                              : QStringLiteral("A3");
    QelRegisterVolume::Export(
        *g_module, *g_rpt,
        {g_classes, reportId, media, QStringLiteral("Registro generale dei voti")});
    g_pages = int(g_rpt->Pages().Pages.size());
    QDir folder(QelRegisterVolume::RegisterFolder());
    for (const QString &file : folder.entryList(QDir::Files))
        folder.remove(file);
}

void VolumeAndReplay(benchmark::State &state)
{
    timedInTurnsWithBare(
        state, g_seconds, QStringLiteral("volume"), [] { makeVolume(); }, g_db, g_statements, 6);
}

} // namespace

BENCHMARK(VolumeAndReplay)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    TVxWorkingContext::setInstitute(2);
    TVxWorkingContext::setSchoolYear(39);
    TVxWorkingContext::setSession(392);
    // Each round names its volume a second later: no round waits for the clock.
    QDateTime clock(QDate(2009, 6, 12), QTime(9, 0));
    qelVolumeHooks().now = [&clock] { return clock = clock.addSecs(1); };
    installReportParts();
    TdmqelParGen parGen;
    dmqelParGen = &parGen;
    parGen.WriteParRptIniFromDb();
    auto module = std::make_unique<TdmqelRptDataSets>();
    g_module = module.get();
    auto rpt = std::make_unique<TdmVxRptFR>();
    rpt->RegisterDataModule(g_module->ModuleName());
    rpt->OnGetValue = [](const QString &name, QVariant &value) {
        g_module->ReportGetValue(name, value);
    };
    rpt->OnEndReport = [] { g_module->CloseAllDataSets(); };
    g_rpt = rpt.get();
    QListWidget classes;
    QelRegisterVolume::LoadSessionClasses(&classes, 392);
    for (int row = 0; row < classes.count(); ++row)
        g_classes << classes.item(row)->data(Qt::UserRole).toInt();
    {
        // Recorded for the bare run; the rows are read once before either is timed.
        TVxStatementRecorder recorder;
        makeVolume();
        g_statements = recorder.statements();
        writeStatementTexts(g_statements);
    }
    // For the plan check (TAVRIN_BENCH_STATEMENTS), every other register template's too.
    if (!qEnvironmentVariableIsEmpty("TAVRIN_BENCH_STATEMENTS")) {
        for (int id : {16170, 16171, 16172, 16173, 16174, 16175, 16179, 16180, 16181, 16182, 16183,
                       16184, 3000001}) {
            TVxStatementRecorder recorder;
            makeVolume(id);
            writeStatementTexts(recorder.statements());
        }
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double volume = g_seconds.value(QStringLiteral("volume"));
    const double bare = g_seconds.value(QStringLiteral("volume bare"));
    std::printf("\nthe register volume of session 392: %d classes, %d pages:\n",
                int(g_classes.size()), g_pages);
    std::printf("whole run:       %.1f ms (median of 3 rounds), %.1f pages per second\n",
                volume * 1000, volume > 0 ? g_pages / volume : 0.0);
    std::printf("bare statements: %.1f ms (%d statements), %.1f pages per second\n", bare * 1000,
                int(g_statements.size()), bare > 0 ? g_pages / bare : 0.0);
    if (bare > 0)
        std::printf("ratio %.2f x the replay (target at most 3)\n", volume / bare);

    qelVolumeHooks() = {};
    rpt.reset();
    g_module = nullptr;
    module.reset();
    dmqelParGen = nullptr;
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
