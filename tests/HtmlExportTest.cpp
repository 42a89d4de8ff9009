#include "report/HtmlExport.h"

#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QXmlStreamReader>

#include <map>

namespace {

TEST(HtmlExportTest, TextsBecomeCharacterDataThatIsAlwaysValid) {
    const struct {
        QString text;
        QString html;
    } cases[] = {
        {QStringLiteral("Плотность, кг/м^3"), QStringLiteral("Плотность, кг/м^3")},
        {QStringLiteral("<b>&amp;\"x\"</b>"), QStringLiteral("&lt;b&gt;&amp;amp;&quot;x&quot;&lt;/b&gt;")},
        {QStringLiteral("a\nb"), QStringLiteral("a<br/>b")},
        {QStringLiteral("a\tb"), QStringLiteral("a\tb")},
        {QStringLiteral("a") + QChar(0x01) + QChar(0x7F) + QChar(0x9F) + QStringLiteral("b"), QStringLiteral("ab")},
        {QStringLiteral("a") + QChar(0xFFFE) + QChar(0xFDD0) + QStringLiteral("b"), QStringLiteral("ab")},
        {QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"), QStringLiteral("a") + QChar(0xFFFD) + QStringLiteral("b")},
        {QChar(0xDC00) + QStringLiteral("b"), QChar(0xFFFD) + QStringLiteral("b")},
        {QString::fromUcs4(U"\U0001F600"), QString::fromUcs4(U"\U0001F600")},
    };
    for (const auto& c : cases) {
        const QString html = HtmlText(c.text);
        EXPECT_EQ(html.toStdString(), c.html.toStdString()) << c.text.toStdString();
        EXPECT_EQ(QString::fromUtf8(html.toUtf8()), html) << "valid UTF-8";
    }
}

// The page read as XML: elements with their classes, and the cells' texts.
struct Page {
    std::map<QString, int> elements;  // "td", "td.c1", "div.page break", "td colspan=6"
    QStringList cells;                // each non-empty cell's text, <br/> as a line break
    QString style;
};

Page Read(const QByteArray& html) {
    Page page;
    QXmlStreamReader reader(html);
    QString cell;
    bool inCell = false;
    bool inStyle = false;
    while (!reader.atEnd()) {
        reader.readNext();
        const QString name = reader.name().toString();
        if (reader.isStartElement()) {
            ++page.elements[name];
            if (reader.attributes().hasAttribute(QStringLiteral("class")))
                ++page.elements[name + "." + reader.attributes().value(QStringLiteral("class")).toString()];
            if (reader.attributes().hasAttribute(QStringLiteral("colspan")))
                ++page.elements[name + " colspan=" + reader.attributes().value(QStringLiteral("colspan")).toString()];
            if (name == QLatin1String("td"))
                inCell = true, cell.clear();
            else if (name == QLatin1String("br"))
                cell += QLatin1Char('\n');
            inStyle = name == QLatin1String("style");
        } else if (reader.isCharacters()) {
            if (inCell)
                cell += reader.text();
            if (inStyle)
                page.style += reader.text();
        } else if (reader.isEndElement()) {
            if (name == QLatin1String("td")) {
                inCell = false;
                if (!cell.isEmpty())
                    page.cells << cell;
            }
            inStyle = false;
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return page;
}

TEST(HtmlExportTest, PagesFollowEachOtherAsTablesOfTheLayoutsColumns) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    ASSERT_EQ(report.pages.size(), 3u);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    std::vector<std::pair<int, int>> told;
    ASSERT_EQ(WriteHtml(report, out, [&](int done, int pages) { told.emplace_back(done, pages); }), QString());
    const QString html = QString::fromUtf8(out.data());
    EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<meta charset=\"utf-8\"/>")));

    const Page page = Read(out.data());
    EXPECT_EQ(page.elements.at("div"), 3);
    EXPECT_EQ(page.elements.at("div.page break"), 2) << "a page break after pages 1 and 2";
    EXPECT_EQ(page.elements.at("table"), 3);
    EXPECT_EQ(page.elements.at("col"), 3 * 6);
    EXPECT_EQ(page.elements.at("tr"), 1 + 1 + 110 + 2 * 2);
    EXPECT_EQ(page.elements.at("td colspan=6"), 3) << "the title and two page numbers";
    EXPECT_EQ(page.elements.at("td"), (1 + 110 + 2) * 6 + 3);

    QStringList texts;
    for (const QString& text : TextsInReadingOrder(report))
        if (!text.isEmpty())
            texts << text;
    ASSERT_EQ(page.cells.size(), texts.size());
    for (qsizetype i = 0; i < texts.size(); ++i)
        ASSERT_EQ(page.cells[i].toStdString(), texts[i].toStdString()) << i;

    // The page is the paper's width with its margins; the frames are borders.
    EXPECT_TRUE(page.style.contains(QStringLiteral("width: 793.7px"))) << page.style.toStdString();
    EXPECT_TRUE(page.style.contains(QStringLiteral("padding: 37.8px 18.9px 37.8px 75.59px"))) << page.style.toStdString();
    EXPECT_TRUE(page.style.contains(QStringLiteral("font-weight: bold; text-align: center; vertical-align: middle; "
                                                   "border: 1px solid #000;")))
        << "the header's class";
    EXPECT_TRUE(html.contains(QStringLiteral("<col style=\"width: 60.47px\"/>")));
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
}

}  // namespace
