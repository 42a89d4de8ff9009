#include "report/HtmlExport.h"

#include "report/ReportTable.h"

#include <QIODevice>

#include <cmath>
#include <map>
#include <tuple>

namespace {

// Controls other than tab and line feed, and the noncharacters: none of them
// may appear in an HTML document.
bool Forbidden(char32_t c) {
    if (c == U'\t' || c == U'\n')
        return false;
    if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        return true;
    return (c >= 0xfdd0 && c <= 0xfdef) || (c & 0xfffe) == 0xfffe;
}

void Append(QString& out, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(static_cast<char16_t>(c));
    }
}

// Calls each(code point) along the text; a surrogate without its partner
// comes as U+FFFD, since UTF-8 has no way to write it.
template <class Each>
void ForEachCodePoint(QStringView text, Each each) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate()) {
            each(static_cast<char32_t>(c.unicode()));
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            each(QChar::surrogateToUcs4(c, text[i + 1]));
            ++i;
        } else {
            each(static_cast<char32_t>(QChar::ReplacementCharacter));
        }
    }
}

// A font family as a CSS string; what could end the string or the style
// block goes as a CSS escape.
QString CssString(QStringView text) {
    QString out(QLatin1Char('"'));
    ForEachCodePoint(text, [&](char32_t c) {
        if (c == U'"' || c == U'\\' || c == U'<' || c == U'>' || c == U'&' || c < 0x20)
            out += QStringLiteral("\\%1 ").arg(static_cast<uint>(c), 0, 16);
        else if (!Forbidden(c))
            Append(out, c);
    });
    return out + QLatin1Char('"');
}

// Lengths in CSS px, which are layout units, to a hundredth.
QString Px(double units) {
    QString text = QString::number(units, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text + QLatin1String("px");
}

double FontPx(int fontHeight) {
    return fontHeight < 0 ? -fontHeight : fontHeight * 96.0 / 72.0;
}

// What a cell's class sets: family, size in px, bold, centred, framed.
using CellLook = std::tuple<QString, double, bool, bool, bool>;

CellLook LookOf(const TextObject& style) {
    return {style.fontFamily, FontPx(style.fontHeight), style.bold, style.centred, style.frame};
}

QString ClassRule(const CellLook& look, int index) {
    const auto& [family, px, bold, centred, frame] = look;
    QString rule = QStringLiteral(".c%1 { font-family: %2; font-size: %3;").arg(index).arg(CssString(family), Px(px));
    if (bold)
        rule += QLatin1String(" font-weight: bold;");
    if (centred)
        rule += QLatin1String(" text-align: center; vertical-align: middle;");
    if (frame)
        rule += QLatin1String(" border: 1px solid #000;");
    return rule + QLatin1String(" }\n");
}

QString Title(const PreparedReport& report) {
    for (const PreparedPage& page : report.pages)
        for (const PlacedText& text : page.texts) {
            const QString line = QString(text.text).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
            if (!line.isEmpty())
                return HtmlText(line);
        }
    return QStringLiteral("Отчёт");
}

}  // namespace

QString HtmlText(QStringView text) {
    QString out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t c) {
        switch (c) {
        case U'&': out += QLatin1String("&amp;"); break;
        case U'<': out += QLatin1String("&lt;"); break;
        case U'>': out += QLatin1String("&gt;"); break;
        case U'"': out += QLatin1String("&quot;"); break;
        case U'\n': out += QLatin1String("<br/>"); break;
        default:
            if (!Forbidden(c))
                Append(out, c);
        }
    });
    return out;
}

QString WriteHtml(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    const ReportTable table = TableOf(report);
    const auto write = [&](const QString& text) {
        const QByteArray bytes = text.toUtf8();
        return out.write(bytes) == bytes.size();
    };
    const auto failed = [&] {
        return out.errorString().isEmpty() ? QStringLiteral("the HTML cannot be written") : out.errorString();
    };

    // One class for each look the cells have, in the order they first appear.
    std::map<CellLook, int> classes;
    QString rules;
    for (const TableRow& row : table.rows)
        for (const TableCell& cell : row.cells) {
            const CellLook look = LookOf(*cell.style);
            if (classes.try_emplace(look, static_cast<int>(classes.size())).second)
                rules += ClassRule(look, classes[look]);
        }

    const PageSetup& page = report.page;
    QString head = QStringLiteral("<!DOCTYPE html>\n"
                                  "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"ru\">\n<head>\n"
                                  "<meta charset=\"utf-8\"/>\n<title>%1</title>\n<style>\n")
                       .arg(Title(report));
    head += QLatin1String("body { margin: 0; }\n");
    head += QStringLiteral(".page { box-sizing: border-box; width: %1; padding: %2 %3 %4 %5; }\n")
                .arg(Px(page.Width()), Px(page.topMm * UnitsPerMm), Px(page.rightMm * UnitsPerMm),
                     Px(page.bottomMm * UnitsPerMm), Px(page.leftMm * UnitsPerMm));
    head += QLatin1String(".break { break-after: page; page-break-after: always; }\n"
                          "table { border-collapse: collapse; table-layout: fixed; }\n"
                          "td { padding: 0; overflow: hidden; text-align: left; vertical-align: top; }\n");
    head += rules;
    head += QLatin1String("</style>\n</head>\n<body>\n");
    if (!write(head))
        return failed();

    // The same colgroup on every page, so every page lines up alike; the
    // table starts at its first edge, which need not be the margin. Writer's
    // HTML import takes column widths only from width attributes, and a page
    // break only from the table, so both say it as well; for a browser the
    // table's break is the page's, one break.
    QString tableStyle;
    QString columns;
    if (!table.edges.empty()) {
        const double indent = table.edges.front() - page.leftMm * UnitsPerMm;
        tableStyle = QStringLiteral(" style=\"width: %1").arg(Px(table.edges.back() - table.edges.front()));
        if (Px(indent) != QLatin1String("0px"))
            tableStyle += QStringLiteral("; margin-left: %1").arg(Px(indent));
        tableStyle += QLatin1String("\">\n<colgroup>");
        for (int column = 0; column < table.Columns(); ++column) {
            const double width = table.ColumnWidth(column);
            columns += QStringLiteral("<col width=\"%1\" style=\"width: %2\"/>").arg(std::lround(width)).arg(Px(width));
        }
        columns += QLatin1String("</colgroup>\n");
    }

    const int pages = static_cast<int>(report.pages.size());
    auto row = table.rows.begin();
    for (int p = 0; p < pages; ++p) {
        const bool last = p + 1 == pages;
        QString html = last ? QStringLiteral("<div class=\"page\">\n") : QStringLiteral("<div class=\"page break\">\n");
        if (!tableStyle.isEmpty()) {
            html += (last ? QLatin1String("<table") : QLatin1String("<table class=\"break\"")) + tableStyle + columns;
            for (; row != table.rows.end() && row->page == p; ++row) {
                html += QStringLiteral("<tr style=\"height: %1\">").arg(Px(row->height));
                int column = 0;
                for (const TableCell& cell : row->cells) {
                    for (; column < cell.column; ++column)
                        html += QLatin1String("<td></td>");
                    html += QStringLiteral("<td class=\"c%1\"").arg(classes[LookOf(*cell.style)]);
                    if (cell.span > 1)
                        html += QStringLiteral(" colspan=\"%1\"").arg(cell.span);
                    html += QLatin1Char('>') + HtmlText(cell.text) + QLatin1String("</td>");
                    column = cell.column + cell.span;
                }
                for (; column < table.Columns(); ++column)
                    html += QLatin1String("<td></td>");
                html += QLatin1String("</tr>\n");
            }
            html += QLatin1String("</table>\n");
        }
        html += QLatin1String("</div>\n");
        if (!write(html))
            return failed();
        if (progress)
            progress(p + 1, pages);
    }
    if (!write(QStringLiteral("</body>\n</html>\n")))
        return failed();
    return {};
}
