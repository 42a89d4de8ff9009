#include "report/ReportTable.h"

#include <gtest/gtest.h>

namespace {

PlacedText Text(double left, double top, double width, const char* text) {
    PlacedText placed;
    placed.rect = QRectF(left, top, width, 20);
    placed.text = QString::fromUtf8(text);
    return placed;
}

// A title over three columns, a header line, a data line and a page number,
// on two pages; the second page has no title.
PreparedReport TwoPages() {
    PreparedReport report;
    report.pages.push_back({{Text(0, 0, 300, "Заголовок"), Text(0, 30, 100, "№"), Text(100, 30, 120, "Дата"),
                             Text(220, 30, 80, "t"), Text(220, 50, 80, "120,5"), Text(0, 50, 100, "1"),
                             Text(100, 50, 120, "1 янв")}});
    report.pages.push_back({{Text(0, 0, 100, "№"), Text(100, 0, 120, "Дата"), Text(220, 0, 80, "t"),
                             Text(0, 200, 300, "- 2 -")}});
    return report;
}

TEST(ReportTableTest, RowsByTopAndColumnsByLeftEdgeAcrossAllPages) {
    const PreparedReport report = TwoPages();
    const ReportTable table = TableOf(report);
    EXPECT_EQ(table.edges, (std::vector<double>{0, 100, 220, 300}));
    ASSERT_EQ(table.rows.size(), 5u);

    struct Expected {
        int page;
        double top;
        std::vector<std::tuple<int, int, QString>> cells;  // column, span, text
    };
    const Expected expected[] = {
        {0, 0, {{0, 3, "Заголовок"}}},
        {0, 30, {{0, 1, "№"}, {1, 1, "Дата"}, {2, 1, "t"}}},
        {0, 50, {{0, 1, "1"}, {1, 1, "1 янв"}, {2, 1, "120,5"}}},  // placed out of order, read left to right
        {1, 0, {{0, 1, "№"}, {1, 1, "Дата"}, {2, 1, "t"}}},
        {1, 200, {{0, 3, "- 2 -"}}},
    };
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const TableRow& row = table.rows[r];
        EXPECT_EQ(row.page, expected[r].page) << r;
        EXPECT_EQ(row.top, expected[r].top) << r;
        EXPECT_EQ(row.height, 20) << r;
        ASSERT_EQ(row.cells.size(), expected[r].cells.size()) << r;
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const auto& [column, span, text] = expected[r].cells[c];
            EXPECT_EQ(row.cells[c].column, column) << r << "/" << c;
            EXPECT_EQ(row.cells[c].span, span) << r << "/" << c;
            EXPECT_EQ(row.cells[c].text, text) << r << "/" << c;
            EXPECT_NE(row.cells[c].style, nullptr);
        }
    }
}

TEST(ReportTableTest, EdgesThatDifferOnlyByRoundingAreOneAndStackedTextsStayInTheirCell) {
    PreparedReport report;
    report.pages.push_back({{Text(0, 0, 100, "a"), Text(100.001, 0, 50, "b"), Text(99.998, 30, 50, "c"),
                             Text(20, 30.004, 50, "under")}});
    const ReportTable table = TableOf(report);
    EXPECT_EQ(table.Columns(), 3);  // 0, 20 and 100
    ASSERT_EQ(table.rows.size(), 2u);
    ASSERT_EQ(table.rows[1].cells.size(), 2u);
    EXPECT_EQ(table.rows[1].cells[0].text, QStringLiteral("under"));
    EXPECT_EQ(table.rows[1].cells[1].column, 2) << "100.001 and 99.998 are the same edge";
    // "a" reaches over the edge that "under" starts on a row below.
    ASSERT_EQ(table.rows[0].cells.size(), 2u);
    EXPECT_EQ(table.rows[0].cells[0].span, 2);

    PreparedReport stacked;
    stacked.pages.push_back({{Text(0, 0, 100, "wide"), Text(50, 0, 20, "inside"), Text(100, 0, 50, "next")}});
    const ReportTable merged = TableOf(stacked);
    ASSERT_EQ(merged.rows[0].cells.size(), 2u);
    EXPECT_EQ(merged.rows[0].cells[0].text, QStringLiteral("wide\ninside")) << "nothing is lost";
    EXPECT_EQ(merged.rows[0].cells[1].text, QStringLiteral("next"));
}

TEST(ReportTableTest, AnEmptyReportHasNoColumnsAndNoRows) {
    PreparedReport report;
    report.pages.emplace_back();
    const ReportTable table = TableOf(report);
    EXPECT_EQ(table.Columns(), 0);
    EXPECT_TRUE(table.rows.empty());
}

}  // namespace
