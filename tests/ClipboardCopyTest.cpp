#include "output/ClipboardCopy.h"

#include "archive/StringGrid.h"

#include <gtest/gtest.h>

namespace {

// Rows 0-1 headers "h<col><row>", data rows "c<col>r<row>".
void Fill(TStringGrid& grid) {
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < 5; ++c)
            grid.SetCells(c, r, r < 2 ? QStringLiteral("h%1%2").arg(c).arg(r) : QStringLiteral("c%1r%2").arg(c).arg(r));
}

TEST(ClipboardCopy, WholeTableIsEveryRowWithLineFeeds) {
    TStringGrid empty(5, 3);
    empty.SetCells(0, 0, QStringLiteral("N"));
    empty.SetCells(0, 1, QStringLiteral("(0)"));
    EXPECT_EQ(WholeTableText(empty), QStringLiteral("N\t\t\t\t\n(0)\t\t\t\t\n\t\t\t\t\n"));

    TStringGrid grid(5, 5);
    Fill(grid);
    EXPECT_EQ(WholeTableText(grid), QStringLiteral("h00\th10\th20\th30\th40\n"
                                                   "h01\th11\th21\th31\th41\n"
                                                   "c0r2\tc1r2\tc2r2\tc3r2\tc4r2\n"
                                                   "c0r3\tc1r3\tc2r3\tc3r3\tc4r3\n"
                                                   "c0r4\tc1r4\tc2r4\tc3r4\tc4r4\n"));
}

TEST(ClipboardCopy, SelectionIsItsRowsWithoutTheNumberAndWithCrLf) {
    TStringGrid grid(5, 10);
    Fill(grid);
    grid.SelectRows(4, 4);
    EXPECT_EQ(SelectionText(grid), QStringLiteral("c1r4\tc2r4\tc3r4\tc4r4\r\n"));
    grid.SelectRows(7, 5);
    EXPECT_EQ(SelectionText(grid), QStringLiteral("c1r5\tc2r5\tc3r5\tc4r5\r\n"
                                                  "c1r6\tc2r6\tc3r6\tc4r6\r\n"
                                                  "c1r7\tc2r7\tc3r7\tc4r7\r\n"));
    TStringGrid noData(5, 2);
    EXPECT_EQ(SelectionText(noData), QString());
}

TEST(ClipboardCopy, MovedColumnsAndRowsAreCopiedAtTheirNewPlaces) {
    TStringGrid grid(5, 4);
    Fill(grid);
    grid.MoveColumn(4, 1);
    grid.MoveRow(3, 2);
    EXPECT_EQ(WholeTableText(grid), QStringLiteral("h00\th40\th10\th20\th30\n"
                                                   "h01\th41\th11\th21\th31\n"
                                                   "c0r3\tc4r3\tc1r3\tc2r3\tc3r3\n"
                                                   "c0r2\tc4r2\tc1r2\tc2r2\tc3r2\n"));
    grid.SelectRows(2, 2);
    EXPECT_EQ(SelectionText(grid), QStringLiteral("c4r3\tc1r3\tc2r3\tc3r3\r\n"));
}

}  // namespace
