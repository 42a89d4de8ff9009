#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

// The length rules of the meter's USB answers. Pure functions, no state, no
// I/O; the USB worker drives the exchanges with them.
//
// Each USB answer part is one bulk read of the stated size; none carries a
// checksum. Length and count fields are signed 32-bit. A field with its top bit
// set (negative) is read as 0: nothing is read for it, and nothing is written.

inline constexpr int DeviceIdentMaxLength = 63;
// The meter's screen, in dots; the image carries one bit per dot.
inline constexpr int ScreenWidth = 320;
inline constexpr int ScreenHeight = 240;
inline constexpr int ScreenImageSize = ScreenWidth * ScreenHeight / 8;
inline constexpr std::int32_t CountFieldLength = 2;
// The USB worker's record buffer: the largest record part it takes.
inline constexpr int RecordBufferSize = 200;

// DeviceIdent from the identification text bytes received over USB: every 0x00
// becomes a space, the text ends after the bytes received, and at most the
// first DeviceIdentMaxLength are taken. Meter text characters, one per byte
// (DecodeMeterText). 41 42 00 43 44 -> "AB CD".
QString MakeDeviceIdent(std::span<const std::uint8_t> received);

// How many text bytes to read for an announced identification length L: at
// most DeviceIdentMaxLength; a negative L reads none.
int IdentReadLength(std::int32_t announced);

// How many image bytes to read for an announced screen length L: at most
// ScreenImageSize (the buffer's size); a negative L reads none.
int ScreenReadLength(std::int32_t announced);

// The count answer's length field must be exactly CountFieldLength, the size
// of N; any other value (negative ones included) is a meter the program does
// not understand.
constexpr bool CountLengthValid(std::int32_t announced) { return announced == CountFieldLength; }

// How the worker takes a block of records apart, decided from its 8-byte header
// (n records of s bytes each), before it reads any record part.
struct RecordBlockPlan {
    int stored;     // parts to read and store, one archive record each
    int discarded;  // parts to read after those and throw away
    int partSize;   // bytes per part: each part is one read of exactly this many
                    // bytes into the record buffer, whose first DeviceRecordSize
                    // are the record
};

// n <= 0: no part at all ({0, 0, 0}), whatever s says, and the archive is left
// as it was: n = 0 is an ordinary answer of a meter with nothing to send, and a
// negative n counts as 0 (it never starts a record loop).
//
// n > 0 and s outside DeviceRecordSize..RecordBufferSize: refused (empty
// result); the caller treats it as the count answer's format error (the
// message, red link, drain, idle) and stores nothing. A part shorter than a
// record cannot fill one, and a longer part could only be taken in pieces,
// which a bulk endpoint need not allow; a record size the program does not
// know means a meter version it does not know. Nothing is read or written
// past the record buffer either way.
//
// Otherwise the first min(n, capacity) parts are stored, where capacity is the
// room in the archive the records go to (ArchiveCapacity for an empty one; a
// negative capacity counts as 0); any beyond it are read whole and dropped, so
// the meter's answer is taken to its end and the archive never overflows.
std::optional<RecordBlockPlan> PlanRecordBlock(std::int32_t n, std::int32_t s, int capacity);
