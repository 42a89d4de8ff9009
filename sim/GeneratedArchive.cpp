#include "sim/GeneratedArchive.h"

#include "archive/TMeasurement.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace {

// A fixed scramble of the record number (splitmix64), so the values vary
// without a random generator and come out the same on every machine.
std::uint64_t Scramble(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A value in [0, 1) from the scramble, one per record and purpose.
double Fraction(int record, int purpose) {
    const std::uint64_t bits = Scramble(static_cast<std::uint64_t>(record) * 8 + static_cast<std::uint64_t>(purpose));
    return static_cast<double>(bits >> 11) / static_cast<double>(1ull << 53);
}

constexpr int PerDay = 12;
constexpr int MinutesApart = 40;
constexpr std::chrono::sys_days FirstDay = std::chrono::year{2023} / std::chrono::April / 3;

TMeasurement Measurement(int i) {
    using namespace std::chrono;
    const int n = i - 1;
    const year_month_day day{FirstDay + days{n / PerDay}};
    // 08:00 plus 40 minutes per earlier measurement that day, up to 9 minutes
    // and 59 seconds late.
    const int minuteOfDay = 8 * 60 + (n % PerDay) * MinutesApart + static_cast<int>(Fraction(i, 0) * 10);

    TMeasurement m{};
    m.Number = static_cast<std::uint16_t>(i);
    m.Second = static_cast<std::uint8_t>(Fraction(i, 1) * 60);
    m.Minute = static_cast<std::uint8_t>(minuteOfDay % 60);
    m.Hour = static_cast<std::uint8_t>(minuteOfDay / 60);
    m.Day = static_cast<std::uint8_t>(static_cast<unsigned>(day.day()));
    m.Month = static_cast<std::uint8_t>(static_cast<unsigned>(day.month()));
    m.Year = static_cast<std::uint8_t>(static_cast<int>(day.year()) - 2000);
    // A road section per day, each with its mix: 1, 2, 3, 4, 1, ...
    m.Material = static_cast<std::int8_t>(1 + (n / PerDay) % 4);
    // Around the section's own level, a little scatter on top, to 0.1 kg/m³.
    const double level = 2100 + 50 * (n / PerDay % 7);
    const double density = std::clamp(level + Fraction(i, 2) * 100 - 25, 2000.0, 2500.0);
    m.Density = static_cast<float>(static_cast<int>(density * 10) / 10.0);
    // Hot mix cooling down through the day, to 0.5 °C.
    const double temperature = std::clamp(160 - (n % PerDay) * 11 - Fraction(i, 3) * 10, 20.0, 160.0);
    m.Temperature = static_cast<float>(static_cast<int>(temperature * 2) / 2.0);
    return m;
}

}  // namespace

std::vector<DeviceRecord> GenerateRecords(int count) {
    std::vector<DeviceRecord> records;
    records.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 1; i <= count; ++i)
        records.push_back(ToDeviceRecord(Measurement(i)));
    return records;
}

std::vector<ArchiveEntry> GenerateArchive(int count) {
    return ChainArchive(GenerateRecords(count));
}
