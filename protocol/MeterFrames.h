#pragma once

#include "archive/Archive.h"
#include "archive/TMeasurement.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The meter's four commands and the bytes of their answers on both links: the
// serial frames with their LinkChecksum, the USB length fields, and how a
// device record fills a TMeasurement. Pure functions, no state, no I/O; the
// serial read-out and the USB worker drive the exchanges with them.
//
// On the serial line nothing frames an answer: no start byte, no length, no
// address. An answer is recognised by its length and its checksum alone, so
// each checker below takes exactly the bytes read and refuses any other count.

// ---- Commands ----

// Two code bytes, the second the complement of the first. Over USB every
// command is just its two code bytes; over the serial line so are the
// identification and count commands, while a record request carries an index
// and a checksum (BuildRecordRequest). The screen command is USB only.
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
inline constexpr std::uint16_t FirstRecordIndex = 0xFFFF;

// ---- Serial frames ----

inline constexpr std::size_t RecordRequestSize = 6;
inline constexpr std::size_t IdentAnswerSize = 8;
inline constexpr std::size_t CountAnswerSize = 4;
inline constexpr std::size_t RecordAnswerSize = 28;
inline constexpr std::size_t DeviceRecordSize = 24;
inline constexpr std::size_t IdentCharCount = 6;

using RecordRequest = std::array<std::uint8_t, RecordRequestSize>;
using IdentChars = std::array<std::uint8_t, IdentCharCount>;
// One record as the meter sends it: the byte layout of TMeasurement.
using DeviceRecord = std::array<std::uint8_t, DeviceRecordSize>;

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

// ---- Records and texts ----

// Copies bytes 0-8 and 10-23 of the device record into the measurement, as
// they are: nothing converted, limited or swapped; a DeletedMark second stays.
// Reserved (byte 9) keeps what the slot held, so a file's byte survives a read.
void FillRecord(std::span<const std::uint8_t, DeviceRecordSize> device, TMeasurement& m);

// The reverse, for simulators and tests: the measurement's 24 bytes as a
// device record, Reserved included.
DeviceRecord ToDeviceRecord(const TMeasurement& m);

// The serial identification shown as a date: c0 c1 "." c2 c3 ".20" c4 c5, each
// byte one Windows-1251 character. 31 35 30 33 31 31 -> "15.03.2011".
QString IdentificationText(const IdentChars& chars);

// ---- USB answers ----
//
// Each USB answer part is one bulk read of the stated size; none carries a
// checksum. Length and count fields are signed 32-bit. A field with its top bit
// set (negative) is read as 0: nothing is read for it, and nothing is written.

inline constexpr int DeviceIdentMaxLength = 63;
inline constexpr int ScreenImageSize = 9600;   // 320 x 240 dots, one bit each
inline constexpr std::int32_t CountFieldLength = 2;
// The USB worker's record buffer: the largest record part it takes.
inline constexpr int RecordBufferSize = 200;

// DeviceIdent from the identification text bytes received over USB: every 0x00
// becomes a space, the text ends after the bytes received, and at most the
// first DeviceIdentMaxLength are taken. Windows-1251 characters, one per byte.
// 41 42 00 43 44 -> "AB CD".
QString MakeDeviceIdent(std::span<const std::uint8_t> received);

// How many text bytes to read for an announced identification length L:
// L of 64 or more reads 63; a negative L reads none. 0..63.
int IdentReadLength(std::int32_t announced);

// How many image bytes to read for an announced screen length L: above 9600
// reads 9600 (the buffer's size); a negative L reads none. 0..9600.
int ScreenReadLength(std::int32_t announced);

// The count answer's length field must be exactly 2, the size of N; any other
// value (negative ones included) is a meter the program does not understand.
constexpr bool CountLengthValid(std::int32_t announced) { return announced == CountFieldLength; }

// How the worker takes a block of records apart, decided from its 8-byte header
// (n records of s bytes each), before it reads any record part.
struct RecordBlockPlan {
    int stored;     // parts to read and store, one archive record each
    int discarded;  // parts to read after those and throw away
    int partSize;   // bytes per part: each part is one read of exactly this many
                    // bytes into the record buffer, whose first 24 are the record
};

// n <= 0: no part at all ({0, 0, 0}), whatever s says, and the archive is left
// as it was: n = 0 is an ordinary answer of a meter with nothing to send, and a
// negative n counts as 0 (it never starts a record loop).
//
// n > 0 and s outside 24..RecordBufferSize: refused (empty result); the caller
// treats it as the count answer's format error (the message, red link, drain,
// idle) and stores nothing. A part shorter than a record cannot fill one, and a
// longer part could only be taken in pieces, which a bulk endpoint need not
// allow; a record size the program does not know means a meter version it does
// not know. Nothing is read or written past the record buffer either way.
//
// Otherwise the first min(n, capacity) parts are stored, where capacity is the
// archive's room; any beyond it are read whole and dropped, so the meter's
// answer is taken to its end and the archive never overflows.
std::optional<RecordBlockPlan> PlanRecordBlock(std::int32_t n, std::int32_t s, int capacity = ArchiveCapacity);
