// The grade windows on the demo school (scale 10 unless bench/run.sh names another), each timed
// with the statements it runs and, through the latency relay (TAVRIN_BENCH_ROUND_TRIP_US, set by
// bench/run.sh), the network round trips it costs:
//  - "Caricamento per classe" of the largest class session of 2008/2009's final session with
//    every page loaded, next to the bare time of the statements it ran (recorded once, run again
//    directly in one transaction); the statements and round trips of a small class's open
//    beside it, which must be the same: the reads do not grow with the class;
//  - the pupil window opened beside it, and the step to the next pupil;
//  - "Caricamento per materia" of one subject of the same class session;
//  - 50 changed cells of a class's vote pages saved through the one save routine (its check of
//    the stored values included), next to the floor measured in the same run: the 50 updates in
//    one transaction on the same connection, prepared once.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/gradeentry_carcls_bench
#include "bench/benchsupport.h"
#include "gradeentry/qelstringgrid.h"
#include "gradeentry/qevdatasets.h"
#include "gradeentry/qevfcarcls.h"
#include "gradeentry/qevfcarmat.h"
#include "gradeentry/qevfcarsng.h"
#include "gradeentry/qevinstall.h"
#include "gradeentry/qevparvis.h"
#include "gradeentry/qevrcarvot.h"
#include "platform/dialogseam.h"
#include "platform/formregistry.h"
#include "platform/maindir.h"

#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kCells = 50;

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_loadStatements;
int g_largest = 0;
int g_small = 0;
int g_voted = 0;

int firstInt(const QString &sql, const TVxFieldValues &values = {})
{
    QSqlQuery q(g_db);
    q.setForwardOnly(true);
    execBound(q, sql, values);
    return fetchNext(q) ? q.value(0).toInt() : 0;
}

// The class session of the final session with the most (DESC) or fewest pupils on the register
// among those of the course (iIndId) and pages of the class session like (any, when 0).
int classBySize(const char *order, int like = 0)
{
    return firstInt(
        QStringLiteral(
            "SELECT FIRST 1 ClsSes.iClsSesId FROM TClsSes ClsSes JOIN TClsPst ClsPst ON "
            "ClsPst.iClsId = ClsSes.iClsId JOIN TSit_Situazioni Sit ON Sit.iClsPstId = "
            "ClsPst.iClsPstId JOIN TCls_Classi Cls ON Cls.iClsId = ClsSes.iClsId "
            "JOIN TClsSes Som ON (Som.iClsSesId = :iLike OR 0 = :iLike) "
            "JOIN TCls_Classi SomCls ON SomCls.iClsId = Som.iClsId AND "
            "COALESCE(SomCls.iIndId, 0) = COALESCE(Cls.iIndId, 0) AND "
            "Som.iClsSesVot = ClsSes.iClsSesVot AND Som.iClsSesVtp = ClsSes.iClsSesVtp AND "
            "Som.iClsSesTas = ClsSes.iClsSesTas AND Som.iClsSesAss = ClsSes.iClsSesAss AND "
            "Som.iClsSesAiu = ClsSes.iClsSesAiu AND Som.iClsSesNot = ClsSes.iClsSesNot AND "
            "Som.iClsSesDeb = ClsSes.iClsSesDeb AND Som.iClsSesEsi = ClsSes.iClsSesEsi AND "
            "Som.iClsSesCre = ClsSes.iClsSesCre AND Som.iClsSesGdz = ClsSes.iClsSesGdz AND "
            "COALESCE(Som.iTbnId, 0) = COALESCE(ClsSes.iTbnId, 0) "
            "WHERE ClsSes.iAnsSesDwgId = 392 AND Sit.iSitOrdine = 1 AND Sit.iSitPosReg > 0 "
            "GROUP BY ClsSes.iClsSesId ORDER BY COUNT(DISTINCT Sit.iSitId) %1, 1")
            .arg(QLatin1String(order)),
        valuesOf({{"iLike", like}}));
}

void openClass(int iClsSesId, int iClsSesMatId = 0)
{
    dmqevDataSets->iAnsSesDwgId = 392;
    dmqevDataSets->iClsSesMatId = iClsSesMatId;
    dmqevDataSets->ApriClsSes(iClsSesId);
}

template <typename Window> std::unique_ptr<Window> openWindow(const char *className)
{
    std::unique_ptr<Window> window(
        static_cast<Window *>(FormRegistry::create(QString::fromLatin1(className))));
    window->CaricaFrames();
    return window;
}

// What one step costs: its statements and the round trips the relay counted (none without it).
struct Cost
{
    int statements = 0;
    long long roundTrips = -1;
};
QMap<QString, Cost> g_costs;
QStringList g_smallOnly; // statements of the small class's open that the largest's has not
QStringList g_largeOnly;

// Runs the step once, noting its cost; returns the statements it ran.
template <typename Step>
QList<TVxStatementRecorder::Statement> countStep(const QString &name, Step step)
{
    const long long before = benchRelay() ? benchRelay()->roundTrips() : 0;
    TVxStatementRecorder recorder;
    step();
    Cost &cost = g_costs[name];
    cost.statements = int(recorder.statements().size());
    cost.roundTrips = benchRelay() ? benchRelay()->roundTrips() - before : -1;
    return recorder.statements();
}

void OpenClassWindow(benchmark::State &state)
{
    openClass(g_largest);
    timedStep(state, g_seconds, QStringLiteral("open"),
              [] { openWindow<TfmqevCarCls>(QevForms::CarCls); });
}

void OpenBare(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("open bare"),
              [] { runStatementsBare(g_db, g_loadStatements, 4); });
}

// The pupil window beside the class window, on the fourth pupil as its row's "Singolo
// alunno..." opens it; then the step to the next one.
void PupilWindow(benchmark::State &state)
{
    openClass(g_largest);
    auto classWindow = openWindow<TfmqevCarCls>(QevForms::CarCls);
    TqelStringGrid *grid = classWindow->FrameAttivo()->grGrid;
    grid->MoveCursor(grid->nColIntest(), grid->nRowIntest() + 3);
    auto selectPupil = [] {
        auto ana = dmqevDataSets->slAlunni.ObjectAs<TRecAna>(3);
        dmqevDataSets->iAnaId = ana->iAnaId;
        dmqevDataSets->iPstIdSel = ana->iPstId;
        dmqevDataSets->SelezionaAlunno(ana->iSitId);
    };
    timedStep(state, g_seconds, QStringLiteral("pupil"), [&] {
        selectPupil();
        openWindow<TfmqevCarSng>(QevForms::CarSng);
    });
    selectPupil();
    auto pupilWindow = openWindow<TfmqevCarSng>(QevForms::CarSng);
    countStep(QStringLiteral("next pupil"), [&] { pupilWindow->CambiaAlunno(true); });
    countStep(QStringLiteral("pupil"), [&] {
        selectPupil();
        openWindow<TfmqevCarSng>(QevForms::CarSng);
    });
}

void SubjectWindow(benchmark::State &state)
{
    openClass(g_largest);
    const int subject = dmqevDataSets->slMaterie.ObjectAs<TRecMat>(1)->iClsSesMatId;
    auto open = [subject] {
        openClass(g_largest, subject);
        openWindow<TfmqevCarMat>(QevForms::CarMat);
    };
    timedStep(state, g_seconds, QStringLiteral("subject"), open);
    countStep(QStringLiteral("subject"), open);
    openClass(g_largest);
}

// The class window of the class session with the most votes, and its first 50 stored cells of
// the vote pages, each turned by every round from one value of its scale to another and back.
struct SaveFixture
{
    struct Cell
    {
        TfrqevCarVot *frame;
        int col;
        int row;
        TqevLivello values[2]; // the two values it takes in turn
        TqevLivello stored;    // the value it had, written back at the end
    };
    std::unique_ptr<TfmqevCarCls> window;
    std::vector<Cell> cells;
    int round = 0;

    SaveFixture()
    {
        openClass(g_voted);
        window = openWindow<TfmqevCarCls>(QevForms::CarCls);
        auto *frame = static_cast<TfrqevCarVot *>(window->FrameDi(tdVoti));
        TqelStringGrid *g = frame->grGrid;
        for (int r = g->nRowIntest(); r < g->RowCount(); ++r) {
            for (int c = g->nColIntest(); c < g->ColCount(); ++c) {
                auto rec = g->RecordAt<TRecVal>(c, r);
                if (int(cells.size()) == kCells || !rec || rec->iPKId == 0)
                    continue;
                const QList<TqevLivello> levels =
                    frame->Store().Livelli(g->RecordAt<TRecCmp>(c, 1)->iCmpScaId);
                if (levels.size() < 2)
                    continue;
                TqevLivello stored;
                stored.iValId = rec->iValId;
                stored.sValSDesc = rec->sValSDesc;
                cells.push_back({frame, c, r, {levels.at(0), levels.at(1)}, stored});
            }
        }
    }

    // The office's edit of every cell, as the cell check leaves it: to one of its two values
    // in turn, or back to the stored one.
    void change(bool back = false)
    {
        const int which = ++round % 2;
        for (const Cell &cell : cells) {
            const TqevLivello &value = back ? cell.stored : cell.values[which];
            TqelStringGrid *g = cell.frame->grGrid;
            auto rec = g->RecordAt<TRecVal>(cell.col, cell.row);
            rec->iValId = value.iValId;
            rec->sValSDesc = value.sValSDesc;
            g->setCells(cell.col, cell.row, rec->sValSDesc);
            g->SegnaModificata(cell.col, cell.row);
        }
    }

    bool save() { return window->FrameDi(tdVoti)->SaveDataDb(); }
};

SaveFixture *g_save = nullptr;

// The floor: the same rows updated in one transaction, the statement prepared once, each to
// the value it holds (the one the save just wrote), so that the next save finds what it read.
void floor()
{
    const int which = g_save->round % 2;
    g_db.transaction();
    QSqlQuery q(g_db);
    q.prepare(QStringLiteral("UPDATE TVOT_VOTI SET iScaLivId = ? WHERE iVotId = ?"));
    for (const SaveFixture::Cell &cell : g_save->cells) {
        q.bindValue(0, cell.values[which].iValId);
        q.bindValue(1, cell.frame->grGrid->RecordAt<TRecVal>(cell.col, cell.row)->iPKId);
        q.exec();
    }
    q.finish();
    g_db.commit();
}

// The save and its floor in turns, round by round, so that the load of the machine weighs on
// both alike; the medians are compared.
void SaveAndFloor(benchmark::State &state)
{
    std::vector<double> saves;
    std::vector<double> floors;
    QElapsedTimer timer;
    for (auto _ : state) {
        g_save->change();
        timer.start();
        if (!g_save->save())
            std::exit(1);
        saves.push_back(timer.nsecsElapsed() / 1e9);

        timer.start();
        floor();
        floors.push_back(timer.nsecsElapsed() / 1e9);
    }
    g_seconds[QStringLiteral("save")] = median(saves);
    g_seconds[QStringLiteral("floor")] = median(floors);
    g_save->change();
    countStep(QStringLiteral("save"), [] { g_save->save(); });
    countStep(QStringLiteral("floor"), [] { floor(); });
    // The school as it was: the pages of the next run (through the relay too) read the same
    // values, and so run the same statements.
    g_save->change(true);
    g_save->save();
}

QStringList texts(const QList<TVxStatementRecorder::Statement> &statements)
{
    QStringList list;
    for (const auto &s : statements)
        list << s.sql.left(70);
    return list;
}

QString costOf(const QString &name)
{
    const Cost cost = g_costs.value(name);
    return cost.roundTrips < 0 ? QStringLiteral("%1 statements").arg(cost.statements)
                               : QStringLiteral("%1 statements, %2 round trips")
                                     .arg(cost.statements)
                                     .arg(cost.roundTrips);
}

} // namespace

BENCHMARK(OpenClassWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(OpenBare)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(PupilWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(SubjectWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(SaveAndFloor)->Unit(benchmark::kMillisecond)->Iterations(9);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    registerGradeEntryForms();
    openDemoSchool(g_db, globalConnectionName());
    auto module = std::make_unique<TdmqevDataSets>();
    dmqevDataSets = module.get();

    // The largest and the smallest class session of the final session, and the one with the
    // most votes.
    g_largest = classBySize("DESC");
    g_small = classBySize("ASC", g_largest);
    g_voted = firstInt(QStringLiteral(
        "SELECT FIRST 1 Csm.iClsSesId FROM TVot_Voti Vot JOIN TClsMatCmp Cmc ON "
        "Cmc.iClsMatCmpId = Vot.iClsMatCmpId JOIN TClsSesMat Csm ON Csm.iClsSesMatId = "
        "Cmc.iClsSesMatId JOIN TClsSes ClsSes ON ClsSes.iClsSesId = Csm.iClsSesId WHERE "
        "ClsSes.iAnsSesDwgId = 392 GROUP BY Csm.iClsSesId ORDER BY COUNT(*) DESC, 1"));
    int smallPupils = 0;
    {
        // The pages are read once before anything is timed; the largest class's statements are
        // recorded for the bare run.
        openClass(g_small);
        smallPupils = dmqevDataSets->slAlunni.Count();
        const auto small = countStep(QStringLiteral("open small"),
                                     [] { openWindow<TfmqevCarCls>(QevForms::CarCls); });
        openClass(g_largest);
        g_loadStatements =
            countStep(QStringLiteral("open"), [] { openWindow<TfmqevCarCls>(QevForms::CarCls); });
        // What the data of the two classes asks apart (an average read only when the first
        // pupil has a value that counts), by the statements' beginnings.
        g_smallOnly = texts(small);
        g_largeOnly = texts(g_loadStatements);
        for (const QString &text : QStringList(g_smallOnly)) {
            if (g_largeOnly.removeOne(text))
                g_smallOnly.removeOne(text);
        }
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

    auto ms = [](const char *name) { return g_seconds.value(QString::fromLatin1(name)) * 1000; };
    auto cost = [](const char *name) { return qPrintable(costOf(QString::fromLatin1(name))); };
    openClass(g_largest);
    if (benchRelay())
        std::printf("\nthrough the relay, %d us a round trip:",
                    benchRelay()->roundTripMicroseconds());
    std::printf("\nclass window of class session %d (%d pupils), every page loaded:\n", g_largest,
                dmqevDataSets->slAlunni.Count());
    std::printf("open:            %.1f ms, %s\n", ms("open"), cost("open"));
    std::printf("bare statements: %.1f ms\n", ms("open bare"));
    if (ms("open bare") > 0)
        std::printf("ratio %.2f x the bare statements\n", ms("open") / ms("open bare"));
    std::printf("class session %d (%d pupils, the same pages): %s\n", g_small, smallPupils,
                cost("open small"));
    for (const QString &text : g_smallOnly)
        std::printf("  only in the smaller: %s...\n", qPrintable(text));
    for (const QString &text : g_largeOnly)
        std::printf("  only in the larger:  %s...\n", qPrintable(text));
    std::printf("\npupil window beside it: %.1f ms, %s\n", ms("pupil"), cost("pupil"));
    std::printf("next pupil: %s\n", cost("next pupil"));
    std::printf("subject window: %.1f ms, %s\n", ms("subject"), cost("subject"));
    std::printf("\n%d cells of the votes page of class session %d changed and saved:\n", kCells,
                g_voted);
    std::printf("save:  %.1f ms (median of 9 rounds), %s\n", ms("save"), cost("save"));
    std::printf("floor: %.1f ms (%d updates in one transaction, prepared once), %s\n", ms("floor"),
                kCells, cost("floor"));
    if (ms("floor") > 0)
        std::printf("ratio %.2f x the floor\n", ms("save") / ms("floor"));

    g_save = nullptr;
    save.window.reset();
    module.reset();
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
