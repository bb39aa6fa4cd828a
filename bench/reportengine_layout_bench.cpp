// The banded layout of a 10,000-row report over an in-memory dataset, in pages per second,
// next to evaluating the same expressions without placing anything: what measuring, breaking
// and placing add to the evaluation the report cannot do without (target: at most twice).
#include "bench/drawing.h"
#include "reportengine/reportengine.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRows = 10000;

class RowsDataSet : public TfrDataSet
{
public:
    RowsDataSet() : TfrDataSet("qquAlunni") {}

protected:
    void fetch(QStringList &columns, std::vector<QList<QVariant>> &rows) override
    {
        columns = {"iSitId", "sAnaCognome", "sAnaNome", "dAnaNascita", "fMedia", "sNota"};
        static const char *const surnames[] = {"Rossi",   "Bianchi", "Esposito", "De Luca",
                                               "Colombo", "Mancini", "Santoro",  "Fontana"};
        for (int i = 0; i < kRows; ++i)
            rows.push_back({i + 1, surnames[i % 8], i % 2 ? "Anna Maria" : "Marco",
                            QDate(1992, 1, 1).addDays(i % 700), 5.5 + (i % 9) * 0.5,
                            i % 5 == 0 ? "Ha frequentato con impegno e profitto le attività di "
                                         "recupero proposte dal consiglio di classe."
                                       : "Regolare."});
    }
};

class BenchModule : public TfrDataModule
{
public:
    BenchModule() : TfrDataModule("dmBench")
    {
        AddReportDataSet("frdAlunni", own(std::make_unique<RowsDataSet>()));
    }
};

const char *const kTemplate = R"(<?xml version="1.0" encoding="UTF-8"?>
<report version="1" title="Prova di velocità" paper="A4" font-size="8">
  <page-header height="10">
    <text name="Testata" left="0" top="0" width="190" height="5" align="right">Elenco alunni - pagina [PAGE#] di [TOTALPAGES]</text>
  </page-header>
  <page-footer height="6">
    <text name="Piede" left="0" top="0" width="190" height="5" align="center">Stampato il [DATE]</text>
  </page-footer>
  <data name="Alunni" dataset="frdAlunni" height="5" stretch="true">
    <text name="Numero" left="0" top="0" width="12" height="5" align="right" frame="all">[LINE#]</text>
    <text name="Nome" left="12" top="0" width="60" height="5" frame="all">[frdAlunni."sAnaCognome"] [frdAlunni."sAnaNome"]</text>
    <text name="Nascita" left="72" top="0" width="22" height="5" align="center" frame="all" format="date:dd/MM/yyyy">[frdAlunni."dAnaNascita"]</text>
    <text name="Media" left="94" top="0" width="16" height="5" align="right" frame="all" format="number:2">[frdAlunni."fMedia"]</text>
    <text name="Nota" left="110" top="0" width="80" height="5" overflow="stretch" frame="all">[frdAlunni."sNota"]</text>
  </data>
</report>
)";

void Layout(benchmark::State &state)
{
    BenchModule module;
    TfrReport report;
    report.LoadFromTemplate(frReadTemplate(kTemplate));
    int pages = 0;
    for (auto _ : state) {
        report.PrepareReport();
        pages = int(report.Pages().Pages.size());
    }
    state.counters["pages"] = pages;
    state.counters["pages/s"] =
        benchmark::Counter(double(pages), benchmark::Counter::kIsIterationInvariantRate);
}

// The same texts evaluated in the same run, page header and footer once per page of the
// layout, with nothing measured or placed.
void EvaluateOnly(benchmark::State &state)
{
    BenchModule module;
    TfrReport report;
    const TfrTemplate t = frReadTemplate(kTemplate);
    report.LoadFromTemplate(t);
    report.PrepareReport();
    const int pages = int(report.Pages().Pages.size());
    const auto texts = [](const TfrBand *band) {
        std::vector<std::pair<QString, TfrText>> list;
        for (const TfrObject &o : band->Objects)
            list.push_back({o.Name, TfrText::parse(o.Memo)});
        return list;
    };
    const auto header = texts(t.band(TfrBandKind::PageHeader));
    const auto footer = texts(t.band(TfrBandKind::PageFooter));
    const auto rows = texts(t.band(TfrBandKind::Data));
    for (auto _ : state) {
        TfrRun run(report);
        TfrDataSet *d = report.FindDataSet("frdAlunni");
        d->Close();
        d->Open();
        for (int p = 0; p < pages; ++p) {
            for (const auto &[name, text] : header)
                benchmark::DoNotOptimize(report.ExpandText(name, text));
            for (const auto &[name, text] : footer)
                benchmark::DoNotOptimize(report.ExpandText(name, text));
        }
        for (; !d->Eof(); d->Next()) {
            for (const auto &[name, text] : rows)
                benchmark::DoNotOptimize(report.ExpandText(name, text));
        }
        run.End();
    }
    state.counters["pages"] = pages;
}

} // namespace

BENCHMARK(Layout)->Unit(benchmark::kMillisecond);
BENCHMARK(EvaluateOnly)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    runDrawingBenchmarks(argc, argv);
    return 0;
}
