#include "protocol/DeviceRecord.h"

#include <cstring>

void FillRecord(std::span<const std::uint8_t, DeviceRecordSize> device, TMeasurement& m) {
    constexpr std::size_t reserved = offsetof(TMeasurement, Reserved);
    auto* target = reinterpret_cast<std::uint8_t*>(&m);
    std::memcpy(target, device.data(), reserved);
    std::memcpy(target + reserved + 1, device.data() + reserved + 1, DeviceRecordSize - reserved - 1);
}

DeviceRecord ToDeviceRecord(const TMeasurement& m) {
    DeviceRecord record;
    std::memcpy(record.data(), &m, DeviceRecordSize);
    return record;
}
