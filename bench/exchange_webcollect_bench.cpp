// The web collection ("Raccolta Tavrin-Web") by class of every web teacher of the working
// session of the demo school at scale 10, from one set of packets (what the web send writes),
// next to a floor in the same run: the same updates and inserts as plain statements, each
// prepared once and run in a transaction of its own. In turns, so that the load of the machine
// weighs on both alike.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_webcollect_bench
// The last lines give the medians and their ratio (target: at most twice the floor).
#include "bench/benchsupport.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelwebcollect.h"
#include "exchange/qelwebsessionpackets.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QTemporaryDir>

namespace {

constexpr int kSession = 392;
constexpr int kYear = 39;

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_writes;
QList<SendModeTeacher> g_teachers;
QString g_folder;
QString g_classes;
int g_lines = 0;

void collect()
{
    QelWebCollection collection(g_folder, kSession);
    collection.SetFlags({{"Vtp", true}, {"Tas", true}, {"Ass", true}, {"Aiu", true},
                         {"Not", true}, {"Deb", true}});
    collection.SetClsFilter(g_classes);
    TSQLClientDataSet assignments;
    g_lines = 0;
    for (const SendModeTeacher &t : std::as_const(g_teachers)) {
        QelWebCollection::LoadTeacherAssignments(assignments, kSession, t.iAnaId);
        assignments.setFilter(QStringLiteral("(iDocId = %1) AND (%2)").arg(t.iAnaId).arg(g_classes));
        assignments.setFiltered(true);
        if (assignments.RecordCount() == 0)
            continue;
        QStringList log;
        collection.ImportTeacherWebData(t.iAnaId, &log);
        g_lines += int(log.size());
    }
}

// The writes alone: each text prepared once outside a transaction, so that every run commits
// by itself.
void floorWrites()
{
    std::map<QString, std::pair<std::unique_ptr<QSqlQuery>, QStringList>> prepared;
    for (const TVxStatementRecorder::Statement &s : std::as_const(g_writes)) {
        auto &p = prepared[s.sql];
        if (!p.first) {
            const TVxNamedStatement positional = toPositional(s.sql);
            p.first = std::make_unique<QSqlQuery>(g_db);
            p.first->prepare(positional.sql);
            p.second = positional.names;
        }
        for (int i = 0; i < p.second.size(); ++i)
            p.first->bindValue(i, s.values.value(p.second.at(i)));
        p.first->exec();
    }
}

void CollectAndFloor(benchmark::State &state)
{
    std::vector<double> steps;
    std::vector<double> floors;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        collect();
        steps.push_back(timer.nsecsElapsed() / 1e9);
        timer.start();
        floorWrites();
        floors.push_back(timer.nsecsElapsed() / 1e9);
    }
    g_seconds[QStringLiteral("collect")] = median(steps);
    g_seconds[QStringLiteral("floor")] = median(floors);
}

} // namespace

// One round: a round writes every value of the school, each in a transaction of its own.
BENCHMARK(CollectAndFloor)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    g_folder = mainDir.path() + QStringLiteral("/web/");
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    TVxWorkingContext::setSchoolYear(kYear);
    TVxWorkingContext::setSession(kSession);
    g_teachers = SendBookkeeping(g_db).teachersOfMode(kModeWebService, kSession);
    {
        TVxTransaction reading(g_db);
        if (!reading.StartTransaction())
            std::exit(1);
        QelWebSessionPackets packets(
            kSession, kYear,
            {{"Vot", 0}, {"Vtp", 1}, {"Tas", 1}, {"Ass", 1}, {"Aiu", 1}, {"Not", 1}, {"Deb", 1}});
        for (const SendModeTeacher &t : std::as_const(g_teachers))
            packets.AddTeacher(t.iAnaId, t.sDocNome, t.sAnaPwPert);
        packets.Write(g_folder);
    }
    QStringList classes;
    VxEachRow(g_db, QStringLiteral("SELECT C.iClsId FROM TClsSes C WHERE C.iAnsSesDwgId = :s"),
              valuesOf({{"s", kSession}}),
              [&](const QSqlQuery &q, const QSqlRecord &) {
                  classes << QStringLiteral("(iClsId = %1)").arg(q.value(0).toInt());
              });
    g_classes = classes.join(QLatin1String(" OR "));
    {
        // Recorded for the floor; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        collect();
        for (const TVxStatementRecorder::Statement &s : recorder.statements()) {
            const QString head = s.sql.trimmed().left(6).toUpper();
            if (head == QLatin1String("UPDATE") || head == QLatin1String("INSERT") ||
                head == QLatin1String("DELETE") || s.sql.contains(QLatin1String("PYSetGetId")))
                g_writes << s;
        }
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double collected = g_seconds.value(QStringLiteral("collect"));
    const double floor = g_seconds.value(QStringLiteral("floor"));
    std::printf("\n%d web teachers of session %d, %d classes: %d writes, %d log lines\n",
                int(g_teachers.size()), kSession, int(classes.size()), int(g_writes.size()),
                g_lines);
    std::printf("collection by class: %.1f ms\n", collected * 1000);
    std::printf("floor (same writes, one transaction each): %.1f ms\n", floor * 1000);
    if (floor > 0)
        std::printf("ratio %.2f x the floor (target at most 2)\n", collected / floor);
    return 0;
}
