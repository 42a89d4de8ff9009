#include "output/MeasurementReport.h"

#include "report/ReportFind.h"

#include "app/MessageTable.h"
#include "archive/StringGrid.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <cmath>
#include <memory>
#include <vector>

namespace {

TEST(MeasurementReportTest, TheTemplateHasTheLabReportsGeometry) {
    const ReportTemplate& report = MeasurementTemplate();
    EXPECT_NEAR(report.page.PrintableWidth(), 699.21305, 1e-3);
    EXPECT_DOUBLE_EQ(report.page.leftMm, 20);
    EXPECT_DOUBLE_EQ(report.page.rightMm, 5);
    EXPECT_DOUBLE_EQ(report.page.topMm, 10);
    EXPECT_DOUBLE_EQ(report.page.bottomMm, 10);
    const Band* data = report.Find(BandKind::MasterData);
    ASSERT_NE(data, nullptr);
    std::vector<long> widthsMm;
    double right = 0;
    for (const TextObject& object : data->objects) {
        widthsMm.push_back(std::lround(object.width / UnitsPerMm));
        EXPECT_NEAR(object.left, right, 1e-3) << object.name.toStdString() << ": the columns touch";
        right = object.left + object.width;
        EXPECT_TRUE(object.frame);
    }
    EXPECT_EQ(widthsMm, (std::vector<long>{16, 29, 20, 41, 45, 34}));
    EXPECT_NEAR(right, report.page.PrintableWidth(), 1e-3);
    EXPECT_FALSE(report.Find(BandKind::PageFooter)->printOnFirstPage);
}

TEST(MeasurementReportTest, SplitsTheDateTimeCell) {
    struct Case {
        const char* cell;
        const char* time;
        const char* date;
    };
    const Case cases[] = {
        {"10:20:30 (15 мар 2011)", "10:20:30 ", "15 мар 2011"},
        {" 9:05:00 ( 1 янв 2024)", " 9:05:00 ", " 1 янв 2024"},
        {"10:20:30 (15 мар 2011) - удалена", "10:20:30 ", "15 мар 2011 - удалена"},
        {"", "", ""},
        {"no date", "no date", ""},
        {"10:20 (", "10:20 ", ""},
    };
    for (const Case& c : cases) {
        const DateTimeParts parts = SplitDateTime(QString::fromUtf8(c.cell));
        EXPECT_EQ(parts.time, QString::fromUtf8(c.time)) << c.cell;
        EXPECT_EQ(parts.date, QString::fromUtf8(c.date)) << c.cell;
    }
}

TEST(MeasurementReportTest, ResolvesTheVariablesFromTheGridAndTheMessageTable) {
    const auto grid = MeasurementGrid(2);
    struct Case {
        const char* name;
        int recNo;
        std::optional<QString> value;
    };
    const Case cases[] = {
        {"Заголовок", 0, MessageText(TextReportTitle)},
        {"Дата0", 0, MessageText(TextDate)},
        {"Время0", 0, MessageText(TextTime)},
        {"Плотность0", 0, MessageText(TextDensity)},
        {"Материал0", 0, MessageText(TextMaterial)},
        {"Температура0", 0, MessageText(TextTemperature)},
        {"№№", 0, QStringLiteral("2")},
        {"№№", 1, QStringLiteral("1")},
        {"Дата", 1, QStringLiteral(" 2 янв 2024")},
        {"Время", 1, QStringLiteral("10:20:30 ")},
        {"Плотность", 1, QStringLiteral("2345,1")},
        {"Материал", 0, QStringLiteral("Асфальт")},
        {"Температура", 0, QStringLiteral("120,5")},
        {"Page#", 0, std::nullopt},
        {"дата", 0, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rptReport1GetValue(QString::fromUtf8(c.name), *grid, c.recNo), c.value) << c.name;
}

TEST(MeasurementReportTest, OneFramedLinePerGridRowAndPageNumbersFromPageTwo) {
    const std::vector<QStringList> one = PageTexts(PrepareMeasurementReport(*MeasurementGrid(1)));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], (QStringList{MessageText(TextReportTitle), "№", MessageText(TextDate), MessageText(TextTime),
                                   MessageText(TextDensity), MessageText(TextMaterial), MessageText(TextTemperature),
                                   "1", " 1 янв 2024", "10:20:30 ", "2345,0", "Асфальт", "120,5"}));

    // A4 with these bands: 52 lines on page 1, 53 on each page after it.
    const std::vector<QStringList> three = PageTexts(PrepareMeasurementReport(*MeasurementGrid(52 + 53 + 1)));
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0].size(), 7 + 52 * 6);
    EXPECT_EQ(three[1].size(), 1 + 6 + 53 * 6);
    EXPECT_EQ(three[1][0], "- 2 -");
    EXPECT_EQ(three[1][1], "№") << "the header line repeats";
    EXPECT_EQ(three[2][0], "- 3 -");
    EXPECT_EQ(three[2].size(), 1 + 6 + 6);
    EXPECT_EQ(three[2].back(), "120,5");
    EXPECT_EQ(three[2][7], "1") << "the grid's last row, the oldest record";
}

TEST(MeasurementReportTest, RowsMovedInTheGridPrintInTheirNewOrder) {
    const auto grid = MeasurementGrid(3);  // numbers 3, 2, 1 in rows 2, 3, 4
    grid->MoveRow(4, 2);
    const QStringList texts = PageTexts(PrepareMeasurementReport(*grid))[0];
    QStringList numbers;
    for (int i = 7; i < texts.size(); i += 6)
        numbers << texts[i];
    EXPECT_EQ(numbers, (QStringList{"1", "3", "2"}));
}

TEST(MeasurementReportTest, FindShowsTheRecordOnItsPage) {
    // A full archive, newest first: record 1800 is the 878th line, on page 17.
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(2677));
    ASSERT_EQ(report.pages.size(), 51u) << "52 lines on page 1, up to 53 on each of the 50 after it";
    const std::optional<FoundText> found = FindInReport(report, QStringLiteral("1800"), false, std::nullopt, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->page, 16);
    EXPECT_EQ(report.pages[16].texts[static_cast<std::size_t>(found->text)].text, "1800");
}

}  // namespace
