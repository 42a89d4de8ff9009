#include "platform/Ticks.h"

#include <gtest/gtest.h>

namespace {

TEST(Ticks, ElapsedSurvivesTheCounterWrapping) {
    struct Case {
        std::uint32_t start;
        std::uint32_t now;
        std::uint32_t elapsed;
    };
    const Case cases[] = {
        {0, 0, 0},
        {100, 250, 150},
        {0xFFFFFFF0u, 0x00000010u, 0x20},
        {0xFFFFFFFFu, 0, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Ticks::Elapsed(c.start, c.now), c.elapsed) << c.start << " -> " << c.now;
}

TEST(Ticks, SleepLastsAtLeastTheTimeAsked) {
    const std::uint32_t start = Ticks::Now();
    Ticks::Sleep(20);
    EXPECT_GE(Ticks::Elapsed(start, Ticks::Now()), 20u);
}

}  // namespace
