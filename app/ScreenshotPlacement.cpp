#include "app/ScreenshotPlacement.h"

#include "app/Settings.h"

namespace {

constexpr int TaskBarAllowance = 25;

}  // namespace

int ScreenshotLeft(const QString& stored, int centred, int screenWidth, int windowWidth) {
    const int left = ParseDecimal(stored).value_or(centred);
    if (left > screenWidth - windowWidth)
        return screenWidth - windowWidth;
    return left < 0 ? 0 : left;
}

int ScreenshotTop(const QString& stored, int centred, int screenHeight, int windowHeight) {
    const int top = ParseDecimal(stored).value_or(centred);
    if (top > screenHeight - windowHeight)
        return screenHeight - windowHeight - TaskBarAllowance;
    return top < 0 ? 0 : top;
}

TColor ScreenshotColour(const QString& stored, TColor fallback) {
    return ParseDecimal(stored).value_or(fallback);
}
