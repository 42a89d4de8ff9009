#pragma once

#include <cstdint>
#include <span>

// The 16-bit checksum that protects every frame on the serial line (USB frames
// carry none). A shift register: for each byte, bit 0 first, the feedback bit
// is the data bit XOR register bits 15, 11, 8 and 6, shifted in at bit 0. It is
// sent low byte first.

inline constexpr std::uint16_t LinkChecksumStart = 0x5AA5;

// The checksum of a whole byte sequence, from the given start value.
std::uint16_t LinkChecksum(std::span<const std::uint8_t> bytes, std::uint16_t start = LinkChecksumStart);

// The same checksum taken piece by piece: the serial read-out resets it, feeds
// the command bytes and then the answer bytes as it takes them apart. Feeding
// a sequence in any split gives the value LinkChecksum gives for the whole.
class LinkChecksumRegister {
public:
    constexpr LinkChecksumRegister() = default;
    constexpr explicit LinkChecksumRegister(std::uint16_t start) : start_(start), r_(start) {}

    // Back to the start value, for the next answer.
    constexpr void Reset() { r_ = start_; }

    constexpr void Feed(std::uint8_t byte) {
        for (int bit = 0; bit < 8; ++bit) {
            const unsigned feedback = ((byte >> bit) ^ (r_ >> 15) ^ (r_ >> 11) ^ (r_ >> 8) ^ (r_ >> 6)) & 1u;
            r_ = static_cast<std::uint16_t>((r_ << 1) | feedback);
        }
    }

    constexpr void Feed(std::span<const std::uint8_t> bytes) {
        for (std::uint8_t byte : bytes)
            Feed(byte);
    }

    constexpr std::uint16_t Value() const { return r_; }

private:
    std::uint16_t start_ = LinkChecksumStart;
    std::uint16_t r_ = LinkChecksumStart;
};
