// The USB link through the real window and the simulated meter: a full read
// of 2677 records from start-up, and how long Exit takes while the worker
// rests and in the middle of a read.

#include "BenchWindow.h"
#include "archive/StringGrid.h"
#include "protocol/UsbLinkState.h"
#include "support/SimulatedUsbMeter.h"
#include "ui/StatusBar.h"
#include "ui/TForm1.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QProgressBar>

#include <functional>
#include <memory>

namespace {

// The worker's own pauses in a read from start-up: 500 ms before it loads the
// library, 50 ms before each of the passes 0, 1, 2 and 3, and 80 + 100 ms in
// the identification.
constexpr double FixedSleepsMs = 500 + 4 * 50 + 80 + 100;

const QString Loaded = QStringLiteral("VEL-1 N17; Считано записей: 2677");

// Runs the event loop as the program does (it wakes at once for the worker's
// hand-overs) until done() holds; false after 20 s.
bool RunUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(1);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

struct UsbBenchWindow {
    UsbBenchWindow() {
        meter.Set("VELSIM_IDENT", "VEL-1 N17");
        meter.Set("VELSIM_RECORDS", "2677");
        meter.Set("VELSIM_LATENCY", "0");
        env.WriteSettings("[Config]\nCOMPortNumber=USB\n");
    }
    bool Loads() {
        return RunUntil(
            [&] { return LinkState.load() == LinkStates::Idle && form->StatusBar1->PanelText(0) == Loaded; });
    }
    SimulatedUsbMeter meter;
    FakeEnvironment env;
    std::unique_ptr<TForm1> form;
};

void BM_UsbRead2677FromStart(benchmark::State& state) {
    double total = 0;
    for (auto _ : state) {
        UsbBenchWindow window;
        QElapsedTimer clock;
        clock.start();
        window.form = std::make_unique<TForm1>(window.env.Get());
        if (!window.Loads())
            state.SkipWithError("the archive was never shown");
        total += static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.PauseTiming();
        window.form.reset();
        Archive.Count = 0;
        state.ResumeTiming();
    }
    const double each = total / static_cast<double>(state.iterations());
    state.counters["total_ms"] = each;
    state.counters["beyond_sleeps_ms"] = each - FixedSleepsMs;
    state.SetLabel("target: beyond the fixed sleeps < 300 ms, rendering included");
}
BENCHMARK(BM_UsbRead2677FromStart)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_UsbExit(benchmark::State& state) {
    const bool midRead = state.range(0) != 0;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        UsbBenchWindow window;
        if (midRead)
            window.meter.Set("VELSIM_FAULTS", "record:trickle=1/2");
        window.form = std::make_unique<TForm1>(window.env.Get());
        const bool ready = midRead ? RunUntil([&] { return window.form->ProgressBar1->value() > 100; })
                                   : window.Loads();
        if (!ready)
            state.SkipWithError("the read did not get there");
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        window.form->AExit->trigger();
        total += static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.PauseTiming();
        window.form.reset();
        Archive.Count = 0;
        state.ResumeTiming();
    }
    state.counters["exit_ms"] = total / static_cast<double>(state.iterations());
    state.SetLabel(midRead ? "target: < 1000 ms in the middle of a 2677-record read"
                           : "target: about 150 ms while the worker rests");
}
BENCHMARK(BM_UsbExit)->Arg(0)->Arg(1)->ArgName("mid_read")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
