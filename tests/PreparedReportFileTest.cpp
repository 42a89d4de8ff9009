#include "report/PreparedReportFile.h"

#include <gtest/gtest.h>

namespace {

PreparedReport TwoPages() {
    PreparedReport report;
    report.page.leftMm = 20;
    report.page.rightMm = 5;
    report.page.landscape = true;
    TextObject framed;
    framed.name = QStringLiteral("Memo9");
    framed.frame = true;
    framed.bold = true;
    framed.fontHeight = -21;
    framed.text = QStringLiteral("[№№]");
    TextObject plain;
    plain.name = QStringLiteral("Memo1");
    plain.centred = false;
    plain.fontFamily = QStringLiteral("DejaVu Sans");
    plain.text = QStringLiteral("- [Page#] -");
    report.pages = {{{{framed, QRectF(75.6, 37.8, 60.47, 18.9), QStringLiteral("2677")}}},
                    {{{plain, QRectF(75.6, 1000.5, 699.2, 18.9), QStringLiteral("- 2 -")},
                      {framed, QRectF(75.6, 37.8, 60.47, 18.9), QStringLiteral("Плотность, кг/м^3")}}}};
    return report;
}

void ExpectSame(const PreparedReport& read, const PreparedReport& written) {
    EXPECT_EQ(read.page, written.page);
    ASSERT_EQ(read.pages.size(), written.pages.size());
    for (std::size_t p = 0; p < read.pages.size(); ++p) {
        ASSERT_EQ(read.pages[p].texts.size(), written.pages[p].texts.size());
        for (std::size_t t = 0; t < read.pages[p].texts.size(); ++t) {
            const PlacedText& a = read.pages[p].texts[t];
            const PlacedText& b = written.pages[p].texts[t];
            EXPECT_EQ(a.text, b.text);
            EXPECT_EQ(a.rect, b.rect);
            EXPECT_EQ(a.style.name, b.style.name);
            EXPECT_EQ(a.style.fontFamily, b.style.fontFamily);
            EXPECT_EQ(a.style.fontHeight, b.style.fontHeight);
            EXPECT_EQ(a.style.bold, b.style.bold);
            EXPECT_EQ(a.style.frame, b.style.frame);
            EXPECT_EQ(a.style.centred, b.style.centred);
            EXPECT_EQ(a.style.text, b.style.text);
        }
    }
}

TEST(PreparedReportFileTest, AReportOpensAgainAsItWasSaved) {
    const PreparedReport written = TwoPages();
    const PreparedReportReading reading = ReadPreparedReport(WritePreparedReport(written));
    ASSERT_TRUE(reading.report) << reading.error.toStdString();
    ExpectSame(*reading.report, written);
}

TEST(PreparedReportFileTest, RefusesOtherFilesAndLaterVersions) {
    struct Case {
        QByteArray bytes;
        const char* error;
    };
    const Case cases[] = {
        {"", "not a prepared report"},
        {"{\"format\": \"something else\", \"version\": 1}", "not a prepared report"},
        {"[1]", "not a prepared report"},
        {"{\"format\": \"vel prepared report\", \"version\": 2, \"pages\": []}",
         "a prepared report of a later version of the program"},
    };
    for (const Case& c : cases) {
        const PreparedReportReading reading = ReadPreparedReport(c.bytes);
        EXPECT_FALSE(reading.report) << c.bytes.constData();
        EXPECT_EQ(reading.error, QString::fromLatin1(c.error));
    }
}

}  // namespace
