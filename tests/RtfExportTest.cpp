#include "report/RtfExport.h"

#include "app/MessageTable.h"
#include "archive/StringGrid.h"
#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>
#include <vector>

namespace {

// The document as a small RTF reader sees it: the table rows with their cell
// definitions and cell paragraphs, the page breaks (\page, or a break before
// a row's first paragraph) between them, the
// document's own control words. It knows only what a table of texts needs,
// and fails on anything unbalanced or beyond ASCII.
struct RtfCell {
    int right = 0;    // \cellx
    int borders = 0;  // sides with a line
    bool middle = false;
    QStringList format;  // the paragraph's control words: "qc", "b", "fs20"
    QString text;
};

struct RtfRow {
    int page = 0;
    int left = -1;
    int height = -1;
    std::vector<RtfCell> cells;
    int texts = 0;  // cells whose paragraph has ended
    bool apart = false;  // a paragraph of its own before it, which ends the table above
};

struct RtfDocument {
    QString error;
    std::map<QString, int> words;  // outside the rows, the first of each
    std::vector<RtfRow> rows;
    int pages = 1;
};

RtfDocument Read(const QByteArray& rtf) {
    RtfDocument document;
    int depth = 0;
    int borders = 0;
    bool middle = false;
    bool inRow = false;
    bool apart = false;
    QStringList format;
    QString text;
    const auto fail = [&](const QString& why, qsizetype at) {
        if (document.error.isEmpty())
            document.error = QStringLiteral("%1 at %2").arg(why).arg(at);
    };
    const auto word = [&](const QString& name, std::optional<int> parameter, qsizetype at) {
        if (name == QLatin1String("trowd")) {
            document.rows.push_back({document.pages - 1, -1, -1, {}, 0, std::exchange(apart, false)});
            inRow = true;
        } else if (!inRow) {
            if (name == QLatin1String("page"))
                ++document.pages;
            else if (name == QLatin1String("par"))
                apart = true;
            else if (depth == 1)
                document.words.try_emplace(name, parameter.value_or(0));
        } else if (name == QLatin1String("pagebb") && document.rows.back().texts == 0) {
            document.rows.back().page = document.pages++;
        } else if (name == QLatin1String("trleft")) {
            document.rows.back().left = parameter.value_or(-1);
        } else if (name == QLatin1String("trrh")) {
            document.rows.back().height = parameter.value_or(-1);
        } else if (name.startsWith(QLatin1String("clbrdr"))) {
            ++borders;
        } else if (name == QLatin1String("clvertalc")) {
            middle = true;
        } else if (name == QLatin1String("cellx")) {
            document.rows.back().cells.push_back({parameter.value_or(-1), borders, middle, {}, {}});
            borders = 0;
            middle = false;
        } else if (name == QLatin1String("pard")) {
            format.clear();
            text.clear();
        } else if (name == QLatin1String("cell")) {
            RtfRow& row = document.rows.back();
            if (row.texts >= static_cast<int>(row.cells.size()))
                return fail(QStringLiteral("more cells than defined"), at);
            row.cells[row.texts].format = format;
            row.cells[row.texts].text = text;
            ++row.texts;
        } else if (name == QLatin1String("row")) {
            if (document.rows.back().texts != static_cast<int>(document.rows.back().cells.size()))
                fail(QStringLiteral("fewer cells than defined"), at);
            inRow = false;
        } else if (name == QLatin1String("line")) {
            text += QLatin1Char('\n');
        } else if (name == QLatin1String("tab")) {
            text += QLatin1Char('\t');
        } else if (name != QLatin1String("u") && name != QLatin1String("brdrs") && name != QLatin1String("brdrw")) {
            format << name + (parameter ? QString::number(*parameter) : QString());
        }
    };
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            fail(QStringLiteral("not ASCII"), i);
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth < 0)
                fail(QStringLiteral("a group closed that was not opened"), i);
            if (depth == 0 && i + 1 < rtf.size() && rtf.mid(i + 1).trimmed().size() > 0)
                fail(QStringLiteral("text after the document"), i);
        } else if (c == '\\' && i + 1 < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i + 1]))) {
            qsizetype j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j])))
                ++j;
            const QString name = QString::fromLatin1(rtf.mid(i + 1, j - i - 1));
            qsizetype k = j;
            if (k < rtf.size() && rtf[k] == '-')
                ++k;
            while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k])))
                ++k;
            std::optional<int> parameter;
            if (k > j)
                parameter = rtf.mid(j, k - j).toInt();
            if (k < rtf.size() && rtf[k] == ' ')
                ++k;
            if (name == QLatin1String("u") && parameter) {
                text += QChar(static_cast<char16_t>(*parameter & 0xffff));
                ++k;  // the fallback character of \uc1
            }
            word(name, parameter, i);
            i = k - 1;
        } else if (c == '\\' && i + 1 < rtf.size()) {
            const char symbol = rtf[++i];
            if (symbol == '\\' || symbol == '{' || symbol == '}')
                text += QLatin1Char(symbol);
            else
                fail(QStringLiteral("an unknown control symbol"), i);
        } else if (c != '\n' && c != '\r') {
            if (c < 0x20)
                fail(QStringLiteral("a control character"), i);
            text += QLatin1Char(c);
        }
    }
    if (depth != 0)
        fail(QStringLiteral("groups left open"), rtf.size());
    return document;
}

QByteArray Rtf(const PreparedReport& report) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteRtf(report, buffer, [](int, int) {}), QString());
    return buffer.data();
}

QStringList Texts(const RtfRow& row) {
    QStringList texts;
    for (const RtfCell& cell : row.cells)
        texts << cell.text;
    return texts;
}

std::vector<int> Rights(const RtfRow& row) {
    std::vector<int> rights;
    for (const RtfCell& cell : row.cells)
        rights.push_back(cell.right);
    return rights;
}

bool Has(const RtfCell& cell, const char* word) {
    return cell.format.contains(QLatin1String(word));
}

TEST(RtfExportTest, TextsAreEscapedForRtf) {
    struct Case {
        QString text;
        QByteArray rtf;
    };
    const Case cases[] = {
        {QStringLiteral("Плотность"), R"(\u1055?\u1083?\u1086?\u1090?\u1085?\u1086?\u1089?\u1090?\u1100?)"},
        {QStringLiteral("120,5 °C"), R"(120,5 \u176?C)"},
        {QStringLiteral("{}\\"), R"(\{\}\\)"},
        {QStringLiteral("\\par x"), R"(\\par x)"},
        {QStringLiteral("a\tb\nc"), R"(a\tab b\line c)"},
        {QStringLiteral("a\x01\x1f\x7f\rb") + QChar(0x85), "ab"},
        {QStringLiteral("\U0001F600"), R"(\u-10179?\u-8704?)"},
        {QStringLiteral("\uFFFF\u8000"), R"(\u-1?\u-32768?)"},
        {QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("b"), R"(a\u-3?b)"},
        {QChar(0xDE00) + QString(QChar(0xD83D)), R"(\u-3?\u-3?)"},
        {QString(), QByteArray()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RtfText(c.text), c.rtf) << c.text.toStdString();
}

TEST(RtfExportTest, ThePaperAndItsMarginsInTwips) {
    struct Case {
        PageSetup page;
        const char* words;
        bool landscape;
    };
    const Case cases[] = {
        {MeasurementTemplate().page, R"(\paperw11906\paperh16838\margl1134\margr283\margt567\margb567)", false},
        {PageSetup{297, 210, true, 10, 15, 10, 15},
         R"(\paperw16838\paperh11906\margl567\margr567\margt850\margb850)", true},
    };
    const auto grid = MeasurementGrid(3);
    for (const Case& c : cases) {
        const QByteArray rtf = Rtf(PrepareMeasurementReport(*grid, c.page));
        EXPECT_TRUE(rtf.startsWith(R"({\rtf1\ansi\ansicpg1251\deff0)")) << rtf.left(60).toStdString();
        EXPECT_TRUE(rtf.contains(c.words)) << rtf.left(300).toStdString();
        EXPECT_EQ(Read(rtf).words.count(QStringLiteral("landscape")), c.landscape ? 1u : 0u) << c.words;
    }
}

TEST(RtfExportTest, EachPageIsATableOfItsRowsWithABreakBetween) {
    const QByteArray rtf = Rtf(PrepareMeasurementReport(*MeasurementGrid(110)));
    EXPECT_TRUE(rtf.contains(R"({\fonttbl{\f0\fnil\fcharset204 Times New Roman;}})"));
    const RtfDocument document = Read(rtf);
    ASSERT_EQ(document.error, QString());
    ASSERT_EQ(document.pages, 3);
    std::vector<std::size_t> rows(3);
    for (const RtfRow& row : document.rows) {
        ++rows[row.page];
        EXPECT_EQ(row.apart, row.page > 0 && rows[row.page] == 1) << "each page a table of its own";
        EXPECT_EQ(row.left, 0);
        EXPECT_EQ(row.cells.back().right, 10488) << "every row as wide as the table";
    }
    EXPECT_EQ(rows, (std::vector<std::size_t>{1 + 1 + 52, 1 + 53 + 1, 1 + 5 + 1}));

    const RtfRow& title = document.rows[0];
    ASSERT_EQ(title.cells.size(), 1u);
    EXPECT_EQ(title.cells[0].text, MessageText(TextReportTitle));
    EXPECT_EQ(title.cells[0].borders, 0);
    EXPECT_EQ(title.height, 397);
    EXPECT_TRUE(Has(title.cells[0], "b") && Has(title.cells[0], "qc") && Has(title.cells[0], "fs32"));
    EXPECT_TRUE(title.cells[0].middle);

    const std::vector<int> columns{907, 2551, 3685, 6009, 8561, 10488};
    for (std::size_t at : {std::size_t{1}, std::size_t{54}, std::size_t{54 + 55}}) {
        const RtfRow& header = document.rows[at];
        EXPECT_EQ(Rights(header), columns) << at;
        ASSERT_EQ(header.cells.size(), 6u);
        EXPECT_EQ(header.cells[3].text, MessageText(TextDensity));
        for (const RtfCell& cell : header.cells) {
            EXPECT_EQ(cell.borders, 4) << cell.text.toStdString();
            EXPECT_TRUE(Has(cell, "b") && Has(cell, "f0") && Has(cell, "fs20")) << cell.format.join(' ').toStdString();
        }
    }
    const RtfRow& record = document.rows[2];
    EXPECT_EQ(Rights(record), columns);
    EXPECT_EQ(record.height, 283);
    EXPECT_EQ(Texts(record), (QStringList{"110", " 1 янв 2024", "10:20:30 ", "2345,0", "Асфальт", "120,5"}));
    for (const RtfCell& cell : record.cells)
        EXPECT_TRUE(cell.borders == 4 && !Has(cell, "b") && Has(cell, "qc")) << cell.format.join(' ').toStdString();
    EXPECT_EQ(Texts(document.rows.end()[-2]).front(), QStringLiteral("1"));

    for (std::size_t at : {std::size_t{54 + 54}, document.rows.size() - 1}) {
        const RtfRow& footer = document.rows[at];
        ASSERT_EQ(footer.cells.size(), 1u);
        EXPECT_EQ(footer.cells[0].text, QStringLiteral("- %1 -").arg(footer.page + 1));
        EXPECT_EQ(footer.cells[0].borders, 0);
    }
}

// A table that starts inside the margin, with a column one row leaves free
// and texts stacked on one another.
TEST(RtfExportTest, FreeColumnsAreEmptyCellsAndStackedTextsLines) {
    PreparedReport report;
    report.page.leftMm = 25.4;  // 96 units
    TextObject framed;
    framed.frame = true;
    framed.centred = false;
    framed.bold = true;
    framed.fontHeight = 12;
    framed.fontFamily = QStringLiteral("Arial;{x}");
    TextObject plain;
    report.pages.push_back({{
        {framed, QRectF(106, 10, 100, 30), QStringLiteral("{a}\\b")},
        {plain, QRectF(256, 10, 50, 20), QStringLiteral("over")},
        {plain, QRectF(266, 10, 40, 20), QStringLiteral("under")},
        {plain, QRectF(206, 50, 50, 20), QStringLiteral("Я")},
    }});
    const QByteArray rtf = Rtf(report);
    const RtfDocument document = Read(rtf);
    ASSERT_EQ(document.error, QString()) << rtf.toStdString();
    EXPECT_TRUE(rtf.contains(R"({\f0\fnil\fcharset204 Arial\{x\};}{\f1\fnil\fcharset204 Times New Roman;})"));
    ASSERT_EQ(document.rows.size(), 2u);

    const RtfRow& first = document.rows[0];
    EXPECT_EQ(first.left, 150);
    EXPECT_EQ(first.height, 450);
    ASSERT_EQ(Rights(first), (std::vector<int>{1650, 2400, 3150}));
    EXPECT_EQ(Texts(first), (QStringList{"{a}\\b", QString(), "over\nunder"}));
    EXPECT_EQ(first.cells[0].borders, 4);
    EXPECT_FALSE(first.cells[0].middle);
    EXPECT_TRUE(Has(first.cells[0], "ql") && Has(first.cells[0], "b") && Has(first.cells[0], "fs24"));
    EXPECT_EQ(first.cells[1].borders, 0);
    EXPECT_EQ(first.cells[2].borders, 0);
    EXPECT_TRUE(Has(first.cells[2], "f1") && !Has(first.cells[2], "b"));

    const RtfRow& second = document.rows[1];
    EXPECT_EQ(Rights(second), (std::vector<int>{1650, 2400, 3150}));
    EXPECT_EQ(Texts(second), (QStringList{QString(), "Я", QString()}));
}

TEST(RtfExportTest, TellsEachPageDoneAndWhenTheDeviceFails) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    std::vector<std::pair<int, int>> calls;
    EXPECT_EQ(WriteRtf(report, buffer, [&](int done, int pages) { calls.emplace_back(done, pages); }), QString());
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));

    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_NE(WriteRtf(report, readOnly, [](int, int) {}), QString());
}

}  // namespace
