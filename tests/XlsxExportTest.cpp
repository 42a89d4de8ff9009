#include "report/ReportExport.h"
#include "report/XlsxExport.h"

#include "app/MessageTable.h"
#include "archive/StringGrid.h"
#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <zip.h>

#include <locale.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// One file of a zip archive held in memory, or nothing.
QByteArray ZipEntry(const QByteArray& zipped, const char* name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(zipped.constData(), zipped.size(), 0, &error);
    if (!source)
        return {};
    const std::unique_ptr<zip_t, decltype(&zip_discard)> archive(zip_open_from_source(source, ZIP_RDONLY, &error),
                                                                 zip_discard);
    if (!archive) {
        zip_source_free(source);
        return {};
    }
    zip_stat_t stat;
    if (zip_stat(archive.get(), name, 0, &stat) != 0)
        return {};
    const std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(zip_fopen(archive.get(), name, 0), zip_fclose);
    if (!file)
        return {};
    QByteArray bytes(static_cast<qsizetype>(stat.size), '\0');
    if (zip_fread(file.get(), bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
        return {};
    return bytes;
}

// A cell's look as Excel resolves it through styles.xml.
struct Style {
    QString numberFormat;
    bool bold = false;
    double size = 0;
    QString font;
    bool framed = false;  // a thin line on all four sides
    QString horizontal;
    QString vertical;
    bool wrap = false;
};

struct Cell {
    QString text;  // a string's text, or a number's value as written
    bool number = false;
    Style style;
};

// What the tests read back out of a workbook.
struct Sheet {
    std::map<QString, Cell> cells;  // by reference, "A1"
    QStringList merges;
    std::map<int, double> widths;   // of column 0, 1, ...
    std::map<int, double> heights;  // of row 1, 2, ...
    std::vector<int> breaks;        // the rows each page break follows
    std::map<QString, QString> pageSetup;
    std::map<QString, QString> margins;
    QByteArray xml;  // the worksheet as it is
    QByteArray core; // the document's properties

    // The cell, or an empty one.
    Cell At(const QString& ref) const {
        const auto found = cells.find(ref);
        return found == cells.end() ? Cell{} : found->second;
    }
};

std::map<QString, QString> Attributes(const QXmlStreamReader& xml) {
    std::map<QString, QString> attributes;
    for (const QXmlStreamAttribute& a : xml.attributes())
        attributes[a.name().toString()] = a.value().toString();
    return attributes;
}

std::vector<Style> Styles(const QByteArray& stylesXml) {
    std::map<int, QString> numberFormats{{0, "General"}, {1, "0"}, {2, "0.00"}};
    struct Font {
        bool bold = false;
        double size = 0;
        QString name;
    };
    std::vector<Font> fonts;
    std::vector<bool> borders;
    std::vector<Style> styles;
    QString section;
    int thinSides = 0;
    QXmlStreamReader xml(stylesXml);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == "fonts" || name == "borders" || name == "cellXfs" || name == "cellStyleXfs" || name == "cellStyles")
            section = name;
        else if (name == "numFmt")
            numberFormats[a.value("numFmtId").toInt()] = a.value("formatCode").toString();
        else if (section == "fonts" && name == "font")
            fonts.emplace_back();
        else if (section == "fonts" && name == "b")
            fonts.back().bold = true;
        else if (section == "fonts" && name == "sz")
            fonts.back().size = a.value("val").toDouble();
        else if (section == "fonts" && name == "name")
            fonts.back().name = a.value("val").toString();
        else if (section == "borders" && name == "border") {
            thinSides = 0;
            borders.push_back(false);
        } else if (section == "borders" && (name == "left" || name == "right" || name == "top" || name == "bottom")) {
            if (a.value("style") == QLatin1String("thin"))
                borders.back() = ++thinSides == 4;
        }
        else if (section == "cellXfs" && name == "xf") {
            Style style;
            style.numberFormat = numberFormats[a.value("numFmtId").toInt()];
            const Font& font = fonts.at(a.value("fontId").toInt());
            style.bold = font.bold;
            style.size = font.size;
            style.font = font.name;
            style.framed = borders.at(a.value("borderId").toInt());
            styles.push_back(style);
        } else if (section == "cellXfs" && name == "alignment") {
            styles.back().horizontal = a.value("horizontal").toString();
            styles.back().vertical = a.value("vertical").toString();
            styles.back().wrap = a.value("wrapText") == QLatin1String("1");
        }
    }
    return styles;
}

Sheet Read(const QByteArray& workbook) {
    Sheet sheet;
    sheet.xml = ZipEntry(workbook, "xl/worksheets/sheet1.xml");
    sheet.core = ZipEntry(workbook, "docProps/core.xml");
    const std::vector<Style> styles = Styles(ZipEntry(workbook, "xl/styles.xml"));

    QStringList strings;
    QXmlStreamReader shared(ZipEntry(workbook, "xl/sharedStrings.xml"));
    while (!shared.atEnd())
        if (shared.readNext() == QXmlStreamReader::StartElement && shared.name() == QLatin1String("t"))
            strings << shared.readElementText();

    QXmlStreamReader xml(sheet.xml);
    QString ref;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        const std::map<QString, QString> a = Attributes(xml);
        const auto value = [&](const char* key) {
            const auto found = a.find(QString::fromLatin1(key));
            return found == a.end() ? QString() : found->second;
        };
        if (name == "col")
            for (int c = value("min").toInt(); c <= value("max").toInt(); ++c)
                sheet.widths[c - 1] = value("width").toDouble();
        else if (name == "row" && !value("ht").isEmpty())
            sheet.heights[value("r").toInt()] = value("ht").toDouble();
        else if (name == "c") {
            ref = value("r");
            Cell& cell = sheet.cells[ref];
            const int s = value("s").toInt();
            cell.style = s < static_cast<int>(styles.size()) ? styles[s] : Style{};
            cell.number = value("t").isEmpty();
        } else if (name == "v") {
            Cell& cell = sheet.cells[ref];
            const QString v = xml.readElementText();
            cell.text = cell.number ? v : strings.value(v.toInt());
        } else if (name == "mergeCell")
            sheet.merges << value("ref");
        else if (name == "brk")
            sheet.breaks.push_back(value("id").toInt());
        else if (name == "pageSetup")
            sheet.pageSetup = a;
        else if (name == "pageMargins")
            sheet.margins = a;
    }
    return sheet;
}

struct Export {
    QString failure;
    QByteArray bytes;
    std::vector<std::pair<int, int>> progress;
};

Export Xlsx(const PreparedReport& report) {
    Export result;
    QBuffer out(&result.bytes);
    out.open(QIODevice::WriteOnly);
    result.failure = WriteXlsx(report, out, [&](int done, int pages) { result.progress.emplace_back(done, pages); });
    return result;
}

TEST(XlsxExportTest, EveryTextInItsCellWithNumbersAsNumbersAndTheLayoutsLook) {
    const Export xlsx = Xlsx(PrepareMeasurementReport(*MeasurementGrid(2)));
    ASSERT_EQ(xlsx.failure, QString());
    const Sheet sheet = Read(xlsx.bytes);
    ASSERT_FALSE(sheet.xml.isEmpty());

    struct Expected {
        const char* ref;
        QString text;
        bool number;
        const char* numberFormat;
        bool bold;
        bool framed;
    };
    const Expected cases[] = {
        {"A1", MessageText(TextReportTitle), false, "General", true, false},
        {"A2", QStringLiteral("№"), false, "General", true, true},
        {"D2", MessageText(TextDensity), false, "General", true, true},
        {"A3", QStringLiteral("2"), true, "0", false, true},
        {"B3", QStringLiteral(" 1 янв 2024"), false, "General", false, true},
        {"C3", QStringLiteral("10:20:30 "), false, "General", false, true},
        {"D3", QStringLiteral("2345"), true, "0.0", false, true},
        {"E3", QStringLiteral("Асфальт"), false, "General", false, true},
        {"F3", QStringLiteral("120.5"), true, "0.0", false, true},
        {"A4", QStringLiteral("1"), true, "0", false, true},
        {"D4", QStringLiteral("2345.1"), true, "0.0", false, true},
    };
    for (const Expected& c : cases) {
        const Cell cell = sheet.At(QString::fromLatin1(c.ref));
        EXPECT_EQ(cell.text, c.text) << c.ref;
        EXPECT_EQ(cell.number, c.number) << c.ref;
        EXPECT_EQ(cell.style.numberFormat, QString::fromLatin1(c.numberFormat)) << c.ref;
        EXPECT_EQ(cell.style.bold, c.bold) << c.ref;
        EXPECT_EQ(cell.style.framed, c.framed) << c.ref;
        EXPECT_EQ(cell.style.font, QStringLiteral("Times New Roman")) << c.ref;
        EXPECT_EQ(cell.style.horizontal, QStringLiteral("center")) << c.ref;
        EXPECT_EQ(cell.style.vertical, QStringLiteral("center")) << c.ref;
    }
    EXPECT_EQ(sheet.cells.count(QStringLiteral("A5")), 0u) << "nothing after the last record";
    // -21 and -13 pixels at 96 dpi.
    EXPECT_DOUBLE_EQ(sheet.At(QStringLiteral("A1")).style.size, 15.75);
    EXPECT_DOUBLE_EQ(sheet.At(QStringLiteral("A3")).style.size, 9.75);
    EXPECT_EQ(sheet.merges, QStringList{QStringLiteral("A1:F1")}) << "the title over all columns";

    // Excel's width in characters, 7 pixels each, comes back to the column's
    // width in pixels: 16, 29, 20, 41, 45 and 34 mm.
    const double pixels[] = {60.47, 109.61, 75.59, 154.96, 170.08, 128.50};
    ASSERT_EQ(sheet.widths.size(), std::size(pixels));
    double total = 0;
    for (std::size_t c = 0; c < std::size(pixels); ++c) {
        const double width = std::round(sheet.widths.at(static_cast<int>(c)) * 7);
        EXPECT_NEAR(width, pixels[c], 1.0) << "column " << c;
        total += width;
    }
    // The table fills the printable width; a pixel more and Excel prints the
    // last column on pages of its own.
    EXPECT_LE(total, MeasurementTemplate().page.PrintableWidth());
    EXPECT_NEAR(sheet.heights.at(1), 26.46 * 0.75, 0.01);
    EXPECT_NEAR(sheet.heights.at(3), 18.90 * 0.75, 0.01);

    EXPECT_EQ(sheet.pageSetup.at(QStringLiteral("paperSize")), QStringLiteral("9"));
    EXPECT_EQ(sheet.pageSetup.at(QStringLiteral("orientation")), QStringLiteral("portrait"));
    EXPECT_NEAR(sheet.margins.at(QStringLiteral("left")).toDouble(), 20 / 25.4, 1e-4);
    EXPECT_NEAR(sheet.margins.at(QStringLiteral("right")).toDouble(), 5 / 25.4, 1e-4);
    EXPECT_NEAR(sheet.margins.at(QStringLiteral("top")).toDouble(), 10 / 25.4, 1e-4);
    EXPECT_FALSE(sheet.xml.contains("headerFooter")) << "no header or footer of Excel's own";
}

TEST(XlsxExportTest, PagesFollowEachOtherWithABreakBeforeEachAndTheirNumbersBelow) {
    const Export xlsx = Xlsx(PrepareMeasurementReport(*MeasurementGrid(110)));
    ASSERT_EQ(xlsx.failure, QString());
    EXPECT_EQ(xlsx.progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    const Sheet sheet = Read(xlsx.bytes);
    ASSERT_EQ(sheet.breaks.size(), 2u) << sheet.xml.right(600).toStdString();

    const auto row = [](int r) { return QString::number(r); };
    const QString heading = QStringLiteral("№");
    for (const int brk : sheet.breaks) {
        // The break falls between row brk and row brk + 1 (both from 1): a
        // page's footer above it, the next page's header below.
        EXPECT_EQ(sheet.At(QStringLiteral("A") + row(brk + 1)).text, heading) << brk;
        EXPECT_FALSE(sheet.At(QStringLiteral("A") + row(brk)).text.isEmpty()) << brk;
    }
    const int last = sheet.heights.rbegin()->first;
    const QString footers[] = {sheet.At(QStringLiteral("A") + row(sheet.breaks[1])).text,
                               sheet.At(QStringLiteral("A") + row(last)).text};
    EXPECT_EQ(footers[0], QStringLiteral("- 2 -"));
    EXPECT_EQ(footers[1], QStringLiteral("- 3 -"));
    EXPECT_FALSE(sheet.At(QStringLiteral("A") + row(last)).number) << "a page number is a text";
    EXPECT_TRUE(sheet.merges.contains(QStringLiteral("A%1:F%1").arg(last)));
    EXPECT_TRUE(sheet.merges.contains(QStringLiteral("A%1:F%1").arg(sheet.breaks[1])));
    EXPECT_FALSE(sheet.At(QStringLiteral("A") + row(sheet.breaks[0])).text.startsWith(QLatin1Char('-')))
        << "the first page has no footer";
}

// Texts the measurement report has none of: framed but empty, a number over
// two columns, and two texts stacked in one cell.
TEST(XlsxExportTest, BlankFramesNumbersOverColumnsAndStackedTextsKeepTheirLook) {
    TextObject framed;
    framed.frame = true;
    framed.fontHeight = 12;  // points
    TextObject left = framed;
    left.centred = false;
    left.frame = false;
    PreparedReport report;
    report.pages.push_back({{
        {framed, QRectF(0, 0, 50, 20), QString()},
        {framed, QRectF(50, 0, 50, 20), QStringLiteral("x")},
        {framed, QRectF(100, 0, 50, 20), QStringLiteral("y")},
        {framed, QRectF(0, 20, 100, 20), QStringLiteral("-12,50")},
        {left, QRectF(100, 20, 50, 10), QStringLiteral("над")},
        {left, QRectF(110, 20, 40, 10), QStringLiteral("под")},
        {left, QRectF(0, 40, 150, 0), QStringLiteral("007")},
    }});
    const Export xlsx = Xlsx(report);
    ASSERT_EQ(xlsx.failure, QString());
    const Sheet sheet = Read(xlsx.bytes);

    const Cell blank = sheet.At(QStringLiteral("A1"));
    EXPECT_TRUE(sheet.cells.count(QStringLiteral("A1"))) << "an empty frame keeps its lines";
    EXPECT_TRUE(blank.style.framed);
    EXPECT_EQ(blank.text, QString());
    EXPECT_DOUBLE_EQ(blank.style.size, 12);

    EXPECT_TRUE(sheet.merges.contains(QStringLiteral("A2:B2")));
    const Cell number = sheet.At(QStringLiteral("A2"));
    EXPECT_TRUE(number.number);
    EXPECT_EQ(number.text, QStringLiteral("-12.5"));
    EXPECT_EQ(number.style.numberFormat, QStringLiteral("0.00"));
    EXPECT_TRUE(number.style.framed);
    EXPECT_TRUE(sheet.At(QStringLiteral("B2")).style.framed) << "the merged range framed all round";

    const Cell stacked = sheet.At(QStringLiteral("C2"));
    EXPECT_EQ(stacked.text, QStringLiteral("над\nпод"));
    EXPECT_TRUE(stacked.style.wrap);
    EXPECT_EQ(stacked.style.horizontal, QStringLiteral("left"));
    EXPECT_EQ(stacked.style.vertical, QStringLiteral("top"));
    EXPECT_FALSE(sheet.At(QStringLiteral("B1")).style.wrap);

    EXPECT_EQ(sheet.At(QStringLiteral("A3")).text, QStringLiteral("007"));
    EXPECT_FALSE(sheet.At(QStringLiteral("A3")).number);
    EXPECT_FALSE(sheet.xml.contains("hidden=")) << "a row of zero height stays visible";
}

TEST(XlsxExportTest, PaperAndOrientationFromThePage) {
    struct Case {
        double widthMm;
        double heightMm;
        bool landscape;
        const char* paperSize;
    };
    const Case cases[] = {
        {297, 210, true, "9"},       // A4 lying
        {148, 210, false, "11"},     // A5
        {215.9, 279.4, false, "1"},  // Letter
        {200, 280, false, "9"},      // no paper of its own: the smallest that holds it
        {500, 700, false, "8"},      // larger than any: the largest
    };
    for (const Case& c : cases) {
        PageSetup page = MeasurementTemplate().page;
        page.widthMm = c.widthMm;
        page.heightMm = c.heightMm;
        page.landscape = c.landscape;
        const Export xlsx = Xlsx(PrepareMeasurementReport(*MeasurementGrid(1), page));
        ASSERT_EQ(xlsx.failure, QString());
        const Sheet sheet = Read(xlsx.bytes);
        EXPECT_EQ(sheet.pageSetup.at(QStringLiteral("paperSize")), QString::fromLatin1(c.paperSize)) << c.widthMm;
        EXPECT_EQ(sheet.pageSetup.at(QStringLiteral("orientation")),
                  c.landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"))
            << c.widthMm;
    }
}

TEST(XlsxExportTest, TheSameReportMakesTheSameBytesAtAnyTime) {
    QTemporaryDir folder;
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(60));
    QByteArray files[2];
    for (int i = 0; i < 2; ++i) {
        const QString path = folder.filePath(QStringLiteral("report%1.xlsx").arg(i));
        ASSERT_TRUE(ExportReport(*ExportFormatFor(path), report, path).Ok());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        files[i] = file.readAll();
    }
    ASSERT_FALSE(files[0].isEmpty());
    EXPECT_EQ(files[0], files[1]);
    // Two exports in one second would match even with the time of day in them.
    const QByteArray core = Read(files[0]).core;
    ASSERT_TRUE(core.contains("dcterms:created"));
    EXPECT_FALSE(core.contains(QDate::currentDate().toString(Qt::ISODate).toLatin1())) << core.toStdString();
}

// The application runs in its user's locale; in many of them printf writes a
// decimal comma.
TEST(XlsxExportTest, NumbersInTheFileKeepTheDecimalPointUnderADecimalCommaLocale) {
    locale_t comma = static_cast<locale_t>(nullptr);
    for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if ((comma = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr))) != static_cast<locale_t>(nullptr))
            break;
    if (comma == static_cast<locale_t>(nullptr))
        GTEST_SKIP() << "no locale with a decimal comma here";
    const std::unique_ptr<std::remove_pointer_t<locale_t>, decltype(&freelocale)> owned(comma, freelocale);
    const locale_t before = uselocale(comma);
    const Export xlsx = Xlsx(PrepareMeasurementReport(*MeasurementGrid(2)));
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
    uselocale(before);
    ASSERT_EQ(QByteArray(printed), QByteArray("0,5")) << "the locale has its comma";
    ASSERT_EQ(xlsx.failure, QString());

    const Sheet sheet = Read(xlsx.bytes);
    EXPECT_EQ(sheet.At(QStringLiteral("F3")).text, QStringLiteral("120.5"));
    EXPECT_NEAR(sheet.widths.at(0) * 7, 60.47, 1.0);
    EXPECT_NEAR(sheet.margins.at(QStringLiteral("left")).toDouble(), 20 / 25.4, 1e-4);
    EXPECT_EQ(sheet.At(QStringLiteral("A3")).style.size, 9.75);
}

TEST(XlsxExportTest, ATextTooLongForACellFailsTheExportWithAReason) {
    PreparedReport report;
    report.pages.push_back({{{TextObject{}, QRectF(0, 0, 100, 20), QString(40000, QLatin1Char('x'))}}});
    const Export xlsx = Xlsx(report);
    EXPECT_NE(xlsx.failure, QString());
    EXPECT_TRUE(xlsx.bytes.isEmpty());
}

}  // namespace
