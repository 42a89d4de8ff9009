#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

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
