// The measurement report of a full archive: laying it out from the table,
// and exporting it to PDF.

#include "BenchWindow.h"
#include "output/MeasurementReport.h"
#include "report/ReportExport.h"
#include "ui/TForm1.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

namespace {

void BM_PrepareReport2677(benchmark::State& state) {
    FakeEnvironment env;
    TForm1 form(env.Get());
    FillArchive();
    form.ShowArchive();
    std::size_t pages = 0;
    for (auto _ : state)
        pages = PrepareMeasurementReport(form.Grid()).pages.size();
    if (pages == 0)
        state.SkipWithError("no pages");
    Archive.Count = 0;
    state.SetLabel("target: < 1 s for 2677 records");
}
BENCHMARK(BM_PrepareReport2677)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ExportPdf2677(benchmark::State& state) {
    FakeEnvironment env;
    TForm1 form(env.Get());
    FillArchive();
    form.ShowArchive();
    const PreparedReport report = PrepareMeasurementReport(form.Grid());
    QTemporaryDir folder;
    for (auto _ : state)
        if (!ExportReport(*ExportFormatFor(QStringLiteral("x.pdf")), report, folder.filePath(QStringLiteral("report.pdf"))).Ok())
            state.SkipWithError("the PDF was not written");
    Archive.Count = 0;
    state.SetLabel("target: < 2 s for 2677 records");
}
BENCHMARK(BM_ExportPdf2677)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
