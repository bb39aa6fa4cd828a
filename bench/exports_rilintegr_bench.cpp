// The supplementary survey of scrutiny outcomes: every count of the working session of the demo
// school at scale 10 (upper secondary, every class of every site), next to its count and
// subject queries run bare in the same run, in turns.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exports_rilintegr_bench
// The last lines give the time of each and their ratio.
#include "bench/benchsupport.h"
#include "exports/qelexpscru.h"
#include "platform/globalvars.h"

#include <QCoreApplication>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
int g_rows = 0;

void computeAll()
{
    TdmQelExpScru module;
    module.ComputeEsitiScrutinio();
    g_rows = module.cdsRisultatoEsiti.RecordCount();
}

void Compute(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("compute"), computeAll, g_db,
                         g_statements, 8);
    state.counters["rows"] = g_rows;
}

} // namespace

BENCHMARK(Compute)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    openDemoSchool(g_db, globalConnectionName());
    // The working institute, year and session of the demo school.
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), 2);
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 39);
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 392);
    {
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        computeAll();
        g_statements = recorder.statements();
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double computed = g_seconds.value(QStringLiteral("compute"));
    const double bare = g_seconds.value(QStringLiteral("compute bare"));
    if (bare <= 0)
        return 0;
    std::printf("\nyear 2008/2009, final session: %d result rows, %d statements\n", g_rows,
                int(g_statements.size()));
    std::printf("computation:     %.1f ms\n", computed * 1000);
    std::printf("bare statements: %.1f ms\n", bare * 1000);
    std::printf("ratio %.2f x the bare statements (target at most 1.3)\n", computed / bare);
    return 0;
}
