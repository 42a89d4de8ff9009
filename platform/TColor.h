#pragma once

#include <cstdint>

// Colours as the program stores them (settings file, link indicator):
// 0x00BBGGRR, or a system colour with the top byte 0xFF.
using TColor = std::int32_t;

inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
