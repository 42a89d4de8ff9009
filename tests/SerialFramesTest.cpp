#include "protocol/SerialFrames.h"

#include "protocol/DeviceRecord.h"
#include "support/Bytes.h"
#include "support/Records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace {

TEST(SerialFrames, RecordRequestCarriesIndexLowByteFirstAndItsChecksum) {
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

TEST(SerialFrames, IdentificationAnswerValidity) {
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

TEST(SerialFrames, CountAnswerValidity) {
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

TEST(SerialFrames, RecordAnswerValidity) {
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
TEST(SerialFrames, MeterAnswersPassTheCheckers) {
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

TEST(SerialFrames, IdentificationTextReadsAsADate) {
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

}  // namespace
