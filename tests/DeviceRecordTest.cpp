#include "protocol/DeviceRecord.h"

#include "support/Records.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(DeviceRecord, FillingCopiesEveryByteButReserved) {
    TMeasurement measured = MakeRecord(0x0102, 14, 5, 9, 3, 3, 11, 2345.678f, 1, 125.44f);
    std::memcpy(measured.ExtraValue, "\x11\x22\x33\x44", 4);
    std::memcpy(measured.ExtraWord, "\x55\x66", 2);
    TMeasurement deleted = measured;
    deleted.Second = DeletedMark;

    struct Case {
        const char* what;
        TMeasurement device;
        std::uint8_t deviceByte9;
        std::uint8_t slotReserved;
    };
    const Case cases[] = {
        {"ordinary record over a zero slot", measured, 0x00, 0x00},
        {"byte 9 set, slot Reserved zero", measured, 0xFF, 0x00},
        {"byte 9 zero, slot Reserved from a file", measured, 0x00, 0x5C},
        {"deleted record keeps its mark", deleted, 0x77, 0xA1},
    };
    for (const Case& c : cases) {
        DeviceRecord device = ToDeviceRecord(c.device);
        device[9] = c.deviceByte9;
        TMeasurement slot;
        std::memset(&slot, 0xEE, sizeof slot);  // whatever the slot held
        slot.Reserved = c.slotReserved;

        FillRecord(device, slot);

        EXPECT_EQ(slot.Reserved, c.slotReserved) << c.what;
        TMeasurement expected = c.device;
        expected.Reserved = c.slotReserved;
        EXPECT_EQ(std::memcmp(&slot, &expected, sizeof slot), 0) << c.what;
        // Packed fields: copied out before the comparisons take references.
        const std::uint16_t number = slot.Number;
        const float density = slot.Density, temperature = slot.Temperature;
        EXPECT_EQ(number, 0x0102) << c.what;
        EXPECT_EQ(slot.Second, c.device.Second) << c.what;
        EXPECT_EQ(density, 2345.678f) << c.what;
        EXPECT_EQ(temperature, 125.44f) << c.what;
    }
}

}  // namespace
