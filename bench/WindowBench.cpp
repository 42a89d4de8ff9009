// The main window: how long until it is first shown, and how long a full
// archive takes to render into its table while the window keeps processing
// events after every row.

#include "BenchWindow.h"
#include "ui/TForm1.h"

#include <benchmark/benchmark.h>

#include <QTest>

#include <memory>

namespace {

void BM_FirstShownWindow(benchmark::State& state) {
    for (auto _ : state) {
        FakeEnvironment env;
        auto form = std::make_unique<TForm1>(env.Get());
        const bool exposed = QTest::qWaitForWindowExposed(form.get());
        state.PauseTiming();
        if (!exposed)
            state.SkipWithError("the window was never shown");
        form.reset();
        state.ResumeTiming();
    }
    state.SetLabel("target: first shown window");
}
BENCHMARK(BM_FirstShownWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ShowArchive2677(benchmark::State& state) {
    FakeEnvironment env;
    TForm1 form(env.Get());
    (void)QTest::qWaitForWindowExposed(&form);
    FillArchive();
    for (auto _ : state) {
        state.PauseTiming();
        form.ClearTable();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        form.ShowArchive();
    }
    Archive.Count = 0;
    state.SetLabel("target: < 150 ms for 2677 rows");
}
BENCHMARK(BM_ShowArchive2677)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
