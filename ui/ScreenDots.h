#pragma once

#include "platform/TColor.h"
#include "protocol/UsbAnswers.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <span>

// The picture of the meter's screen as dots: the 320 × 240 dots of the
// display inside a one-dot ink frame with a one-dot gap, 324 × 244 in all.
inline constexpr int ScreenDotsWidth = ScreenWidth + 4;
inline constexpr int ScreenDotsHeight = ScreenHeight + 4;

struct ScreenDots {
    // ink[row][column]: true for an ink dot, false for background.
    std::array<std::array<bool, ScreenDotsWidth>, ScreenDotsHeight> ink{};
};

// The frame alone: ink in the outer columns and rows, background inside.
ScreenDots FramedDots();

// Puts the meter's image into the display's place, from column 2, row 2:
// rows from the top, 40 bytes a row, each byte eight dots from its most
// significant bit on, 1 for ink.
void UnpackScreenImage(std::span<const std::uint8_t, ScreenImageSize> image, ScreenDots& dots);

// One pixel per dot, in the two colours.
QImage ScreenPicture(const ScreenDots& dots, TColor ink, TColor background);
