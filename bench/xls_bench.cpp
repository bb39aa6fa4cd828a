// Filling a template: 5,000 cells written through the file object and the workbook saved,
// next to python3-xlwt writing a new workbook with the same cells in the same run; and the
// survey's way of copying a model row, one call per subject, next to one call for all rows.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/xls_bench
#include "bench/python.h"
#include "xls/xlsadapter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int Rows = 500;
constexpr int Cols = 10; // 5,000 cells

void fillAndSave(xls::TXLSFile &file, const QString &out)
{
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Cols; ++c) {
            if (c % 2 == 0)
                file.SetCellValueAbs(r + 1, c + 1, r * 10 + c + 0.5);
            else
                file.SetCellValueAbs(r + 1, c + 1, QStringLiteral("voce %1-%2").arg(r).arg(c));
        }
    QFile::remove(out);
    file.Save(false, out);
}

void FillTemplateAndSave(benchmark::State &state)
{
    QTemporaryDir dir;
    xls::TXlsTemplateStore store;
    store.Templates.Add().setFileName(QStringLiteral(TAVRIN_XLS_FIXTURES "/plain.xls"));
    xls::TXLSAdapter adapter;
    adapter.setTemplateStore(&store);
    const QString out = dir.filePath(QStringLiteral("filled.xls"));
    for (auto _ : state) {
        auto file = adapter.NewExcelFile();
        file->AttachWorkbook();
        file->OpenFile(QStringLiteral("plain.xls"));
        fillAndSave(*file, out);
        file->ReleaseWorkbook();
    }
    state.counters["cells"] = Rows * Cols;
    state.counters["bytes"] = double(QFileInfo(out).size());
}

// The script times its own writing; the interpreter's start is reported apart.
void XlwtWritesTheSameCells(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("xlwt.xls"));
    double startup = 0;
    for (auto _ : state) {
        QProcess p;
        QElapsedTimer wall;
        wall.start();
        p.start(python(), {QStringLiteral(TAVRIN_XLWT_SCRIPT), out, QString::number(Rows),
                           QString::number(Cols)});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            state.SkipWithError("python3-xlwt did not run");
            return;
        }
        const double seconds = p.readAllStandardOutput().trimmed().toDouble();
        startup += wall.nsecsElapsed() / 1e9 - seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["cells"] = Rows * Cols;
    state.counters["bytes"] = double(QFileInfo(out).size());
    state.counters["startup_s"] = benchmark::Counter(startup, benchmark::Counter::kAvgIterations);
}

// Model row 4 of the subjects fixture carries a comment, row 6 does not. Arguments: the
// model row, the number of calls, the rows each call copies, and where the copies go: after
// the previous copy (1), as the survey places one subject after another, or each right below
// the model row (0), which pushes every earlier copy down at each call.
void CopyModelRow(benchmark::State &state)
{
    const int model = int(state.range(0));
    const int calls = int(state.range(1));
    const int rowsPerCall = int(state.range(2));
    const bool afterPrevious = state.range(3) != 0;
    xls::TXlsTemplateStore store;
    store.Templates.Add().setFileName(QStringLiteral(TAVRIN_XLS_FIXTURES "/subjects.xls"));
    xls::TXLSAdapter adapter;
    adapter.setTemplateStore(&store);
    for (auto _ : state) {
        state.PauseTiming();
        auto file = adapter.NewExcelFile();
        file->AttachWorkbook();
        file->OpenFile(QStringLiteral("subjects.xls"));
        file->SetActiveSheet(2);
        state.ResumeTiming();
        for (int i = 0; i < calls; ++i)
            file->InsertAndCopyRows(model, model, model + 1 + (afterPrevious ? i : 0), rowsPerCall,
                                    false);
        state.PauseTiming();
        file->ReleaseWorkbook();
        state.ResumeTiming();
    }
    state.counters["rows"] = calls * rowsPerCall;
    state.counters["comment"] = model == 4 ? 1 : 0;
}

} // namespace

BENCHMARK(CopyModelRow)
    ->ArgNames({"row", "calls", "rows", "after"})
    ->Args({4, 2000, 1, 1})
    ->Args({4, 1, 2000, 1})
    ->Args({4, 2000, 1, 0})
    ->Args({6, 2000, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(FillTemplateAndSave)->Unit(benchmark::kMillisecond);
BENCHMARK(XlwtWritesTheSameCells)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
