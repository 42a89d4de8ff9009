#include "sim/FaultPlan.h"

#include "sim/WholeNumber.h"

#include <cstdint>
#include <limits>

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A number inside an entry may have blanks around it.
std::optional<std::int64_t> Number(std::string_view text, std::int64_t low, std::int64_t high) {
    return ParseWholeNumber(Trim(text), low, high);
}


constexpr std::int64_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t Int32Min = std::numeric_limits<std::int32_t>::min();

// One entry, already trimmed and not empty; the reason it is refused, or the
// fault.
struct EntryResult {
    std::optional<MeterFault> fault;
    std::string reason;
};

EntryResult Refuse(std::string reason) {
    return {std::nullopt, std::move(reason)};
}

EntryResult ParseEntry(std::string_view entry) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos)
        return Refuse("expected command[@occurrence]:kind");
    std::string_view target = Trim(entry.substr(0, colon));
    std::string_view what = Trim(entry.substr(colon + 1));

    MeterFault fault;
    const std::size_t at = target.find('@');
    if (at != std::string_view::npos) {
        const std::optional<std::int64_t> occurrence = Number(target.substr(at + 1), 0, Int32Max);
        if (!occurrence)
            return Refuse("the occurrence must be a whole number, 0 or more");
        fault.occurrence = static_cast<int>(*occurrence);
        target = Trim(target.substr(0, at));
    }
    const std::optional<MeterCommand> command = CommandNamed(target);
    if (!command)
        return Refuse("unknown command (ident, count, record or screen)");
    fault.command = *command;

    std::string_view kind = what;
    std::optional<std::string_view> value;
    std::optional<std::string_view> gap;
    if (const std::size_t eq = what.find('='); eq != std::string_view::npos) {
        kind = Trim(what.substr(0, eq));
        std::string_view rest = what.substr(eq + 1);
        if (const std::size_t slash = rest.find('/'); slash != std::string_view::npos) {
            gap = rest.substr(slash + 1);
            rest = rest.substr(0, slash);
        }
        value = rest;
    }

    const auto noValue = [&](FaultKind k) {
        if (value)
            return Refuse(std::string(kind) + " takes no value");
        fault.kind = k;
        return EntryResult{fault, {}};
    };
    const auto withValue = [&](FaultKind k, std::int64_t low, std::int64_t high, const char* needs) {
        if (gap)
            return Refuse(std::string(kind) + " takes no gap");
        const std::optional<std::int64_t> v = value ? Number(*value, low, high) : std::nullopt;
        if (!v)
            return Refuse(std::string(kind) + " needs =" + needs);
        fault.kind = k;
        fault.value = static_cast<std::int32_t>(*v);
        return EntryResult{fault, {}};
    };

    if (kind == "no-answer")
        return noValue(FaultKind::NoAnswer);
    if (kind == "wrong-checksum")
        return noValue(FaultKind::WrongChecksum);
    if (kind == "short")
        return withValue(FaultKind::ShortAnswer, 0, Int32Max, "N, a byte count of 0 or more");
    if (kind == "length")
        return withValue(FaultKind::LengthField, Int32Min, Int32Max, "V, a 32-bit whole number");
    if (kind == "garbage")
        return withValue(FaultKind::Garbage, 0, Int32Max, "SEED, a whole number of 0 or more");
    if (kind == "timeout-after")
        return withValue(FaultKind::TimeoutAfterRecords, 0, Int32Max, "K, a record count of 0 or more");
    if (kind == "trickle") {
        const std::optional<std::int64_t> size = value ? Number(*value, 1, Int32Max) : std::nullopt;
        const std::optional<std::int64_t> ms = gap ? Number(*gap, 0, Int32Max) : std::nullopt;
        if (!size || !ms)
            return Refuse("trickle needs =N/GAP, N bytes (1 or more) every GAP ms (0 or more)");
        fault.kind = FaultKind::Trickle;
        fault.value = static_cast<std::int32_t>(*size);
        fault.gap = std::chrono::milliseconds(*ms);
        return EntryResult{fault, {}};
    }
    return Refuse("unknown kind (no-answer, short, wrong-checksum, trickle, length, timeout-after or garbage)");
}

}  // namespace

std::optional<MeterCommand> CommandNamed(std::string_view name) {
    if (name == "ident")
        return MeterCommand::Ident;
    if (name == "count")
        return MeterCommand::Count;
    if (name == "record")
        return MeterCommand::Record;
    if (name == "screen")
        return MeterCommand::Screen;
    return std::nullopt;
}

FaultPlanResult ParseFaultPlan(std::string_view text) {
    std::vector<MeterFault> faults;
    while (true) {
        const std::size_t semicolon = text.find(';');
        const std::string_view entry = Trim(text.substr(0, semicolon));
        if (!entry.empty()) {
            EntryResult parsed = ParseEntry(entry);
            if (!parsed.fault) {
                // Built by appending: GCC 12 warns falsely about "..." + std::string&& at -O2.
                std::string reason = "\"";
                reason.append(entry).append("\": ").append(parsed.reason);
                return {std::nullopt, reason};
            }
            faults.push_back(*parsed.fault);
        }
        if (semicolon == std::string_view::npos)
            break;
        text.remove_prefix(semicolon + 1);
    }
    return {std::move(faults), {}};
}
