// The web collection ("Raccolta Tavrin-Web") by class of every web teacher of the working
// session of the demo school at scale 10, from one set of packets (what the web send writes),
// next to a floor in the same run. The floor does what any collection must, teacher by teacher
// as the window does: it reads the packets once, and for each teacher his classes and subjects
// and his rows of the three packets; then it writes his values with plain statements, each text
// prepared once and each run committed by itself. The values are those the collection writes
// in a round (recorded after a first round has brought the school to them), so that both do the
// same updates and inserts. In turns, so that the load of the machine weighs on both alike.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_webcollect_bench
// The last lines give the medians and their ratio (target: at most twice the floor).
#include "bench/benchsupport.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelwebcollect.h"
#include "exchange/qelwebsessionpackets.h"
#include "platform/clientdataset.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QSet>
#include <QTemporaryDir>

#include <optional>

namespace {

constexpr int kSession = 392;
constexpr int kYear = 39;
constexpr int kRounds = 3;

struct Teacher
{
    SendModeTeacher who;
    QList<TVxStatementRecorder::Statement> writes; // of one round of the collection
};

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<Teacher> g_teachers;
QString g_folder;
QString g_classes;
int g_lines = 0;
int g_statements = 0; // run by a recorded round, as the window runs them
int g_prepared = 0;

// The teacher's classes and subjects among the selected classes, as the window reads them
// before it collects him: false when he teaches none of them.
bool teachesSelected(TSQLClientDataSet &assignments, int iAnaId)
{
    QelWebCollection::LoadTeacherAssignments(assignments, kSession, iAnaId);
    assignments.setFilter(QStringLiteral("(iDocId = %1) AND (%2)").arg(iAnaId).arg(g_classes));
    assignments.setFiltered(true);
    return assignments.RecordCount() > 0;
}

bool isWrite(const QString &sql)
{
    const QString head = sql.trimmed().left(6).toUpper();
    return head == QLatin1String("UPDATE") || head == QLatin1String("INSERT") ||
           head == QLatin1String("DELETE") || sql.contains(QLatin1String("PYSetGetId"));
}

// One round of the collection by class; with record, each teacher's writes are kept, and the
// statements of the round (the teachers' classes read as the window reads them) counted.
void collect(bool record = false)
{
    std::optional<TVxStatementRecorder> recorder;
    if (record)
        recorder.emplace();
    QelWebCollection collection(g_folder, kSession);
    collection.SetFlags(
        {{"Vtp", true}, {"Tas", true}, {"Ass", true}, {"Aiu", true}, {"Not", true}, {"Deb", true}});
    collection.SetClsFilter(g_classes);
    g_lines = 0;
    for (Teacher &t : g_teachers) {
        if (QelWebCollection::AssignmentLines(collection.Reads(), kSession, t.who.iAnaId, g_classes)
                .isEmpty())
            continue;
        const qsizetype before = record ? recorder->statements().size() : 0;
        QStringList log;
        collection.ImportTeacherWebData(t.who.iAnaId, &log);
        g_lines += int(log.size());
        if (record) {
            t.writes.clear();
            for (const TVxStatementRecorder::Statement &s : recorder->statements().mid(before))
                if (isWrite(s.sql))
                    t.writes << s;
        }
    }
    if (!record)
        return;
    writeStatementTexts(recorder->statements());
    g_statements = int(recorder->statements().size());
    QSet<QString> texts;
    for (const TVxStatementRecorder::Statement &s : recorder->statements())
        texts << s.sql;
    g_prepared = 0;
    for (const QString &text : std::as_const(texts))
        g_prepared += recorder->prepared(text);
}

// Every field of the rows the filter leaves.
void readRows(TClientDataSet &packet, const QString &filter)
{
    packet.setFilter(filter);
    packet.setFiltered(true);
    for (packet.First(); !packet.Eof(); packet.Next())
        for (int i = 0; i < packet.FieldCount(); ++i)
            benchmark::DoNotOptimize(packet.Fields(i)->Value());
}

void openIfThere(TClientDataSet &packet, const QString &path)
{
    if (QFileInfo(path).isFile())
        packet.LoadFromFile(path);
}

// The floor: the same reading per teacher, the same writes bare.
void floorOfTheCollection()
{
    TClientDataSet votes;
    TClientDataSet debts;
    TClientDataSet classNotes;
    votes.LoadFromFile(g_folder + QStringLiteral("voti.xml"));
    openIfThere(debts, g_folder + QStringLiteral("debiti.xml"));
    openIfThere(classNotes, g_folder + QStringLiteral("classenote.xml"));
    BareStatementRunner writes(g_db);
    TSQLClientDataSet assignments;
    for (const Teacher &t : std::as_const(g_teachers)) {
        const bool teaches = teachesSelected(assignments, t.who.iAnaId);
        assignments.Close();
        if (!teaches)
            continue;
        const QString mine =
            QStringLiteral("(iDocId = %1) AND (%2)").arg(t.who.iAnaId).arg(g_classes);
        readRows(votes, mine);
        if (debts.Active())
            readRows(debts, mine);
        if (classNotes.Active())
            readRows(classNotes, mine);
        for (const TVxStatementRecorder::Statement &s : t.writes) {
            QSqlQuery &q = writes.run(s);
            if (q.isSelect())
                while (q.next())
                    benchmark::DoNotOptimize(q.value(0));
        }
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
        floorOfTheCollection();
        floors.push_back(timer.nsecsElapsed() / 1e9);
    }
    g_seconds[QStringLiteral("collect")] = median(steps);
    g_seconds[QStringLiteral("floor")] = median(floors);
}

} // namespace

// A round writes every value of the school, each in a transaction of its own.
BENCHMARK(CollectAndFloor)->Unit(benchmark::kMillisecond)->Iterations(kRounds);

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
    for (const SendModeTeacher &t : SendBookkeeping(g_db).teachersOfMode(kModeWebService, kSession))
        g_teachers << Teacher{t, {}};
    {
        TVxTransaction reading(g_db);
        if (!reading.StartTransaction())
            std::exit(1);
        QelWebSessionPackets packets(
            kSession, kYear,
            {{"Vot", 0}, {"Vtp", 1}, {"Tas", 1}, {"Ass", 1}, {"Aiu", 1}, {"Not", 1}, {"Deb", 1}});
        for (const Teacher &t : std::as_const(g_teachers))
            packets.AddTeacher(t.who.iAnaId, t.who.sDocNome, t.who.sAnaPwPert);
        packets.Write(g_folder);
    }
    QStringList classes;
    VxEachRow(g_db, QStringLiteral("SELECT C.iClsId FROM TClsSes C WHERE C.iAnsSesDwgId = :s"),
              valuesOf({{"s", kSession}}), [&](const QSqlQuery &q, const QSqlRecord &) {
                  classes << QStringLiteral("(iClsId = %1)").arg(q.value(0).toInt());
              });
    g_classes = classes.join(QLatin1String(" OR "));
    // The first round writes what the school lacked; the second, recorded for the floor, what
    // every round writes. The database's pages are read before either is timed.
    collect();
    collect(true);
    int writes = 0;
    QMap<QString, int> kinds;
    for (const Teacher &t : std::as_const(g_teachers)) {
        writes += int(t.writes.size());
        for (const TVxStatementRecorder::Statement &s : t.writes)
            ++kinds[s.sql.trimmed().section(QLatin1Char(' '), 0, 2)];
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double collected = g_seconds.value(QStringLiteral("collect"));
    const double floor = g_seconds.value(QStringLiteral("floor"));
    std::printf("\n%d web teachers of session %d, %d classes: %d writes a round, %d log lines\n",
                int(g_teachers.size()), kSession, int(classes.size()), writes, g_lines);
    std::printf("statements of a round: %d run, %d prepares\n", g_statements, g_prepared);
    for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
        std::printf("  %6d %s\n", it.value(), qPrintable(it.key()));
    std::printf("collection by class: %.1f ms\n", collected * 1000);
    std::printf("floor (the same reading per teacher, the same writes bare, each committed "
                "by itself): %.1f ms\n",
                floor * 1000);
    if (floor > 0)
        std::printf("ratio %.2f x the floor (target at most 2)\n", collected / floor);
    return 0;
}
