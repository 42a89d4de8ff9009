#include "report/NumberText.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberTextTest, NumbersInTheReportsNotationAndNothingElse) {
    struct Case {
        const char* text;
        bool number;
        double value;
        int decimals;
    };
    const Case cases[] = {
        {"2345,68", true, 2345.68, 2}, {"120,5", true, 120.5, 1}, {"2345,0", true, 2345.0, 1},
        {"120", true, 120, 0},          {"0", true, 0, 0},         {"0,25", true, 0.25, 2},
        {"-3,5", true, -3.5, 1},        {"007", false, 0, 0},      {"2345.68", false, 0, 0},
        {"1 234", false, 0, 0},         {"- 2 -", false, 0, 0},    {"1e5", false, 0, 0},
        {",5", false, 0, 0},            {"5,", false, 0, 0},       {"", false, 0, 0},
        {" 12", false, 0, 0},           {"№", false, 0, 0},        {"٣", false, 0, 0},
        {"1234567890123456", false, 0, 0},  // more digits than a double holds exactly
    };
    for (const Case& c : cases) {
        const std::optional<NumberText> parsed = ParseNumberText(QString::fromUtf8(c.text));
        ASSERT_EQ(parsed.has_value(), c.number) << c.text;
        if (parsed) {
            EXPECT_DOUBLE_EQ(parsed->value, c.value) << c.text;
            EXPECT_EQ(parsed->decimals, c.decimals) << c.text;
        }
    }
}

}  // namespace
