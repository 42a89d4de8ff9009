#include "report/ReportFind.h"

namespace {

// Every placed text in order, as one index.
int Flat(const PreparedReport& report, FoundText at) {
    int index = 0;
    for (int page = 0; page < at.page; ++page)
        index += static_cast<int>(report.pages[static_cast<std::size_t>(page)].texts.size());
    return index + at.text;
}

}  // namespace

std::optional<FoundText> FindInReport(const PreparedReport& report, const QString& what, bool matchCase,
                                      std::optional<FoundText> from, bool forward) {
    if (what.isEmpty())
        return std::nullopt;
    std::vector<FoundText> places;
    for (std::size_t page = 0; page < report.pages.size(); ++page)
        for (std::size_t text = 0; text < report.pages[page].texts.size(); ++text)
            places.push_back({static_cast<int>(page), static_cast<int>(text)});
    const int count = static_cast<int>(places.size());
    const Qt::CaseSensitivity sensitivity = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int index = from ? Flat(report, *from) + (forward ? 1 : -1) : (forward ? 0 : count - 1);
    for (; index >= 0 && index < count; index += forward ? 1 : -1) {
        const FoundText at = places[static_cast<std::size_t>(index)];
        const PlacedText& placed =
            report.pages[static_cast<std::size_t>(at.page)].texts[static_cast<std::size_t>(at.text)];
        if (placed.text.contains(what, sensitivity))
            return at;
    }
    return std::nullopt;
}
