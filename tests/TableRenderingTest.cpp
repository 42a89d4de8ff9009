#include "archive/TableRendering.h"

#include "archive/Archive.h"
#include "archive/StringGrid.h"
#include "support/Records.h"

#include <gtest/gtest.h>

#include <QTimer>

#include <memory>

namespace {

class TableRenderingTest : public ::testing::Test {
protected:
    void SetUp() override {
        archive = std::make_unique<TArchive>();
        WriteHeaderTexts(grid);
    }
    void Add(const TMeasurement& m) { archive->Records[archive->Count++] = m; }

    std::unique_ptr<TArchive> archive;
    TStringGrid grid{5, 3};
};

TEST_F(TableRenderingTest, ShowArchivePutsTheNewestRecordFirst) {
    Add(MakeRecord(10, 8, 0, 0, 1, 1, 20, 2000.0f, 1, 10.0f));
    Add(MakeRecord(11, 9, 0, 0, 1, 1, 20, 2100.5f, 2, 11.0f));
    Add(MakeRecord(12, 10, 0, 0, 1, 1, 20, 2200.25f, 3, 12.0f));
    ShowArchive(grid, *archive);

    EXPECT_EQ(grid.RowCount(), 5);
    EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("(3)"));
    EXPECT_EQ(grid.Cells(0, 0), QStringLiteral(" № зап."));  // headers untouched
    EXPECT_EQ(grid.Cells(2, 1), QStringLiteral("  кг/м^3"));
    const char* expected[][5] = {
        {"12", "10:00:00 ( 1 янв 2020)", "2200,25", "Асфальт 3", "12,0"},
        {"11", " 9:00:00 ( 1 янв 2020)", "2100,50", "Асфальт 2", "11,0"},
        {"10", " 8:00:00 ( 1 янв 2020)", "2000,00", "Асфальт базовый", "10,0"},
    };
    for (int p = 0; p < 3; ++p)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(grid.Cells(c, p + 2), QString::fromUtf8(expected[p][c])) << "row " << p + 2 << " col " << c;
    EXPECT_EQ(archive->DisplayOrder[0], 2);
    EXPECT_EQ(archive->DisplayOrder[2], 0);
}

TEST_F(TableRenderingTest, EmptyArchiveLeavesTheHeaderRowsOnly) {
    ShowArchive(grid, *archive);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("(0)"));
}

TEST_F(TableRenderingTest, ClearTableKeepsColumnZeroAndRunsTheLayout) {
    Add(MakeRecord(41, 8, 0, 0, 1, 1, 20, 2000.0f, 1, 10.0f));
    Add(MakeRecord(42, 9, 0, 0, 1, 1, 20, 2000.0f, 1, 10.0f));
    ShowArchive(grid, *archive);
    int layouts = 0;
    ClearTable(grid, [&] {
        ++layouts;
        WriteHeaderTexts(grid);
    });

    EXPECT_EQ(layouts, 1);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.FixedRows(), 2);
    EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("(2)"));  // the previous count
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("42"));   // the previous first number
    for (int c = 1; c < 5; ++c)
        EXPECT_EQ(grid.Cells(c, 2), QString()) << c;
    EXPECT_EQ(grid.Cells(1, 0), QStringLiteral("Дата, время"));  // written again by the layout
    EXPECT_EQ(grid.Cells(4, 1), QStringLiteral("°C"));
    // Rows beyond the new count were emptied too, so they come back empty.
    grid.SetRowCount(4);
    EXPECT_EQ(grid.Cells(1, 3), QString());
    EXPECT_EQ(grid.Cells(0, 3), QStringLiteral("41"));
}

TEST_F(TableRenderingTest, ShowArchiveRereadsCountWhileItRenders) {
    for (int i = 0; i < 50; ++i)
        Add(MakeRecord(static_cast<std::uint16_t>(i), 0, 0, 0, 1, 1, 20, 0, 0, 0));
    // A command run from the events of the rendering loop empties the archive:
    // the loop stops at the new count instead of rendering stale rows.
    QTimer::singleShot(0, [&] { archive->Count = 0; });
    ShowArchive(grid, *archive);
    EXPECT_EQ(grid.RowCount(), 52);
    EXPECT_EQ(grid.Cells(0, 2), QStringLiteral("49"));
    EXPECT_EQ(grid.Cells(0, 51), QString());
}

TEST_F(TableRenderingTest, CountBeyondTheCapacityIsNeverRead) {
    archive->Count = ArchiveCapacity + 100;
    ShowArchive(grid, *archive);
    EXPECT_EQ(grid.RowCount(), ArchiveCapacity + 2);
    EXPECT_EQ(grid.Cells(0, 1), QStringLiteral("(2677)"));
}

}  // namespace
