// Many files into one folder, as a send of per-pupil files writes them: 10,000 files of 2 KB
// replaced through VxReplaceFile (synced later, as such a send does), beside the same files
// written plainly (open, write, close) in the same run, in turns; each round into a new folder.
//   cmake -DTAVRIN_BENCH=ON ... && build/bench/bench/platform_fileaccess_bench
// The last lines give the ratio to the plain writes (target at most 1.5) and how the last
// thousand files took against the first, beside the plain writes' own (a cost of ours that grows
// with the folder shows as a difference there; on a disk both grow with the dirty pages).
#include "platform/fileaccess.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

constexpr int kFiles = 10000;
const QByteArray kBytes(2048, 'v');

double g_plainMs = 0;
double g_replacedMs = 0;
double g_firstThousandMs = 0;
double g_lastThousandMs = 0;
// The plain writes' own growth: what the disk adds as the folder and its dirty pages grow.
double g_plainFirstThousandMs = 0;
double g_plainLastThousandMs = 0;

// The files written one by one into a new folder: the whole time, and the first and the last
// thousand's.
void writeAll(const std::function<void(const QString &)> &write, double &total, double &first,
              double &last)
{
    QTemporaryDir dir;
    QElapsedTimer timer;
    QElapsedTimer thousand;
    timer.start();
    for (int i = 0; i < kFiles; ++i) {
        if (i == 0 || i == kFiles - 1000)
            thousand.start();
        write(dir.filePath(QStringLiteral("alunno%1.xml").arg(i)));
        if (i == 999)
            first += double(thousand.nsecsElapsed()) / 1e6;
        if (i == kFiles - 1)
            last += double(thousand.nsecsElapsed()) / 1e6;
    }
    total += double(timer.nsecsElapsed()) / 1e6;
}

void plainWrite(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, kBytes.constData(), size_t(kBytes.size())) != kBytes.size() ||
        ::close(fd) != 0)
        std::abort();
}

void replacedWrite(const QString &path)
{
    VxReplaceFile(path, kBytes, TVxFileSync::Later);
}

void TenThousandFilesInOneFolder(benchmark::State &state)
{
    int rounds = 0;
    for (auto _ : state) {
        // In turns, so that neither always meets a disk the other has just filled.
        if (rounds++ % 2 == 0) {
            writeAll(plainWrite, g_plainMs, g_plainFirstThousandMs, g_plainLastThousandMs);
            writeAll(replacedWrite, g_replacedMs, g_firstThousandMs, g_lastThousandMs);
        } else {
            writeAll(replacedWrite, g_replacedMs, g_firstThousandMs, g_lastThousandMs);
            writeAll(plainWrite, g_plainMs, g_plainFirstThousandMs, g_plainLastThousandMs);
        }
    }
    g_plainMs /= rounds;
    g_replacedMs /= rounds;
    g_firstThousandMs /= rounds;
    g_lastThousandMs /= rounds;
    state.counters["files"] = kFiles;
}

} // namespace

BENCHMARK(TenThousandFilesInOneFolder)->Unit(benchmark::kMillisecond)->Iterations(4);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_plainMs <= 0)
        return 0;
    std::printf("\n%d files of %lld bytes into one folder, each round a new folder:\n", kFiles,
                static_cast<long long>(kBytes.size()));
    std::printf("plain writes (open, write, close): %.0f ms\n", g_plainMs);
    std::printf("VxReplaceFile, synced later:       %.0f ms\n", g_replacedMs);
    std::printf("ratio %.2f x the plain writes (target at most 1.5)\n", g_replacedMs / g_plainMs);
    std::printf("last thousand files %.2f x the first thousand's (plain writes %.2f x)\n",
                g_lastThousandMs / g_firstThousandMs,
                g_plainLastThousandMs / g_plainFirstThousandMs);
    return 0;
}
