#include "ui/UsbWorkerHandOver.h"

#include "platform/Ticks.h"
#include "thread/TBMExecuteThread.h"

#include <algorithm>
#include <utility>

namespace {

// How soon a pause notices that the program is ending.
constexpr std::uint32_t PauseSlice = 10;

}  // namespace

UsbWorkerHandOver::UsbWorkerHandOver(TBMExecuteThread& thread, Runner runner)
    : thread_(thread), runner_(std::move(runner)) {}

bool UsbWorkerHandOver::Terminated() const {
    return thread_.Terminated();
}

void UsbWorkerHandOver::Sleep(std::uint32_t milliseconds) {
    const std::uint32_t start = Ticks::Now();
    while (!Terminated()) {
        const std::uint32_t elapsed = Ticks::Elapsed(start, Ticks::Now());
        if (elapsed >= milliseconds)
            return;
        Ticks::Sleep(std::min(PauseSlice, milliseconds - elapsed));
    }
}

void UsbWorkerHandOver::OnUiThread(const std::function<void()>& call) {
    thread_.Synchronize([&](TBMThread*) { runner_(call); });
}
