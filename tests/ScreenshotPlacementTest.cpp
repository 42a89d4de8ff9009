#include "app/ScreenshotPlacement.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenshotPlacementTest, KeepsTheWindowOnTheScreen) {
    // A 1024 × 768 screen, a 345 × 340 window, centred at 300, 200.
    struct Case {
        const char* stored;
        int left;
        int top;
    };
    const Case cases[] = {
        {"40", 40, 40},
        {"5000", 1024 - 345, 768 - 340 - 25},  // flush right; at the bottom clear of a task bar
        {"679", 679, 768 - 340 - 25},          // 679 fits across, not down
        {"-10", 0, 0},
        {"abc", 300, 200},
        {"", 300, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(ScreenshotLeft(QString::fromLatin1(c.stored), 300, 1024, 345), c.left);
        EXPECT_EQ(ScreenshotTop(QString::fromLatin1(c.stored), 200, 768, 340), c.top);
    }
}

TEST(ScreenshotPlacementTest, AColourThatIsNoNumberTakesTheFallback) {
    EXPECT_EQ(ScreenshotColour(QStringLiteral("2436127"), 16711680), 2436127);
    EXPECT_EQ(ScreenshotColour(QStringLiteral("abc"), 16711680), 16711680);
    EXPECT_EQ(ScreenshotColour(QString(), 16777215), 16777215);
}

}  // namespace
