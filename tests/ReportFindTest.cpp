#include "report/ReportFind.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Pages of placed texts with just these words.
PreparedReport Pages(const std::vector<std::vector<const char*>>& words) {
    PreparedReport report;
    for (const auto& page : words) {
        PreparedPage& prepared = report.pages.emplace_back();
        for (const char* word : page)
            prepared.texts.push_back({TextObject{}, QRectF(), QString::fromUtf8(word)});
    }
    return report;
}

TEST(ReportFindTest, FindsTextsForwardAndBackwardFromWhereItStands) {
    const PreparedReport report = Pages({{"Плотность", "12"}, {"- 2 -", "1200", "Щебень"}, {"- 3 -", "120"}});
    struct Case {
        const char* what;
        bool matchCase;
        std::optional<FoundText> from;
        bool forward;
        std::optional<FoundText> found;
    };
    const Case cases[] = {
        {"12", false, std::nullopt, true, FoundText{0, 1}},
        {"12", false, FoundText{0, 1}, true, FoundText{1, 1}},
        {"12", false, FoundText{1, 1}, true, FoundText{2, 1}},
        {"12", false, FoundText{2, 1}, true, std::nullopt},
        {"12", false, std::nullopt, false, FoundText{2, 1}},
        {"12", false, FoundText{2, 1}, false, FoundText{1, 1}},
        {"12", false, FoundText{0, 1}, false, std::nullopt},
        {"щебень", false, std::nullopt, true, FoundText{1, 2}},
        {"щебень", true, std::nullopt, true, std::nullopt},
        {"Щебень", true, std::nullopt, true, FoundText{1, 2}},
        {"", false, std::nullopt, true, std::nullopt},
        {"absent", false, std::nullopt, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (c.forward ? " forward" : " backward"));
        EXPECT_EQ(FindInReport(report, QString::fromUtf8(c.what), c.matchCase, c.from, c.forward), c.found);
    }
}

}  // namespace
