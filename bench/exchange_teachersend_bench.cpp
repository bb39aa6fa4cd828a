// The teacher folders of a send as "Invio (dischetti)" writes them: every teacher with a class
// in 2008/2009's final session of the demo school (scale 10 unless bench/run.sh names another),
// every data kind, each into a folder of his own, the reads of the whole send in one
// transaction; timed in turns with the bare run of the statements it ran (recorded once, run
// again directly in one transaction, each text prepared once). The last lines give the
// medians, the statements and how often they were prepared, and the ratio (target at most 1.5).
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_teachersend_bench
#include "bench/benchsupport.h"
#include "exchange/qelxml.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
QList<int> g_teachers;
QString g_base;

void sendEveryTeacher()
{
    TdmqelXML xml;
    const TdmqelXML::ReadsOfRun reads(xml);
    for (int teacher : std::as_const(g_teachers)) {
        const QString folder = g_base + QString::number(teacher) + QLatin1Char('/');
        QDir().mkpath(folder);
        TdmqelXML::ClearFolder(folder);
        xml.iAnaId = teacher;
        xml.sDocNome = QStringLiteral("Docente %1").arg(teacher);
        xml.sFolder = folder;
        xml.ExportTeacherData();
    }
}

void SendAndBare(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("send"), sendEveryTeacher, g_db,
                         g_statements, -1);
}

} // namespace

BENCHMARK(SendAndBare)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    benchProgram(mainDir);
    // Every data kind goes to the teachers.
    QDir().mkpath(mainDir.filePath(QStringLiteral("ETC")));
    QFile ini(mainDir.filePath(QStringLiteral("ETC/ParGen.ini")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write("[ExpDoc]\r\nVot=1\r\nVtp=1\r\nTas=1\r\nAss=1\r\nAiu=1\r\nNot=1\r\nDeb=1\r\n"
                  "Comp=1\r\n") < 0)
        return 1;
    ini.close();
    g_base = mainDir.filePath(QStringLiteral("Docenti/"));
    openDemoSchool(g_db, globalConnectionName());
    VxEachRow(g_db,
              QStringLiteral("SELECT DISTINCT Cma.iAnaId FROM TClsMatAna Cma "
                             "JOIN TClsSes ClsSes ON ClsSes.iClsId = Cma.iClsId "
                             "WHERE ClsSes.iAnsSesDwgId = 392 ORDER BY 1"),
              {}, [](const QSqlQuery &q, const QSqlRecord &) { g_teachers << q.value(0).toInt(); });
    int prepared = 0;
    {
        // Recorded for the bare run; the database's pages are read once before either runs.
        TVxStatementRecorder recorder;
        sendEveryTeacher();
        g_statements = recorder.statements();
        QSet<QString> texts;
        for (const TVxStatementRecorder::Statement &s : std::as_const(g_statements))
            texts.insert(s.sql);
        for (const QString &text : std::as_const(texts))
            prepared += recorder.prepared(text);
    }
    runBenchmarksThenClose(argc, argv, g_db);

    const double sent = g_seconds.value(QStringLiteral("send"));
    const double bare = g_seconds.value(QStringLiteral("send bare"));
    std::printf("\nsession 392: %d teachers' folders, %d statements, %d prepared\n",
                int(g_teachers.size()), int(g_statements.size()), prepared);
    std::printf("send:            %.1f ms (median of 3)\n", sent * 1000);
    std::printf("bare statements: %.1f ms\n", bare * 1000);
    if (bare > 0)
        std::printf("ratio %.2f x the bare statements (target at most 1.5)\n", sent / bare);
    return 0;
}
