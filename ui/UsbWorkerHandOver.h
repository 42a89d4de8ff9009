#pragma once

#include "protocol/UsbWorkerThread.h"

#include <functional>

class TBMExecuteThread;

// The USB worker's thread as the worker component runs it: Terminated is the
// component's, pauses end early once it is set, and every change of the
// window is a synchronized call, which the component serves even while the
// window waits for the worker to end.
class UsbWorkerHandOver final : public UsbWorkerThread {
public:
    // Runs a hand-over on the user-interface thread; the window wraps each one.
    using Runner = std::function<void(const std::function<void()>& call)>;

    UsbWorkerHandOver(TBMExecuteThread& thread, Runner runner);

    bool Terminated() const override;
    void Sleep(std::uint32_t milliseconds) override;
    void OnUiThread(const std::function<void()>& call) override;

private:
    TBMExecuteThread& thread_;
    Runner runner_;
};
