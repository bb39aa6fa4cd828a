// Vote averages of a whole school: every pupil of the working year of the demo school at scale
// 10 averaged (votes and proposed votes) through the one implementation, inside one read
// transaction as the reports run them, next to the same statements run bare in the same run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/gradeentry_bench
// The last lines give the time per pupil of each and their ratio.
#include "bench/benchsupport.h"
#include "gradeentry/qevutil.h"
#include "platform/connection.h"
#include "platform/sqlparams.h"
#include "platform/transaction.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <vector>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;

struct Pupil
{
    int iSitId;
    int iClsSesId;
};
std::vector<Pupil> g_pupils;
QList<TVxStatementRecorder::Statement> g_statements;

// Every pupil situation of 2008/2009 with its class session of the final session.
void listPupils()
{
    QSqlQuery q(g_db);
    q.setForwardOnly(true);
    execBound(q,
              QStringLiteral("SELECT Sit.iSitId, ClsSes.iClsSesId FROM TSit_Situazioni Sit "
                             "JOIN TClsPst ClsPst ON ClsPst.iClsPstId = Sit.iClsPstId "
                             "JOIN TClsSes ClsSes ON ClsSes.iClsId = ClsPst.iClsId "
                             "WHERE ClsSes.iAnsSesDwgId = 392 ORDER BY Sit.iSitId"),
              {});
    while (fetchNext(q))
        g_pupils.push_back({q.value(0).toInt(), q.value(1).toInt()});
}

double averageSchool()
{
    TVxTransaction tr(g_db);
    if (!tr.StartTransaction())
        std::exit(1);
    double sum = 0;
    SetAnsIdMedia(39);
    for (const Pupil &p : g_pupils) {
        sum += MediaVoti(p.iSitId, -1, p.iClsSesId, false);
        sum += MediaVotiProposti(p.iSitId, -1, p.iClsSesId);
    }
    tr.Commit();
    return sum;
}

void Averages(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("averages"),
              [] { benchmark::DoNotOptimize(averageSchool()); });
    state.counters["pupils"] = double(g_pupils.size());
}

// The statements the averages ran, recorded once, run again directly: each text prepared once
// in one transaction, every row fetched and its six values read.
void BareStatements(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("bare"),
              [] { runStatementsBare(g_db, g_statements, 6); });
}

} // namespace

BENCHMARK(Averages)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BareStatements)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    openDemoSchool(g_db, globalConnectionName());
    listPupils();
    {
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        averageSchool();
        g_statements = recorder.statements();
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double pupils = double(g_pupils.size());
    const double averages = g_seconds.value(QStringLiteral("averages"));
    const double bare = g_seconds.value(QStringLiteral("bare"));
    if (pupils <= 0 || bare <= 0)
        return 0;
    std::printf("\n%.0f pupils, vote and proposed-vote average each\n", pupils);
    std::printf("averages:        %.3f ms per pupil (target at most 1)\n",
                averages * 1000 / pupils);
    std::printf("bare statements: %.3f ms per pupil\n", bare * 1000 / pupils);
    std::printf("ratio %.2f x the bare statements (target at most 1.5)\n", averages / bare);
    return 0;
}
