// The collection of a class folder that comes back unchanged: the largest class of 2008/2009's
// final session in the demo school (scale 10 unless bench/run.sh names another), exported once
// and collected in turns with the floor, the same deletions, inserts and updates run directly
// as prepared statements in one transaction (recorded once, each text prepared once).
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_collect_bench
#include "bench/benchsupport.h"
#include "exchange/qelxml.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"

#include <QApplication>
#include <QTemporaryDir>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
int g_clsSesId = 0, g_clsId = 0, g_votes = 0;
QString g_folder;

QStringList collectClass()
{
    TdmqelXML xml;
    xml.iMode = 1;
    xml.sFolder = g_folder;
    xml.iClsSesId = g_clsSesId;
    xml.LoadClassFlags(g_clsId);
    return xml.CollectData();
}

void CollectAndFloor(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("collect"), collectClass, g_db,
                         g_statements, 0);
}

} // namespace

BENCHMARK(CollectAndFloor)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    xgvmGlobalVar.SetValues(TVxWorkingContext::instituteKey(), 2);
    xgvmGlobalVar.SetValues(TVxWorkingContext::schoolYearKey(), 39);
    xgvmGlobalVar.SetValues(TVxWorkingContext::sessionKey(), 392);
    {
        QSqlQuery q(g_db);
        execBound(q,
                  QStringLiteral("SELECT FIRST 1 s.iClsSesId, s.iClsId, COUNT(*) FROM TClsSes s "
                                 "JOIN TClsSesMat m ON m.iClsSesId = s.iClsSesId "
                                 "JOIN TClsMatCmp c ON c.iClsSesMatId = m.iClsSesMatId "
                                 "JOIN TVot_Voti v ON v.iClsMatCmpId = c.iClsMatCmpId "
                                 "WHERE s.iAnsSesDwgId = 392 GROUP BY s.iClsSesId, s.iClsId "
                                 "ORDER BY 3 DESC"),
                  {});
        fetchNext(q);
        g_clsSesId = q.value(0).toInt();
        g_clsId = q.value(1).toInt();
        g_votes = q.value(2).toInt();
    }
    QTemporaryDir folder;
    g_folder = LongDir(folder.path());
    {
        TdmqelXML xml;
        xml.SetSessionKind(2);
        xml.iMode = 1;
        xml.LoadClassFlags(g_clsId);
        xml.sFolder = g_folder;
        xml.iClsSesId = g_clsSesId;
        xml.ExportClassData();
    }
    {
        // The floor writes what the collection writes, without its reads, keys and savepoints.
        TVxStatementRecorder recorder;
        collectClass();
        writeStatementTexts(recorder.statements());
        for (const TVxStatementRecorder::Statement &s : recorder.statements()) {
            const QString verb = s.sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
            if (verb == u"DELETE" || verb == u"INSERT" || verb == u"UPDATE")
                g_statements << s;
        }
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double collected = g_seconds.value(QStringLiteral("collect"));
    const double floor = g_seconds.value(QStringLiteral("collect bare"));
    std::printf("\nclass session %d, %d votes:\n", g_clsSesId, g_votes);
    std::printf("collection: %.1f ms (median of 5 rounds)\n", collected * 1000);
    std::printf("floor:      %.1f ms (%d statements)\n", floor * 1000, int(g_statements.size()));
    if (floor > 0)
        std::printf("ratio %.2f x the floor (target at most 2)\n", collected / floor);

    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
