// "Caricamento per classe" on the demo school (scale 10 unless bench/run.sh names another):
//  - the class window of the largest class session of 2008/2009's final session opened with
//    every vote page loaded, next to the bare time of the statements it ran (recorded once,
//    run again directly in one transaction);
//  - 500 changed cells of a class's vote pages saved through the one save routine, next to the
//    floor
//    measured in the same run: 500 single-row transactions on the same connection, each
//    preparing and running one UPDATE.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/gradeentry_carcls_bench
#include "bench/benchsupport.h"
#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfcarcls.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "platform/dialogseam.h"
#include "platform/maindir.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kCells = 500;

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_loadStatements;
int g_largest = 0;
int g_voted = 0;

int firstInt(const QString &sql)
{
    QSqlQuery q(g_db);
    q.setForwardOnly(true);
    execBound(q, sql, {});
    return fetchNext(q) ? q.value(0).toInt() : 0;
}

void openClass(int iClsSesId)
{
    dmqevDataSets->iAnsSesDwgId = 392;
    dmqevDataSets->ApriClsSes(iClsSesId);
}

void OpenClassWindow(benchmark::State &state)
{
    openClass(g_largest);
    timedStep(state, g_seconds, QStringLiteral("open"), [] {
        auto window = std::make_unique<TfmqevCarCls>();
        window->CaricaFrames();
    });
}

void OpenBare(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("open bare"),
              [] { runStatementsBare(g_db, g_loadStatements, 4); });
}

// The class window of the class session with the most votes, and its first 500 stored cells of
// the vote pages (votes, taxonomies, absences: a class has fewer than 500 votes), each turned
// by every round from one value of its scale to another and back.
struct SaveFixture
{
    struct Cell
    {
        TfrqevCarVot *frame;
        int col;
        int row;
        TqevLivello values[2]; // the two values it takes in turn
    };
    std::unique_ptr<TfmqevCarCls> window;
    std::vector<Cell> cells;
    int round = 0;

    SaveFixture()
    {
        openClass(g_voted);
        window = std::make_unique<TfmqevCarCls>();
        window->CaricaFrames();
        for (int kind : {tdVoti, tdTassonomie, tdAssenze}) {
            auto *frame = static_cast<TfrqevCarVot *>(window->FrameDi(kind));
            TqelStringGrid *g = frame->grGrid;
            for (int r = g->nRowIntest(); r < g->RowCount(); ++r) {
                for (int c = g->nColIntest(); c < g->ColCount(); ++c) {
                    auto rec = g->RecordAt<TRecVal>(c, r);
                    if (int(cells.size()) == kCells || !rec || rec->iPKId == 0)
                        continue;
                    Cell cell{frame, c, r, {}};
                    if (kind == tdAssenze) {
                        cell.values[0].iValId = 1;
                        cell.values[1].iValId = 2;
                        cell.values[0].sValSDesc = QStringLiteral("1");
                        cell.values[1].sValSDesc = QStringLiteral("2");
                    } else {
                        const QList<TqevLivello> levels =
                            frame->Store().Livelli(g->RecordAt<TRecCmp>(c, 1)->iCmpScaId);
                        if (levels.size() < 2)
                            continue;
                        cell.values[0] = levels.at(0);
                        cell.values[1] = levels.at(1);
                    }
                    cells.push_back(cell);
                }
            }
        }
    }

    // The office's edit of every cell, as the cell check leaves it.
    void change()
    {
        const int which = ++round % 2;
        for (const Cell &cell : cells) {
            TqelStringGrid *g = cell.frame->grGrid;
            auto rec = g->RecordAt<TRecVal>(cell.col, cell.row);
            rec->iValId = cell.values[which].iValId;
            rec->sValSDesc = cell.values[which].sValSDesc;
            g->setCells(cell.col, cell.row, rec->sValSDesc);
            g->SegnaModificata(cell.col, cell.row);
        }
    }

    bool save()
    {
        for (int kind : {tdVoti, tdTassonomie, tdAssenze}) {
            if (!window->FrameDi(kind)->SaveDataDb())
                return false;
        }
        return true;
    }
};

SaveFixture *g_save = nullptr;

// The save and its floor in turns, round by round, so that the load of the machine weighs on
// both alike; the medians are compared.
void SaveAndFloor(benchmark::State &state)
{
    struct Row
    {
        QString sql;
        int key;
        int values[2];
    };
    std::vector<Row> rows;
    for (const SaveFixture::Cell &cell : g_save->cells) {
        const int kind = cell.frame->TipoDati;
        const QString sql = kind == tdVoti ? QStringLiteral("UPDATE TVOT_VOTI SET iScaLivId = ? "
                                                            "WHERE iVotId = ?")
                            : kind == tdTassonomie
                                ? QStringLiteral("UPDATE TTAS_TASSONOMIE SET iScaLivId = ? WHERE "
                                                 "iTasId = ?")
                                : QStringLiteral("UPDATE TASS_ASSENZE SET iAssOre = ? WHERE "
                                                 "iAssId = ?");
        rows.push_back({sql,
                        cell.frame->grGrid->RecordAt<TRecVal>(cell.col, cell.row)->iPKId,
                        {cell.values[0].iValId, cell.values[1].iValId}});
    }
    std::vector<double> saves;
    std::vector<double> floors;
    QElapsedTimer timer;
    for (auto _ : state) {
        g_save->change();
        timer.start();
        if (!g_save->save())
            std::exit(1);
        saves.push_back(timer.nsecsElapsed() / 1e9);

        // The floor: the same rows, each updated in a transaction of its own, the statement
        // prepared inside it, to the value the next save writes back.
        const int which = (g_save->round + 1) % 2;
        timer.start();
        for (const Row &row : rows) {
            g_db.transaction();
            QSqlQuery q(g_db);
            q.prepare(row.sql);
            q.bindValue(0, row.values[which]);
            q.bindValue(1, row.key);
            q.exec();
            q.finish();
            g_db.commit();
        }
        floors.push_back(timer.nsecsElapsed() / 1e9);
    }
    g_seconds[QStringLiteral("save")] = median(saves);
    g_seconds[QStringLiteral("floor")] = median(floors);
}

} // namespace

BENCHMARK(OpenClassWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(OpenBare)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(SaveAndFloor)->Unit(benchmark::kMillisecond)->Iterations(9);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    auto module = std::make_unique<TdmqevDataSets>();
    dmqevDataSets = module.get();

    // The largest class session of the final session, and the one with the most votes.
    g_largest = firstInt(QStringLiteral(
        "SELECT FIRST 1 ClsSes.iClsSesId FROM TClsSes ClsSes JOIN TClsPst ClsPst ON "
        "ClsPst.iClsId = ClsSes.iClsId JOIN TSit_Situazioni Sit ON Sit.iClsPstId = "
        "ClsPst.iClsPstId WHERE ClsSes.iAnsSesDwgId = 392 AND Sit.iSitOrdine = 1 AND "
        "Sit.iSitPosReg > 0 GROUP BY ClsSes.iClsSesId ORDER BY COUNT(*) DESC, 1"));
    g_voted = firstInt(QStringLiteral(
        "SELECT FIRST 1 Csm.iClsSesId FROM TVot_Voti Vot JOIN TClsMatCmp Cmc ON "
        "Cmc.iClsMatCmpId = Vot.iClsMatCmpId JOIN TClsSesMat Csm ON Csm.iClsSesMatId = "
        "Cmc.iClsSesMatId JOIN TClsSes ClsSes ON ClsSes.iClsSesId = Csm.iClsSesId WHERE "
        "ClsSes.iAnsSesDwgId = 392 GROUP BY Csm.iClsSesId ORDER BY COUNT(*) DESC, 1"));
    {
        // Recorded for the bare run; the pages are read once before either is timed.
        openClass(g_largest);
        TVxStatementRecorder recorder;
        TfmqevCarCls window;
        window.CaricaFrames();
        g_loadStatements = recorder.statements();
    }
    SaveFixture save;
    g_save = &save;
    if (int(save.cells.size()) < kCells) {
        std::fprintf(stderr, "Class session %d has only %d stored vote cells.\n", g_voted,
                     int(save.cells.size()));
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double open = g_seconds.value(QStringLiteral("open"));
    const double openBare = g_seconds.value(QStringLiteral("open bare"));
    const double saved = g_seconds.value(QStringLiteral("save"));
    const double floor = g_seconds.value(QStringLiteral("floor"));
    std::printf("\nclass window of class session %d (%d pupils), every vote page loaded:\n",
                g_largest, dmqevDataSets->slAlunni.Count());
    std::printf("open:            %.1f ms (target under 500)\n", open * 1000);
    std::printf("bare statements: %.1f ms (%d statements)\n", openBare * 1000,
                int(g_loadStatements.size()));
    std::printf("\n%d cells of the vote pages of class session %d changed and saved:\n", kCells,
                g_voted);
    std::printf("save:  %.1f ms (median of 9 rounds)\n", saved * 1000);
    std::printf("floor: %.1f ms (%d single-row transactions, one UPDATE prepared in each)\n",
                floor * 1000, kCells);
    if (floor > 0)
        std::printf("ratio %.2f x the floor (target at most 1.5)\n", saved / floor);

    g_save = nullptr;
    save.window.reset();
    module.reset();
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
