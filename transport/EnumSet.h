#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

// A set of the values of an enumeration whose values are the ordinals 0, 1,
// 2, ...: bit n of Bits holds the value with ordinal n, the way the serial
// component's option and event sets are stored (one byte, two bytes).
template <typename Enum, typename Storage>
class EnumSet {
    static_assert(std::is_enum_v<Enum> && std::is_unsigned_v<Storage>);

public:
    constexpr EnumSet() = default;
    constexpr EnumSet(std::initializer_list<Enum> values) {
        for (Enum value : values)
            bits_ |= Bit(value);
    }

    constexpr bool Contains(Enum value) const { return (bits_ & Bit(value)) != 0; }
    constexpr Storage Bits() const { return bits_; }
    constexpr bool operator==(const EnumSet&) const = default;

private:
    static constexpr Storage Bit(Enum value) { return static_cast<Storage>(Storage{1} << static_cast<unsigned>(value)); }

    Storage bits_ = 0;
};
