#pragma once

#include "protocol/DeviceRecord.h"
#include "protocol/MeterCommands.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The frames on the serial line: the record request the program sends and the
// three answers the meter sends back, each protected by LinkChecksum. Pure
// functions, no state, no I/O; the serial read-out drives the exchanges with
// them.
//
// On the serial line nothing frames an answer: no start byte, no length, no
// address. An answer is recognised by its length and its checksum alone, so
// each checker below takes exactly the bytes read and refuses any other count.

inline constexpr std::size_t RecordRequestSize = 6;
inline constexpr std::size_t IdentAnswerSize = 8;
inline constexpr std::size_t CountAnswerSize = 4;
inline constexpr std::size_t RecordAnswerSize = DeviceRecordSize + 4;  // record, next index, checksum
inline constexpr std::size_t IdentCharCount = 6;

// After each command the serial read-out waits this long and then empties its
// input: whatever the meter sends within this window after a command is
// discarded, so a meter must not start its answer sooner.
inline constexpr std::chrono::milliseconds CommandDiscardWindow{5};

using RecordRequest = std::array<std::uint8_t, RecordRequestSize>;
using IdentChars = std::array<std::uint8_t, IdentCharCount>;

struct RecordAnswer {
    DeviceRecord record;
    std::uint16_t next;  // the index to request next, or EndMark after the last record
};

// 03 FC, the index low byte first, then LinkChecksum over those four bytes.
// BuildRecordRequest(FirstRecordIndex) is 03 FC FF FF 80 49.
RecordRequest BuildRecordRequest(std::uint16_t index);

// Each checker takes the bytes read for one answer. The answer is valid when it
// has exactly the answer's length and its last two bytes, low byte first, equal
// the checksum over what that answer covers; the contents are taken as they
// come. Otherwise the result is empty and the caller asks again.
//
// Identification, 8 bytes: six characters, then the checksum over 01 FE and
// the six characters.
std::optional<IdentChars> CheckIdentAnswer(std::span<const std::uint8_t> answer);
// Count, 4 bytes: the number of stored records N, then the checksum over 02 FD
// and N's two bytes. 00 00 AF 58 reports an empty archive.
std::optional<std::uint16_t> CheckCountAnswer(std::span<const std::uint8_t> answer);
// Record, 28 bytes: the device record, the next index, then the checksum over
// those 26 bytes alone (unlike the other two, the command is not covered).
std::optional<RecordAnswer> CheckRecordAnswer(std::span<const std::uint8_t> answer);

// The same answers from the meter's side, checksum appended, for the meter
// simulators and tests.
std::array<std::uint8_t, IdentAnswerSize> BuildIdentAnswer(const IdentChars& chars);
std::array<std::uint8_t, CountAnswerSize> BuildCountAnswer(std::uint16_t count);
std::array<std::uint8_t, RecordAnswerSize> BuildRecordAnswer(const DeviceRecord& record, std::uint16_t next);

// The serial identification shown as a date: c0 c1 "." c2 c3 ".20" c4 c5, each
// byte one meter text character (DecodeMeterText). 31 35 30 33 31 31 ->
// "15.03.2011".
QString IdentificationText(const IdentChars& chars);
