#include "report/ReportExport.h"

#include "app/MessageTable.h"
#include "archive/StringGrid.h"
#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

namespace {

// What a poppler tool prints for the file.
QString Tool(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool ExportPdf(const PreparedReport& report, const QString& path) {
    return ExportReport(*ExportFormatFor(path), report, path).Ok();
}

class PdfExportTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }
    QTemporaryDir folder;
};

TEST_F(PdfExportTest, WritesTheReportsPagesWithTheirTextSelectable) {
    const QString pdf = Path("report.pdf");
    ASSERT_TRUE(ExportPdf(PrepareMeasurementReport(*MeasurementGrid(110)), pdf));

    const QString info = Tool(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral(R"re(Pages:\s+3\b)re")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral(R"re(Page size:\s+595(\.\d+)? x 84[12](\.\d+)? pts \(A4\))re")))) << info.toStdString();

    const QString text = Tool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(MessageText(TextReportTitle))) << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(MessageText(TextDensity)));
    EXPECT_TRUE(text.contains(QStringLiteral("1 янв 2024")));
    EXPECT_TRUE(text.contains(QStringLiteral("Асфальт")));
    // The layout text closes the blanks up: "- 2 -" reads "-2-".
    const auto pageNumber = [&](int n) { return text.contains(QRegularExpression(QStringLiteral(R"(-\s*%1\s*-)").arg(n))); };
    EXPECT_TRUE(pageNumber(2));
    EXPECT_TRUE(pageNumber(3));
    EXPECT_FALSE(pageNumber(1));

    const QString fonts = Tool(QStringLiteral("pdffonts"), {pdf});
    EXPECT_TRUE(fonts.contains(QStringLiteral("LiberationSerif"))) << fonts.toStdString();
}

TEST_F(PdfExportTest, ColumnsStandWhereTheTemplatePutsThem) {
    const QString pdf = Path("one.pdf");
    ASSERT_TRUE(ExportPdf(PrepareMeasurementReport(*MeasurementGrid(1)), pdf));
    // Word boxes in points from the top-left corner.
    const QString boxes = Tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    const auto left = [&](const QString& word) {
        const QRegularExpression box(QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>%1</word>)re")
                                         .arg(QRegularExpression::escape(word)));
        const QRegularExpressionMatch match = box.match(boxes);
        return match.hasMatch() ? match.captured(1).toDouble() * 25.4 / 72 : -1.0;  // mm
    };
    // Each text centred in its column: 20 mm margin, then 16, 29, 20, 41, 45, 34 mm.
    EXPECT_GT(left(QStringLiteral("№")), 20.0);
    EXPECT_LT(left(QStringLiteral("№")), 20.0 + 16);
    EXPECT_GT(left(QStringLiteral("2345,0")), 20.0 + 16 + 29 + 20);
    EXPECT_LT(left(QStringLiteral("2345,0")), 20.0 + 16 + 29 + 20 + 41);
    EXPECT_GT(left(QStringLiteral("120,5")), 20.0 + 16 + 29 + 20 + 41 + 45);
    EXPECT_LT(left(QStringLiteral("120,5")), 205.0);
}

TEST_F(PdfExportTest, AFileThatCannotBeWrittenIsReportedAndTheOldOneKept) {
    const QString pdf = Path("kept.pdf");
    {
        QFile old(pdf);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    EXPECT_FALSE(ExportPdf(PrepareMeasurementReport(*MeasurementGrid(1)), Path("missing/folder/x.pdf")));
    EXPECT_FALSE(QFile::exists(Path("missing/folder/x.pdf")));
    QFile old(pdf);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
}

}  // namespace
