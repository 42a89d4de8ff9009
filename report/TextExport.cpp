#include "report/TextExport.h"

#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

constexpr int ColumnGap = 2;

// Positions compared in hundredths of a unit, so rounding in the template's
// decimals does not split a column or a line.
long Key(double units) {
    return std::lround(units * 100);
}

struct Cell {
    long left;
    long right;
    QString text;
};

}  // namespace

QString ReportText(const PreparedReport& report) {
    // Column edges over the whole report, so that every page lines up alike.
    std::vector<long> edges;
    for (const PreparedPage& page : report.pages)
        for (const PlacedText& text : page.texts)
            if (!text.text.trimmed().isEmpty())
                edges.push_back(Key(text.rect.left()));
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    const auto spans = [&](const Cell& cell) {
        return std::any_of(edges.begin(), edges.end(), [&](long edge) { return edge > cell.left && edge < cell.right; });
    };

    std::map<long, int> widths;
    for (const PreparedPage& page : report.pages)
        for (const PlacedText& text : page.texts) {
            const Cell cell{Key(text.rect.left()), Key(text.rect.right()), text.text.trimmed()};
            if (!cell.text.isEmpty() && !spans(cell))
                widths[cell.left] = std::max(widths[cell.left], static_cast<int>(cell.text.size()));
        }
    int lineWidth = 0;
    for (const auto& [edge, width] : widths)
        lineWidth += width + ColumnGap;
    lineWidth = std::max(0, lineWidth - ColumnGap);

    QString out;
    for (const PreparedPage& page : report.pages) {
        std::map<long, std::vector<Cell>> lines;  // by top, then left
        for (const PlacedText& text : page.texts) {
            Cell cell{Key(text.rect.left()), Key(text.rect.right()), text.text.trimmed()};
            if (!cell.text.isEmpty())
                lines[Key(text.rect.top())].push_back(std::move(cell));
        }
        for (auto& [top, cells] : lines) {
            std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) { return a.left < b.left; });
            QString line;
            for (const Cell& cell : cells) {
                int start = 0;
                if (spans(cell)) {
                    start = (lineWidth - static_cast<int>(cell.text.size())) / 2;
                } else {
                    for (const auto& [edge, width] : widths) {
                        if (edge == cell.left)
                            break;
                        start += width + ColumnGap;
                    }
                }
                // A text never runs into the one before it.
                if (!line.isEmpty())
                    start = std::max(start, static_cast<int>(line.size()) + ColumnGap);
                line += QString(std::max(0, start - static_cast<int>(line.size())), QLatin1Char(' '));
                line += cell.text;
            }
            out += line + QLatin1Char('\n');
        }
    }
    return out;
}

QString WriteText(const PreparedReport& report, QIODevice& out, const ExportProgress& progress) {
    // The columns are measured over every page before the first line can be
    // written, so the text is made whole and written at once.
    const int pages = static_cast<int>(report.pages.size());
    const QByteArray bytes = ReportText(report).toUtf8();
    if (out.write(bytes) != bytes.size())
        return out.errorString();
    if (progress)
        progress(pages, pages);
    return {};
}
