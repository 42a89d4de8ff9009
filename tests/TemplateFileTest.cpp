#include "report/TemplateFile.h"

#include <gtest/gtest.h>

namespace {

TEST(TemplateFileTest, ReadsPageBandsAndObjects) {
    const TemplateReading reading = ReadReportTemplate(R"({
        "name": "Measurements",
        "page": { "width": 210, "height": 297, "margins": { "left": 20, "top": 10, "right": 5, "bottom": 10 } },
        "bands": [
            { "kind": "ReportTitle", "name": "ReportTitle1", "height": 37.8,
              "objects": [ { "name": "Memo2", "width": 699.2, "height": 26.5,
                             "font": { "family": "Times New Roman", "height": -21, "bold": true },
                             "text": "[Заголовок]" } ] },
            { "kind": "PageFooter", "name": "PageFooter1", "height": 22.7, "printOnFirstPage": false,
              "objects": [ { "name": "Memo1", "top": 3.8, "width": 699.2, "height": 18.9, "frame": false,
                             "centred": false, "text": "- [Page#] -" } ] }
        ] })");
    ASSERT_TRUE(reading.report) << reading.error.toStdString();
    const ReportTemplate& report = *reading.report;
    EXPECT_EQ(report.name, "Measurements");
    EXPECT_DOUBLE_EQ(report.page.PrintableWidth(), 185 * UnitsPerMm);
    EXPECT_DOUBLE_EQ(report.page.PrintableHeight(), 277 * UnitsPerMm);
    ASSERT_EQ(report.bands.size(), 2u);

    const Band& title = report.bands[0];
    EXPECT_EQ(title.kind, BandKind::ReportTitle);
    EXPECT_TRUE(title.printOnFirstPage);
    ASSERT_EQ(title.objects.size(), 1u);
    TextObject memo2;
    memo2.name = "Memo2";
    memo2.width = 699.2;
    memo2.height = 26.5;
    memo2.fontHeight = -21;
    memo2.bold = true;
    memo2.text = QStringLiteral("[Заголовок]");
    EXPECT_EQ(title.objects[0], memo2);

    const Band& footer = report.bands[1];
    EXPECT_EQ(footer.kind, BandKind::PageFooter);
    EXPECT_FALSE(footer.printOnFirstPage);
    EXPECT_DOUBLE_EQ(footer.objects[0].top, 3.8);
    EXPECT_FALSE(footer.objects[0].centred);
    EXPECT_EQ(footer.objects[0].fontFamily, "Times New Roman") << "the default";
    EXPECT_EQ(report.Find(BandKind::PageFooter), &footer);
    EXPECT_EQ(report.Find(BandKind::MasterData), nullptr);
}

TEST(TemplateFileTest, RefusesWhatIsNoTemplateAndSaysWhere) {
    struct Case {
        const char* json;
        const char* error;
    };
    const Case cases[] = {
        {"{", "not JSON"},
        {"[1, 2]", "not a template: the document is no object"},
        {R"({"bands": [{"kind": "Footer", "height": 5}]})", "band 1: unknown band kind \"Footer\""},
        {R"({"bands": [{"kind": "MasterData"}]})", "band 1: \"height\" must be a number"},
        {R"({"bands": [{"kind": "MasterData", "height": 5, "objects": [{"width": 1, "height": 1}]}]})",
         "band 1, object 1: \"text\" must be a text"},
        {R"({"page": {"width": "wide"}})", "page: \"width\" must be a number"},
    };
    for (const Case& c : cases) {
        const TemplateReading reading = ReadReportTemplate(c.json);
        EXPECT_FALSE(reading.report) << c.json;
        EXPECT_TRUE(reading.error.startsWith(QString::fromUtf8(c.error))) << reading.error.toStdString();
    }
}

}  // namespace
