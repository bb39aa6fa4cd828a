// Three reads whose cost once grew faster than the school, timed on the demo school (scale 10
// unless bench/run.sh names another) and on the school at scale 1 (TAVRIN_BENCH_SCALE1_DATABASE,
// with TAVRIN_BENCH_SCALE1_PASSWORD on a server, as bench/run.sh sets them):
//  - "Esportazione dati alunni": the count of each pupil's votes that count in the average,
//    for every pupil of 2008/2009's final session (the export's own statements, recorded);
//  - "Sessione corrente" of the statistics: its statement of one row per pupil and subject;
//  - the components of his pupils a teacher's folder carries (AluMat.xml), for every teacher
//    of the session.
// Each one's floor is what the school's size alone asks: its time at scale 1, times as many
// pupils as this school has more. The last lines give the times and the ratios (target at most
// 1.5); without the scale-1 school only this school's times.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exports_growth_bench
#include "bench/benchsupport.h"
#include "exchange/qelxmlsql.h"
#include "exports/qelpupilsummary.h"
#include "exports/qelstatextracts.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QTemporaryDir>

#include <optional>

namespace {

constexpr int kSession = 392;
constexpr int kYear = 39;

QTemporaryDir *g_dir = nullptr;

struct School
{
    QString name;
    int pupils = 0;
    int teachers = 0;
    double counted = 0; // seconds of each read, median of 3
    double session = 0;
    double components = 0;
};

// Each reads' median of three runs.
template <typename Read> double median3(Read read)
{
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < 3; ++i) {
        timer.start();
        read();
        times.push_back(timer.nsecsElapsed() / 1e9);
    }
    return median(times);
}

void measure(QSqlDatabase &db, School &school)
{
    // The export's count of counted votes, one statement a pupil, as the export runs them.
    QList<TVxStatementRecorder::Statement> counted;
    {
        TVxStatementRecorder recorder;
        PupilSummaryExport().run({kYear, kSession, 2}, {});
        for (const TVxStatementRecorder::Statement &s : recorder.statements()) {
            if (s.sql.startsWith(QLatin1String("SELECT COUNT(*), COUNT(CASE")))
                counted << s;
        }
    }
    school.pupils = int(counted.size());
    school.counted = median3([&] { runStatementsBare(db, counted, -1); });

    const QString path = g_dir->filePath(QStringLiteral("sessione.cds"));
    school.session = median3([&] {
        TVxTransaction tr(db);
        tr.StartTransaction();
        TQelStatExtracts(tr, QStringLiteral("1"))
            .WriteSessionSubjects(kSession, std::nullopt, path);
        tr.Rollback();
    });

    // Every teacher with a class in the session, his pupils' components in one transaction.
    QList<int> teachers;
    VxEachRow(db,
              QStringLiteral("SELECT DISTINCT Cma.iAnaId FROM TClsMatAna Cma "
                             "JOIN TClsSes ClsSes ON ClsSes.iClsId = Cma.iClsId "
                             "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId ORDER BY 1"),
              valuesOf({{"iAnsSesDwgId", kSession}}),
              [&](const QSqlQuery &q, const QSqlRecord &) { teachers << q.value(0).toInt(); });
    school.teachers = int(teachers.size());
    QList<TVxStatementRecorder::Statement> components;
    for (int teacher : teachers)
        components << TVxStatementRecorder::Statement{QelXmlSql::teacherAluMat(),
                                                      valuesOf({{"iAnsSesDwgId", kSession},
                                                                {"iAnaId", teacher},
                                                                {"iAnaId1", teacher},
                                                                {"iAnsIdPrec", kYear - 1},
                                                                {"iAnsId", kYear}})};
    school.components = median3([&] { runStatementsBare(db, components, -1); });
}

void print(const char *what, double here, double there, double growth)
{
    std::printf("%-38s %9.1f ms", what, here * 1000);
    if (there > 0)
        std::printf(", at scale 1 %8.1f ms: ratio %.2f x the floor (target at most 1.5)",
                    there * 1000, here / (there * growth));
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    benchProgram(mainDir);
    g_dir = &mainDir;

    QSqlDatabase db;
    School here{QStringLiteral("this school")};
    std::optional<School> small;
    const QString scale1 = qEnvironmentVariable("TAVRIN_BENCH_SCALE1_DATABASE");
    if (!scale1.isEmpty()) {
        // The reads run on the program's connection: the scale-1 school first, alone on it.
        const QByteArray database = qgetenv("TAVRIN_BENCH_DATABASE");
        const QByteArray password = qgetenv("TAVRIN_BENCH_PASSWORD");
        qputenv("TAVRIN_BENCH_DATABASE", scale1.toLocal8Bit());
        qputenv("TAVRIN_BENCH_PASSWORD", qgetenv("TAVRIN_BENCH_SCALE1_PASSWORD"));
        openDemoSchool(db, globalConnectionName());
        small = School{QStringLiteral("scale 1")};
        measure(db, *small);
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(globalConnectionName());
        qputenv("TAVRIN_BENCH_DATABASE", database);
        qputenv("TAVRIN_BENCH_PASSWORD", password);
    }
    openDemoSchool(db, globalConnectionName());
    measure(db, here);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());

    const double growth = small && small->pupils > 0 ? double(here.pupils) / small->pupils : 1;
    std::printf("\nsession %d: %d pupils, %d teachers", kSession, here.pupils, here.teachers);
    if (small)
        std::printf(" (at scale 1 %d pupils: the floor is %.1f times its time there)",
                    small->pupils, growth);
    std::printf("\n");
    print("counted votes of every pupil", here.counted, small ? small->counted : 0, growth);
    print("\"Sessione corrente\", pupils and subjects", here.session, small ? small->session : 0,
          growth);
    print("components of every teacher's pupils", here.components, small ? small->components : 0,
          growth);
    return 0;
}
