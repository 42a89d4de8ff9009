#include "report/HtmlExport.h"

#include "app/MessageTable.h"
#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <utility>
#include <vector>

namespace {

// The page as an XML reader sees it: the markup is well-formed XML, so a
// reader that knows no HTML checks every element is closed and every text
// escaped, and gives back the texts as a browser shows them.
struct HtmlCell {
    QString style;  // its class
    int colspan = 1;
    QString text;  // <br/> read back as '\n'
};

struct HtmlRow {
    QString style;
    std::vector<HtmlCell> cells;
};

struct HtmlPage {
    QString style;  // its class
    int tables = 0;
    QString tableStyle;  // the class of its table
    QStringList columns;  // widths
    std::vector<HtmlRow> rows;
};

struct HtmlDocument {
    QString error;
    QString lang;
    QString title;
    QString css;
    std::vector<HtmlPage> pages;
};

HtmlDocument Read(const QByteArray& html) {
    HtmlDocument document;
    QXmlStreamReader xml(html);
    HtmlCell* cell = nullptr;
    QString* text = nullptr;  // where character data goes
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const auto attribute = [&](const char* name) { return xml.attributes().value(QLatin1String(name)).toString(); };
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == u"html") {
                document.lang = attribute("lang");
            } else if (name == u"title") {
                text = &document.title;
            } else if (name == u"style") {
                text = &document.css;
            } else if (name == u"div") {
                document.pages.push_back({attribute("class"), 0, {}, {}, {}});
            } else if (name == u"table" && !document.pages.empty()) {
                ++document.pages.back().tables;
                document.pages.back().tableStyle = attribute("class");
            } else if (name == u"col" && !document.pages.empty()) {
                document.pages.back().columns << attribute("width") + QLatin1Char(' ') + attribute("style");
            } else if (name == u"tr" && !document.pages.empty()) {
                document.pages.back().rows.push_back({attribute("style"), {}});
            } else if (name == u"td" && !document.pages.empty() && !document.pages.back().rows.empty()) {
                const QString span = attribute("colspan");
                auto& cells = document.pages.back().rows.back().cells;
                cells.push_back({attribute("class"), span.isEmpty() ? 1 : span.toInt(), {}});
                cell = &cells.back();
                text = &cell->text;
            } else if (name == u"br" && cell) {
                cell->text += QLatin1Char('\n');
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() != u"br") {
                text = nullptr;
                cell = nullptr;
            }
        } else if (token == QXmlStreamReader::Characters && text) {
            *text += xml.text();
        }
    }
    if (xml.hasError())
        document.error = QStringLiteral("%1 at line %2").arg(xml.errorString()).arg(xml.lineNumber());
    return document;
}

// The declarations of a class in the style block.
QString Rule(const QString& css, const QString& selector) {
    const QRegularExpression rule(QRegularExpression::escape(selector) + QStringLiteral(R"(\s*\{([^}]*)\})"));
    return rule.match(css).captured(1);
}

QByteArray Html(const PreparedReport& report) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteHtml(report, buffer, [](int, int) {}), QString());
    return buffer.data();
}

TEST(HtmlExportTest, TextsAreEscapedForHtml) {
    struct Case {
        QString text;
        QString html;
    };
    const Case cases[] = {
        {QStringLiteral("Плотность, кг/м^3 °C"), QStringLiteral("Плотность, кг/м^3 °C")},
        {QStringLiteral("<&>\"'"), QStringLiteral("&lt;&amp;&gt;&quot;'")},
        {QStringLiteral("&amp;"), QStringLiteral("&amp;amp;")},
        {QStringLiteral("a\nb\n"), QStringLiteral("a<br/>b<br/>")},
        {QStringLiteral("a\tb"), QStringLiteral("a\tb")},
        {QStringLiteral("a\x01\x1f\x7f\rb"), QStringLiteral("ab")},
        {QStringLiteral("a") + QChar(0x85) + QChar(0x9f) + QStringLiteral("b"), QStringLiteral("ab")},
        {QStringLiteral("a\uFFFE\uFDD0b"), QStringLiteral("ab")},
        {QStringLiteral("\U0001F600 \U0010FFFF"), QStringLiteral("\U0001F600 ")},
        {QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("b"), QStringLiteral("a\uFFFDb")},
        {QStringLiteral("a") + QChar(0xDE00) + QChar(0xD83D), QStringLiteral("a\uFFFD\uFFFD")},
        {QString(), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HtmlText(c.text), c.html) << c.text.toStdString();
}

TEST(HtmlExportTest, EachPageIsATableOfItsRowsWithABreakAfterAllButTheLast) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    const QByteArray html = Html(report);
    ASSERT_TRUE(html.startsWith("<!DOCTYPE html>\n"));
    ASSERT_TRUE(html.contains("<meta charset=\"utf-8\"/>"));
    const HtmlDocument document = Read(html);
    ASSERT_EQ(document.error, QString());
    EXPECT_EQ(document.lang, QStringLiteral("ru"));
    EXPECT_EQ(document.title, MessageText(TextReportTitle));

    // A4 with the template's margins of 10, 5, 10 and 20 mm.
    const QString page = Rule(document.css, QStringLiteral(".page"));
    EXPECT_TRUE(page.contains(QStringLiteral("width: 793.7px"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("padding: 37.8px 18.9px 37.8px 75.59px"))) << page.toStdString();
    EXPECT_TRUE(Rule(document.css, QStringLiteral(".break")).contains(QStringLiteral("break-after: page")));
    EXPECT_TRUE(Rule(document.css, QStringLiteral("table")).contains(QStringLiteral("border-collapse: collapse")));
    EXPECT_TRUE(Rule(document.css, QStringLiteral("table")).contains(QStringLiteral("table-layout: fixed")));

    ASSERT_EQ(document.pages.size(), 3u);
    const std::pair<QString, std::size_t> pages[] = {
        {QStringLiteral("page break"), 1 + 1 + 52},  // title, header, records
        {QStringLiteral("page break"), 1 + 53 + 1},  // header, records, footer
        {QStringLiteral("page"), 1 + 5 + 1},
    };
    for (std::size_t p = 0; p < 3; ++p) {
        const HtmlPage& on = document.pages[p];
        EXPECT_EQ(on.style, pages[p].first) << p;
        EXPECT_EQ(on.tables, 1) << p;
        EXPECT_EQ(on.tableStyle, p < 2 ? QStringLiteral("break") : QString()) << p;
        EXPECT_EQ(on.columns, (QStringList{"60 width: 60.47px", "110 width: 109.61px", "76 width: 75.59px",
                                           "155 width: 154.96px", "170 width: 170.08px", "129 width: 128.5px"}))
            << p;
        ASSERT_EQ(on.rows.size(), pages[p].second) << p;
        for (const HtmlRow& row : on.rows) {
            int columns = 0;
            for (const HtmlCell& cell : row.cells)
                columns += cell.colspan;
            EXPECT_EQ(columns, 6) << "every row fills the table, page " << p;
        }
    }

    const auto look = [&](const HtmlCell& cell) { return Rule(document.css, QLatin1Char('.') + cell.style); };
    const HtmlRow& title = document.pages[0].rows[0];
    ASSERT_EQ(title.cells.size(), 1u);
    EXPECT_EQ(title.cells[0].colspan, 6);
    EXPECT_EQ(title.cells[0].text, MessageText(TextReportTitle));
    EXPECT_TRUE(look(title.cells[0]).contains(QStringLiteral("font-weight: bold")));
    EXPECT_TRUE(look(title.cells[0]).contains(QStringLiteral("font-size: 21px")));
    EXPECT_TRUE(look(title.cells[0]).contains(QStringLiteral("text-align: center; vertical-align: middle")));
    EXPECT_FALSE(look(title.cells[0]).contains(QStringLiteral("border")));
    EXPECT_EQ(title.style, QStringLiteral("height: 26.46px"));

    for (const HtmlPage& on : document.pages) {
        const HtmlRow& header = on.rows[&on == &document.pages[0] ? 1 : 0];  // below the title
        ASSERT_EQ(header.cells.size(), 6u);
        EXPECT_EQ(header.cells[3].text, MessageText(TextDensity));
        for (const HtmlCell& cell : header.cells) {
            EXPECT_TRUE(look(cell).contains(QStringLiteral("font-weight: bold"))) << cell.text.toStdString();
            EXPECT_TRUE(look(cell).contains(QStringLiteral("border: 1px solid #000")));
            EXPECT_TRUE(look(cell).contains(QStringLiteral("font-family: \"Times New Roman\"; font-size: 13px")));
        }
    }
    const HtmlRow& record = document.pages[0].rows[2];
    QStringList texts;
    for (const HtmlCell& cell : record.cells) {
        texts << cell.text;
        EXPECT_TRUE(look(cell).contains(QStringLiteral("border: 1px solid #000")));
        EXPECT_FALSE(look(cell).contains(QStringLiteral("bold")));
    }
    EXPECT_EQ(texts, (QStringList{"110", " 1 янв 2024", "10:20:30 ", "2345,0", "Асфальт", "120,5"}));
    EXPECT_EQ(record.style, QStringLiteral("height: 18.9px"));
    EXPECT_EQ(document.pages[2].rows[5].cells[0].text, QStringLiteral("1"));

    for (int p : {1, 2}) {
        const HtmlRow& footer = document.pages[p].rows.back();
        ASSERT_EQ(footer.cells.size(), 1u);
        EXPECT_EQ(footer.cells[0].colspan, 6);
        EXPECT_EQ(footer.cells[0].text, QStringLiteral("- %1 -").arg(p + 1));
        EXPECT_FALSE(look(footer.cells[0]).contains(QStringLiteral("border")));
    }
    // One class per look, not a style per cell.
    EXPECT_FALSE(html.contains("<td style"));
    EXPECT_EQ(document.css.count(QRegularExpression(QStringLiteral(R"(\.c\d+ \{)"))), 4);
}

// Texts that would break the markup, in cells that leave columns free.
TEST(HtmlExportTest, HostileTextsStayTextsAndTheUtf8StaysValid) {
    PreparedReport report;
    TextObject framed;
    framed.frame = true;
    framed.centred = false;
    framed.fontFamily = QStringLiteral("Evil\" </style><b>");
    TextObject plain;
    const QString lone = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y");
    report.pages.push_back({{
        {framed, QRectF(10, 10, 100, 20), QStringLiteral("</td></tr></table><script>&nbsp;")},
        {plain, QRectF(110, 10, 50, 20), QStringLiteral("\x02two\nlines\x0b")},
        {plain, QRectF(110, 40, 50, 20), lone},
        {plain, QRectF(160, 40, 50, 20), QStringLiteral("\U0001F600")},
    }});
    report.pages.push_back({{{framed, QRectF(160, 10, 50, 20), QStringLiteral("\"quoted\"")}}});

    const QByteArray html = Html(report);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(html);
    EXPECT_FALSE(utf8.hasError());
    const HtmlDocument document = Read(html);
    ASSERT_EQ(document.error, QString()) << html.toStdString();
    EXPECT_EQ(document.title, QStringLiteral("</td></tr></table><script>&nbsp;"));
    ASSERT_EQ(document.pages.size(), 2u);
    ASSERT_EQ(document.pages[0].rows.size(), 2u);
    ASSERT_EQ(document.pages[1].rows.size(), 1u);
    const auto texts = [](const HtmlRow& row) {
        QStringList texts;
        for (const HtmlCell& cell : row.cells)
            texts << cell.text;
        return texts;
    };
    EXPECT_EQ(texts(document.pages[0].rows[0]),
              (QStringList{"</td></tr></table><script>&nbsp;", "two\nlines", QString()}));
    EXPECT_EQ(texts(document.pages[0].rows[1]), (QStringList{QString(), "x\uFFFDy", "\U0001F600"}));
    EXPECT_EQ(texts(document.pages[1].rows[0]), (QStringList{QString(), QString(), "\"quoted\""}));
    EXPECT_EQ(document.pages[0].columns, (QStringList{"100 width: 100px", "50 width: 50px", "50 width: 50px"}));
    // The table starts at the texts' first edge, 10 units into the page.
    EXPECT_TRUE(html.contains("<table class=\"break\" style=\"width: 200px; margin-left: 10px\">"));

    const QString framedLook = Rule(document.css, QLatin1Char('.') + document.pages[0].rows[0].cells[0].style);
    EXPECT_TRUE(framedLook.contains(QStringLiteral("border: 1px solid #000")));
    EXPECT_FALSE(framedLook.contains(QStringLiteral("text-align: center")));
    EXPECT_FALSE(Rule(document.css, QLatin1Char('.') + document.pages[0].rows[0].cells[1].style).contains(u"border"));
}

TEST(HtmlExportTest, TellsEachPageDoneAndWhenTheDeviceFails) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    std::vector<std::pair<int, int>> calls;
    EXPECT_EQ(WriteHtml(report, buffer, [&](int done, int pages) { calls.emplace_back(done, pages); }), QString());
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_NE(WriteHtml(report, readOnly, [](int, int) {}), QString());
}

TEST(HtmlExportTest, AnEmptyReportIsStillADocument) {
    const HtmlDocument document = Read(Html(PreparedReport{}));
    EXPECT_EQ(document.error, QString());
    EXPECT_EQ(document.title, QStringLiteral("Отчёт"));
    EXPECT_TRUE(document.pages.empty());
}

}  // namespace
