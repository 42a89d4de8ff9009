// The measurement report of a full archive: laying it out from the table,
// and exporting it to every format, from the preview and from a script.

#include "BenchWindow.h"
#include "archive/ArchiveFile.h"
#include "output/MeasurementReport.h"
#include "report/ReportExport.h"
#include "ui/TForm1.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
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

// Every export of the full report, as the preview writes it.
void BM_Export2677(benchmark::State& state, const ExportFormat* format) {
    FakeEnvironment env;
    TForm1 form(env.Get());
    FillArchive();
    form.ShowArchive();
    const PreparedReport report = PrepareMeasurementReport(form.Grid());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.") + format->extension);
    for (auto _ : state)
        if (!ExportReport(*format, report, path).Ok())
            state.SkipWithError("the file was not written");
    Archive.Count = 0;
    state.SetLabel("target: < 2 s for 2677 records");
}

// The same from a script: the whole program run, archive file to report file.
void BM_BatchExport2677(benchmark::State& state, const ExportFormat* format) {
    QTemporaryDir folder;
    FillArchive();
    {
        QFile archive(folder.filePath(QStringLiteral("full.Vel")));
        if (!archive.open(QIODevice::WriteOnly) || archive.write(ArchiveFileImage(Archive).toByteArray()) < 0)
            state.SkipWithError("no archive file");
    }
    Archive.Count = 0;
    const QStringList arguments{QStringLiteral("--export"), folder.filePath(QStringLiteral("report.") + format->extension),
                                folder.filePath(QStringLiteral("full.Vel"))};
    for (auto _ : state) {
        QProcess vel;
        vel.start(QStringLiteral(VEL_PROGRAM), arguments);
        if (!vel.waitForFinished(60000) || vel.exitCode() != 0)
            state.SkipWithError("vel --export failed");
    }
    state.SetLabel("target: < 2 s for 2677 records, start-up included");
}

const bool registered = [] {
    for (const ExportFormat& format : ExportFormats()) {
        const std::string name = format.extension.toStdString();
        benchmark::RegisterBenchmark(("BM_Export2677/" + name).c_str(), BM_Export2677, &format)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        benchmark::RegisterBenchmark(("BM_BatchExport2677/" + name).c_str(), BM_BatchExport2677, &format)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()  // the time is the child's, not this process's
            ->Iterations(3);
    }
    return true;
}();

}  // namespace
