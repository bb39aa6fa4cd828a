// Opening the make-up window "Recuperi" on the largest class of the working session of the
// demo school at scale 10 (every statement of the load, the grid filled and painted once), next
// to the same statements run bare in the same run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/makeup_bench
// The last lines give the time of each and their ratio.
#include "bench/benchsupport.h"
#include "bench/drawing.h"
#include "gradeentry/qevdatasets.h"
#include "makeup/qelfrec.h"
#include "makeup/qelrgrigliarec.h"
#include "platform/globalvars.h"
#include "platform/sqlparams.h"

#include <QApplication>
#include <QSqlQuery>

#include <memory>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
int g_pupils = 0;
int g_subjects = 0;

// The class session of the working session with the most pupils on the register.
int largestClass()
{
    QSqlQuery q(g_db);
    q.setForwardOnly(true);
    execBound(q,
              QStringLiteral("SELECT FIRST 1 ClsSes.iClsSesId FROM TClsSes ClsSes "
                             "JOIN TClsPst P ON P.iClsId = ClsSes.iClsId "
                             "JOIN TSit_Situazioni Sit ON Sit.iClsPstId = P.iClsPstId "
                             "WHERE ClsSes.iAnsSesDwgId = 392 AND Sit.iSitOrdine = 1 "
                             "AND Sit.iSitPosReg > 0 GROUP BY ClsSes.iClsSesId "
                             "ORDER BY COUNT(*) DESC, ClsSes.iClsSesId"),
              {});
    return fetchNext(q) ? q.value(0).toInt() : 0;
}

void openWindow()
{
    TfmQelRec window;
    window.show();
    QCoreApplication::processEvents();
    TVxStringGrid *grid = window.frQelGrigliaRec1()->dbgRec();
    g_pupils = grid->RowCount() - 1;
    g_subjects = grid->ColCount() - 1;
    benchmark::DoNotOptimize(grid->Cells(1, 1));
}

void OpenWindow(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("window"), openWindow);
    state.counters["pupils"] = g_pupils;
    state.counters["subjects"] = g_subjects;
}

// The statements the opening ran, run again directly in one transaction, every row fetched.
void BareStatements(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("bare"),
              [] { runStatementsBare(g_db, g_statements, 1); });
}

} // namespace

BENCHMARK(OpenWindow)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BareStatements)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char **argv)
{
    drawOffscreenUnlessNamed();
    QApplication app(argc, argv);
    openDemoSchool(g_db, globalConnectionName());
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 39);
    const int iClsSesId = largestClass();
    auto dm = std::make_unique<TdmqevDataSets>();
    dmqevDataSets = dm.get();
    dm->iAnsId = 39;
    dm->iAnsIdSel = 39;
    dm->iAnsSesDwgId = 392;
    dm->ApriClsSes(iClsSesId);
    {
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        openWindow();
        g_statements = recorder.statements();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dmqevDataSets = nullptr;
    dm.reset();
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());

    const double window = g_seconds.value(QStringLiteral("window"));
    const double bare = g_seconds.value(QStringLiteral("bare"));
    if (bare <= 0)
        return 0;
    std::printf("\nclass session %d: %d pupils, %d subjects, %d statements\n", iClsSesId, g_pupils,
                g_subjects, int(g_statements.size()));
    std::printf("window opened:   %.1f ms (target under 300)\n", window * 1000);
    std::printf("bare statements: %.1f ms\n", bare * 1000);
    std::printf("ratio %.2f x the bare statements\n", window / bare);
    return 0;
}
