#include "report/ReportLayout.h"

#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <vector>

namespace {

// Records 0 to count − 1.
class CountedRecords final : public RecordSource {
public:
    explicit CountedRecords(int count) : count_(count) {}
    void First() override { current_ = 0; }
    bool Eof() override { return current_ >= count_; }
    void Next() override { ++current_; }
    int RecNo() const override { return current_; }

private:
    int count_;
    int current_ = 0;
};

TextObject Text(const char* name, const char* text, double left = 0, double width = 100, double height = 10) {
    TextObject object;
    object.name = QString::fromLatin1(name);
    object.left = left;
    object.width = width;
    object.height = height;
    object.text = QString::fromUtf8(text);
    return object;
}

// A page of 100 units high inside its margins: a 30 high title, a 10 high
// header, 10 high records and a 20 high footer not on the first page.
ReportTemplate SmallReport() {
    ReportTemplate report;
    report.page.widthMm = 100;
    report.page.heightMm = 120 / UnitsPerMm;
    report.page.leftMm = 5;
    report.page.topMm = 10 / UnitsPerMm;
    report.page.bottomMm = 10 / UnitsPerMm;
    report.bands = {
        {BandKind::PageFooter, "Footer", 20, false, {Text("PageNo", "- [Page#] -")}},
        {BandKind::MasterData, "Data", 10, true, {Text("No", "[No]"), Text("Value", "v[No]=[Value]", 50)}},
        {BandKind::PageHeader, "Header", 10, true, {Text("Head", "No")}},
        {BandKind::ReportTitle, "Title", 30, true, {Text("Title", "[Title]")}},
    };
    return report;
}

class ReportLayoutTest : public ::testing::Test {
protected:
    PreparedReport LayOut(int count) {
        CountedRecords source(count);
        records = &source;
        const PreparedReport prepared = LayOutReport(report, [this](const QString& name) -> std::optional<QString> {
            if (name == QLatin1String("Title"))
                return QStringLiteral("Report");
            if (name == QLatin1String("No"))
                return QString::number(records->RecNo() + 1);
            return std::nullopt;
        }, source);
        records = nullptr;
        return prepared;
    }

    ReportTemplate report = SmallReport();
    RecordSource* records = nullptr;
};

TEST_F(ReportLayoutTest, PutsTheBandsOnThePagesInTheirOrder) {
    struct Case {
        int records;
        std::vector<QStringList> pages;
    };
    // Page 1 holds 6 records below title and header; the others 7 above the footer.
    const Case cases[] = {
        {0, {{"Report", "No"}}},
        {1, {{"Report", "No", "1", "v1=[Value]"}}},
        {6, {{"Report", "No", "1", "v1=[Value]", "2", "v2=[Value]", "3", "v3=[Value]", "4", "v4=[Value]", "5",
              "v5=[Value]", "6", "v6=[Value]"}}},
        {8, {{"Report", "No", "1", "v1=[Value]", "2", "v2=[Value]", "3", "v3=[Value]", "4", "v4=[Value]", "5",
              "v5=[Value]", "6", "v6=[Value]"},
             {"- 2 -", "No", "7", "v7=[Value]", "8", "v8=[Value]"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records);
        EXPECT_EQ(PageTexts(LayOut(c.records)), c.pages);
    }
}

TEST_F(ReportLayoutTest, CountsPagesAndPlacesTheFooterAtTheFoot) {
    const PreparedReport prepared = LayOut(6 + 7 + 1);
    ASSERT_EQ(prepared.pages.size(), 3u);
    EXPECT_EQ(PageTexts(prepared)[1].size(), 2 + 7 * 2);
    const PlacedText& footer = prepared.pages[2].texts[0];
    EXPECT_EQ(footer.text, "- 3 -");
    // From the paper's corner: the left margin, and the foot of the printable area.
    EXPECT_NEAR(footer.rect.left(), 5 * UnitsPerMm, 1e-9);
    EXPECT_NEAR(footer.rect.bottom(), 10 + 100 - 20 + 10, 1e-9);
    const PlacedText& firstRecordOnPage2 = prepared.pages[1].texts[2];
    EXPECT_NEAR(firstRecordOnPage2.rect.top(), 10 + 10, 1e-9) << "below the header";
    const PlacedText& value = prepared.pages[1].texts[3];
    EXPECT_NEAR(value.rect.left(), 5 * UnitsPerMm + 50, 1e-9);
}

TEST_F(ReportLayoutTest, AFooterForTheFirstPageTooTakesItsPlaceThere) {
    report.bands[0].printOnFirstPage = true;
    const std::vector<QStringList> pages = PageTexts(LayOut(5));
    ASSERT_EQ(pages.size(), 2u) << "page 1 now holds 4 records";
    EXPECT_EQ(pages[0].front(), "- 1 -");
    EXPECT_EQ(pages[1].size(), 1 + 1 + 2);
}

TEST_F(ReportLayoutTest, ABandTallerThanAPageStillGoesOnOne) {
    report.bands[1].height = 500;
    // One record a page, never an endless run of empty pages.
    EXPECT_EQ(PageTexts(LayOut(2)), (std::vector<QStringList>{{"Report", "No", "1", "v1=[Value]"},
                                                          {"- 2 -", "No", "2", "v2=[Value]"}}));
}

}  // namespace
