#pragma once

#include "archive/TMeasurement.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// One record of the meter's archive as it comes over either link: the byte
// layout of TMeasurement, field for field, and how it fills one.

inline constexpr std::size_t DeviceRecordSize = 24;
static_assert(sizeof(TMeasurement) == DeviceRecordSize, "a device record fills a TMeasurement byte for byte");

using DeviceRecord = std::array<std::uint8_t, DeviceRecordSize>;

// Copies bytes 0-8 and 10-23 of the device record into the measurement, as
// they are: nothing converted, limited or swapped; a DeletedMark second stays.
// Reserved (byte 9) keeps what the slot held, so a file's byte survives a read.
void FillRecord(std::span<const std::uint8_t, DeviceRecordSize> device, TMeasurement& m);

// The reverse, for simulators and tests: the measurement's bytes as a device
// record, Reserved included.
DeviceRecord ToDeviceRecord(const TMeasurement& m);
