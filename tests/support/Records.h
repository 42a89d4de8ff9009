#pragma once

#include "archive/Archive.h"
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

// A full archive of plausible measurements: every hour, day and month, every
// material code and one past them, densities and temperatures with decimals.
inline void FillPlausibleArchive(TArchive& archive) {
    archive.Count = ArchiveCapacity;
    for (int i = 0; i < ArchiveCapacity; ++i) {
        TMeasurement& m = archive.Records[i];
        m = TMeasurement{};
        m.Number = static_cast<std::uint16_t>(i + 1);
        m.Hour = static_cast<std::uint8_t>(i % 24);
        m.Minute = static_cast<std::uint8_t>(i % 60);
        m.Second = static_cast<std::uint8_t>(i % 60);
        m.Day = static_cast<std::uint8_t>(1 + i % 28);
        m.Month = static_cast<std::uint8_t>(1 + i % 12);
        m.Year = 26;
        m.Material = static_cast<std::int8_t>(i % 17);
        m.Density = 2000.0f + static_cast<float>(i) * 0.37f;
        m.Temperature = 20.0f + static_cast<float>(i % 100) * 0.1f;
    }
}
