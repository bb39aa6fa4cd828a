// The folders of the teachers of 2008/2009's final session of the demo school (scale 10 unless
// bench/run.sh names another), sent as the office sends them, through "Invio (dischetti)": the
// window on each folder and medium mode in turn, every teacher of the mode selected, OK pressed,
// every data kind; then collected back unchanged as "Raccolta (dischetti)" collects them, each
// folder checked whole before its classes are written, the whole collection in one run. Each is
// timed on this school and on the school at scale 1 (TAVRIN_BENCH_SCALE1_DATABASE, with
// TAVRIN_BENCH_SCALE1_PASSWORD on a server, as bench/run.sh sets them), in turns, with the
// statements it ran and how often they were prepared: a school ten times larger should cost at
// most 12 times as much (time that grows with the school, not with its square), its collection
// less than a minute, and each mode's send should prepare each of its texts once, however many
// teachers. The send is also timed in turns with the bare run of its statements (recorded once,
// run again directly in one transaction, each text prepared once).
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/exchange_teacherfolders_bench
#include "bench/benchsupport.h"
#include "exchange/qelfsendd.h"
#include "exchange/qelsendbookkeeping.h"
#include "exchange/qelxml.h"
#include "platform/clientdataset.h"
#include "platform/globalvars.h"
#include "platform/helpers.h"
#include "platform/maindir.h"
#include "platform/transaction.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <optional>
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

// What one mode's send ran, recorded: each text should be prepared once, however many teachers.
struct ModeSend
{
    int mode;
    int teachers = 0;
    int texts = 0;
    int prepared = 0;
};

// "Invio" on each folder and medium mode with teachers, all of them selected, OK pressed: the
// folders of the last send go first, so that none is asked about again. With kept, each mode's
// send is recorded (its texts and prepares) and its statements appended.
void sendThroughInvio(const QString &base, std::vector<ModeSend> &modes,
                      QList<TVxStatementRecorder::Statement> *kept = nullptr)
{
    QDir(base).removeRecursively();
    QDir().mkpath(base);
    TfmqelSendD window;
    for (ModeSend &send : modes) {
        // From the mode's choice: the window shows each mode from the list it read once.
        std::optional<TVxStatementRecorder> recorder;
        if (kept)
            recorder.emplace();
        const int index = window.cbMod()->findData(send.mode);
        window.cbMod()->setCurrentIndex(index);
        emit window.cbMod()->activated(index);
        QList<int> rows;
        for (int row = 0; row < window.Teachers().RowCount(); ++row)
            rows << row;
        send.teachers = int(rows.size());
        if (rows.isEmpty())
            continue;
        window.SetSelectedRows(rows);
        window.buOk()->click();
        if (!kept)
            continue;
        QSet<QString> texts;
        for (const TVxStatementRecorder::Statement &s : recorder->statements())
            texts.insert(s.sql);
        send.texts = int(texts.size());
        send.prepared = 0;
        for (const QString &text : std::as_const(texts))
            send.prepared += recorder->prepared(text);
        *kept << recorder->statements();
    }
}

// Every teacher with a class and no send mode in the session gets the network folder, as the
// office gives one in "Modalità di invio": "Invio" then sends every teacher but the web
// service's.
void giveEveryTeacherAMode(QSqlDatabase &db)
{
    QList<int> roles;
    VxEachRow(db,
              QStringLiteral("SELECT DISTINCT Cag.iAnaCagId FROM TClsMatAna Cma "
                             "JOIN TClsSes ClsSes ON ClsSes.iClsId = Cma.iClsId "
                             "JOIN TAnaCag Cag ON Cag.iAnaId = Cma.iAnaId AND Cag.iCagId = 3 "
                             "WHERE ClsSes.iAnsSesDwgId = :iAnsSesDwgId AND NOT EXISTS (SELECT 1 "
                             "FROM TAai_AnaAppInvio Aai JOIN TAnaCag Own ON Own.iAnaCagId = "
                             "Aai.iAnaCagId WHERE Own.iAnaId = Cma.iAnaId AND Aai.iAnsSesDwgId = "
                             ":iAnsSesDwgId)"),
              valuesOf({{"iAnsSesDwgId", kSession}}),
              [&](const QSqlQuery &q, const QSqlRecord &) { roles << q.value(0).toInt(); });
    for (int role : roles)
        SendBookkeeping(db).assign(role, kModeNetwork, kSession);
}

// The folders the collection brings back: every teacher with a class, each in a folder of his
// own, written by the packet engine.
void writeEveryTeacherFolder(const QList<int> &teachers, const QString &base)
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
    std::vector<ModeSend> modes{{kModeFloppy}, {kModeNetwork}, {kModeUsb}, {kModeWebFolder}};
    int classes = 0; // collected, one teacher's class at a time
    int refused = 0; // rows not collected by a round
    QList<TVxStatementRecorder::Statement> sent;
    Work send;
    Work collection;
    std::vector<double> sends, bares, collections;

    QString sendFolder() const { return base + QStringLiteral("invio/"); }
    QString collectFolder() const { return base + QStringLiteral("raccolta/"); }
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
    sendThroughInvio(school.sendFolder(), school.modes);
}

void collect(School &school)
{
    std::tie(school.classes, school.refused) =
        collectEveryTeacher(school.teachers, school.collectFolder());
}

// The statements once recorded and how often they were prepared.
Work counted(const QList<TVxStatementRecorder::Statement> &statements, int prepared)
{
    writeStatementTexts(statements);
    Work work;
    work.statements = int(statements.size());
    work.prepared = prepared;
    return work;
}

// The send once recorded, mode by mode (the pages read before it is timed).
Work recordedSend(School &school)
{
    sendThroughInvio(school.sendFolder(), school.modes, &school.sent);
    int prepared = 0;
    for (const ModeSend &send : school.modes)
        prepared += send.prepared;
    return counted(school.sent, prepared);
}

// The collection once recorded.
Work recordedCollection(School &school)
{
    TVxStatementRecorder recorder;
    collect(school);
    QSet<QString> texts;
    for (const TVxStatementRecorder::Statement &s : recorder.statements())
        texts.insert(s.sql);
    int prepared = 0;
    for (const QString &text : std::as_const(texts))
        prepared += recorder.prepared(text);
    return counted(recorder.statements(), prepared);
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
    // Every data kind goes to the teachers; every mode's folder is the send's folder of the
    // school being sent (written before each send).
    QDir().mkpath(mainDir.filePath(QStringLiteral("ETC")));
    const auto writeParGen = [&mainDir](const QString &folder) {
        QFile ini(mainDir.filePath(QStringLiteral("ETC/ParGen.ini")));
        const QByteArray native = QDir::toNativeSeparators(folder).toLocal8Bit();
        return ini.open(QIODevice::WriteOnly) &&
               ini.write("[ExpDoc]\r\nVot=1\r\nVtp=1\r\nTas=1\r\nAss=1\r\nAiu=1\r\nNot=1\r\n"
                         "Deb=1\r\nComp=1\r\n[Send-Qed]\r\nFloppy=" +
                         native + "\r\nRete=" + native + "\r\nUSB=" + native + "\r\nWeb=" + native +
                         "\r\n") > 0;
    };

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
        giveEveryTeacherAMode(db);
        if (!writeParGen(school.sendFolder()))
            return 1;
        writeEveryTeacherFolder(school.teachers, school.collectFolder());
        school.send = recordedSend(school);
        school.collection = recordedCollection(school);
    }
    for (int round = 0; round < kRounds; ++round) {
        for (School &school : schools) {
            openSchool(db, school);
            writeParGen(school.sendFolder());
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
    print("send through \"Invio\"", here.send, small ? &small->send : nullptr);
    if (here.send.bare > 0)
        std::printf("%-30s ratio %.2f x its bare statements (target at most 1.5)\n", "",
                    here.send.seconds / here.send.bare);
    for (const School *school : {small, &here}) {
        if (!school)
            continue;
        for (const ModeSend &send : school->modes)
            if (send.teachers > 0)
                std::printf("%-30s %s, mode %d: %d teachers, %d texts, %d prepared (target at "
                            "most one a text)\n",
                            "", school == small ? "scale 1" : "this school", send.mode,
                            send.teachers, send.texts, send.prepared);
    }
    print("collection of every teacher", here.collection, small ? &small->collection : nullptr);
    std::printf("%-30s target: less than 60 s at scale 10\n", "");
    return 0;
}
