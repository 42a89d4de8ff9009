#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

// A timer on the user-interface thread, firing every 10 ms from construction:
// how often it fired and the longest time between two firings tell whether
// the window kept serving its events meanwhile.
class UiHeartbeat {
public:
    UiHeartbeat() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longestGap_ = std::max(longestGap_, sinceLast_.restart());
            ++beats_;
        });
        sinceLast_.start();
        timer_.start(10);
    }

    int Beats() const { return beats_; }
    // Up to now: a window that stopped serving events at the end counts too.
    qint64 LongestGapMs() const { return std::max(longestGap_, sinceLast_.elapsed()); }

private:
    QTimer timer_;
    QElapsedTimer sinceLast_;
    qint64 longestGap_ = 0;
    int beats_ = 0;
};

// The longest a window may leave its events unserved and still count as
// responsive: far above what a busy machine ever makes it wait, far below a
// wait for the meter that blocks it.
inline constexpr qint64 ResponsiveGapMs = 3000;
