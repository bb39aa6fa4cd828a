// The class folders of the demo school (scale 10 unless bench/run.sh names another): every
// class session of 2008/2009's final session exported as the class send window does, next to
// the bare time of the same statements with the same values (recorded once, run again directly
// in one transaction, each text prepared once, every row read, nothing written), in turns.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_classexport_bench
#include "bench/benchsupport.h"
#include "exchange/qelxml.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

namespace {

struct ClassSession
{
    int clsSesId;
    int clsId;
    QString name;
};

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
QList<TVxStatementRecorder::Statement> g_statements;
QList<ClassSession> g_classes;
QString g_folders;
int g_files = 0;

// The class send window's loop: the options of each class, then its export.
void exportEveryClass()
{
    TdmqelXML xml;
    xml.SetSessionKind(2);
    for (const ClassSession &cls : std::as_const(g_classes)) {
        xml.iMode = 1;
        xml.lStorico = false;
        xml.lProteggiPwd = false;
        xml.LoadClassFlags(cls.clsId);
        xml.sClsDesc = cls.name;
        xml.sFolder = g_folders + cls.name + QLatin1Char('/');
        xml.iClsSesId = cls.clsSesId;
        xml.iPstId = -1;
        xml.ExportClassData();
    }
}

// The export and its replay in turns, round by round, so that the load of the machine weighs
// on both alike; the medians are compared.
void ExportAndReplay(benchmark::State &state)
{
    timedInTurnsWithBare(state, g_seconds, QStringLiteral("export"), exportEveryClass, g_db,
                         g_statements, 4);
}

} // namespace

BENCHMARK(ExportAndReplay)->Unit(benchmark::kMillisecond)->Iterations(3);

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
                  QStringLiteral("SELECT ClsSes.iClsSesId, ClsSes.iClsId, Cls.sClsSDesc "
                                 "FROM TClsSes ClsSes JOIN TCls_Classi Cls ON Cls.iClsId = "
                                 "ClsSes.iClsId WHERE ClsSes.iAnsSesDwgId = 392 "
                                 "ORDER BY Cls.iClsOrdine, ClsSes.iClsSesId"),
                  {});
        while (fetchNext(q))
            g_classes.append({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString()});
    }
    QTemporaryDir folders;
    g_folders = LongDir(folders.path());
    {
        // Recorded for the bare run; the rows are read once before either is timed.
        TVxStatementRecorder recorder;
        exportEveryClass();
        g_statements = recorder.statements();
        writeStatementTexts(g_statements);
    }
    for (const ClassSession &cls : std::as_const(g_classes))
        g_files += int(QDir(g_folders + cls.name).entryList(QDir::Files).size());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double exported = g_seconds.value(QStringLiteral("export"));
    const double bare = g_seconds.value(QStringLiteral("export bare"));
    std::printf("\nthe class folders of session 392: %d classes, %d files:\n",
                int(g_classes.size()), g_files);
    std::printf("export:          %.1f ms (median of 3 rounds)\n", exported * 1000);
    std::printf("bare statements: %.1f ms (%d statements)\n", bare * 1000,
                int(g_statements.size()));
    if (bare > 0)
        std::printf("ratio %.2f x the replay (target at most 2)\n", exported / bare);

    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
