// The serial meter simulator: its session as pure logic.

#include "protocol/MeterCommands.h"
#include "protocol/SerialFrames.h"
#include "sim/MeterModel.h"
#include "sim/serial/SerialMeterSession.h"
#include "support/Bytes.h"
#include "support/Records.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <vector>

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

ByteVector Join(std::initializer_list<ByteVector> pieces) {
    ByteVector all;
    for (const ByteVector& p : pieces)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

ByteVector First(const ByteVector& bytes, std::size_t n) {
    return ByteVector(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

const ByteVector IdentFrame = Bytes(IdentCommand);
const ByteVector CountFrame = Bytes(CountCommand);
const ByteVector FirstRequest = Bytes(BuildRecordRequest(FirstRecordIndex));
const IdentChars Chars150311{'1', '5', '0', '3', '1', '1'};

const DeviceRecord Record1 = ToDeviceRecord(MakeRecord(1, 14, 5, 9, 3, 3, 11, 2345.678f, 1, 125.44f));
const DeviceRecord Record2 = ToDeviceRecord(MakeRecord(2, 9, 30, 0, 21, 12, 12, 2100.5f, 2, -12.25f));
const DeviceRecord Record3 = ToDeviceRecord(MakeRecord(3, 23, 59, DeletedMark, 31, 12, 24, 1987.25f, 16, 0.5f));

const ByteVector IdentAnswer = Bytes(BuildIdentAnswer(Chars150311));
const ByteVector CountAnswer = Bytes(BuildCountAnswer(3));

// ---- The session ----

// Three records keyed 0, 5 and 9, chained 0 -> 5 -> 9 -> end, answering
// after 10 ms; identification 15.03.2011.
MeterSetup ChainedMeter(std::vector<MeterFault> faults = {}, milliseconds delay = 10ms) {
    MeterSetup setup;
    setup.archive = {{0, Record1, 5}, {5, Record2, 9}, {9, Record3, EndMark}};
    setup.identChars = Chars150311;
    setup.answerDelay = delay;
    setup.faults = std::move(faults);
    return setup;
}

const Clock::time_point T0{};

struct Timed {
    milliseconds at;  // from T0
    ByteVector bytes;
    bool operator==(const Timed&) const = default;
};

void PrintTo(const Timed& t, std::ostream* os) {
    *os << t.at.count() << " ms:";
    for (std::uint8_t b : t.bytes)
        *os << ' ' << std::hex << static_cast<int>(b) << std::dec;
}

// Plays the inputs as the simulator's loop does, with a clock that is never
// late: before each input, the bytes due until then go out, each at the moment
// they are due; after the last input, the rest. What went out, and when.
std::vector<Timed> Play(SerialMeterSession& session, const std::vector<Timed>& inputs) {
    std::vector<Timed> sent;
    const auto sendUntil = [&](std::optional<Clock::time_point> limit) {
        while (const std::optional<Clock::time_point> due = session.NextDue()) {
            if (limit && *due > *limit)
                return;
            EXPECT_TRUE(session.TakeDue(*due - 1us).empty()) << "bytes handed out before they were due";
            const ByteVector bytes = session.TakeDue(*due);
            if (bytes.empty()) {
                ADD_FAILURE() << "nothing handed out when due";
                return;
            }
            sent.push_back({std::chrono::duration_cast<milliseconds>(*due - T0), bytes});
        }
    };
    for (const Timed& in : inputs) {
        sendUntil(T0 + in.at);
        session.Receive(in.bytes, T0 + in.at);
    }
    sendUntil(std::nullopt);
    return sent;
}

TEST(SimSerialSession, AnswersGoOutWhenDue) {
    const ByteVector answer1 = Bytes(BuildRecordAnswer(Record1, 5));
    const ByteVector answer2 = Bytes(BuildRecordAnswer(Record2, 9));
    const ByteVector answer3 = Bytes(BuildRecordAnswer(Record3, EndMark));
    struct Case {
        const char* what;
        MeterSetup setup;
        std::vector<Timed> received;
        std::vector<Timed> sent;
        std::vector<std::uint16_t> requested;  // the record indices the meter took
    };
    const Case cases[] = {
        {"identification, after the answer delay", ChainedMeter(), {{0ms, IdentFrame}}, {{10ms, IdentAnswer}}, {}},
        {"a read-out of the chained archive",
         ChainedMeter(),
         {{0ms, IdentFrame},
          {30ms, CountFrame},
          {60ms, FirstRequest},
          {90ms, Bytes(BuildRecordRequest(5))},
          {120ms, Bytes(BuildRecordRequest(9))}},
         {{10ms, IdentAnswer}, {40ms, CountAnswer}, {70ms, answer1}, {100ms, answer2}, {130ms, answer3}},
         {0xFFFF, 5, 9}},
        {"a frame split across reads is taken when its last byte arrives",
         ChainedMeter(),
         {{0ms, First(FirstRequest, 3)}, {4ms, {FirstRequest[3]}}, {7ms, {FirstRequest[4], FirstRequest[5]}}},
         {{17ms, answer1}},
         {0xFFFF}},
        {"an unfinished frame waits for the rest", ChainedMeter(), {{0ms, First(FirstRequest, 5)}}, {}, {}},
        {"bytes that start no frame are skipped, the screen command too",
         ChainedMeter(),
         {{0ms, Join({Bytes({0x00, 0x55, 0xFE, 0x02}), Bytes(ScreenCommand), IdentFrame})}},
         {{10ms, IdentAnswer}},
         {}},
        {"a request cut short by the next command: the meter slides on to the commands inside it",
         ChainedMeter(),
         {{0ms, Join({First(FirstRequest, 2), IdentFrame, CountFrame})}},
         {{10ms, IdentAnswer}, {20ms, CountAnswer}},
         {}},
        {"an index no record has: silence", ChainedMeter(), {{0ms, Bytes(BuildRecordRequest(7))}}, {}, {7}},
        {"a command after an answer has gone out has its own delay",
         ChainedMeter(),
         {{0ms, IdentFrame}, {50ms, CountFrame}},
         {{10ms, IdentAnswer}, {60ms, CountAnswer}},
         {}},
        {"two commands in one read: the second is taken when the first answer has gone out",
         ChainedMeter(),
         {{0ms, Join({IdentFrame, CountFrame})}},
         {{10ms, IdentAnswer}, {20ms, CountAnswer}},
         {}},
        {"a trickle: each chunk its gap after the one before",
         ChainedMeter({{MeterCommand::Record, 0, FaultKind::Trickle, 10, 30ms}}),
         {{0ms, FirstRequest}},
         {{10ms, First(answer1, 10)},
          {40ms, ByteVector(answer1.begin() + 10, answer1.begin() + 20)},
          {70ms, ByteVector(answer1.begin() + 20, answer1.end())}},
         {0xFFFF}},
        {"a command during a trickling answer waits for its end",
         ChainedMeter({{MeterCommand::Count, 0, FaultKind::Trickle, 1, 30ms}}),
         {{0ms, CountFrame}, {5ms, IdentFrame}},
         {{10ms, {CountAnswer[0]}},
          {40ms, {CountAnswer[1]}},
          {70ms, {CountAnswer[2]}},
          {100ms, {CountAnswer[3]}},
          {110ms, IdentAnswer}},
         {}},
        {"an unanswered command keeps the meter busy for no time",
         ChainedMeter({{MeterCommand::Ident, 1, FaultKind::NoAnswer}}),
         {{0ms, IdentFrame}, {2ms, CountFrame}},
         {{12ms, CountAnswer}},
         {}},
        {"no delay: the answer is due when its frame is taken",
         ChainedMeter({}, 0ms),
         {{5ms, IdentFrame}},
         {{5ms, IdentAnswer}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SerialMeterSession session(c.setup);
        EXPECT_EQ(Play(session, c.received), c.sent);
        EXPECT_EQ(session.Meter().RequestedIndices(), c.requested);
        EXPECT_EQ(session.NextDue(), std::nullopt);
    }
}

// A loop that wakes late sends everything that has come due, in line order,
// and nothing twice.
TEST(SimSerialSession, LateTakeHandsOutEverythingDueInOrder) {
    SerialMeterSession session(ChainedMeter({{MeterCommand::Count, 0, FaultKind::Trickle, 1, 30ms}}));
    EXPECT_EQ(session.NextDue(), std::nullopt);
    EXPECT_TRUE(session.TakeDue(T0 + 1h).empty());

    session.Receive(CountFrame, T0);
    session.Receive(IdentFrame, T0 + 1ms);
    EXPECT_EQ(session.NextDue(), T0 + 10ms);
    EXPECT_EQ(session.TakeDue(T0 + 75ms), First(CountAnswer, 3));
    EXPECT_TRUE(session.TakeDue(T0 + 75ms).empty());
    EXPECT_EQ(session.NextDue(), T0 + 100ms);
    EXPECT_EQ(session.TakeDue(T0 + 1h), Join({{CountAnswer[3]}, IdentAnswer}));
    EXPECT_EQ(session.NextDue(), std::nullopt);
}

}  // namespace
