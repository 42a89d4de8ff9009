#pragma once

#include "sim/MeterModel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The command a plan or a test names: ident, count, record or screen.
std::optional<MeterCommand> CommandNamed(std::string_view name);

// A fault plan written as text, for the simulators' settings:
//
//   count@1:length=4; record:timeout-after=5; ident:trickle=1/100
//
// Entries are separated by ';', blanks around them and around each part are
// allowed, and an empty entry (a trailing ';') is no fault. Each entry is
// command[@occurrence]:kind[=value][/gap-ms]:
//   command     ident | count | record | screen
//   occurrence  which frame of that command, from 1; omitted or 0: every one
//   kind        no-answer | wrong-checksum       (no value)
//               short=N                          (N >= 0 bytes)
//               trickle=N/GAP                    (N >= 1 bytes, GAP >= 0 ms)
//               length=V                         (any 32-bit value, may be negative)
//               timeout-after=K                  (K >= 0 record parts)
//               garbage=SEED                     (SEED >= 0: which noise)
// The faults come out in the order written.

struct FaultPlanResult {
    // The faults; empty when the text was refused.
    std::optional<std::vector<MeterFault>> faults;
    // When refused: the offending entry as written and what is wrong with it.
    std::string error;
};

FaultPlanResult ParseFaultPlan(std::string_view text);
