#pragma once

#include "archive/TMeasurement.h"

#include <cstdint>

// A measurement with the fields the table shows; the rest zero.
inline TMeasurement MakeRecord(std::uint16_t number, std::uint8_t hour, std::uint8_t minute, std::uint8_t second,
                               std::uint8_t day, std::uint8_t month, std::uint8_t year, float density,
                               std::int8_t material, float temperature) {
    TMeasurement m{};
    m.Number = number;
    m.Hour = hour;
    m.Minute = minute;
    m.Second = second;
    m.Day = day;
    m.Month = month;
    m.Year = year;
    m.Density = density;
    m.Material = material;
    m.Temperature = temperature;
    return m;
}
