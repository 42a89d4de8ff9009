#include "protocol/UsbAnswers.h"

#include "protocol/DeviceRecord.h"
#include "protocol/MeterText.h"

#include <algorithm>
#include <cstddef>
#include <vector>

QString MakeDeviceIdent(std::span<const std::uint8_t> received) {
    std::vector<std::uint8_t> text(received.begin(),
                                   received.begin() + std::min<std::size_t>(received.size(), DeviceIdentMaxLength));
    std::replace(text.begin(), text.end(), std::uint8_t{0x00}, std::uint8_t{0x20});
    return DecodeMeterText(text);
}

int IdentReadLength(std::int32_t announced) {
    return std::clamp<std::int32_t>(announced, 0, DeviceIdentMaxLength);
}

int ScreenReadLength(std::int32_t announced) {
    return std::clamp<std::int32_t>(announced, 0, ScreenImageSize);
}

std::optional<RecordBlockPlan> PlanRecordBlock(std::int32_t n, std::int32_t s, int capacity) {
    if (n <= 0)
        return RecordBlockPlan{0, 0, 0};
    if (s < static_cast<std::int32_t>(DeviceRecordSize) || s > RecordBufferSize)
        return std::nullopt;
    const int stored = std::min(n, std::max(capacity, 0));
    return RecordBlockPlan{stored, n - stored, s};
}
