#include "protocol/LinkChecksum.h"

std::uint16_t LinkChecksum(std::span<const std::uint8_t> bytes, std::uint16_t start) {
    LinkChecksumRegister reg(start);
    reg.Feed(bytes);
    return reg.Value();
}
