#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

// A setting's whole decimal number: an optional sign, digits, nothing else (no
// blanks), within [low, high].
inline std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t low, std::int64_t high) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}
