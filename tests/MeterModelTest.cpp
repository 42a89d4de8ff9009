#include "sim/MeterModel.h"

#include "protocol/DeviceRecord.h"
#include "protocol/MeterCommands.h"
#include "protocol/SerialFrames.h"
#include "protocol/UsbAnswers.h"
#include "support/Bytes.h"
#include "support/Records.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using namespace std::chrono_literals;
ByteVector Join(std::initializer_list<ByteVector> pieces) {
    ByteVector all;
    for (const ByteVector& p : pieces)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const ByteVector Record1 = Bytes({0x01, 0x00, 0x09, 0x05, 0x0E, 0x03, 0x03, 0x0B, 0x01, 0x00, 0xD9, 0x9A,
                                  0x12, 0x45, 0x00, 0x00, 0x00, 0x00, 0x48, 0xE1, 0xFA, 0x42, 0x00, 0x00});
const ByteVector Record2 = Bytes({0x02, 0x00, 0x00, 0x1E, 0x09, 0x15, 0x0C, 0x0C, 0x02, 0x00, 0x00, 0x48,
                                  0x03, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x44, 0xC1, 0x00, 0x00});
const ByteVector Record3 = Bytes({0x03, 0x00, 0xAA, 0x3B, 0x17, 0x1F, 0x0C, 0x18, 0x10, 0x00, 0x00, 0x68,
                                  0xF8, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00});

const ByteVector IdentFrame = Bytes({0x01, 0xFE});
const ByteVector CountFrame = Bytes({0x02, 0xFD});
const ByteVector FirstRequest = Bytes({0x03, 0xFC, 0xFF, 0xFF, 0x80, 0x49});
const ByteVector Request5 = Bytes({0x03, 0xFC, 0x05, 0x00, 0xEB, 0x16});
const ByteVector Request9 = Bytes({0x03, 0xFC, 0x09, 0x00, 0x90, 0x26});

ByteVector ScreenPattern() {
    ByteVector screen(ScreenImageSize);
    for (std::size_t i = 0; i < screen.size(); ++i)
        screen[i] = static_cast<std::uint8_t>(i * 7);
    return screen;
}

// Three records keyed 0, 5 and 9, chained 0 -> 5 -> 9 -> end; identification
// 15.03.2011; USB identification "AB\0CD".
MeterSetup ThreeRecordMeter() {
    MeterSetup setup;
    const auto entry = [](std::uint16_t index, TMeasurement m, std::uint16_t next) {
        return ArchiveEntry{index, ToDeviceRecord(m), next};
    };
    setup.archive = {
        entry(0, MakeRecord(1, 14, 5, 9, 3, 3, 11, 2345.678f, 1, 125.44f), 5),
        entry(5, MakeRecord(2, 9, 30, 0, 21, 12, 12, 2100.5f, 2, -12.25f), 9),
        entry(9, MakeRecord(3, 23, 59, DeletedMark, 31, 12, 24, 1987.25f, 16, 0.5f), EndMark),
    };
    setup.identChars = {'1', '5', '0', '3', '1', '1'};
    setup.usbIdent = Bytes({0x41, 0x42, 0x00, 0x43, 0x44});
    setup.screen = ScreenPattern();
    setup.answerDelay = 20ms;
    return setup;
}

TEST(MeterModel, SerialReadOutOfAChainedArchive) {
    MeterModel meter(ThreeRecordMeter());

    EXPECT_EQ(meter.AnswerSerial(IdentFrame),
              (MeterAnswer{{20ms, Bytes({0x31, 0x35, 0x30, 0x33, 0x31, 0x31, 0x68, 0xFB})}}));
    EXPECT_EQ(meter.AnswerSerial(CountFrame), (MeterAnswer{{20ms, Bytes({0x03, 0x00, 0x40, 0x99})}}));

    // The requests as the read-out sends them, each with the index the previous
    // answer gave.
    struct Step {
        ByteVector request;
        ByteVector answer;
    };
    const Step steps[] = {
        {FirstRequest, Join({Record1, Bytes({0x05, 0x00, 0x3D, 0x73})})},
        {Request5, Join({Record2, Bytes({0x09, 0x00, 0xE7, 0x7D})})},
        {Request9, Join({Record3, Bytes({0xFF, 0xFF, 0x66, 0xC9})})},
    };
    std::uint16_t next = FirstRecordIndex;
    for (const Step& s : steps) {
        ASSERT_EQ(Bytes(BuildRecordRequest(next)), s.request);
        const MeterAnswer answer = meter.AnswerSerial(s.request);
        ASSERT_EQ(answer, (MeterAnswer{{20ms, s.answer}}));
        next = CheckRecordAnswer(answer.front().bytes).value().next;
    }
    EXPECT_EQ(next, EndMark);
    EXPECT_EQ(meter.RequestedIndices(), (std::vector<std::uint16_t>{0xFFFF, 5, 9}));
    EXPECT_EQ(meter.Taken(MeterCommand::Ident), 1);
    EXPECT_EQ(meter.Taken(MeterCommand::Count), 1);
    EXPECT_EQ(meter.Taken(MeterCommand::Record), 3);
}

TEST(MeterModel, UsbAnswerPartsOfEachCommand) {
    MeterModel meter(ThreeRecordMeter());
    struct Case {
        const char* what;
        ByteVector command;
        MeterAnswer parts;
    };
    const Case cases[] = {
        {"identification: L, then L text bytes", IdentFrame,
         {{20ms, Bytes({0x05, 0x00, 0x00, 0x00})}, {0ms, Bytes({0x41, 0x42, 0x00, 0x43, 0x44})}}},
        {"count: length 2, then N", CountFrame,
         {{20ms, Bytes({0x02, 0x00, 0x00, 0x00})}, {0ms, Bytes({0x03, 0x00})}}},
        {"records: n and s, then one part per record", Bytes({0x03, 0xFC}),
         {{20ms, Bytes({0x03, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00})},
          {0ms, Record1},
          {0ms, Record2},
          {0ms, Record3}}},
        {"screen: L, then the image", Bytes({0x04, 0xFB}),
         {{20ms, Bytes({0x80, 0x25, 0x00, 0x00})}, {0ms, ScreenPattern()}}},
        {"a serial record request", FirstRequest, {}},
        {"an extra byte", Bytes({0x01, 0xFE, 0x00}), {}},
        {"second byte not the complement", Bytes({0x01, 0xFD}), {}},
        {"unknown code", Bytes({0x05, 0xFA}), {}},
        {"nothing", {}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(meter.AnswerUsb(c.command), c.parts) << c.what;
    EXPECT_EQ(meter.Taken(MeterCommand::Record), 1);
}

TEST(MeterModel, SerialInputIsTakenFrameByFrame) {
    struct Case {
        const char* what;
        ByteVector pending;
        std::optional<std::size_t> consumed;  // empty: waits for more bytes
        bool answered;
    };
    const Case cases[] = {
        {"nothing", {}, std::nullopt, false},
        {"a code byte alone", Bytes({0x01}), std::nullopt, false},
        {"five bytes of a record request", Bytes({0x03, 0xFC, 0xFF, 0xFF, 0x80}), std::nullopt, false},
        {"unknown byte", Bytes({0x05, 0x01, 0xFE}), 1, false},
        {"second byte not the complement", Bytes({0x01, 0xFD}), 1, false},
        {"screen command: USB only", Bytes({0x04, 0xFB}), 1, false},
        {"request with its checksum high byte first", Bytes({0x03, 0xFC, 0xFF, 0xFF, 0x49, 0x80}), 1, false},
        {"identification, more bytes behind", Bytes({0x01, 0xFE, 0x02, 0xFD}), 2, true},
        {"count", CountFrame, 2, true},
        {"record request, more bytes behind", Join({FirstRequest, IdentFrame}), 6, true},
    };
    for (const Case& c : cases) {
        MeterModel meter(ThreeRecordMeter());
        const std::optional<SerialStep> step = meter.TakeSerialInput(c.pending);
        ASSERT_EQ(step.has_value(), c.consumed.has_value()) << c.what;
        if (!step)
            continue;
        EXPECT_EQ(step->consumed, *c.consumed) << c.what;
        EXPECT_EQ(!step->answer.empty(), c.answered) << c.what;
    }

    // Garbage, a request cut short by the next command (its checksum fails, so
    // the meter slides on to the identification inside it), a count, and an
    // unfinished frame at the end.
    MeterModel meter(ThreeRecordMeter());
    const MeterAnswer answer = meter.AnswerSerial(Bytes({0x00, 0x03, 0xFC, 0x01, 0xFE, 0x02, 0xFD, 0x03, 0xFC}));
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_TRUE(CheckIdentAnswer(answer[0].bytes));
    EXPECT_EQ(CheckCountAnswer(answer[1].bytes), 3);
    EXPECT_EQ(meter.Taken(MeterCommand::Record), 0);
}

TEST(MeterModel, SetupShapesTheAnswers) {
    MeterSetup setup = ThreeRecordMeter();
    setup.reportedCount = 2;
    setup.usbRecordSize = 30;
    MeterModel meter(setup);
    EXPECT_EQ(CheckCountAnswer(meter.AnswerSerial(CountFrame).at(0).bytes), 2);
    EXPECT_EQ(meter.AnswerUsb(CountFrame).at(1).bytes, Bytes({0x02, 0x00}));

    // Record parts padded to s with zero bytes.
    const MeterAnswer block = meter.AnswerUsb(Bytes({0x03, 0xFC}));
    ASSERT_EQ(block.size(), 4u);
    EXPECT_EQ(block[0].bytes, Bytes({0x03, 0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00}));
    EXPECT_EQ(block[3].bytes, Join({Record3, ByteVector(6, 0x00)}));

    // A part smaller than a record carries its first s bytes.
    meter.Setup().usbRecordSize = 20;
    EXPECT_EQ(meter.AnswerUsb(Bytes({0x03, 0xFC})).at(1).bytes, ByteVector(Record1.begin(), Record1.begin() + 20));

    // An index no record is keyed by: silence, but the request is seen.
    EXPECT_EQ(meter.AnswerSerial(BuildRecordRequest(7)), MeterAnswer{});
    EXPECT_EQ(meter.RequestedIndices(), (std::vector<std::uint16_t>{7}));

    // An empty meter has no first record.
    MeterModel empty(MeterSetup{});
    EXPECT_EQ(empty.AnswerSerial(FirstRequest), MeterAnswer{});
    EXPECT_EQ(CheckCountAnswer(empty.AnswerSerial(CountFrame).at(0).bytes), 0);
    EXPECT_EQ(empty.AnswerUsb(Bytes({0x03, 0xFC})),
              (MeterAnswer{{20ms, Bytes({0x00, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00})}}));
}

// Each planned fault hits exactly the occurrence it names; the answers before
// and after it are those of a meter without faults.
TEST(MeterModel, FaultPlanHitsTheNamedOccurrence) {
    enum class Link { Serial, Usb };
    using Expect = std::function<MeterAnswer(MeterAnswer)>;
    struct Case {
        const char* what;
        MeterFault fault;
        Link link;
        ByteVector command;
        Expect expect;  // from the answer without the fault
    };
    const auto unchanged = [](MeterAnswer a) { return a; };
    const auto silent = [](MeterAnswer) { return MeterAnswer{}; };
    const ByteVector usbRecords = Bytes({0x03, 0xFC});

    const Case cases[] = {
        {"serial: no answer", {MeterCommand::Ident, 2, FaultKind::NoAnswer}, Link::Serial, IdentFrame, silent},
        {"serial: short answer", {MeterCommand::Record, 2, FaultKind::ShortAnswer, 27}, Link::Serial, FirstRequest,
         [](MeterAnswer a) {
             a[0].bytes.resize(27);
             return a;
         }},
        {"serial: wrong checksum", {MeterCommand::Record, 2, FaultKind::WrongChecksum}, Link::Serial, FirstRequest,
         [](MeterAnswer a) {
             a[0].bytes[26] ^= 0xFF;
             a[0].bytes[27] ^= 0xFF;
             return a;
         }},
        {"serial: trickle one byte every 100 ms", {MeterCommand::Count, 2, FaultKind::Trickle, 1, 100ms},
         Link::Serial, CountFrame,
         [](MeterAnswer a) {
             const ByteVector b = a[0].bytes;
             return MeterAnswer{{20ms, {b[0]}}, {100ms, {b[1]}}, {100ms, {b[2]}}, {100ms, {b[3]}}};
         }},
        {"serial: trickle with a gap too long", {MeterCommand::Record, 2, FaultKind::Trickle, 10, 160ms},
         Link::Serial, FirstRequest,
         [](MeterAnswer a) {
             const ByteVector b = a[0].bytes;
             return MeterAnswer{{20ms, ByteVector(b.begin(), b.begin() + 10)},
                                {160ms, ByteVector(b.begin() + 10, b.begin() + 20)},
                                {160ms, ByteVector(b.begin() + 20, b.end())}};
         }},
        {"serial: length fields exist only on USB", {MeterCommand::Count, 2, FaultKind::LengthField, 4},
         Link::Serial, CountFrame, unchanged},
        {"serial: every occurrence", {MeterCommand::Ident, 0, FaultKind::NoAnswer}, Link::Serial, IdentFrame, silent},
        {"USB: count length field 4", {MeterCommand::Count, 2, FaultKind::LengthField, 4}, Link::Usb, CountFrame,
         [](MeterAnswer a) {
             a[0].bytes = Bytes({0x04, 0x00, 0x00, 0x00});
             return a;
         }},
        {"USB: more records announced than sent", {MeterCommand::Record, 2, FaultKind::LengthField, 5}, Link::Usb,
         usbRecords,
         [](MeterAnswer a) {
             a[0].bytes = Bytes({0x05, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00});
             return a;
         }},
        {"USB: time-out after 1 record", {MeterCommand::Record, 2, FaultKind::TimeoutAfterRecords, 1}, Link::Usb,
         usbRecords,
         [](MeterAnswer a) {
             a.resize(2);
             return a;
         }},
        {"USB: time-out before any record", {MeterCommand::Record, 2, FaultKind::TimeoutAfterRecords, 0}, Link::Usb,
         usbRecords,
         [](MeterAnswer a) {
             a.resize(1);
             return a;
         }},
        {"USB: identification cut inside the text", {MeterCommand::Ident, 2, FaultKind::ShortAnswer, 6}, Link::Usb,
         IdentFrame,
         [](MeterAnswer a) {
             a[1].bytes.resize(2);
             return a;
         }},
        {"USB: identification cut inside the length", {MeterCommand::Ident, 2, FaultKind::ShortAnswer, 2}, Link::Usb,
         IdentFrame,
         [](MeterAnswer a) {
             a.resize(1);
             a[0].bytes.resize(2);
             return a;
         }},
        {"USB: no screen", {MeterCommand::Screen, 2, FaultKind::NoAnswer}, Link::Usb, Bytes({0x04, 0xFB}), silent},
        {"USB: no checksums to spoil", {MeterCommand::Record, 2, FaultKind::WrongChecksum}, Link::Usb, usbRecords,
         unchanged},
        {"USB: parts late", {MeterCommand::Record, 2, FaultKind::Trickle, 0, 600ms}, Link::Usb, usbRecords,
         [](MeterAnswer a) {
             for (std::size_t i = 1; i < a.size(); ++i)
                 a[i].delay = 600ms;
             return a;
         }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MeterSetup setup = ThreeRecordMeter();
        MeterModel clean(setup);
        setup.faults = {c.fault};
        MeterModel faulty(setup);
        for (int occurrence = 1; occurrence <= 3; ++occurrence) {
            const auto ask = [&](MeterModel& m) {
                return c.link == Link::Serial ? m.AnswerSerial(c.command) : m.AnswerUsb(c.command);
            };
            const MeterAnswer expected = ask(clean);
            ASSERT_FALSE(expected.empty());
            const bool hit = c.fault.occurrence == 0 || c.fault.occurrence == occurrence;
            EXPECT_EQ(ask(faulty), hit ? c.expect(expected) : expected) << "occurrence " << occurrence;
        }
    }
}

// Noise in place of the answer on both links: each part keeps its length and
// its time, its bytes are the seed's own noise.
TEST(MeterModel, GarbageReplacesTheBytesAndKeepsTheShape) {
    const ByteVector usbRecords = Bytes({0x03, 0xFC});
    for (const bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "serial");
        const auto answer = [&](std::vector<MeterFault> faults) {
            MeterSetup setup = ThreeRecordMeter();
            setup.faults = std::move(faults);
            MeterModel meter(setup);
            return usb ? meter.AnswerUsb(usbRecords) : meter.AnswerSerial(FirstRequest);
        };
        const MeterAnswer clean = answer({});
        const MeterAnswer noise = answer({{MeterCommand::Record, 1, FaultKind::Garbage, 7}});
        ASSERT_EQ(noise.size(), clean.size());
        for (std::size_t i = 0; i < clean.size(); ++i) {
            EXPECT_EQ(noise[i].delay, clean[i].delay);
            EXPECT_EQ(noise[i].bytes.size(), clean[i].bytes.size());
            EXPECT_NE(noise[i].bytes, clean[i].bytes);
        }
        EXPECT_EQ(answer({{MeterCommand::Record, 1, FaultKind::Garbage, 7}}), noise);
        EXPECT_NE(answer({{MeterCommand::Record, 1, FaultKind::Garbage, 8}}), noise);
    }
}

// One script for a read-out test: the second record request is answered with a
// bad checksum, the read-out asks again with the same index and the chain goes
// on as if nothing had happened.
TEST(MeterModel, RepeatedRequestAfterAFaultContinuesTheChain) {
    MeterSetup setup = ThreeRecordMeter();
    setup.faults = {{MeterCommand::Record, 2, FaultKind::WrongChecksum}};
    MeterModel meter(setup);

    std::vector<ByteVector> stored;
    std::uint16_t next = FirstRecordIndex;
    for (int request = 0; request < 10 && stored.size() < 3; ++request) {
        const MeterAnswer answer = meter.AnswerSerial(BuildRecordRequest(next));
        ASSERT_EQ(answer.size(), 1u);
        const std::optional<RecordAnswer> record = CheckRecordAnswer(answer[0].bytes);
        if (!record)
            continue;
        stored.push_back(Bytes(record->record));
        next = record->next;
    }
    EXPECT_EQ(stored, (std::vector<ByteVector>{Record1, Record2, Record3}));
    EXPECT_EQ(meter.RequestedIndices(), (std::vector<std::uint16_t>{0xFFFF, 5, 5, 9}));
}

}  // namespace
