#pragma once

#include "archive/TMeasurement.h"

#include <QString>

#include <array>

// How a measurement reads in the table: everything the user sees of it, on
// screen, in the report and on the clipboard, is one of these texts.

// Month abbreviations indexed by TMeasurement::Month; index 0 is the empty text.
extern const std::array<const char*, 13> MonthAbbrev;
// Material names indexed by TMeasurement::Material; index 0 is the empty text.
extern const std::array<const char*, 17> MaterialNames;

// "#0.00" with "," as separator: at least one digit before it, two after it,
// rounded to the hundredth with halves away from zero: 2345.678 -> "2345,68".
QString FormatDensity(float value);
// "#.0": integer digits only when the integer part is not 0, one decimal,
// halves away from zero: 125.44 -> "125,4", 0.46 -> ",5", -12.25 -> "-12,3".
QString FormatTemperature(float value);

// "%2u:%02u:%02u (%2u %s 20%02u)" from hour, minute, second, day, month text
// and year, plus " - удалена" for a deleted record. A month outside 1..12 shows
// the empty month text.
QString TimeDateText(const TMeasurement& m);
// MaterialNames entry, or the empty text for an index outside 0..16.
QString MaterialText(std::int8_t material);

// The five cell texts of a measurement's table row, column 0 first.
std::array<QString, 5> MeasurementRowTexts(const TMeasurement& m);
