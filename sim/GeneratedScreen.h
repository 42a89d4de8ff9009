#pragma once

#include <cstdint>
#include <vector>

// The screen image a simulated meter shows when it is given none: ScreenImageSize
// bytes, ScreenWidth × ScreenHeight dots, one bit per dot, a set bit a dark
// dot, rows of ScreenWidth / 8 bytes from the top, the leftmost dot of each
// byte in its top bit. A one-dot frame runs along the edge, and the word SIM
// stands in the middle in large block letters (10 × 10 dots per letter
// pixel), so a grabbed screen is easy to recognise and an image turned or
// mirrored on the way shows it.
std::vector<std::uint8_t> GenerateScreenImage();

// Whether the dot at column x, row y of such an image is dark; false outside
// the image or past its end.
bool ScreenDot(const std::vector<std::uint8_t>& image, int x, int y);
