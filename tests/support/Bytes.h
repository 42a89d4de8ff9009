#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

// Byte strings written as lists of numbers in tests.
using ByteVector = std::vector<std::uint8_t>;

inline ByteVector Bytes(std::initializer_list<int> values) {
    return ByteVector(values.begin(), values.end());
}

template <std::size_t N>
ByteVector Bytes(const std::array<std::uint8_t, N>& values) {
    return ByteVector(values.begin(), values.end());
}
