#include "protocol/LittleEndian.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();

TEST(LittleEndian, UsbLengthFieldsAreSignedLittleEndian) {
    struct Case {
        std::array<std::uint8_t, 4> field;
        std::int32_t value;
    };
    const Case cases[] = {
        {{0x02, 0x00, 0x00, 0x00}, 2},
        {{0x46, 0x00, 0x00, 0x00}, 70},
        {{0x80, 0x25, 0x00, 0x00}, 9600},
        {{0x20, 0x4E, 0x00, 0x00}, 20000},
        {{0xFE, 0xFF, 0xFF, 0xFF}, -2},
        {{0x00, 0x00, 0x00, 0x80}, Min32},
        {{0xFF, 0xFF, 0xFF, 0x7F}, Max32},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadLE32(c.field), c.value);
        std::array<std::uint8_t, 4> stored{};
        StoreLE32(stored, c.value);
        EXPECT_EQ(stored, c.field) << c.value;
    }
}

}  // namespace
