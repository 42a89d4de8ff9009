#include "report/RtfExport.h"

#include "report/ReportTable.h"

#include <QHash>
#include <QIODevice>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

int TwipsOfMm(double mm) {
    return static_cast<int>(std::lround(mm * 1440 / 25.4));
}

// A layout unit is 1/96 inch, a twip 1/1440.
int TwipsOfUnits(double units) {
    return static_cast<int>(std::lround(units * 15));
}

// Font sizes in RTF are half-points; negative template heights are pixels at
// 96 dpi.
int HalfPoints(int fontHeight) {
    const double points = fontHeight < 0 ? -fontHeight * 72.0 / 96.0 : fontHeight;
    return std::max(1, static_cast<int>(std::lround(points * 2)));
}

void AppendUnicode(QByteArray& out, char16_t unit) {
    out += "\\u";
    out += QByteArray::number(static_cast<std::int16_t>(unit));
    out += '?';
}

// The font table's names end at ';', so a family may not hold one.
QByteArray FontName(const QString& family) {
    return RtfText(QString(family).remove(QLatin1Char(';')));
}

struct Fonts {
    std::vector<QString> families;
    QHash<QString, int> index;

    int Of(const QString& family) {
        const auto found = index.constFind(family);
        if (found != index.constEnd())
            return *found;
        families.push_back(family);
        return index[family] = static_cast<int>(families.size()) - 1;
    }
};

}  // namespace

QByteArray RtfText(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isSurrogate(c)) {
            const bool paired = QChar::isHighSurrogate(c) ? i + 1 < text.size() && text[i + 1].isLowSurrogate()
                                                          : i > 0 && text[i - 1].isHighSurrogate();
            AppendUnicode(out, paired ? c : char16_t(QChar::ReplacementCharacter));
            continue;
        }
        switch (c) {
        case u'\\': out += "\\\\"; break;
        case u'{': out += "\\{"; break;
        case u'}': out += "\\}"; break;
        // The blank ends the control word and is not part of the text.
        case u'\t': out += "\\tab "; break;
        case u'\n': out += "\\line "; break;
        default:
            if (c < 0x20 || (c >= 0x7f && c < 0xa0))
                break;
            if (c < 0x80)
                out += static_cast<char>(c);
            else
                AppendUnicode(out, c);
        }
    }
    return out;
}

QString WriteRtf(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    const ReportTable table = TableOf(report);
    const auto write = [&](const QByteArray& bytes) { return out.write(bytes) == bytes.size(); };
    const auto failed = [&] {
        return out.errorString().isEmpty() ? QStringLiteral("the RTF cannot be written") : out.errorString();
    };

    Fonts fonts;
    for (const TableRow& row : table.rows)
        for (const TableCell& cell : row.cells)
            fonts.Of(cell.style->fontFamily);
    if (fonts.families.empty())
        fonts.Of(TextObject().fontFamily);  // \deff0 needs a font 0

    const PageSetup& page = report.page;
    QByteArray head = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1\n{\\fonttbl";
    for (std::size_t f = 0; f < fonts.families.size(); ++f)
        head += "{\\f" + QByteArray::number(static_cast<int>(f)) + "\\fnil\\fcharset204 " +
                FontName(fonts.families[f]) + ";}";
    // Writer and Word end a document that ends with a table with an empty
    // paragraph in the Normal style; at 1 pt it still fits below a full last
    // page instead of opening an empty one.
    head += "}\n{\\stylesheet{\\fs2 Normal;}}\n\\paperw" + QByteArray::number(TwipsOfMm(page.widthMm)) + "\\paperh" +
            QByteArray::number(TwipsOfMm(page.heightMm)) + "\\margl" + QByteArray::number(TwipsOfMm(page.leftMm)) +
            "\\margr" + QByteArray::number(TwipsOfMm(page.rightMm)) + "\\margt" +
            QByteArray::number(TwipsOfMm(page.topMm)) + "\\margb" + QByteArray::number(TwipsOfMm(page.bottomMm));
    if (page.landscape)
        head += "\\landscape";
    head += '\n';
    if (!write(head))
        return failed();

    // Cell edges count from the left margin; the table starts at its first
    // edge, which need not be the margin.
    std::vector<QByteArray> edges;
    const double margin = page.leftMm * UnitsPerMm;
    for (double edge : table.edges)
        edges.push_back(QByteArray::number(TwipsOfUnits(edge - margin)));

    static constexpr char Frame[] = "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                                    "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
    const int pages = static_cast<int>(report.pages.size());
    auto row = table.rows.begin();
    for (int p = 0; p < pages; ++p) {
        QByteArray rtf;
        // A page's table starts a page by a break before its first
        // paragraph: Writer moves a \page between two tables below the first
        // row of the second. The 1 pt paragraph between them keeps the
        // tables apart and fits below a full page.
        QByteArray breakBefore;
        if (p > 0) {
            rtf += "\\pard\\plain\\fs2\\par\n";
            breakBefore = "\\pagebb";
        }
        for (; row != table.rows.end() && row->page == p; ++row) {
            // RTF has no column spans: a cell simply ends further right, and
            // the columns no cell takes are one empty cell each stretch.
            QByteArray cells = "\\trowd\\trgaph0\\trleft" + edges.front() + "\\trrh" +
                               QByteArray::number(TwipsOfUnits(row->height));
            QByteArray texts;
            int column = 0;
            const auto gapTo = [&](int next) {
                if (column < next) {
                    cells += "\\cellx" + edges[next];
                    texts += "\\pard\\intbl" + std::exchange(breakBefore, {}) + "\\plain\\cell";
                }
                column = next;
            };
            for (const TableCell& cell : row->cells) {
                gapTo(cell.column);
                const TextObject& style = *cell.style;
                if (style.frame)
                    cells += Frame;
                if (style.centred)
                    cells += "\\clvertalc";
                cells += "\\cellx" + edges[cell.column + cell.span];
                texts += "\\pard\\intbl" + std::exchange(breakBefore, {});
                texts += style.centred ? "\\qc\\plain" : "\\ql\\plain";
                if (style.bold)
                    texts += "\\b";
                texts += "\\f" + QByteArray::number(fonts.Of(style.fontFamily)) + "\\fs" +
                         QByteArray::number(HalfPoints(style.fontHeight)) + ' ' + RtfText(cell.text) + "\\cell";
                column = cell.column + cell.span;
            }
            gapTo(table.Columns());
            rtf += cells + '\n' + texts + "\\row\n";
        }
        if (!write(rtf))
            return failed();
        if (progress)
            progress(p + 1, pages);
    }
    if (!write("}\n"))
        return failed();
    return {};
}
