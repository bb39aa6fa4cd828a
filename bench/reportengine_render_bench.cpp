// A prepared report of 1,000 pages: how long the preview takes to show its first page (target:
// under 0.2 s, whatever the length, since pages are drawn when shown), and the PDF export in
// pages per second next to the layout of the same report and next to python3-reportlab writing
// the same pages in the same run (texts and frames placed by hand, the same font embedded as a
// subset; skipped when the package is missing). Targets: our export at least 1.5 times
// reportlab's pages per second, our file no larger than 1.2 times its file.
#include "bench/drawing.h"
#include "bench/python.h"
#include "reportengine/reportmodule.h"
#include "reportengine/reportpreview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kPages = 1000;
constexpr int kRowsPerPage = 26; // rows of 10 mm in the 261 mm between header and footer

class RegisterRows : public TfrDataSet
{
public:
    RegisterRows() : TfrDataSet("qquRegistro") {}

protected:
    void fetch(QStringList &columns, std::vector<QList<QVariant>> &rows) override
    {
        columns = {"iSitId", "sAlunno", "sMateria", "sVoto", "sGiudizio"};
        static const char *const subjects[] = {"Italiano", "Storia", "Matematica", "Inglese",
                                               "Scienze",  "Fisica", "Latino",     "Religione"};
        for (int i = 0; i < kPages * kRowsPerPage; ++i)
            rows.push_back({i + 1, QStringLiteral("Alunno numero %1 della classe").arg(i / 8),
                            subjects[i % 8], QString::number(4 + i % 7),
                            "Ha raggiunto gli obiettivi fissati con profitto e sufficiente "
                            "efficacia nel metodo di studio."});
    }
};

class RegisterModule : public TfrDataModule
{
public:
    RegisterModule() : TfrDataModule("dmRegistro")
    {
        AddReportDataSet("frdRegistro", own(std::make_unique<RegisterRows>()));
    }
};

const char *const kTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1" title="Registro di prova" paper="A4" font-size="9">
  <page-header height="10">
    <text name="Testata" left="0" top="0" width="190" height="5" align="right">Registro - foglio [PAGE#] di [TOTALPAGES]</text>
  </page-header>
  <page-footer height="6">
    <text name="Piede" left="0" top="0" width="190" height="5" align="center">Stampato il [DATE]</text>
  </page-footer>
  <data name="Voti" dataset="frdRegistro" height="10">
    <text name="Alunno" left="0" top="0" width="60" height="10" frame="all">[frdRegistro."sAlunno"]</text>
    <text name="Materia" left="60" top="0" width="30" height="10" frame="all">[frdRegistro."sMateria"]</text>
    <text name="Voto" left="90" top="0" width="12" height="10" align="center" frame="all">[frdRegistro."sVoto"]</text>
    <text name="Giudizio" left="102" top="0" width="88" height="10" frame="all" fill="#F2F2F2">[frdRegistro."sGiudizio"]</text>
  </data>
</report>
)";

struct Prepared
{
    RegisterModule module;
    TfrReport report;
    double layoutSeconds = 0;

    Prepared()
    {
        report.LoadFromTemplate(frReadTemplate(kTemplate));
        QElapsedTimer timer;
        timer.start();
        report.PrepareReport();
        layoutSeconds = timer.nsecsElapsed() / 1e9;
    }
};

Prepared &prepared()
{
    static Prepared p;
    return p;
}

double exportSeconds = 0;
double exportBytes = 0;
double reportlabSeconds = 0;
double reportlabBytes = 0;
double previewSeconds = 0;

// The pages as bench/reportlab_pages.py reads them: a line per page and per item, in drawing
// order, millimetres from the page's top-left corner.
void writePagesForReportlab(const TfrDisplayList &pages, const QString &fileName)
{
    QByteArray out;
    const auto n = [](double v) { return QByteArray::number(v, 'f', 4); };
    for (const TfrPage &page : pages.Pages) {
        out += "P\t" + n(page.Size.width()) + '\t' + n(page.Size.height()) + '\n';
        for (const TfrDisplayItem &item : page.Items) {
            switch (item.Kind) {
            case TfrItemKind::Text:
                out += "T\t" + n(item.Origin.x()) + '\t' + n(item.Origin.y()) + '\t' +
                       n(item.Font.Size) + '\t' + (item.Font.Bold ? '1' : '0') + '\t' +
                       (item.Font.Italic ? '1' : '0') + '\t' + item.Text.toUtf8() + '\n';
                break;
            case TfrItemKind::Line:
                out += "L\t" + n(item.Line.x1()) + '\t' + n(item.Line.y1()) + '\t' +
                       n(item.Line.x2()) + '\t' + n(item.Line.y2()) + '\t' + n(item.LineWidth) +
                       '\n';
                break;
            case TfrItemKind::Rect:
                out += "R\t" + n(item.Box.x()) + '\t' + n(item.Box.y()) + '\t' +
                       n(item.Box.width()) + '\t' + n(item.Box.height()) + '\t' +
                       n(item.LineWidth) + '\t' + (item.Stroke ? '1' : '0') + '\t' +
                       (item.Fill.isValid() ? item.Fill.name().toLatin1() : QByteArray()) + '\n';
                break;
            }
        }
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        qFatal("cannot write %s", qPrintable(fileName));
}

// From the prepared pages to the first page on the screen: the window made, shown, its page
// drawn and painted.
void PreviewFirstPage(benchmark::State &state)
{
    const TfrDisplayList &pages = prepared().report.Pages();
    QElapsedTimer timer;
    double total = 0;
    for (auto _ : state) {
        timer.start();
        TfrPreviewForm preview(pages, QIcon());
        preview.resize(1100, 800);
        preview.show();
        benchmark::DoNotOptimize(preview.View()->PageImage());
        QApplication::processEvents();
        total += timer.nsecsElapsed() / 1e9;
    }
    previewSeconds = total / double(state.iterations());
    state.counters["pages"] = double(pages.Pages.size());
}

void PdfExport(benchmark::State &state)
{
    const TfrDisplayList &pages = prepared().report.Pages();
    QTemporaryDir dir;
    TfrPDFExportFilter filter;
    QElapsedTimer timer;
    double total = 0;
    const QString out = dir.filePath("registro.pdf");
    for (auto _ : state) {
        timer.start();
        filter.Export(pages, out);
        total += timer.nsecsElapsed() / 1e9;
    }
    exportSeconds = total / double(state.iterations());
    exportBytes = double(QFileInfo(out).size());
    state.counters["pages/s"] = benchmark::Counter(double(pages.Pages.size()),
                                                   benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = exportBytes;
}

// The script times its own writing, from the fonts registered to the file saved.
void ReportlabWritesTheSamePages(benchmark::State &state)
{
    const TfrDisplayList &pages = prepared().report.Pages();
    QTemporaryDir dir;
    const QString input = dir.filePath("pagine.tsv");
    const QString out = dir.filePath("reportlab.pdf");
    writePagesForReportlab(pages, input);
    double total = 0;
    for (auto _ : state) {
        QProcess p;
        p.start(python(), {QStringLiteral(TAVRIN_REPORTLAB_SCRIPT), input, out});
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            state.SkipWithError("python3-reportlab did not run (bench/run.sh installs it)");
            return;
        }
        const double seconds = p.readAllStandardOutput().trimmed().toDouble();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    reportlabSeconds = total / double(state.iterations());
    reportlabBytes = double(QFileInfo(out).size());
    state.counters["pages/s"] =
        benchmark::Counter(double(pages.Pages.size()) * double(state.iterations()) / total);
    state.counters["bytes"] = reportlabBytes;
}

} // namespace

BENCHMARK(PreviewFirstPage)->Unit(benchmark::kMillisecond);
BENCHMARK(PdfExport)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ReportlabWritesTheSamePages)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char **argv)
{
    drawOffscreenUnlessNamed();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const Prepared &p = prepared();
    const double pages = double(p.report.Pages().Pages.size());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n%.0f pages\n", pages);
    std::printf("layout:              %7.2f s  %8.0f pages/s\n", p.layoutSeconds,
                pages / p.layoutSeconds);
    if (exportSeconds > 0)
        std::printf("PDF export:          %7.2f s  %8.0f pages/s  %9.0f bytes\n", exportSeconds,
                    pages / exportSeconds, exportBytes);
    if (reportlabSeconds > 0)
        std::printf("reportlab, same pages: %5.2f s  %8.0f pages/s  %9.0f bytes\n",
                    reportlabSeconds, pages / reportlabSeconds, reportlabBytes);
    if (exportSeconds > 0 && reportlabSeconds > 0)
        std::printf("PDF export / reportlab: %.2f times its pages/s (target at least 1.5), "
                    "%.2f times its size (target at most 1.2)\n",
                    reportlabSeconds / exportSeconds, exportBytes / reportlabBytes);
    if (previewSeconds > 0)
        std::printf("preview, first page: %7.3f s  (target under 0.2 s)\n", previewSeconds);
    return 0;
}
