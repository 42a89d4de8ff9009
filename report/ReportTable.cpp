#include "report/ReportTable.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Positions compared in hundredths of a unit, so rounding in the template's
// decimals does not split a column or a row.
long Key(double units) {
    return std::lround(units * 100);
}

}  // namespace

ReportTable TableOf(const PreparedReport& report) {
    ReportTable table;
    std::vector<long> lefts;
    long right = 0;
    for (const PreparedPage& page : report.pages)
        for (const PlacedText& text : page.texts) {
            lefts.push_back(Key(text.rect.left()));
            right = std::max(right, Key(text.rect.right()));
        }
    std::sort(lefts.begin(), lefts.end());
    lefts.erase(std::unique(lefts.begin(), lefts.end()), lefts.end());
    if (lefts.empty())
        return table;
    // The last column ends at the rightmost text; a text that ends left of its
    // own edge (zero width) still gets a column.
    right = std::max(right, lefts.back() + 1);
    for (long left : lefts)
        table.edges.push_back(left / 100.0);
    table.edges.push_back(right / 100.0);

    for (std::size_t p = 0; p < report.pages.size(); ++p) {
        std::map<long, std::vector<const PlacedText*>> rows;  // by top
        for (const PlacedText& text : report.pages[p].texts)
            rows[Key(text.rect.top())].push_back(&text);
        for (auto& [top, texts] : rows) {
            std::stable_sort(texts.begin(), texts.end(), [](const PlacedText* a, const PlacedText* b) {
                return Key(a->rect.left()) < Key(b->rect.left());
            });
            TableRow row{static_cast<int>(p), top / 100.0, 0, {}};
            int free = 0;  // the first column no cell of the row takes yet
            for (const PlacedText* text : texts) {
                row.height = std::max(row.height, text->rect.height());
                const int column =
                    static_cast<int>(std::lower_bound(lefts.begin(), lefts.end(), Key(text->rect.left())) - lefts.begin());
                // A text that starts inside a cell before it (texts stacked on
                // one another) joins that cell on a line of its own, so
                // nothing is lost and the columns stay as they are.
                if (column < free) {
                    row.cells.back().text += QLatin1Char('\n') + text->text;
                    continue;
                }
                const long end = Key(text->rect.right());
                int span = 1;
                while (column + span < static_cast<int>(lefts.size()) && lefts[column + span] < end)
                    ++span;
                row.cells.push_back({column, span, text->text, &text->style});
                free = column + span;
            }
            table.rows.push_back(std::move(row));
        }
    }
    return table;
}
