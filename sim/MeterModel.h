#pragma once

#include "protocol/DeviceRecord.h"
#include "protocol/MeterCommands.h"
#include "protocol/SerialFrames.h"
#include "protocol/UsbAnswers.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// A simulated density meter: what it stores and how it answers, byte for byte,
// on the serial line and over USB, with a plan of faults to script a failing
// exchange. No threads, no I/O, no clock: the transports built on it (a serial
// simulator over a pseudo-terminal, a fake libusb) send the answers and honour
// the delays.

// One piece of an answer and when it goes out.
struct AnswerChunk {
    // Wait before sending these bytes, counted from the previous chunk; for
    // the first chunk, from the moment the command was taken.
    std::chrono::milliseconds delay{0};
    std::vector<std::uint8_t> bytes;

    bool operator==(const AnswerChunk&) const = default;
};

// A whole answer. Serial: consecutive pieces of one byte stream. USB: one chunk
// per answer part, each delivered as one bulk read, in the order the USB worker
// reads them. Empty: the meter stays silent.
using MeterAnswer = std::vector<AnswerChunk>;

// One stored record, how serial requests name it, and where the chain goes on.
struct ArchiveEntry {
    std::uint16_t index = 0;  // the index a serial record request names it by
    DeviceRecord record{};
    std::uint16_t next = EndMark;  // the next index its serial answer gives

    bool operator==(const ArchiveEntry&) const = default;
};

// The natural chain: indices 0, 1, 2, ..., each entry's next the index after
// it, the last one's next EndMark.
std::vector<ArchiveEntry> ChainArchive(std::span<const DeviceRecord> records);

enum class MeterCommand { Ident, Count, Record, Screen };

enum class FaultKind {
    // Both links: nothing at all is sent.
    NoAnswer,
    // Both links: only the first `value` bytes of the answer are sent. Over USB
    // the cut runs across the parts: the part it falls in is shortened and the
    // parts after it are not sent.
    ShortAnswer,
    // Serial: both checksum bytes are inverted, so the answer cannot pass.
    // USB answers carry no checksum: no effect there.
    WrongChecksum,
    // Serial: the answer goes out in chunks of `value` bytes (at least 1), each
    // `gap` after the previous one. USB: every part after the first comes `gap`
    // after the previous one.
    Trickle,
    // USB: the first 4 bytes of the answer, the length field (identification,
    // count, screen) or the record count n (records), are `value`; the data
    // parts are sent as they are. n above the records held announces records
    // that never come. Serial: no effect.
    LengthField,
    // USB records: the header and the first `value` record parts are sent, then
    // nothing, so the worker's next read times out. No effect elsewhere.
    TimeoutAfterRecords,
    // Both links: every byte of the answer is noise, the same noise for the
    // same `value` (a seed); the parts keep their lengths.
    Garbage,
};

// One planned fault. Several faults may meet the same answer: they are applied
// kind by kind in the order Garbage, LengthField, WrongChecksum, TimeoutAfterRecords,
// ShortAnswer, NoAnswer, Trickle, and two of one kind in plan order.
struct MeterFault {
    MeterCommand command = MeterCommand::Ident;
    // Which frame of that command it hits, counted from 1 over the frames the
    // meter has taken on either link; 0 hits every one.
    int occurrence = 0;
    FaultKind kind = FaultKind::NoAnswer;
    std::int32_t value = 0;
    std::chrono::milliseconds gap{0};

    bool operator==(const MeterFault&) const = default;
};

// Everything the meter holds and how it behaves.
struct MeterSetup {
    // The records, in the order the USB block sends them.
    std::vector<ArchiveEntry> archive;
    // N in the count answers; when empty, the archive's size, capped at the
    // largest N the answers can carry.
    std::optional<std::uint16_t> reportedCount;
    // The six serial identification characters (shown as a date).
    IdentChars identChars{'0', '1', '0', '1', '2', '4'};
    // The USB identification text bytes, sent as they are; L is their number.
    std::vector<std::uint8_t> usbIdent;
    // s in the USB record block header; each part is the record cut or padded
    // with zero bytes to this size.
    std::int32_t usbRecordSize = static_cast<std::int32_t>(DeviceRecordSize);
    // The screen image; L is its size.
    std::vector<std::uint8_t> screen = std::vector<std::uint8_t>(ScreenImageSize);
    // Time from a command to the first byte of its answer. The serial read-out
    // throws away whatever arrives within CommandDiscardWindow of its command,
    // so a meter that answers sooner is never heard.
    std::chrono::milliseconds answerDelay{20};
    std::vector<MeterFault> faults;

    bool operator==(const MeterSetup&) const = default;
};

// What the meter does with the serial bytes it has received so far.
struct SerialStep {
    std::size_t consumed = 0;  // bytes used up: one whole frame, or one byte skipped
    MeterAnswer answer;        // empty: silence
};

class MeterModel {
public:
    explicit MeterModel(MeterSetup setup = {});

    // The setup may be changed between commands (another archive, new faults).
    MeterSetup& Setup() { return setup_; }
    const MeterSetup& Setup() const { return setup_; }

    // Looks at the start of the received bytes not yet consumed. Frames:
    // 01 FE identification, 02 FD count, and the 6-byte record request whose
    // checksum must match. A request for FirstRecordIndex answers the first
    // entry of the archive, any other index the entry keyed by it; an index no
    // entry has gets no answer. Anything else (an unknown code, a second byte
    // that is not the complement, a request with a wrong checksum, the USB-only
    // screen command) is skipped one byte at a time without an answer, so the
    // meter finds the next good frame. Empty while the bytes are nothing or the
    // beginning of a frame that is not complete yet: wait for more.
    std::optional<SerialStep> TakeSerialInput(std::span<const std::uint8_t> pending);

    // Every answer the bytes call for, received in one piece, in order; an
    // unfinished frame at their end is dropped. For a single frame as the
    // read-out writes it, that frame's answer.
    MeterAnswer AnswerSerial(std::span<const std::uint8_t> received);

    // The answer parts to one USB command write: exactly one of the four code
    // pairs, anything else gets nothing. Identification: L (4 bytes), the L text
    // bytes. Count: 2 (4 bytes), N (2 bytes). Records: n and s (8 bytes), then
    // one part of s bytes per record in archive order. Screen: L (4 bytes), the
    // L image bytes. Parts of length 0 are kept: each matches one read.
    MeterAnswer AnswerUsb(std::span<const std::uint8_t> command);

    // Frames of each command taken so far, on both links.
    int Taken(MeterCommand command) const;
    // The index of every serial record request taken, in order.
    const std::vector<std::uint16_t>& RequestedIndices() const { return requestedIndices_; }

private:
    enum class Link { Serial, Usb };

    // Counts the frame and returns the faults planned for this occurrence.
    std::vector<MeterFault> TakeFrame(MeterCommand command);
    // The answer to one taken frame: counts it, applies the faults planned for
    // it to the parts a clean meter sends, and times what is left for the link.
    MeterAnswer Deliver(Link link, MeterCommand command, std::vector<std::vector<std::uint8_t>> parts);
    std::uint16_t ReportedCount() const;
    std::optional<ArchiveEntry> EntryFor(std::uint16_t index) const;

    MeterSetup setup_;
    std::array<int, 4> taken_{};
    std::vector<std::uint16_t> requestedIndices_;
};
