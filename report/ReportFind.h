#pragma once

#include "report/PreparedReport.h"

#include <QString>

#include <optional>

// Where a text was found in a prepared report: the page and the placed text
// that holds it, both from 0.
struct FoundText {
    int page = 0;
    int text = 0;

    bool operator==(const FoundText&) const = default;
};

// The next placed text after from (or the first one, with no from) that
// contains what, searching forward or backward through the pages in the
// order their texts were placed; nothing when none does. An empty what
// finds nothing.
std::optional<FoundText> FindInReport(const PreparedReport& report, const QString& what, bool matchCase,
                                      std::optional<FoundText> from, bool forward);
