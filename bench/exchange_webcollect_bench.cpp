// The web collections by class of every web teacher of the working session of the demo school at
// scale 10, from one set of packets (what the web sends write): the session's ("Raccolta
// Tavrin-Web") and the make-up results of the year's first phase ("Raccolta Recuperi
// Tavrin-Web"), each next to a floor in the same run. The floor does what any collection must,
// teacher by teacher as the window does: it reads the packets once, and for each teacher his
// classes and subjects and his rows of the packets; then it writes his values with plain
// statements, each text prepared once and each run committed by itself. The values are those the
// collection writes in a round (recorded after a first round has brought the school to them), so
// that both do the same writes. In turns, so that the load of the machine weighs on both alike.
// Each prints the statements its recorded round ran and how often they were prepared.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_webcollect_bench
// The last lines give the medians and their ratios (target: at most twice the floor).
#include "bench/benchsupport.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelwebcollect.h"
#include "exchange/qelwebrecupericollect.h"
#include "exchange/qelwebrecuperipackets.h"
#include "exchange/qelwebsessionpackets.h"
#include "platform/clientdataset.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QSet>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace {

constexpr int kSession = 392;
constexpr int kYear = 39;
constexpr int kPhase = 1;
constexpr int kRounds = 3;

// The two collections.
enum Kind { kSessionData, kMakeUps };

struct Teacher
{
    SendModeTeacher who;
    QList<TVxStatementRecorder::Statement> writes[2]; // of one round of each collection
};

// What a recorded round ran, and the times of the rounds timed.
struct Round
{
    const char *name;
    QStringList packets; // those the floor reads
    int statements = 0, prepared = 0, lines = 0;
    double seconds = 0, floor = 0;
};

QSqlDatabase g_db;
QList<Teacher> g_teachers;
QString g_folder;
QString g_classes;
Round g_rounds[] = {
    {"collection by class", {"voti.xml", "debiti.xml", "classenote.xml"}},
    {"make-up collection", {"recuperi.xml"}},
};

// The teacher's classes and subjects among the selected classes, as a floor reads them before
// it collects him: false when he teaches none of them.
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

// One round of a collection by class, as the window runs it (the teachers' classes read on the
// collection's reads); with record, each teacher's writes are kept, and the statements of the
// round counted.
void collect(Kind kind, bool record = false)
{
    std::optional<TVxStatementRecorder> recorder;
    if (record)
        recorder.emplace();
    std::unique_ptr<QelWebCollection> session;
    std::unique_ptr<QelWebMakeUpCollection> makeUps;
    QSqlDatabase reads;
    if (kind == kSessionData) {
        session = std::make_unique<QelWebCollection>(g_folder, kSession);
        session->SetFlags({{"Vtp", true},
                           {"Tas", true},
                           {"Ass", true},
                           {"Aiu", true},
                           {"Not", true},
                           {"Deb", true}});
        session->SetClsFilter(g_classes);
        reads = session->Reads();
    } else {
        makeUps = std::make_unique<QelWebMakeUpCollection>(g_folder, kYear, kPhase);
        makeUps->SetClsFilter(g_classes);
        reads = makeUps->Reads();
    }
    Round &round = g_rounds[kind];
    round.lines = 0;
    for (Teacher &t : g_teachers) {
        if (QelWebCollection::AssignmentLines(reads, kSession, t.who.iAnaId, g_classes).isEmpty())
            continue;
        const qsizetype before = record ? recorder->statements().size() : 0;
        QStringList log;
        if (session)
            session->ImportTeacherWebData(t.who.iAnaId, &log);
        else
            makeUps->ImportMakeUpResults(t.who.iAnaId, &log);
        round.lines += int(log.size());
        if (record) {
            t.writes[kind].clear();
            for (const TVxStatementRecorder::Statement &s : recorder->statements().mid(before))
                if (isWrite(s.sql))
                    t.writes[kind] << s;
        }
    }
    if (!record)
        return;
    writeStatementTexts(recorder->statements());
    round.statements = int(recorder->statements().size());
    QSet<QString> texts;
    for (const TVxStatementRecorder::Statement &s : recorder->statements())
        texts << s.sql;
    round.prepared = 0;
    for (const QString &text : std::as_const(texts))
        round.prepared += recorder->prepared(text);
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

// The floor: the same reading per teacher, the same writes bare.
void floorOf(Kind kind)
{
    std::vector<std::unique_ptr<TClientDataSet>> packets;
    for (const QString &name : std::as_const(g_rounds[kind].packets))
        if (QFileInfo(g_folder + name).isFile()) {
            packets.push_back(std::make_unique<TClientDataSet>());
            packets.back()->LoadFromFile(g_folder + name);
        }
    BareStatementRunner writes(g_db);
    TSQLClientDataSet assignments;
    for (const Teacher &t : std::as_const(g_teachers)) {
        const bool teaches = teachesSelected(assignments, t.who.iAnaId);
        assignments.Close();
        if (!teaches)
            continue;
        const QString mine =
            QStringLiteral("(iDocId = %1) AND (%2)").arg(t.who.iAnaId).arg(g_classes);
        for (const auto &packet : packets)
            readRows(*packet, mine);
        for (const TVxStatementRecorder::Statement &s : t.writes[kind]) {
            QSqlQuery &q = writes.run(s);
            if (q.isSelect())
                while (q.next())
                    benchmark::DoNotOptimize(q.value(0));
        }
    }
}

void CollectAndFloor(benchmark::State &state, Kind kind)
{
    std::vector<double> steps;
    std::vector<double> floors;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        collect(kind);
        steps.push_back(timer.nsecsElapsed() / 1e9);
        timer.start();
        floorOf(kind);
        floors.push_back(timer.nsecsElapsed() / 1e9);
    }
    g_rounds[kind].seconds = median(steps);
    g_rounds[kind].floor = median(floors);
}

} // namespace

// A round writes every value the teachers changed, each in a transaction of its own.
BENCHMARK_CAPTURE(CollectAndFloor, session, kSessionData)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kRounds);
BENCHMARK_CAPTURE(CollectAndFloor, makeups, kMakeUps)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kRounds);

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
        QelWebMakeUpPackets makeUps(kPhase, kYear);
        for (const Teacher &t : std::as_const(g_teachers)) {
            packets.AddTeacher(t.who.iAnaId, t.who.sDocNome, t.who.sAnaPwPert);
            makeUps.AddTeacher(t.who.iAnaId);
        }
        packets.Write(g_folder);
        makeUps.Write(g_folder);
    }
    QStringList classes;
    VxEachRow(g_db, QStringLiteral("SELECT C.iClsId FROM TClsSes C WHERE C.iAnsSesDwgId = :s"),
              valuesOf({{"s", kSession}}), [&](const QSqlQuery &q, const QSqlRecord &) {
                  classes << QStringLiteral("(iClsId = %1)").arg(q.value(0).toInt());
              });
    g_classes = classes.join(QLatin1String(" OR "));
    // The first round writes what the school lacked; the second, recorded for the floor, what
    // every round writes. The database's pages are read before either is timed.
    for (const Kind kind : {kSessionData, kMakeUps}) {
        collect(kind);
        collect(kind, true);
    }
    runBenchmarksThenClose(argc, argv, g_db);

    std::printf("\n%d web teachers of session %d, %d classes\n", int(g_teachers.size()), kSession,
                int(classes.size()));
    for (const Kind kind : {kSessionData, kMakeUps}) {
        const Round &round = g_rounds[kind];
        int writes = 0;
        QMap<QString, int> kinds;
        for (const Teacher &t : std::as_const(g_teachers)) {
            writes += int(t.writes[kind].size());
            for (const TVxStatementRecorder::Statement &s : t.writes[kind])
                ++kinds[s.sql.trimmed().section(QLatin1Char(' '), 0, 2)];
        }
        std::printf("%s: %d writes a round, %d log lines; statements of a round: %d run, %d "
                    "prepares\n",
                    round.name, writes, round.lines, round.statements, round.prepared);
        for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
            std::printf("  %6d %s\n", it.value(), qPrintable(it.key()));
        std::printf("%s: %.1f ms\n", round.name, round.seconds * 1000);
        std::printf("floor (the same reading per teacher, the same writes bare, each committed "
                    "by itself): %.1f ms\n",
                    round.floor * 1000);
        if (round.floor > 0)
            std::printf("ratio %.2f x the floor (target at most 2)\n", round.seconds / round.floor);
    }
    return 0;
}
