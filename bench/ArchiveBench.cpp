// Archive files: opening a full archive until its table is rendered, and
// saving it.

#include "BenchWindow.h"
#include "ui/TForm1.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTest>

namespace {

void BM_OpenArchive2677(benchmark::State& state) {
    FakeEnvironment env;
    TForm1 form(env.Get());
    (void)QTest::qWaitForWindowExposed(&form);
    FillArchive();
    AnswerEverything(env, env.folder.filePath(QStringLiteral("full.Vel")));
    form.ASaveExecute();
    for (auto _ : state)
        form.AOpenExecute();
    if (Archive.Count != ArchiveCapacity)
        state.SkipWithError("the archive did not open");
    Archive.Count = 0;
    state.SetLabel("target: < 200 ms until the table is rendered");
}
BENCHMARK(BM_OpenArchive2677)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SaveArchive2677(benchmark::State& state) {
    FakeEnvironment env;
    TForm1 form(env.Get());
    FillArchive();
    const QString path = env.folder.filePath(QStringLiteral("saved.Vel"));
    AnswerEverything(env, path);
    for (auto _ : state)
        form.ASaveExecute();
    if (QFile(path).size() != ArchiveCapacity * 24)
        state.SkipWithError("the archive was not saved");
    Archive.Count = 0;
    state.SetLabel("saving a full archive (64 KB)");
}
BENCHMARK(BM_SaveArchive2677)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
