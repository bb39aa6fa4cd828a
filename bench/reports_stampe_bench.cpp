// The report cards of every pupil (16202), the boards (16203) and the general registers (16204)
// of every class of 2008/2009's final session over the demo school (scale 10 unless
// bench/run.sh names another), chosen in the selection dialog as the office chooses them, each
// next to the bare time of the statements its preparation ran (recorded once, run again
// directly in one transaction, each text prepared once), timed in turns: the preparation alone,
// then the preparation and the PDF export, printed in pages per second, with the statements per
// pupil (at most 20 a report card) and, through the latency relay (TAVRIN_BENCH_ROUND_TRIP_US,
// set by bench/run.sh), the round trips a preparation costs; and the most memory the report
// cards' preparation takes (the process's peak while it runs), with the lines it shaped (names in
// another script) and those the PDF export shaped again. With TAVRIN_BENCH_NAMES=arabic (or
// devanagari) every name of the school is written in that script first, on a copy of the
// school's file.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/reports_stampe_bench
#include "bench/benchsupport.h"
#include "platform/dialogseam.h"
#include "platform/globalvars.h"
#include "platform/maindir.h"
#include "platform/messagedlg.h"
#include "reportengine/reportfonts.h"
#include "reportengine/reportmodule.h"
#include "reports/qelfselrptansbs.h"
#include "reports/qelreportforms.h"
#include "reports/qelreportsinstall.h"
#include "reports/qelrptdatasets.h"
#include "shell/qelpargen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QTemporaryDir>

#include <memory>

namespace {

QSqlDatabase g_db;
QMap<QString, double> g_seconds;
TdmVxRptFR *g_rpt = nullptr;
QString g_pdf;

struct Run
{
    int id;
    const char *name;
    QList<TVxStatementRecorder::Statement> statements;
    int pages = 0;
    int pupils = 0;            // chosen in the dialog (classes for the boards)
    long long roundTrips = -1; // of the recorded preparation, through the relay
};
Run g_runs[] = {
    {16202, "report cards", {}, 0}, {16203, "boards", {}, 0}, {16204, "general registers", {}, 0}};
int g_chosen = 0;

// Every row of the selection dialog's list: every pupil of the year, every class of the
// working session.
void chooseEveryRow()
{
    DialogSeam::queueModalScript([](QDialog *d) {
        auto *selection = static_cast<TfmqelSelRptAnsSesBs *>(d);
        d->show(); // the list is read as the dialog opens
        QList<int> rows;
        for (int row = 0; row < selection->ListDataSet()->RecordCount(); ++row)
            rows << row;
        selection->SetSelectedRows(rows);
        g_chosen = int(rows.size());
        return int(mrOk);
    });
}

void prepare(Run &run)
{
    chooseEveryRow();
    g_rpt->LoadReportFromVxDB(run.id);
    if (!g_rpt->PrepareReport()) {
        std::fprintf(stderr, "report %d built no page\n", run.id);
        std::exit(1);
    }
    run.pages = int(g_rpt->Pages().Pages.size());
    run.pupils = g_chosen;
}

// The process's peak resident memory in MB since it was last set back to what it holds now
// (Linux: /proc/self/status, VmHWM; /proc/self/clear_refs).
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Every name of the school in Arabic or Devanagari script (a surname and a name of twelve each,
// by the person's key), on a copy of the school in the folder given, which the program then
// opens.
void writeNamesIn(const QString &script, const QString &folder)
{
    const QString school = g_db.databaseName();
    if (!QFileInfo(school).isFile()) {
        std::fprintf(stderr, "TAVRIN_BENCH_NAMES needs the school's file, not %s\n",
                     qPrintable(school));
        std::exit(1);
    }
    const QString copy = QDir(folder).filePath(script + QStringLiteral(".fdb"));
    g_db.close();
    if (!QFile::copy(school, copy)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(school));
        std::exit(1);
    }
    qputenv("TAVRIN_BENCH_DATABASE", QFile::encodeName(copy));
    openDemoSchool(g_db, globalConnectionName());
    static const char *const arabic[2][12] = {
        {"الحسيني", "عبد الرحمن", "المصري", "الخطيب", "الشامي", "البغدادي", "النجار", "الحداد",
         "السيد", "العلي", "القاسم", "الزين"},
        {"محمد", "فاطمة", "علي", "عائشة", "يوسف", "مريم", "عمر", "خديجة", "حسن", "زينب", "أحمد",
         "ليلى"}};
    static const char *const devanagari[2][12] = {
        {"शर्मा", "वर्मा", "गुप्ता", "सिंह", "पटेल", "जोशी", "मिश्रा", "कुमार", "त्रिपाठी", "चौहान",
         "श्रीवास्तव", "पाण्डेय"},
        {"अमित", "प्रिया", "राहुल", "अंजलि", "विक्रम", "स्नेहा", "अर्जुन", "दीपिका", "रोहित", "कविता",
         "सुरेश", "लक्ष्मी"}};
    const auto &table = script == QLatin1String("devanagari") ? devanagari : arabic;
    const char *const *surnames = table[0];
    const char *const *names = table[1];
    g_db.transaction();
    QSqlQuery ids(g_db);
    ids.exec(QStringLiteral("SELECT iAnaId FROM TAna_Anagrafiche"));
    QSqlQuery update(g_db);
    update.prepare(QStringLiteral("UPDATE TAna_Anagrafiche SET sAnaCognome = ?, sAnaNome = ?, "
                                  "sAnaCognomeNomeIdx = ? WHERE iAnaId = ?"));
    while (ids.next()) {
        const qint64 id = ids.value(0).toLongLong();
        const QString surname = QString::fromUtf8(surnames[id % 12]);
        const QString name = QString::fromUtf8(names[(id / 12) % 12]);
        update.addBindValue(surname);
        update.addBindValue(name);
        update.addBindValue(surname + QLatin1Char(' ') + name);
        update.addBindValue(id);
        if (!update.exec()) {
            std::fprintf(stderr, "%s\n", qPrintable(update.lastError().text()));
            std::exit(1);
        }
    }
    g_db.commit();
}

void prepareAndExport(Run &run)
{
    prepare(run);
    g_rpt->ExportTo(g_rpt->PDFExport, g_pdf);
}

template <int N> void Prepared(benchmark::State &state)
{
    Run &run = g_runs[N];
    timedInTurnsWithBare(
        state, g_seconds, QString::fromLatin1(run.name), [&run] { prepare(run); }, g_db,
        run.statements, 6);
}

template <int N> void PreparedAndExported(benchmark::State &state)
{
    Run &run = g_runs[N];
    timedInTurnsWithBare(
        state, g_seconds, QString::fromLatin1(run.name) + QStringLiteral(" pdf"),
        [&run] { prepareAndExport(run); }, g_db, run.statements, 6);
}

} // namespace

BENCHMARK(Prepared<0>)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PreparedAndExported<0>)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Prepared<1>)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PreparedAndExported<1>)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Prepared<2>)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PreparedAndExported<2>)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir mainDir;
    setMainDir(mainDir.path());
    g_pdf = QDir(mainDir.path()).filePath(QStringLiteral("stampa.pdf"));
    DialogSeam::setScripted(true);
    openDemoSchool(g_db, globalConnectionName());
    const QString script = qEnvironmentVariable("TAVRIN_BENCH_NAMES");
    if (!script.isEmpty())
        writeNamesIn(script, mainDir.path());
    TVxWorkingContext::setInstitute(2);
    TVxWorkingContext::setSchoolYear(39);
    TVxWorkingContext::setSession(392);
    installReportParts();
    registerReportForms(); // the selection dialog, as the program's start registers it
    TdmqelParGen parGen;
    dmqelParGen = &parGen;
    parGen.WriteParRptIniFromDb();
    auto module = std::make_unique<TdmqelRptDataSets>();
    auto rpt = std::make_unique<TdmVxRptFR>();
    rpt->RegisterDataModule(module->ModuleName());
    rpt->OnGetValue = [&module](const QString &name, QVariant &value) {
        module->ReportGetValue(name, value);
    };
    rpt->OnEndReport = [&module] { module->CloseAllDataSets(); };
    rpt->OnRefresh = [&module] { module->RefreshClientDataSets(); };
    rpt->SetDataStampe(QDate(2009, 6, 12));
    g_rpt = rpt.get();
    double cardsPeak = 0;
    qint64 cardsShaped = 0, exportShaped = 0;
    for (Run &run : g_runs) {
        // Recorded for the bare run; the rows are read once before either is timed. The first
        // preparation of the report cards gives their peak memory, and the lines it shaped;
        // the export right after it should shape none again.
        if (run.id == 16202) {
            resetPeak();
            cardsShaped = frShapedTexts();
        }
        prepare(run);
        if (run.id == 16202) {
            cardsPeak = peakMegabytes();
            cardsShaped = frShapedTexts() - cardsShaped;
            exportShaped = frShapedTexts();
            g_rpt->ExportTo(g_rpt->PDFExport, g_pdf);
            exportShaped = frShapedTexts() - exportShaped;
        }
        const long long before = benchRelay() ? benchRelay()->roundTrips() : 0;
        TVxStatementRecorder recorder;
        prepare(run);
        run.statements = recorder.statements();
        writeStatementTexts(run.statements);
        if (benchRelay())
            run.roundTrips = benchRelay()->roundTrips() - before;
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (benchRelay())
        std::printf("\nthrough the relay, %d us a round trip:",
                    benchRelay()->roundTripMicroseconds());
    for (const Run &run : g_runs) {
        const QString name = QString::fromLatin1(run.name);
        const double bare = g_seconds.value(name + QStringLiteral(" bare"));
        std::printf("\nthe %s of session 392 (report %d): %d pages, %d statements\n", run.name,
                    run.id, run.pages, int(run.statements.size()));
        if (run.id == 16202 && run.pupils > 0)
            std::printf("%-24s %.2f statements per pupil (target at most 20)\n", "",
                        double(run.statements.size()) / run.pupils);
        if (run.roundTrips >= 0)
            std::printf("%-24s %lld round trips\n", "", run.roundTrips);
        for (const QString &step : {name, name + QStringLiteral(" pdf")}) {
            const double seconds = g_seconds.value(step);
            std::printf("%-24s %8.1f ms (median of 3), %7.1f pages per second\n",
                        qPrintable(step == name ? QStringLiteral("preparation")
                                                : QStringLiteral("preparation and PDF")),
                        seconds * 1000, seconds > 0 ? run.pages / seconds : 0.0);
            // Few statements are left: the replay of its reads is no longer the preparation's
            // floor, only what its reads cost.
            if (bare > 0)
                std::printf("%-24s ratio %.2f x the replay of its reads\n", "", seconds / bare);
        }
        if (run.id == 16202)
            std::printf("%-24s targets: at scale 1, at least 60 pages per second embedded, the "
                        "preparation in at most 60 s through 4 ms round trips\n",
                        "");
        if (run.id == 16204)
            std::printf("%-24s target: at scale 1, the preparation in at most 12 s through 4 ms "
                        "round trips\n",
                        "");
        std::printf("%-24s %8.1f ms, %7.1f pages per second\n", "bare statements", bare * 1000,
                    bare > 0 ? run.pages / bare : 0.0);
    }

    std::printf("\nthe report cards' preparation%s: at most %.1f MB of memory (target at scale "
                "10: under 400 MB); %lld lines shaped, %lld shaped again by the PDF export "
                "(target 0)\n",
                script.isEmpty() ? "" : qPrintable(", names in " + script + " script"),
                cardsPeak, cardsShaped, exportShaped);

    g_rpt = nullptr;
    rpt.reset();
    module.reset();
    dmqelParGen = nullptr;
    g_db.close();
    g_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(globalConnectionName());
    return 0;
}
