#pragma once

#include <cstdint>
#include <span>

// Every multi-byte number the meter sends or receives, on both links, is
// little-endian: low byte first. These read and write such fields in place,
// independent of the host's byte order.

constexpr std::uint16_t LoadLE16(std::span<const std::uint8_t, 2> bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// The USB length and count fields are signed 32-bit; a field with its top bit
// set comes out negative.
constexpr std::int32_t LoadLE32(std::span<const std::uint8_t, 4> bytes) {
    const std::uint32_t value = std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                                (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
    return static_cast<std::int32_t>(value);
}

constexpr void StoreLE16(std::span<std::uint8_t, 2> bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void StoreLE32(std::span<std::uint8_t, 4> bytes, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    bytes[0] = static_cast<std::uint8_t>(bits);
    bytes[1] = static_cast<std::uint8_t>(bits >> 8);
    bytes[2] = static_cast<std::uint8_t>(bits >> 16);
    bytes[3] = static_cast<std::uint8_t>(bits >> 24);
}
