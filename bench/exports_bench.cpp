// The averages written back for the pupils program: every value of every pupil of the working
// year of the demo school at scale 10 (its final session), with the wait window's progress,
// next to the same reads and writes run bare in the same run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exports_bench
// The last lines give the time of each and their ratio.
#include "bench/benchsupport.h"
#include "bench/drawing.h"
#include "exports/qelpupilsummary.h"
#include "platform/sqlparams.h"
#include "platform/waitwindow.h"

#include <QApplication>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
int g_pupils = 0;

void exportAll()
{
    TfmVxWait wait;
    wait.ShowWait();
    // The working institute, year and session of the demo school.
    PupilSummaryExport().run({39, 392, 2}, {[&](const QString &operation, int count) {
                                                wait.SetOperation(operation);
                                                wait.InitProgressBar(0, count);
                                                g_pupils = count;
                                            },
                                            [&] { wait.StepProgressBar(1); }});
    wait.CloseWait();
}

void Export(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("export"), exportAll);
    state.counters["pupils"] = g_pupils;
}

// The statements the export ran, run again directly in one transaction, every row fetched.
void BareStatements(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("bare"),
              [] { runStatementsBare(g_db, g_statements, 2); });
}

} // namespace

BENCHMARK(Export)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BareStatements)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    drawOffscreenUnlessNamed();
    QApplication app(argc, argv);
    openDemoSchool(g_db, globalConnectionName());
    {
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        exportAll();
        g_statements = recorder.statements();
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double exported = g_seconds.value(QStringLiteral("export"));
    const double bare = g_seconds.value(QStringLiteral("bare"));
    if (bare <= 0)
        return 0;
    std::printf("\nyear 2008/2009, final session: %d pupils, %d statements\n", g_pupils,
                int(g_statements.size()));
    std::printf("export, seven values: %.1f ms\n", exported * 1000);
    std::printf("bare statements:      %.1f ms\n", bare * 1000);
    std::printf("ratio %.2f x the bare statements (target at most 1.5)\n", exported / bare);
    return 0;
}
