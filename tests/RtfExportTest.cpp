#include "report/RtfExport.h"

#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QRegularExpression>

#include <algorithm>

namespace {

TEST(RtfExportTest, TextsBecomeAsciiWithEscapes) {
    const struct {
        QString text;
        const char* rtf;
    } cases[] = {
        {QStringLiteral("Плотность"), "\\u1055?\\u1083?\\u1086?\\u1090?\\u1085?\\u1086?\\u1089?\\u1090?\\u1100?"},
        {QStringLiteral("{a}\\b"), "\\{a\\}\\\\b"},
        {QStringLiteral("a\tb\nc"), "a\\tab b\\line c"},
        {QStringLiteral("°C"), "\\u176?C"},
        {QStringLiteral("a") + QChar(0x01) + QChar(0x1F) + QChar(0x7F) + QStringLiteral("b"), "ab"},
        {QString::fromUcs4(U"\U0001F600"), "\\u-10179?\\u-8704?"},
        {QChar(0xD800) + QStringLiteral("x"), "\\u-3?x"},
        {QStringLiteral("\\u1055?"), "\\\\u1055?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RtfText(c.text), QByteArray(c.rtf)) << c.text.toStdString();
}

int Count(const QByteArray& rtf, const char* word) {
    return static_cast<int>(QString::fromLatin1(rtf).count(QRegularExpression(QString::fromLatin1(word))));
}

TEST(RtfExportTest, TheDocumentHasThePaperAndATableOfBorderedRowsPerPage) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    ASSERT_EQ(report.pages.size(), 3u);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    std::vector<std::pair<int, int>> told;
    ASSERT_EQ(WriteRtf(report, out, [&](int done, int pages) { told.emplace_back(done, pages); }), QString());
    const QByteArray rtf = out.data();

    EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(), [](char c) { return c > 0 && (c >= 0x20 || c == '\n'); }))
        << "pure ASCII";
    int depth = 0;
    for (qsizetype i = 0; i < rtf.size() && depth >= 0; ++i) {
        if (rtf[i] == '\\')
            ++i;  // an escaped brace or backslash
        else if (rtf[i] == '{')
            ++depth;
        else if (rtf[i] == '}')
            --depth;
    }
    EXPECT_EQ(depth, 0) << "balanced braces";
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    EXPECT_TRUE(rtf.contains("\\fcharset204 Times New Roman;"));
    // A4 and the template's 20, 10, 5 and 10 mm margins, in twips.
    EXPECT_TRUE(rtf.contains("\\paperw11906\\paperh16838\\margl1134\\margr283\\margt567\\margb567"));

    EXPECT_EQ(Count(rtf, R"(\\trowd)"), 1 + 1 + 110 + 2 * 2);
    EXPECT_EQ(Count(rtf, R"(\\row\b)"), 1 + 1 + 110 + 2 * 2);
    EXPECT_EQ(Count(rtf, R"(\\page\b)"), 2);
    EXPECT_EQ(Count(rtf, R"(\\clbrdrt\\brdrs)"), (1 + 110 + 2) * 6) << "framed cells only";
    EXPECT_EQ(Count(rtf, R"(\\plain\\b\\f0\\fs20 \\u8470\?\\cell)"), 3) << "a bold № heads each page";
    // The title and the page numbers reach over all six columns: one cell
    // ending at the last edge, 699.2 units from the margin.
    EXPECT_EQ(Count(rtf, R"(\\trowd\\trgaph0\\trleft0\\trrh\d+(\\clvertalc)?\\cellx10488\n)"), 3);
    EXPECT_TRUE(rtf.contains("- 2 -\\cell") && rtf.contains("- 3 -\\cell"));
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
}

}  // namespace
