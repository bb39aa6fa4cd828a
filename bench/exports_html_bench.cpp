// The pupils' history pages of the largest class of the working year of the demo school at
// scale 10, as the class export writes them, next to the same reads run bare in the same run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exports_html_bench
// The last lines give the time of each and their ratio.
#include "bench/benchsupport.h"
#include "exports/qelhtml.h"
#include "platform/sqlparams.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
QTemporaryDir g_folder;
int g_class = 0;
int g_pupils = 0;

void writePages()
{
    TdmqelHtml html;
    html.CurrentAnsId = 39;
    html.BuildHistory(QString::number(g_class), g_folder.path() + QStringLiteral("/classe/"));
}

void Pages(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("pages"), writePages, g_db,
                         g_statements, -1);
    state.counters["pupils"] = g_pupils;
}

} // namespace

BENCHMARK(Pages)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    openDemoSchool(g_db, globalConnectionName());
    QSqlQuery largest(g_db);
    largest.exec(QStringLiteral(
        "SELECT FIRST 1 Cp.iClsId, COUNT(*) FROM TSit_Situazioni Sit JOIN TClsPst Cp ON "
        "Cp.iClsPstId = Sit.iClsPstId JOIN TCls_Classi Cls ON Cls.iClsId = Cp.iClsId "
        "JOIN TAns_AnniScolast Ans ON Ans.dAnsVextoInizio = Cls.dStart WHERE Ans.iAnsId = 39 "
        "AND Sit.iSitOrdine = 1 GROUP BY Cp.iClsId ORDER BY 2 DESC, 1"));
    if (!largest.next())
        return 1;
    g_class = largest.value(0).toInt();
    g_pupils = largest.value(1).toInt();
    largest.finish();
    g_db.commit();
    {
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        writePages();
        g_statements = recorder.statements();
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double pages = g_seconds.value(QStringLiteral("pages"));
    const double bare = g_seconds.value(QStringLiteral("pages bare"));
    if (bare <= 0)
        return 0;
    std::printf("\nclass %d, %d pupils: %d statements\n", g_class, g_pupils,
                int(g_statements.size()));
    std::printf("history pages:   %.1f ms\n", pages * 1000);
    std::printf("bare statements: %.1f ms\n", bare * 1000);
    std::printf("ratio %.2f x the bare statements (target at most 1.5)\n", pages / bare);
    return 0;
}
