#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// One density measurement: the same 24 bytes in memory, in archive files and
// in the meter's record answers. Little-endian, packed: the three 4-byte values
// sit at offsets 10, 14 and 18.
#pragma pack(push, 1)
struct TMeasurement {
    std::uint16_t Number;        // the record's number in the meter's archive
    std::uint8_t Second;         // DeletedMark here marks a record deleted on the meter
    std::uint8_t Minute;
    std::uint8_t Hour;
    std::uint8_t Day;
    std::uint8_t Month;          // 1 to 12
    std::uint8_t Year;           // year minus 2000
    std::int8_t Material;        // index into MaterialNames
    std::uint8_t Reserved;       // never written by the meter read-outs; files keep it
    float Density;               // kg/m³
    std::uint8_t ExtraValue[4];  // carried and saved, never shown
    float Temperature;           // °C
    std::uint8_t ExtraWord[2];   // carried and saved, never shown
};
#pragma pack(pop)

inline constexpr std::uint8_t DeletedMark = 170;

static_assert(std::endian::native == std::endian::little,
              "records are used as they come from files and the meter");
static_assert(sizeof(TMeasurement) == 24);
static_assert(offsetof(TMeasurement, Number) == 0);
static_assert(offsetof(TMeasurement, Second) == 2);
static_assert(offsetof(TMeasurement, Minute) == 3);
static_assert(offsetof(TMeasurement, Hour) == 4);
static_assert(offsetof(TMeasurement, Day) == 5);
static_assert(offsetof(TMeasurement, Month) == 6);
static_assert(offsetof(TMeasurement, Year) == 7);
static_assert(offsetof(TMeasurement, Material) == 8);
static_assert(offsetof(TMeasurement, Reserved) == 9);
static_assert(offsetof(TMeasurement, Density) == 10);
static_assert(offsetof(TMeasurement, ExtraValue) == 14);
static_assert(offsetof(TMeasurement, Temperature) == 18);
static_assert(offsetof(TMeasurement, ExtraWord) == 22);
