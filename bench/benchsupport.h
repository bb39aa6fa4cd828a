#pragma once

// What the benchmarks over a whole school share: the demo school at scale 10, made once by the
// demo tool into the build folder (about a minute) and kept, and steps timed by hand so that a
// benchmark can print its comparisons at the end. Targets that include it get TAVRIN_BENCH_DIR
// and TAVRIN_MAKEDB from bench/CMakeLists.txt.
#include "bench/latencyrelay.h"
#include "platform/connection.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/sqlparams.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

// The relay the demo school is reached through; none unless TAVRIN_BENCH_ROUND_TRIP_US is set.
// Never freed: its threads run to the end of the program.
inline LatencyRelay *&benchRelay()
{
    static LatencyRelay *relay = nullptr;
    return relay;
}

// Opens the demo school under the connection name: the database named by
// TAVRIN_BENCH_DATABASE (a file, or a server's host/port:path, with TAVRIN_BENCH_PASSWORD for
// SYSDBA), as bench/run.sh sets them; else the scale-10 school, made first when missing. With
// TAVRIN_BENCH_ROUND_TRIP_US a server is reached through a relay adding that round trip.
inline void openDemoSchool(QSqlDatabase &db, const QString &connectionName)
{
    TVxConnectionSettings settings = defaultConnectionSettings();
    settings.Database = qEnvironmentVariable("TAVRIN_BENCH_DATABASE");
    settings.Password = qEnvironmentVariable("TAVRIN_BENCH_PASSWORD");
    const QString path = QStringLiteral(TAVRIN_BENCH_DIR "/demo-scale10.fdb");
    if (settings.Database.isEmpty())
        settings.Database = path;
    if (settings.Database == path && !QFileInfo::exists(path)) {
        std::fprintf(stderr, "Building the demo school at scale 10 in %s...\n", qPrintable(path));
        QProcess make;
        make.setProcessChannelMode(QProcess::ForwardedChannels);
        make.start(QStringLiteral(TAVRIN_MAKEDB),
                   {QStringLiteral("--scale"), QStringLiteral("10"), path});
        if (!make.waitForFinished(-1) || make.exitCode() != 0)
            std::exit(1);
    }
    const TVxDatabaseLocation server = parseDatabaseLocation(settings.Database);
    bool delayed = false;
    const int roundTrip = qEnvironmentVariableIntValue("TAVRIN_BENCH_ROUND_TRIP_US", &delayed);
    if (delayed && !server.host.isEmpty()) {
        benchRelay() =
            new LatencyRelay(server.host.toStdString(), server.port > 0 ? server.port : 3050,
                             std::chrono::microseconds(roundTrip));
        settings.Database =
            QStringLiteral("127.0.0.1/%1:%2").arg(benchRelay()->port()).arg(server.path);
    }
    QString error;
    if (!openDatabase(db, connectionName, settings, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        std::exit(1);
    }
}

// The program as a benchmark runs it: offscreen, a main folder of its own, the dialogs scripted,
// the demo school's working context (institute 2, 2008/2009, its final session 392).
inline void benchProgram(const QTemporaryDir &mainDir)
{
    setMainDir(mainDir.path());
    DialogSeam::setScripted(true);
    TVxWorkingContext::setInstitute(2);
    TVxWorkingContext::setSchoolYear(39);
    TVxWorkingContext::setSession(392);
}

// Runs the benchmark's iterations, keeping the mean seconds of one under the name.
template <typename Step>
void timedStep(benchmark::State &state, QMap<QString, double> &seconds, const QString &name,
               Step step)
{
    QElapsedTimer timer;
    double total = 0;
    for (auto _ : state) {
        timer.start();
        step();
        total += timer.nsecsElapsed() / 1e9;
    }
    seconds[name] = total / double(state.iterations());
}

// The middle one of a step's times, taken in turns with its floor's so that the load of the
// machine weighs on both alike.
inline double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

// Recorded statements run again directly: each text prepared once, the first time it comes.
// Values are bound by their parameters' names: a statement may name them in another order than
// its caller gave them, or name one twice. Prepared outside a transaction, each run commits by
// itself.
class BareStatementRunner
{
public:
    explicit BareStatementRunner(QSqlDatabase &db) : m_db(db) {}

    // The statement's query, run: a select's rows are there to read.
    QSqlQuery &run(const TVxStatementRecorder::Statement &s)
    {
        Prepared &p = m_prepared[s.sql];
        if (!p.query) {
            const TVxNamedStatement positional = toPositional(s.sql);
            p.query = std::make_unique<QSqlQuery>(m_db);
            p.query->setForwardOnly(true);
            p.query->prepare(positional.sql);
            p.names = positional.names;
        }
        for (int i = 0; i < p.names.size(); ++i)
            p.query->bindValue(i, s.values.value(p.names.at(i)));
        p.query->exec();
        return *p.query;
    }

private:
    struct Prepared
    {
        std::unique_ptr<QSqlQuery> query;
        QStringList names;
    };
    QSqlDatabase &m_db;
    std::map<QString, Prepared> m_prepared;
};

// Runs recorded statements again directly, in one transaction, every row fetched and its first
// columns read (all of a statement with fewer; every column with -1). The bare cost that a
// step's own time is set against.
inline void runStatementsBare(QSqlDatabase &db,
                              const QList<TVxStatementRecorder::Statement> &statements, int columns)
{
    db.transaction();
    {
        BareStatementRunner bare(db);
        for (const TVxStatementRecorder::Statement &s : statements) {
            QSqlQuery &q = bare.run(s);
            const int count = q.record().count();
            const int read = columns < 0 ? count : std::min(columns, count);
            while (q.next()) {
                for (int c = 0; c < read; ++c)
                    benchmark::DoNotOptimize(q.value(c));
            }
        }
    }
    db.commit();
}

// With TAVRIN_BENCH_STATEMENTS naming a file, appends each distinct text of the statements to
// it, its parameters as "?", one statement a line ending with ";": isql-fb reads the file after
// "SET PLANONLY ON;" and prints the plan of each, to see that none reads a whole table.
inline void writeStatementTexts(const QList<TVxStatementRecorder::Statement> &statements)
{
    const QString path = qEnvironmentVariable("TAVRIN_BENCH_STATEMENTS");
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    QSet<QString> written;
    for (const TVxStatementRecorder::Statement &s : statements) {
        const QString text = toPositional(s.sql).sql.simplified();
        if (!written.contains(text) && !text.startsWith(QLatin1String("SAVEPOINT")) &&
            !text.contains(QLatin1String(" SAVEPOINT ")) &&
            !text.startsWith(QLatin1String("COMMIT")))
            file.write((text + QStringLiteral(";\n")).toUtf8());
        written.insert(text);
    }
}

// Runs the benchmarks the command line asks for, then lets the demo school go before the
// comparisons are printed: the connection is closed before the client library unloads at exit.
inline void runBenchmarksThenClose(int &argc, char **argv, QSqlDatabase &db)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
}

// A step and the bare run of its recorded statements in turns, round by round, so that the
// load of the machine weighs on both alike: the median seconds of each are kept under the
// step's name and under the name + " bare".
template <typename Step>
void timedInTurnsWithBare(benchmark::State &state, QMap<QString, double> &seconds,
                          const QString &name, Step step, QSqlDatabase &db,
                          const QList<TVxStatementRecorder::Statement> &statements, int columns)
{
    std::vector<double> steps;
    std::vector<double> bares;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        step();
        steps.push_back(timer.nsecsElapsed() / 1e9);
        timer.start();
        runStatementsBare(db, statements, columns);
        bares.push_back(timer.nsecsElapsed() / 1e9);
    }
    seconds[name] = median(steps);
    seconds[name + QStringLiteral(" bare")] = median(bares);
}
