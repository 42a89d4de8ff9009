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
