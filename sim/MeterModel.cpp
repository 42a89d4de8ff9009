#include "sim/MeterModel.h"

#include "protocol/LinkChecksum.h"
#include "protocol/LittleEndian.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace {

using Part = std::vector<std::uint8_t>;

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

// The faults of one kind among those that hit an answer, in plan order.
std::vector<MeterFault> OfKind(const std::vector<MeterFault>& faults, FaultKind kind) {
    std::vector<MeterFault> found;
    std::copy_if(faults.begin(), faults.end(), std::back_inserter(found),
                 [kind](const MeterFault& f) { return f.kind == kind; });
    return found;
}

void CutAfter(std::vector<Part>& parts, std::size_t keep) {
    std::size_t kept = 0;
    auto it = parts.begin();
    for (; it != parts.end() && kept < keep; ++it) {
        if (it->size() > keep - kept)
            it->resize(keep - kept);
        kept += it->size();
    }
    parts.erase(it, parts.end());
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
    case MeterCommand::Ident:
        parts.push_back(Field32(static_cast<std::int32_t>(setup_.usbIdent.size())));
        parts.push_back(setup_.usbIdent);
        break;
    case MeterCommand::Count: {
        parts.push_back(Field32(CountFieldLength));
        Part count(2);
        StoreLE16(std::span(count).first<2>(), ReportedCount());
        parts.push_back(std::move(count));
        break;
    }
    case MeterCommand::Record: {
        Part header = Field32(static_cast<std::int32_t>(setup_.archive.size()));
        const Part size = Field32(setup_.usbRecordSize);
        header.insert(header.end(), size.begin(), size.end());
        parts.push_back(std::move(header));
        const std::size_t partSize = static_cast<std::size_t>(std::max(setup_.usbRecordSize, 0));
        for (const ArchiveEntry& e : setup_.archive) {
            Part part(e.record.begin(), e.record.end());
            part.resize(partSize, 0x00);
            parts.push_back(std::move(part));
        }
        break;
    }
    case MeterCommand::Screen:
        parts.push_back(Field32(static_cast<std::int32_t>(setup_.screen.size())));
        parts.push_back(setup_.screen);
        break;
    }
    return Deliver(Link::Usb, *which, std::move(parts));
}

MeterAnswer MeterModel::Deliver(Link link, MeterCommand command, std::vector<Part> parts) {
    const std::vector<MeterFault> faults = TakeFrame(command);

    if (link == Link::Usb && !parts.empty())
        for (const MeterFault& f : OfKind(faults, FaultKind::LengthField))
            StoreLE32(std::span(parts.front()).first<4>(), f.value);

    if (link == Link::Serial && !parts.empty())
        for ([[maybe_unused]] const MeterFault& f : OfKind(faults, FaultKind::WrongChecksum)) {
            Part& answer = parts.front();
            answer[answer.size() - 2] ^= 0xFF;
            answer[answer.size() - 1] ^= 0xFF;
        }

    if (link == Link::Usb && command == MeterCommand::Record)
        for (const MeterFault& f : OfKind(faults, FaultKind::TimeoutAfterRecords))
            if (f.value >= 0 && static_cast<std::size_t>(f.value) + 1 < parts.size())
                parts.resize(static_cast<std::size_t>(f.value) + 1);

    for (const MeterFault& f : OfKind(faults, FaultKind::ShortAnswer))
        CutAfter(parts, static_cast<std::size_t>(std::max(f.value, 0)));

    if (!OfKind(faults, FaultKind::NoAnswer).empty())
        parts.clear();

    const std::vector<MeterFault> trickles = OfKind(faults, FaultKind::Trickle);
    const std::optional<MeterFault> trickle =
        trickles.empty() ? std::nullopt : std::optional<MeterFault>(trickles.back());

    MeterAnswer answer;
    if (link == Link::Serial && trickle) {
        const std::size_t chunkSize = static_cast<std::size_t>(std::max(trickle->value, 1));
        for (const Part& part : parts)
            for (std::size_t at = 0; at < part.size(); at += chunkSize) {
                const std::size_t end = std::min(part.size(), at + chunkSize);
                answer.push_back({answer.empty() ? setup_.answerDelay : trickle->gap,
                                  Part(part.begin() + at, part.begin() + end)});
            }
        return answer;
    }
    for (Part& part : parts) {
        const auto delay = answer.empty() ? setup_.answerDelay
                                          : (trickle ? trickle->gap : std::chrono::milliseconds{0});
        answer.push_back({delay, std::move(part)});
    }
    return answer;
}
