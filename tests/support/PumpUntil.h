#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <chrono>
#include <functional>
#include <thread>

// How long a wait below may take before the test counts it as hung: far more
// than anything takes on a slow machine under a sanitizer.
inline constexpr int HungAfterMs = 30000;

// Serves the UI thread's events until done() holds; false after HungAfterMs.
// For outcomes that arrive asynchronously; the deadline only stops a hung test.
inline bool PumpUntil(const std::function<bool()>& done, int hungAfterMs = HungAfterMs) {
    const QDeadlineTimer deadline(hungAfterMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}

// Waits until done() holds without serving any event: for what another
// thread does while the UI thread is busy elsewhere. False after HungAfterMs.
inline bool WaitWithoutPumping(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(HungAfterMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
