// A prepared report of 1,000 pages: how long the preview takes to show its first page (target:
// under 0.2 s, whatever the length, since pages are drawn when shown), and the PDF export in
// pages per second next to the layout of the same report.
#include "bench/drawing.h"
#include "reportengine/reportmodule.h"
#include "reportengine/reportpreview.h"

#include <QApplication>
#include <QElapsedTimer>
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
double previewSeconds = 0;

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
    for (auto _ : state) {
        timer.start();
        filter.Export(pages, dir.filePath("registro.pdf"));
        total += timer.nsecsElapsed() / 1e9;
    }
    exportSeconds = total / double(state.iterations());
    state.counters["pages/s"] = benchmark::Counter(double(pages.Pages.size()),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(PreviewFirstPage)->Unit(benchmark::kMillisecond);
BENCHMARK(PdfExport)->Unit(benchmark::kMillisecond)->Iterations(3);

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
        std::printf("PDF export:          %7.2f s  %8.0f pages/s\n", exportSeconds,
                    pages / exportSeconds);
    if (previewSeconds > 0)
        std::printf("preview, first page: %7.3f s  (target under 0.2 s)\n", previewSeconds);
    return 0;
}
