#include "report/ReportExport.h"
#include "report/TextExport.h"

#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>

namespace {

TEST(TextExportTest, TheLayoutAsLinesOfColumnsWithoutFramesOrEmptyLines) {
    const QString text = ReportText(PrepareMeasurementReport(*MeasurementGrid(2)));
    const QStringList lines = text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5) << text.toStdString();  // title, header, two records, and the end
    EXPECT_EQ(lines[4], QString());
    EXPECT_EQ(lines[0].trimmed(), QStringLiteral("Измеренные значения плотности"));
    EXPECT_TRUE(lines[0].startsWith(QLatin1Char(' '))) << "the title centred over the line";
    EXPECT_EQ(lines[1], QStringLiteral("№  Дата        Время     Плотность, кг/м^3  Материал  Температура, °C"));
    EXPECT_EQ(lines[2], QStringLiteral("2  1 янв 2024  10:20:30  2345,0             Асфальт   120,5"));
    EXPECT_EQ(lines[3], QStringLiteral("1  2 янв 2024  10:20:30  2345,1             Асфальт   120,5"));
}

TEST(TextExportTest, PagesFollowEachOtherWithTheirNumbers) {
    const QStringList lines = ReportText(PrepareMeasurementReport(*MeasurementGrid(60))).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.size(), 1 + 1 + 52 + 1 + 1 + 8 + 1);  // page 1, then page 2 with its footer, and the end
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) { return l.trimmed() == "- 2 -"; }));
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end() - 1, [](const QString& l) { return l.trimmed().isEmpty(); }))
        << "no empty lines";
}

TEST(TextExportTest, WritesUtf8AndKeepsTheOldFileWhenItCannot) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.txt"));
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(1));
    ASSERT_TRUE(ExportReport(*ExportFormatFor(path), report, path).Ok());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), ReportText(report));
    EXPECT_FALSE(ExportReport(*ExportFormatFor(path), report, folder.filePath(QStringLiteral("missing/report.txt"))).Ok());
}

}  // namespace
