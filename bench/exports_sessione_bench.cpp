// "Sessione corrente" of the statistics extraction on the demo school at scale 10: the working
// session's pupils with their averages and its subjects, through the window as the office runs
// it (no converter installed: its call costs only the look for it), next to the statements it
// ran, the two queries and the averages' reads, run bare in the same run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exports_sessione_bench
// The last lines give the time of each and their ratio.
#include "bench/benchsupport.h"
#include "bench/drawing.h"
#include "exports/qelfexport.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/inifile.h"
#include "platform/maindir.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;

void exportSession()
{
    TfmQelExport window;
    window.show();
    QCoreApplication::processEvents();
    window.chkTavrin()->setChecked(true);
    window.buEsporta()->click();
}

void Export(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("export"), exportSession);
}

void BareStatements(benchmark::State &state)
{
    timedStep(state, g_seconds, QStringLiteral("bare"),
              [] { runStatementsBare(g_db, g_statements, 2); });
}

} // namespace

BENCHMARK(Export)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BareStatements)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    drawOffscreenUnlessNamed();
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    // The demo school's working institute, year and session.
    TVxWorkingContext::setInstitute(2);
    TVxWorkingContext::setSchoolYear(39);
    TVxWorkingContext::setSession(392);
    TVxINIFile(QStringLiteral("qew/QewIni.ini"))
        .WriteString("Export", "Cartella", mainDir.path() + QStringLiteral("/sta"));
    openDemoSchool(g_db, globalConnectionName());
    int situations = 0;
    {
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        exportSession();
        g_statements = recorder.statements();
    }
    for (const TVxStatementRecorder::Statement &s : std::as_const(g_statements))
        situations += s.sql.contains(QLatin1String("FROM TVot_Voti Vot"));
    runBenchmarksThenClose(argc, argv, g_db);

    const double exported = g_seconds.value(QStringLiteral("export"));
    const double bare = g_seconds.value(QStringLiteral("bare"));
    if (bare <= 0)
        return 0;
    std::printf("\nsession 392: %d pupils averaged, %d statements\n", situations,
                int(g_statements.size()));
    std::printf("\"Sessione corrente\": %.1f ms\n", exported * 1000);
    std::printf("bare statements:     %.1f ms\n", bare * 1000);
    std::printf("ratio %.2f x the bare statements (target at most 1.5)\n", exported / bare);
    return 0;
}
