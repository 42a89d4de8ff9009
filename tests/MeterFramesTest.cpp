#include "protocol/MeterFrames.h"

#include "protocol/LittleEndian.h"
#include "support/Bytes.h"
#include "support/Records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();

TEST(MeterFrames, RecordRequestCarriesIndexLowByteFirstAndItsChecksum) {
    struct Case {
        std::uint16_t index;
        ByteVector frame;
    };
    const Case cases[] = {
        {FirstRecordIndex, Bytes({0x03, 0xFC, 0xFF, 0xFF, 0x80, 0x49})},
        {0x0000, Bytes({0x03, 0xFC, 0x00, 0x00, 0xF3, 0xB7})},
        {0x0005, Bytes({0x03, 0xFC, 0x05, 0x00, 0xEB, 0x16})},
        {0x0105, Bytes({0x03, 0xFC, 0x05, 0x01, 0x6A, 0x16})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bytes(BuildRecordRequest(c.index)), c.frame) << c.index;
}

TEST(MeterFrames, IdentificationAnswerValidity) {
    struct Case {
        const char* what;
        ByteVector answer;
        bool valid;
    };
    const Case cases[] = {
        {"checksum over 01 FE and the characters", Bytes({0x31, 0x35, 0x30, 0x33, 0x31, 0x31, 0x68, 0xFB}), true},
        {"Windows-1251 letters", Bytes({0xC0, 0xC1, 0xE0, 0xFF, 0xA8, 0xB8, 0xC0, 0x69}), true},
        {"checksum over the characters alone", Bytes({0x31, 0x35, 0x30, 0x33, 0x31, 0x31, 0xB1, 0x65}), false},
        {"checksum high byte first", Bytes({0x31, 0x35, 0x30, 0x33, 0x31, 0x31, 0xFB, 0x68}), false},
        {"high byte first, both bytes equal", Bytes({'0', '0', '0', '5', '8', '6', 0xEF, 0xEF}), true},
        {"one character changed", Bytes({0x31, 0x35, 0x30, 0x33, 0x31, 0x32, 0x68, 0xFB}), false},
        {"seven bytes", Bytes({0x35, 0x30, 0x33, 0x31, 0x31, 0x68, 0xFB}), false},
        {"nine bytes", Bytes({0x31, 0x31, 0x35, 0x30, 0x33, 0x31, 0x31, 0x68, 0xFB}), false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) {
        const std::optional<IdentChars> chars = CheckIdentAnswer(c.answer);
        ASSERT_EQ(chars.has_value(), c.valid) << c.what;
        if (chars) {
            EXPECT_EQ(Bytes(*chars), ByteVector(c.answer.begin(), c.answer.begin() + 6)) << c.what;
        }
    }
}

TEST(MeterFrames, CountAnswerValidity) {
    struct Case {
        const char* what;
        ByteVector answer;
        std::optional<std::uint16_t> count;
    };
    const Case cases[] = {
        {"an empty archive", Bytes({0x00, 0x00, 0xAF, 0x58}), 0},
        {"three records", Bytes({0x03, 0x00, 0x40, 0x99}), 3},
        {"checksum without 02 FD", Bytes({0x00, 0x00, 0xDC, 0xE9}), std::nullopt},
        {"checksum without 02 FD, three records", Bytes({0x03, 0x00, 0x33, 0x28}), std::nullopt},
        {"checksum high byte first", Bytes({0x03, 0x00, 0x99, 0x40}), std::nullopt},
        {"high byte first, both bytes equal", Bytes({0x32, 0x00, 0x14, 0x14}), 50},
        {"three bytes", Bytes({0x00, 0xAF, 0x58}), std::nullopt},
        {"five bytes", Bytes({0x00, 0x00, 0xAF, 0x58, 0x00}), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckCountAnswer(c.answer), c.count) << c.what;
}

TEST(MeterFrames, RecordAnswerValidity) {
    // A deleted record. With next index FFFF its checksum is 0xC966 (sent
    // 66 C9); taken over the request 03 FC FF FF as well it would be 0xD102.
    const ByteVector record = Bytes({0x03, 0x00, 0xAA, 0x3B, 0x17, 0x1F, 0x0C, 0x18, 0x10, 0x00, 0x00, 0x68,
                                     0xF8, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00});
    const auto with = [](ByteVector answer, std::initializer_list<int> tail) {
        answer.insert(answer.end(), tail.begin(), tail.end());
        return answer;
    };
    ByteVector record119(24, 0x00);  // with next index 0 its checksum is 54 54
    record119[0] = 119;

    struct Case {
        const char* what;
        ByteVector answer;
        bool valid;
        std::uint16_t next;
    };
    const Case cases[] = {
        {"the last record: next index EndMark", with(record, {0xFF, 0xFF, 0x66, 0xC9}), true, EndMark},
        {"next index 0 is ordinary; checksum bytes equal, so either order",
         with(record119, {0x00, 0x00, 0x54, 0x54}), true, 0},
        {"checksum over the request and the answer", with(record, {0xFF, 0xFF, 0x02, 0xD1}), false, 0},
        {"checksum high byte first", with(record, {0xFF, 0xFF, 0xC9, 0x66}), false, 0},
        {"next index changed", with(record, {0xFE, 0xFF, 0x66, 0xC9}), false, 0},
        {"27 bytes", with(record, {0xFF, 0x66, 0xC9}), false, 0},
        {"29 bytes", with(record, {0xFF, 0xFF, 0x66, 0xC9, 0x00}), false, 0},
    };
    for (const Case& c : cases) {
        const std::optional<RecordAnswer> result = CheckRecordAnswer(c.answer);
        ASSERT_EQ(result.has_value(), c.valid) << c.what;
        if (!result)
            continue;
        EXPECT_EQ(Bytes(result->record), ByteVector(c.answer.begin(), c.answer.begin() + 24)) << c.what;
        EXPECT_EQ(result->next, c.next) << c.what;
    }
}

// The meter's side of the frames must pass the program's checkers, and the
// empty count is the one the program knows by heart.
TEST(MeterFrames, MeterAnswersPassTheCheckers) {
    EXPECT_EQ(Bytes(BuildCountAnswer(0)), Bytes({0x00, 0x00, 0xAF, 0x58}));
    EXPECT_EQ(Bytes(BuildIdentAnswer({'1', '5', '0', '3', '1', '1'})),
              Bytes({0x31, 0x35, 0x30, 0x33, 0x31, 0x31, 0x68, 0xFB}));

    for (std::uint16_t n : {0, 1, 50, 0x1234, 0xFFFF})
        EXPECT_EQ(CheckCountAnswer(BuildCountAnswer(n)), n);

    const DeviceRecord record = ToDeviceRecord(MakeRecord(7, 14, 5, DeletedMark, 3, 3, 11, 2100.5f, 1, 20.0f));
    for (std::uint16_t next : {0, 5, 0x0100, 0xFFFF}) {
        const std::optional<RecordAnswer> answer = CheckRecordAnswer(BuildRecordAnswer(record, next));
        ASSERT_TRUE(answer) << next;
        EXPECT_EQ(answer->record, record);
        EXPECT_EQ(answer->next, next);
    }
}

TEST(MeterFrames, FillingCopiesEveryByteButReserved) {
    TMeasurement measured = MakeRecord(0x0102, 14, 5, 9, 3, 3, 11, 2345.678f, 1, 125.44f);
    std::memcpy(measured.ExtraValue, "\x11\x22\x33\x44", 4);
    std::memcpy(measured.ExtraWord, "\x55\x66", 2);
    TMeasurement deleted = measured;
    deleted.Second = DeletedMark;

    struct Case {
        const char* what;
        TMeasurement device;
        std::uint8_t deviceByte9;
        std::uint8_t slotReserved;
    };
    const Case cases[] = {
        {"ordinary record over a zero slot", measured, 0x00, 0x00},
        {"byte 9 set, slot Reserved zero", measured, 0xFF, 0x00},
        {"byte 9 zero, slot Reserved from a file", measured, 0x00, 0x5C},
        {"deleted record keeps its mark", deleted, 0x77, 0xA1},
    };
    for (const Case& c : cases) {
        DeviceRecord device = ToDeviceRecord(c.device);
        device[9] = c.deviceByte9;
        TMeasurement slot;
        std::memset(&slot, 0xEE, sizeof slot);  // whatever the slot held
        slot.Reserved = c.slotReserved;

        FillRecord(device, slot);

        EXPECT_EQ(slot.Reserved, c.slotReserved) << c.what;
        TMeasurement expected = c.device;
        expected.Reserved = c.slotReserved;
        EXPECT_EQ(std::memcmp(&slot, &expected, sizeof slot), 0) << c.what;
        // Packed fields: copied out before the comparisons take references.
        const std::uint16_t number = slot.Number;
        const float density = slot.Density, temperature = slot.Temperature;
        EXPECT_EQ(number, 0x0102) << c.what;
        EXPECT_EQ(slot.Second, c.device.Second) << c.what;
        EXPECT_EQ(density, 2345.678f) << c.what;
        EXPECT_EQ(temperature, 125.44f) << c.what;
    }
}

TEST(MeterFrames, IdentificationTextReadsAsADate) {
    struct Case {
        IdentChars chars;
        const char* text;
    };
    const Case cases[] = {
        {{'1', '5', '0', '3', '1', '1'}, "15.03.2011"},
        {{0xC0, 0xC1, 0xE0, 0xFF, 0xA8, 0xB8}, "АБ.ая.20Ёё"},
        {{0xB9, 0x88, '0', '1', 0x96, 0x20}, "№€.01.20– "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IdentificationText(c.chars), QString::fromUtf8(c.text)) << c.text;

    // A byte the code page leaves unused is still one character, so the text
    // keeps its form.
    EXPECT_EQ(IdentificationText({0x98, '1', '0', '3', '1', '1'}).size(), 10);
}

TEST(MeterFrames, DeviceIdentFromUsbTextBytes) {
    struct Case {
        const char* what;
        ByteVector received;
        QString text;
    };
    ByteVector seventy(70, 'x');
    seventy[62] = 'Z';
    seventy[63] = 'Q';
    const Case cases[] = {
        {"zero byte inside", Bytes({0x41, 0x42, 0x00, 0x43, 0x44}), "AB CD"},
        {"zero bytes at the end stay as spaces", Bytes({0x41, 0x42, 0x00, 0x00}), "AB  "},
        {"only zero bytes", Bytes({0x00, 0x00, 0x00}), "   "},
        {"nothing received", {}, ""},
        {"Windows-1251", Bytes({0xC2, 0xC5, 0xCB, 0x2D, 0x31}), QString::fromUtf8("ВЕЛ-1")},
        {"70 bytes: the first 63", seventy, QString(62, 'x') + 'Z'},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeDeviceIdent(c.received), c.text) << c.what;
}

TEST(MeterFrames, UsbLengthFieldsAreSignedLittleEndian) {
    struct Case {
        std::array<std::uint8_t, 4> field;
        std::int32_t value;
    };
    const Case cases[] = {
        {{0x02, 0x00, 0x00, 0x00}, 2},
        {{0x46, 0x00, 0x00, 0x00}, 70},
        {{0x80, 0x25, 0x00, 0x00}, 9600},
        {{0x20, 0x4E, 0x00, 0x00}, 20000},
        {{0xFE, 0xFF, 0xFF, 0xFF}, -2},
        {{0x00, 0x00, 0x00, 0x80}, Min32},
        {{0xFF, 0xFF, 0xFF, 0x7F}, Max32},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadLE32(c.field), c.value);
        std::array<std::uint8_t, 4> stored{};
        StoreLE32(stored, c.value);
        EXPECT_EQ(stored, c.field) << c.value;
    }
}

TEST(MeterFrames, UsbReadLengthsFromAnnouncedLengths) {
    struct Case {
        std::int32_t announced;
        int ident;
        int screen;
        bool countValid;
    };
    const Case cases[] = {
        {Min32, 0, 0, false},   {-2, 0, 0, false},         {-1, 0, 0, false},       {0, 0, 0, false},
        {2, 2, 2, true},        {4, 4, 4, false},          {63, 63, 63, false},     {64, 63, 64, false},
        {70, 63, 70, false},    {100, 63, 100, false},     {9600, 63, 9600, false}, {9601, 63, 9600, false},
        {12000, 63, 9600, false}, {20000, 63, 9600, false}, {0x0102, 63, 258, false}, {Max32, 63, 9600, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IdentReadLength(c.announced), c.ident) << c.announced;
        EXPECT_EQ(ScreenReadLength(c.announced), c.screen) << c.announced;
        EXPECT_EQ(CountLengthValid(c.announced), c.countValid) << c.announced;
    }
}

TEST(MeterFrames, RecordBlockPlanNeverPassesBufferOrArchive) {
    struct Case {
        std::int32_t n;
        std::int32_t s;
        int capacity;
        std::optional<RecordBlockPlan> plan;
    };
    const auto Plan = [](int stored, int discarded, int partSize) {
        return std::optional<RecordBlockPlan>(RecordBlockPlan{stored, discarded, partSize});
    };
    const Case cases[] = {
        {0, 24, ArchiveCapacity, Plan(0, 0, 0)},
        {0, 0, ArchiveCapacity, Plan(0, 0, 0)},  // nothing to read: s does not matter
        {-1, 24, ArchiveCapacity, Plan(0, 0, 0)},
        {Min32, 1000, ArchiveCapacity, Plan(0, 0, 0)},
        {3, 24, ArchiveCapacity, Plan(3, 0, 24)},
        {3, 30, ArchiveCapacity, Plan(3, 0, 30)},
        {3, 200, ArchiveCapacity, Plan(3, 0, 200)},
        {3, 23, ArchiveCapacity, std::nullopt},
        {3, 0, ArchiveCapacity, std::nullopt},
        {3, -24, ArchiveCapacity, std::nullopt},
        {3, 201, ArchiveCapacity, std::nullopt},
        {3, Max32, ArchiveCapacity, std::nullopt},
        {1, Min32, ArchiveCapacity, std::nullopt},
        {2677, 24, ArchiveCapacity, Plan(2677, 0, 24)},
        {2678, 24, ArchiveCapacity, Plan(2677, 1, 24)},
        {Max32, 24, ArchiveCapacity, Plan(2677, Max32 - 2677, 24)},
        {5, 24, 0, Plan(0, 5, 24)},
        {5, 24, 3, Plan(3, 2, 24)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << ", s " << c.s << ", capacity " << c.capacity);
        const std::optional<RecordBlockPlan> plan = PlanRecordBlock(c.n, c.s, c.capacity);
        ASSERT_EQ(plan.has_value(), c.plan.has_value());
        if (!plan)
            continue;
        EXPECT_EQ(plan->stored, c.plan->stored);
        EXPECT_EQ(plan->discarded, c.plan->discarded);
        EXPECT_EQ(plan->partSize, c.plan->partSize);
    }
    EXPECT_EQ(PlanRecordBlock(3000, 24)->stored, ArchiveCapacity);
}

}  // namespace
