#include "sim/MeterModel.h"

#include "protocol/LinkChecksum.h"
#include "protocol/LittleEndian.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

using Part = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

Part Field32(std::int32_t value) {
    Part part(4);
    StoreLE32(std::span(part).first<4>(), value);
    return part;
}

template <std::size_t N>
Part ToPart(const std::array<std::uint8_t, N>& bytes) {
    return Part(bytes.begin(), bytes.end());
}

std::optional<MeterCommand> CommandOf(std::uint8_t first, std::uint8_t second) {
    if (second != static_cast<std::uint8_t>(~first))
        return std::nullopt;
    switch (first) {
    case IdentCommand[0]: return MeterCommand::Ident;
    case CountCommand[0]: return MeterCommand::Count;
    case RecordCommand[0]: return MeterCommand::Record;
    case ScreenCommand[0]: return MeterCommand::Screen;
    default: return std::nullopt;
    }
}

// ---- The USB answer parts of each command ----

// Identification and screen: the length L, then the L bytes.
std::vector<Part> LengthPrefixedParts(const Part& data) {
    return {Field32(static_cast<std::int32_t>(data.size())), data};
}

// Count: the length of N, then N.
std::vector<Part> UsbCountParts(std::uint16_t count) {
    Part n(2);
    StoreLE16(std::span(n).first<2>(), count);
    return {Field32(CountFieldLength), n};
}

// Records: n and s in one 8-byte part, then every record cut or padded with
// zero bytes to s.
std::vector<Part> UsbRecordParts(const std::vector<ArchiveEntry>& archive, std::int32_t recordSize) {
    Part header = Field32(static_cast<std::int32_t>(archive.size()));
    const Part size = Field32(recordSize);
    header.insert(header.end(), size.begin(), size.end());
    std::vector<Part> parts;
    parts.push_back(std::move(header));
    const std::size_t partSize = static_cast<std::size_t>(std::max(recordSize, 0));
    for (const ArchiveEntry& e : archive) {
        Part part(e.record.begin(), e.record.end());
        part.resize(partSize, 0x00);
        parts.push_back(std::move(part));
    }
    return parts;
}

// ---- One step per fault kind, each for one fault ----

// The first 4 bytes of the answer: a length field, or the record count n.
void ApplyLengthField(std::vector<Part>& parts, const MeterFault& fault) {
    if (!parts.empty())
        StoreLE32(std::span(parts.front()).first<4>(), fault.value);
}

// The serial answer's last two bytes; a second such fault restores them.
void ApplyWrongChecksum(std::vector<Part>& parts, const MeterFault&) {
    if (parts.empty())
        return;
    Part& answer = parts.front();
    answer[answer.size() - 2] ^= 0xFF;
    answer[answer.size() - 1] ^= 0xFF;
}

// The header part and the first `value` record parts stay.
void ApplyTimeoutAfterRecords(std::vector<Part>& parts, const MeterFault& fault) {
    if (fault.value >= 0 && static_cast<std::size_t>(fault.value) + 1 < parts.size())
        parts.resize(static_cast<std::size_t>(fault.value) + 1);
}

// The first `value` bytes stay, counted across the parts: the part the cut
// falls in is shortened, the parts after it dropped.
void ApplyShortAnswer(std::vector<Part>& parts, const MeterFault& fault) {
    const std::size_t keep = static_cast<std::size_t>(std::max(fault.value, 0));
    std::size_t kept = 0;
    auto it = parts.begin();
    for (; it != parts.end() && kept < keep; ++it) {
        if (it->size() > keep - kept)
            it->resize(keep - kept);
        kept += it->size();
    }
    parts.erase(it, parts.end());
}

// The same noise for the same seed: xorshift32, never started at 0.
void ApplyGarbage(std::vector<Part>& parts, const MeterFault& fault) {
    std::uint32_t state = static_cast<std::uint32_t>(fault.value) | 0x80000000u;
    for (Part& part : parts)
        for (std::uint8_t& byte : part) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<std::uint8_t>(state);
        }
}

void ApplyNoAnswer(std::vector<Part>& parts, const MeterFault&) {
    parts.clear();
}

// The trickle that times the answer: of several, the last in plan order.
std::optional<MeterFault> TrickleOf(const std::vector<MeterFault>& faults) {
    const auto it = std::find_if(faults.rbegin(), faults.rend(),
                                 [](const MeterFault& f) { return f.kind == FaultKind::Trickle; });
    if (it == faults.rend())
        return std::nullopt;
    return *it;
}

// ---- Timing ----

// One chunk per part: the first `first` after the command, each further one
// `gap` after the previous.
MeterAnswer OneChunkPerPart(std::vector<Part> parts, milliseconds first, milliseconds gap) {
    MeterAnswer answer;
    for (Part& part : parts)
        answer.push_back({answer.empty() ? first : gap, std::move(part)});
    return answer;
}

// Serial: a trickle cuts the byte stream into chunks of `value` bytes (at least
// 1), each `gap` after the previous one.
MeterAnswer SerialChunks(std::vector<Part> parts, milliseconds answerDelay, const std::optional<MeterFault>& trickle) {
    if (!trickle)
        return OneChunkPerPart(std::move(parts), answerDelay, milliseconds{0});
    const std::size_t chunkSize = static_cast<std::size_t>(std::max(trickle->value, 1));
    MeterAnswer answer;
    for (const Part& part : parts)
        for (std::size_t at = 0; at < part.size(); at += chunkSize) {
            const std::size_t end = std::min(part.size(), at + chunkSize);
            const auto delay = answer.empty() ? answerDelay : trickle->gap;
            answer.push_back({delay, Part(part.begin() + at, part.begin() + end)});
        }
    return answer;
}

// USB: every part is one bulk read, so the parts stay whole; a trickle makes
// each part after the first `gap` late.
MeterAnswer UsbChunks(std::vector<Part> parts, milliseconds answerDelay, const std::optional<MeterFault>& trickle) {
    return OneChunkPerPart(std::move(parts), answerDelay, trickle ? trickle->gap : milliseconds{0});
}

}  // namespace

std::vector<ArchiveEntry> ChainArchive(std::span<const DeviceRecord> records) {
    std::vector<ArchiveEntry> entries;
    entries.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const bool last = i + 1 == records.size();
        entries.push_back({static_cast<std::uint16_t>(i), records[i],
                           last ? EndMark : static_cast<std::uint16_t>(i + 1)});
    }
    return entries;
}

MeterModel::MeterModel(MeterSetup setup) : setup_(std::move(setup)) {}

int MeterModel::Taken(MeterCommand command) const {
    return taken_[static_cast<std::size_t>(command)];
}

std::vector<MeterFault> MeterModel::TakeFrame(MeterCommand command) {
    const int occurrence = ++taken_[static_cast<std::size_t>(command)];
    std::vector<MeterFault> hits;
    for (const MeterFault& f : setup_.faults)
        if (f.command == command && (f.occurrence == 0 || f.occurrence == occurrence))
            hits.push_back(f);
    return hits;
}

std::uint16_t MeterModel::ReportedCount() const {
    if (setup_.reportedCount)
        return *setup_.reportedCount;
    constexpr std::size_t largestN = std::numeric_limits<std::uint16_t>::max();
    return static_cast<std::uint16_t>(std::min(setup_.archive.size(), largestN));
}

std::optional<ArchiveEntry> MeterModel::EntryFor(std::uint16_t index) const {
    // FirstRecordIndex opens a read-out, so no entry is ever looked up by it as
    // a key.
    if (index == FirstRecordIndex) {
        if (setup_.archive.empty())
            return std::nullopt;
        return setup_.archive.front();
    }
    const auto it = std::find_if(setup_.archive.begin(), setup_.archive.end(),
                                 [index](const ArchiveEntry& e) { return e.index == index; });
    if (it == setup_.archive.end())
        return std::nullopt;
    return *it;
}

std::optional<SerialStep> MeterModel::TakeSerialInput(std::span<const std::uint8_t> pending) {
    if (pending.empty())
        return std::nullopt;
    const std::uint8_t first = pending[0];
    const bool serialCode = first == IdentCommand[0] || first == CountCommand[0] || first == RecordCommand[0];
    if (!serialCode)
        return SerialStep{1, {}};
    if (pending.size() < 2)
        return std::nullopt;
    const std::optional<MeterCommand> command = CommandOf(first, pending[1]);
    if (!command)
        return SerialStep{1, {}};

    switch (*command) {
    case MeterCommand::Ident:
        return SerialStep{2, Deliver(Link::Serial, MeterCommand::Ident, {ToPart(BuildIdentAnswer(setup_.identChars))})};
    case MeterCommand::Count:
        return SerialStep{2, Deliver(Link::Serial, MeterCommand::Count, {ToPart(BuildCountAnswer(ReportedCount()))})};
    case MeterCommand::Record: {
        if (pending.size() < RecordRequestSize)
            return std::nullopt;
        const auto frame = pending.first<RecordRequestSize>();
        if (LinkChecksum(frame.first<4>()) != LoadLE16(frame.last<2>()))
            return SerialStep{1, {}};
        const std::uint16_t index = LoadLE16(frame.subspan<2, 2>());
        requestedIndices_.push_back(index);
        const std::optional<ArchiveEntry> entry = EntryFor(index);
        std::vector<Part> parts;
        if (entry)
            parts.push_back(ToPart(BuildRecordAnswer(entry->record, entry->next)));
        return SerialStep{RecordRequestSize, Deliver(Link::Serial, MeterCommand::Record, std::move(parts))};
    }
    case MeterCommand::Screen:
        break;
    }
    return SerialStep{1, {}};
}

MeterAnswer MeterModel::AnswerSerial(std::span<const std::uint8_t> received) {
    MeterAnswer all;
    while (const std::optional<SerialStep> step = TakeSerialInput(received)) {
        all.insert(all.end(), step->answer.begin(), step->answer.end());
        received = received.subspan(step->consumed);
    }
    return all;
}

MeterAnswer MeterModel::AnswerUsb(std::span<const std::uint8_t> command) {
    if (command.size() != 2)
        return {};
    const std::optional<MeterCommand> which = CommandOf(command[0], command[1]);
    if (!which)
        return {};

    std::vector<Part> parts;
    switch (*which) {
    case MeterCommand::Ident: parts = LengthPrefixedParts(setup_.usbIdent); break;
    case MeterCommand::Count: parts = UsbCountParts(ReportedCount()); break;
    case MeterCommand::Record: parts = UsbRecordParts(setup_.archive, setup_.usbRecordSize); break;
    case MeterCommand::Screen: parts = LengthPrefixedParts(setup_.screen); break;
    }
    return Deliver(Link::Usb, *which, std::move(parts));
}

MeterAnswer MeterModel::Deliver(Link link, MeterCommand command, std::vector<Part> parts) {
    const std::vector<MeterFault> faults = TakeFrame(command);
    const auto apply = [&](FaultKind kind, void (*step)(std::vector<Part>&, const MeterFault&)) {
        for (const MeterFault& f : faults)
            if (f.kind == kind)
                step(parts, f);
    };

    // Kind by kind in the order MeterFault promises, each where it has an effect.
    apply(FaultKind::Garbage, ApplyGarbage);
    if (link == Link::Usb)
        apply(FaultKind::LengthField, ApplyLengthField);
    if (link == Link::Serial)
        apply(FaultKind::WrongChecksum, ApplyWrongChecksum);
    if (link == Link::Usb && command == MeterCommand::Record)
        apply(FaultKind::TimeoutAfterRecords, ApplyTimeoutAfterRecords);
    apply(FaultKind::ShortAnswer, ApplyShortAnswer);
    apply(FaultKind::NoAnswer, ApplyNoAnswer);

    const std::optional<MeterFault> trickle = TrickleOf(faults);
    if (link == Link::Serial)
        return SerialChunks(std::move(parts), setup_.answerDelay, trickle);
    return UsbChunks(std::move(parts), setup_.answerDelay, trickle);
}
