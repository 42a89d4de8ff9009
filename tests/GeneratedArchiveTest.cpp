#include "sim/GeneratedArchive.h"
#include "sim/GeneratedScreen.h"

#include "archive/TMeasurement.h"
#include "protocol/UsbAnswers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <tuple>

namespace {

TMeasurement AsMeasurement(const DeviceRecord& record) {
    TMeasurement m;
    std::memcpy(&m, record.data(), sizeof m);
    return m;
}

auto Moment(const TMeasurement& m) {
    return std::tuple(m.Year, m.Month, m.Day, m.Hour, m.Minute, m.Second);
}

// The benchmark's and the demo's archive: a full meter.
TEST(GeneratedArchive, AFullArchiveIsPlausible) {
    const std::vector<DeviceRecord> records = GenerateRecords(2677);
    ASSERT_EQ(records.size(), 2677u);

    std::set<int> materials;
    float lowest = 1e9f, highest = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        SCOPED_TRACE(i);
        const TMeasurement m = AsMeasurement(records[i]);
        // Copies: the packed fields are not aligned for a reference.
        const std::uint16_t number = m.Number;
        const float density = m.Density;
        const float temperature = m.Temperature;
        EXPECT_EQ(number, i + 1);
        EXPECT_LT(m.Second, 60);
        EXPECT_NE(m.Second, DeletedMark);
        EXPECT_LT(m.Minute, 60);
        EXPECT_LT(m.Hour, 24);
        const auto date = std::chrono::year(2000 + m.Year) / std::chrono::month(m.Month) / std::chrono::day(m.Day);
        EXPECT_TRUE(date.ok());
        if (i > 0) {
            EXPECT_LT(Moment(AsMeasurement(records[i - 1])), Moment(m));
        }
        EXPECT_GE(density, 2000.0f);
        EXPECT_LE(density, 2500.0f);
        EXPECT_GE(temperature, 20.0f);
        EXPECT_LE(temperature, 160.0f);
        EXPECT_EQ(m.Reserved, 0);
        materials.insert(m.Material);
        lowest = std::min(lowest, density);
        highest = std::max(highest, density);
    }
    EXPECT_GT(highest - lowest, 200.0f) << "densities vary";
    EXPECT_GE(materials.size(), 3u);
    EXPECT_LE(materials.size(), 5u);
    for (int material : materials) {
        EXPECT_GE(material, 1);
        EXPECT_LE(material, 8);
    }

    // Over days: the first and the last measurement are months apart.
    const TMeasurement first = AsMeasurement(records.front());
    const TMeasurement last = AsMeasurement(records.back());
    const auto day = [](const TMeasurement& m) {
        return std::chrono::sys_days(std::chrono::year(2000 + m.Year) / std::chrono::month(m.Month) /
                                     std::chrono::day(m.Day));
    };
    EXPECT_GT((day(last) - day(first)).count(), 100);
}

TEST(GeneratedArchive, TheSameRecordsEveryTimeChainedInOrder) {
    const std::vector<DeviceRecord> full = GenerateRecords(2677);
    const std::vector<DeviceRecord> few = GenerateRecords(3);
    EXPECT_EQ(few, std::vector<DeviceRecord>(full.begin(), full.begin() + 3));
    EXPECT_NE(few[0], few[1]);

    const std::vector<ArchiveEntry> archive = GenerateArchive(3);
    EXPECT_EQ(archive, (std::vector<ArchiveEntry>{{0, few[0], 1}, {1, few[1], 2}, {2, few[2], EndMark}}));

    EXPECT_TRUE(GenerateRecords(0).empty());
    EXPECT_TRUE(GenerateRecords(-4).empty());
}

TEST(GeneratedScreen, AFrameAndAWordOneBitPerDotLeftmostInTheTopBit) {
    const std::vector<std::uint8_t> image = GenerateScreenImage();
    ASSERT_EQ(image.size(), static_cast<std::size_t>(ScreenImageSize));

    // The bytes of the top row and of the second row's ends pin down the layout.
    EXPECT_EQ(image[0], 0xFF);
    EXPECT_EQ(image[39], 0xFF);
    EXPECT_EQ(image[40], 0x80);
    EXPECT_EQ(image[79], 0x01);
    EXPECT_EQ(image[ScreenImageSize - 1], 0xFF);

    for (int x = 0; x < ScreenWidth; ++x) {
        EXPECT_TRUE(ScreenDot(image, x, 0)) << x;
        EXPECT_TRUE(ScreenDot(image, x, ScreenHeight - 1)) << x;
        if (x > 0 && x < ScreenWidth - 1) {
            EXPECT_FALSE(ScreenDot(image, x, 1)) << x;
        }
    }
    for (int y = 0; y < ScreenHeight; ++y) {
        EXPECT_TRUE(ScreenDot(image, 0, y)) << y;
        EXPECT_TRUE(ScreenDot(image, ScreenWidth - 1, y)) << y;
    }

    // Something inside, and it reads differently mirrored or upside down.
    int inside = 0;
    bool mirrored = false, turned = false;
    for (int y = 1; y < ScreenHeight - 1; ++y)
        for (int x = 1; x < ScreenWidth - 1; ++x) {
            inside += ScreenDot(image, x, y);
            mirrored |= ScreenDot(image, x, y) != ScreenDot(image, ScreenWidth - 1 - x, y);
            turned |= ScreenDot(image, x, y) != ScreenDot(image, x, ScreenHeight - 1 - y);
        }
    EXPECT_GT(inside, 2000);
    EXPECT_LT(inside, ScreenWidth * ScreenHeight / 4);
    EXPECT_TRUE(mirrored);
    EXPECT_TRUE(turned);

    EXPECT_FALSE(ScreenDot(image, ScreenWidth, 0));
    EXPECT_FALSE(ScreenDot(image, 0, -1));
    EXPECT_FALSE(ScreenDot({}, 0, 0));
}

}  // namespace
