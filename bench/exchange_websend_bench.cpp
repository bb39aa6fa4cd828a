// The packets of a web send ("Invio Tavrin-Web") of every web teacher of the working session of
// the demo school at scale 10, written into a folder, next to the same statements run bare, in
// turns in the same run so that the load of the machine weighs on both alike.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_websend_bench
// The last lines give the medians and their ratio (target: at most twice the bare statements).
#include "bench/benchsupport.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qeltavrinweb.h"
#include "exchange/qelwebsessionpackets.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr int kSession = 392;
constexpr int kYear = 39;

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
QList<SendModeTeacher> g_teachers;
QString g_folder;
qint64 g_bytes = 0;

void writePackets()
{
    DeleteExportFiles(g_folder);
    TVxTransaction reading(g_db);
    if (!reading.StartTransaction())
        std::exit(1);
    QelWebSessionPackets packets(
        kSession, kYear,
        {{"Vot", 0}, {"Vtp", 1}, {"Tas", 1}, {"Ass", 1}, {"Aiu", 1}, {"Not", 1}, {"Deb", 0}});
    for (const SendModeTeacher &t : std::as_const(g_teachers))
        packets.AddTeacher(t.iAnaId, t.sDocNome, t.sAnaPwPert);
    g_bytes = 0;
    for (const QString &file : packets.Write(g_folder))
        g_bytes += QFileInfo(file).size();
}

void WriteAndBare(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("write"), writePackets, g_db,
                         g_statements, -1);
}

} // namespace

BENCHMARK(WriteAndBare)->Unit(benchmark::kMillisecond)->Iterations(5);

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
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        writePackets();
        g_statements = recorder.statements();
        writeStatementTexts(g_statements);
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double write = g_seconds.value(QStringLiteral("write"));
    const double bare = g_seconds.value(QStringLiteral("write bare"));
    std::printf("\n%d web teachers of session %d: %d statements, %.1f MB of packets\n",
                int(g_teachers.size()), kSession, int(g_statements.size()), g_bytes / 1e6);
    std::printf("packets written: %.1f ms (median of 5 rounds)\n", write * 1000);
    std::printf("bare statements: %.1f ms\n", bare * 1000);
    if (bare > 0)
        std::printf("ratio %.2f x the bare statements (target at most 2)\n", write / bare);
    return 0;
}
