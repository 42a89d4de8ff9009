#include "sim/serial/SerialMeterSession.h"

#include <algorithm>
#include <utility>

SerialMeterSession::SerialMeterSession(MeterSetup setup) : meter_(std::move(setup)) {}

void SerialMeterSession::Receive(std::span<const std::uint8_t> bytes, Clock::time_point at) {
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    std::size_t used = 0;
    while (const std::optional<SerialStep> step =
               meter_.TakeSerialInput(std::span(received_).subspan(used))) {
        used += step->consumed;
        if (step->answer.empty())
            continue;
        // One answer at a time: this one starts once the one before has gone out.
        Clock::time_point due = std::max(at, busyUntil_);
        for (const AnswerChunk& chunk : step->answer) {
            // A chunk never overtakes the one before it, whatever its delay.
            due = std::max(due + chunk.delay, due);
            outgoing_.push_back({due, chunk.bytes});
        }
        busyUntil_ = due;
    }
    received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(used));
}

std::optional<SerialMeterSession::Clock::time_point> SerialMeterSession::NextDue() const {
    if (outgoing_.empty())
        return std::nullopt;
    return outgoing_.front().due;
}

std::vector<std::uint8_t> SerialMeterSession::TakeDue(Clock::time_point now) {
    std::vector<std::uint8_t> due;
    while (!outgoing_.empty() && outgoing_.front().due <= now) {
        const std::vector<std::uint8_t>& bytes = outgoing_.front().bytes;
        due.insert(due.end(), bytes.begin(), bytes.end());
        outgoing_.pop_front();
    }
    return due;
}
