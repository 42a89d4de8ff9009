#pragma once

#include <QDateTime>

#include <functional>

// A local date-time that moves only when a test moves it.
struct FakeClock {
    QDateTime now{QDate(2026, 12, 9), QTime(14, 5, 9)};

    // A clock function reading now, for the units that take one.
    std::function<QDateTime()> Get() {
        return [this] { return now; };
    }
};
