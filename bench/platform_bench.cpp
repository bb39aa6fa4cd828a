// The string grid: 1,000 rows by 100 columns filled with texts and records and painted
// offscreen (first page, then the last one), next to a plain QTableWidget filled the same way
// in the same run; and a class grid (40 pupils by 80 components) filled, shown and paged.
//   cmake -DTAVRIN_BENCH=ON ... && QT_QPA_PLATFORM=offscreen build/bench/bench/platform_bench
#include "bench/drawing.h"
#include "platform/stringgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

Q_DECLARE_METATYPE(std::shared_ptr<TVxGridObject>)

namespace {

struct Vote : TVxGridObject
{
    int key = 0;
};

constexpr int Rows = 1000;
constexpr int Cols = 100;
const QSize Screen(1280, 800);

// Mean milliseconds of one iteration of each benchmark, for the comparison printed at the end.
double g_stringGridMs = 0;
double g_tableWidgetMs = 0;
double g_classGridMs = 0;

// Runs the benchmark's iterations, keeping the mean milliseconds of one.
template <typename Step> void timed(benchmark::State &state, double &ms, Step step)
{
    QElapsedTimer timer;
    qint64 total = 0;
    for (auto _ : state) {
        timer.start();
        step();
        total += timer.nsecsElapsed();
    }
    ms = double(total) / 1e6 / double(state.iterations());
}

QString textOf(int col, int row)
{
    return QString::number((row * 7 + col) % 10) + QStringLiteral(".5");
}

// Every cell gets its text and a record of its own, as a grade grid is loaded.
template <typename Put> void fill(Put put)
{
    for (int r = 0; r < Rows; ++r) {
        for (int c = 0; c < Cols; ++c) {
            auto vote = std::make_shared<Vote>();
            vote->key = r * Cols + c;
            put(c, r, textOf(c, r), std::move(vote));
        }
    }
}

void StringGridFillAndPaint(benchmark::State &state)
{
    timed(state, g_stringGridMs, [] {
        TVxStringGrid grid;
        grid.resize(Screen);
        grid.setColCount(Cols);
        grid.setRowCount(Rows);
        fill([&](int c, int r, const QString &text, std::shared_ptr<Vote> vote) {
            grid.setCells(c, r, text);
            grid.setObjects(c, r, std::move(vote));
        });
        benchmark::DoNotOptimize(grid.grab());
        grid.setTopRow(Rows);
        grid.setLeftCol(Cols);
        benchmark::DoNotOptimize(grid.grab());
    });
    state.counters["cells"] = Rows * Cols;
}

void TableWidgetFillAndPaint(benchmark::State &state)
{
    timed(state, g_tableWidgetMs, [] {
        QTableWidget table;
        table.resize(Screen);
        table.setColumnCount(Cols);
        table.setRowCount(Rows);
        fill([&](int c, int r, const QString &text, std::shared_ptr<Vote> vote) {
            auto *item = new QTableWidgetItem(text);
            item->setData(Qt::UserRole,
                          QVariant::fromValue(std::static_pointer_cast<TVxGridObject>(vote)));
            table.setItem(r, c, item);
        });
        benchmark::DoNotOptimize(table.grab());
        table.verticalScrollBar()->setValue(table.verticalScrollBar()->maximum());
        table.horizontalScrollBar()->setValue(table.horizontalScrollBar()->maximum());
        benchmark::DoNotOptimize(table.grab());
    });
    state.counters["cells"] = Rows * Cols;
}

// What the office sees on opening a class: the grid filled, shown, then paged down and right.
void ClassGridShowAndScroll(benchmark::State &state)
{
    timed(state, g_classGridMs, [] {
        TVxStringGrid grid;
        grid.resize(Screen);
        grid.setColCount(81);
        grid.setRowCount(42);
        grid.setFixedRows(2);
        grid.setDefaultColWidth(20);
        grid.setColWidths(0, 200);
        for (int r = 0; r < grid.RowCount(); ++r)
            for (int c = 0; c < grid.ColCount(); ++c)
                grid.setCells(c, r, textOf(c, r));
        grid.show();
        benchmark::DoNotOptimize(grid.grab());
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(&grid, Qt::Key_PageDown);
            QTest::keyClick(&grid, Qt::Key_End);
            benchmark::DoNotOptimize(grid.grab());
        }
    });
}

} // namespace

BENCHMARK(StringGridFillAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(TableWidgetFillAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(ClassGridShowAndScroll)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    runDrawingBenchmarks(argc, argv);
    if (g_tableWidgetMs <= 0)
        return 0;
    std::printf("\n%d x %d cells filled with texts and records, painted on two pages:\n", Rows,
                Cols);
    std::printf("string grid:  %.1f ms\n", g_stringGridMs);
    std::printf("QTableWidget: %.1f ms\n", g_tableWidgetMs);
    std::printf("ratio %.2f x the QTableWidget (target at most 1)\n",
                g_stringGridMs / g_tableWidgetMs);
    std::printf("class grid of 40 pupils by 80 components shown and paged: %.1f ms\n",
                g_classGridMs);
    return 0;
}
