#pragma once

#include <QString>

#include <optional>

// A text that is a number in the report's notation: an optional minus, the
// whole part without leading zeros, and a decimal comma with its decimals:
// "2345,68", "-3,5", "120", "0,25". Spreadsheets get such texts as numbers,
// shown with the same number of decimals, so they read as the report does.
// Anything else ("007", "1 234", "2345.68", "- 2 -", "1e5") stays a text.
struct NumberText {
    double value = 0;
    int decimals = 0;
};

std::optional<NumberText> ParseNumberText(const QString& text);
