// The report data module over the demo school (scale 10 unless bench/run.sh names another),
// each next to the bare time of the same statements with the same values (recorded once, run
// again directly in one transaction, each text prepared once), the two timed in turns:
// - the chain: every class session of 2008/2009's final session and every pupil of each,
//   scrolled as the report engine scrolls a class report, inside one report run;
// - the report function Voto for every pupil, subject and vote component of that session,
//   evaluated through the engine as a report card's cells are, inside one report run;
// - the report functions GetVoti(pupil, 'SES', 392) and GetAssenze(pupil, 'ANS', 0) for every
//   pupil of that session, as a board prints them, inside one report run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/reports_bench
#include "bench/benchsupport.h"
#include "platform/dialogseam.h"
#include "platform/maindir.h"
#include "reportengine/reportengine.h"
#include "reports/qelreportsinstall.h"
#include "reports/qelrptdatasets.h"

#include <QApplication>
#include <QSqlError>
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

struct Cell
{
    int sit;
    int mat;
    QString call;
};
QList<Cell> g_cells;
QList<TVxStatementRecorder::Statement> g_voteStatements;
int g_votes = 0;

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

// Every vote component of every subject of every pupil of the session's classes, in the
// pupils' study plans.
void loadCells()
{
    QSqlQuery q(g_db);
    const bool ok = q.exec(
        QStringLiteral("SELECT TSit.iSitId, TRma.iMatId, TCmc.iCmpScaId FROM TClsSes TClsSes "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsId = TClsSes.iClsId) "
                       "INNER JOIN TSit_Situazioni TSit ON (TSit.iClsPstId = TClsPst.iClsPstId) "
                       "INNER JOIN TClsSesMat TCsm ON (TCsm.iClsSesId = TClsSes.iClsSesId) "
                       "INNER JOIN TMatRmaPst TMrp ON (TMrp.iMatRmaId = TCsm.iMatRmaId "
                       "AND TMrp.iPstId = TClsPst.iPstId) "
                       "INNER JOIN TMatRma TRma ON (TRma.iMatRmaId = TCsm.iMatRmaId) "
                       "INNER JOIN TClsMatCmp TCmc ON (TCmc.iClsSesMatId = TCsm.iClsSesMatId) "
                       "INNER JOIN TCmpSca TCmpSca ON (TCmpSca.iCmpScaId = TCmc.iCmpScaId) "
                       "WHERE (TClsSes.iAnsSesDwgId = 392) AND (TCmpSca.iCmpScaTass = 0) "
                       "AND (TSit.dDelete IS NULL) ORDER BY TSit.iSitId, TMrp.iMatRmaPstOrdine"));
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
        std::exit(1);
    }
    while (q.next())
        g_cells << Cell{q.value(0).toInt(), q.value(1).toInt(),
                        QStringLiteral("Voto(392, %1, 'BREVE')").arg(q.value(2).toInt())};
}

void printVotes()
{
    TfrReport report;
    TfrRun run(report);
    g_votes = 0;
    for (const Cell &cell : g_cells) {
        g_module->SetCurSitId(cell.sit);
        g_module->SetCurMatId(cell.mat);
        if (!report.Calc(cell.call).toString().isEmpty())
            ++g_votes;
    }
    run.End();
}

// Every pupil of the session's classes, both calls of each.
QStringList g_totalCalls;
QList<TVxStatementRecorder::Statement> g_totalStatements;
int g_averages = 0;

void loadTotalCalls()
{
    QSqlQuery q(g_db);
    const bool ok = q.exec(
        QStringLiteral("SELECT TSit.iSitId FROM TClsSes TClsSes "
                       "INNER JOIN TClsPst TClsPst ON (TClsPst.iClsId = TClsSes.iClsId) "
                       "INNER JOIN TSit_Situazioni TSit ON (TSit.iClsPstId = TClsPst.iClsPstId) "
                       "WHERE (TClsSes.iAnsSesDwgId = 392) AND (TSit.dDelete IS NULL)"));
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
        std::exit(1);
    }
    while (q.next()) {
        g_totalCalls << QStringLiteral("GetVoti(%1, 'SES', 392)").arg(q.value(0).toInt())
                     << QStringLiteral("GetAssenze(%1, 'ANS', 0)").arg(q.value(0).toInt());
    }
}

void printTotals()
{
    TfrReport report;
    TfrRun run(report);
    g_averages = 0;
    for (int i = 0; i < g_totalCalls.size(); i += 2) {
        if (!report.Calc(g_totalCalls[i]).toString().isEmpty())
            ++g_averages;
        report.Calc(g_totalCalls[i + 1]);
    }
    run.End();
}

// The chain and its replay in turns, their medians compared.
void ChainAndReplay(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("chain"), walkSession, g_db, g_statements,
                         4);
}

void VotesAndReplay(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("votes"), printVotes, g_db,
                         g_voteStatements, 6);
}

void TotalsAndReplay(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("totals"), printTotals, g_db,
                         g_totalStatements, 6);
}

} // namespace

BENCHMARK(ChainAndReplay)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(VotesAndReplay)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(TotalsAndReplay)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    installReportParts();
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
    loadCells();
    {
        TVxStatementRecorder recorder;
        printVotes();
        g_voteStatements = positionalStatements(recorder.statements());
    }
    loadTotalCalls();
    {
        TVxStatementRecorder recorder;
        printTotals();
        g_totalStatements = positionalStatements(recorder.statements());
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double chain = g_seconds.value(QStringLiteral("chain"));
    const double bare = g_seconds.value(QStringLiteral("chain bare"));
    std::printf("\nthe chain over session 392: %d class sessions, %d pupils:\n", g_classes,
                g_pupils);
    std::printf("chain:           %.1f ms (median of 3 rounds)\n", chain * 1000);
    std::printf("bare statements: %.1f ms (%d statements)\n", bare * 1000,
                int(g_statements.size()));
    if (bare > 0)
        std::printf("ratio %.2f x the replay (target at most 1.3)\n", chain / bare);

    const double votes = g_seconds.value(QStringLiteral("votes"));
    const double votesBare = g_seconds.value(QStringLiteral("votes bare"));
    std::printf("\nVoto over session 392: %d cells, %d with a vote:\n", int(g_cells.size()),
                g_votes);
    std::printf("through the engine: %.1f ms (median of 5 rounds)\n", votes * 1000);
    std::printf("bare statements:    %.1f ms (%d statements)\n", votesBare * 1000,
                int(g_voteStatements.size()));
    if (votesBare > 0)
        std::printf("ratio %.2f x the replay (target at most 1.5)\n", votes / votesBare);

    const double totals = g_seconds.value(QStringLiteral("totals"));
    const double totalsBare = g_seconds.value(QStringLiteral("totals bare"));
    std::printf("\nGetVoti 'SES' and GetAssenze 'ANS' over session 392: %d pupils, %d with an "
                "average:\n",
                int(g_totalCalls.size() / 2), g_averages);
    std::printf("through the engine: %.1f ms (median of 5 rounds)\n", totals * 1000);
    std::printf("bare statements:    %.1f ms (%d statements)\n", totalsBare * 1000,
                int(g_totalStatements.size()));
    if (totalsBare > 0)
        std::printf("ratio %.2f x the replay (target at most 1.5)\n", totals / totalsBare);

    g_module = nullptr;
    module.reset();
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
