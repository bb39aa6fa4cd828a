// Data packets of a whole school: every vote of the demo school at scale 10 filled into a
// packet, saved and loaded in each form, next to the query alone, all in the same run.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/platform_datapacket_bench
// The last lines compare saving and loading each form with the query alone.
#include "bench/benchsupport.h"
#include "platform/clientdataset.h"
#include "platform/connection.h"
#include "platform/sqlparams.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

// The votes as the class packets carry them: the vote with its level's texts and flags.
const char *const kVotes =
    "SELECT v.iSitId, v.iVotId AS iPKId, v.iScaLivId AS iValId, l.sLivSDesc AS sValSDesc, "
    "l.sLivLDesc AS sValLDesc, sl.iScaLivSufficiente AS bValSuff, sl.iScaLivValore AS iValDato, "
    "sl.iScaLivInMedia AS bValInMed, v.iClsMatCmpId, v.dInsert, v.dStart, v.dEnd "
    "FROM TVot_Voti v JOIN TScaLiv sl ON sl.iScaLivId = v.iScaLivId "
    "JOIN TLiv_Livelli l ON l.iLivId = sl.iLivId ORDER BY v.iVotId";

QSqlDatabase g_db;
QTemporaryDir g_dir;
QMap<QString, double> g_seconds; // mean seconds per iteration, by step

void runVotes(QSqlQuery &q)
{
    q.setForwardOnly(true);
    if (!q.exec(QString::fromLatin1(kVotes))) {
        std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
        std::exit(1);
    }
}

template <typename Step> void timed(benchmark::State &state, const QString &name, Step step)
{
    timedStep(state, g_seconds, name, step);
}

// The query alone: every row fetched and every value read, as the fill reads them.
void Query(benchmark::State &state)
{
    qint64 rows = 0;
    timed(state, QStringLiteral("query"), [&] {
        QSqlQuery q(g_db);
        runVotes(q);
        rows = 0;
        while (fetchNext(q)) {
            for (int i = 0; i < 12; ++i)
                benchmark::DoNotOptimize(q.value(i));
            ++rows;
        }
    });
    state.counters["rows"] = double(rows);
}

void Fill(benchmark::State &state)
{
    timed(state, QStringLiteral("fill"), [&] {
        QSqlQuery q(g_db);
        runVotes(q);
        TClientDataSet ds;
        ds.FillFromQuery(q);
    });
}

TClientDataSet &filled()
{
    static TClientDataSet ds;
    if (!ds.Active()) {
        QSqlQuery q(g_db);
        runVotes(q);
        ds.FillFromQuery(q);
    }
    return ds;
}

QString formName(TDataPacketFormat format)
{
    return format == dfXML ? QStringLiteral("xml") : QStringLiteral("cds");
}

QString packetFile(TDataPacketFormat format)
{
    return g_dir.filePath(QStringLiteral("votes.") + formName(format));
}

void Save(benchmark::State &state, TDataPacketFormat format)
{
    TClientDataSet &ds = filled();
    timed(state, QStringLiteral("save ") + formName(format),
          [&] { ds.SaveToFile(packetFile(format), format); });
    state.counters["bytes"] = double(QFileInfo(packetFile(format)).size());
}

void Load(benchmark::State &state, TDataPacketFormat format)
{
    filled().SaveToFile(packetFile(format), format);
    int rows = 0;
    timed(state, QStringLiteral("load ") + formName(format), [&] {
        TClientDataSet ds;
        ds.LoadFromFile(packetFile(format));
        rows = ds.RecordCount();
    });
    state.counters["rows"] = rows;
}

} // namespace

BENCHMARK(Query)->Unit(benchmark::kMillisecond);
BENCHMARK(Fill)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, binary, dfBinary)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, binary, dfBinary)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Save, xml, dfXML)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, xml, dfXML)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    openDemoSchool(g_db, QStringLiteral("bench"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    filled().Close();
    // Closed before the client library unloads at exit.
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));

    const double query = g_seconds.value(QStringLiteral("query"));
    if (query <= 0)
        return 0;
    const double binary =
        g_seconds.value(QStringLiteral("save cds")) + g_seconds.value(QStringLiteral("load cds"));
    const double xml =
        g_seconds.value(QStringLiteral("save xml")) + g_seconds.value(QStringLiteral("load xml"));
    std::printf("\nquery alone %.0f ms, fill %.0f ms\n", query * 1000,
                g_seconds.value(QStringLiteral("fill")) * 1000);
    std::printf("binary: save + load %.0f ms = %.2f x the query (target at most 0.5)\n",
                binary * 1000, binary / query);
    std::printf("XML:    save + load %.0f ms = %.2f x the query (target at most 1.5)\n", xml * 1000,
                xml / query);
    return 0;
}
