#include "app/WindowPlacement.h"

#include "app/AppPaths.h"
#include "support/ScopedProcessState.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

TEST(WindowPlacement, WindowBoundsAreClampedToTheScreen) {
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

TEST(WindowPlacement, MaximizedWhenTheValueBeginsWithOne) {
    EXPECT_TRUE(OpensMaximized(QStringLiteral("1")));
    EXPECT_TRUE(OpensMaximized(QStringLiteral("1yes")));
    EXPECT_FALSE(OpensMaximized(QStringLiteral("0")));
    EXPECT_FALSE(OpensMaximized(QStringLiteral("")));
    EXPECT_FALSE(OpensMaximized(QStringLiteral(" 1")));
}

// The placement travels through the settings file, one [FormMain] key each,
// and comes back as it was stored.
TEST(WindowPlacement, StoredPlacementComesBackAtTheNextStart) {
    TemporaryProgramFolder program;
    {
        QFile f(SettingsPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Config]\nUses=3\n");
    }
    WriteWindowPlacement({{30, 40, 600, 400}, true});
    QFile f(SettingsPath);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[Config]\nUses=3\n\n[FormMain]\nMaximized=1\nLeft=30\nTop=40\nWidth=600\nHeight=400\n"));

    const WindowPlacement read = ReadWindowPlacement(1280, 1024);
    EXPECT_EQ(read.bounds, (WindowBounds{30, 40, 600, 400}));
    EXPECT_TRUE(read.maximized);
}

TEST(WindowPlacement, NoSettingsFileOpensAtTheMinimumSizeInTheCorner) {
    TemporaryProgramFolder program;
    const WindowPlacement read = ReadWindowPlacement(1280, 1024);
    EXPECT_EQ(read.bounds, (WindowBounds{0, 0, 454, 307}));
    EXPECT_FALSE(read.maximized);
}

}  // namespace
