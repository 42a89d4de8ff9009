#include "protocol/LinkChecksum.h"

#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

TEST(LinkChecksum, WorkedValuesInBothForms) {
    struct Case {
        std::vector<std::uint8_t> fed;
        std::uint16_t checksum;
        std::uint8_t wireLow;
        std::uint8_t wireHigh;
    };
    const Case cases[] = {
        {{}, 0x5AA5, 0xA5, 0x5A},
        {Bytes({0x01, 0xFE}), 0x68E9, 0xE9, 0x68},
        {Bytes({0x02, 0xFD}), 0xA9C7, 0xC7, 0xA9},
        {Bytes({0x02, 0xFD, 0x00, 0x00}), 0x58AF, 0xAF, 0x58},
        {Bytes({0x03, 0xFC, 0xFF, 0xFF}), 0x4980, 0x80, 0x49},
        {Bytes({0x03, 0xFC, 0x00, 0x00}), 0xB7F3, 0xF3, 0xB7},
        {Bytes({'a', 'b', 'c'}), 0xDF95, 0x95, 0xDF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.fed));
        EXPECT_EQ(LinkChecksum(c.fed), c.checksum);

        LinkChecksumRegister reg;
        for (std::uint8_t byte : c.fed)
            reg.Feed(byte);
        EXPECT_EQ(reg.Value(), c.checksum);
        // Sent low byte first.
        EXPECT_EQ(reg.Value() & 0xFF, c.wireLow);
        EXPECT_EQ(reg.Value() >> 8, c.wireHigh);
    }
}

// The read-out keeps one register for the whole run: reset, feed the command,
// then the answer in whatever pieces it takes it apart in. Any split, after any
// earlier use, must give the whole-sequence value, and so must continuing the
// whole form from the value reached after a prefix.
TEST(LinkChecksum, PiecewiseFeedingEqualsWholeSequence) {
    std::mt19937 random(20110315);
    LinkChecksumRegister reg;
    for (int round = 0; round < 500; ++round) {
        std::vector<std::uint8_t> bytes(std::uniform_int_distribution<std::size_t>(0, 80)(random));
        for (std::uint8_t& b : bytes)
            b = static_cast<std::uint8_t>(random());
        const std::uint16_t whole = LinkChecksum(bytes);

        reg.Reset();
        std::size_t at = 0;
        while (at < bytes.size()) {
            const std::size_t piece = std::uniform_int_distribution<std::size_t>(0, bytes.size() - at)(random);
            if (piece == 1)
                reg.Feed(bytes[at]);
            else
                reg.Feed(std::span(bytes).subspan(at, piece));
            at += piece;
        }
        ASSERT_EQ(reg.Value(), whole) << "round " << round << ", " << bytes.size() << " bytes";

        const std::size_t cut = std::uniform_int_distribution<std::size_t>(0, bytes.size())(random);
        const std::uint16_t prefix = LinkChecksum(std::span(bytes).first(cut));
        ASSERT_EQ(LinkChecksum(std::span(bytes).subspan(cut), prefix), whole) << "round " << round;
    }
}

}  // namespace
