#include "protocol/UsbAnswers.h"

#include "archive/Archive.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace {

constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();

TEST(UsbAnswers, DeviceIdentFromUsbTextBytes) {
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

TEST(UsbAnswers, UsbReadLengthsFromAnnouncedLengths) {
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

TEST(UsbAnswers, RecordBlockPlanNeverPassesBufferOrArchive) {
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
    EXPECT_EQ(PlanRecordBlock(3000, 24, ArchiveCapacity)->stored, ArchiveCapacity);
}

}  // namespace
