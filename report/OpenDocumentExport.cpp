#include "report/OpenDocumentExport.h"

#include "report/NumberText.h"
#include "report/ReportTable.h"
#include "report/ZipPackage.h"

#include <QXmlStreamWriter>

#include <map>
#include <tuple>

namespace {

const QString SpreadsheetType = QStringLiteral("application/vnd.oasis.opendocument.spreadsheet");
const QString TextType = QStringLiteral("application/vnd.oasis.opendocument.text");

const std::pair<const char*, const char*> Namespaces[] = {
    {"office", "urn:oasis:names:tc:opendocument:xmlns:office:1.0"},
    {"style", "urn:oasis:names:tc:opendocument:xmlns:style:1.0"},
    {"text", "urn:oasis:names:tc:opendocument:xmlns:text:1.0"},
    {"table", "urn:oasis:names:tc:opendocument:xmlns:table:1.0"},
    {"fo", "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"},
    {"number", "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"},
    {"meta", "urn:oasis:names:tc:opendocument:xmlns:meta:1.0"},
    {"dc", "http://purl.org/dc/elements/1.1/"},
};

QString Cm(double units) {
    return QString::number(units * 2.54 / 96, 'f', 3) + QStringLiteral("cm");
}

QString Mm(double mm) {
    return QString::number(mm, 'f', 2) + QStringLiteral("mm");
}

QString Points(int fontHeight) {
    const double points = fontHeight < 0 ? -fontHeight * 72.0 / 96.0 : fontHeight;
    return QString::number(points, 'f', 2) + QStringLiteral("pt");
}

// The characters XML 1.0 allows; anything else in a report's text (control
// characters, halves of broken surrogate pairs) is left out.
QString XmlText(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean += c;
            clean += text[++i];
        } else if (!c.isSurrogate() && (c.unicode() >= 0x20 || c == QLatin1Char('\t') || c == QLatin1Char('\n')) &&
                   c.unicode() != 0xFFFE && c.unicode() != 0xFFFF) {
            clean += c;
        }
    }
    return clean;
}

class Xml {
public:
    explicit Xml(const char* root) : writer_(&bytes_) {
        writer_.writeStartDocument();
        writer_.writeStartElement(QLatin1String(root));
        for (const auto& [prefix, uri] : Namespaces)
            writer_.writeNamespace(QLatin1String(uri), QLatin1String(prefix));
        writer_.writeAttribute(QStringLiteral("office:version"), QStringLiteral("1.2"));
    }
    QXmlStreamWriter& operator*() { return writer_; }
    QXmlStreamWriter* operator->() { return &writer_; }
    QByteArray Finish() {
        writer_.writeEndDocument();
        return bytes_;
    }

private:
    QByteArray bytes_;
    QXmlStreamWriter writer_;
};

void Start(QXmlStreamWriter& xml, const char* element, std::initializer_list<std::pair<const char*, QString>> attributes) {
    xml.writeStartElement(QLatin1String(element));
    for (const auto& [name, value] : attributes)
        xml.writeAttribute(QLatin1String(name), value);
}

void Empty(QXmlStreamWriter& xml, const char* element, std::initializer_list<std::pair<const char*, QString>> attributes) {
    Start(xml, element, attributes);
    xml.writeEndElement();
}

// A paragraph's text, its line breaks as the format has them.
void Paragraph(QXmlStreamWriter& xml, const QString& text, const QString& style = {}) {
    xml.writeStartElement(QStringLiteral("text:p"));
    if (!style.isEmpty())
        xml.writeAttribute(QStringLiteral("text:style-name"), style);
    const QStringList lines = XmlText(text).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            xml.writeEmptyElement(QStringLiteral("text:line-break"));
        xml.writeCharacters(lines[i]);
    }
    xml.writeEndElement();
}

// Automatic styles named in order of first use: the same look, the same name.
template <typename Key>
class Styles {
public:
    explicit Styles(QString prefix) : prefix_(std::move(prefix)) {}
    QString Name(const Key& key) {
        const auto [at, added] = names_.emplace(key, prefix_ + QString::number(names_.size() + 1));
        if (added)
            order_.push_back(&*at);
        return at->second;
    }
    template <typename Write>
    void WriteEach(Write write) const {
        for (const auto* entry : order_)
            write(entry->first, entry->second);
    }

private:
    QString prefix_;
    std::map<Key, QString> names_;
    std::vector<const typename std::map<Key, QString>::value_type*> order_;
};

// The look of a cell: font, frame, alignment, and the decimals of a number
// (-1: a text).
using CellLook = std::tuple<QString, int, bool, bool, bool, int>;

CellLook LookOf(const TableCell& cell, bool numbers) {
    const std::optional<NumberText> number = numbers ? ParseNumberText(cell.text) : std::nullopt;
    return {cell.style->fontFamily, cell.style->fontHeight, cell.style->bold, cell.style->frame, cell.style->centred,
            number ? number->decimals : -1};
}

void TextProperties(QXmlStreamWriter& xml, const CellLook& look) {
    const auto& [family, height, bold, frame, centred, decimals] = look;
    Empty(xml, "style:text-properties",
          {{"fo:font-family", family}, {"fo:font-size", Points(height)},
           {"fo:font-weight", bold ? QStringLiteral("bold") : QStringLiteral("normal")}});
}

void CellProperties(QXmlStreamWriter& xml, const CellLook& look) {
    const auto& [family, height, bold, frame, centred, decimals] = look;
    Empty(xml, "style:table-cell-properties",
          {{"fo:border", frame ? QStringLiteral("0.5pt solid #000000") : QStringLiteral("none")},
           {"style:vertical-align", centred ? QStringLiteral("middle") : QStringLiteral("top")},
           {"fo:padding", QStringLiteral("0.02cm")}});
}

void ParagraphProperties(QXmlStreamWriter& xml, bool centred) {
    Empty(xml, "style:paragraph-properties", {{"fo:text-align", centred ? QStringLiteral("center") : QStringLiteral("start")}});
}

QByteArray Manifest(const QString& type) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("manifest:manifest"));
    xml.writeNamespace(QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0"), QStringLiteral("manifest"));
    xml.writeAttribute(QStringLiteral("manifest:version"), QStringLiteral("1.2"));
    Empty(xml, "manifest:file-entry",
          {{"manifest:full-path", QStringLiteral("/")}, {"manifest:version", QStringLiteral("1.2")},
           {"manifest:media-type", type}});
    for (const char* file : {"content.xml", "styles.xml", "meta.xml"})
        Empty(xml, "manifest:file-entry",
              {{"manifest:full-path", QLatin1String(file)}, {"manifest:media-type", QStringLiteral("text/xml")}});
    xml.writeEndDocument();
    return bytes;
}

QString Title(const PreparedReport& report) {
    for (const PreparedPage& page : report.pages)
        for (const PlacedText& text : page.texts)
            if (!text.text.trimmed().isEmpty())
                return text.text.trimmed();
    return QStringLiteral("Отчёт");
}

QByteArray Meta(const PreparedReport& report) {
    Xml xml("office:document-meta");
    xml->writeStartElement(QStringLiteral("office:meta"));
    xml->writeTextElement(QStringLiteral("meta:generator"), QStringLiteral("vel"));
    xml->writeTextElement(QStringLiteral("dc:title"), XmlText(Title(report)));
    xml->writeTextElement(QStringLiteral("dc:language"), QStringLiteral("en"));
    xml->writeEndElement();
    return xml.Finish();
}

// The paper, the margins and the document's language; family is the one
// whose default carries the language.
QByteArray PageStyles(const PageSetup& page, const char* family) {
    Xml xml("office:document-styles");
    Start(*xml, "office:styles", {});
    Start(*xml, "style:default-style", {{"style:family", QLatin1String(family)}});
    Empty(*xml, "style:text-properties", {{"fo:language", QStringLiteral("en")}, {"fo:country", QStringLiteral("US")}});
    xml->writeEndElement();
    xml->writeEndElement();
    Start(*xml, "office:automatic-styles", {});
    Start(*xml, "style:page-layout", {{"style:name", QStringLiteral("Page")}});
    Empty(*xml, "style:page-layout-properties",
          {{"fo:page-width", Mm(page.widthMm)},
           {"fo:page-height", Mm(page.heightMm)},
           {"style:print-orientation", page.landscape ? QStringLiteral("landscape") : QStringLiteral("portrait")},
           {"fo:margin-left", Mm(page.leftMm)},
           {"fo:margin-top", Mm(page.topMm)},
           {"fo:margin-right", Mm(page.rightMm)},
           {"fo:margin-bottom", Mm(page.bottomMm)}});
    xml->writeEndElement();
    xml->writeEndElement();
    Start(*xml, "office:master-styles", {});
    Start(*xml, "style:master-page", {{"style:name", QStringLiteral("Standard")}, {"style:page-layout-name", QStringLiteral("Page")}});
    Empty(*xml, "style:header", {{"style:display", QStringLiteral("false")}});
    Empty(*xml, "style:footer", {{"style:display", QStringLiteral("false")}});
    xml->writeEndElement();
    xml->writeEndElement();
    return xml.Finish();
}

QString Package(const QString& type, QByteArray content, QByteArray styles, const PreparedReport& report,
                QIODevice& out) {
    ZipPackage package;
    package.Add(QStringLiteral("mimetype"), type.toLatin1(), true);
    package.Add(QStringLiteral("META-INF/manifest.xml"), Manifest(type));
    package.Add(QStringLiteral("content.xml"), std::move(content));
    package.Add(QStringLiteral("styles.xml"), std::move(styles));
    package.Add(QStringLiteral("meta.xml"), Meta(report));
    QString failure;
    const QByteArray bytes = package.Bytes(&failure);
    if (bytes.isEmpty())
        return failure;
    if (out.write(bytes) < 0)
        return out.errorString();
    return {};
}

// The columns of a table, each with its width's style.
void Columns(QXmlStreamWriter& xml, const ReportTable& table, Styles<long>& columnStyles) {
    for (int column = 0; column < table.Columns(); ++column)
        Empty(xml, "table:table-column",
              {{"table:style-name", columnStyles.Name(std::lround(table.ColumnWidth(column) * 100))}});
}

void WriteColumnStyles(QXmlStreamWriter& xml, const Styles<long>& columnStyles) {
    columnStyles.WriteEach([&](long width, const QString& name) {
        Start(xml, "style:style", {{"style:name", name}, {"style:family", QStringLiteral("table-column")}});
        Empty(xml, "style:table-column-properties", {{"style:column-width", Cm(width / 100.0)}});
        xml.writeEndElement();
    });
}

// One row's cells; the columns no cell takes are empty cells.
template <typename WriteCell>
void RowCells(QXmlStreamWriter& xml, const TableRow& row, int columns, WriteCell writeCell) {
    int column = 0;
    for (const TableCell& cell : row.cells) {
        for (; column < cell.column; ++column)
            Empty(xml, "table:table-cell", {});
        writeCell(cell);
        for (int covered = 1; covered < cell.span; ++covered)
            Empty(xml, "table:covered-table-cell", {});
        column = cell.column + cell.span;
    }
    for (; column < columns; ++column)
        Empty(xml, "table:table-cell", {});
}

void StartCell(QXmlStreamWriter& xml, const TableCell& cell, const QString& style) {
    Start(xml, "table:table-cell", {{"table:style-name", style}});
    if (cell.span > 1)
        xml.writeAttribute(QStringLiteral("table:number-columns-spanned"), QString::number(cell.span));
}

// The body of a document is written before its automatic styles are known;
// both are fragments, put into the document's root once complete.
QByteArray Content(const QByteArray& styles, const QByteArray& body) {
    Xml xml("office:document-content");
    xml->writeCharacters(QString());  // ends the root's start tag
    QByteArray document = xml.Finish();
    document.truncate(document.lastIndexOf("</office:document-content>"));
    return document + "<office:automatic-styles>" + styles + "</office:automatic-styles>" + body +
           "</office:document-content>\n";
}

// A fragment of a document: elements without a root of their own.
class Fragment {
public:
    Fragment() : writer_(&bytes_) {}
    QXmlStreamWriter& operator*() { return writer_; }
    QByteArray Bytes() { return bytes_; }

private:
    QByteArray bytes_;
    QXmlStreamWriter writer_;
};

}  // namespace

QString WriteOds(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    const ReportTable table = TableOf(report);
    const int pages = static_cast<int>(report.pages.size());
    Styles<long> columnStyles(QStringLiteral("co"));
    Styles<std::pair<long, bool>> rowStyles(QStringLiteral("ro"));  // height, page break before
    Styles<CellLook> cellStyles(QStringLiteral("ce"));

    Fragment body;
    QXmlStreamWriter& xml = *body;
    Start(xml, "office:body", {});
    Start(xml, "office:spreadsheet", {});
    Start(xml, "table:table", {{"table:name", QStringLiteral("Отчёт")}, {"table:style-name", QStringLiteral("ta1")}});
    Columns(xml, table, columnStyles);
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const TableRow& row = table.rows[r];
        const bool pageBreak = r > 0 && row.page != table.rows[r - 1].page;
        Start(xml, "table:table-row", {{"table:style-name", rowStyles.Name({std::lround(row.height * 100), pageBreak})}});
        RowCells(xml, row, table.Columns(), [&](const TableCell& cell) {
            StartCell(xml, cell, cellStyles.Name(LookOf(cell, true)));
            if (const std::optional<NumberText> number = ParseNumberText(cell.text)) {
                xml.writeAttribute(QStringLiteral("office:value-type"), QStringLiteral("float"));
                xml.writeAttribute(QStringLiteral("office:value"), QString::number(number->value, 'f', number->decimals));
            } else {
                xml.writeAttribute(QStringLiteral("office:value-type"), QStringLiteral("string"));
            }
            if (!cell.text.isEmpty())
                Paragraph(xml, cell.text);
            xml.writeEndElement();
        });
        xml.writeEndElement();
        if (r + 1 == table.rows.size() || table.rows[r + 1].page != row.page)
            progress(row.page + 1, pages);
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();

    Fragment styles;
    QXmlStreamWriter& s = *styles;
    Start(s, "style:style", {{"style:name", QStringLiteral("ta1")}, {"style:family", QStringLiteral("table")},
                             {"style:master-page-name", QStringLiteral("Standard")}});
    Empty(s, "style:table-properties", {{"table:display", QStringLiteral("true")}});
    s.writeEndElement();
    WriteColumnStyles(s, columnStyles);
    rowStyles.WriteEach([&](const std::pair<long, bool>& key, const QString& name) {
        Start(s, "style:style", {{"style:name", name}, {"style:family", QStringLiteral("table-row")}});
        Empty(s, "style:table-row-properties",
              {{"style:row-height", Cm(key.first / 100.0)},
               {"fo:break-before", key.second ? QStringLiteral("page") : QStringLiteral("auto")},
               {"style:use-optimal-row-height", QStringLiteral("false")}});
        s.writeEndElement();
    });
    cellStyles.WriteEach([&](const CellLook& look, const QString& name) {
        const int decimals = std::get<5>(look);
        if (decimals >= 0) {
            Start(s, "number:number-style", {{"style:name", name + QStringLiteral("N")}});
            Empty(s, "number:number",
                  {{"number:decimal-places", QString::number(decimals)},
                   {"number:min-decimal-places", QString::number(decimals)},
                   {"number:min-integer-digits", QStringLiteral("1")}});
            s.writeEndElement();
        }
        Start(s, "style:style", {{"style:name", name}, {"style:family", QStringLiteral("table-cell")}});
        if (decimals >= 0)
            s.writeAttribute(QStringLiteral("style:data-style-name"), name + QStringLiteral("N"));
        CellProperties(s, look);
        ParagraphProperties(s, std::get<4>(look));
        TextProperties(s, look);
        s.writeEndElement();
    });

    return Package(SpreadsheetType, Content(styles.Bytes(), body.Bytes()), PageStyles(report.page, "table-cell"),
                   report, out);
}

QString WriteOdt(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    const ReportTable table = TableOf(report);
    const int pages = static_cast<int>(report.pages.size());
    double width = 0;
    for (int column = 0; column < table.Columns(); ++column)
        width += table.ColumnWidth(column);
    Styles<long> columnStyles(QStringLiteral("co"));
    Styles<long> rowStyles(QStringLiteral("ro"));
    Styles<CellLook> cellStyles(QStringLiteral("ce"));

    Fragment body;
    QXmlStreamWriter& xml = *body;
    Start(xml, "office:body", {});
    Start(xml, "office:text", {});
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const TableRow& row = table.rows[r];
        if (r == 0 || row.page != table.rows[r - 1].page) {
            if (r > 0)
                xml.writeEndElement();
            Start(xml, "table:table",
                  {{"table:name", QStringLiteral("Страница%1").arg(row.page + 1)},
                   {"table:style-name", r == 0 ? QStringLiteral("First") : QStringLiteral("Next")}});
            Columns(xml, table, columnStyles);
        }
        Start(xml, "table:table-row", {{"table:style-name", rowStyles.Name(std::lround(row.height * 100))}});
        RowCells(xml, row, table.Columns(), [&](const TableCell& cell) {
            const QString style = cellStyles.Name(LookOf(cell, false));
            StartCell(xml, cell, style);
            xml.writeAttribute(QStringLiteral("office:value-type"), QStringLiteral("string"));
            Paragraph(xml, cell.text, style + QStringLiteral("P"));
            xml.writeEndElement();
        });
        xml.writeEndElement();
        if (r + 1 == table.rows.size() || table.rows[r + 1].page != row.page)
            progress(row.page + 1, pages);
    }
    if (!table.rows.empty())
        xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();

    Fragment styles;
    QXmlStreamWriter& s = *styles;
    for (const char* name : {"First", "Next"}) {
        Start(s, "style:style", {{"style:name", QLatin1String(name)}, {"style:family", QStringLiteral("table")}});
        Empty(s, "style:table-properties",
              {{"style:width", Cm(width)},
               {"table:align", QStringLiteral("left")},
               {"fo:break-before", name[0] == 'F' ? QStringLiteral("auto") : QStringLiteral("page")}});
        s.writeEndElement();
    }
    WriteColumnStyles(s, columnStyles);
    rowStyles.WriteEach([&](long height, const QString& name) {
        Start(s, "style:style", {{"style:name", name}, {"style:family", QStringLiteral("table-row")}});
        Empty(s, "style:table-row-properties", {{"style:min-row-height", Cm(height / 100.0)}});
        s.writeEndElement();
    });
    cellStyles.WriteEach([&](const CellLook& look, const QString& name) {
        Start(s, "style:style", {{"style:name", name}, {"style:family", QStringLiteral("table-cell")}});
        CellProperties(s, look);
        s.writeEndElement();
        Start(s, "style:style", {{"style:name", name + QStringLiteral("P")}, {"style:family", QStringLiteral("paragraph")}});
        ParagraphProperties(s, std::get<4>(look));
        TextProperties(s, look);
        s.writeEndElement();
    });

    return Package(TextType, Content(styles.Bytes(), body.Bytes()), PageStyles(report.page, "paragraph"), report, out);
}
