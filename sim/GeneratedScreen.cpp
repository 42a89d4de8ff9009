#include "sim/GeneratedScreen.h"

#include "protocol/UsbAnswers.h"

#include <array>
#include <cstddef>

namespace {

constexpr int RowBytes = ScreenWidth / 8;

// 5 × 7 block letters, one text row per letter row, 'X' dark.
using Glyph = std::array<const char*, 7>;
constexpr std::array<Glyph, 3> Word = {{
    {".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."},
    {"XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "XXXXX"},
    {"X...X", "XX.XX", "X.X.X", "X.X.X", "X...X", "X...X", "X...X"},
}};
constexpr int Scale = 10;
constexpr int GlyphWidth = 5 * Scale;
constexpr int Gap = 2 * Scale;
constexpr int WordWidth = static_cast<int>(Word.size()) * GlyphWidth + (static_cast<int>(Word.size()) - 1) * Gap;
constexpr int WordHeight = 7 * Scale;
constexpr int WordLeft = (ScreenWidth - WordWidth) / 2;
constexpr int WordTop = (ScreenHeight - WordHeight) / 2;

void SetDot(std::vector<std::uint8_t>& image, int x, int y) {
    image[static_cast<std::size_t>(y * RowBytes + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

bool InWord(int x, int y) {
    const int wx = x - WordLeft;
    const int wy = y - WordTop;
    if (wx < 0 || wx >= WordWidth || wy < 0 || wy >= WordHeight)
        return false;
    const int letter = wx / (GlyphWidth + Gap);
    const int column = wx % (GlyphWidth + Gap);
    if (column >= GlyphWidth)
        return false;
    return Word[static_cast<std::size_t>(letter)][static_cast<std::size_t>(wy / Scale)][column / Scale] == 'X';
}

}  // namespace

std::vector<std::uint8_t> GenerateScreenImage() {
    std::vector<std::uint8_t> image(ScreenImageSize, 0x00);
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x) {
            const bool edge = x == 0 || y == 0 || x == ScreenWidth - 1 || y == ScreenHeight - 1;
            if (edge || InWord(x, y))
                SetDot(image, x, y);
        }
    return image;
}

bool ScreenDot(const std::vector<std::uint8_t>& image, int x, int y) {
    if (x < 0 || x >= ScreenWidth || y < 0 || y >= ScreenHeight)
        return false;
    const std::size_t at = static_cast<std::size_t>(y * RowBytes + x / 8);
    return at < image.size() && (image[at] & (0x80 >> (x % 8))) != 0;
}
