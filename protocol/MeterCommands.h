#pragma once

#include <array>
#include <cstdint>

// The meter's four commands. Each is two code bytes, the second the complement
// of the first. Over USB every command is just its two code bytes; over the
// serial line so are the identification and count commands, while a record
// request carries an index and a checksum (BuildRecordRequest). The screen
// command is USB only.
using CommandCode = std::array<std::uint8_t, 2>;
inline constexpr CommandCode IdentCommand{0x01, 0xFE};
inline constexpr CommandCode CountCommand{0x02, 0xFD};
inline constexpr CommandCode RecordCommand{0x03, 0xFC};
inline constexpr CommandCode ScreenCommand{0x04, 0xFB};

// A next index of EndMark says the record just received is the meter's last.
inline constexpr std::uint16_t EndMark = 0xFFFF;
// The index of the first record request of every serial read-out: "from the
// start". It is the same value as EndMark; which one is meant depends on the
// direction.
inline constexpr std::uint16_t FirstRecordIndex = EndMark;
