#include "app/Settings.h"
#include "app/StartupRules.h"

#include <gtest/gtest.h>

namespace {

TEST(StartupRules, SettingsNumbersAreDecimalIntegers) {
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"0", 0},          {"41", 41},       {"-10", -10},         {"+7", 7},
        {"2147483647", 2147483647},          {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},        {"99999999999", std::nullopt},
        {"", std::nullopt}, {"abc", std::nullopt}, {"12abc", std::nullopt}, {"-", std::nullopt},
        {"0x10", std::nullopt}, {"$10", std::nullopt}, {"1.5", std::nullopt}, {"usb", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseDecimal(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(StartupRules, StartCounterCountsOnFromWhatWasStored) {
    EXPECT_EQ(NextUses(QStringLiteral("0")), 1);
    EXPECT_EQ(NextUses(QStringLiteral("41")), 42);
    EXPECT_EQ(NextUses(QStringLiteral("garbage")), 1);
    EXPECT_EQ(NextUses(QStringLiteral("2147483647")), 2147483647);  // stays, never wraps negative
}

TEST(StartupRules, WindowBoundsAreClampedToTheScreen) {
    struct Case {
        const char* width;
        const char* left;
        const char* height;
        const char* top;
        WindowBounds expected;
    };
    // On a 1280 x 1024 screen.
    const Case cases[] = {
        {"0", "0", "0", "0", {0, 0, 454, 307}},          // first start: minimum size, top left
        {"abc", "0", "0", "0", {0, 0, 640, 307}},        // not a number: half the screen
        {"5000", "0", "0", "0", {0, 0, 1280, 307}},
        {"640", "-10", "400", "-5", {0, 0, 640, 400}},
        {"640", "2000", "400", "2000", {640, 624, 640, 400}},
        {"800", "x", "600", "y", {480, 424, 800, 600}},  // half the screen, then kept inside
        {"453", "10", "306", "10", {10, 10, 454, 307}},
        {"1280", "1", "1024", "1", {0, 0, 1280, 1024}},
    };
    for (const Case& c : cases) {
        const WindowBounds b = RestoreBounds(QString::fromUtf8(c.width), QString::fromUtf8(c.left),
                                             QString::fromUtf8(c.height), QString::fromUtf8(c.top), 1280, 1024);
        EXPECT_EQ(b.left, c.expected.left) << c.width << " " << c.left;
        EXPECT_EQ(b.top, c.expected.top) << c.height << " " << c.top;
        EXPECT_EQ(b.width, c.expected.width) << c.width;
        EXPECT_EQ(b.height, c.expected.height) << c.height;
    }
}

TEST(StartupRules, MaximizedWhenTheValueBeginsWithOne) {
    EXPECT_TRUE(OpensMaximized(QStringLiteral("1")));
    EXPECT_TRUE(OpensMaximized(QStringLiteral("1yes")));
    EXPECT_FALSE(OpensMaximized(QStringLiteral("0")));
    EXPECT_FALSE(OpensMaximized(QStringLiteral("")));
    EXPECT_FALSE(OpensMaximized(QStringLiteral(" 1")));
}

TEST(StartupRules, PortChoiceFromTheStoredText) {
    struct Case {
        const char* stored;
        bool usb;
        int comPort;
        bool storeOne;
    };
    const Case cases[] = {
        {"", false, 1, true},        // missing or empty: "1" is written
        {"1", false, 1, false},
        {"5", false, 5, false},
        {"99", false, 99, false},
        {"0", false, 1, true},       // out of range: "1" is written back
        {"100", false, 1, true},
        {"-3", false, 1, true},
        {"USB", true, 1, false},
        {"U", true, 1, false},
        {"Ufoo", true, 1, false},
        {"usb", false, 1, false},    // lower case does not count and is left as it is
        {"COM3", false, 1, false},
    };
    for (const Case& c : cases) {
        const PortChoice choice = ChoosePort(QString::fromUtf8(c.stored));
        EXPECT_EQ(choice.usb, c.usb) << c.stored;
        if (!c.usb) {
            EXPECT_EQ(choice.comPort, c.comPort) << c.stored;
        }
        EXPECT_EQ(choice.storeOne, c.storeOne) << c.stored;
    }
}

}  // namespace
