#include "ui/ScreenDots.h"

#include <gtest/gtest.h>

#include <QColor>

#include <vector>

namespace {

int InkDots(const ScreenDots& dots) {
    int count = 0;
    for (const auto& row : dots.ink)
        for (bool ink : row)
            count += ink;
    return count;
}

TEST(ScreenDotsTest, TheFrameIsOneInkDotAroundTheEdge) {
    const ScreenDots dots = FramedDots();
    EXPECT_EQ(InkDots(dots), 2 * ScreenDotsWidth + 2 * (ScreenDotsHeight - 2));
    for (int column : {0, 1, 161, 322, 323})
        EXPECT_TRUE(dots.ink[0][column] && dots.ink[ScreenDotsHeight - 1][column]) << column;
    for (int row : {0, 1, 121, 242, 243})
        EXPECT_TRUE(dots.ink[row][0] && dots.ink[row][ScreenDotsWidth - 1]) << row;
    EXPECT_FALSE(dots.ink[1][1]) << "a background gap inside the frame";
    EXPECT_FALSE(dots.ink[242][322]);
}

TEST(ScreenDotsTest, UnpacksTheImageMostSignificantBitFirstFromColumnTwoRowTwo) {
    struct Case {
        int byte;
        std::uint8_t value;
        std::vector<std::pair<int, int>> ink;  // (row, column) of the display's dots
    };
    const Case cases[] = {
        {0, 0x80, {{2, 2}}},
        {0, 0x01, {{2, 9}}},
        {0, 0xC3, {{2, 2}, {2, 3}, {2, 8}, {2, 9}}},
        {39, 0x01, {{2, 321}}},
        {40, 0x80, {{3, 2}}},
        {ScreenImageSize - 1, 0x01, {{241, 321}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.byte);
        std::array<std::uint8_t, ScreenImageSize> image{};
        image[c.byte] = c.value;
        ScreenDots dots = FramedDots();
        dots.ink[100][100] = true;  // left from an earlier picture
        UnpackScreenImage(image, dots);
        ScreenDots expected = FramedDots();
        for (const auto& [row, column] : c.ink)
            expected.ink[row][column] = true;
        EXPECT_EQ(dots.ink, expected.ink);
    }
}

TEST(ScreenDotsTest, PaintsOnePixelPerDotInTheTwoColours) {
    ScreenDots dots = FramedDots();
    dots.ink[2][2] = true;
    // 0x00BBGGRR: 2436127 is red 31, green 44, blue 37.
    const QImage picture = ScreenPicture(dots, 2436127, 15395553);
    ASSERT_EQ(picture.size(), QSize(ScreenDotsWidth, ScreenDotsHeight));
    EXPECT_EQ(picture.pixelColor(2, 2), QColor(31, 44, 37));
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(31, 44, 37));
    EXPECT_EQ(picture.pixelColor(3, 2), QColor(225, 234, 234));
    EXPECT_EQ(picture.pixelColor(1, 1), QColor(225, 234, 234));
}

}  // namespace
