#include "ui/FormLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(FormLayout, ColumnWidthsFollowTheWindowWidth) {
    struct Case {
        int outer;
        int client;
        std::array<int, 5> widths;
    };
    const Case cases[] = {
        {499, 491, {45, 125, 94, 94, 94}},   // the design size with its 8-pixel frame
        {454, 446, {45, 125, 79, 79, 79}},   // the minimum width: a stays 110
        {454, 454, {45, 133, 79, 79, 79}},   // no frame
        {1280, 1272, {45, 249, 313, 313, 313}},
    };
    for (const Case& c : cases) {
        const FormLayout l = ComputeFormLayout({c.outer, c.client, 300});
        EXPECT_EQ(l.colWidths, c.widths) << c.outer;
        EXPECT_EQ(l.grid.width, c.client - 14);
        // Columns plus room for the scroll bar fill the grid exactly.
        EXPECT_EQ(l.colWidths[0] + l.colWidths[1] + 3 * l.colWidths[2] + 25, l.grid.width);
    }
}

TEST(FormLayout, ControlsAtTheDesignSize) {
    const FormLayout l = ComputeFormLayout({499, 491, 316});
    EXPECT_EQ(l.grid, (Box{8, 44, 477, 246}));
    EXPECT_EQ(l.toolBar, (Box{8, 4, 477, 33}));
    EXPECT_EQ(l.panel6Left, 444);
    EXPECT_EQ(l.panel5Left, 391);
    EXPECT_EQ(l.statusPanelWidths, (std::array<int, 4>{311, 140, 20, 20}));
    EXPECT_EQ(l.progressLeft, 314);
    EXPECT_EQ(l.linkPanelLeft, 457);
}

}  // namespace
