#include "report/OpenDocumentExport.h"

#include "report/NumberText.h"
#include "report/ReportTable.h"

#include "output/MeasurementReport.h"
#include "support/ReportFixtures.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QXmlStreamReader>

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <iterator>
#include <map>
#include <ostream>
#include <memory>
#include <set>
#include <utility>
#include <vector>

// Failures show the texts rather than their bytes.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// ---- The package as a reader finds it ----

struct PackageEntry {
    QString name;
    int method = 0;  // ZIP_CM_STORE, ZIP_CM_DEFLATE
    std::time_t modified = 0;
    QByteArray bytes;
};

struct ArchiveClose {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct FileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// The entries in the order the package holds them; nothing when it is not a zip.
std::vector<PackageEntry> Unzip(const QByteArray& package) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(package.constData(), package.size(), 0, &error);
    std::unique_ptr<zip_t, ArchiveClose> archive(source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr);
    zip_error_fini(&error);
    if (!archive) {
        if (source)
            zip_source_free(source);
        return {};
    }
    std::vector<PackageEntry> entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive.get(), 0); ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), i, 0, &stat) < 0)
            return {};
        PackageEntry entry{QString::fromUtf8(stat.name), stat.comp_method, stat.mtime, QByteArray(stat.size, Qt::Uninitialized)};
        std::unique_ptr<zip_file_t, FileClose> file(zip_fopen_index(archive.get(), i, 0));
        if (!file || zip_fread(file.get(), entry.bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
            return {};
        entries.push_back(std::move(entry));
    }
    return entries;
}

QByteArray EntryBytes(const std::vector<PackageEntry>& entries, const char* name) {
    for (const PackageEntry& entry : entries)
        if (entry.name == QLatin1String(name))
            return entry.bytes;
    return {};
}

// ---- Its XML as a tree ----

struct Node {
    QString name;  // qualified, "table:table-cell"; empty for a piece of text
    std::map<QString, QString> attributes;
    std::vector<Node> children;
    QString text;

    QString Attribute(const char* attribute) const {
        const auto at = attributes.find(QLatin1String(attribute));
        return at == attributes.end() ? QString() : at->second;
    }
    std::vector<const Node*> Children(const char* element) const {
        std::vector<const Node*> found;
        for (const Node& child : children)
            if (child.name == QLatin1String(element))
                found.push_back(&child);
        return found;
    }
    // Every element of the name below this one, in document order.
    void FindAll(const char* element, std::vector<const Node*>& found) const {
        for (const Node& child : children) {
            if (child.name == QLatin1String(element))
                found.push_back(&child);
            child.FindAll(element, found);
        }
    }
    std::vector<const Node*> All(const char* element) const {
        std::vector<const Node*> found;
        FindAll(element, found);
        return found;
    }
};

// The document element, or why the bytes are not well-formed XML.
std::pair<Node, QString> ParseXml(const QByteArray& bytes) {
    QXmlStreamReader reader(bytes);
    Node document;
    std::vector<Node*> open{&document};
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            Node element{reader.qualifiedName().toString(), {}, {}, {}};
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                element.attributes[attribute.qualifiedName().toString()] = attribute.value().toString();
            open.back()->children.push_back(std::move(element));
            open.push_back(&open.back()->children.back());
            break;
        }
        case QXmlStreamReader::EndElement:
            open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            open.back()->children.push_back({{}, {}, {}, reader.text().toString()});
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return {{}, reader.errorString()};
    if (document.children.size() != 1)
        return {{}, QStringLiteral("no document element")};
    return {std::move(document.children.front()), {}};
}

// A paragraph's text as an OpenDocument reader takes it: a blank after a
// blank or at the paragraph's start is dropped, text:s counts its blanks.
QString ParagraphText(const Node& paragraph) {
    QString text;
    bool blankMayGo = true;
    for (const Node& piece : paragraph.children) {
        if (piece.name.isEmpty()) {
            for (QChar c : piece.text) {
                const bool blank = c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
                if (blank && blankMayGo)
                    continue;
                text += blank ? QChar(QLatin1Char(' ')) : c;
                blankMayGo = blank;
            }
            continue;
        }
        if (piece.name == QLatin1String("text:s"))
            text += QString(piece.Attribute("text:c").isEmpty() ? 1 : piece.Attribute("text:c").toInt(), QLatin1Char(' '));
        else if (piece.name == QLatin1String("text:tab"))
            text += QLatin1Char('\t');
        else if (piece.name == QLatin1String("text:line-break"))
            text += QLatin1Char('\n');
        else
            text += ParagraphText(piece);
        blankMayGo = false;
    }
    return text;
}

QString CellText(const Node& cell) {
    QStringList paragraphs;
    for (const Node* paragraph : cell.Children("text:p"))
        paragraphs << ParagraphText(*paragraph);
    return paragraphs.join(QLatin1Char('\n'));
}

// The automatic styles by name, each with its own attributes and those of its
// properties, as "style:family" or "fo:border".
std::map<QString, std::map<QString, QString>> AutomaticStyles(const Node& root) {
    std::map<QString, std::map<QString, QString>> styles;
    for (const Node* list : root.Children("office:automatic-styles"))
        for (const Node& style : list->children) {
            auto& properties = styles[style.Attribute("style:name")];
            properties = style.attributes;
            std::vector<const Node*> parts;
            for (const Node& part : style.children) {
                parts.push_back(&part);
                for (const Node& inner : part.children)
                    parts.push_back(&inner);
            }
            for (const Node* part : parts)
                properties.insert(part->attributes.begin(), part->attributes.end());
        }
    return styles;
}

// A table row's cells where they stand, with the columns covered by spans.
struct ReadCell {
    int column = 0;
    int span = 1;
    QString text;
    QString style;
    QString type;   // office:value-type
    QString value;  // office:value
};
struct ReadRow {
    QString style;
    std::vector<ReadCell> cells;  // those with a style: the report's cells
    std::set<int> covered;
    int columns = 0;
};

std::vector<ReadRow> Rows(const Node& table) {
    std::vector<ReadRow> rows;
    for (const Node* row : table.All("table:table-row")) {
        ReadRow read{row->Attribute("table:style-name"), {}, {}, 0};
        for (const Node& cell : row->children) {
            const QString repeated = cell.Attribute("table:number-columns-repeated");
            const int count = repeated.isEmpty() ? 1 : repeated.toInt();
            if (cell.name == QLatin1String("table:covered-table-cell")) {
                for (int i = 0; i < count; ++i)
                    read.covered.insert(read.columns + i);
            } else if (cell.name == QLatin1String("table:table-cell") && !cell.Attribute("table:style-name").isEmpty()) {
                const QString span = cell.Attribute("table:number-columns-spanned");
                read.cells.push_back({read.columns, span.isEmpty() ? 1 : span.toInt(), CellText(cell),
                                      cell.Attribute("table:style-name"), cell.Attribute("office:value-type"),
                                      cell.Attribute("office:value")});
            }
            read.columns += count;
        }
        rows.push_back(std::move(read));
    }
    return rows;
}

// A length as "1.6000cm", in centimetres; NaN for another unit.
double Centimetres(const QString& length) {
    return length.endsWith(QLatin1String("cm")) ? length.chopped(2).toDouble() : std::nan("");
}

double Centimetres(double units) {
    return units * 2.54 / 96;
}

// ---- The exports ----

struct Export {
    QByteArray package;
    QString failure;
    std::vector<std::pair<int, int>> progress;
};

Export Written(ReportWriter write, const PreparedReport& report) {
    Export result;
    QBuffer buffer(&result.package);
    buffer.open(QIODevice::WriteOnly);
    result.failure = write(report, buffer, [&](int done, int pages) { result.progress.emplace_back(done, pages); });
    return result;
}

struct Format {
    const char* name;
    ReportWriter write;
    const char* mimetype;
};
const Format Formats[] = {
    {"ods", WriteOds, "application/vnd.oasis.opendocument.spreadsheet"},
    {"odt", WriteOdt, "application/vnd.oasis.opendocument.text"},
};

// The content of a package that must have been written, parsed.
Node Content(const Export& written) {
    EXPECT_EQ(written.failure, QString());
    const auto [content, error] = ParseXml(EntryBytes(Unzip(written.package), "content.xml"));
    EXPECT_EQ(error, QString());
    return content;
}

TEST(OpenDocumentExportTest, PackagesStartWithTheirTypeStoredAndComeOutTheSameEachTime) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    ASSERT_EQ(report.pages.size(), 3u);
    for (const Format& format : Formats) {
        SCOPED_TRACE(format.name);
        const Export written = Written(format.write, report);
        ASSERT_EQ(written.failure, QString());
        // Readers that sniff the type find it right after the first local header.
        EXPECT_EQ(written.package.mid(30, 8 + qstrlen(format.mimetype)), QByteArray("mimetype") + format.mimetype);

        const std::vector<PackageEntry> entries = Unzip(written.package);
        ASSERT_EQ(entries.size(), 5u);
        EXPECT_EQ(entries[0].name, QStringLiteral("mimetype"));
        EXPECT_EQ(entries[0].method, ZIP_CM_STORE);
        EXPECT_EQ(entries[0].bytes, QByteArray(format.mimetype));
        std::set<QString> names;
        // Not the clock's time: that would make each export differ from the last.
        EXPECT_GT(std::abs(std::difftime(std::time(nullptr), entries[0].modified)), 24 * 3600.0);
        for (std::size_t i = 1; i < entries.size(); ++i) {
            names.insert(entries[i].name);
            EXPECT_EQ(entries[i].modified, entries[0].modified);
            EXPECT_EQ(entries[i].method, ZIP_CM_DEFLATE) << entries[i].name.toStdString();
            EXPECT_EQ(ParseXml(entries[i].bytes).second, QString()) << entries[i].name.toStdString();
        }
        EXPECT_EQ(names, (std::set<QString>{"META-INF/manifest.xml", "content.xml", "styles.xml", "meta.xml"}));

        const Node manifest = ParseXml(EntryBytes(entries, "META-INF/manifest.xml")).first;
        std::map<QString, QString> types;
        for (const Node* entry : manifest.All("manifest:file-entry"))
            types[entry->Attribute("manifest:full-path")] = entry->Attribute("manifest:media-type");
        EXPECT_EQ(types[QStringLiteral("/")], QString::fromLatin1(format.mimetype));
        EXPECT_EQ(types.count(QStringLiteral("content.xml")), 1u);

        const Node styles = ParseXml(EntryBytes(entries, "styles.xml")).first;
        const std::vector<const Node*> defaults = styles.All("style:default-style");
        ASSERT_EQ(defaults.size(), 1u);
        EXPECT_EQ(defaults[0]->All("style:text-properties").at(0)->Attribute("fo:language"), QStringLiteral("en"));

        EXPECT_EQ(written.progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
        EXPECT_EQ(Written(format.write, report).package, written.package) << "the same bytes for the same report";
    }
}

TEST(OpenDocumentExportTest, PagesTakeTheReportsPaperOrientationAndMargins) {
    PageSetup landscape{297, 210, true, 15, 12, 10, 8};
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(3), landscape);
    for (const Format& format : Formats) {
        SCOPED_TRACE(format.name);
        const Node styles = ParseXml(EntryBytes(Unzip(Written(format.write, report).package), "styles.xml")).first;
        const std::vector<const Node*> masters = styles.All("style:master-page");
        ASSERT_EQ(masters.size(), 1u);
        const auto layout = AutomaticStyles(styles)[masters[0]->Attribute("style:page-layout-name")];
        const std::map<QString, QString> expected{
            {"fo:page-width", "297.00mm"}, {"fo:page-height", "210.00mm"}, {"style:print-orientation", "landscape"},
            {"fo:margin-left", "15.00mm"}, {"fo:margin-top", "12.00mm"},   {"fo:margin-right", "10.00mm"},
            {"fo:margin-bottom", "8.00mm"},
        };
        for (const auto& [property, value] : expected)
            EXPECT_EQ(layout.count(property) ? layout.at(property) : QString(), value) << property.toStdString();
    }
}

// Columns as a reader lays them out: the report's table, cell by cell.
void ExpectRowsHoldTheTable(const std::vector<ReadRow>& rows, const ReportTable& table,
                            std::size_t first, std::size_t end) {
    ASSERT_EQ(rows.size(), end - first);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TableRow& expected = table.rows[first + r];
        const ReadRow& row = rows[r];
        SCOPED_TRACE(testing::Message() << "row " << first + r);
        EXPECT_EQ(row.columns, table.Columns());
        ASSERT_EQ(row.cells.size(), expected.cells.size());
        std::set<int> covered;
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            EXPECT_EQ(row.cells[c].text, expected.cells[c].text);
            EXPECT_EQ(row.cells[c].column, expected.cells[c].column);
            EXPECT_EQ(row.cells[c].span, expected.cells[c].span);
            for (int i = 1; i < expected.cells[c].span; ++i)
                covered.insert(expected.cells[c].column + i);
        }
        EXPECT_EQ(row.covered, covered);
    }
}

TEST(OpenDocumentExportTest, SheetHoldsEveryCellInOrderWithNumbersAsNumbersAndPageBreaks) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    const ReportTable table = TableOf(report);
    const Node content = Content(Written(WriteOds, report));
    const std::vector<const Node*> sheets = content.All("table:table");
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0]->Attribute("table:name"), QStringLiteral("Отчёт"));
    const std::vector<ReadRow> rows = Rows(*sheets[0]);
    ExpectRowsHoldTheTable(rows, table, 0, table.rows.size());
    ASSERT_EQ(rows.size(), table.rows.size());

    auto styles = AutomaticStyles(content);
    const std::vector<const Node*> columns = sheets[0]->Children("table:table-column");
    ASSERT_EQ(static_cast<int>(columns.size()), table.Columns());
    EXPECT_NEAR(Centimetres(styles[columns[0]->Attribute("table:style-name")]["style:column-width"]), 1.6, 1e-3);

    int numbers = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const bool startsPage = table.rows[r].page > 0 && table.rows[r - 1].page != table.rows[r].page;
        auto& rowStyle = styles[rows[r].style];
        EXPECT_EQ(rowStyle["fo:break-before"] == QLatin1String("page"), startsPage) << "row " << r;
        EXPECT_NEAR(Centimetres(rowStyle["style:row-height"]), Centimetres(table.rows[r].height), 1e-3);
        for (const ReadCell& cell : rows[r].cells) {
            const std::optional<NumberText> number = ParseNumberText(cell.text);
            auto& style = styles[cell.style];
            if (!number) {
                EXPECT_NE(cell.type, QStringLiteral("float")) << cell.text.toStdString();
                continue;
            }
            ++numbers;
            EXPECT_EQ(cell.type, QStringLiteral("float")) << cell.text.toStdString();
            EXPECT_DOUBLE_EQ(cell.value.toDouble(), number->value) << cell.text.toStdString();
            EXPECT_EQ(styles[style["style:data-style-name"]]["number:decimal-places"], QString::number(number->decimals))
                << cell.text.toStdString();
        }
    }
    EXPECT_EQ(numbers, 110 * 3) << "number, density and temperature of every record";
    const auto pageStarts = std::count_if(rows.begin(), rows.end(),
                                          [&](const ReadRow& row) { return styles[row.style]["fo:break-before"] == "page"; });
    EXPECT_EQ(pageStarts, 2);
}

TEST(OpenDocumentExportTest, CellsLookAsTheirTextObjects) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(60));
    const Export sheet = Written(WriteOds, report);
    const Export document = Written(WriteOdt, report);
    struct Case {
        int row;  // of the table: the title, the head, a record, the page number
        bool bold;
        bool frame;
        const char* size;
        int span;
    };
    const Case cases[] = {
        {0, true, false, "15.75pt", 6},
        {1, true, true, "9.75pt", 1},
        {2, false, true, "9.75pt", 1},
        {-1, false, false, "9.75pt", 6},
    };
    const Node sheetContent = Content(sheet);
    const std::vector<ReadRow> sheetRows = Rows(*sheetContent.All("table:table").at(0));
    auto sheetStyles = AutomaticStyles(sheetContent);
    const Node documentContent = Content(document);
    auto documentStyles = AutomaticStyles(documentContent);
    std::vector<ReadRow> documentRows;
    for (const Node* table : documentContent.All("table:table"))
        for (ReadRow& row : Rows(*table))
            documentRows.push_back(std::move(row));
    ASSERT_EQ(documentRows.size(), sheetRows.size());

    for (const Case& c : cases) {
        const std::size_t row = c.row < 0 ? sheetRows.size() + c.row : c.row;
        SCOPED_TRACE(testing::Message() << "row " << row);
        const ReadCell& cell = sheetRows[row].cells.at(0);
        EXPECT_EQ(cell.span, c.span);
        auto& style = sheetStyles[cell.style];
        EXPECT_EQ(style["fo:font-weight"] == QLatin1String("bold"), c.bold);
        EXPECT_EQ(style["fo:border"], c.frame ? QStringLiteral("0.5pt solid #000000") : QString());
        EXPECT_EQ(style["fo:font-size"], QString::fromLatin1(c.size));
        EXPECT_EQ(style["style:font-name"], QStringLiteral("Times New Roman"));
        EXPECT_EQ(style["fo:text-align"], QStringLiteral("center"));
        EXPECT_EQ(style["style:vertical-align"], QStringLiteral("middle"));

        // The document keeps the border on the cell and the font on its paragraph.
        const ReadCell& documentCell = documentRows[row].cells.at(0);
        EXPECT_EQ(documentCell.span, c.span);
        EXPECT_EQ(documentStyles[documentCell.style]["fo:border"], c.frame ? QStringLiteral("0.5pt solid #000000") : QStringLiteral("none"));
        EXPECT_EQ(documentStyles[documentCell.style]["style:vertical-align"], QStringLiteral("middle"));
    }
    for (const Node* paragraph : documentContent.All("text:p")) {
        auto& style = documentStyles[paragraph->Attribute("text:style-name")];
        if (ParagraphText(*paragraph) == QStringLiteral("№")) {
            EXPECT_EQ(style["fo:font-weight"], QStringLiteral("bold"));
            EXPECT_EQ(style["fo:font-size"], QStringLiteral("9.75pt"));
            EXPECT_EQ(style["fo:text-align"], QStringLiteral("center"));
        }
    }
}

TEST(OpenDocumentExportTest, DocumentHasOneTablePerPageEachAfterAPageBreak) {
    const PreparedReport report = PrepareMeasurementReport(*MeasurementGrid(110));
    const ReportTable table = TableOf(report);
    const Export written = Written(WriteOdt, report);
    const Node content = Content(written);
    auto styles = AutomaticStyles(content);
    const std::vector<const Node*> tables = content.All("table:table");
    ASSERT_EQ(tables.size(), report.pages.size());
    std::size_t first = 0;
    for (std::size_t page = 0; page < tables.size(); ++page) {
        SCOPED_TRACE(testing::Message() << "page " << page + 1);
        std::size_t end = first;
        while (end < table.rows.size() && table.rows[end].page == static_cast<int>(page))
            ++end;
        const std::vector<ReadRow> rows = Rows(*tables[page]);
        ExpectRowsHoldTheTable(rows, table, first, end);
        for (std::size_t r = 0; r < rows.size() && first + r < end; ++r)
            EXPECT_NEAR(Centimetres(styles[rows[r].style]["style:min-row-height"]), Centimetres(table.rows[first + r].height), 1e-3);
        first = end;

        auto& tableStyle = styles[tables[page]->Attribute("table:style-name")];
        EXPECT_EQ(tableStyle["fo:break-before"] == QLatin1String("page"), page > 0);
        EXPECT_NEAR(Centimetres(tableStyle["style:width"]), 18.5, 1e-3) << "the printable width";
        const std::vector<const Node*> columns = tables[page]->Children("table:table-column");
        ASSERT_EQ(static_cast<int>(columns.size()), table.Columns());
        EXPECT_NEAR(Centimetres(styles[columns[5]->Attribute("table:style-name")]["style:column-width"]), 3.4, 1e-3);
    }
}

// A report of one text per row, the texts as the cases give them.
PreparedReport OneTextPerRow(const std::vector<QString>& texts) {
    PreparedReport report;
    report.pages.emplace_back();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        TextObject style;
        style.frame = true;
        report.pages[0].texts.push_back({style, QRectF(75, 40 + 20.0 * i, 200, 20), texts[i]});
    }
    return report;
}

TEST(OpenDocumentExportTest, AwkwardTextsEndAsValidXmlWithTheirPrintableCharactersKept) {
    struct Case {
        QString text;
        QString read;         // what a reader gets back
        const char* value;    // the spreadsheet's number, or nullptr for a text
    };
    const Case cases[] = {
        {QStringLiteral("<&> \"quoted\" 'single'"), QStringLiteral("<&> \"quoted\" 'single'"), nullptr},
        {QStringLiteral("Отчёт № 5, °C"), QStringLiteral("Отчёт № 5, °C"), nullptr},
        {QString::fromUtf8("bell\x07, escape\x1b, nul") + QChar(0) + QStringLiteral("end"), QStringLiteral("bell, escape, nulend"), nullptr},
        {QStringLiteral("not a char ") + QChar(0xFFFF) + QChar(0xFFFE) + QChar(0xD800) + QStringLiteral("!"), QStringLiteral("not a char !"), nullptr},
        {QStringLiteral("pair ") + QChar(0xD83D) + QChar(0xDE00), QStringLiteral("pair ") + QChar(0xD83D) + QChar(0xDE00), nullptr},
        {QStringLiteral("  two  blanks, three   "), QStringLiteral("  two  blanks, three   "), nullptr},
        {QStringLiteral("tab\there"), QStringLiteral("tab\there"), nullptr},
        {QStringLiteral("stacked\nlines\r\nand\rmore"), QStringLiteral("stacked\nlines\nand\nmore"), nullptr},
        {QStringLiteral(" \n x"), QStringLiteral(" \n x"), nullptr},
        {QStringLiteral("-0,25"), QStringLiteral("-0,25"), "-0.25"},
        {QStringLiteral("2345,68"), QStringLiteral("2345,68"), "2345.68"},
        {QStringLiteral("007"), QStringLiteral("007"), nullptr},
        {QString(), QString(), nullptr},  // an empty framed text: the cell keeps its border
    };
    std::vector<QString> texts;
    for (const Case& c : cases)
        texts.push_back(c.text);
    const PreparedReport report = OneTextPerRow(texts);

    for (const Format& format : Formats) {
        SCOPED_TRACE(format.name);
        const Node content = Content(Written(format.write, report));
        auto styles = AutomaticStyles(content);
        const std::vector<ReadRow> rows = Rows(*content.All("table:table").at(0));
        ASSERT_EQ(rows.size(), std::size(cases));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE(c.text.toStdString());
            ASSERT_EQ(rows[i].cells.size(), 1u);
            const ReadCell& cell = rows[i].cells[0];
            EXPECT_EQ(cell.text, c.read);
            EXPECT_EQ(styles[cell.style]["fo:border"], QStringLiteral("0.5pt solid #000000"));
            if (format.write == WriteOds) {
                EXPECT_EQ(cell.type, c.value ? QStringLiteral("float") : c.text.isEmpty() ? QString() : QStringLiteral("string"));
                EXPECT_EQ(cell.value, c.value ? QString::fromLatin1(c.value) : QString());
            }
        }
    }
}

}  // namespace
