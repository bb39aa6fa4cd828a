// The report data module's chain over the demo school (scale 10 unless bench/run.sh names
// another): every class session of 2008/2009's final session and every pupil of each, scrolled
// as the report engine scrolls a class report, inside one report run; next to the bare time of
// the same statements with the same values (recorded once, run again directly in one
// transaction, each text prepared once).
// The two are timed in turns.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/reports_bench
#include "bench/benchsupport.h"
#include "platform/dialogseam.h"
#include "platform/maindir.h"
#include "reportengine/reportengine.h"
#include "reports/qelrptdatasets.h"

#include <QApplication>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
TdmqelRptDataSets *g_module = nullptr;
int g_classes = 0;
int g_pupils = 0;

// One class report's walk: each class session, and in each every pupil.
void walkSession()
{
    TfrReport report;
    TfrRun run(report);
    TfrQuery *classes = g_module->qquClsSes;
    classes->Close();
    classes->ParamByName(QStringLiteral("iAnsSesDwgId")).setValue(392);
    classes->Open();
    g_classes = g_pupils = 0;
    for (; !classes->Eof(); classes->Next(), ++g_classes) {
        // The class's scroll has put the chain on its first pupil.
        for (TfrQuery *pupils = g_module->qquClsAlu; !pupils->Eof(); pupils->Next())
            ++g_pupils;
    }
    run.End();
    g_module->CloseAllDataSets();
}

// The chain and its replay in turns, round by round, so that the load of the machine weighs
// on both alike; the medians are compared.
void ChainAndReplay(benchmark::State &state)
{
    timedInTurns(state, g_seconds, QStringLiteral("chain"), walkSession, QStringLiteral("bare"),
                 [] { runStatementsBare(g_db, g_statements, 4); });
}

} // namespace

BENCHMARK(ChainAndReplay)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    auto module = std::make_unique<TdmqelRptDataSets>();
    g_module = module.get();
    g_module->SetSelAnsId(39);
    g_module->SetSelAnsSesDwgId(392);
    {
        // Recorded for the bare run; the rows are read once before either is timed.
        TVxStatementRecorder recorder;
        walkSession();
        g_statements = positionalStatements(recorder.statements());
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double chain = g_seconds.value(QStringLiteral("chain"));
    const double bare = g_seconds.value(QStringLiteral("bare"));
    std::printf("\nthe chain over session 392: %d class sessions, %d pupils:\n", g_classes,
                g_pupils);
    std::printf("chain:           %.1f ms (median of 3 rounds)\n", chain * 1000);
    std::printf("bare statements: %.1f ms (%d statements)\n", bare * 1000,
                int(g_statements.size()));
    if (bare > 0)
        std::printf("ratio %.2f x the replay (target at most 1.3)\n", chain / bare);

    g_module = nullptr;
    module.reset();
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
