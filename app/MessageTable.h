#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The texts that exist in Russian and in English: the USB link's status texts
// and the report's column heads. Every use takes the column LanguageIndex
// selects; the window never changes it from Russian, an export without a
// window may ask for English.
enum TMessageId {
    TextReadingParameters,
    TextReadingResults,
    TextLinkError,
    TextReadingScreen,
    TextScreenRead,
    TextRecordsLoaded,
    TextArchiveEmpty,
    TextReportTitle,
    TextDate,
    TextTime,
    TextMaterial,
    TextDensity,
    TextTemperature,
    TextCheckConnection,
    MessageCount
};

// Each entry: {Russian, English}. Trailing blanks are part of a text.
extern const std::array<std::array<const char*, 2>, MessageCount> MessageTable;

// 0 selects Russian, 1 English.
extern std::uint8_t LanguageIndex;

// The text of entry id in the current language.
QString MessageText(TMessageId id);
