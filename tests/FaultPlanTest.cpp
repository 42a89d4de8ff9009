#include "sim/FaultPlan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(FaultPlan, AcceptedTextsGiveTheFaultsInOrder) {
    using C = MeterCommand;
    using K = FaultKind;
    struct Case {
        const char* text;
        std::vector<MeterFault> faults;
    };
    const Case cases[] = {
        {"", {}},
        {"  \t ", {}},
        {"count@1:length=4; record:timeout-after=5; ident:trickle=1/100; record@2:no-answer; ident:short=3; "
         "record:wrong-checksum",
         {{C::Count, 1, K::LengthField, 4},
          {C::Record, 0, K::TimeoutAfterRecords, 5},
          {C::Ident, 0, K::Trickle, 1, 100ms},
          {C::Record, 2, K::NoAnswer},
          {C::Ident, 0, K::ShortAnswer, 3},
          {C::Record, 0, K::WrongChecksum}}},
        {"screen@0:no-answer", {{C::Screen, 0, K::NoAnswer}}},
        {"count:length=-1", {{C::Count, 0, K::LengthField, -1}}},
        {"record:length=-2147483648", {{C::Record, 0, K::LengthField, -2147483648}}},
        {"record:length=+2147483647", {{C::Record, 0, K::LengthField, 2147483647}}},
        {" ident @ 3 : short = 0 ; ", {{C::Ident, 3, K::ShortAnswer, 0}}},
        {"screen:trickle=64/0;;count@12:no-answer;",
         {{C::Screen, 0, K::Trickle, 64, 0ms}, {C::Count, 12, K::NoAnswer}}},
        {"record:timeout-after=0", {{C::Record, 0, K::TimeoutAfterRecords, 0}}},
        {"record@2:garbage=7", {{C::Record, 2, K::Garbage, 7}}},
    };
    for (const Case& c : cases) {
        const FaultPlanResult result = ParseFaultPlan(c.text);
        ASSERT_TRUE(result.faults.has_value()) << c.text << ": " << result.error;
        EXPECT_EQ(*result.faults, c.faults) << c.text;
        EXPECT_EQ(result.error, "") << c.text;
    }
}

// The whole plan is refused, and the message quotes the entry at fault.
TEST(FaultPlan, MalformedEntriesAreRefusedByName) {
    struct Case {
        const char* text;
        const char* entry;
    };
    const Case cases[] = {
        {"ident", "ident"},
        {"bogus:no-answer", "bogus:no-answer"},
        {"Ident:no-answer", "Ident:no-answer"},
        {":no-answer", ":no-answer"},
        {"ident:", "ident:"},
        {"ident:whatever", "ident:whatever"},
        {"ident:no-answer=1", "ident:no-answer=1"},
        {"ident:wrong-checksum/5", "ident:wrong-checksum/5"},
        {"ident:short", "ident:short"},
        {"ident:garbage", "ident:garbage"},
        {"ident:garbage=-1", "ident:garbage=-1"},
        {"ident:short=", "ident:short="},
        {"ident:short=-1", "ident:short=-1"},
        {"ident:short=3/10", "ident:short=3/10"},
        {"ident:short=3x", "ident:short=3x"},
        {"ident:short=0x10", "ident:short=0x10"},
        {"ident:trickle=1", "ident:trickle=1"},
        {"ident:trickle=0/10", "ident:trickle=0/10"},
        {"ident:trickle=1/-5", "ident:trickle=1/-5"},
        {"ident:trickle=/10", "ident:trickle=/10"},
        {"record@-1:no-answer", "record@-1:no-answer"},
        {"record@x:no-answer", "record@x:no-answer"},
        {"record@:no-answer", "record@:no-answer"},
        {"count:length=2147483648", "count:length=2147483648"},
        {"count:length=+-4", "count:length=+-4"},
        {"record:timeout-after=-1", "record:timeout-after=-1"},
        {"ident:no-answer; count:short= ; record:no-answer", "count:short="},
        {"ident:no-answer, count:no-answer", "ident:no-answer, count:no-answer"},
    };
    for (const Case& c : cases) {
        const FaultPlanResult result = ParseFaultPlan(c.text);
        EXPECT_FALSE(result.faults.has_value()) << c.text;
        EXPECT_NE(result.error.find('"' + std::string(c.entry) + '"'), std::string::npos)
            << c.text << " -> " << result.error;
    }
}

}  // namespace
