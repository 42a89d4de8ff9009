#pragma once

#include <QString>

#include <cstdint>
#include <span>

// The meter's texts as the program shows them: Windows-1251, one character per
// byte. A byte the code page leaves unused (0x98) still comes out as one
// character, so a text keeps its length. Safe on any thread: the USB worker
// decodes on its own.
QString DecodeMeterText(std::span<const std::uint8_t> bytes);
