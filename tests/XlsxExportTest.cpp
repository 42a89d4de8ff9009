#include "report/XlsxExport.h"

#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"
#include "support/ZipEntries.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QRegularExpression>

namespace {

QByteArray Workbook(const PreparedReport& report, std::vector<std::pair<int, int>>* told = nullptr) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const QString failure = WriteXlsx(report, out, [&](int done, int pages) {
        if (told)
            told->emplace_back(done, pages);
    });
    EXPECT_EQ(failure, QString());
    return out.data();
}

int Count(const QString& text, const QString& pattern) {
    return static_cast<int>(text.count(QRegularExpression(pattern)));
}

TEST(XlsxExportTest, OneSheetOfTheReportsRowsWithNumbersBordersMergesAndPageBreaks) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    ASSERT_EQ(report.pages.size(), 3u);
    std::vector<std::pair<int, int>> told;
    const std::vector<ZipEntry> entries = ZipEntries(Workbook(report, &told));
    const QString sheet = QString::fromUtf8(ZipEntryBytes(entries, "xl/worksheets/sheet1.xml"));
    const QString strings = QString::fromUtf8(ZipEntryBytes(entries, "xl/sharedStrings.xml"));
    const QString styles = QString::fromUtf8(ZipEntryBytes(entries, "xl/styles.xml"));
    ASSERT_FALSE(sheet.isEmpty());

    // Title, header and 52 records on page 1, then header, records, footer.
    EXPECT_EQ(Count(sheet, QStringLiteral("<row ")), 1 + 1 + 110 + 2 * (1 + 1));
    EXPECT_EQ(Count(sheet, QStringLiteral("<col ")), 6);
    EXPECT_EQ(Count(sheet, QStringLiteral("<mergeCell ref=\"A\\d+:F\\d+\"/>")), 3) << "the title and two page numbers";
    EXPECT_EQ(Count(sheet, QStringLiteral("<brk id=")), 2) << "a break before pages 2 and 3";
    // The first record: its number, density and temperature are numbers.
    EXPECT_TRUE(sheet.contains(QRegularExpression(QStringLiteral(R"re(<c r="A3" s="\d+"><v>110</v></c>)re"))));
    EXPECT_TRUE(sheet.contains(QRegularExpression(QStringLiteral(R"re(<c r="D3" s="\d+"><v>2345</v></c>)re"))));
    EXPECT_TRUE(sheet.contains(QRegularExpression(QStringLiteral(R"re(<c r="D4" s="\d+"><v>2345.1</v></c>)re"))));
    EXPECT_TRUE(sheet.contains(QRegularExpression(QStringLiteral(R"re(<c r="F3" s="\d+"><v>120.5</v></c>)re"))));
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"0.0\""))) << "shown with their one decimal";
    for (const char* text : {"Измеренные значения плотности", "Асфальт", "1 янв 2024", "10:20:30", "- 2 -", "- 3 -"})
        EXPECT_TRUE(strings.contains(QString::fromUtf8(text))) << text;
    EXPECT_FALSE(strings.contains(QStringLiteral("2345,1"))) << "numbers are not texts";
    EXPECT_TRUE(styles.contains(QStringLiteral("<b/>"))) << "the header is bold";
    EXPECT_TRUE(styles.contains(QStringLiteral("<left style=\"thin\">")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("paperSize=\"9\"")));

    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
}

TEST(XlsxExportTest, TheSameReportGivesTheSameBytes) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(3));
    const QByteArray first = Workbook(report);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_TRUE(first == Workbook(report));
}

}  // namespace
