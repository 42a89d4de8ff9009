#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <chrono>
#include <functional>
#include <thread>

// Serves the UI thread's events until done() holds; false after 10 s. For
// outcomes that arrive asynchronously; the deadline only stops a hung test.
inline bool PumpUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}

// Waits until done() holds without serving any event: for what another
// thread does while the UI thread is busy elsewhere. False after 10 s.
inline bool WaitWithoutPumping(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
