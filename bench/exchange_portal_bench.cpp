// "Pagelle Web" on the demo school (scale 10 unless bench/run.sh names another): the packages of
// every class session of every session, each session run as the wizard runs it with every
// export option ticked, next to the bare time of the statements they ran (recorded once, run
// again directly in one transaction), the two in turns in the same run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_portal_bench
// The packages are cleared again at the end: the school is left as it was.
#include "bench/benchsupport.h"
#include "exchange/qelportalpackages.h"
#include "platform/dialogseam.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <map>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
std::map<int, QList<int>> g_sessions; // iAnsSesDwgId -> its class sessions
int g_classSessions = 0;

void buildAll()
{
    QelPortalOptions options;
    options.absences = options.notes = true;
    options.finalOutcome = options.credits = options.judgment = true;
    for (const auto &[session, classSessions] : g_sessions) {
        PortalPackageBuilder builder(PortalPackageBuilder::PortalPackages, options, session);
        for (int iClsSesId : classSessions)
            builder.Build(iClsSesId);
        builder.Finish();
    }
}

// The packages and their bare statements in turns, their medians compared.
void PackagesAndBare(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("packages"), buildAll, g_db, g_statements,
                         4);
    state.counters["class sessions"] = g_classSessions;
}

} // namespace

BENCHMARK(PackagesAndBare)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    {
        QSqlQuery q(g_db);
        q.setForwardOnly(true);
        execBound(q, QStringLiteral("SELECT iAnsSesDwgId, iClsSesId FROM TClsSes ORDER BY 1, 2"),
                  {});
        while (fetchNext(q)) {
            g_sessions[q.value(0).toInt()] << q.value(1).toInt();
            ++g_classSessions;
        }
    }
    {
        // Recorded for the bare run; the data is read once before either is timed.
        TVxStatementRecorder recorder;
        buildAll();
        g_statements = recorder.statements();
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double packages = g_seconds.value(QStringLiteral("packages"));
    const double bare = g_seconds.value(QStringLiteral("packages bare"));
    std::printf("\npackages of %d class sessions in %d sessions, every option ticked:\n",
                g_classSessions, int(g_sessions.size()));
    std::printf("packages:        %.1f ms (median of 3 rounds)\n", packages * 1000);
    std::printf("bare statements: %.1f ms (%d statements, run in turns with the packages)\n",
                bare * 1000, int(g_statements.size()));
    if (bare > 0)
        std::printf("ratio %.2f x the bare statements (target at most 2)\n", packages / bare);

    {
        TVxTransaction clear(g_db);
        if (clear.StartTransaction()) {
            clear.Exec(QStringLiteral("UPDATE TClsSes SET bClsSesRepos = NULL"), {});
            clear.Commit();
        }
    }
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
