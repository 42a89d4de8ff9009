#pragma once

#include <cstdint>

// A millisecond tick counter and plain sleeps, the program's only clock for
// time-outs and pauses.
namespace Ticks {

// Milliseconds since an arbitrary start; wraps around after 2^32 ms (49.7 days)
// like the counter the time-outs were designed with.
std::uint32_t Now();

// Milliseconds from start to now as an unsigned 32-bit difference, so a
// wrap-around between the two readings does no harm.
constexpr std::uint32_t Elapsed(std::uint32_t start, std::uint32_t now) {
    return now - start;
}

// Sleeps the calling thread; processes no events.
void Sleep(std::uint32_t milliseconds);

}  // namespace Ticks
