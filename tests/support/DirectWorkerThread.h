#pragma once

#include "protocol/UsbWorkerThread.h"

#include <cstdint>
#include <functional>
#include <vector>

// The USB worker's thread as a test or a fuzzer runs it: on the caller's own
// thread, window changes made at once, pauses only noted.
class DirectWorkerThread final : public UsbWorkerThread {
public:
    bool Terminated() const override { return terminated || (stopWhen && stopWhen()); }
    void Sleep(std::uint32_t milliseconds) override { pauses.push_back(milliseconds); }
    void OnUiThread(const std::function<void()>& call) override {
        if (!Terminated())
            call();
    }

    bool terminated = false;
    std::function<bool()> stopWhen;  // also asked to end once this holds
    std::vector<std::uint32_t> pauses;
};
