#include "protocol/SerialFrames.h"

#include "protocol/LinkChecksum.h"
#include "protocol/LittleEndian.h"
#include "protocol/MeterText.h"

#include <algorithm>

namespace {

// True when the last two bytes of the answer, low byte first, are the checksum
// over `covered` followed by the rest of the answer.
bool ChecksumMatches(std::span<const std::uint8_t> covered, std::span<const std::uint8_t> answer) {
    LinkChecksumRegister reg;
    reg.Feed(covered);
    reg.Feed(answer.first(answer.size() - 2));
    return reg.Value() == LoadLE16(answer.last<2>());
}

template <std::size_t N>
void AppendChecksum(std::array<std::uint8_t, N>& frame, std::span<const std::uint8_t> covered) {
    LinkChecksumRegister reg;
    reg.Feed(covered);
    reg.Feed(std::span(frame).template first<N - 2>());
    StoreLE16(std::span(frame).template last<2>(), reg.Value());
}

}  // namespace

RecordRequest BuildRecordRequest(std::uint16_t index) {
    RecordRequest frame{RecordCommand[0], RecordCommand[1]};
    StoreLE16(std::span(frame).subspan<2, 2>(), index);
    AppendChecksum(frame, {});
    return frame;
}

std::optional<IdentChars> CheckIdentAnswer(std::span<const std::uint8_t> answer) {
    if (answer.size() != IdentAnswerSize || !ChecksumMatches(IdentCommand, answer))
        return std::nullopt;
    IdentChars chars;
    std::copy_n(answer.begin(), IdentCharCount, chars.begin());
    return chars;
}

std::optional<std::uint16_t> CheckCountAnswer(std::span<const std::uint8_t> answer) {
    if (answer.size() != CountAnswerSize || !ChecksumMatches(CountCommand, answer))
        return std::nullopt;
    return LoadLE16(answer.first<2>());
}

std::optional<RecordAnswer> CheckRecordAnswer(std::span<const std::uint8_t> answer) {
    if (answer.size() != RecordAnswerSize || !ChecksumMatches({}, answer))
        return std::nullopt;
    RecordAnswer result;
    std::copy_n(answer.begin(), DeviceRecordSize, result.record.begin());
    result.next = LoadLE16(answer.subspan<DeviceRecordSize, 2>());
    return result;
}

std::array<std::uint8_t, IdentAnswerSize> BuildIdentAnswer(const IdentChars& chars) {
    std::array<std::uint8_t, IdentAnswerSize> answer{};
    std::copy(chars.begin(), chars.end(), answer.begin());
    AppendChecksum(answer, IdentCommand);
    return answer;
}

std::array<std::uint8_t, CountAnswerSize> BuildCountAnswer(std::uint16_t count) {
    std::array<std::uint8_t, CountAnswerSize> answer{};
    StoreLE16(std::span(answer).first<2>(), count);
    AppendChecksum(answer, CountCommand);
    return answer;
}

std::array<std::uint8_t, RecordAnswerSize> BuildRecordAnswer(const DeviceRecord& record, std::uint16_t next) {
    std::array<std::uint8_t, RecordAnswerSize> answer{};
    std::copy(record.begin(), record.end(), answer.begin());
    StoreLE16(std::span(answer).subspan<DeviceRecordSize, 2>(), next);
    AppendChecksum(answer, {});
    return answer;
}

QString IdentificationText(const IdentChars& c) {
    const std::uint8_t text[] = {c[0], c[1], '.', c[2], c[3], '.', '2', '0', c[4], c[5]};
    return DecodeMeterText(text);
}
