#include "archive/StringGrid.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

// Writes "c/r" into every cell (c, r) of the grid's rows.
void Label(TStringGrid& grid) {
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            grid.SetCells(c, r, QStringLiteral("%1/%2").arg(c).arg(r));
}

QString Row(const TStringGrid& grid, int row) {
    QString text;
    for (int c = 0; c < grid.ColCount(); ++c)
        text += grid.Cells(c, row) + QLatin1Char(' ');
    return text.trimmed();
}

TEST(StringGrid, CellsOutsideTheRowCountLiveOn) {
    TStringGrid grid(5, 3);
    grid.SetCells(0, 150, QStringLiteral("149"));  // beyond the row count
    EXPECT_EQ(grid.Cells(0, 150), QStringLiteral("149"));
    grid.SetCells(1, 2, QStringLiteral("x"));
    grid.SetRowCount(2);
    grid.SetRowCount(3);
    EXPECT_EQ(grid.Cells(1, 2), QStringLiteral("x"));
    EXPECT_EQ(grid.Cells(5, 0), QString());   // no such column
    EXPECT_EQ(grid.Cells(0, -1), QString());
    grid.SetCells(7, 1, QStringLiteral("ignored"));
    EXPECT_EQ(grid.Cells(7, 1), QString());
}

TEST(StringGrid, MovingAColumnMovesItsCellsHeaderRowsIncluded) {
    TStringGrid grid(5, 4);
    Label(grid);
    grid.MoveColumn(1, 3);
    EXPECT_EQ(Row(grid, 0), QStringLiteral("0/0 2/0 3/0 1/0 4/0"));
    EXPECT_EQ(Row(grid, 3), QStringLiteral("0/3 2/3 3/3 1/3 4/3"));
    grid.MoveColumn(4, 1);
    EXPECT_EQ(Row(grid, 2), QStringLiteral("0/2 4/2 2/2 3/2 1/2"));
    grid.MoveColumn(0, 2);  // the fixed column stays
    grid.MoveColumn(2, 5);  // no such place
    EXPECT_EQ(Row(grid, 2), QStringLiteral("0/2 4/2 2/2 3/2 1/2"));
}

TEST(StringGrid, MovingARowMovesItsCellsAmongTheDataRows) {
    TStringGrid grid(5, 6);
    Label(grid);
    QSignalSpy moved(&grid, &TStringGrid::CellsMoved);
    grid.MoveRow(2, 4);
    EXPECT_EQ(Row(grid, 2), QStringLiteral("0/3 1/3 2/3 3/3 4/3"));
    EXPECT_EQ(Row(grid, 3), QStringLiteral("0/4 1/4 2/4 3/4 4/4"));
    EXPECT_EQ(Row(grid, 4), QStringLiteral("0/2 1/2 2/2 3/2 4/2"));
    grid.MoveRow(5, 2);
    EXPECT_EQ(Row(grid, 2), QStringLiteral("0/5 1/5 2/5 3/5 4/5"));
    EXPECT_EQ(moved.count(), 2);
    grid.MoveRow(1, 3);  // header rows stay
    grid.MoveRow(3, 6);  // beyond the rows
    EXPECT_EQ(Row(grid, 1), QStringLiteral("0/1 1/1 2/1 3/1 4/1"));
    EXPECT_EQ(moved.count(), 2);
}

TEST(StringGrid, SelectionIsWholeDataRowsWithinTheTable) {
    TStringGrid grid(5, 10);
    grid.SelectRows(7, 5);
    TStringGrid::TGridRect sel = grid.Selection();
    EXPECT_EQ(sel.Left, 1);
    EXPECT_EQ(sel.Right, 4);
    EXPECT_EQ(sel.Top, 5);
    EXPECT_EQ(sel.Bottom, 7);

    grid.SelectRows(0, 40);  // clamped to the data rows
    sel = grid.Selection();
    EXPECT_EQ(sel.Top, 2);
    EXPECT_EQ(sel.Bottom, 9);

    grid.SetRowCount(4);  // shrinking keeps it inside
    sel = grid.Selection();
    EXPECT_EQ(sel.Top, 2);
    EXPECT_EQ(sel.Bottom, 3);

    grid.SetRowCount(2);  // no data row: nothing selected
    sel = grid.Selection();
    EXPECT_GT(sel.Top, sel.Bottom);
}

}  // namespace
