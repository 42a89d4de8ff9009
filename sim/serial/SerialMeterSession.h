#pragma once

#include "sim/MeterModel.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

// The meter's side of a serial line, without the line: bytes received at a
// moment go in, the answer bytes come out when they are due. No I/O and no
// clock of its own: the caller passes the time of every call, read from one
// steady clock.
//
// A frame is taken when its last byte arrives, and its answer's chunk delays
// count from then, each chunk's from the one before it. The meter answers one
// command at a time: a frame completed while an earlier answer is still going
// out waits, and is taken when that answer's last chunk has gone out, so its
// own delays count from there. A command the meter does not answer (a fault,
// an unknown index) keeps it busy for no time at all. A frame cut short stays
// until the bytes that complete it come; the meter has no time limit between
// the bytes of one frame.
class SerialMeterSession {
public:
    using Clock = std::chrono::steady_clock;

    explicit SerialMeterSession(MeterSetup setup);

    // Bytes received at `at`: every frame they complete is taken and its
    // answer scheduled; unknown bytes are skipped (MeterModel::TakeSerialInput).
    void Receive(std::span<const std::uint8_t> bytes, Clock::time_point at);

    // When the next answer bytes are due; empty while nothing is scheduled.
    std::optional<Clock::time_point> NextDue() const;

    // The bytes due at `now` or before, in the order they go out on the line;
    // they are handed out once. Empty when nothing is due yet.
    std::vector<std::uint8_t> TakeDue(Clock::time_point now);

    // The meter behind the session: frames taken, indices requested.
    const MeterModel& Meter() const { return meter_; }

private:
    struct Scheduled {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };

    MeterModel meter_;
    std::vector<std::uint8_t> received_;  // not yet consumed: at most an unfinished frame
    std::deque<Scheduled> outgoing_;      // in line order, due times never decreasing
    Clock::time_point busyUntil_{};       // when the last scheduled chunk goes out
};
