// The folders of every teacher with a class in 2008/2009's final session of the demo school
// (scale 10 unless bench/run.sh names another): sent as "Invio (dischetti)" writes them, every
// data kind, the reads of the whole send in one transaction; then collected back unchanged as
// "Raccolta (dischetti)" collects them, each folder checked whole before its classes are
// written, the whole collection in one run. Each is timed on this school and on the school at
// scale 1 (TAVRIN_BENCH_SCALE1_DATABASE, with TAVRIN_BENCH_SCALE1_PASSWORD on a server, as
// bench/run.sh sets them), in turns, with the statements it ran and how often they were
// prepared: a school ten times larger should cost at most 12 times as much (time that grows with
// the school, not with its square), and its collection less than a minute. The send is also timed
// in turns with the bare run of its statements (recorded once, run again directly in one
// transaction, each text prepared once).
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_teacherfolders_bench
#include "bench/benchsupport.h"
#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <tuple>

namespace {

constexpr int kSession = 392;
constexpr int kRounds = 3;

struct Work
{
    double seconds = 0; // median of the rounds
    double bare = 0;    // the send's statements run bare, median
    int statements = 0;
    int prepared = 0;
};

QList<int> sessionTeachers(QSqlDatabase &db)
{
    QList<int> teachers;
    VxEachRow(db,
              QStringLiteral("SELECT DISTINCT Cma.iAnaId FROM TClsMatAna Cma "
                             "JOIN TClsSes ClsSes ON ClsSes.iClsId = Cma.iClsId "
                             "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId ORDER BY 1"),
              valuesOf({{"iAnsSesDwgId", kSession}}),
              [&](const QSqlQuery &q, const QSqlRecord &) { teachers << q.value(0).toInt(); });
    return teachers;
}

QString folderOf(const QString &base, int teacher)
{
    return base + QString::number(teacher) + QLatin1Char('/');
}

void sendEveryTeacher(const QList<int> &teachers, const QString &base)
{
    TdmqelXML xml;
    const TdmqelXML::ReadsOfRun reads(xml);
    for (int teacher : teachers) {
        const QString folder = folderOf(base, teacher);
        QDir().mkpath(folder);
        TdmqelXML::ClearFolder(folder);
        xml.iAnaId = teacher;
        xml.sDocNome = QStringLiteral("Docente %1").arg(teacher);
        xml.sFolder = folder;
        xml.ExportTeacherData();
    }
}

// As the collection window runs it for several teachers: every class of each folder's
// ClsSes.xml, the folder checked whole first. The classes collected, and the rows not.
std::pair<int, int> collectEveryTeacher(const QList<int> &teachers, const QString &base)
{
    TdmqelXML xml;
    xml.iMode = 0;
    TdmqelXML::CollectionRun run(xml);
    int classes = 0, refused = 0;
    for (int teacher : teachers) {
        xml.iAnaId = teacher;
        xml.sDocNome = QStringLiteral("Docente %1").arg(teacher);
        xml.sFolder = folderOf(base, teacher);
        TClientDataSet sessions;
        sessions.LoadFromFile(xml.sFolder + QStringLiteral("ClsSes.xml"));
        QList<int> ids;
        for (sessions.First(); !sessions.Eof(); sessions.Next())
            ids << sessions.FieldByName(QStringLiteral("iClsId"))->Value().toInt();
        for (int id : ids) {
            xml.sClsDesc = QString::number(id);
            xml.LoadClassFlags(id);
            xml.LoadCollectPackets();
        }
        for (int id : ids) {
            xml.sClsDesc = QString::number(id);
            xml.LoadClassFlags(id);
            xml.CollectData();
            refused += xml.RefusedRows();
            ++classes;
        }
    }
    return {classes, refused};
}

// A school as the benchmark measures it: its database, and what each round took.
struct School
{
    QString database;
    QByteArray password;
    QString base; // the teachers' folders
    QList<int> teachers;
    int classes = 0; // collected, one teacher's class at a time
    int refused = 0; // rows not collected by a round
    QList<TVxStatementRecorder::Statement> sent;
    Work send;
    Work collection;
    std::vector<double> sends, bares, collections;
};

// The school's database as the program's connection, the one open before let go.
void openSchool(QSqlDatabase &db, const School &school)
{
    if (db.isOpen()) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(globalConnectionName());
    }
    qputenv("TAVRIN_BENCH_DATABASE", school.database.toLocal8Bit());
    qputenv("TAVRIN_BENCH_PASSWORD", school.password);
    openDemoSchool(db, globalConnectionName());
}

void send(School &school)
{
    sendEveryTeacher(school.teachers, school.base);
}

void collect(School &school)
{
    std::tie(school.classes, school.refused) = collectEveryTeacher(school.teachers, school.base);
}

// The work once recorded (its statements, and the pages read before it is timed).
template <typename Step> Work recorded(Step step, QList<TVxStatementRecorder::Statement> *kept)
{
    Work work;
    TVxStatementRecorder recorder;
    step();
    const QList<TVxStatementRecorder::Statement> &statements = recorder.statements();
    writeStatementTexts(statements);
    QSet<QString> texts;
    for (const TVxStatementRecorder::Statement &s : statements)
        texts.insert(s.sql);
    for (const QString &text : std::as_const(texts))
        work.prepared += recorder.prepared(text);
    work.statements = int(statements.size());
    if (kept)
        *kept = statements;
    return work;
}

template <typename Step> void timed(std::vector<double> &times, Step step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    times.push_back(timer.nsecsElapsed() / 1e9);
}

void print(const char *what, const Work &here, const Work *there)
{
    std::printf("%-30s %9.1f ms, %7d statements, %6d prepared\n", what, here.seconds * 1000,
                here.statements, here.prepared);
    if (there && there->seconds > 0)
        std::printf("%-30s at scale 1 %8.1f ms, %7d statements: %.2f x scale 1, %.2f x 10 "
                    "times scale 1 (target at most 12 x scale 1)\n",
                    "", there->seconds * 1000, there->statements, here.seconds / there->seconds,
                    here.seconds / (10 * there->seconds));
}

} // namespace

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

    // This school, and the one at scale 1 when named: each round runs the work on both in
    // turns, so that the machine's load weighs on both alike.
    std::vector<School> schools;
    const auto school = [&](const QString &database, const char *password, const char *folder) {
        School s;
        s.database = database;
        s.password = qgetenv(password);
        s.base = mainDir.filePath(QLatin1String(folder));
        schools.push_back(s);
    };
    const QString scale1 = qEnvironmentVariable("TAVRIN_BENCH_SCALE1_DATABASE");
    const QString database = qEnvironmentVariable("TAVRIN_BENCH_DATABASE");
    if (!scale1.isEmpty() && scale1 != database)
        school(scale1, "TAVRIN_BENCH_SCALE1_PASSWORD", "Scala1/");
    school(database, "TAVRIN_BENCH_PASSWORD", "Docenti/");
    QSqlDatabase db;
    for (School &school : schools) {
        openSchool(db, school);
        school.teachers = sessionTeachers(db);
        school.send = recorded([&] { send(school); }, &school.sent);
        school.collection = recorded([&] { collect(school); }, nullptr);
    }
    for (int round = 0; round < kRounds; ++round) {
        for (School &school : schools) {
            openSchool(db, school);
            timed(school.sends, [&] { send(school); });
            timed(school.bares, [&] { runStatementsBare(db, school.sent, -1); });
            timed(school.collections, [&] { collect(school); });
        }
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    for (School &school : schools) {
        school.send.seconds = median(school.sends);
        school.send.bare = median(school.bares);
        school.collection.seconds = median(school.collections);
    }
    const School &here = schools.back();
    const School *small = schools.size() > 1 ? &schools.front() : nullptr;

    std::printf("\nsession %d: %d teachers' folders, %d of their classes collected", kSession,
                int(here.teachers.size()), here.classes);
    if (small)
        std::printf(" (at scale 1: %d, %d)", int(small->teachers.size()), small->classes);
    std::printf("; medians of %d rounds; rows not collected: %d\n", kRounds, here.refused);
    print("send of every teacher", here.send, small ? &small->send : nullptr);
    if (here.send.bare > 0)
        std::printf("%-30s ratio %.2f x its bare statements (target at most 1.5)\n", "",
                    here.send.seconds / here.send.bare);
    print("collection of every teacher", here.collection, small ? &small->collection : nullptr);
    std::printf("%-30s target: less than 60 s at scale 10\n", "");
    return 0;
}
