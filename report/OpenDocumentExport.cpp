#include "report/OpenDocumentExport.h"

#include "report/NumberText.h"
#include "report/ReportTable.h"

#include <QIODevice>
#include <QStringList>
#include <QXmlStreamWriter>

#include <zip.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

// ---- The package: a zip whose first entry names the document's type ----

struct ArchiveDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct SourceFree {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using Archive = std::unique_ptr<zip_t, ArchiveDiscard>;
using Source = std::unique_ptr<zip_source_t, SourceFree>;

struct Entry {
    const char* name;
    QByteArray bytes;  // handed to libzip as they are; they live until the package is closed
};

QString ZipFailure(const char* step, zip_error_t* error) {
    return QStringLiteral("the OpenDocument package cannot be made (%1: %2)")
        .arg(QLatin1String(step), QString::fromLocal8Bit(zip_error_strerror(error)));
}

QString ZipFailure(const char* step, zip_t* archive) {
    return ZipFailure(step, zip_get_error(archive));
}

// The entries' time, the same for every export so that one report always
// gives the same bytes. A zip keeps local date and time fields, which libzip
// fills from a time_t through the local time zone; made from the local time,
// the fields read 1 January 2000, 00:00 wherever the export runs.
std::time_t EntryTime() {
    std::tm fields{};
    fields.tm_year = 2000 - 1900;
    fields.tm_mon = 0;
    fields.tm_mday = 1;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

// The package in memory, then into out. The mimetype entry comes first and
// stored, so that its text stands at a fixed place of the file, where
// readers look for the document's type; the rest is deflated.
QString WritePackage(QIODevice& out, const QByteArray& mimetype, const std::vector<Entry>& entries) {
    zip_error_t error;
    zip_error_init(&error);
    const Source buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer) {
        const QString failure = ZipFailure("buffer", &error);
        zip_error_fini(&error);
        return failure;
    }
    Archive archive(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error));
    if (!archive) {
        const QString failure = ZipFailure("open", &error);
        zip_error_fini(&error);
        return failure;
    }
    zip_error_fini(&error);
    // The archive took the buffer's reference; ours keeps the bytes readable
    // after the archive has been closed.
    zip_source_keep(buffer.get());

    const std::time_t time = EntryTime();
    const auto add = [&](const char* name, const QByteArray& bytes, zip_int32_t method) -> QString {
        zip_source_t* source = zip_source_buffer(archive.get(), bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
        if (!source)
            return ZipFailure(name, archive.get());
        const zip_int64_t index = zip_file_add(archive.get(), name, source, 0);
        if (index < 0) {
            zip_source_free(source);
            return ZipFailure(name, archive.get());
        }
        const auto at = static_cast<zip_uint64_t>(index);
        if (zip_set_file_compression(archive.get(), at, method, 0) < 0 || zip_file_set_mtime(archive.get(), at, time, 0) < 0)
            return ZipFailure(name, archive.get());
        return {};
    };
    QString failure = add("mimetype", mimetype, ZIP_CM_STORE);
    for (auto entry = entries.begin(); failure.isEmpty() && entry != entries.end(); ++entry)
        failure = add(entry->name, entry->bytes, ZIP_CM_DEFLATE);
    if (!failure.isEmpty())
        return failure;
    if (zip_close(archive.get()) < 0)
        return ZipFailure("close", archive.get());
    archive.release();  // zip_close has freed it

    zip_stat_t stat;
    if (zip_source_stat(buffer.get(), &stat) < 0 || !(stat.valid & ZIP_STAT_SIZE))
        return ZipFailure("size", zip_source_error(buffer.get()));
    QByteArray package(static_cast<qsizetype>(stat.size), Qt::Uninitialized);
    if (zip_source_open(buffer.get()) < 0)
        return ZipFailure("read", zip_source_error(buffer.get()));
    const zip_int64_t read = zip_source_read(buffer.get(), package.data(), stat.size);
    zip_source_close(buffer.get());
    if (read != static_cast<zip_int64_t>(stat.size))
        return ZipFailure("read", zip_source_error(buffer.get()));
    if (out.write(package) != package.size())
        return out.errorString();
    return {};
}

// ---- XML ----

// What XML 1.0 allows of a text: no control characters but tab, line feed
// and carriage return, no U+FFFE or U+FFFF, no surrogate without its pair.
QString XmlSafe(const QString& text) {
    QString safe;
    safe.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            safe += c;
            safe += text[++i];
            continue;
        }
        const char16_t u = c.unicode();
        if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF || (u < 0x20 && u != '\t' && u != '\n' && u != '\r'))
            continue;
        safe += c;
    }
    return safe;
}

// QXmlStreamWriter with the document's qualified names written as they are:
// every prefix is declared once on the root.
class Xml {
public:
    Xml() : writer_(&bytes_) {}

    void Start(const char* name) { writer_.writeStartElement(QLatin1String(name)); }
    void Attribute(const char* name, const QString& value) { writer_.writeAttribute(QLatin1String(name), value); }
    void Attribute(const char* name, const char* value) { Attribute(name, QString::fromUtf8(value)); }
    void End() { writer_.writeEndElement(); }
    void Characters(const QString& text) { writer_.writeCharacters(text); }

    void StartDocument(const char* root) {
        writer_.writeStartDocument();
        Start(root);
        static const char* const namespaces[][2] = {
            {"xmlns:office", "urn:oasis:names:tc:opendocument:xmlns:office:1.0"},
            {"xmlns:style", "urn:oasis:names:tc:opendocument:xmlns:style:1.0"},
            {"xmlns:text", "urn:oasis:names:tc:opendocument:xmlns:text:1.0"},
            {"xmlns:table", "urn:oasis:names:tc:opendocument:xmlns:table:1.0"},
            {"xmlns:number", "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"},
            {"xmlns:fo", "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"},
            {"xmlns:svg", "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"},
            {"xmlns:meta", "urn:oasis:names:tc:opendocument:xmlns:meta:1.0"},
        };
        for (const auto& [prefix, uri] : namespaces)
            Attribute(prefix, uri);
        Attribute("office:version", "1.2");
    }

    QByteArray Finish() {
        writer_.writeEndDocument();
        return std::move(bytes_);
    }

private:
    QByteArray bytes_;
    QXmlStreamWriter writer_;
};

// A paragraph's text as OpenDocument keeps it: a reader collapses runs of
// blanks and drops the ones a line starts with, so those go as text:s; tabs
// and line breaks (texts stacked in one cell) as their elements.
void ParagraphText(Xml& xml, const QString& text) {
    const QString safe = XmlSafe(text);
    QString run;
    bool afterCharacter = false;  // a single blank here is kept as it is
    const auto flush = [&] {
        if (!run.isEmpty())
            xml.Characters(run);
        run.clear();
    };
    for (qsizetype i = 0; i < safe.size(); ++i) {
        const QChar c = safe[i];
        if (c == QLatin1Char(' ')) {
            qsizetype blanks = 1;
            while (i + blanks < safe.size() && safe[i + blanks] == QLatin1Char(' '))
                ++blanks;
            i += blanks - 1;
            if (afterCharacter) {
                run += c;
                --blanks;
            }
            if (blanks > 0) {
                flush();
                xml.Start("text:s");
                if (blanks > 1)
                    xml.Attribute("text:c", QString::number(blanks));
                xml.End();
            }
            afterCharacter = false;
        } else if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < safe.size() && safe[i + 1] == QLatin1Char('\n'))
                ++i;
            flush();
            xml.Start(c == QLatin1Char('\t') ? "text:tab" : "text:line-break");
            xml.End();
            afterCharacter = false;
        } else {
            run += c;
            afterCharacter = true;
        }
    }
    flush();
}

void Paragraph(Xml& xml, const QString& text, const QString& style = {}) {
    xml.Start("text:p");
    if (!style.isEmpty())
        xml.Attribute("text:style-name", style);
    ParagraphText(xml, text);
    xml.End();
}

// The lines of a text, broken at line feeds, carriage returns or both.
QStringList Lines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

// ---- Lengths ----

QString Cm(double units) {
    return QString::number(units * 2.54 / 96, 'f', 4) + QStringLiteral("cm");
}

QString Mm(double mm) {
    return QString::number(mm, 'f', 2) + QStringLiteral("mm");
}

// A template's font height: negative is pixels at 96 dpi, positive is points.
QString FontSize(int height) {
    const double points = height < 0 ? -height * 72.0 / 96.0 : height;
    return QString::number(std::max(1.0, points), 'g', 6) + QStringLiteral("pt");
}

// ---- Styles ----

// How a cell looks: its text object's font, frame and alignment, and for a
// spreadsheet's number the decimals it shows (-1: not a number).
struct Look {
    QString family;
    int fontHeight = 0;
    bool bold = false;
    bool frame = false;
    bool centred = false;
    int decimals = -1;

    bool operator<(const Look& other) const {
        return std::tie(family, fontHeight, bold, frame, centred, decimals) <
               std::tie(other.family, other.fontHeight, other.bold, other.frame, other.centred, other.decimals);
    }
};

Look LookOf(const TableCell& cell, int decimals) {
    const TextObject& style = *cell.style;
    return {XmlSafe(style.fontFamily), style.fontHeight, style.bold, style.frame, style.centred, decimals};
}

// Style names for the keys, numbered in the order the keys first come.
template <typename Key>
class StyleNames {
public:
    explicit StyleNames(QString prefix) : prefix_(std::move(prefix)) {}

    QString operator()(const Key& key) {
        auto [at, added] = numbers_.try_emplace(key, static_cast<int>(keys_.size()) + 1);
        if (added)
            keys_.push_back(key);
        return Name(at->second - 1);
    }
    const std::vector<Key>& Keys() const { return keys_; }
    QString Name(std::size_t index) const { return prefix_ + QString::number(index + 1); }

private:
    QString prefix_;
    std::map<Key, int> numbers_;
    std::vector<Key> keys_;
};

using RowLook = std::pair<long, bool>;  // height in hundredths of a unit, a page break before

RowLook RowLookOf(const TableRow& row, bool breakBefore) {
    return {std::lround(row.height * 100), breakBefore};
}

void FontFaces(Xml& xml, const std::vector<Look>& looks) {
    std::vector<QString> families;
    for (const Look& look : looks)
        families.push_back(look.family);
    std::sort(families.begin(), families.end());
    families.erase(std::unique(families.begin(), families.end()), families.end());
    xml.Start("office:font-face-decls");
    for (const QString& family : families) {
        xml.Start("style:font-face");
        xml.Attribute("style:name", family);
        xml.Attribute("svg:font-family", QLatin1Char('\'') + family + QLatin1Char('\''));
        xml.End();
    }
    xml.End();
}

void TextProperties(Xml& xml, const Look& look) {
    xml.Start("style:text-properties");
    xml.Attribute("style:font-name", look.family);
    xml.Attribute("fo:font-size", FontSize(look.fontHeight));
    if (look.bold)
        xml.Attribute("fo:font-weight", "bold");
    xml.End();
}

// The frame a text object draws, a single thin line on all four sides.
constexpr const char* FrameLine = "0.5pt solid #000000";

void ColumnStyles(Xml& xml, const ReportTable& table) {
    for (int column = 0; column < table.Columns(); ++column) {
        xml.Start("style:style");
        xml.Attribute("style:name", QStringLiteral("co%1").arg(column + 1));
        xml.Attribute("style:family", "table-column");
        xml.Start("style:table-column-properties");
        xml.Attribute("style:column-width", Cm(table.ColumnWidth(column)));
        xml.End();
        xml.End();
    }
}

void TableColumns(Xml& xml, const ReportTable& table) {
    for (int column = 0; column < table.Columns(); ++column) {
        xml.Start("table:table-column");
        xml.Attribute("table:style-name", QStringLiteral("co%1").arg(column + 1));
        xml.End();
    }
    if (table.Columns() == 0) {  // a table holds one column at least
        xml.Start("table:table-column");
        xml.End();
    }
}

// The columns a cell covers beyond its first.
void CoveredCells(Xml& xml, int count) {
    for (int i = 0; i < count; ++i) {
        xml.Start("table:covered-table-cell");
        xml.End();
    }
}

void Spanned(Xml& xml, const TableCell& cell) {
    if (cell.span > 1)
        xml.Attribute("table:number-columns-spanned", QString::number(cell.span));
}

QByteArray Manifest(const char* mimetype) {
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("manifest:manifest"));
    writer.writeAttribute(QStringLiteral("xmlns:manifest"), QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"));
    writer.writeAttribute(QStringLiteral("manifest:version"), QStringLiteral("1.2"));
    const auto entry = [&](const char* path, const char* type) {
        writer.writeStartElement(QStringLiteral("manifest:file-entry"));
        writer.writeAttribute(QStringLiteral("manifest:full-path"), QString::fromLatin1(path));
        if (path == std::string_view("/"))
            writer.writeAttribute(QStringLiteral("manifest:version"), QStringLiteral("1.2"));
        writer.writeAttribute(QStringLiteral("manifest:media-type"), QString::fromLatin1(type));
        writer.writeEndElement();
    };
    entry("/", mimetype);
    entry("content.xml", "text/xml");
    entry("styles.xml", "text/xml");
    entry("meta.xml", "text/xml");
    writer.writeEndDocument();
    return bytes;
}

// No dates: the same report gives the same file.
QByteArray Meta() {
    Xml xml;
    xml.StartDocument("office:document-meta");
    xml.Start("office:meta");
    xml.Start("meta:generator");
    xml.Characters(QStringLiteral("vel"));
    xml.End();
    xml.End();
    return xml.Finish();
}

void PageLayout(Xml& xml, const PageSetup& page) {
    xml.Start("style:page-layout");
    xml.Attribute("style:name", "pm1");
    xml.Start("style:page-layout-properties");
    xml.Attribute("fo:page-width", Mm(page.widthMm));
    xml.Attribute("fo:page-height", Mm(page.heightMm));
    xml.Attribute("style:print-orientation", page.landscape ? "landscape" : "portrait");
    xml.Attribute("fo:margin-left", Mm(page.leftMm));
    xml.Attribute("fo:margin-top", Mm(page.topMm));
    xml.Attribute("fo:margin-right", Mm(page.rightMm));
    xml.Attribute("fo:margin-bottom", Mm(page.bottomMm));
    xml.End();
    xml.End();
}

// The default style of a family, in English; then the page, with no header
// or footer of its own: the report brings its own.
QByteArray Styles(const PageSetup& page, const char* family, const char* masterPage) {
    Xml xml;
    xml.StartDocument("office:document-styles");
    xml.Start("office:styles");
    xml.Start("style:default-style");
    xml.Attribute("style:family", family);
    xml.Start("style:text-properties");
    xml.Attribute("fo:language", "en");
    xml.End();
    xml.End();
    if (family == std::string_view("table-cell")) {
        xml.Start("style:style");
        xml.Attribute("style:name", "Default");
        xml.Attribute("style:family", "table-cell");
        xml.End();
    }
    xml.End();
    xml.Start("office:automatic-styles");
    PageLayout(xml, page);
    xml.End();
    xml.Start("office:master-styles");
    xml.Start("style:master-page");
    xml.Attribute("style:name", masterPage);
    xml.Attribute("style:page-layout-name", "pm1");
    xml.End();
    xml.End();
    return xml.Finish();
}

// The rows of each page in turn, told to progress as each page is done.
void PageByPage(const PreparedReport& report, const ReportTable& table, const ExportProgress& progress,
                const std::function<void(int page, std::size_t first, std::size_t end)>& writePage) {
    const int pages = static_cast<int>(report.pages.size());
    std::size_t row = 0;
    for (int page = 0; page < pages; ++page) {
        const std::size_t first = row;
        while (row < table.rows.size() && table.rows[row].page == page)
            ++row;
        writePage(page, first, row);
        if (progress)
            progress(page + 1, pages);
    }
}

// ---- The spreadsheet ----

constexpr const char* OdsType = "application/vnd.oasis.opendocument.spreadsheet";

QByteArray SpreadsheetContent(const PreparedReport& report, const ReportTable& table, const ExportProgress& progress) {
    const auto breakBefore = [&](std::size_t row) {
        return table.rows[row].page > 0 && (row == 0 || table.rows[row - 1].page != table.rows[row].page);
    };
    StyleNames<Look> cellStyles(QStringLiteral("ce"));
    StyleNames<RowLook> rowStyles(QStringLiteral("ro"));
    std::vector<int> decimals;
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        rowStyles(RowLookOf(table.rows[row], breakBefore(row)));
        for (const TableCell& cell : table.rows[row].cells) {
            const std::optional<NumberText> number = ParseNumberText(cell.text);
            cellStyles(LookOf(cell, number ? number->decimals : -1));
            if (number)
                decimals.push_back(number->decimals);
        }
    }
    std::sort(decimals.begin(), decimals.end());
    decimals.erase(std::unique(decimals.begin(), decimals.end()), decimals.end());

    Xml xml;
    xml.StartDocument("office:document-content");
    FontFaces(xml, cellStyles.Keys());
    xml.Start("office:automatic-styles");
    // A number shows as many decimals as the report's text of it.
    for (int places : decimals) {
        xml.Start("number:number-style");
        xml.Attribute("style:name", QStringLiteral("N%1").arg(places));
        xml.Start("number:number");
        xml.Attribute("number:decimal-places", QString::number(places));
        xml.Attribute("number:min-integer-digits", "1");
        xml.End();
        xml.End();
    }
    xml.Start("style:style");
    xml.Attribute("style:name", "ta1");
    xml.Attribute("style:family", "table");
    xml.Attribute("style:master-page-name", "Default");
    xml.Start("style:table-properties");
    xml.Attribute("table:display", "true");
    xml.End();
    xml.End();
    ColumnStyles(xml, table);
    for (std::size_t i = 0; i < rowStyles.Keys().size(); ++i) {
        const auto& [height, pageBreak] = rowStyles.Keys()[i];
        xml.Start("style:style");
        xml.Attribute("style:name", rowStyles.Name(i));
        xml.Attribute("style:family", "table-row");
        xml.Start("style:table-row-properties");
        xml.Attribute("style:row-height", Cm(height / 100.0));
        xml.Attribute("fo:break-before", pageBreak ? "page" : "auto");
        xml.Attribute("style:use-optimal-row-height", "false");
        xml.End();
        xml.End();
    }
    for (std::size_t i = 0; i < cellStyles.Keys().size(); ++i) {
        const Look& look = cellStyles.Keys()[i];
        xml.Start("style:style");
        xml.Attribute("style:name", cellStyles.Name(i));
        xml.Attribute("style:family", "table-cell");
        xml.Attribute("style:parent-style-name", "Default");
        if (look.decimals >= 0)
            xml.Attribute("style:data-style-name", QStringLiteral("N%1").arg(look.decimals));
        xml.Start("style:table-cell-properties");
        if (look.frame)
            xml.Attribute("fo:border", FrameLine);
        xml.Attribute("style:vertical-align", look.centred ? "middle" : "top");
        xml.Attribute("fo:wrap-option", "wrap");
        xml.Attribute("style:text-align-source", "fix");
        xml.End();
        xml.Start("style:paragraph-properties");
        xml.Attribute("fo:text-align", look.centred ? "center" : "start");
        xml.End();
        TextProperties(xml, look);
        xml.End();
    }
    xml.End();

    xml.Start("office:body");
    xml.Start("office:spreadsheet");
    xml.Start("table:table");
    xml.Attribute("table:name", QStringLiteral("Отчёт"));
    xml.Attribute("table:style-name", "ta1");
    TableColumns(xml, table);
    const auto emptyCells = [&](int count) {
        if (count <= 0)
            return;
        xml.Start("table:table-cell");
        if (count > 1)
            xml.Attribute("table:number-columns-repeated", QString::number(count));
        xml.End();
    };
    PageByPage(report, table, progress, [&](int, std::size_t first, std::size_t end) {
        for (std::size_t r = first; r < end; ++r) {
            const TableRow& row = table.rows[r];
            xml.Start("table:table-row");
            xml.Attribute("table:style-name", rowStyles(RowLookOf(row, breakBefore(r))));
            int column = 0;
            for (const TableCell& cell : row.cells) {
                emptyCells(cell.column - column);
                const std::optional<NumberText> number = ParseNumberText(cell.text);
                xml.Start("table:table-cell");
                xml.Attribute("table:style-name", cellStyles(LookOf(cell, number ? number->decimals : -1)));
                Spanned(xml, cell);
                if (number) {
                    xml.Attribute("office:value-type", "float");
                    xml.Attribute("office:value", QString::number(number->value, 'f', number->decimals));
                } else if (!cell.text.isEmpty()) {
                    xml.Attribute("office:value-type", "string");
                }
                // A sheet's cell keeps its lines as paragraphs: spreadsheets
                // pass line breaks inside a paragraph on as nothing.
                if (!cell.text.isEmpty())
                    for (const QString& line : Lines(cell.text))
                        Paragraph(xml, line);
                xml.End();
                CoveredCells(xml, cell.span - 1);
                column = cell.column + cell.span;
            }
            emptyCells(std::max(1, table.Columns()) - column);
            xml.End();
        }
    });
    if (table.rows.empty()) {  // a table holds one row at least
        xml.Start("table:table-row");
        emptyCells(1);
        xml.End();
    }
    xml.End();
    xml.End();
    xml.End();
    return xml.Finish();
}

// ---- The text document ----

constexpr const char* OdtType = "application/vnd.oasis.opendocument.text";

QByteArray TextContent(const PreparedReport& report, const ReportTable& table, const ExportProgress& progress) {
    StyleNames<Look> looks(QStringLiteral("ce"));  // a cell style and its paragraph's, "P" and the same number
    StyleNames<long> rowStyles(QStringLiteral("ro"));
    for (const TableRow& row : table.rows) {
        rowStyles(std::lround(row.height * 100));
        for (const TableCell& cell : row.cells)
            looks(LookOf(cell, -1));
    }
    double width = 0;
    for (int column = 0; column < table.Columns(); ++column)
        width += table.ColumnWidth(column);
    // The table starts where the report's first column does, inside the margin.
    const double indent = table.edges.empty() ? 0 : std::max(0.0, table.edges.front() - report.page.leftMm * UnitsPerMm);

    Xml xml;
    xml.StartDocument("office:document-content");
    FontFaces(xml, looks.Keys());
    xml.Start("office:automatic-styles");
    for (const char* name : {"Table1", "Table2"}) {
        xml.Start("style:style");
        xml.Attribute("style:name", name);
        xml.Attribute("style:family", "table");
        xml.Start("style:table-properties");
        xml.Attribute("style:width", Cm(width));
        xml.Attribute("table:align", "left");
        xml.Attribute("fo:margin-left", Cm(indent));
        // Every report page after the first begins a page of the document.
        if (name == std::string_view("Table2"))
            xml.Attribute("fo:break-before", "page");
        xml.End();
        xml.End();
    }
    ColumnStyles(xml, table);
    for (std::size_t i = 0; i < rowStyles.Keys().size(); ++i) {
        xml.Start("style:style");
        xml.Attribute("style:name", rowStyles.Name(i));
        xml.Attribute("style:family", "table-row");
        xml.Start("style:table-row-properties");
        xml.Attribute("style:min-row-height", Cm(rowStyles.Keys()[i] / 100.0));
        xml.End();
        xml.End();
    }
    for (std::size_t i = 0; i < looks.Keys().size(); ++i) {
        const Look& look = looks.Keys()[i];
        xml.Start("style:style");
        xml.Attribute("style:name", looks.Name(i));
        xml.Attribute("style:family", "table-cell");
        xml.Start("style:table-cell-properties");
        xml.Attribute("fo:border", look.frame ? FrameLine : "none");
        // No padding above and below: with the borders a row of the report's
        // height would outgrow it, and the pages with it.
        xml.Attribute("fo:padding-left", "0.05cm");
        xml.Attribute("fo:padding-right", "0.05cm");
        xml.Attribute("fo:padding-top", "0cm");
        xml.Attribute("fo:padding-bottom", "0cm");
        xml.Attribute("style:vertical-align", look.centred ? "middle" : "top");
        xml.End();
        xml.End();
        xml.Start("style:style");
        xml.Attribute("style:name", QStringLiteral("P%1").arg(i + 1));
        xml.Attribute("style:family", "paragraph");
        xml.Start("style:paragraph-properties");
        xml.Attribute("fo:text-align", look.centred ? "center" : "start");
        xml.End();
        TextProperties(xml, look);
        xml.End();
    }
    // A report page without texts still takes its page.
    xml.Start("style:style");
    xml.Attribute("style:name", "PageBreak");
    xml.Attribute("style:family", "paragraph");
    xml.Start("style:paragraph-properties");
    xml.Attribute("fo:break-before", "page");
    xml.End();
    xml.End();
    xml.End();

    xml.Start("office:body");
    xml.Start("office:text");
    const auto emptyCell = [&] {
        xml.Start("table:table-cell");
        Paragraph(xml, {});
        xml.End();
    };
    PageByPage(report, table, progress, [&](int page, std::size_t first, std::size_t end) {
        if (first == end) {
            if (page > 0)
                Paragraph(xml, {}, QStringLiteral("PageBreak"));
            return;
        }
        xml.Start("table:table");
        xml.Attribute("table:name", QStringLiteral("Страница %1").arg(page + 1));
        xml.Attribute("table:style-name", page == 0 ? "Table1" : "Table2");
        TableColumns(xml, table);
        for (std::size_t r = first; r < end; ++r) {
            const TableRow& row = table.rows[r];
            xml.Start("table:table-row");
            xml.Attribute("table:style-name", rowStyles(std::lround(row.height * 100)));
            int column = 0;
            for (const TableCell& cell : row.cells) {
                for (; column < cell.column; ++column)
                    emptyCell();
                const QString style = looks(LookOf(cell, -1));
                xml.Start("table:table-cell");
                xml.Attribute("table:style-name", style);
                Spanned(xml, cell);
                xml.Attribute("office:value-type", "string");
                Paragraph(xml, cell.text, QLatin1Char('P') + style.mid(2));
                xml.End();
                CoveredCells(xml, cell.span - 1);
                column = cell.column + cell.span;
            }
            for (; column < table.Columns(); ++column)
                emptyCell();
            xml.End();
        }
        xml.End();
    });
    xml.End();
    xml.End();
    return xml.Finish();
}

}  // namespace

QString WriteOds(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    const ReportTable table = TableOf(report);
    return WritePackage(out, OdsType,
                        {{"META-INF/manifest.xml", Manifest(OdsType)},
                         {"content.xml", SpreadsheetContent(report, table, progress)},
                         {"styles.xml", Styles(report.page, "table-cell", "Default")},
                         {"meta.xml", Meta()}});
}

QString WriteOdt(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    const ReportTable table = TableOf(report);
    return WritePackage(out, OdtType,
                        {{"META-INF/manifest.xml", Manifest(OdtType)},
                         {"content.xml", TextContent(report, table, progress)},
                         {"styles.xml", Styles(report.page, "paragraph", "Standard")},
                         {"meta.xml", Meta()}});
}
