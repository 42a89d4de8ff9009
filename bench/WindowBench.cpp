// The main window: how long until it is first shown, and how long a full
// archive takes to render into its table while the window keeps processing
// events after every row.

#include "archive/Archive.h"
#include "platform/MessageBox.h"
#include "platform/ProcessExit.h"
#include "ui/TForm1.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

class NoExit final : public ProcessExit {
public:
    void Exit(int) override {}
};

struct BenchWindow {
    QTemporaryDir folder;
    QtMessageBoxes messageBoxes;
    NoExit exit;
    Environment Get() { return {folder.path(), &messageBoxes, &exit}; }
};

void FillArchive() {
    Archive.Count = ArchiveCapacity;
    for (int i = 0; i < ArchiveCapacity; ++i) {
        TMeasurement& m = Archive.Records[i];
        m = TMeasurement{};
        m.Number = static_cast<std::uint16_t>(i + 1);
        m.Hour = static_cast<std::uint8_t>(i % 24);
        m.Minute = static_cast<std::uint8_t>(i % 60);
        m.Second = static_cast<std::uint8_t>(i % 60);
        m.Day = static_cast<std::uint8_t>(1 + i % 28);
        m.Month = static_cast<std::uint8_t>(1 + i % 12);
        m.Year = 26;
        m.Material = static_cast<std::int8_t>(i % 17);
        m.Density = 2000.0f + static_cast<float>(i) * 0.37f;
        m.Temperature = 20.0f + static_cast<float>(i % 100) * 0.1f;
    }
}

void BM_FirstShownWindow(benchmark::State& state) {
    for (auto _ : state) {
        BenchWindow env;
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
    BenchWindow env;
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
